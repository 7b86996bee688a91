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
#include <dirent.h>
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

namespace
{

int renameNoReplaceAt(int fromFolder, const QByteArray& from, int toFolder, const QByteArray& to)
{
    if (::renameat2(fromFolder, from.constData(), toFolder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without the flag: a hard link is never made over an existing name.
    if (::linkat(fromFolder, from.constData(), toFolder, to.constData(), 0) != 0)
        return errno;
    if (::unlinkat(fromFolder, from.constData(), 0) != 0) {
        // Never a file under both names: the new one goes again.
        const int error = errno;
        ::unlinkat(toFolder, to.constData(), 0);
        return error;
    }
    return 0;
}

} // namespace

int RenameNoReplace(const QString& from, const QString& to)
{
    return renameNoReplaceAt(AT_FDCWD, EncodePath(from), AT_FDCWD, EncodePath(to));
}

int RenameNoReplace(
    const TOpenFolder& from, const QString& fromName, const TOpenFolder& to, const QString& toName)
{
    return renameNoReplaceAt(
        from.descriptor(), EncodePath(fromName), to.descriptor(), EncodePath(toName));
}

TOpenFolder TOpenFolder::Open(const QString& path)
{
    TOpenFolder folder;
    folder.m_path = path;
    folder.m_folder
        = FileDescriptor(::open(EncodePath(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.m_folder.isOpen())
        throw IOError(QStringLiteral("Cannot open the folder"), path, errno);
    struct stat st {
    };
    if (::fstat(folder.m_folder.get(), &st) != 0)
        throw IOError(QStringLiteral("Cannot read the properties of the folder"), path, errno);
    folder.m_status = StatusFromStat(st);
    return folder;
}

bool TOpenFolder::atItsPath() const
{
    return StatusOf(m_path).sameAs(m_status);
}

int TOpenFolder::sync() const
{
    return ::fsync(m_folder.get()) == 0 ? 0 : errno;
}

int TOpenFolder::mayChange() const
{
    return ::faccessat(m_folder.get(), ".", W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

TFileStatus TOpenFolder::entry(const QString& name) const
{
    struct stat st {
    };
    if (::fstatat(m_folder.get(), EncodePath(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return TFileStatus();
    return StatusFromStat(st);
}

int TOpenFolder::remove(const QString& name) const
{
    return ::unlinkat(m_folder.get(), EncodePath(name).constData(), 0) == 0 ? 0 : errno;
}

FileDescriptor TOpenFolder::create(const QString& name, unsigned mode) const
{
    const int fd = ::openat(m_folder.get(), EncodePath(name).constData(),
        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0)
        throw IOError(QStringLiteral("Cannot create"), JoinPath(m_path, name), errno);
    return FileDescriptor(fd);
}

FileDescriptor TOpenFolder::look(const QString& name) const
{
    return FileDescriptor(::openat(m_folder.get(), EncodePath(name).constData(),
        O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
}

QStringList TOpenFolder::names() const
{
    QStringList names;
    // A descriptor of its own, so that reading does not move this one's position.
    const int fd = ::openat(m_folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return names;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    while (const struct dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
    return names;
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
