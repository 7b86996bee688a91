#include "id3/id3error.h"
#include "id3/id3frames.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace plumtide
{

void CompressFrameData(TMemoryStream& data, TCompressionLevel level)
{
    static constexpr int kLevels[] = { 0, 1, Z_DEFAULT_COMPRESSION, 9 };
    const QByteArray& input = data.Bytes();
    if (static_cast<quint64>(input.size()) > std::numeric_limits<uLong>::max() / 2)
        throw TagError(QStringLiteral("Frame data too large to compress"));
    uLongf length = compressBound(static_cast<uLong>(input.size()));
    QByteArray output(static_cast<qsizetype>(length), Qt::Uninitialized);
    const int result = compress2(reinterpret_cast<Bytef*>(output.data()), &length,
        reinterpret_cast<const Bytef*>(input.constData()), static_cast<uLong>(input.size()),
        kLevels[level]);
    if (result != Z_OK)
        throw TagError(QStringLiteral("Cannot compress frame data (zlib error %1)").arg(result));
    output.truncate(static_cast<qsizetype>(length));
    data.SetBytes(std::move(output));
}

void DecompressFrameData(TMemoryStream& data, qint64 maxOutput)
{
    const QByteArray input = data.Bytes();
    // Deflate turns a byte into at most 1032 (a 258-byte match costs at least two bits), so
    // more output than this comes from no valid stream and is not worth memory.
    const qint64 possible = input.size() * qint64(1032) + 1024;
    const qint64 limit = std::min(possible, maxOutput);

    z_stream zs {};
    if (inflateInit(&zs) != Z_OK)
        throw TagError(QStringLiteral("Cannot start decompression"));
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
    zs.avail_in
        = static_cast<uInt>(std::min<qint64>(input.size(), std::numeric_limits<uInt>::max()));

    QByteArray output;
    int result = Z_OK;
    // Grow as the output arrives; a declared length is never trusted for allocation.
    qint64 chunk = std::clamp<qint64>(input.size() * 4, 4096, 1 << 20);
    while (result == Z_OK && output.size() < limit) {
        const qint64 before = output.size();
        const qint64 room = std::min(chunk, limit - before);
        output.resize(before + room);
        zs.next_out = reinterpret_cast<Bytef*>(output.data() + before);
        zs.avail_out = static_cast<uInt>(room);
        result = inflate(&zs, Z_NO_FLUSH);
        output.truncate(before + room - zs.avail_out);
        chunk = std::min<qint64>(chunk * 2, 16 << 20);
        // Input used up before the stream's end: the data was cut short; keep what it gave.
        if (result == Z_BUF_ERROR || (result == Z_OK && zs.avail_in == 0 && zs.avail_out != 0))
            break;
    }
    inflateEnd(&zs);
    if (result == Z_OK && output.size() >= limit && limit < possible)
        throw TagError(QStringLiteral("Compressed frame data inflates beyond %1 bytes").arg(limit));
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
        throw TagError(QStringLiteral("Corrupt compressed frame data (zlib error %1)").arg(result));
    data.SetBytes(std::move(output));
}

} // namespace plumtide
