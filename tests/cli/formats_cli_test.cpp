// plumtide-cli with music files other than mp3 (made by ffmpeg,
// scripts/make_format_samples.sh): --formats and the Formats setting, sort, undo and watch.

#include "clifixture.h"
#include "tests/support/formatsamples.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

#include <cstdlib>

using namespace plumtide::test;

namespace
{

class CliFormats : public Cli
{
protected:
    void SetUp() override
    {
        if (!HaveFfmpeg())
            GTEST_SKIP() << "ffmpeg is missing (scripts/setup.sh installs it)";
        ASSERT_TRUE(MakeFormatSamples(samples.path()));
    }

    // A download folder of one song in every format, tagged Abba, and the artist's folder.
    void mixedDownloads()
    {
        for (const char* extension : { "mp3", "flac", "ogg", "oga", "opus", "m4a" }) {
            const QString name = QStringLiteral("tagged.") + QLatin1String(extension);
            folder(QStringLiteral("in/album"));
            ASSERT_TRUE(
                QFile::copy(samples.filePath(name), path(QStringLiteral("in/album/") + name)));
        }
        write(QStringLiteral("in/album/cover.jpg"), "not music");
        folder(QStringLiteral("music/Abba"));
    }

    QTemporaryDir samples;
};

QStringList recordsOf(const QString& out, const QString& kind)
{
    QStringList records;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(kind + QLatin1Char('\t')))
            records << line;
    }
    return records;
}

} // namespace

// Sorting by default files the mp3 file alone; --formats files the rest; two undos bring
// every file back where it was.
TEST_F(CliFormats, SortFilesTheFormatsAskedForAndUndoBringsEveryFileBack)
{
    mixedDownloads();
    const auto before = tree();
    const QString in = path(QStringLiteral("in"));
    const QString music = path(QStringLiteral("music"));

    const Result mp3Only = run({ QStringLiteral("sort"), QStringLiteral("--settle=0"), in, music });
    ASSERT_EQ(mp3Only.status, 0) << mp3Only.err.toStdString();
    EXPECT_EQ(recordsOf(mp3Only.out, QStringLiteral("moved")),
        QStringList {
            QStringLiteral("moved\t%1/album/tagged.mp3\t%2/Abba/tagged.mp3").arg(in, music) });

    const Result all = run({ QStringLiteral("sort"), QStringLiteral("--settle=0"),
        QStringLiteral("--formats"), QStringLiteral("flac,ogg,oga,opus,m4a,mp3"), in, music });
    ASSERT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_EQ(recordsOf(all.out, QStringLiteral("moved")).size(), 5) << all.out.toStdString();
    EXPECT_EQ(QDir(path(QStringLiteral("music/Abba"))).entryList(QDir::Files).size(), 6);
    EXPECT_EQ(QDir(path(QStringLiteral("in/album"))).entryList(QDir::Files),
        QStringList { QStringLiteral("cover.jpg") });

    for (int i = 0; i < 2; ++i) {
        const Result undone = run({ QStringLiteral("undo") });
        EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
    }
    EXPECT_EQ(tree(), before);
}

// list takes the Formats of the settings unless --formats says otherwise; a list naming
// anything else is refused before anything is read.
TEST_F(CliFormats, ListTakesTheStoredFormatsOrTheOption)
{
    mixedDownloads();
    write(QStringLiteral("config/Plumtide/settings.ini"), "[Software\\Plumtide]\nFormats=FLAC\n");
    const QString album = path(QStringLiteral("in/album"));

    const Result stored = run({ QStringLiteral("list"), path(QStringLiteral("in")) });
    EXPECT_EQ(stored.status, 0) << stored.err.toStdString();
    EXPECT_EQ(stored.out, album + QStringLiteral("/tagged.flac\tABBA\tWaterloo\n"));

    const Result given = run({ QStringLiteral("list"), QStringLiteral("--formats=m4a,opus"),
        path(QStringLiteral("in")) });
    EXPECT_EQ(given.out,
        album + QStringLiteral("/tagged.m4a\tABBA\tWaterloo\n") + album
            + QStringLiteral("/tagged.opus\tABBA\tWaterloo\n"));

    for (const char* wrong : { "wav", "mp3,", "" }) {
        const Result refused
            = run({ QStringLiteral("plan"), QStringLiteral("--formats=") + QLatin1String(wrong),
                path(QStringLiteral("in")), path(QStringLiteral("music")) });
        EXPECT_EQ(refused.status, 2) << wrong;
        EXPECT_TRUE(refused.err.contains(QStringLiteral("--formats takes"))) << wrong;
    }
}

// A FLAC album dropped into a watched folder is filed once it has settled.
TEST_F(CliFormats, WatchFilesAFlacAlbumDroppedIn)
{
    folder(QStringLiteral("in"));
    folder(QStringLiteral("music/Abba"));
    std::unique_ptr<QProcess> watch(start({ QStringLiteral("watch"), QStringLiteral("--settle"),
        QStringLiteral("1"), QStringLiteral("--formats"), QStringLiteral("flac"),
        path(QStringLiteral("in")), path(QStringLiteral("music")) }));
    QString err;
    QElapsedTimer clock;
    clock.start();
    while (!err.contains(QStringLiteral("watching")) && clock.elapsed() < 20000) {
        watch->waitForReadyRead(50);
        err += QString::fromUtf8(watch->readAllStandardError());
    }
    ASSERT_TRUE(err.contains(QStringLiteral("watching"))) << err.toStdString();

    folder(QStringLiteral("in/album"));
    for (const char* name : { "1.flac", "2.flac", "3.mp3" })
        ASSERT_TRUE(
            QFile::copy(samples.filePath(QStringLiteral("tagged.") + QLatin1String(name).mid(2)),
                path(QStringLiteral("in/album/") + QLatin1String(name))));
    const auto filed
        = [&] { return QDir(path(QStringLiteral("music/Abba"))).entryList(QDir::Files); };
    clock.restart();
    while (filed().size() < 2 && clock.elapsed() < 20000)
        QThread::msleep(50);
    watch->terminate();
    watch->waitForFinished(30000);
    EXPECT_EQ(filed(), (QStringList { QStringLiteral("1.flac"), QStringLiteral("2.flac") }));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("in/album/3.mp3"))));
}
