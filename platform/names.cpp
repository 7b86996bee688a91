#include "platform/names.h"

#include "platform/errors.h"
#include "platform/folderreader.h"
#include "platform/nanoseconds.h"
#include "platform/paths.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace plumtide
{

int RemoveFile(const QString& path)
{
    return ::unlink(EncodePath(path).constData()) == 0 ? 0 : errno;
}

void RenameReplacing(const QString& from, const QString& to)
{
    if (::rename(EncodePath(from).constData(), EncodePath(to).constData()) != 0)
        throw IOError(QStringLiteral("Cannot replace"), to, errno);
}

int RenameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = EncodePath(from);
    const QByteArray target = EncodePath(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE)
        == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without the flag: a hard link is never made over an existing name.
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    if (::unlink(source.constData()) != 0) {
        // Never a file under both names: the new one goes again.
        const int error = errno;
        ::unlink(target.constData());
        return error;
    }
    return 0;
}

void CreateFolder(const QString& path)
{
    if (::mkdir(EncodePath(path).constData(), 0777) != 0)
        throw IOError(QStringLiteral("Cannot create the folder"), path, errno);
}

int RemoveEmptyFolder(const QString& path)
{
    return ::rmdir(EncodePath(path).constData()) == 0 ? 0 : errno;
}

QStringList EntryNames(const QString& folder)
{
    QStringList names;
    FolderReader reader(EncodePath(folder));
    FolderEntry entry;
    while (reader.next(entry))
        names.append(QFile::decodeName(entry.name));
    return names;
}

void CreateFolders(const QString& path)
{
    if (path.isEmpty() || KindOfPath(path) == PathKind::Folder)
        return;
    const QString parent = FolderOf(path);
    if (parent != path)
        CreateFolders(parent);
    if (::mkdir(EncodePath(path).constData(), 0777) != 0 && errno != EEXIST)
        throw IOError(QStringLiteral("Cannot create the folder"), path, errno);
}

} // namespace plumtide
