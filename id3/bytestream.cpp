#include "id3/bytestream.h"

#include "platform/errors.h"
#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plumtide
{

qint64 TByteStream::Read(void* buffer, qint64 count)
{
    if (count <= 0)
        return 0;
    const qint64 n = ReadAt(m_position, buffer, count);
    m_position += n;
    return n;
}

QByteArray TByteStream::ReadAt(qint64 offset, qint64 count) const
{
    QByteArray bytes(std::max<qint64>(count, 0), Qt::Uninitialized);
    bytes.truncate(ReadAt(offset, bytes.data(), bytes.size()));
    return bytes;
}

TMemoryStream::TMemoryStream(QByteArray bytes)
    : m_bytes(std::move(bytes))
{
}

void TMemoryStream::SetBytes(QByteArray bytes)
{
    m_bytes = std::move(bytes);
    m_position = 0;
}

void TMemoryStream::SetSize(qint64 size)
{
    // Growth is zeroed, as a file's is: padding must never carry stale memory.
    m_bytes.resize(std::max<qint64>(size, 0), '\0');
}

qint64 TMemoryStream::ReadAt(qint64 offset, void* buffer, qint64 count) const
{
    const qint64 available = std::max<qint64>(m_bytes.size() - std::max<qint64>(offset, 0), 0);
    const qint64 n = std::clamp<qint64>(count, 0, available);
    if (n > 0)
        std::memcpy(buffer, m_bytes.constData() + offset, static_cast<size_t>(n));
    return n;
}

void TMemoryStream::Write(const void* buffer, qint64 count)
{
    if (count <= 0)
        return;
    const qint64 end = m_position + count;
    if (end > m_bytes.size())
        m_bytes.resize(end, '\0');
    std::memcpy(m_bytes.data() + m_position, buffer, static_cast<size_t>(count));
    m_position = end;
}

std::unique_ptr<TFileStream> TFileStream::OpenExisting(const QString& path, Access access)
{
    // O_NONBLOCK: opening a FIFO that happens to carry an mp3 name must not wait for a writer.
    const int flags = (access == Access::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK;
    const int fd = ::open(EncodePath(path).constData(), flags);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR)
            return nullptr;
        throw IOError(QStringLiteral("Cannot open"), path, errno);
    }
    auto stream = std::make_unique<TFileStream>(fd, path);
    struct stat st {
    };
    if (::fstat(fd, &st) != 0)
        throw IOError(QStringLiteral("Cannot examine"), path, errno);
    if (!S_ISREG(st.st_mode))
        return nullptr;
    return stream;
}

TFileStream::TFileStream(int fd, QString path)
    : m_fd(fd)
    , m_path(std::move(path))
{
}

TFileStream::~TFileStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

qint64 TFileStream::Size() const
{
    struct stat st {
    };
    if (::fstat(m_fd, &st) != 0)
        throw IOError(QStringLiteral("Cannot examine"), m_path, errno);
    return st.st_size;
}

void TFileStream::SetSize(qint64 size)
{
    if (::ftruncate(m_fd, std::max<qint64>(size, 0)) != 0)
        throw IOError(QStringLiteral("Cannot change the size of"), m_path, errno);
}

qint64 TFileStream::ReadAt(qint64 offset, void* buffer, qint64 count) const
{
    if (offset < 0)
        return 0;
    qint64 done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::pread(m_fd, bytes + done, static_cast<size_t>(count - done),
            static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw IOError(QStringLiteral("Cannot read"), m_path, errno);
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

void TFileStream::Write(const void* buffer, qint64 count)
{
    const auto* bytes = static_cast<const char*>(buffer);
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(m_fd, bytes + done, static_cast<size_t>(count - done),
            static_cast<off_t>(m_position + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw IOError(QStringLiteral("Cannot write"), m_path, errno);
        }
        done += n;
    }
    m_position += done;
}

void TFileStream::Sync()
{
    if (::fsync(m_fd) != 0)
        throw IOError(QStringLiteral("Cannot flush"), m_path, errno);
}

void TFileStream::Close()
{
    const int fd = m_fd;
    m_fd = -1;
    if (fd >= 0 && ::close(fd) != 0)
        throw IOError(QStringLiteral("Cannot close"), m_path, errno);
}

qint64 CopyStreamData(TByteStream& source, TByteStream& destination, qint64 count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    count = std::min(count, std::max<qint64>(source.Size() - source.Position(), 0));
    char buffer[4096];
    qint64 done = 0;
    while (done < count) {
        const qint64 n = source.Read(buffer, std::min<qint64>(sizeof buffer, count - done));
        if (n <= 0)
            break; // the source shrank meanwhile
        destination.Write(buffer, n);
        done += n;
    }
    return done;
}

} // namespace plumtide
