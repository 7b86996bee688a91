#include "id3/bytestream.h"

#include "platform/errors.h"
#include "platform/filecopy.h"
#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

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
    FileDescriptor file = OpenRegularFile(path, access == Access::ReadWrite);
    if (!file.isOpen())
        return nullptr;
    return std::make_unique<TFileStream>(std::move(file), path);
}

TFileStream::TFileStream(FileDescriptor file, QString path, qint64 knownSize)
    : m_file(std::move(file))
    , m_path(std::move(path))
    , m_knownSize(knownSize)
{
}

TFileStream::~TFileStream() = default;

qint64 TFileStream::Size() const
{
    return m_knownSize >= 0 ? m_knownSize : FileSize(m_file, m_path);
}

void TFileStream::SetSize(qint64 size)
{
    m_knownSize = -1;
    SetFileSize(m_file, size, m_path);
}

qint64 TFileStream::ReadAt(qint64 offset, void* buffer, qint64 count) const
{
    return plumtide::ReadAt(m_file, offset, buffer, count, m_path);
}

void TFileStream::Write(const void* buffer, qint64 count)
{
    m_knownSize = -1;
    WriteAt(m_file, m_position, buffer, count, m_path);
    m_position += count;
}

void TFileStream::Sync()
{
    SyncFile(m_file, m_path);
}

void TFileStream::Close()
{
    if (!m_file.isOpen())
        return;
    if (const int error = m_file.close())
        throw IOError(QStringLiteral("Cannot close"), m_path, error);
}

TPieceStream::TPieceStream(const TByteStream& source, qint64 start, qint64 length, QByteArray head)
    : m_source(source)
    , m_start(start)
    , m_length(std::max<qint64>(length, 0))
    , m_window(std::move(head))
{
    m_window.truncate(m_length);
}

void TPieceStream::SetSize(qint64)
{
    throw IOError(QStringLiteral("a tag read in pieces cannot change"), QString());
}

void TPieceStream::Write(const void*, qint64)
{
    throw IOError(QStringLiteral("a tag read in pieces cannot change"), QString());
}

qint64 TPieceStream::ReadAt(qint64 offset, void* buffer, qint64 count) const
{
    offset = std::max<qint64>(offset, 0);
    count = std::clamp<qint64>(count, 0, std::max<qint64>(m_length - offset, 0));
    if (count == 0)
        return 0;
    const bool inWindow
        = offset >= m_windowStart && offset + count <= m_windowStart + m_window.size();
    if (!inWindow) {
        if (count >= kPiece)
            return m_source.ReadAt(m_start + offset, buffer, count);
        m_window.resize(std::min(kPiece, m_length - offset));
        m_window.truncate(m_source.ReadAt(m_start + offset, m_window.data(), m_window.size()));
        m_windowStart = offset;
    }
    const qint64 n = std::clamp<qint64>(m_windowStart + m_window.size() - offset, 0, count);
    std::memcpy(buffer, m_window.constData() + (offset - m_windowStart), static_cast<size_t>(n));
    return n;
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
