#include "id3/id3engine.h"
#include "id3/id3error.h"
#include "id3/tempfile.h"
#include "tagbytes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plumtide;
using namespace tagbytes;

namespace
{

class EngineFile : public testing::Test
{
protected:
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString Write(const char* name, const QByteArray& bytes) const
    {
        return WriteFile(Path(name), bytes);
    }
    QStringList Leftovers() const
    {
        return QDir(m_dir.path()).entryList({ QStringLiteral("ID3TMP*") }, QDir::Files);
    }
    QTemporaryDir m_dir;
};

const QByteArray kV4Tag = Tag(4, 0,
    Frame4("TIT2", Text("Waterloo")) + Frame4("TPE1", Text("Abba"))
        + Frame4("COMM", QByteArray(1, '\0') + "eng" + QByteArray(400, 'c')),
    100);

mode_t Mode(const QString& path)
{
    struct stat st {
    };
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode;
}

TEST_F(EngineFile, MissingFileOrFolderLeavesEngineInactive)
{
    TID3Engine engine;
    engine.SetFileName(Path("missing.mp3"));
    engine.SetActive(true);
    EXPECT_FALSE(engine.Active());
    EXPECT_EQ(engine.Artist(), "");
    engine.SetFileName(m_dir.path());
    engine.SetActive(true);
    EXPECT_FALSE(engine.Active());

    // Inactive: tagged or not, texts read empty and writes are ignored.
    const QString tagged = Write("a.mp3", kV4Tag + Audio());
    engine.SetFileName(tagged);
    EXPECT_EQ(engine.Artist(), "");
    engine.SetArtist(QStringLiteral("X"));
    engine.SetActive(true);
    EXPECT_EQ(engine.Artist(), "Abba");
    engine.SetFileName(Path("other.mp3"));
    EXPECT_EQ(engine.FileName(), tagged);
}

TEST_F(EngineFile, TagLengthCountsHeaderPaddingAndFooter)
{
    const QByteArray body = Frame4("TPE1", Text("Abba"));
    const struct {
        const char* name;
        QByteArray tag;
        qint64 length;
    } cases[] = {
        { "v3", Tag(3, 0, Frame3("TPE1", Text("Abba")), 20), 10 + 15 + 20 },
        { "v4", Tag(4, 0, body, 20), 10 + 15 + 20 },
        { "v4_footer", Tag(4, 0x10, body) + "3DI\x04\x00\x10" + Syncsafe(15), 20 + 15 },
    };
    for (const auto& c : cases) {
        TID3Engine engine;
        engine.SetFileName(Write(c.name, c.tag + Audio()));
        engine.SetActive(true);
        EXPECT_EQ(engine.TagStart(), 0) << c.name;
        EXPECT_EQ(engine.TagLength(), c.length) << c.name;
        EXPECT_EQ(engine.Artist(), "Abba") << c.name;
    }
}

TEST_F(EngineFile, ID3V1BlockBecomesFramesInFixedOrder)
{
    TID3Engine engine;
    engine.SetFileName(Write("v1.mp3", Audio() + ID3V1("Song", "Band", 0, 17)));
    engine.SetActive(true);
    EXPECT_EQ(engine.Title(), "Song");
    EXPECT_EQ(engine.Artist(), "Band");
    EXPECT_EQ(engine.Genre(), "(17) Rock");
    EXPECT_EQ(engine.Track(), "0");
    EXPECT_EQ(engine.Padding(), 250);
    EXPECT_EQ(engine.TagLength(), 0);
    QStringList names;
    for (int i = 0; i < engine.Frames().Count(); ++i)
        names << engine.Frames().Items(i).Name();
    EXPECT_EQ(names, QStringList({ "TALB", "TPE1", "TIT2", "TYER", "COMM", "TRCK", "TCON" }));
    EXPECT_EQ(engine.AddComment("d", "t", "eng"), 1);
    EXPECT_EQ(engine.AddComment("d", "t", "eng"), 2);
    EXPECT_EQ(engine.Frames().Count(), 9);

    engine.SetActive(false);
    EXPECT_EQ(engine.AddComment("d", "t", "eng"), -1);
    engine.SetFileName(Write("v1_genre80.mp3", Audio() + ID3V1("Song", "Band", 3, 80)));
    engine.SetActive(true);
    EXPECT_EQ(engine.Genre(), "");
    EXPECT_EQ(engine.Track(), "3");
    engine.SetActive(false);
    engine.SetFileName(Write("short.mp3", ID3V1("Song", "Band", 3, 1).left(100)));
    engine.SetActive(true);
    EXPECT_EQ(engine.Frames().Count(), 0);
}

TEST_F(EngineFile, PaddingIsNeverNegativeAndZeroWithFooter)
{
    TID3Engine engine;
    engine.SetPadding(-5);
    EXPECT_EQ(engine.Padding(), 0);
    engine.SetPadding(40);
    EXPECT_EQ(engine.Padding(), 40);
    engine.Header().SetFooterPresent(true);
    engine.SetPadding(40);
    EXPECT_EQ(engine.Padding(), 0);
}

TEST_F(EngineFile, SaveID3V1NumbersAndPlacement)
{
    const struct {
        const char* genre;
        const char* track;
        int genreByte, trackByte;
    } cases[] = {
        { "(9) Metal", "7", 9, 7 },
        { "Rock", "3/12", 0, 0 },
        { ")9(", "259", 0, 3 },
    };
    for (const auto& c : cases) {
        const QString path = Write("v1save.mp3", Audio(500));
        TID3Engine engine;
        engine.SetFileName(path);
        engine.SetActive(true);
        engine.SetGenre(QString::fromLatin1(c.genre));
        engine.SetTrack(QString::fromLatin1(c.track));
        engine.SetTitle(QString(40, 'T'));
        engine.SaveID3V1();
        engine.SaveID3V1(); // the second writes over the first
        engine.SetActive(false);
        const QByteArray bytes = ReadFile(path);
        ASSERT_EQ(bytes.size(), 500 + 128) << c.genre;
        const QByteArray block = bytes.right(128);
        EXPECT_EQ(static_cast<quint8>(block[127]), c.genreByte) << c.genre;
        EXPECT_EQ(static_cast<quint8>(block[126]), c.trackByte) << c.track;
        EXPECT_EQ(block.mid(3, 30), QByteArray(30, 'T'));
    }
}

TEST_F(EngineFile, NewTagGoesBeforeTheWholePreviousContent)
{
    const QByteArray before = Audio() + ID3V1("Song", "Band", 1, 2);
    const QString path = Write("untagged.mp3", before);
    TID3Engine engine;
    engine.SetFileName(path);
    engine.SetActive(true);
    engine.SetArtist(QStringLiteral("Ærø 日本"));
    engine.WriteTag();
    const QByteArray after = ReadFile(path);
    EXPECT_TRUE(after.startsWith("ID3\x04"));
    EXPECT_TRUE(after.endsWith(before));
    EXPECT_EQ(after.size(), engine.TagLength() + before.size());
    // Still active on the new content.
    engine.ReadTag();
    EXPECT_EQ(engine.Artist(), QStringLiteral("Ærø 日本"));
    EXPECT_EQ(engine.TagLength(), after.size() - before.size());
}

TEST_F(EngineFile, ShorterTagIsWrittenInPlaceAndPaddedToTheOldLength)
{
    const QByteArray audio = Audio();
    const QString path = Write("inplace.mp3", kV4Tag + audio);
    struct stat before {
    };
    ::stat(QFile::encodeName(path).constData(), &before);
    TID3Engine engine;
    engine.SetFileName(path);
    engine.SetActive(true);
    engine.Frames().Items(2).Data().SetBytes("x"); // shrink the comment
    engine.SetTitle(QStringLiteral("W"));
    engine.WriteTag();
    const QByteArray after = ReadFile(path);
    struct stat now {
    };
    ::stat(QFile::encodeName(path).constData(), &now);
    EXPECT_EQ(now.st_ino, before.st_ino);
    ASSERT_EQ(after.size(), kV4Tag.size() + audio.size());
    EXPECT_TRUE(after.endsWith(audio));
    EXPECT_EQ(after.mid(6, 4), kV4Tag.mid(6, 4)); // the same size field
    const int framesEnd = 10 + 12 + 15 + 11;
    EXPECT_EQ(after.mid(framesEnd, kV4Tag.size() - framesEnd),
        QByteArray(kV4Tag.size() - framesEnd, '\0'));
}

TEST_F(EngineFile, LargerTagReplacesFileKeepingPermissionsAndLinks)
{
    const QByteArray audio = Audio(20000);
    const QString real = Write("real.mp3", kV4Tag + audio);
    ::chmod(QFile::encodeName(real).constData(), 0640);
    const QString link = Path("link.mp3");
    ASSERT_EQ(
        ::symlink(QFile::encodeName(real).constData(), QFile::encodeName(link).constData()), 0);

    TID3Engine engine;
    engine.SetFileName(link);
    engine.SetActive(true);
    engine.SetAlbum(QString(3000, 'A'));
    engine.WriteTag();
    EXPECT_TRUE(S_ISLNK(Mode(link)));
    EXPECT_EQ(Mode(real) & 07777, 0640u);
    EXPECT_TRUE(Leftovers().isEmpty());
    const QByteArray after = ReadFile(real);
    EXPECT_TRUE(after.endsWith(audio));
    EXPECT_EQ(after.size(), engine.TagLength() + audio.size());

    TID3Engine again;
    again.SetFileName(real);
    again.SetActive(true);
    EXPECT_EQ(again.Album(), QString(3000, 'A'));
    EXPECT_EQ(again.Artist(), "Abba");

    engine.EraseTag();
    EXPECT_EQ(ReadFile(real), audio);
    EXPECT_EQ(engine.TagLength(), 0);
    EXPECT_EQ(engine.Header().Size(), -1);
    engine.WriteTag(); // the frames kept in memory form a new tag
    engine.SetActive(false);
    engine.SetActive(true);
    EXPECT_EQ(engine.Album(), QString(3000, 'A'));
}

TEST_F(EngineFile, VersionsTwoAndThreeAreWrittenBackReadably)
{
    const struct {
        const char* name;
        QByteArray tag;
        int writtenVersion;
    } cases[] = {
        { "v2",
            Tag(2, 0,
                Frame2("TT2", Text("Song")) + Frame2("TP1", Text("Abba")) + Frame2("PIC", "xyz")),
            4 },
        { "v3", Tag(3, 0, Frame3("COMM", QByteArray(300, 'c')) + Frame3("TPE1", Text("Abba"))), 3 },
    };
    for (const auto& c : cases) {
        const QString path = Write(c.name, c.tag + Audio());
        TID3Engine engine;
        engine.SetFileName(path);
        engine.SetActive(true);
        engine.SetTitle(QString::fromUtf8("Люб") + QString(200, 'x'));
        engine.WriteTag();
        engine.SetActive(false);
        const QByteArray bytes = ReadFile(path);
        EXPECT_EQ(bytes[3], c.writtenVersion) << c.name;
        engine.SetActive(true);
        EXPECT_EQ(engine.Artist(), "Abba") << c.name;
        EXPECT_EQ(engine.Title(), QString::fromUtf8("Люб") + QString(200, 'x')) << c.name;
        EXPECT_EQ(engine.Frames().Find("PIC\0"), nullptr) << c.name;
    }
}

TEST_F(EngineFile, EventsAreCalledOnlyWhenAssignedAndInOrder)
{
    const QString path = Write("events.mp3", kV4Tag + Audio());
    TID3Engine engine;
    engine.SetFileName(path);
    engine.SetActive(true); // nothing assigned: nothing called
    engine.SetActive(false);
    QStringList calls;
    engine.OnReadTag = [&](TID3Engine&) { calls << "read"; };
    engine.OnFileOpen = [&](TID3Engine&) { calls << "open"; };
    engine.OnWriteTag = [&](TID3Engine&) { calls << "write"; };
    engine.OnEraseTag = [&](TID3Engine&) { calls << "erase"; };
    engine.OnFileClose = [&](TID3Engine&) { calls << "close"; };
    engine.SetActive(true);
    engine.WriteTag();
    engine.EraseTag();
    engine.EraseTag(); // nothing left to remove, still reported
    engine.SetActive(false);
    EXPECT_EQ(calls, QStringList({ "read", "open", "write", "erase", "erase", "close" }));
}

TEST_F(EngineFile, UnwritableFileIsLeftAlone)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    const QByteArray bytes = kV4Tag + Audio();
    const QString path = Write("readonly.mp3", bytes);
    ::chmod(QFile::encodeName(path).constData(), 0444);
    TID3Engine engine;
    engine.SetFileName(path);
    engine.SetActive(true);
    engine.SetAlbum(QString(3000, 'A'));
    EXPECT_THROW(engine.WriteTag(), IOError);
    EXPECT_THROW(engine.EraseTag(), IOError);
    EXPECT_EQ(ReadFile(path), bytes);
}

// A writer killed at random moments while it rewrites the file leaves the old file or the new
// one, whole, with the audio unchanged.
TEST_F(EngineFile, KilledRewriteLeavesOldOrNewFileWhole)
{
    const QByteArray audio = Audio(400000);
    const QString path = Write("crash.mp3", kV4Tag + audio);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TID3Engine engine;
            engine.SetFileName(path);
            engine.SetActive(true);
            engine.SetArtist(QStringLiteral("Abba")); // also when the last round left no tag
            for (;;) {
                engine.EraseTag();
                engine.WriteTag();
            }
        }
        ::usleep(static_cast<useconds_t>(2000 + round * 1500));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const QByteArray now = ReadFile(path);
        const bool untagged = now == audio;
        const bool tagged = now.endsWith(audio) && now.startsWith("ID3");
        ASSERT_TRUE(untagged || tagged) << "round " << round << " size " << now.size();
        if (tagged) {
            TID3Engine engine;
            engine.SetFileName(path);
            engine.SetActive(true);
            EXPECT_EQ(engine.Artist(), "Abba");
            EXPECT_EQ(engine.TagLength() + audio.size(), now.size());
        }
    }
}

TEST_F(EngineFile, FullDiskLeavesOriginalAndNoTemporaryFile)
{
    const QByteArray bytes = kV4Tag + Audio(100000);
    const QString path = Write("full.mp3", bytes);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file-size limit stands in for a full disk: writes past it fail with EFBIG.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 50000, 50000 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        TID3Engine engine;
        engine.SetFileName(path);
        engine.SetActive(true);
        engine.SetAlbum(QString(3000, 'A'));
        try {
            engine.WriteTag();
        } catch (const IOError&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(path), bytes);
    EXPECT_TRUE(Leftovers().isEmpty());
}

TEST_F(EngineFile, TemporaryFilesAreNewPrivateAndNamedID3TMP)
{
    FileDescriptor first;
    FileDescriptor second;
    const QString a = MakeTempFileName(first, m_dir.path());
    const QString b = MakeTempFileName(second, m_dir.path());
    EXPECT_NE(a, b);
    EXPECT_TRUE(QFileInfo(a).fileName().contains(QRegularExpression("^ID3TMP[0-9A-F]{2,}\\.tmp$")));
    EXPECT_EQ(Mode(a) & 0777, 0600u);
    {
        TTempFile temp(m_dir.path());
        EXPECT_TRUE(QFile::exists(temp.Path()));
    }
    EXPECT_EQ(Leftovers().size(), 2);
}

TEST_F(EngineFile, ReadArtistAndTitleReportsWhatHappened)
{
    const QByteArray corrupt = Tag(4, 0,
        Frame4("TIT2", Text("Song")) + Frame4("TALB", Syncsafe(9) + "\x78\x9C garbage", 0, 0x09)
            + Frame4("TPE1", Text("Abba")));
    const struct {
        const char* name;
        QString path;
        TID3ReadStatus status;
        QString artist, title;
    } cases[] = {
        { "tagged", Write("ok.mp3", kV4Tag + Audio()), TID3ReadStatus::Read, "Abba", "Waterloo" },
        { "untagged", Write("none.mp3", Audio()), TID3ReadStatus::Read, "", "" },
        { "missing", Path("missing.mp3"), TID3ReadStatus::NoFile, "", "" },
        { "damaged", Write("bad.mp3", corrupt + Audio()), TID3ReadStatus::TagDamaged, "", "Song" },
    };
    for (const auto& c : cases) {
        const TArtistTitle read = ReadArtistAndTitle(c.path);
        EXPECT_EQ(read.Status, c.status) << c.name;
        EXPECT_EQ(read.Artist, c.artist) << c.name;
        EXPECT_EQ(read.Title, c.title) << c.name;
        EXPECT_EQ(read.Error.isEmpty(),
            c.status == TID3ReadStatus::Read || c.status == TID3ReadStatus::NoFile)
            << c.name;
    }
}

qint64 BytesReadByThisProcess()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// Reading artist and title touches the tag's texts (or the last 128 bytes), never the audio
// and never a cover's bytes, wherever the cover stands among the frames.
TEST_F(EngineFile, ReadingArtistAndTitleReadsOnlyWhatItNeeds)
{
    const QByteArray picture(500000, 'p');
    const QByteArray cover = Frame4("APIC", picture);
    const QByteArray texts = Frame4("TPE1", Text("Abba")) + Frame4("TIT2", Text("Waterloo"));
    const qint64 bound = 64 * 1024;
    const struct {
        const char* name;
        QByteArray bytes;
        const char* artist;
        const char* title;
        qint64 needed;
    } cases[] = {
        { "cover_first", Tag(4, 0, cover + texts, 500) + Audio(2000000), "Abba", "Waterloo",
            bound },
        { "cover_last", Tag(4, 0, texts + cover, 500) + Audio(2000000), "Abba", "Waterloo", bound },
        { "cover_between_v3",
            Tag(3, 0,
                Frame3("TPE1", Text("Abba")) + Frame3("APIC", picture)
                    + Frame3("TIT2", Text("Waterloo")))
                + Audio(2000000),
            "Abba", "Waterloo", bound },
        { "id3v1", Audio(2000000) + ID3V1("Song", "Band", 1, 1), "Band", "Song",
            TPieceStream::kPiece + 128 },
        // An ID3v2 tag without artist: the ID3v1 block is read as well, and nothing else.
        { "tag_without_artist",
            Tag(4, 0, cover, 500) + Audio(2000000) + ID3V1("Song", "Band", 1, 1), "Band", "Song",
            bound },
    };
    for (const auto& c : cases) {
        const QString path = Write(c.name, c.bytes);
        const qint64 before = BytesReadByThisProcess();
        const TArtistTitle read = ReadArtistAndTitle(path);
        const qint64 used = BytesReadByThisProcess() - before;
        if (before < 0)
            GTEST_SKIP() << "no /proc/self/io";
        EXPECT_EQ(read.Artist, QLatin1String(c.artist)) << c.name;
        EXPECT_EQ(read.Title, QLatin1String(c.title)) << c.name;
        EXPECT_LE(used, c.needed + 1024) << c.name; // the /proc read itself counts too
    }
}

} // namespace
