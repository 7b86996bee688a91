#include "platform/descriptor.h"

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
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace plumtide
{

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
    const int fd = std::exchange(m_fd, -1);
    return fd >= 0 && ::close(fd) != 0 ? errno : 0;
}

qint64 OpenFileLimit()
{
    struct rlimit limit {
    };
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1 << 20;
    return static_cast<qint64>(limit.rlim_cur);
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

void Truncate(const FileDescriptor& file, const QString& path)
{
    if (::ftruncate(file.get(), 0) != 0)
        throw IOError(QStringLiteral("Cannot empty"), path, errno);
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
        throw IOError(QStringLiteral("Cannot read the properties of"), path, errno);
    if (!S_ISREG(st.st_mode))
        return FileDescriptor();
    return file;
}

qint64 FileSize(const FileDescriptor& file, const QString& path)
{
    struct stat st {
    };
    if (::fstat(file.get(), &st) != 0)
        throw IOError(QStringLiteral("Cannot read the properties of"), path, errno);
    return static_cast<qint64>(st.st_size);
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

} // namespace plumtide
