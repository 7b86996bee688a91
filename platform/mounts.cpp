#include "platform/mounts.h"

#include "platform/folderreader.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

namespace plumtide
{

namespace
{

// A field of the table with its escapes ("\040", "\011", "\012", "\134") undone.
QByteArray unescaped(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto octal = [&](qsizetype at) { return field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2)
            && octal(i + 3)) {
            out.append(char(
                ((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return out;
}

} // namespace

QStringList MountPointsOf(const QString& fstab)
{
    QFile file(fstab);
    QStringList points;
    if (!file.open(QIODevice::ReadOnly))
        return points;
    // A table is a few lines; a bigger file is not one.
    const QByteArray text = file.read(1 << 20);
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        const QList<QByteArray> fields = trimmed.simplified().split(' ');
        if (fields.size() >= 2)
            points.append(QDir::cleanPath(QFile::decodeName(unescaped(fields.at(1)))));
    }
    return points;
}

bool IsBareMountPoint(const QString& folder, const QString& fstab)
{
    const QString absolute = AbsolutePath(folder);
    const QString real = QFileInfo(absolute).canonicalFilePath();
    const QStringList points = MountPointsOf(fstab);
    if (!points.contains(absolute) && (real.isEmpty() || !points.contains(real)))
        return false;
    struct stat self {
    };
    struct stat parent {
    };
    if (::stat(EncodePath(absolute).constData(), &self) != 0 || !S_ISDIR(self.st_mode)
        || ::stat(EncodePath(absolute + QStringLiteral("/..")).constData(), &parent) != 0)
        return false;
    // The root of a mounted file system lies on a device of its own.
    if (self.st_dev != parent.st_dev)
        return false;
    FolderReader reader(EncodePath(absolute));
    FolderEntry entry;
    return reader.isOpen() && !reader.next(entry);
}

} // namespace plumtide
