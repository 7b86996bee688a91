#include "id3/id3frames.h"

#include "id3/id3engine.h"
#include "id3/id3error.h"
#include "id3/id3lists.h"
#include "id3/syncsafe.h"

#include <algorithm>
#include <cstring>

namespace plumtide
{

namespace
{

// Version-2 frames the engine uses, and the version-4 IDs they are kept under.
constexpr struct {
    const char* v2;
    const char* v4;
} kVersion2Ids[] = {
    { "TT2", "TIT2" },
    { "TP1", "TPE1" },
    { "TAL", "TALB" },
    { "TYE", "TYER" },
    { "TRK", "TRCK" },
    { "TCO", "TCON" },
    { "TEN", "TENC" },
    { "TT3", "TIT3" },
    { "COM", "COMM" },
};

std::uint8_t TagVersion(const TID3Frames* frames)
{
    const TID3Engine* engine = frames ? frames->Owner() : nullptr;
    return engine ? engine->Header().VersionNumber() : 4;
}

// Reads at most `count` bytes, but none at or past `end`.
qint64 ReadBounded(TByteStream& stream, void* buffer, qint64 count, qint64 end)
{
    return stream.Read(buffer, std::clamp<qint64>(end - stream.Position(), 0, count));
}

// How a walk over the frame headers with one reading of the size fields ends: the number
// of frame IDs it meets, and whether it stops cleanly (at the end or at zero padding).
struct Walk {
    int frames = 0;
    bool clean = false;
};

Walk WalkFrames(const TByteStream& stream, qint64 position, qint64 end, bool plain)
{
    Walk walk;
    std::uint8_t header[10];
    while (position + 10 <= end && stream.ReadAt(position, header, 10) == 10) {
        if (!IsKeptFrameID(header)) {
            walk.clean = header[0] == 0;
            return walk;
        }
        ++walk.frames;
        position += 10
            + static_cast<qint64>(
                plain ? DecodeBigEndian(header + 4, 4) : DecodeSyncsafe(header + 4, 4));
    }
    walk.clean = position == end
        || (position < end && stream.ReadAt(position, header, 1) == 1 && header[0] == 0);
    return walk;
}

// Some writers put plain 32-bit sizes into version-4 frames, against the ID3v2.4 standard
// (section 4). Both readings agree below 128 bytes. The plain one is taken only when the
// syncsafe one runs into garbage and the plain one walks the tag better: over more frames,
// or as far but ending cleanly.
bool PlainSizesInVersion4(const TByteStream& stream, qint64 position, qint64 end)
{
    const Walk syncsafe = WalkFrames(stream, position, end, false);
    if (syncsafe.clean)
        return false;
    const Walk plain = WalkFrames(stream, position, end, true);
    return plain.frames > syncsafe.frames || (plain.frames == syncsafe.frames && plain.clean);
}

} // namespace

bool IsValidFrameID(const std::uint8_t* id, int length)
{
    for (int i = 0; i < length; ++i) {
        const std::uint8_t c = id[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')))
            return false;
    }
    return true;
}

bool IsKeptFrameID(const std::uint8_t* id)
{
    bool spacesOnly = true;
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t c = id[i];
        if (c == ' ')
            continue;
        if (!IsValidFrameID(&c, 1))
            return false;
        spacesOnly = false;
    }
    return !spacesOnly;
}

QByteArray UndoUnsynchronisation(const QByteArray& bytes)
{
    const qsizetype first = bytes.indexOf(QByteArrayView("\xFF\x00", 2));
    if (first < 0)
        return bytes;
    QByteArray result(bytes.size(), Qt::Uninitialized);
    char* out = result.data();
    const char* in = bytes.constData();
    const char* const end = in + bytes.size();
    std::memcpy(out, in, static_cast<size_t>(first + 1));
    out += first + 1;
    in += first + 2;
    while (in < end) {
        const char c = *in++;
        *out++ = c;
        if (c == '\xFF' && in < end && *in == '\0')
            ++in;
    }
    result.truncate(out - result.constData());
    return result;
}

// --- TID3Frames_Item -------------------------------------------------------------------------

TID3Frames_Item::TID3Frames_Item(TID3Frames* collection, int id)
    : m_collection(collection)
    , m_id(id)
{
}

QString TID3Frames_Item::Name() const
{
    return QString::fromLatin1(m_frameId, static_cast<qsizetype>(std::strlen(m_frameId)));
}

void TID3Frames_Item::SetName(const QString& value)
{
    if (value.size() < 4)
        return;
    const QByteArray id = value.left(4).toLatin1();
    SetFrameID(id.constData(), 4);
}

void TID3Frames_Item::SetFrameID(const char* id, int length)
{
    std::memset(m_frameId, 0, sizeof m_frameId);
    std::memcpy(m_frameId, id, static_cast<size_t>(std::clamp(length, 0, 4)));
}

QString TID3Frames_Item::AsText() const
{
    return m_ciphertext ? QString() : ReadFrameText(m_data).Text;
}

void TID3Frames_Item::SetAsText(const QString& value)
{
    WriteFrameText(0, value, m_data, TagVersion(m_collection));
}

QString TID3Frames_Item::GetDisplayName() const
{
    const QString id = Name();
    if (id.isEmpty())
        return QStringLiteral("TID3Frames_Item");
    const QString description = FrameDescription(id);
    return description.isEmpty() ? id : description;
}

void TID3Frames_Item::Assign(const TID3Frames_Item& source)
{
    if (&source == this)
        return;
    m_compress = source.m_compress;
    m_dataLengthIndicator = source.m_dataLengthIndicator;
    m_encrypted = source.m_encrypted;
    m_fileAlterDiscardable = source.m_fileAlterDiscardable;
    m_grouping = source.m_grouping;
    m_readOnly = source.m_readOnly;
    m_tagAlterDiscardable = source.m_tagAlterDiscardable;
    m_unsynchronisation = source.m_unsynchronisation;
    m_encryptionId = source.m_encryptionId;
    m_groupId = source.m_groupId;
    std::memcpy(m_frameId, source.m_frameId, sizeof m_frameId);
    m_storedLength = source.m_storedLength;
    m_ciphertext = source.m_ciphertext;
    m_data.SetBytes(source.m_data.Bytes());
}

// --- TID3Frames ------------------------------------------------------------------------------

TID3Frames::TID3Frames(TID3Engine* owner)
    : m_owner(owner)
{
}

TID3Frames_Item& TID3Frames::Add()
{
    m_items.push_back(std::make_unique<TID3Frames_Item>(this, m_nextId++));
    return *m_items.back();
}

TID3Frames_Item* TID3Frames::Find(const char* id) const
{
    for (const auto& item : m_items) {
        if (std::memcmp(item->m_frameId, id, 4) == 0)
            return item.get();
    }
    return nullptr;
}

void TID3Frames::Assign(const TID3Frames& source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto& item : source.m_items)
        Add().Assign(*item);
}

void TID3Frames::ReadFrames(TByteStream& stream, qint64 tagStart)
{
    Clear();
    if (!m_owner)
        return;
    const TID3Header& header = m_owner->Header();
    const std::uint8_t version = header.VersionNumber();
    const qint64 end = std::min(tagStart + 10 + std::max<qint64>(header.Size(), 0), stream.Size());
    // A compressed version-2 tag uses a scheme that was never defined: nothing to read.
    const bool unreadable = version == 2 && header.ExtendedHeaderPresent();

    // Versions 0 and 1, which no standard defines, are read like version 4.
    const bool v4Layout = version != 2 && version != 3;
    const bool plainSizes = v4Layout && PlainSizesInVersion4(stream, stream.Position(), end);
    const int idLength = version == 2 ? 3 : 4;
    const int headerLength = version == 2 ? 6 : 10;
    qint64 inflated = 0; // bytes that compressed frames took once inflated
    // An engine that only reads texts passes over other frames unread; they count as read.
    const bool textsOnly = m_owner->TextFramesOnly();
    qint64 passed = 0;
    bool artist = false;
    bool title = false;
    bool first = true;
    while (!unreadable && (first || stream.Position() < end) && Count() + passed < kMaxFrames) {
        first = false;
        const qint64 start = stream.Position();
        std::uint8_t frameHeader[10] = {};
        const qint64 headerRead = ReadBounded(stream, frameHeader, headerLength, end);
        // Some encoders pad three-character IDs with a space ("TST "). Such a frame is kept
        // as an unknown one when its size fits in the tag; any other ID ends the frames.
        const bool validId = headerRead >= idLength && IsValidFrameID(frameHeader, idLength);
        if (!validId
            && (version == 2 || headerRead < headerLength || !IsKeptFrameID(frameHeader))) {
            stream.SetPosition(start);
            break;
        }
        qint64 size = 0;
        if (version == 2)
            size = static_cast<qint64>(DecodeBigEndian(frameHeader + 3, 3));
        else // Syncsafe from version 4 on, plain 32-bit integers in version 3.
            size = static_cast<qint64>(version == 3 || plainSizes
                    ? DecodeBigEndian(frameHeader + 4, 4)
                    : DecodeSyncsafe(frameHeader + 4, 4));
        const qint64 frameEnd = start + headerLength + size;
        if (!validId && frameEnd > end) {
            stream.SetPosition(start);
            break;
        }
        if (textsOnly && frameHeader[0] != 'T') {
            ++passed;
            stream.SetPosition(std::min(frameEnd, end));
            continue;
        }

        TID3Frames_Item& frame = Add();
        int extras = 0; // bytes the format flags add in front of the data
        if (version == 2) {
            const char* v4 = nullptr;
            for (const auto& ids : kVersion2Ids) {
                if (std::memcmp(ids.v2, frameHeader, 3) == 0)
                    v4 = ids.v4;
            }
            if (v4)
                frame.SetFrameID(v4, 4);
            else
                frame.SetFrameID(reinterpret_cast<const char*>(frameHeader), 3);
        } else {
            frame.SetFrameID(reinterpret_cast<const char*>(frameHeader), 4);
            const std::uint8_t status = frameHeader[8];
            const std::uint8_t format = frameHeader[9];
            if (version == 3) {
                // ID3v2.3 standard, section 3.3.1.
                frame.m_tagAlterDiscardable = status & 0x80;
                frame.m_fileAlterDiscardable = status & 0x40;
                frame.m_readOnly = status & 0x20;
                frame.m_compress = format & 0x80;
                frame.m_dataLengthIndicator = frame.m_compress;
                frame.m_encrypted = format & 0x40;
                frame.m_grouping = format & 0x20;
            } else {
                // ID3v2.4 standard, section 4.1.
                frame.m_tagAlterDiscardable = status & 0x40;
                frame.m_fileAlterDiscardable = status & 0x20;
                frame.m_readOnly = status & 0x10;
                frame.m_grouping = format & 0x40;
                frame.m_compress = format & 0x08;
                frame.m_encrypted = format & 0x04;
                frame.m_unsynchronisation = format & 0x02;
                frame.m_dataLengthIndicator = format & 0x01;
            }
            extras = (frame.m_dataLengthIndicator ? 4 : 0) + (frame.m_encrypted ? 1 : 0)
                + (frame.m_grouping ? 1 : 0);
        }

        // The additional bytes lie inside the frame size (ID3v2.3 and ID3v2.4 standards), and
        // nothing of a frame is read past it. A frame whose flags announce more than it holds
        // cannot be read; its size still says where the next frame starts.
        std::uint8_t extra[6] = {};
        if (extras > size
            || ReadBounded(stream, extra, extras, std::min(frameEnd, end)) != extras) {
            m_items.pop_back();
            stream.SetPosition(std::min(frameEnd, end));
            continue;
        }
        const std::uint8_t* next = extra;
        if (version == 3) {
            // In flag order: decompressed size, encryption method, group.
            if (frame.m_compress) {
                frame.m_storedLength = static_cast<qint64>(DecodeBigEndian(next, 4));
                next += 4;
            }
            if (frame.m_encrypted)
                frame.m_encryptionId = *next++;
            if (frame.m_grouping)
                frame.m_groupId = *next++;
        } else if (version != 2) {
            // Group, encryption method, data length.
            if (frame.m_grouping)
                frame.m_groupId = *next++;
            if (frame.m_encrypted)
                frame.m_encryptionId = *next++;
            if (frame.m_dataLengthIndicator)
                frame.m_storedLength = static_cast<qint64>(DecodeSyncsafe(next, 4));
        }

        QByteArray bytes(
            std::clamp<qint64>(end - stream.Position(), 0, size - extras), Qt::Uninitialized);
        stream.Read(bytes.data(), bytes.size());
        if (v4Layout && (frame.m_unsynchronisation || header.Unsynchronisation()))
            bytes = UndoUnsynchronisation(bytes);
        frame.m_data.SetBytes(std::move(bytes));

        // Without a decryption handler the data stays as stored, and stored encrypted data is
        // no zlib stream.
        const bool decrypted = !frame.m_encrypted || m_owner->OnFrameDecrypt;
        frame.m_ciphertext = !decrypted;
        if (decrypted)
            frame.m_storedLength = -1;
        if (frame.m_encrypted && m_owner->OnFrameDecrypt)
            m_owner->OnFrameDecrypt(frame, frame.m_data);
        if (frame.m_compress && decrypted) {
            try {
                DecompressFrameData(frame.m_data,
                    std::min(kMaxInflatedFrame, std::max<qint64>(kMaxInflatedTag - inflated, 0)));
                inflated += frame.m_data.Size();
            } catch (const TagError&) {
                // Its stored bytes would read as garbage text and be compressed again on
                // writing: the frame goes, the frames before it stay.
                m_items.pop_back();
                throw;
            }
        }
        frame.m_data.SetPosition(0);
        // Later frames cannot change the first artist and title, which is all such a reader
        // takes: the rest of the tag (often the cover) stays unread.
        if (textsOnly && !frame.m_ciphertext) {
            artist = artist || std::memcmp(frame.m_frameId, "TPE1", 4) == 0;
            title = title || std::memcmp(frame.m_frameId, "TIT2", 4) == 0;
            if (artist && title)
                break;
        }
    }
    m_owner->SetPadding(static_cast<std::int32_t>(std::max<qint64>(end - stream.Position(), 0)));
}

void TID3Frames::WriteFrames(TByteStream& stream)
{
    if (!m_owner)
        return;
    TID3Header& header = m_owner->Header();
    const bool v3 = header.VersionNumber() == 3;
    const qint64 start = stream.Position();
    TMemoryStream work;
    for (const auto& item : m_items) {
        TID3Frames_Item& frame = *item;
        if (!IsKeptFrameID(frame.m_frameId))
            continue;
        work.SetBytes(frame.m_data.Bytes());
        // Encrypted data read without a decryption handler is still as stored: compressed
        // already, and written back unchanged; so is compressed data that an engine reading
        // texts only left as it was.
        const bool plain = frame.m_encrypted ? (m_owner->OnFrameEncrypt && !frame.m_ciphertext)
                                             : !(frame.m_compress && frame.m_storedLength >= 0);
        const qint64 dataLength
            = (!plain && frame.m_storedLength >= 0) ? frame.m_storedLength : frame.DataSize();
        if (frame.m_compress && plain)
            CompressFrameData(work, clMax);
        if (frame.m_encrypted && plain) {
            work.SetPosition(0);
            m_owner->OnFrameEncrypt(frame, work);
        }

        std::uint8_t bytes[16] = {};
        std::memcpy(bytes, frame.m_frameId, 4);
        int extras = 0;
        std::uint8_t* extra = bytes + 10;
        if (v3) {
            bytes[8] = static_cast<std::uint8_t>((frame.m_tagAlterDiscardable ? 0x80 : 0)
                | (frame.m_fileAlterDiscardable ? 0x40 : 0) | (frame.m_readOnly ? 0x20 : 0));
            bytes[9] = static_cast<std::uint8_t>((frame.m_compress ? 0x80 : 0)
                | (frame.m_encrypted ? 0x40 : 0) | (frame.m_grouping ? 0x20 : 0));
            if (frame.m_compress) {
                EncodeBigEndian(static_cast<std::uint64_t>(dataLength), extra, 4);
                extras += 4;
            }
            if (frame.m_encrypted)
                extra[extras++] = frame.m_encryptionId;
            if (frame.m_grouping)
                extra[extras++] = frame.m_groupId;
        } else {
            bytes[8] = static_cast<std::uint8_t>((frame.m_tagAlterDiscardable ? 0x40 : 0)
                | (frame.m_fileAlterDiscardable ? 0x20 : 0) | (frame.m_readOnly ? 0x10 : 0));
            // Unsynchronisation (0x02) is never written: Data goes out untransformed.
            bytes[9] = static_cast<std::uint8_t>((frame.m_grouping ? 0x40 : 0)
                | (frame.m_compress ? 0x08 : 0) | (frame.m_encrypted ? 0x04 : 0)
                | (frame.m_dataLengthIndicator ? 0x01 : 0));
            if (frame.m_grouping)
                extra[extras++] = frame.m_groupId;
            if (frame.m_encrypted)
                extra[extras++] = frame.m_encryptionId;
            if (frame.m_dataLengthIndicator) {
                EncodeSyncsafe(static_cast<std::uint64_t>(dataLength), extra + extras, 4);
                extras += 4;
            }
        }
        const qint64 size = work.Size() + extras;
        if (size > (v3 ? 0xFFFFFFFFLL : 0x0FFFFFFFLL))
            throw TagError(QStringLiteral("Frame %1 is too large for a tag").arg(frame.Name()));
        if (v3)
            EncodeBigEndian(static_cast<std::uint64_t>(size), bytes + 4, 4);
        else
            EncodeSyncsafe(static_cast<std::uint64_t>(size), bytes + 4, 4);
        stream.Write(bytes, 10 + extras);
        stream.Write(work.Bytes());
    }
    header.SetSize(
        static_cast<std::int32_t>(std::min<qint64>(stream.Position() - start, INT32_MAX)));
}

} // namespace plumtide
