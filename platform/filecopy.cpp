#include "platform/filecopy.h"

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
#include <memory>
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

qint64 offsetOf(const FileDescriptor& file, const QString& path)
{
    const off_t offset = ::lseek(file.get(), 0, SEEK_CUR);
    if (offset < 0)
        throw IOError(QStringLiteral("Cannot read the properties of"), path, errno);
    return qint64(offset);
}

} // namespace

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

bool CopyContentsByKernel(const FileDescriptor& source, const FileDescriptor& target,
    const QString& sourcePath, const QString& targetPath)
{
    // The kernel caps each call near 2 GiB anyway; the loop carries on to the end.
    constexpr qint64 chunk = qint64 { 1 } << 30;
    qint64 left = FileSize(source, sourcePath) - offsetOf(source, sourcePath);
    bool copiedAny = false;
    while (left > 0) {
        const ssize_t copied = ::copy_file_range(
            source.get(), nullptr, target.get(), nullptr, size_t(std::min(left, chunk)), 0);
        if (copied > 0) {
            copiedAny = true;
            left -= copied;
            continue;
        }
        if (copied == 0) {
            // Some file systems report nothing to copy for a file that has contents, and
            // some kernels and drivers stop short: the buffer copy reads on from here.
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
    return true;
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
    const qint64 sourceStart = offsetOf(source, sourcePath);
    const qint64 targetStart = offsetOf(target, targetPath);
    // Whatever the kernel copy left (nothing when it copied it all) is read to the end.
    CopyContentsByKernel(source, target, sourcePath, targetPath);
    CopyContentsByBuffer(source, target, sourcePath, targetPath);
    // A copy that is not exactly as long as its source is never handed on as a copy of it.
    const qint64 expected = FileSize(source, sourcePath) - sourceStart;
    if (offsetOf(target, targetPath) - targetStart != expected
        || FileSize(target, targetPath) != targetStart + expected)
        throw IOError(copyDescription(sourcePath), targetPath, EIO);
}

void SyncFile(const FileDescriptor& file, const QString& path)
{
    if (::fsync(file.get()) != 0)
        throw IOError(QStringLiteral("Cannot finish saving"), path, errno);
}

void StartWriteback(const FileDescriptor& file)
{
    ::sync_file_range(file.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void CopyModeAndOwner(
    const FileDescriptor& source, const FileDescriptor& target, const QString& targetPath)
{
    struct stat st {
    };
    if (::fstat(source.get(), &st) != 0)
        throw IOError(
            QStringLiteral("Cannot read the properties of the file copied to"), targetPath, errno);
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
        throw IOError(
            QStringLiteral("Cannot read the properties of the file copied to"), targetPath, errno);
    const struct timespec times[2] = { st.st_atim, st.st_mtim };
    if (::futimens(target.get(), times) != 0)
        throw IOError(QStringLiteral("Cannot set the times of"), targetPath, errno);
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

bool SameBytesAt(
    const FileDescriptor& a, qint64 offsetA, const FileDescriptor& b, qint64 offsetB, qint64 length)
{
    // Two songs of one name mostly differ in their first frames: small reads first, growing
    // to 256 KB for files that are the same as far as they have been read.
    constexpr size_t kFirstChunk = size_t { 1 } << 14;
    constexpr size_t kLargestChunk = size_t { 1 } << 18;
    // Not cleared: every byte compared is read first.
    const size_t capacity = size_t(std::clamp<qint64>(length, 0, qint64(kLargestChunk)));
    const auto bufferA = std::make_unique_for_overwrite<char[]>(capacity);
    const auto bufferB = std::make_unique_for_overwrite<char[]>(capacity);
    const auto readFully = [](const FileDescriptor& file, char* into, size_t size, qint64 at) {
        size_t done = 0;
        while (done < size) {
            const ssize_t n
                = ::pread(file.get(), into + done, size - done, off_t(at) + off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        return true;
    };
    size_t chunk = kFirstChunk;
    for (qint64 done = 0; done < length; chunk = std::min(chunk * 2, kLargestChunk)) {
        const size_t size = size_t(std::min<qint64>(length - done, qint64(chunk)));
        if (!readFully(a, bufferA.get(), size, offsetA + done)
            || !readFully(b, bufferB.get(), size, offsetB + done)
            || std::memcmp(bufferA.get(), bufferB.get(), size) != 0)
            return false;
        done += qint64(size);
    }
    return true;
}

} // namespace plumtide
