// Malformed files, each named after its fault: every one opens without a crash or a hang,
// allocates no more than the file holds, and yields what the reader can make of it.
#include "id3/id3engine.h"
#include "id3/id3error.h"
#include "tagbytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace plumtide;
using namespace tagbytes;

namespace
{

struct MalformedCase {
    const char* name;
    QByteArray bytes;
    bool fullSeek;
    bool throws;
    QString artist;
    int frames;
};

class Malformed : public testing::TestWithParam<MalformedCase>
{
};

QByteArray Header(int version, quint8 flags, quint32 size)
{
    return QByteArray("ID3") + static_cast<char>(version) + '\0' + static_cast<char>(flags)
        + Syncsafe(size);
}

QByteArray Deflated(const QByteArray& data)
{
    TMemoryStream stream(data);
    CompressFrameData(stream, clMax);
    return stream.Bytes();
}

const QByteArray kArtist = Frame4("TPE1", Text("Abba"));
const QByteArray kV1 = ID3V1("Song", "V1Band", 1, 1);

TEST_P(Malformed, OpensAndYieldsWhatIsThere)
{
    const MalformedCase& c = GetParam();
    QTemporaryDir dir;
    TID3Engine engine;
    engine.SetFileName(WriteFile(dir.filePath(QString::fromLatin1(c.name) + ".mp3"), c.bytes));
    engine.SetFullID3TagSeek(c.fullSeek);
    if (c.throws)
        EXPECT_THROW(engine.SetActive(true), TagError);
    else
        engine.SetActive(true);
    ASSERT_TRUE(engine.Active());
    EXPECT_EQ(engine.Artist(), c.artist);
    EXPECT_EQ(engine.Frames().Count(), c.frames);
    EXPECT_LE(engine.TagStart() + engine.TagLength(), c.bytes.size());
    EXPECT_LE(engine.Padding(), c.bytes.size());
    for (int i = 0; i < engine.Frames().Count(); ++i)
        EXPECT_LE(engine.Frames().Items(i).DataSize(), c.bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Files, Malformed,
    testing::Values(MalformedCase { "size_past_end",
                        Header(4, 0, 250000000) + kArtist + Audio(4000), false, false, "Abba", 1 },
        MalformedCase { "truncated_frame",
            Header(4, 0, 200) + QByteArray("TPE1") + Syncsafe(100) + QByteArray(2, '\0')
                + Text("Ab"),
            false, false, "Ab", 1 },
        MalformedCase { "zero_size_frame",
            Tag(4, 0, Frame4("TPE1", "") + Frame4("TIT2", Text("S"))), false, false, "", 2 },
        MalformedCase { "invalid_id", Tag(4, 0, Frame4("TP?1", Text("Abba")) + kArtist) + Audio(),
            false, false, "", 0 },
        MalformedCase { "invalid_id_after_artist", Tag(4, 0, kArtist + Frame4("tpe2", Text("x"))),
            false, false, "Abba", 1 },
        MalformedCase { "compressed_corrupt",
            Tag(4, 0,
                Frame4("TIT2", Text("S"))
                    + Frame4("TPE1", Syncsafe(5) + QByteArray("\x78\x9C\xFF\xFF\xFF", 5), 0, 0x09)),
            false, true, "", 1 },
        MalformedCase { "compressed_length_claims_250MB",
            Tag(4, 0, Frame4("TPE1", Syncsafe(250000000) + Deflated(Text("Abba")), 0, 0x09)), false,
            false, "Abba", 1 },
        MalformedCase { "compressed_inflates_past_the_cap",
            Tag(4, 0,
                Frame4("TIT2", Text("S"))
                    + Frame4("TPE1", Syncsafe(20 << 20) + Deflated(Text(QByteArray(20 << 20, 'A'))),
                        0, 0x09)),
            false, true, "", 1 },
        MalformedCase { "huge_frame_size",
            Tag(4, 0, QByteArray("TPE1\x7F\x7F\x7F\x7F\0\0", 10) + Text("Abba")), false, false,
            "Abba", 1 },
        MalformedCase { "extended_header_size_past_end",
            Header(4, 0x40, 30) + Syncsafe(0x0FFFFFFF) + "\x01\x00" + kArtist, false, false, "",
            0 },
        MalformedCase { "v3_extended_header_size_past_end",
            Header(3, 0x40, 30) + BigEndian(0xFFFFFFFF, 4) + QByteArray(6, '\0')
                + Frame3("TPE1", Text("Abba")),
            false, false, "", 0 },
        MalformedCase {
            "unsynchronised_tag_ends_in_ff", Header(3, 0x80, 1) + "\xFF", false, false, "", 0 },
        MalformedCase { "tag_at_offset_4096_without_seek",
            Audio(4096) + Tag(4, 0, kArtist) + Audio() + kV1, false, false, "V1Band", 7 },
        MalformedCase { "tag_at_offset_4096_with_seek",
            Audio(4096) + Tag(4, 0, kArtist) + Audio() + kV1, true, false, "Abba", 1 },
        MalformedCase { "header_only", QByteArray("ID3\x04"), true, false, "", 0 },
        MalformedCase { "empty_file", QByteArray(), true, false, "", 0 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MalformedWrite, FrameRunningPastTagNeverTakesAudioWithIt)
{
    const QByteArray audio = Audio(5000);
    const QByteArray tag = Header(4, 0, 20) + QByteArray("TPE1") + Syncsafe(1000)
        + QByteArray(2, '\0') + Text("Abba") + QByteArray(5, '\0');
    QTemporaryDir dir;
    const QString path = WriteFile(dir.filePath("frame_size_past_tag.mp3"), tag + audio);
    TID3Engine engine;
    engine.SetFileName(path);
    engine.SetActive(true);
    EXPECT_EQ(engine.TagLength(), tag.size());
    engine.SetTitle(QString(100, 't'));
    engine.WriteTag();
    EXPECT_TRUE(ReadFile(path).endsWith(audio));
    EXPECT_EQ(ReadFile(path).size(), engine.TagLength() + audio.size());
}

} // namespace

// Reading artist and title never inflates anything but text: a compressed cover (however
// large it claims to be) stays as stored, and the artist after it is read.
TEST(ReadArtistAndTitle, CompressedCoversAreNeverInflated)
{
    QTemporaryDir dir;
    const QByteArray cover = Deflated(QByteArray(40 << 20, '\x7F'));
    const QString path = WriteFile(dir.filePath(QStringLiteral("cover.mp3")),
        Tag(4, 0, Frame4("APIC", Syncsafe(40 << 20) + cover, 0, 0x09) + kArtist) + Audio());
    const TArtistTitle read = ReadArtistAndTitle(path);
    EXPECT_EQ(read.Status, TID3ReadStatus::Read);
    EXPECT_EQ(read.Artist, QStringLiteral("Abba"));
}
