// Artist and title of real FLAC, Ogg Vorbis, Ogg FLAC, Opus and M4A files made by ffmpeg
// (scripts/make_format_samples.sh), read through a descriptor as the listing reads them; and
// what the reader makes of files cut short, of garbage with a music name, and of a descriptor
// that cannot be read.
#include "formats/descriptorstream.h"
#include "formats/formatreader.h"
#include "tests/support/formatsamplestest.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <unistd.h>

using namespace plumtide;

namespace
{

const QString kAbba = QStringLiteral("Abba");
const QString kWaterloo = QStringLiteral("Waterloo");

// The formats TagLib reads for Plumtide, by the sample files' extensions.
const QStringList kTagLibExtensions { "flac", "ogg", "oga", "opus", "m4a" };

TArtistTitle Read(const QString& path, qint64 size = -1)
{
    FileDescriptor file = OpenRegularFile(path, false);
    if (size < 0)
        size = FileSize(file, path);
    return ReadArtistAndTitle(AudioFormatOfFile(path), std::move(file), size, path);
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class FormatFiles : public test::FormatSamplesTest
{
protected:
    // A copy of a sample under a new name, to change or cut.
    static QString Copy(const QString& sample, const QString& name)
    {
        const QString path = Sample(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(Sample(sample), path));
        return path;
    }
};

TEST(AudioFormat, ExtensionsNameTheirReader)
{
    const struct {
        const char* path;
        TAudioFormat format;
    } cases[] = {
        { "/in/a.mp3", TAudioFormat::Mp3 },
        { "/in/a.MP3", TAudioFormat::Mp3 },
        { "/in/a.flac", TAudioFormat::Flac },
        { "/in/a.Flac", TAudioFormat::Flac },
        { "/in/a.ogg", TAudioFormat::Ogg },
        { "/in/a.oga", TAudioFormat::Ogg },
        { "/in/a.opus", TAudioFormat::Ogg },
        { "/in/a.M4A", TAudioFormat::Mp4 },
        { "/in/a.flac.txt", TAudioFormat::None },
        { "/in/a.wav", TAudioFormat::None },
        { "/in.flac/a", TAudioFormat::None }, // the dot of a folder
        { "/in/flac", TAudioFormat::None },
        { "/in/a.", TAudioFormat::None },
    };
    for (const auto& c : cases)
        EXPECT_EQ(AudioFormatOfFile(QString::fromUtf8(c.path)), c.format) << c.path;
    for (const QString& extension : AudioExtensions())
        EXPECT_NE(AudioFormatOfExtension(extension), TAudioFormat::None) << qPrintable(extension);
}

// A set of formats names the files of its extensions only, by the last dot of the name.
TEST(FileFormats, NameTheFilesOfTheirExtensions)
{
    const struct {
        const char* path;
        bool mp3Alone;
        bool flacAndOpus;
    } cases[] = {
        { "/in/a.mp3", true, false },
        { "/in/a.MP3", true, false },
        { "/in/a.Flac", false, true },
        { "/in/a.opus", false, true },
        { "/in/a.ogg", false, false },
        { "/in/a.flac.mp3", true, false },
        { "/in/a.mp3.flac", false, true },
        { "/in.flac/a", false, false },
        { "/in/flac", false, false },
        { "/in/a.", false, false },
    };
    const TFileFormats flacAndOpus = *TFileFormats::FromText(u"opus,flac");
    for (const auto& c : cases) {
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(TFileFormats().namesFile(path), c.mp3Alone) << c.path;
        EXPECT_EQ(flacAndOpus.namesFile(path), c.flacAndOpus) << c.path;
        EXPECT_EQ(
            TFileFormats::All().namesFile(path), AudioFormatOfFile(path) != TAudioFormat::None)
            << c.path;
    }
    EXPECT_FALSE(TFileFormats().beyondMp3());
    EXPECT_TRUE(flacAndOpus.beyondMp3());
    EXPECT_EQ(TFileFormats::FromText(TFileFormats::All().text()), TFileFormats::All());
}

TEST_F(FormatFiles, ReadsArtistAndTitleOfEveryFormat)
{
    const struct {
        const char* name;
        QString artist;
        QString title;
    } variants[] = {
        { "tagged", kAbba, kWaterloo },
        { "unicode", QString::fromUtf8("Motörhead 東京"), QString::fromUtf8("Ace of ♠") },
        { "plain", QString(), QString() },
    };
    for (const QString& extension : kTagLibExtensions + QStringList { "mp3" }) {
        for (const auto& v : variants) {
            const QString name = QString::fromUtf8(v.name) + QLatin1Char('.') + extension;
            const TArtistTitle read = Read(Sample(name));
            EXPECT_EQ(read.Status, TID3ReadStatus::Read) << qPrintable(name + read.Error);
            EXPECT_EQ(read.Artist, v.artist) << qPrintable(name);
            EXPECT_EQ(read.Title, v.title) << qPrintable(name);
        }
    }
}

TEST_F(FormatFiles, OggStreamsAreReadByTheirCodecNotTheirName)
{
    for (const char* sample : { "tagged.opus", "tagged.oga", "tagged.ogg" }) {
        for (const char* name : { "as.ogg", "as.opus", "as.oga" }) {
            const TArtistTitle read
                = Read(Copy(QString::fromUtf8(sample), QString::fromUtf8(name)));
            EXPECT_EQ(read.Artist, kAbba) << sample << " as " << name;
        }
    }
}

// Which value counts: the first that is not blank, the Vorbis comment before an ID3v2 tag
// (which the tag engine itself puts before a FLAC file's stream), the ID3v2 tag where the
// comment has no such field, and an ID3v1 block last.
TEST_F(FormatFiles, TakesTheFirstValueAndTheVorbisCommentBeforeID3v2)
{
    const QString ogg = Copy(QStringLiteral("plain.ogg"), QStringLiteral("values.ogg"));
    {
        TagLib::Ogg::Vorbis::File file(QFile::encodeName(ogg).constData(), false);
        for (const char* value : { " \t", "First", "Second" })
            file.tag()->addField("ARTIST", value, false);
        ASSERT_TRUE(file.save());
    }
    EXPECT_EQ(Read(ogg).Artist, QStringLiteral("First"));

    const auto withID3v2 = [&](const QString& sample, const QString& name) {
        const QString path = Copy(sample, name);
        TID3Engine engine;
        engine.SetFileName(path);
        engine.SetActive(true);
        engine.SetArtist(QStringLiteral("ID3 artist"));
        engine.SetTitle(QStringLiteral("ID3 title"));
        engine.WriteTag();
        return path;
    };
    const TArtistTitle plain
        = Read(withID3v2(QStringLiteral("plain.flac"), QStringLiteral("id3only.flac")));
    EXPECT_EQ(plain.Status, TID3ReadStatus::Read) << qPrintable(plain.Error);
    EXPECT_EQ(plain.Artist, QStringLiteral("ID3 artist"));
    EXPECT_EQ(plain.Title, QStringLiteral("ID3 title"));
    const TArtistTitle both
        = Read(withID3v2(QStringLiteral("tagged.flac"), QStringLiteral("both.flac")));
    EXPECT_EQ(both.Artist, kAbba);
    EXPECT_EQ(both.Title, kWaterloo);

    // An ID3v1 block at the end, as on an mp3 file, where nothing else names the artist.
    const QString v1 = Copy(QStringLiteral("plain.flac"), QStringLiteral("id3v1.flac"));
    QByteArray block = QByteArray("TAG") + QByteArray("V1 title").leftJustified(30, '\0')
        + QByteArray("V1 artist").leftJustified(30, '\0');
    Write(v1, Contents(v1) + block.leftJustified(128, '\0'));
    EXPECT_EQ(Read(v1).Artist, QStringLiteral("V1 artist"));
    EXPECT_EQ(Read(v1).Title, QStringLiteral("V1 title"));
}

// A download cut short or a file that only carries a music name: never a crash, never a
// text that is not in the file, and a status that says so where nothing could be read.
TEST_F(FormatFiles, FilesCutShortOrOfGarbageGiveTheirTextsOrNone)
{
    for (const QString& extension : kTagLibExtensions) {
        const QByteArray whole = Contents(Sample(QStringLiteral("tagged.") + extension));
        ASSERT_GT(whole.size(), 2000);
        const QString path = Sample(QStringLiteral("cut.") + extension);
        for (qsizetype length = 0; length < whole.size(); length += length < 300 ? 7 : 301) {
            Write(path, whole.left(length));
            const TArtistTitle read = Read(path);
            const QString where = extension + QStringLiteral(" cut at %1").arg(length);
            EXPECT_NE(read.Status, TID3ReadStatus::OpenFailed) << qPrintable(where);
            EXPECT_TRUE(read.Artist.isEmpty() || read.Artist == kAbba) << qPrintable(where);
            EXPECT_TRUE(read.Title.isEmpty() || read.Title == kWaterloo) << qPrintable(where);
            if (read.Status != TID3ReadStatus::Read) {
                EXPECT_FALSE(read.Error.isEmpty()) << qPrintable(where);
            }
            if (length < 4) {
                EXPECT_EQ(read.Status, TID3ReadStatus::Unrecognised) << qPrintable(where);
            }
        }
        // Half the audio lost: the tags, which come first, are whole. ffmpeg writes an M4A
        // file's tags after its audio, so those are lost with it.
        Write(path, whole.left(whole.size() / 2));
        const TArtistTitle half = Read(path);
        if (extension == QLatin1String("m4a")) {
            EXPECT_EQ(half.Status, TID3ReadStatus::TagDamaged);
        } else {
            EXPECT_EQ(half.Status, TID3ReadStatus::Read) << qPrintable(extension);
            EXPECT_EQ(half.Artist, kAbba) << qPrintable(extension);
        }
    }

    std::mt19937 random(28);
    QByteArray garbage(20000, '\0');
    for (char& byte : garbage)
        byte = static_cast<char>(random());
    const struct {
        const char* name;
        QByteArray head; // the format's first bytes, so that TagLib gets to read the rest
        TID3ReadStatus status;
    } cases[] = {
        { "garbage.flac", {}, TID3ReadStatus::Unrecognised },
        { "garbage.ogg", {}, TID3ReadStatus::Unrecognised },
        { "garbage.opus", {}, TID3ReadStatus::Unrecognised },
        { "garbage.m4a", {}, TID3ReadStatus::Unrecognised },
        { "empty.flac", QByteArray("\0", 1), TID3ReadStatus::Unrecognised },
        { "magic.flac", "fLaC", TID3ReadStatus::TagDamaged },
        { "magic.m4a",
            QByteArray("\0\0\0\x20"
                       "ftypM4A ",
                12),
            TID3ReadStatus::TagDamaged },
        { "magic.ogg", "OggS", TID3ReadStatus::Unrecognised }, // no codec after the header
    };
    for (const auto& c : cases) {
        const QString path = Sample(QString::fromUtf8(c.name));
        Write(path, c.head + garbage);
        const TArtistTitle read = Read(path);
        EXPECT_EQ(read.Status, c.status) << c.name;
        EXPECT_TRUE(read.Artist.isEmpty() && read.Title.isEmpty()) << c.name;
    }
}

// Atoms nested far deeper than any real file nests them would exhaust the stack of a parser
// that descends by recursion: such a file is damaged, and the read of it comes back.
TEST_F(FormatFiles, AtomsNestedTooDeepAreADamagedFile)
{
    const auto atom = [](const char* name, quint32 size) {
        QByteArray header(4, '\0');
        qToBigEndian(size, header.data());
        return header + QByteArray(name, 4);
    };
    constexpr quint32 kLevels = 80000;
    QByteArray bytes = atom("ftyp", 16) + "M4A " + QByteArray(4, '\0');
    bytes.reserve(bytes.size() + 8 * kLevels);
    for (quint32 level = 0; level < kLevels; ++level)
        bytes += atom(level % 2 == 0 ? "moov" : "udta", 8 * (kLevels - level));
    const QString path = Sample(QStringLiteral("nested.m4a"));
    Write(path, bytes);
    const TArtistTitle read = Read(path);
    EXPECT_EQ(read.Status, TID3ReadStatus::TagDamaged);
    EXPECT_TRUE(read.Error.contains(path)) << qPrintable(read.Error);
    EXPECT_TRUE(read.Artist.isEmpty() && read.Title.isEmpty());
}

// The read takes the descriptor over and reads nothing but it, and only as far as the size
// the caller found: the file can be gone by name, and what grew past that size is not read.
TEST_F(FormatFiles, ReadsOnlyTheDescriptorItIsGivenAsFarAsTheSizeGiven)
{
    for (const QString& extension : kTagLibExtensions) {
        const QString path = Copy(QStringLiteral("tagged.") + extension, "gone." + extension);
        FileDescriptor file = OpenRegularFile(path, false);
        const qint64 size = FileSize(file, path);
        const int fd = file.get();
        ASSERT_TRUE(QFile::remove(path));
        const TArtistTitle read
            = ReadArtistAndTitle(AudioFormatOfFile(path), std::move(file), size, path);
        EXPECT_EQ(read.Artist, kAbba) << qPrintable(extension);
        EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "the descriptor is closed";
    }
    // The Vorbis comment block follows the 42 bytes of "fLaC" and the stream information.
    const TArtistTitle bounded = Read(Sample(QStringLiteral("tagged.flac")), 50);
    EXPECT_EQ(bounded.Status, TID3ReadStatus::TagDamaged);
    EXPECT_TRUE(bounded.Artist.isEmpty());

    // A descriptor the system cannot read from.
    const QString folder = Sample(QStringLiteral("folder.flac"));
    ASSERT_TRUE(QDir().mkpath(folder));
    FileDescriptor opened(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(opened.isOpen());
    const TArtistTitle failed
        = ReadArtistAndTitle(TAudioFormat::Flac, std::move(opened), 100, folder);
    EXPECT_EQ(failed.Status, TID3ReadStatus::OpenFailed);
    EXPECT_TRUE(failed.Error.contains(folder)) << qPrintable(failed.Error);
}

TEST_F(FormatFiles, TagLibCannotWriteThroughTheStream)
{
    const QString path = Copy(QStringLiteral("tagged.flac"), QStringLiteral("keep.flac"));
    const QByteArray before = Contents(path);
    FileDescriptor file = OpenRegularFile(path, true);
    const qint64 size = FileSize(file, path);
    TDescriptorStream stream(std::move(file), size, path);
    TagLib::FLAC::File flac(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    ASSERT_TRUE(flac.isValid());
    flac.xiphComment()->setArtist("Someone else");
    flac.xiphComment()->addField("PADDING", TagLib::String(std::string(9000, 'x')));
    EXPECT_FALSE(flac.save());
    EXPECT_EQ(Contents(path), before);
}

} // namespace
