#include "id3/id3engine.h"
#include "id3/id3error.h"
#include "id3/id3frames.h"
#include "tagbytes.h"

#include <zlib.h>

#include <gtest/gtest.h>

using namespace plumtide;
using namespace tagbytes;

namespace
{

QByteArray Zlib(const QByteArray& data)
{
    TMemoryStream stream(data);
    CompressFrameData(stream, clMax);
    return stream.Bytes();
}

QStringList Names(const TID3Engine& engine)
{
    QStringList names;
    for (int i = 0; i < engine.Frames().Count(); ++i)
        names << engine.Frames().Items(i).Name();
    return names;
}

struct FramesCase {
    const char* name;
    QByteArray tag;
    QStringList frames;
    QString artist;
    int padding;
};

class ReadFramesTable : public testing::TestWithParam<FramesCase>
{
};

TEST_P(ReadFramesTable, FramesArtistAndPadding)
{
    const FramesCase& c = GetParam();
    TID3Engine engine;
    Load(engine, c.tag + Audio(100));
    EXPECT_EQ(Names(engine), c.frames);
    EXPECT_EQ(engine.Artist(), c.artist);
    EXPECT_EQ(engine.Padding(), c.padding);
}

const QByteArray kArtist4 = Frame4("TPE1", Text("Abba"));
const QByteArray kArtist3 = Frame3("TPE1", Text("Abba"));
const QByteArray kComment200 = QByteArray(1, '\0') + "eng" + QByteArray(196, 'c');

INSTANTIATE_TEST_SUITE_P(Table, ReadFramesTable,
    testing::Values(FramesCase { "zero_bytes_after_header_are_padding", Tag(4, 0, QByteArray(), 64),
                        {}, "", 64 },
        FramesCase { "zero_size_frame_then_next", Tag(4, 0, Frame4("TIT2", "") + kArtist4, 5),
            { "TIT2", "TPE1" }, "Abba", 5 },
        FramesCase { "v2_ids_mapped_others_kept",
            Tag(2, 0,
                Frame2("TT2", Text("Song")) + Frame2("PIC", "xyz") + Frame2("TP1", Text("Abba"))),
            { "TIT2", "PIC", "TPE1" }, "Abba", 0 },
        FramesCase {
            "v2_compressed_tag_is_skipped", Tag(2, 0x40, Frame2("TP1", Text("Abba"))), {}, "", 11 },
        // Version-3 sizes are plain integers: 200 is 0x000000C8, which as syncsafe would be 72.
        FramesCase { "v3_frame_of_200_bytes_before_artist",
            Tag(3, 0, Frame3("COMM", kComment200) + kArtist3), { "COMM", "TPE1" }, "Abba", 0 },
        // The four group/length bytes count in the frame size.
        FramesCase { "v4_group_and_length_counted",
            Tag(4, 0, Frame4("TIT2", "\x07" + Syncsafe(5) + Text("Song"), 0, 0x41) + kArtist4),
            { "TIT2", "TPE1" }, "Abba", 0 },
        FramesCase { "v4_compressed_frame_before_artist",
            Tag(4, 0, Frame4("TIT2", Syncsafe(5) + Zlib(Text("Song")), 0, 0x09) + kArtist4),
            { "TIT2", "TPE1" }, "Abba", 0 },
        FramesCase { "v3_compressed_frame_before_artist",
            Tag(3, 0, Frame3("TIT2", BigEndian(5, 4) + Zlib(Text("Song")), 0, 0x80) + kArtist3),
            { "TIT2", "TPE1" }, "Abba", 0 },
        FramesCase { "v4_frame_unsynchronised",
            Tag(4, 0, Frame4("TPE1", QByteArray("\0Ab\xFF\0\0ba", 8), 0, 0x02)), { "TPE1" },
            QString::fromLatin1("Ab\xFF"), 0 },
        // The whole tag after the header is unsynchronised in version 3, sizes included.
        FramesCase { "v3_tag_unsynchronised",
            Tag(3, 0x80,
                QByteArray("TPE1\x00\x00\x00\xFF\x00\x00\x00", 11) + Text(QByteArray(254, 'a'))),
            { "TPE1" }, QString(254, 'a'), 0 },
        // Written with plain sizes against the standard (a 200-byte comment: 0xC8).
        FramesCase { "v4_plain_sizes_of_some_writers",
            Tag(4, 0, Frame3("COMM", kComment200) + Frame3("TPE1", Text("Abba"))),
            { "COMM", "TPE1" }, "Abba", 0 },
        FramesCase { "v4_plain_sizes_big_frame_last",
            Tag(4, 0, Frame3("TPE1", Text("Abba")) + Frame3("APIC", QByteArray(300, 'p')), 20),
            { "TPE1", "APIC" }, "Abba", 20 },
        FramesCase { "v4_syncsafe_big_frame_last",
            Tag(4, 0, Frame4("TPE1", Text("Abba")) + Frame4("APIC", QByteArray(300, 'p')), 20),
            { "TPE1", "APIC" }, "Abba", 20 },
        FramesCase { "frame_count_is_capped",
            Tag(4, 0, Frame4("TXXX", "").repeated(TID3Frames::kMaxFrames + 5)),
            QStringList(TID3Frames::kMaxFrames, "TXXX"), "", 50 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameText, DecodesEachEncodingToItsTerminator)
{
    const struct {
        QByteArray data;
        QString text;
    } cases[] = {
        { QByteArray("\x00 Abc  \x00xyz", 11), "Abc" },
        { QByteArray("\x01\xFF\xFE"
                     "A\0b\0b\0a\0\0\0x\0",
              15),
            "Abba" },
        { QByteArray("\x01\xFE\xFF\0A\0b\0b\0a", 11), "Abba" },
        { QByteArray("\x01"
                     "A\0b\0",
              5),
            "Ab" }, // no byte-order mark: little-endian
        { QByteArray("\x02\0A\0\xE9\0\0\0x", 9), QString::fromUtf8("Aé") },
        { QByteArray("\x03"
                     "Bj\xC3\xB6rk\0Sugarcubes",
              18),
            QString::fromUtf8("Björk") },
        { QByteArray("\x01\xFF\xFE"
                     "A\0b",
              6),
            "A" }, // odd length: the last byte is dropped
        { QByteArray("\x01\x00\x41\x00\x00\x42", 6), QString(QChar(0x4100)) }, // pairs, not bytes
        { QByteArray(), "" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadFrameText(TMemoryStream(c.data)).Text, c.text) << c.data.toHex().constData();
    }
}

TEST(FrameText, WriteKeepsLatin1AndChoosesUnicodeByVersion)
{
    const struct {
        const char* text;
        int version;
        int encoding;
    } cases[] = {
        { "Abba", 4, 0 }, { "Björk", 3, 0 }, { "日本", 4, 3 }, { "日本", 3, 1 },
        { "日本", 2, 3 }, // a version-2 tag is written back as version 4
    };
    for (const auto& c : cases) {
        TMemoryStream data;
        const QString text = QString::fromUtf8(c.text);
        WriteFrameText(0, text, data, static_cast<std::uint8_t>(c.version));
        const TID3FrameText read = ReadFrameText(data);
        EXPECT_EQ(read.Encoding, c.encoding) << c.text << " v" << c.version;
        EXPECT_EQ(read.Text, text);
    }
}

TEST(FrameItem, PropertySideEffects)
{
    TID3Frames frames(nullptr);
    TID3Frames_Item& frame = frames.Add();
    EXPECT_EQ(frame.GetDisplayName(), "TID3Frames_Item");
    frame.SetCompress(false);
    EXPECT_TRUE(frame.DataLengthIndicator());
    frame.SetGroupID(7);
    EXPECT_TRUE(frame.Grouping());
    frame.SetEncryptionID(3);
    EXPECT_TRUE(frame.Encrypted());
    frame.SetName("TPE");
    EXPECT_EQ(frame.Name(), "");
    frame.SetName("TPE1X");
    EXPECT_EQ(frame.Name(), "TPE1");
    EXPECT_EQ(frame.GetDisplayName(), "Lead performer(s)/Soloist(s)");
    frame.SetName("ZZZZ");
    EXPECT_EQ(frame.GetDisplayName(), "ZZZZ");
    EXPECT_EQ(frames.Find("ZZZZ"), &frame);
}

// Frames written in one version's layout read back with the same data and flags.
TEST(WriteFrames, RoundTripInVersions3And4)
{
    for (int version : { 3, 4 }) {
        TID3Engine writer;
        writer.Header().Reset();
        writer.Header().SetVersionNumber(static_cast<std::uint8_t>(version));
        TID3Frames& frames = writer.Frames();
        TID3Frames_Item& big = frames.Add();
        big.SetName("COMM");
        big.Data().SetBytes(QByteArray(300, 'x'));
        big.SetCompress(true);
        TID3Frames_Item& grouped = frames.Add();
        grouped.SetName("TIT2");
        grouped.SetAsText("Song");
        grouped.SetGroupID(9);
        TID3Frames_Item& unnamed = frames.Add(); // no ID: left out, or it would end the tag
        unnamed.Data().SetBytes("lost");
        TID3Frames_Item& artist = frames.Add();
        artist.SetName("TPE1");
        artist.SetAsText("Abba");
        artist.SetReadOnly(true);

        TMemoryStream tag;
        writer.Header().WriteHeader(tag, false);
        frames.WriteFrames(tag);
        const int size = writer.Header().Size();
        QByteArray bytes = tag.Bytes();
        bytes.replace(6, 4, Syncsafe(static_cast<quint32>(size)));

        TID3Engine reader;
        Load(reader, bytes);
        ASSERT_EQ(Names(reader), QStringList({ "COMM", "TIT2", "TPE1" })) << version;
        EXPECT_EQ(reader.Frames().Items(0).Data().Bytes(), QByteArray(300, 'x'));
        EXPECT_TRUE(reader.Frames().Items(0).Compress());
        EXPECT_EQ(reader.Title(), "Song");
        EXPECT_EQ(reader.Frames().Items(1).GroupID(), 9);
        EXPECT_EQ(reader.Artist(), "Abba");
        EXPECT_TRUE(reader.Frames().Items(2).ReadOnly());
        // The compressed frame's size is its stored length, header fields in that version.
        const QByteArray sizeField = bytes.mid(14, 4);
        EXPECT_EQ(sizeField,
            version == 3 ? BigEndian(static_cast<quint64>(Zlib(QByteArray(300, 'x')).size() + 4), 4)
                         : Syncsafe(static_cast<quint32>(Zlib(QByteArray(300, 'x')).size() + 4)));
    }
}

TEST(WriteFrames, EncryptionHandlersWrapCompression)
{
    const auto flip = [](TID3Frames_Item&, TMemoryStream& data) {
        QByteArray bytes = data.Bytes();
        for (char& c : bytes)
            c = static_cast<char>(c ^ 0x5A);
        data.SetBytes(bytes);
    };
    TID3Engine writer;
    writer.Header().Reset();
    writer.OnFrameEncrypt = flip;
    TID3Frames_Item& frame = writer.Frames().Add();
    frame.SetName("TPE1");
    frame.SetAsText("Secret");
    frame.SetCompress(true);
    frame.SetEncryptionID(0x80);
    TMemoryStream tag;
    writer.Header().WriteHeader(tag, false);
    writer.Frames().WriteFrames(tag);
    QByteArray bytes = tag.Bytes();
    bytes.replace(6, 4, Syncsafe(static_cast<quint32>(writer.Header().Size())));

    TID3Engine reader;
    reader.OnFrameDecrypt = flip;
    Load(reader, bytes);
    EXPECT_EQ(reader.Artist(), "Secret");

    // Without a handler the stored bytes are kept and written back as they were.
    TID3Engine keeper;
    Load(keeper, bytes);
    EXPECT_EQ(keeper.Frames().Count(), 1);
    TMemoryStream again;
    keeper.Header().WriteHeader(again, false);
    keeper.Frames().WriteFrames(again);
    EXPECT_EQ(again.Bytes().mid(10), bytes.mid(10));
}

TEST(Compression, CorruptThrowsTruncatedKeepsWhatItHas)
{
    TMemoryStream corrupt(QByteArray("\x78\xDA\xFF\xFF\xFF\xFF", 6));
    EXPECT_THROW(DecompressFrameData(corrupt), TagError);

    const QByteArray text(5000, 'q');
    TMemoryStream truncated(Zlib(text).left(10));
    DecompressFrameData(truncated);
    EXPECT_TRUE(text.startsWith(truncated.Bytes()));

    TMemoryStream whole(Zlib(text));
    DecompressFrameData(whole);
    EXPECT_EQ(whole.Bytes(), text);
}

TEST(CopyStream, CountZeroIsWholeSourceAndLargeCountIsClamped)
{
    TMemoryStream source(QByteArray("0123456789"));
    source.SetPosition(7);
    TMemoryStream destination;
    EXPECT_EQ(CopyStreamData(source, destination, 0), 10);
    EXPECT_EQ(destination.Bytes(), "0123456789");
    source.SetPosition(6);
    destination.Clear();
    EXPECT_EQ(CopyStreamData(source, destination, 100), 4);
    EXPECT_EQ(destination.Bytes(), "6789");
}

} // namespace
