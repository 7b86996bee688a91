#include "platform/fileops.h"
#include "platform/nanoseconds.h"

#include "platform/errors.h"
#include "platform/folderreader.h"
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

namespace
{

QString copyDescription(const QString& sourcePath)
{
    return QStringLiteral("Cannot copy '") + sourcePath + QStringLiteral("' to");
}

} // namespace

PathKind KindOfPath(const QString& path)
{
    struct stat st {
    };
    if (path.isEmpty() || ::stat(EncodePath(path).constData(), &st) != 0)
        return PathKind::Missing;
    if (S_ISREG(st.st_mode))
        return PathKind::File;
    if (S_ISDIR(st.st_mode))
        return PathKind::Folder;
    return PathKind::Other;
}

TFileStatus StatusFromStat(const struct stat& st)
{
    TFileStatus status;
    status.kind = S_ISREG(st.st_mode) ? PathKind::File
        : S_ISDIR(st.st_mode)         ? PathKind::Folder
                                      : PathKind::Other;
    status.size = static_cast<qint64>(st.st_size);
    status.device = static_cast<quint64>(st.st_dev);
    status.inode = static_cast<quint64>(st.st_ino);
    status.modified = NanosecondsOf(st.st_mtim);
    status.changed = NanosecondsOf(st.st_ctim);
    return status;
}

TFileStatus StatusOf(const QString& path)
{
    struct stat st {
    };
    if (path.isEmpty() || ::stat(EncodePath(path).constData(), &st) != 0)
        return TFileStatus();
    return StatusFromStat(st);
}

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

int FileDescriptor::close()
{
    // Linux releases the descriptor even when close() fails, so it is never closed twice.
    return ::close(std::exchange(m_fd, -1));
}

FileDescriptor OpenForReading(const QString& path)
{
    const int fd
        = ::open(EncodePath(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw IOError(QStringLiteral("Cannot open"), path, errno);
    return FileDescriptor(fd);
}

FileDescriptor OpenForWriting(const QString& path)
{
    const int fd = ::open(
        EncodePath(path).constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        throw IOError(QStringLiteral("Cannot create"), path, errno);
    return FileDescriptor(fd);
}

bool IsLockedElsewhere(const FileDescriptor& file)
{
    if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0)
        ::flock(file.get(), LOCK_UN);
    else if (errno == EWOULDBLOCK)
        return true;

    struct flock lock {
    };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(file.get(), F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

bool IsRegularFile(const FileDescriptor& file)
{
    struct stat st {
    };
    return ::fstat(file.get(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSameFile(const FileDescriptor& a, const FileDescriptor& b)
{
    struct stat sa {
    };
    struct stat sb {
    };
    return ::fstat(a.get(), &sa) == 0 && ::fstat(b.get(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

qint64 SizeOf(const FileDescriptor& file)
{
    struct stat st {
    };
    if (::fstat(file.get(), &st) != 0)
        return -1;
    return static_cast<qint64>(st.st_size);
}

bool AddOwnerWritePermission(const QString& path)
{
    const QByteArray encoded = EncodePath(path);
    struct stat st {
    };
    if (::stat(encoded.constData(), &st) != 0)
        return false;
    if (st.st_mode & S_IWUSR)
        return true;
    return ::chmod(encoded.constData(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

void Truncate(const FileDescriptor& file, const QString& path)
{
    if (::ftruncate(file.get(), 0) != 0)
        throw IOError(QStringLiteral("Cannot truncate"), path, errno);
}

bool CopyContentsByKernel(const FileDescriptor& source, const FileDescriptor& target,
    const QString& sourcePath, const QString& targetPath)
{
    // The kernel caps each call near 2 GiB anyway; the loop carries on to the end.
    constexpr size_t chunk = size_t { 1 } << 30;
    bool copiedAny = false;
    for (;;) {
        const ssize_t copied
            = ::copy_file_range(source.get(), nullptr, target.get(), nullptr, chunk, 0);
        if (copied > 0) {
            copiedAny = true;
            continue;
        }
        if (copied == 0) {
            // Some file systems report nothing to copy for a file that has contents; let the
            // buffer copy read to the real end.
            return copiedAny;
        }
        if (errno == EINTR)
            continue;
        const bool unsupported = errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP
            || errno == EINVAL || errno == EBADF;
        if (unsupported && !copiedAny)
            return false;
        throw IOError(copyDescription(sourcePath), targetPath, errno);
    }
}

void CopyContentsByBuffer(const FileDescriptor& source, const FileDescriptor& target,
    const QString& sourcePath, const QString& targetPath)
{
    std::vector<char> buffer(size_t { 1 } << 20);
    for (;;) {
        const ssize_t got = ::read(source.get(), buffer.data(), buffer.size());
        if (got == 0)
            return;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw IOError(QStringLiteral("Cannot read"), sourcePath, errno);
        }
        const char* data = buffer.data();
        size_t left = static_cast<size_t>(got);
        while (left > 0) {
            const ssize_t written = ::write(target.get(), data, left);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                throw IOError(
                    QStringLiteral("Cannot write"), targetPath, written < 0 ? errno : ENOSPC);
            data += written;
            left -= static_cast<size_t>(written);
        }
    }
}

void CopyContents(const FileDescriptor& source, const FileDescriptor& target,
    const QString& sourcePath, const QString& targetPath)
{
    if (!CopyContentsByKernel(source, target, sourcePath, targetPath))
        CopyContentsByBuffer(source, target, sourcePath, targetPath);
}

void SyncFile(const FileDescriptor& file, const QString& path)
{
    if (::fsync(file.get()) != 0)
        throw IOError(QStringLiteral("Cannot flush"), path, errno);
}

void StartWriteback(const FileDescriptor& file)
{
    ::sync_file_range(file.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool RemoveFile(const QString& path)
{
    return ::unlink(EncodePath(path).constData()) == 0;
}

FileDescriptor CreateNewFile(const QString& path, unsigned mode, bool readable)
{
    const int fd = ::open(EncodePath(path).constData(),
        (readable ? O_RDWR : O_WRONLY) | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
        static_cast<mode_t>(mode));
    if (fd < 0)
        throw IOError(QStringLiteral("Cannot create"), path, errno);
    return FileDescriptor(fd);
}

FileDescriptor OpenRegularFile(const QString& path, bool writable)
{
    const int flags = (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    FileDescriptor file(::open(EncodePath(path).constData(), flags));
    if (!file.isOpen()) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR)
            return FileDescriptor();
        throw IOError(QStringLiteral("Cannot open"), path, errno);
    }
    struct stat st {
    };
    if (::fstat(file.get(), &st) != 0)
        throw IOError(QStringLiteral("Cannot examine"), path, errno);
    if (!S_ISREG(st.st_mode))
        return FileDescriptor();
    return file;
}

qint64 FileSize(const FileDescriptor& file, const QString& path)
{
    const qint64 size = SizeOf(file);
    if (size < 0)
        throw IOError(QStringLiteral("Cannot examine"), path, errno);
    return size;
}

qint64 ReadAt(
    const FileDescriptor& file, qint64 offset, void* buffer, qint64 count, const QString& path)
{
    if (offset < 0)
        return 0;
    qint64 done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::pread(file.get(), bytes + done, static_cast<size_t>(count - done),
            static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw IOError(QStringLiteral("Cannot read"), path, errno);
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

void WriteAt(const FileDescriptor& file, qint64 offset, const void* buffer, qint64 count,
    const QString& path)
{
    const auto* bytes = static_cast<const char*>(buffer);
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(file.get(), bytes + done, static_cast<size_t>(count - done),
            static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw IOError(QStringLiteral("Cannot write"), path, errno);
        }
        done += n;
    }
}

void SetFileSize(const FileDescriptor& file, qint64 size, const QString& path)
{
    if (::ftruncate(file.get(), std::max<qint64>(size, 0)) != 0)
        throw IOError(QStringLiteral("Cannot change the size of"), path, errno);
}

void CopyModeAndOwner(
    const FileDescriptor& source, const FileDescriptor& target, const QString& targetPath)
{
    struct stat st {
    };
    if (::fstat(source.get(), &st) != 0)
        throw IOError(QStringLiteral("Cannot examine the source of"), targetPath, errno);
    // Refused for another owner unless privileged, which is harmless. Before the mode, which
    // a change of owner may clear bits of.
    [[maybe_unused]] const int ignored = ::fchown(target.get(), st.st_uid, st.st_gid);
    if (::fchmod(target.get(), st.st_mode & 07777) != 0)
        throw IOError(QStringLiteral("Cannot set permissions of"), targetPath, errno);
}

void CopyTimes(
    const FileDescriptor& source, const FileDescriptor& target, const QString& targetPath)
{
    struct stat st {
    };
    if (::fstat(source.get(), &st) != 0)
        throw IOError(QStringLiteral("Cannot examine the source of"), targetPath, errno);
    const struct timespec times[2] = { st.st_atim, st.st_mtim };
    if (::futimens(target.get(), times) != 0)
        throw IOError(QStringLiteral("Cannot set the times of"), targetPath, errno);
}

void RenameReplacing(const QString& from, const QString& to)
{
    if (::rename(EncodePath(from).constData(), EncodePath(to).constData()) != 0)
        throw IOError(QStringLiteral("Cannot replace"), to, errno);
}

bool RenameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = EncodePath(from);
    const QByteArray target = EncodePath(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE)
        == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the flag: a hard link is never made over an existing name.
    if (::link(source.constData(), target.constData()) != 0)
        return false;
    if (::unlink(source.constData()) != 0) {
        // Never a file under both names: the new one goes again.
        const int error = errno;
        ::unlink(target.constData());
        errno = error;
        return false;
    }
    return true;
}

void CreateFolder(const QString& path)
{
    if (::mkdir(EncodePath(path).constData(), 0777) != 0)
        throw IOError(QStringLiteral("Cannot create the folder"), path, errno);
}

bool SameBytes(const FileDescriptor& a, const FileDescriptor& b)
{
    std::vector<char> bufferA(size_t { 1 } << 20);
    std::vector<char> bufferB(bufferA.size());
    for (;;) {
        const ssize_t readA = ::read(a.get(), bufferA.data(), bufferA.size());
        if (readA < 0)
            return false;
        ssize_t readB = 0;
        while (readB < readA) {
            const ssize_t n
                = ::read(b.get(), bufferB.data() + readB, static_cast<size_t>(readA - readB));
            if (n <= 0)
                return false;
            readB += n;
        }
        if (readA == 0) {
            // Both must end here.
            char extra = 0;
            return ::read(b.get(), &extra, 1) == 0;
        }
        if (std::memcmp(bufferA.data(), bufferB.data(), static_cast<size_t>(readA)) != 0)
            return false;
    }
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

std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 maxBytes)
{
    FileDescriptor file(
        ::open(EncodePath(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen()) {
        if (errno == ENOENT)
            return std::nullopt;
        throw IOError(QStringLiteral("Cannot open"), path, errno);
    }
    if (!IsRegularFile(file))
        throw IOError(QStringLiteral("Not a regular file:"), path, EINVAL);
    const qint64 size = FileSize(file, path);
    if (size > maxBytes)
        throw IOError(QStringLiteral("Larger than %1 bytes:").arg(maxBytes), path, EFBIG);
    // Read to the end, but never past the cap, however the file grows meanwhile.
    QByteArray bytes(size + 1, Qt::Uninitialized);
    const qint64 got = ReadAt(file, 0, bytes.data(), bytes.size(), path);
    if (got > maxBytes)
        throw IOError(QStringLiteral("Larger than %1 bytes:").arg(maxBytes), path, EFBIG);
    bytes.truncate(got);
    return bytes;
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

FileDescriptor TryLockFile(const QString& path, bool exclusive)
{
    FileDescriptor file(
        ::open(EncodePath(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.isOpen())
        return file;
    if (::flock(file.get(), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        const int error = errno;
        file.close();
        errno = error;
    }
    return file;
}

bool ProcessExists(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace plumtide
