// The audio region of real files made by ffmpeg (scripts/make_format_samples.sh), with tags
// of every kind put before and after the audio of one of them.
#include "formats/audioregion.h"
#include "tests/support/formatsamplestest.h"

#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Word(quint32 value, bool bigEndian = true)
{
    QByteArray bytes(4, '\0');
    bigEndian ? qToBigEndian(value, bytes.data()) : qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray Syncsafe(quint32 value)
{
    QByteArray bytes;
    for (int shift = 21; shift >= 0; shift -= 7)
        bytes += char((value >> shift) & 0x7F);
    return bytes;
}

// An ID3v2 tag of one TIT2 frame, `padding` zero bytes, and a footer when asked for.
QByteArray ID3v2(char version, int padding = 0, bool footer = false)
{
    const QByteArray frame
        = QByteArray("TIT2") + Word(9) + QByteArray(2, '\0') + QByteArray("\0Waterloo", 9);
    const QByteArray rest = char(0) + QByteArray(footer ? "\x10" : "\0", 1)
        + Syncsafe(quint32(frame.size() + padding));
    return "ID3" + (version + rest) + frame + QByteArray(padding, '\0')
        + (footer ? "3DI" + (version + rest) : QByteArray());
}

const QByteArray kID3v1 = QByteArray("TAGWaterloo").leftJustified(128, '\0');
const QByteArray kLyrics3v1 = "LYRICSBEGINWaterloo, I was defeated, you won the warLYRICSEND";
const QByteArray kLyrics3v2 = "LYRICSBEGININD0000211LYR00005hello000034LYRICS200";

// An APEv2 tag of one item; its footer's size counts the item and the footer.
QByteArray ApeTag(bool header, quint32 claimedSize = 0)
{
    const QByteArray item = Word(4, false) + Word(0, false) + QByteArray("Artist\0", 7) + "Abba";
    const quint32 size = claimedSize ? claimedSize : quint32(item.size() + 32);
    const auto block = [&](quint32 flags) {
        return "APETAGEX" + Word(2000, false) + Word(size, false) + Word(1, false)
            + Word(flags | (header ? 0x80000000U : 0), false) + QByteArray(8, '\0');
    };
    return (header ? block(0x20000000U) : QByteArray()) + item + block(0);
}

class AudioRegions : public test::FormatSamplesTest
{
protected:
    // The bytes of the region of `bytes` written to a file; nothing when it has none.
    static std::optional<QByteArray> RegionBytes(TAudioFormat format, const QByteArray& bytes)
    {
        const QString path = Sample(QStringLiteral("region"));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(out.write(bytes), bytes.size());
        out.close();
        return RegionBytes(format, path);
    }

    static std::optional<TAudioRegion> RegionOf(TAudioFormat format, const QString& path)
    {
        FileDescriptor file = OpenRegularFile(path, false);
        return AudioRegionOf(format, file, FileSize(file, path));
    }

    static std::optional<QByteArray> RegionBytes(TAudioFormat format, const QString& path)
    {
        const std::optional<TAudioRegion> region = RegionOf(format, path);
        if (!region)
            return std::nullopt;
        return Contents(path).mid(region->offset, region->length);
    }
};

TEST_F(AudioRegions, Mp3TagsBeforeAndAfterTheAudioAreLeftOut)
{
    const QByteArray audio = Contents(Sample(QStringLiteral("bare.mp3")));
    ASSERT_GT(audio.size(), 1000);
    const QByteArray appended = ID3v2(4, 0, true);
    const struct {
        const char* name;
        QByteArray file;
        std::optional<QByteArray> region;
    } cases[] = {
        { "bare", audio, audio },
        { "ID3v2.3", ID3v2(3) + audio, audio },
        { "ID3v2.4 padded", ID3v2(4, 300) + audio, audio },
        { "two ID3v2 tags", ID3v2(3, 20) + ID3v2(4) + audio, audio },
        { "ID3v2.4 with a footer", ID3v2(4, 0, true) + audio, audio },
        { "ID3v1", audio + kID3v1, audio },
        { "APEv2 with a header, ID3v1", audio + ApeTag(true) + kID3v1, audio },
        { "APEv2 without a header", audio + ApeTag(false), audio },
        { "Lyrics3 v2, ID3v1", audio + kLyrics3v2 + kID3v1, audio },
        { "Lyrics3 v1, ID3v1", audio + kLyrics3v1 + kID3v1, audio },
        { "ID3v1, appended ID3v2.4", audio + kID3v1 + appended, audio },
        { "every kind",
            ID3v2(4, 10) + ID3v2(3) + audio + ApeTag(true) + kLyrics3v2 + appended + kID3v1,
            audio },
        // What claims more than there is stays in the region, or the file has none.
        { "APEv2 claiming more", audio + ApeTag(false, 1U << 30), audio + ApeTag(false, 1U << 30) },
        { "ID3v2 claiming more", ID3v2(4).left(6) + Syncsafe(1U << 26) + audio, std::nullopt },
        { "tags alone", ID3v2(3) + kID3v1, std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegionBytes(TAudioFormat::Mp3, c.file), c.region) << c.name;
    // As ffmpeg tags them.
    for (const char* sample : { "tagged.mp3", "plain.mp3" })
        EXPECT_EQ(RegionBytes(TAudioFormat::Mp3, Sample(QString::fromUtf8(sample))), audio);
}

// The same audio under other tags gives the same bytes and checksum; another tone does not.
TEST_F(AudioRegions, FlacRegionsHoldTheAudioWhateverTheTags)
{
    const QString plain = Sample(QStringLiteral("plain.flac"));
    const std::optional<QByteArray> audio = RegionBytes(TAudioFormat::Flac, plain);
    ASSERT_TRUE(audio && audio->size() > 1000);
    const QByteArray md5 = RegionOf(TAudioFormat::Flac, plain)->flacMd5;
    EXPECT_EQ(md5.size(), 16);
    for (const char* sample : { "tagged.flac", "unicode.flac" }) {
        EXPECT_EQ(RegionBytes(TAudioFormat::Flac, Sample(QString::fromUtf8(sample))), audio);
        EXPECT_EQ(RegionOf(TAudioFormat::Flac, Sample(QString::fromUtf8(sample)))->flacMd5, md5);
    }
    const QString higher = Sample(QStringLiteral("880hz.flac"));
    EXPECT_NE(RegionBytes(TAudioFormat::Flac, higher), audio);
    EXPECT_NE(RegionOf(TAudioFormat::Flac, higher)->flacMd5, md5);

    const QByteArray whole = Contents(plain);
    EXPECT_EQ(RegionBytes(TAudioFormat::Flac, ID3v2(3) + whole + kID3v1), audio);
    EXPECT_EQ(RegionBytes(TAudioFormat::Flac, whole.left(60)), std::nullopt); // in its blocks
    EXPECT_EQ(RegionBytes(TAudioFormat::Flac, *audio), std::nullopt);
}

// MP4: the contents of the mdat atom, whatever its size field's form; Ogg: the whole file.
TEST_F(AudioRegions, Mp4MdatAndWholeOggFiles)
{
    const std::optional<QByteArray> audio
        = RegionBytes(TAudioFormat::Mp4, Sample(QStringLiteral("plain.m4a")));
    ASSERT_TRUE(audio && audio->size() > 1000);
    EXPECT_EQ(RegionBytes(TAudioFormat::Mp4, Sample(QStringLiteral("tagged.m4a"))), audio);

    const QByteArray ftyp = Word(16) + "ftypM4A " + QByteArray(4, '\0');
    const QByteArray moov = Word(8) + "moov";
    const QByteArray sound = "sound";
    const struct {
        const char* name;
        QByteArray file;
        std::optional<QByteArray> region;
    } cases[] = {
        { "32-bit size", ftyp + Word(13) + "mdat" + sound + moov, sound },
        { "64-bit size", ftyp + Word(1) + "mdat" + Word(0) + Word(21) + sound, sound },
        { "to the end", ftyp + moov + Word(0) + "mdat" + sound, sound },
        { "cut short", ftyp + Word(100) + "mdat" + sound, sound },
        { "two", ftyp + Word(13) + "mdat" + sound + Word(13) + "mdat" + sound, std::nullopt },
        { "none", ftyp + moov, std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegionBytes(TAudioFormat::Mp4, c.file), c.region) << c.name;

    const QByteArray ogg = Contents(Sample(QStringLiteral("tagged.opus")));
    EXPECT_EQ(RegionBytes(TAudioFormat::Ogg, ogg), ogg);
    EXPECT_EQ(RegionBytes(TAudioFormat::Ogg, audio.value()), std::nullopt);
}

} // namespace
