#include "id3/id3engine.h"
#include "id3/id3header.h"
#include "id3/syncsafe.h"
#include "tagbytes.h"

#include <gtest/gtest.h>

using namespace plumtide;
using namespace tagbytes;

namespace
{

struct HeaderCase {
    const char* name;
    QByteArray bytes;
    bool isTag;
    int version;
    int size;
    bool unsync, extended, experimental, footer;
};

class HeaderRead : public testing::TestWithParam<HeaderCase>
{
};

TEST_P(HeaderRead, DecodesVersionFlagsAndSize)
{
    const HeaderCase& c = GetParam();
    TID3Header header(nullptr);
    TMemoryStream stream(c.bytes);
    EXPECT_EQ(header.ReadHeader(stream), c.isTag);
    EXPECT_EQ(header.Size(), c.size);
    if (!c.isTag)
        return;
    EXPECT_EQ(header.VersionNumber(), c.version);
    EXPECT_EQ(header.Unsynchronisation(), c.unsync);
    EXPECT_EQ(header.ExtendedHeaderPresent(), c.extended);
    EXPECT_EQ(header.Experimental(), c.experimental);
    EXPECT_EQ(header.FooterPresent(), c.footer);
}

INSTANTIATE_TEST_SUITE_P(Table, HeaderRead,
    testing::Values(HeaderCase { "v3_size_257", QByteArray("ID3\x03\x00\x00\x00\x00\x02\x01", 10),
                        true, 3, 257, false, false, false, false },
        HeaderCase { "version_5_is_no_tag", QByteArray("ID3\x05\x00\x00\x00\x00\x02\x01", 10),
            false, 0, -1, false, false, false, false },
        HeaderCase { "flags_F0_set_all", QByteArray("ID3\x04\x00\xF0\x00\x00\x00\x00", 10), true, 4,
            0, true, true, true, true },
        HeaderCase { "flags_0F_set_none", QByteArray("ID3\x04\x00\x0F\x00\x00\x00\x00", 10), true,
            4, 0, false, false, false, false },
        HeaderCase { "five_bytes_is_no_tag", QByteArray("ID3\x04\x00", 5), false, 0, -1, false,
            false, false, false },
        HeaderCase { "not_id3", QByteArray("TAG\x04\x00\x00\x00\x00\x00\x00", 10), false, 0, -1,
            false, false, false, false }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Syncsafe, EncodesAndCutsToSevenBitsPerByte)
{
    const struct {
        std::uint64_t value;
        QByteArray bytes;
    } cases[] = {
        { 16384, QByteArray("\x00\x01\x00\x00", 4) }, { 127, QByteArray("\x00\x00\x00\x7F", 4) },
        { 128, QByteArray("\x00\x00\x01\x00", 4) },
        { 0x0FFFFFFF, QByteArray("\x7F\x7F\x7F\x7F", 4) },
        { 0x10000001, QByteArray("\x00\x00\x00\x01", 4) }, // bit 28 does not fit
    };
    for (const auto& c : cases) {
        std::uint8_t bytes[4];
        EncodeSyncsafe(c.value, bytes, 4);
        EXPECT_EQ(QByteArray(reinterpret_cast<char*>(bytes), 4), c.bytes) << c.value;
        EXPECT_EQ(DecodeSyncsafe(bytes, 4), c.value & 0x0FFFFFFF);
    }
    std::uint8_t five[5];
    EncodeSyncsafe(0x7FFFFFFFFULL, five, 5);
    EXPECT_EQ(DecodeSyncsafe(five, 5), 0x7FFFFFFFFULL);
    std::uint8_t word[4] = { 1, 2, 3, 4 };
    ReverseBytes(word, 4);
    EXPECT_EQ(DecodeBigEndian(word, 4), 0x04030201u);
}

TEST(TagRestrictions, DecodeByteTable)
{
    const struct {
        std::uint8_t byte;
        TID3TagSizeRestrictions tagSize;
        bool textEncoding;
        TID3TextSizeRestrictions textSize;
        bool imageEncoding;
        TID3ImageSizeRestrictions imageSize;
    } cases[] = {
        { 0x80, sr32Frames_40KB, false, trNone, false, irNone },
        { 0x40, sr64Frames_128KB, false, trNone, false, irNone },
        { 0xC0, sr32Frames_4KB, false, trNone, false, irNone },
        { 0x0B, sr128Frames_1MB, false, tr1024max, false, ir64x64fixed },
        { 0x24, sr128Frames_1MB, true, trNone, true, irNone },
    };
    for (const auto& c : cases) {
        TID3TagRestrictions r;
        r.DecodeByte(c.byte);
        EXPECT_EQ(r.TagSize(), c.tagSize) << int(c.byte);
        EXPECT_EQ(r.TextEncodingRestrictions(), c.textEncoding) << int(c.byte);
        EXPECT_EQ(r.TextSize(), c.textSize) << int(c.byte);
        EXPECT_EQ(r.ImageEncodingRestrictions(), c.imageEncoding) << int(c.byte);
        EXPECT_EQ(r.ImageSize(), c.imageSize) << int(c.byte);
        EXPECT_EQ(r.EncodeByte(), c.byte);
    }
}

TEST(HeaderWrite, ExtendedHeaderLengthsAndSizePosition)
{
    TID3Header header(nullptr);
    header.Reset();
    header.SetExtendedHeaderPresent(true);
    header.ExtendedHeader().SetTagIsAnUpdate(true);
    TMemoryStream stream;
    EXPECT_EQ(header.WriteHeader(stream, false), 6);
    EXPECT_EQ(
        stream.Bytes(), QByteArray("ID3\x04\x00\x40\x00\x00\x00\x00\x00\x00\x00\x06\x01\x40", 16));

    header.ExtendedHeader().SetCRCData(0x123456789LL);
    header.ExtendedHeader().SetTagRestricted(true);
    stream.Clear();
    header.WriteHeader(stream, false);
    EXPECT_EQ(stream.Bytes().mid(10, 4), Syncsafe(12));
    EXPECT_EQ(stream.Size(), 22);

    // Unsynchronisation is never written: the engine writes untransformed bytes.
    header.SetUnsynchronisation(true);
    stream.Clear();
    header.WriteHeader(stream, false);
    EXPECT_EQ(static_cast<quint8>(stream.Bytes()[5]), 0x40);
}

// Where the first frame stands after each kind of extended header; the artist is read only
// when the frame reader starts at the right byte.
TEST(ExtendedHeader, FirstFrameFoundBySizeField)
{
    const QByteArray artist = Frame4("TPE1", Text("Abba"));
    const QByteArray crc5 = QByteArray("\x01\x02\x03\x04\x05", 5);
    const struct {
        const char* name;
        QByteArray tag;
        bool update, crc;
    } cases[] = {
        { "v4_standard_update", Tag(4, 0x40, Syncsafe(7) + "\x01\x40" + '\0' + artist), true,
            false },
        { "v4_standard_crc", Tag(4, 0x40, Syncsafe(12) + "\x01\x20\x05" + crc5 + artist), false,
            true },
        { "v4_older_layout_crc", Tag(4, 0x40, Syncsafe(11) + "\x01\x20" + crc5 + artist), false,
            true },
        { "v4_older_layout_update", Tag(4, 0x40, Syncsafe(6) + "\x01\x40" + artist), true, false },
        { "v3_crc",
            Tag(3, 0x40,
                BigEndian(10, 4) + QByteArray("\x80\x00", 2) + BigEndian(0, 4)
                    + BigEndian(0x01020304, 4) + Frame3("TPE1", Text("Abba"))),
            false, true },
        { "v3_flag_without_extended_header", Tag(3, 0x40, Frame3("TPE1", Text("Abba"))), false,
            false },
    };
    for (const auto& c : cases) {
        TID3Engine engine;
        Load(engine, c.tag + Audio(200));
        EXPECT_EQ(engine.Artist(), QStringLiteral("Abba")) << c.name;
        EXPECT_EQ(engine.Header().ExtendedHeader().TagIsAnUpdate(), c.update) << c.name;
        EXPECT_EQ(engine.Header().ExtendedHeader().CRCDataPresent(), c.crc) << c.name;
        EXPECT_EQ(engine.TagLength(), c.tag.size()) << c.name;
    }
}

TEST(HeaderReset, ClearsFlagsReadFromTag)
{
    TID3Header header(nullptr);
    TMemoryStream stream(QByteArray("ID3\x03\x01\x80\x00\x00\x00\x05", 10));
    ASSERT_TRUE(header.ReadHeader(stream));
    EXPECT_TRUE(header.Unsynchronisation());
    EXPECT_EQ(header.VersionRevision(), 1);
    header.Reset();
    EXPECT_FALSE(header.Unsynchronisation());
    EXPECT_EQ(header.VersionNumber(), 4);
    EXPECT_EQ(header.Size(), 0);
}

} // namespace
