#include "platform/trash.h"

#include "platform/atomicfile.h"
#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/filecopy.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace plumtide
{

namespace
{

// A Trash folder of this user: made private when missing; never one that another user owns
// (who could then read or swap what is put there), and never a link, except the home Trash
// itself (`followLink`): a user who points it at another folder (a larger disk) means it.
bool usableFolder(const QString& path, bool followLink = false)
{
    const QByteArray bytes = EncodePath(path);
    if (::mkdir(bytes.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {
    };
    if ((followLink ? ::stat(bytes.constData(), &st) : ::lstat(bytes.constData(), &st)) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        errno = EACCES;
        return false;
    }
    return true;
}

bool usableTrash(const QString& trash, bool followLink = false)
{
    return usableFolder(trash, followLink) && usableFolder(trash + QStringLiteral("/files"))
        && usableFolder(trash + QStringLiteral("/info"));
}

bool deviceOf(const QString& path, dev_t& device)
{
    struct stat st {
    };
    if (::stat(EncodePath(path).constData(), &st) != 0)
        return false;
    device = st.st_dev;
    return true;
}

// The device of the nearest folder at or above `path` that exists.
dev_t deviceOfNearest(QString path)
{
    dev_t device = 0;
    while (!deviceOf(path, device) && path != QStringLiteral("/"))
        path = FolderOf(path);
    return device;
}

struct Location {
    QString trash;
    QString top; // empty for the home Trash, whose info files hold absolute paths
};

std::optional<Location> trashFor(const QString& folder)
{
    dev_t device = 0;
    if (!deviceOf(folder, device))
        return std::nullopt;
    const QString data = DataHome();
    const QString home = data + QStringLiteral("/Trash");
    // Where the home Trash is a link, the file system it leads to is the one it serves.
    if (deviceOfNearest(home) == device) {
        try {
            CreateFolders(data);
        } catch (const IOError& error) {
            errno = error.errnoValue();
            return std::nullopt;
        }
        if (usableTrash(home, true))
            return Location { home, QString() };
        return std::nullopt;
    }
    QString top = folder;
    dev_t above = 0;
    while (top != QStringLiteral("/") && deviceOf(FolderOf(top), above) && above == device)
        top = FolderOf(top);
    const QString uid = QString::number(::getuid());
    // A Trash the administrator set up for everyone: sticky, so that nobody can remove
    // another user's folder in it.
    const QString shared = JoinPath(top, QStringLiteral(".Trash"));
    struct stat st {
    };
    if (::lstat(EncodePath(shared).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && (st.st_mode & S_ISVTX) && usableTrash(shared + QLatin1Char('/') + uid))
        return Location { shared + QLatin1Char('/') + uid, top };
    const QString own = JoinPath(top, QStringLiteral(".Trash-") + uid);
    if (usableTrash(own))
        return Location { own, top };
    return std::nullopt;
}

QString realFolderOf(const QString& path)
{
    char* real = ::realpath(EncodePath(FolderOf(path)).constData(), nullptr);
    if (!real)
        return QString();
    const QString folder = QFile::decodeName(real);
    std::free(real);
    return folder;
}

QByteArray infoText(const QString& original, const QString& top)
{
    QString shown = original;
    if (!top.isEmpty())
        shown = top == QStringLiteral("/") ? original.mid(1) : original.mid(top.size() + 1);
    return QByteArrayLiteral("[Trash Info]\nPath=") + EncodePath(shown).toPercentEncoding("/")
        + QByteArrayLiteral("\nDeletionDate=")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toUtf8()
        + '\n';
}

// Writes and flushes a new info file; 0, or the error (EEXIST when the name is taken).
int writeInfo(const QString& path, const QByteArray& text)
{
    try {
        FileDescriptor out = CreateNewFile(path, 0600);
        try {
            WriteAt(out, 0, text.constData(), text.size(), path);
            SyncFile(out, path);
        } catch (...) {
            RemoveFile(path);
            throw;
        }
    } catch (const IOError& error) {
        return error.errnoValue();
    }
    SyncFolder(FolderOf(path));
    return 0;
}

} // namespace

QString TrashInfoOf(const QString& trashedFile)
{
    return FolderOf(FolderOf(trashedFile)) + QStringLiteral("/info/") + FileNameOf(trashedFile)
        + QStringLiteral(".trashinfo");
}

bool IsTrashFilesFolder(const QString& folder)
{
    if (FileNameOf(folder) != QLatin1String("files"))
        return false;
    const QString trash = FolderOf(folder);
    const QString name = FileNameOf(trash);
    const bool named = name == QLatin1String("Trash") || name.startsWith(QLatin1String(".Trash-"))
        || FileNameOf(FolderOf(trash)) == QLatin1String(".Trash");
    return named && KindOfPath(trash + QStringLiteral("/info")) == PathKind::Folder;
}

int MoveToTrash(const QString& path, TTrashedFile& place)
{
    const QString folder = realFolderOf(QDir::current().absoluteFilePath(path));
    if (folder.isEmpty())
        return ENOENT;
    const std::optional<Location> location = trashFor(folder);
    if (!location)
        return EXDEV;
    const QString name = FileNameOf(path);
    const QByteArray info = infoText(JoinPath(folder, name), location->top);
    for (int number = 1; number < 1000; ++number) {
        const QString trashedName = number == 1 ? name : NumberedFileName(name, number);
        const QString trashed = location->trash + QStringLiteral("/files/") + trashedName;
        const QString infoFile = TrashInfoOf(trashed);
        if (const int error = writeInfo(infoFile, info)) {
            if (error == EEXIST)
                continue;
            return error;
        }
        const int error = RenameNoReplace(path, trashed);
        if (error == 0) {
            SyncFolder(FolderOf(trashed));
            SyncFolder(folder);
            place = TTrashedFile { trashed, infoFile };
            return 0;
        }
        RemoveFile(infoFile);
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

int RestoreFromTrash(const QString& trashedFile, const QString& original)
{
    if (const int error = RenameNoReplace(trashedFile, original))
        return error;
    SyncFolder(FolderOf(original));
    RemoveFile(TrashInfoOf(trashedFile));
    SyncFolder(FolderOf(trashedFile));
    return 0;
}

} // namespace plumtide
