// Tags as encoders in the wild write them: flags that announce more bytes than a frame has,
// encrypted frames, IDs padded with a space, and ID3v2 tags beside an ID3v1 block that holds
// what they lack.
#include "id3/id3engine.h"
#include "tagbytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace plumtide;
using namespace tagbytes;

namespace
{

QStringList Names(const TID3Engine& engine)
{
    QStringList names;
    for (int i = 0; i < engine.Frames().Count(); ++i)
        names << engine.Frames().Items(i).Name();
    return names;
}

const QByteArray kArtist4 = Frame4("TPE1", Text("Abba"));
const QByteArray kTitle4 = Frame4("TIT2", Text("Waterloo"));
const QByteArray kArtist3 = Frame3("TPE1", Text("Abba"));
const QByteArray kTitle3 = Frame3("TIT2", Text("Waterloo"));
// Ciphertext behind an encryption method byte; read as text it would be a garbage name.
const QByteArray kCipher = "\x80" + Text("Qx9z");

// The eleven frames a real file carried after its broken TENC frame.
const QByteArray kEleven = kTitle4 + kArtist4 + Frame4("TALB", Text("Arrival"))
    + Frame4("TRCK", Text("1")) + Frame4("TYER", Text("1974")) + Frame4("TCON", Text("Pop"))
    + Frame4("COMM", QByteArray("\0engc", 5)) + Frame4("TXXX", Text("a"))
    + Frame4("TXXX", Text("b")) + Frame4("TSSE", Text("enc")) + Frame4("TLEN", Text("180"));
const QStringList kElevenNames { "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM", "TXXX",
    "TXXX", "TSSE", "TLEN" };

struct QuirkCase {
    const char* name;
    QByteArray tag;
    QStringList frames;
    QString artist;
    QString title;
};

class Quirks : public testing::TestWithParam<QuirkCase>
{
};

TEST_P(Quirks, FramesArtistAndTitle)
{
    const QuirkCase& c = GetParam();
    TID3Engine engine;
    Load(engine, c.tag + Audio(200));
    EXPECT_EQ(Names(engine), c.frames);
    EXPECT_EQ(engine.Artist(), c.artist);
    EXPECT_EQ(engine.Title(), c.title);
}

INSTANTIATE_TEST_SUITE_P(Table, Quirks,
    testing::Values(
        // The data length indicator needs four bytes; the frame has one. It is dropped and
        // the next frame starts one byte after its header.
        QuirkCase { "v4_length_indicator_past_frame",
            Tag(4, 0, Frame4("TENC", QByteArray(1, '\0'), 0, 0x01) + kEleven, 30), kElevenNames,
            "Abba", "Waterloo" },
        QuirkCase { "v4_group_byte_past_empty_frame",
            Tag(4, 0, Frame4("TXXX", "", 0, 0x40) + kArtist4), { "TPE1" }, "Abba", "" },
        // Compression (four length bytes) and grouping (one) in a two-byte frame.
        QuirkCase { "v3_compression_length_past_frame",
            Tag(3, 0, Frame3("TENC", QByteArray(2, '\0'), 0, 0xA0) + kArtist3 + kTitle3),
            { "TPE1", "TIT2" }, "Abba", "Waterloo" },
        QuirkCase { "v3_encrypted_title_is_absent",
            Tag(3, 0, Frame3("TIT2", kCipher, 0, 0x40) + kArtist3), { "TIT2", "TPE1" }, "Abba",
            "" },
        QuirkCase { "v4_encrypted_artist_before_a_plain_one",
            Tag(4, 0, Frame4("TPE1", kCipher, 0, 0x04) + kArtist4), { "TPE1", "TPE1" }, "Abba",
            "" },
        QuirkCase { "v3_space_padded_id_is_kept",
            Tag(3, 0, Frame3("TST ", Text("x")) + kArtist3 + kTitle3, 10),
            { "TST ", "TPE1", "TIT2" }, "Abba", "Waterloo" },
        QuirkCase { "v4_space_padded_ids_are_kept",
            Tag(4, 0,
                Frame4("RVA ", QByteArray(12, '\x7F')) + kTitle4 + Frame4("X 1 ", "") + kArtist4),
            { "RVA ", "TIT2", "X 1 ", "TPE1" }, "Abba", "Waterloo" },
        QuirkCase { "all_spaces_id_stops",
            Tag(4, 0, kArtist4 + Frame4("    ", Text("x")) + kTitle4), { "TPE1" }, "Abba", "" },
        QuirkCase { "control_byte_in_id_stops",
            Tag(4, 0, kArtist4 + Frame4("TS\x01 ", Text("x")) + kTitle4), { "TPE1" }, "Abba", "" },
        // A padded ID whose size runs past the tag is more likely garbage than a frame.
        QuirkCase { "space_padded_id_past_tag_end_stops",
            Tag(4, 0,
                kArtist4 + QByteArray("TST ") + Syncsafe(1000) + QByteArray(2, '\0') + Text("x")),
            { "TPE1" }, "Abba", "" }),
    [](const auto& info) { return std::string(info.param.name); });

// Frames the engine cannot read (padded IDs, ciphertext) go back into the file as they were
// when it rewrites the tag; a new artist takes the place of the encrypted one for readers.
TEST(QuirksWrite, UnreadableFramesAreWrittenBackUnchanged)
{
    const QByteArray padded = Frame3("TST ", QByteArray("\x01\x02\x03 raw", 7));
    const QByteArray encrypted = Frame3("TPE1", kCipher, 0, 0x40);
    const QByteArray audio = Audio();
    QTemporaryDir dir;
    const QString path = WriteFile(dir.filePath(QStringLiteral("quirks.mp3")),
        Tag(3, 0, padded + encrypted + kTitle3, 100) + audio);
    TID3Engine engine;
    engine.SetFileName(path);
    engine.SetActive(true);
    EXPECT_EQ(engine.Artist(), "");
    engine.SetArtist(QStringLiteral("Abba"));
    engine.WriteTag();

    const QByteArray after = ReadFile(path);
    EXPECT_TRUE(after.endsWith(audio));
    EXPECT_TRUE(after.contains(padded + encrypted));
    engine.ReadTag();
    EXPECT_EQ(Names(engine), QStringList({ "TST ", "TPE1", "TIT2", "TPE1" }));
    EXPECT_EQ(engine.Artist(), "Abba");
}

// The listing takes what the ID3v2 tag lacks from the ID3v1 block; the tag still wins where
// it has the field, and the engine's own properties stay those of the ID3v2 tag.
TEST(QuirksListing, MissingFieldsComeFromTheID3V1Block)
{
    const QByteArray v1 = ID3V1("Song", "Band", 1, 1);
    const QByteArray replayGain = Tag(4, 0,
        Frame4("TXXX", Text(QByteArray("replaygain_track_gain\0-6.2 dB", 29)))
            + Frame4("TXXX",
                Text(QByteArray("replaygain_track_peak\0"
                                "0.98",
                    26))),
        50);
    const struct {
        const char* name;
        QByteArray bytes;
        QString artist, title;
    } cases[] = {
        { "replaygain_only", replayGain + Audio() + v1, "Band", "Song" },
        { "title_only", Tag(4, 0, kTitle4) + Audio() + v1, "Band", "Waterloo" },
        { "both_in_tag", Tag(4, 0, kTitle4 + kArtist4) + Audio() + v1, "Abba", "Waterloo" },
        { "encrypted_artist", Tag(4, 0, Frame4("TPE1", kCipher, 0, 0x04)) + Audio() + v1, "Band",
            "Song" },
        { "no_id3v1_block", replayGain + Audio(), "", "" },
        // The last 128 bytes belong to the tag's frame, whatever they look like.
        { "block_inside_the_tag", Tag(4, 0, Frame4("PRIV", "x" + v1)), "", "" },
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = WriteFile(dir.filePath(QString::fromLatin1(c.name)), c.bytes);
        const TArtistTitle read = ReadArtistAndTitle(path);
        EXPECT_EQ(read.Status, TID3ReadStatus::Read) << c.name;
        EXPECT_EQ(read.Artist, c.artist) << c.name;
        EXPECT_EQ(read.Title, c.title) << c.name;
    }
    TID3Engine engine;
    engine.SetFileName(WriteFile(dir.filePath(QStringLiteral("engine")), replayGain + v1));
    engine.SetActive(true);
    EXPECT_EQ(engine.Artist(), "");
    EXPECT_EQ(engine.Title(), "");
}

} // namespace
