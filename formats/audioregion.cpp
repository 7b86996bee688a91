#include "formats/audioregion.h"

#include "platform/errors.h"

#include <QByteArrayView>
#include <QtEndian>

#include <algorithm>

namespace plumtide
{

namespace
{

// Large enough for a Lyrics3 v1 block and the headers around it, small enough to read for
// the few bytes a header needs.
constexpr qint64 kWindowBytes = 8192;

// Past this many top-level atoms an MP4 file is not a song but a trap, and the whole-file
// compare does without the walk.
constexpr int kMaxTopLevelAtoms = 100000;

// A file read by offset through a window of it: the walks below read many small headers
// close together, from the front of a file and from its back, and a system call each would
// make a file of many tiny tags or blocks slow.
class TFileBytes
{
public:
    TFileBytes(const FileDescriptor& file, qint64 size)
        : m_file(file)
        , m_size(size)
    {
    }

    qint64 size() const { return m_size; }

    // The `count` bytes at `offset`, fewer where the file ends first.
    QByteArray at(qint64 offset, qint64 count) { return read(offset, count, offset); }

    // The `count` bytes that end at `end`, fewer where the file starts first.
    QByteArray before(qint64 end, qint64 count)
    {
        const qint64 from = std::max<qint64>(end - count, 0);
        return read(from, end - from, end - kWindowBytes);
    }

private:
    // Loads the window from `windowStart` (moved as far as needed to hold the bytes asked
    // for) unless it holds them already.
    QByteArray read(qint64 offset, qint64 count, qint64 windowStart)
    {
        if (offset < 0 || count <= 0 || offset >= m_size)
            return {};
        count = std::min(count, m_size - offset);
        if (offset >= m_windowStart && offset + count <= m_windowStart + m_window.size())
            return m_window.mid(offset - m_windowStart, count);
        if (count > kWindowBytes) {
            QByteArray bytes(count, Qt::Uninitialized);
            bytes.truncate(ReadAt(m_file, offset, bytes.data(), count, QString()));
            return bytes;
        }
        m_windowStart = std::clamp(windowStart, offset + count - kWindowBytes, offset);
        m_windowStart = std::max<qint64>(m_windowStart, 0);
        m_window.resize(std::min(kWindowBytes, m_size - m_windowStart));
        m_window.truncate(
            ReadAt(m_file, m_windowStart, m_window.data(), m_window.size(), QString()));
        return m_window.mid(offset - m_windowStart, count);
    }

    const FileDescriptor& m_file;
    qint64 m_size;
    QByteArray m_window;
    qint64 m_windowStart = 0;
};

bool has(const QByteArray& bytes, qsizetype at, QByteArrayView text)
{
    return bytes.size() >= at + text.size() && QByteArrayView(bytes).sliced(at).startsWith(text);
}

quint32 bigEndian32(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

// The bytes an ID3v2 tag takes (header, frames, padding and footer) by its header or
// footer (`magic` "ID3" or "3DI"); 0 when the 10 bytes are not one.
qint64 id3v2Length(const QByteArray& bytes, QByteArrayView magic)
{
    if (bytes.size() < 10 || !has(bytes, 0, magic))
        return 0;
    const auto byte = [&](int i) { return static_cast<quint8>(bytes[i]); };
    if (byte(3) < 2 || byte(3) > 4 || byte(4) == 0xFF)
        return 0;
    qint64 size = 0;
    for (int i = 6; i < 10; ++i) {
        if (byte(i) & 0x80)
            return 0;
        size = size << 7 | byte(i);
    }
    return 10 + size + ((byte(5) & 0x10) ? 10 : 0);
}

// Where the audio starts after the ID3v2 tags at `from`, one after another; nothing when a
// tag claims more than the file holds.
std::optional<qint64> afterID3v2Tags(TFileBytes& bytes, qint64 from)
{
    while (const qint64 length = id3v2Length(bytes.at(from, 10), "ID3")) {
        if (length > bytes.size() - from)
            return std::nullopt;
        from += length;
    }
    return from;
}

// The bytes of an ID3v1 block that ends at `end`, the audio starting at `start`; 0 when
// none does.
qint64 id3v1Before(TFileBytes& bytes, qint64 start, qint64 end)
{
    return end - start >= 128 && has(bytes.before(end, 128), 0, "TAG") ? 128 : 0;
}

// An APE tag: a 32-byte footer whose size counts the items and the footer, and a 32-byte
// header before the items when the footer's flags say so (bit 31).
qint64 apeTagBefore(TFileBytes& bytes, qint64 start, qint64 end)
{
    const QByteArray footer = bytes.before(end, 32);
    if (end - start < 32 || footer.size() < 32 || !has(footer, 0, "APETAGEX"))
        return 0;
    const qint64 size = qFromLittleEndian<quint32>(footer.constData() + 12);
    const quint32 flags = qFromLittleEndian<quint32>(footer.constData() + 20);
    const qint64 length = size + ((flags & 0x80000000U) ? 32 : 0);
    if (size < 32 || length > end - start)
        return 0;
    if ((flags & 0x80000000U) && !has(bytes.at(end - length, 8), 0, "APETAGEX"))
        return 0;
    return length;
}

// Lyrics3 v2: "LYRICSBEGIN" and fields, their size in 6 digits, then "LYRICS200".
qint64 lyrics3v2Before(TFileBytes& bytes, qint64 start, qint64 end)
{
    const QByteArray tail = bytes.before(end, 15);
    if (end - start < 15 + 11 || tail.size() < 15 || !has(tail, 6, "LYRICS200"))
        return 0;
    qint64 size = 0;
    for (int i = 0; i < 6; ++i) {
        if (tail[i] < '0' || tail[i] > '9')
            return 0;
        size = size * 10 + (tail[i] - '0');
    }
    const qint64 length = size + 15;
    if (length > end - start || !has(bytes.at(end - length, 11), 0, "LYRICSBEGIN"))
        return 0;
    return length;
}

// Lyrics3 v1: "LYRICSBEGIN", at most 5100 bytes of lyrics, "LYRICSEND"; nothing gives the
// size, so the start is searched for.
qint64 lyrics3v1Before(TFileBytes& bytes, qint64 start, qint64 end)
{
    if (end - start < 11 + 9 || !has(bytes.before(end, 9), 0, "LYRICSEND"))
        return 0;
    const qint64 reach = std::min<qint64>(11 + 5100, end - 9 - start);
    const QByteArray before = bytes.before(end - 9, reach);
    const qsizetype begin = before.lastIndexOf("LYRICSBEGIN");
    return begin < 0 ? 0 : before.size() - begin + 9;
}

// An ID3v2.4 tag appended to the file, found by the footer that ends it.
qint64 appendedID3v2Before(TFileBytes& bytes, qint64 start, qint64 end)
{
    const qint64 length = id3v2Length(bytes.before(end, 10), "3DI");
    if (length < 20 || length > end - start)
        return 0;
    return id3v2Length(bytes.at(end - length, 10), "ID3") == length ? length : 0;
}

std::optional<TAudioRegion> regionOfMp3(TFileBytes& bytes)
{
    const std::optional<qint64> start = afterID3v2Tags(bytes, 0);
    if (!start)
        return std::nullopt;
    // Taggers add and keep tags at the end in every order: each one is peeled off until none
    // is left.
    qint64 end = bytes.size();
    for (bool peeled = true; peeled && end > *start;) {
        peeled = false;
        for (const auto tagBefore :
            { id3v1Before, apeTagBefore, lyrics3v2Before, lyrics3v1Before, appendedID3v2Before }) {
            if (const qint64 length = tagBefore(bytes, *start, end)) {
                end -= length;
                peeled = true;
            }
        }
    }
    return TAudioRegion { *start, end - *start };
}

std::optional<TAudioRegion> regionOfFlac(TFileBytes& bytes)
{
    const std::optional<qint64> stream = afterID3v2Tags(bytes, 0);
    if (!stream || !has(bytes.at(*stream, 4), 0, "fLaC"))
        return std::nullopt;
    TAudioRegion region;
    qint64 position = *stream + 4;
    for (bool last = false; !last;) {
        const QByteArray header = bytes.at(position, 4);
        if (header.size() < 4)
            return std::nullopt;
        last = (header[0] & 0x80) != 0;
        const int type = header[0] & 0x7F;
        const qint64 length = bigEndian32(header, 0) & 0xFFFFFF;
        if (type == 127)
            return std::nullopt; // no block is of this type: not FLAC metadata
        // STREAMINFO, always the first block: the MD5 of the decoded audio follows the
        // sizes, rates and sample count.
        if (type == 0 && position == *stream + 4 && length >= 34) {
            const QByteArray md5 = bytes.at(position + 4 + 18, 16);
            if (md5.size() == 16 && md5.count('\0') != 16)
                region.flacMd5 = md5;
        }
        position += 4 + length;
        if (position > bytes.size())
            return std::nullopt;
    }
    region.offset = position;
    region.length = bytes.size() - position;
    region.length -= id3v1Before(bytes, position, bytes.size());
    return region;
}

std::optional<TAudioRegion> regionOfMp4(TFileBytes& bytes)
{
    std::optional<TAudioRegion> region;
    qint64 position = 0;
    for (int atoms = 0; position + 8 <= bytes.size(); ++atoms) {
        if (atoms == kMaxTopLevelAtoms)
            return std::nullopt;
        const QByteArray header = bytes.at(position, 16);
        if (header.size() < 8)
            break;
        qint64 length = bigEndian32(header, 0);
        qint64 headerLength = 8;
        if (length == 1) {
            if (header.size() < 16)
                break;
            length = qFromBigEndian<qint64>(header.constData() + 8);
            headerLength = 16;
        } else if (length == 0) {
            length = bytes.size() - position;
        }
        if (length < headerLength)
            break;
        // The audio of a file cut short ends where the file does.
        const qint64 end = length > bytes.size() - position ? bytes.size() : position + length;
        if (has(header, 4, "mdat")) {
            // Audio in two places: which bytes make the song is more than the atoms tell.
            if (region)
                return std::nullopt;
            region = TAudioRegion { position + headerLength, end - position - headerLength };
        }
        position = end;
    }
    return region;
}

} // namespace

std::optional<TAudioRegion> AudioRegionOf(
    TAudioFormat format, const FileDescriptor& file, qint64 size)
{
    if (size <= 0)
        return std::nullopt;
    TFileBytes bytes(file, size);
    std::optional<TAudioRegion> region;
    try {
        switch (format) {
        case TAudioFormat::Mp3:
            region = regionOfMp3(bytes);
            break;
        case TAudioFormat::Flac:
            region = regionOfFlac(bytes);
            break;
        case TAudioFormat::Mp4:
            region = regionOfMp4(bytes);
            break;
        case TAudioFormat::Ogg:
            if (has(bytes.at(0, 4), 0, "OggS"))
                region = TAudioRegion { 0, size };
            break;
        case TAudioFormat::None:
            break;
        }
    } catch (const IOError&) {
        return std::nullopt;
    }
    if (!region || region->length <= 0)
        return std::nullopt;
    return region;
}

} // namespace plumtide
