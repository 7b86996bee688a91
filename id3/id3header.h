#pragma once

#include "id3/bytestream.h"

#include <cstdint>

namespace plumtide
{

class TID3Engine;

enum TID3ImageSizeRestrictions : std::uint8_t { irNone, ir256x256max, ir64x64max, ir64x64fixed };
enum TID3TextSizeRestrictions : std::uint8_t { trNone, tr1024max, tr128max, tr30max };
enum TID3TagSizeRestrictions : std::uint8_t {
    sr128Frames_1MB,
    sr64Frames_128KB,
    sr32Frames_40KB,
    sr32Frames_4KB
};

// The restrictions byte of a version-4 extended header (ID3v2.4 standard, section 3.2).
class TID3TagRestrictions
{
public:
    bool ImageEncodingRestrictions() const { return m_imageEncoding; }
    void SetImageEncodingRestrictions(bool value) { m_imageEncoding = value; }
    TID3ImageSizeRestrictions ImageSize() const { return m_imageSize; }
    void SetImageSize(TID3ImageSizeRestrictions value) { m_imageSize = value; }
    TID3TagSizeRestrictions TagSize() const { return m_tagSize; }
    void SetTagSize(TID3TagSizeRestrictions value) { m_tagSize = value; }
    bool TextEncodingRestrictions() const { return m_textEncoding; }
    void SetTextEncodingRestrictions(bool value) { m_textEncoding = value; }
    TID3TextSizeRestrictions TextSize() const { return m_textSize; }
    void SetTextSize(TID3TextSizeRestrictions value) { m_textSize = value; }

    void Reset();
    // Bits 7-6 tag size, 5 text encoding, 4-3 text size, 2 image encoding, 1-0 image size.
    void DecodeByte(std::uint8_t byte);
    std::uint8_t EncodeByte() const;

private:
    bool m_imageEncoding = false;
    TID3ImageSizeRestrictions m_imageSize = irNone;
    TID3TagSizeRestrictions m_tagSize = sr128Frames_1MB;
    bool m_textEncoding = false;
    TID3TextSizeRestrictions m_textSize = trNone;
};

using TCRCData = std::int64_t;

class TID3ExtendedHeader
{
public:
    TCRCData CRCData() const { return m_crcData; }
    // Stores the value and marks the CRC as present. The engine never computes a CRC.
    void SetCRCData(TCRCData value)
    {
        m_crcData = value;
        m_crcDataPresent = true;
    }
    bool CRCDataPresent() const { return m_crcDataPresent; }
    void SetCRCDataPresent(bool value) { m_crcDataPresent = value; }
    bool TagIsAnUpdate() const { return m_tagIsAnUpdate; }
    void SetTagIsAnUpdate(bool value) { m_tagIsAnUpdate = value; }
    bool TagRestricted() const { return m_tagRestricted; }
    void SetTagRestricted(bool value) { m_tagRestricted = value; }
    TID3TagRestrictions& TagRestrictions() { return m_restrictions; }
    const TID3TagRestrictions& TagRestrictions() const { return m_restrictions; }

    void Reset();

private:
    bool m_crcDataPresent = false;
    bool m_tagIsAnUpdate = false;
    bool m_tagRestricted = false;
    TCRCData m_crcData = 0;
    TID3TagRestrictions m_restrictions;
};

// The 10-byte ID3v2 header (and footer) and the extended header that may follow it.
// Versions 2, 3 and 4 are read in their own layouts; 0 and 1, which no standard defines,
// are read as version 4.
class TID3Header
{
public:
    explicit TID3Header(TID3Engine* owner);
    TID3Header(const TID3Header&) = delete;
    TID3Header& operator=(const TID3Header&) = delete;

    bool Experimental() const { return m_experimental; }
    void SetExperimental(bool value) { m_experimental = value; }
    TID3ExtendedHeader& ExtendedHeader() { return m_extendedHeader; }
    const TID3ExtendedHeader& ExtendedHeader() const { return m_extendedHeader; }
    bool ExtendedHeaderPresent() const { return m_extendedHeaderPresent; }
    void SetExtendedHeaderPresent(bool value) { m_extendedHeaderPresent = value; }
    bool FooterPresent() const { return m_footerPresent; }
    void SetFooterPresent(bool value) { m_footerPresent = value; }
    // As read from the file. Tags are always written without unsynchronisation, so the flag
    // is written as 0 whatever it holds.
    bool Unsynchronisation() const { return m_unsynchronisation; }
    void SetUnsynchronisation(bool value) { m_unsynchronisation = value; }
    std::uint8_t VersionNumber() const { return m_versionNumber; }
    void SetVersionNumber(std::uint8_t value) { m_versionNumber = value; }
    std::uint8_t VersionRevision() const { return m_versionRevision; }
    void SetVersionRevision(std::uint8_t value) { m_versionRevision = value; }

    // Bytes of the tag after the 10-byte header, footer not counted; -1 after a failed
    // ReadHeader (no tag), 0 after Reset.
    std::int32_t Size() const { return m_size; }
    void SetSize(std::int32_t value) { m_size = value; }

    TID3Engine* Owner() const { return m_owner; }

    // Reads a header at the stream's position. True when it is a tag header; the stream then
    // stands at the first frame, found by the extended header's own size field when there
    // is one.
    bool ReadHeader(TByteStream& stream);
    // Writes the header ("ID3") or, with `footer`, the footer ("3DI") at the stream's position,
    // and the extended header after a header. A header is written with size 0. Returns the
    // stream position of the four size bytes, for the caller to patch.
    qint64 WriteHeader(TByteStream& stream, bool footer);
    void Reset();

private:
    void ReadExtendedHeaderV3(TByteStream& stream, qint64 tagStart);
    void ReadExtendedHeaderV4(TByteStream& stream, qint64 tagStart);

    bool m_experimental = false;
    bool m_extendedHeaderPresent = false;
    bool m_footerPresent = false;
    bool m_unsynchronisation = false;
    std::uint8_t m_versionNumber = 0;
    std::uint8_t m_versionRevision = 0;
    TID3Engine* m_owner;
    TID3ExtendedHeader m_extendedHeader;
    std::int32_t m_size = 0;
};

} // namespace plumtide
