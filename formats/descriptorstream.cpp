#include "formats/descriptorstream.h"

#include "platform/errors.h"

#include <QFile>

#include <algorithm>
#include <climits>

namespace plumtide
{

namespace
{

// As stdio's buffer on most file systems; larger windows only copy more for reads that
// jump about.
constexpr qint64 kWindowBytes = 4096;

} // namespace

TDescriptorStream::TDescriptorStream(FileDescriptor file, qint64 size, const QString& path)
    : m_file(std::move(file))
    , m_size(std::max<qint64>(size, 0))
    , m_path(path)
    , m_encodedPath(QFile::encodeName(path))
{
}

TDescriptorStream::~TDescriptorStream() = default;

qint64 TDescriptorStream::readAt(qint64 offset, char* buffer, qint64 count)
{
    try {
        return ReadAt(m_file, offset, buffer, count, m_path);
    } catch (const IOError& error) {
        m_error = error.message();
        return 0;
    }
}

TagLib::ByteVector TDescriptorStream::readBlock(unsigned long length)
{
    if (!m_error.isEmpty() || m_position >= m_size)
        return TagLib::ByteVector();
    // A ByteVector counts its bytes in an unsigned int.
    const qint64 count = static_cast<qint64>(std::min<unsigned long>(
        { length, static_cast<unsigned long>(m_size - m_position), UINT_MAX }));
    if (count > kWindowBytes) {
        TagLib::ByteVector block(static_cast<unsigned int>(count));
        const qint64 got = readAt(m_position, block.data(), count);
        block.resize(static_cast<unsigned int>(got));
        m_position += got;
        return block;
    }
    if (m_position < m_windowStart || m_position + count > m_windowStart + m_window.size()) {
        m_windowStart = m_position;
        m_window.resize(std::min(kWindowBytes, m_size - m_position));
        m_window.resize(readAt(m_position, m_window.data(), m_window.size()));
    }
    const qint64 at = m_position - m_windowStart;
    const qint64 got = std::clamp<qint64>(m_window.size() - at, 0, count);
    m_position += got;
    return TagLib::ByteVector(m_window.constData() + at, static_cast<unsigned int>(got));
}

void TDescriptorStream::writeBlock(const TagLib::ByteVector&)
{
}

void TDescriptorStream::insert(const TagLib::ByteVector&, unsigned long, unsigned long)
{
}

void TDescriptorStream::removeBlock(unsigned long, unsigned long)
{
}

void TDescriptorStream::truncate(long)
{
}

void TDescriptorStream::seek(long offset, Position from)
{
    const qint64 base = from == Beginning ? 0 : from == Current ? m_position : m_size;
    qint64 target = 0;
    if (__builtin_add_overflow(base, static_cast<qint64>(offset), &target) || target < 0)
        return;
    m_position = target;
}

} // namespace plumtide
