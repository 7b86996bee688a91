#include "id3/id3header.h"

#include "id3/id3engine.h"
#include "id3/id3frames.h"
#include "id3/syncsafe.h"

#include <algorithm>

namespace plumtide
{

void TID3TagRestrictions::Reset()
{
    m_imageEncoding = false;
    m_imageSize = irNone;
    m_tagSize = sr128Frames_1MB;
    m_textEncoding = false;
    m_textSize = trNone;
}

void TID3TagRestrictions::DecodeByte(std::uint8_t byte)
{
    Reset();
    m_imageSize = static_cast<TID3ImageSizeRestrictions>(byte & 3);
    m_imageEncoding = (byte & 0x04) != 0;
    m_textSize = static_cast<TID3TextSizeRestrictions>((byte >> 3) & 3);
    m_textEncoding = (byte & 0x20) != 0;
    m_tagSize = static_cast<TID3TagSizeRestrictions>((byte >> 6) & 3);
}

std::uint8_t TID3TagRestrictions::EncodeByte() const
{
    return static_cast<std::uint8_t>((m_tagSize << 6) | (m_textEncoding ? 0x20 : 0)
        | (m_textSize << 3) | (m_imageEncoding ? 0x04 : 0) | m_imageSize);
}

void TID3ExtendedHeader::Reset()
{
    m_crcData = 0;
    m_crcDataPresent = false;
    m_tagIsAnUpdate = false;
    m_tagRestricted = false;
    m_restrictions.Reset();
}

TID3Header::TID3Header(TID3Engine* owner)
    : m_owner(owner)
{
}

void TID3Header::Reset()
{
    m_experimental = false;
    m_extendedHeaderPresent = false;
    m_footerPresent = false;
    m_unsynchronisation = false;
    m_versionNumber = 4;
    m_versionRevision = 0;
    m_size = 0;
    m_extendedHeader.Reset();
}

bool TID3Header::ReadHeader(TByteStream& stream)
{
    const qint64 tagStart = stream.Position();
    Reset();
    m_size = -1;

    std::uint8_t bytes[6];
    if (stream.Read(bytes, 6) < 6)
        return false;
    if (bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3' || bytes[3] > 4)
        return false;
    m_versionNumber = bytes[3];
    m_versionRevision = bytes[4];
    m_unsynchronisation = (bytes[5] & 0x80) != 0;
    m_extendedHeaderPresent = (bytes[5] & 0x40) != 0;
    m_experimental = (bytes[5] & 0x20) != 0;
    m_footerPresent = (bytes[5] & 0x10) != 0;

    // The tag size is syncsafe in every version.
    std::uint8_t size[4] = {};
    stream.Read(size, 4);
    m_size = static_cast<std::int32_t>(DecodeSyncsafe(size, 4));

    // In version 2 the flag 0x40 marks a compressed tag (a scheme the ID3v2.2 standard never
    // defined), not an extended header; the frame reader skips such a tag's frames.
    if (!m_extendedHeaderPresent || m_versionNumber == 2)
        return true;

    // Some writers set the flag without writing an extended header. A real one starts with
    // a size whose first byte is far below 'A', so four frame-ID characters mean a frame.
    std::uint8_t id[4] = {};
    const qint64 afterHeader = stream.Position();
    if (stream.Read(id, 4) == 4 && IsValidFrameID(id)) {
        m_extendedHeaderPresent = false;
        stream.SetPosition(afterHeader);
        return true;
    }
    stream.SetPosition(afterHeader);
    if (m_versionNumber == 3)
        ReadExtendedHeaderV3(stream, tagStart);
    else
        ReadExtendedHeaderV4(stream, tagStart);
    return true;
}

// ID3v2.3 standard, section 3.2: a plain 32-bit size that excludes its own four bytes, two
// flag bytes (0x80 of the first: CRC present), a 32-bit padding size, then the 32-bit CRC.
void TID3Header::ReadExtendedHeaderV3(TByteStream& stream, qint64 tagStart)
{
    std::uint8_t bytes[10] = {};
    stream.Read(bytes, 10);
    const std::uint64_t length = DecodeBigEndian(bytes, 4);
    if (bytes[4] & 0x80) {
        std::uint8_t crc[4] = {};
        stream.Read(crc, 4);
        m_extendedHeader.SetCRCData(static_cast<TCRCData>(DecodeBigEndian(crc, 4)));
    }
    const qint64 consumed = stream.Position() - tagStart - 10;
    const qint64 skip = std::max<qint64>(4 + static_cast<qint64>(length), consumed);
    stream.SetPosition(tagStart + 10 + skip);
}

// Two layouts are in use for version 4: the ID3v2.4 standard (section 3.2) puts a length
// byte before each flag's data (so a CRC-only header is 12 bytes), while older writers of
// this program put the data directly after the flags byte (a CRC-only header is 11 bytes).
// The size field, which counts the whole extended header, tells them apart; either way the
// first frame is found by that size.
void TID3Header::ReadExtendedHeaderV4(TByteStream& stream, qint64 tagStart)
{
    std::uint8_t bytes[6] = {};
    stream.Read(bytes, 6);
    const qint64 length = static_cast<qint64>(DecodeSyncsafe(bytes, 4));
    const std::uint8_t flags = bytes[5];
    m_extendedHeader.SetTagIsAnUpdate((flags & 0x40) != 0);
    m_extendedHeader.SetCRCDataPresent((flags & 0x20) != 0);
    m_extendedHeader.SetTagRestricted((flags & 0x10) != 0);

    const qint64 withoutLengthBytes = 6 + ((flags & 0x20) ? 5 : 0) + ((flags & 0x10) ? 1 : 0);
    const bool lengthBytes = length != withoutLengthBytes;
    // Each flag's data, in flag order; `size` is what the flag's data holds.
    const auto readFlagData = [&](std::uint8_t* data, int size) {
        if (lengthBytes) {
            std::uint8_t declared = 0;
            stream.Read(&declared, 1);
            // A length other than the standard's is skipped rather than misread.
            if (declared != size) {
                stream.SetPosition(stream.Position() + declared);
                return false;
            }
        }
        return stream.Read(data, size) == size;
    };
    std::uint8_t data[5] = {};
    if (flags & 0x40)
        readFlagData(data, 0);
    if ((flags & 0x20) && readFlagData(data, 5))
        m_extendedHeader.SetCRCData(static_cast<TCRCData>(DecodeSyncsafe(data, 5)));
    if ((flags & 0x10) && readFlagData(data, 1))
        m_extendedHeader.TagRestrictions().DecodeByte(data[0]);

    const qint64 consumed = stream.Position() - tagStart - 10;
    stream.SetPosition(tagStart + 10 + std::max(length, consumed));
}

qint64 TID3Header::WriteHeader(TByteStream& stream, bool footer)
{
    std::uint8_t bytes[10];
    bytes[0] = footer ? '3' : 'I';
    bytes[1] = 'D';
    bytes[2] = footer ? 'I' : '3';
    bytes[3] = m_versionNumber;
    bytes[4] = m_versionRevision;
    // Unsynchronisation (0x80) is never written: the engine writes frames untransformed.
    bytes[5] = static_cast<std::uint8_t>((m_extendedHeaderPresent ? 0x40 : 0)
        | (m_experimental ? 0x20 : 0) | (m_footerPresent ? 0x10 : 0));
    stream.Write(bytes, 6);
    const qint64 sizePosition = stream.Position();
    if (!footer)
        m_size = 0;
    EncodeSyncsafe(static_cast<std::uint32_t>(std::max(m_size, 0)), bytes, 4);
    stream.Write(bytes, 4);
    if (!m_extendedHeaderPresent || footer)
        return sizePosition;

    const TID3ExtendedHeader& ext = m_extendedHeader;
    if (m_versionNumber == 3) {
        // ID3v2.3 layout, which every version-3 reader expects; it has no update flag and no
        // restrictions.
        std::uint8_t v3[14] = {};
        const int length = ext.CRCDataPresent() ? 10 : 6;
        EncodeBigEndian(static_cast<std::uint64_t>(length), v3, 4);
        v3[4] = ext.CRCDataPresent() ? 0x80 : 0;
        const std::int32_t padding = m_owner ? m_owner->Padding() : 0;
        EncodeBigEndian(static_cast<std::uint32_t>(padding), v3 + 6, 4);
        EncodeBigEndian(static_cast<std::uint64_t>(ext.CRCData()), v3 + 10, 4);
        stream.Write(v3, 4 + length);
        return sizePosition;
    }
    std::uint8_t v4[12] = {};
    int length = 6 + (ext.CRCDataPresent() ? 5 : 0) + (ext.TagRestricted() ? 1 : 0);
    EncodeSyncsafe(static_cast<std::uint64_t>(length), v4, 4);
    v4[4] = 0x01;
    v4[5] = static_cast<std::uint8_t>((ext.TagIsAnUpdate() ? 0x40 : 0)
        | (ext.CRCDataPresent() ? 0x20 : 0) | (ext.TagRestricted() ? 0x10 : 0));
    int at = 6;
    if (ext.CRCDataPresent()) {
        EncodeSyncsafe(static_cast<std::uint64_t>(ext.CRCData()), v4 + at, 5);
        at += 5;
    }
    if (ext.TagRestricted())
        v4[at++] = ext.TagRestrictions().EncodeByte();
    stream.Write(v4, at);
    return sizePosition;
}

} // namespace plumtide
