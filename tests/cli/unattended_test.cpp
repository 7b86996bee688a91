// plumtide-cli where nobody watches it: output nobody reads, a kernel that copies short,
// file times from far ahead, and files left behind.

#include "tests/cli/clifixture.h"
#include "tests/support/otherprocess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using namespace plumtide::test;

namespace
{

// `count` songs of ABBA of about 300 KB each in `folder`.
void abbaSongs(const QString& folder, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
        QFile file(folder + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(mp3(QStringLiteral("Abba"), name, 300000 + i));
    }
}

} // namespace

// Standard output that cannot take the records (a full disk; a reader that has gone, as
// `| head -n1` does): the run stops at its next safe point with status 1 (a watch ends), the
// summary and the reason on standard error, and every file it moved is in the history.
TEST_F(Cli, OutputThatCannotBeWrittenEndsTheRunWithEverythingMovedRecorded)
{
    const std::unique_ptr<QTemporaryDir> far = farFolder();
    if (!far)
        GTEST_SKIP() << "no second file system";
    enum class Into { Full, Head };
    const struct {
        const char* what;
        const char* command;
        Into into;
    } cases[] = {
        { "list into a full disk", "list", Into::Full },
        { "sort into a full disk", "sort", Into::Full },
        { "sort into a reader that goes", "sort", Into::Head },
        { "watch into a full disk", "watch", Into::Full },
    };
    int round = 0;
    for (const auto& c : cases) {
        const QString source = far->filePath(QString::number(++round));
        const QString music = QStringLiteral("music%1").arg(round);
        QDir().mkpath(source);
        folder(music + QStringLiteral("/ABBA"));
        abbaSongs(source, 150);
        const QStringList arguments = QLatin1String(c.command) == QLatin1String("list")
            ? QStringList { QStringLiteral("list"), source }
            : QStringList { QLatin1String(c.command), QStringLiteral("--doubles"),
                  QStringLiteral("keep"), QStringLiteral("--settle"), QStringLiteral("0"), source,
                  music };
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(dir.path());
        if (c.into == Into::Full) {
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
            process.start(QStringLiteral(PLUMTIDE_CLI), arguments);
        } else {
            process.start(QStringLiteral("bash"),
                QStringList { QStringLiteral("-c"),
                    QStringLiteral("\"$0\" \"$@\" | head -n1 >/dev/null; exit ${PIPESTATUS[0]}"),
                    QStringLiteral(PLUMTIDE_CLI) }
                    + arguments);
        }
        ASSERT_TRUE(process.waitForFinished(60000)) << c.what;
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), 1) << c.what << ": " << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("Cannot write to 'standard output'")))
            << c.what << ": " << err.toStdString();
        if (QLatin1String(c.command) == QLatin1String("list"))
            continue;
        EXPECT_TRUE(err.contains(QStringLiteral("sorted: "))) << c.what;
        const qsizetype moved
            = QDir(path(music + QStringLiteral("/ABBA"))).entryList(QDir::Files).size();
        EXPECT_LT(moved, 150) << c.what << ": no new moves after the output failed";
        EXPECT_EQ(QDir(source).entryList(QDir::Files).size() + moved, 150) << c.what;
        const QStringList recorded = newestRun();
        ASSERT_EQ(recorded.size(), 9) << c.what;
        EXPECT_EQ(recorded.at(7), QString::number(moved)) << c.what;
        EXPECT_EQ(recorded.at(8), QStringLiteral("failed")) << c.what;
    }
}

// A kernel copy that stops short (preloaded: 1,000 bytes, then "nothing left to copy") never
// becomes the moved song: the rest is copied, and the file arrives whole.
TEST_F(Cli, AKernelCopyThatStopsShortStillMovesTheWholeFile)
{
    const std::unique_ptr<QTemporaryDir> far = farFolder();
    if (!far)
        GTEST_SKIP() << "no second file system";
    const QByteArray song = mp3(QStringLiteral("Abba"), QStringLiteral("Waterloo"), 500000);
    QFile source(far->filePath(QStringLiteral("waterloo.mp3")));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write(song);
    source.close();
    folder(QStringLiteral("music/ABBA"));

    QProcessEnvironment preload;
    preload.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(PLUMTIDE_SHORT_COPY_SHIM));
    // The sanitizers' runtime need not come first when the shim is preloaded.
    preload.insert(QStringLiteral("ASAN_OPTIONS"),
        qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));
    std::unique_ptr<QProcess> process(
        start({ QStringLiteral("sort"), QStringLiteral("--settle"), QStringLiteral("0"),
                  far->path(), QStringLiteral("music") },
            {}, preload));
    ASSERT_TRUE(process->waitForFinished(60000));
    const QString out = QString::fromUtf8(process->readAllStandardOutput());
    EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    EXPECT_EQ(out, QStringLiteral("moved\t%1\tmusic/ABBA/waterloo.mp3\n").arg(source.fileName()));
    QFile moved(path(QStringLiteral("music/ABBA/waterloo.mp3")));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.size(), song.size());
    EXPECT_TRUE(moved.readAll() == song);
    EXPECT_FALSE(source.exists());
}

// A file whose modification time lies beyond what 64-bit nanoseconds hold (the year 2300)
// is sorted like any other, keeps its time, and an undo knows it again and puts it back.
TEST_F(Cli, AFileFromAfter2262IsSortedAndUndone)
{
    write(QStringLiteral("in/future.mp3"), mp3(QStringLiteral("Abba"), QStringLiteral("2300")));
    folder(QStringLiteral("music/ABBA"));
    const QByteArray file = QFile::encodeName(path(QStringLiteral("in/future.mp3")));
    constexpr time_t k2300 = 10413792000;
    const timespec times[2] = { { k2300, 0 }, { k2300, 0 } };
    struct stat st {
    };
    if (::utimensat(AT_FDCWD, file.constData(), times, 0) != 0 || ::stat(file.constData(), &st) != 0
        || st.st_mtim.tv_sec != k2300)
        GTEST_SKIP() << "the file system keeps no such time";

    const Result sorted = run({ QStringLiteral("sort"), QStringLiteral("--doubles"),
        QStringLiteral("keep"), QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_EQ(sorted.status, 0) << sorted.err.toStdString();
    EXPECT_EQ(sorted.out, QStringLiteral("moved\tin/future.mp3\tmusic/ABBA/future.mp3\n"));
    const QByteArray target = QFile::encodeName(path(QStringLiteral("music/ABBA/future.mp3")));
    ASSERT_EQ(::stat(target.constData(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, k2300);

    const Result undone = run({ QStringLiteral("undo") });
    EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
    EXPECT_TRUE(undone.out.startsWith(QStringLiteral("restored\t"))) << undone.out.toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("in/future.mp3"))));
}

// sort --fail-if-left: exit status 3 when a file stayed in SOURCE for any reason (each told
// on standard error), but not for a double kept by the user's choice; an error comes first.
TEST_F(Cli, FailIfLeftTellsOfEveryFileThatStayed)
{
    const struct {
        const char* rule;
        const char* artist;
        bool heldOpen;
        bool doubleThere;
        bool option;
        bool fullOutput;
        int status;
        const char* told; // the reason on standard error
    } cases[] = {
        { "every file filed", "Metallica", false, false, true, false, 0, nullptr },
        { "no folder for its artist", "Nobody Known", false, false, true, false, 3,
            "no folder for its artist" },
        { "in use", "Metallica", true, false, true, false, 3, "in use" },
        { "a double kept by choice", "Metallica", false, true, true, false, 0, nullptr },
        { "without the option", "Nobody Known", false, false, false, false, 0, nullptr },
        { "an output error comes first", "Nobody Known", false, false, true, true, 1,
            "no folder for its artist" },
    };
    int round = 0;
    for (const auto& c : cases) {
        const QString in = QStringLiteral("in%1").arg(++round);
        const QString music = QStringLiteral("music%1").arg(round);
        write(in + QStringLiteral("/song.mp3"),
            mp3(QString::fromLatin1(c.artist), QStringLiteral("Song")));
        folder(music + QStringLiteral("/Metallica"));
        if (c.doubleThere)
            write(music + QStringLiteral("/Metallica/song.mp3"), "another song");
        const QByteArray song = QFile::encodeName(path(in + QStringLiteral("/song.mp3")));
        OtherProcess player([&] { return !c.heldOpen || ::open(song.constData(), O_RDONLY) >= 0; });
        ASSERT_TRUE(player.ready());

        QStringList arguments { QStringLiteral("sort"), QStringLiteral("--doubles"),
            QStringLiteral("keep"), QStringLiteral("--settle"), QStringLiteral("0"), in, music };
        if (c.option)
            arguments.insert(1, QStringLiteral("--fail-if-left"));
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(dir.path());
        if (c.fullOutput) {
            // The summary record is what fails.
            arguments.insert(1, QStringLiteral("--json"));
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
        }
        process.start(QStringLiteral(PLUMTIDE_CLI), arguments);
        ASSERT_TRUE(process.waitForFinished(60000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), c.status) << c.rule << ": " << err.toStdString();
        if (c.told)
            EXPECT_TRUE(err.contains(QStringLiteral("plumtide-cli: left '%1/song.mp3': %2\n")
                                         .arg(in, QLatin1String(c.told))))
                << c.rule << ": " << err.toStdString();
        else
            EXPECT_FALSE(err.contains(QStringLiteral("left '"))) << c.rule;
    }
}

// Two names of one file in SOURCE, moved across file systems: the second name is not taken
// for another program holding the first (whose copy the run still has open); both arrive.
TEST_F(Cli, TwoNamesOfOneFileBothMoveAcrossFileSystems)
{
    const std::unique_ptr<QTemporaryDir> far = farFolder();
    if (!far)
        GTEST_SKIP() << "no second file system";
    const QByteArray song = mp3(QStringLiteral("Abba"), QStringLiteral("Waterloo"), 400000);
    const QString first = far->filePath(QStringLiteral("waterloo.mp3"));
    const QString second = far->filePath(QStringLiteral("waterloo again.mp3"));
    QFile file(first);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(song);
    file.close();
    ASSERT_EQ(
        ::link(QFile::encodeName(first).constData(), QFile::encodeName(second).constData()), 0);
    folder(QStringLiteral("music/ABBA"));

    const Result result = run({ QStringLiteral("sort"), QStringLiteral("--settle"),
        QStringLiteral("0"), far->path(), QStringLiteral("music") });
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains(QStringLiteral("in use"))) << result.out.toStdString();
    for (const char* name : { "waterloo.mp3", "waterloo again.mp3" }) {
        QFile moved(path(QStringLiteral("music/ABBA/") + QLatin1String(name)));
        ASSERT_TRUE(moved.open(QIODevice::ReadOnly)) << name << ": " << result.out.toStdString();
        EXPECT_TRUE(moved.readAll() == song) << name;
    }
    EXPECT_TRUE(QDir(far->path()).entryList(QDir::Files).isEmpty());
}
