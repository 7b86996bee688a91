// Lyrics and cue sheets that travel with their song, end to end.

#include "tests/cli/clifixture.h"

#include <QDir>
#include <QThread>

#include <map>

using namespace plumtide::test;

TEST_F(Cli, LyricsAndCueSheetsMoveWithTheirSongAndComeBackWithIt)
{
    write(QStringLiteral("in/Waterloo.mp3"), mp3(QStringLiteral("ABBA"), QStringLiteral("W")));
    write(QStringLiteral("in/Waterloo.lrc"), "[00:01.00]My, my\n");
    write(QStringLiteral("in/Waterloo.cue"), "FILE \"Waterloo.mp3\" MP3\n");
    write(QStringLiteral("in/readme.txt"), "no song of that name\n");
    folder(QStringLiteral("music/ABBA"));
    const auto before = tree();
    const QStringList sort { QStringLiteral("sort"), QStringLiteral("--doubles=keep"),
        path(QStringLiteral("in")), path(QStringLiteral("music")) };
    const auto moved = [&](const char* name) {
        return QStringLiteral("moved\t%1\t%2\n")
            .arg(path(QStringLiteral("in/") + QLatin1String(name)),
                path(QStringLiteral("music/ABBA/") + QLatin1String(name)));
    };

    const Result alone = run(sort + QStringList { QStringLiteral("--no-companions") });
    ASSERT_EQ(alone.status, 0) << alone.err.toStdString();
    EXPECT_EQ(alone.out, moved("Waterloo.mp3"));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("in/Waterloo.lrc"))));
    ASSERT_EQ(run({ QStringLiteral("undo") }).status, 0);
    ASSERT_EQ(tree(), before);

    const Result together = run(sort);
    ASSERT_EQ(together.status, 0) << together.err.toStdString();
    EXPECT_EQ(together.out, moved("Waterloo.mp3") + moved("Waterloo.lrc") + moved("Waterloo.cue"));
    EXPECT_EQ(run({ QStringLiteral("history"), QStringLiteral("3") }).out, together.out);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("in/readme.txt"))));

    const Result undone = run({ QStringLiteral("undo") });
    EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
    EXPECT_EQ(undone.out.count(QStringLiteral("restored\t")), 3) << undone.out.toStdString();
    EXPECT_EQ(tree(), before);

    // A sort by hand waits for lyrics written after their song as it waits for the song.
    QThread::msleep(1000);
    write(QStringLiteral("in/Waterloo.lrc"), "[00:01.00]My, my\n");
    const Result again = run(sort);
    ASSERT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(again.out, together.out);

    // A song that cannot go back keeps its lyrics beside it.
    write(QStringLiteral("music/ABBA/Waterloo.mp3"), "played with and saved again");
    const Result kept = run({ QStringLiteral("undo") });
    EXPECT_EQ(kept.out.count(QStringLiteral("not-restored\t")), 3) << kept.out.toStdString();
    EXPECT_EQ(kept.out.count(QStringLiteral("\tits song stayed\n")), 2);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("music/ABBA/Waterloo.lrc"))));
}

// A sort killed right after a song's rename, before its lyrics' (two renames in a row): the
// history keeps the song's move, and the next sort takes the lyrics to their song.
TEST_F(Cli, LyricsAKilledSortLeftBehindFollowTheirSongOnTheNextSort)
{
    for (const char* song : { "Fernando", "SOS", "Waterloo" }) {
        const QString name = QStringLiteral("in/") + QLatin1String(song);
        write(name + QStringLiteral(".mp3"), mp3(QStringLiteral("ABBA"), QLatin1String(song)));
        write(name + QStringLiteral(".lrc"), QByteArray("[00:01.00]") + song);
    }
    folder(QStringLiteral("music/ABBA"));
    const auto before = tree();
    const QStringList sort { QStringLiteral("sort"), QStringLiteral("--settle"),
        QStringLiteral("0"), QStringLiteral("in"), QStringLiteral("music") };

    QProcessEnvironment kill;
    kill.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(PLUMTIDE_KILL_AFTER_RENAMES_SHIM));
    kill.insert(QStringLiteral("PLUMTIDE_TEST_KILL_AFTER_RENAMES"), QStringLiteral("3"));
    kill.insert(QStringLiteral("ASAN_OPTIONS"),
        qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));
    std::unique_ptr<QProcess> killed(start(sort, {}, kill));
    ASSERT_TRUE(killed->waitForFinished(60000));
    ASSERT_EQ(killed->exitStatus(), QProcess::CrashExit);
    ASSERT_TRUE(QFileInfo::exists(path(QStringLiteral("music/ABBA/SOS.mp3"))));
    ASSERT_TRUE(QFileInfo::exists(path(QStringLiteral("in/SOS.lrc"))));
    EXPECT_EQ(run({ QStringLiteral("history"), QStringLiteral("1") })
                  .out.count(QStringLiteral("moved\t")),
        3);

    // A dry run shows the move the sort then makes, and changes nothing, the history
    // included (only the shared memory of its log, which every reader writes).
    const auto historyFiles = [&] {
        std::map<QString, QByteArray> files;
        for (const QFileInfo& file :
            QDir(home.filePath(QStringLiteral("state/Plumtide")))
                .entryInfoList({ QStringLiteral("history.sqlite*") }, QDir::Files)) {
            QFile bytes(file.filePath());
            if (!file.fileName().endsWith(QLatin1String("-shm")) && bytes.open(QIODevice::ReadOnly))
                files[file.fileName()] = bytes.readAll();
        }
        return files;
    };
    const auto killedState = tree();
    const auto killedHistory = historyFiles();
    const Result dry = run(QStringList(sort) << QStringLiteral("--dry-run"));
    EXPECT_TRUE(dry.out.startsWith(QStringLiteral("moved\tin/SOS.lrc\tmusic/ABBA/SOS.lrc\n")))
        << dry.out.toStdString();
    EXPECT_EQ(tree(), killedState);
    EXPECT_TRUE(historyFiles() == killedHistory);
    EXPECT_EQ(run({ QStringLiteral("history") }).status, 0);
    EXPECT_TRUE(historyFiles() == killedHistory);
    const Result next = run(sort);
    ASSERT_EQ(next.status, 0) << next.err.toStdString();
    EXPECT_TRUE(next.out.startsWith(QStringLiteral("moved\tin/SOS.lrc\tmusic/ABBA/SOS.lrc\n")))
        << next.out.toStdString();
    EXPECT_EQ(next.out.count(QStringLiteral("moved\t")), 3);
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(this->run({ QStringLiteral("undo") }).status, 0);
    EXPECT_EQ(tree(), before);
}
