// End-to-end tests of plumtide-cli: the built program run on folders made here.

#include "clifixture.h"

#include <csignal>
#include <sys/stat.h>

using namespace plumtide::test;

TEST_F(Cli, KeyAndScoreFromArgumentsAndStandardInput)
{
    EXPECT_EQ(run({ QStringLiteral("key"), QStringLiteral("001-Abba - Waterloo.mp3"),
                      QStringLiteral("Waterloo.mp3") })
                  .out,
        QStringLiteral("ABBA\nWATERLOO.MP3\n"));
    EXPECT_EQ(run({ QStringLiteral("key") }, "Madonna feat. X\n  queen  \n").out,
        QStringLiteral("MADONNA\nQUEEN\n"));
    EXPECT_EQ(
        run({ QStringLiteral("score"), QStringLiteral("METALLICA"), QStringLiteral("Metalica") })
            .out,
        QStringLiteral("61.25\n"));
    EXPECT_EQ(run({ QStringLiteral("score") }, "MADONNA\tMadona\nMADONNA\tMadonna\n").out,
        QStringLiteral("66.6666666666667\n100\n"));
    const Result noTab = run({ QStringLiteral("score") }, "MADONNA Madona\n");
    EXPECT_EQ(noTab.status, 2);
    EXPECT_TRUE(noTab.err.contains(QStringLiteral("line 1"))) << noTab.err.toStdString();
}

TEST_F(Cli, ListFoldersAndTagsDescribeTheLibrary)
{
    library();
    EXPECT_EQ(run({ QStringLiteral("list"), QStringLiteral("in") }).out,
        QStringLiteral("in/001-Queen - Bohemian.mp3\tQUEEN\t\n"
                       "in/a.mp3\tMADONNA\tVogue\n"
                       "in/c.MP3\tMETALLICA\tOne\n"
                       "in/sub/b.mp3\tABBA\tWaterloo\n"));
    EXPECT_EQ(
        run({ QStringLiteral("list"), QStringLiteral("--json"), path(QStringLiteral("in/sub")) })
            .out,
        QStringLiteral("{\"path\":\"%1\",\"key\":\"ABBA\",\"title\":\"Waterloo\"}\n")
            .arg(path(QStringLiteral("in/sub/b.mp3"))));
    EXPECT_EQ(run({ QStringLiteral("folders"), QStringLiteral("music/") }).out,
        QStringLiteral(
            "music/Metalica\tMetalica\nmusic/Pop\tPop\nmusic/Pop/Madonna\tPop/Madonna\n"));
    EXPECT_EQ(run({ QStringLiteral("tags"), QStringLiteral("in/a.mp3"),
                      QStringLiteral("in/001-Queen - Bohemian.mp3") })
                  .out,
        QStringLiteral("file\tin/a.mp3\nversion\t4.0\nv1\tno\n"
                       "frame\tTPE1\t8\tMadonna\nframe\tTIT2\t6\tVogue\n"
                       "file\tin/001-Queen - Bohemian.mp3\nversion\tnone\nv1\tno\n"));
}

TEST_F(Cli, PlanListsRowsThenNewArtists)
{
    library();
    const Result plan = run({ QStringLiteral("plan"), QStringLiteral("--percentage"),
        QStringLiteral("37"), QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_EQ(plan.status, 0) << plan.err.toStdString();
    EXPECT_EQ(plan.out,
        QStringLiteral("plan\tin/c.MP3\t61.25\tmusic/Metalica\n"
                       "unfiled\tin/001-Queen - Bohemian.mp3\tno-folder\n"
                       "unfiled\tin/a.mp3\tsame-artist\tmusic/Pop/Madonna\n"
                       "unfiled\tin/sub/b.mp3\tno-folder\n"
                       "new\tQUEEN\nnew\tABBA\n"));
    const Result json = run({ QStringLiteral("plan"), QStringLiteral("--json"),
        QStringLiteral("--percentage=60"), QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_TRUE(json.out.startsWith(
        QStringLiteral("{\"type\":\"plan\",\"file\":\"in/"
                       "c.MP3\",\"score\":61.25,\"folder\":\"music/Metalica\"}\n")))
        << json.out.toStdString();
}

TEST_F(Cli, DryRunTouchesNothingAndSaysWhatSortDoes)
{
    library();
    write(QStringLiteral("music/Metalica/c.MP3"),
        mp3(QStringLiteral("Metallica"), QStringLiteral("Other")));
    const QStringList options { QStringLiteral("--doubles"), QStringLiteral("move:doubles"),
        QStringLiteral("--create-artist-folders"), QStringLiteral("--keep-small"),
        QStringLiteral("in"), QStringLiteral("music") };
    const auto before = tree();
    const Result dry
        = run(QStringList { QStringLiteral("sort"), QStringLiteral("--dry-run") } + options);
    EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_EQ(tree(), before);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("music/QUEEN"))));

    const Result real = run(QStringList { QStringLiteral("sort") } + options);
    EXPECT_EQ(real.status, 0) << real.err.toStdString();
    EXPECT_EQ(real.out, dry.out);
    EXPECT_TRUE(real.out.contains(QStringLiteral("created\tmusic/QUEEN\n")));
    EXPECT_TRUE(real.out.contains(QStringLiteral("double-moved\tin/c.MP3\tdoubles/c.MP3\n")))
        << real.out.toStdString();
    EXPECT_TRUE(real.out.contains(QStringLiteral("moved\tin/sub/b.mp3\tmusic/ABBA/b.mp3\n")));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("music/QUEEN/001-Queen - Bohemian.mp3"))));
    // Madonna has her folder under another spelling: no second one is made, her song waits.
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("music/MADONNA"))));
    EXPECT_EQ(QDir(path(QStringLiteral("in")))
                  .entryList(QStringList { QStringLiteral("*.mp3"), QStringLiteral("*.MP3") },
                      QDir::Files),
        QStringList { QStringLiteral("a.mp3") });
}

// A filed library sorted into itself stays as it is, and a double whose doubles folder is its
// own folder is kept: neither is moved onto itself or compared with itself and deleted.
TEST_F(Cli, NothingIsMovedOntoItselfAndTheSummaryCountsWhatHappened)
{
    write(QStringLiteral("music/Madonna/Vogue.mp3"),
        mp3(QStringLiteral("Madonna"), QStringLiteral("Vogue")));
    write(QStringLiteral("music/ABBA/Waterloo.mp3"),
        mp3(QStringLiteral("ABBA"), QStringLiteral("Waterloo")));
    folder(QStringLiteral("doubles"));
    const auto filed = tree();
    const Result itself
        = run({ QStringLiteral("sort"), QStringLiteral("--json"), QStringLiteral("--doubles"),
            QStringLiteral("move:doubles"), QStringLiteral("music"), QStringLiteral("music") });
    EXPECT_EQ(itself.status, 0) << itself.err.toStdString();
    EXPECT_EQ(tree(), filed);
    EXPECT_EQ(itself.out,
        QStringLiteral("{\"outcome\":\"in-place\",\"file\":\"music/ABBA/Waterloo.mp3\"}\n"
                       "{\"outcome\":\"in-place\",\"file\":\"music/Madonna/Vogue.mp3\"}\n"
                       "{\"outcome\":\"summary\",\"moved\":0,\"double-moved\":0,"
                       "\"double-deleted\":0,\"double-kept\":0,\"small-deleted\":0,"
                       "\"in-place\":2,\"skipped\":0,\"end\":\"completed\",\"companions\":0,"
                       "\"left\":0,\"name-taken\":0}\n"));
    EXPECT_EQ(itself.err, QStringLiteral("sorted: 2 files already in place\n"));

    write(QStringLiteral("in/Vogue.mp3"), mp3(QStringLiteral("Madonna"), QStringLiteral("Live")));
    write(QStringLiteral("in/Holiday.mp3"), mp3(QStringLiteral("Madonna"), QStringLiteral("H")));
    const Result own = run({ QStringLiteral("sort"), QStringLiteral("--doubles"),
        QStringLiteral("move:in"), QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_EQ(own.status, 0) << own.err.toStdString();
    EXPECT_EQ(own.out,
        QStringLiteral("moved\tin/Holiday.mp3\tmusic/Madonna/Holiday.mp3\n"
                       "double-kept\tin/Vogue.mp3\n"));
    EXPECT_EQ(own.err, QStringLiteral("sorted: 1 file moved, 1 double kept\n"));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("in/Vogue.mp3"))));

    // Lyrics that went with their song count among the files moved and as a companion; a
    // file left unfiled counts as left, a double kept by choice does not.
    write(QStringLiteral("in/Frozen.mp3"), mp3(QStringLiteral("Madonna"), QStringLiteral("F")));
    write(QStringLiteral("in/Frozen.lrc"), "[00:01]You only see");
    write(QStringLiteral("in/Unknown.mp3"), mp3(QStringLiteral("Nobody Known"), QString()));
    const Result counted = run({ QStringLiteral("sort"), QStringLiteral("--json"),
        QStringLiteral("--doubles=keep"), QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_TRUE(counted.out.endsWith(QStringLiteral(
        "{\"outcome\":\"summary\",\"moved\":2,\"double-moved\":0,\"double-deleted\":0,"
        "\"double-kept\":1,\"small-deleted\":0,\"in-place\":0,\"skipped\":0,"
        "\"end\":\"completed\",\"companions\":1,\"left\":1,\"name-taken\":0}\n")))
        << counted.out.toStdString();
}

TEST_F(Cli, BadInputExitsWithTwoAndIOErrorsWithOne)
{
    library();
    const Result missing = run({ QStringLiteral("list"), QStringLiteral("/no/such/folder") });
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err,
        QStringLiteral("plumtide-cli: source folder '/no/such/folder' does not exist\n"));
    EXPECT_EQ(run({ QStringLiteral("plan"), QStringLiteral("--percentage"), QStringLiteral("101"),
                      QStringLiteral("in"), QStringLiteral("music") })
                  .status,
        2);
    EXPECT_EQ(run({ QStringLiteral("sort"), QStringLiteral("--frobnicate"), QStringLiteral("in"),
                      QStringLiteral("music") })
                  .status,
        2);
    EXPECT_EQ(run({ QStringLiteral("nonsense") }).status, 2);
    EXPECT_EQ(run({ QStringLiteral("--version") }).status, 0);
    EXPECT_EQ(run({ QStringLiteral("sort"), QStringLiteral("--help") }).status, 0);

    // A new artist whose folder name is too long for the file system is skipped; the rest
    // of the run goes on.
    write(QStringLiteral("in/long.mp3"), mp3(QString(300, QLatin1Char('Z')), QStringLiteral("x")));
    const Result io = run({ QStringLiteral("sort"), QStringLiteral("--doubles"),
        QStringLiteral("keep"), QStringLiteral("--create-artist-folders"), QStringLiteral("in"),
        QStringLiteral("music") });
    EXPECT_EQ(io.status, 0) << io.err.toStdString();
    EXPECT_TRUE(io.out.contains(QStringLiteral("not-created\tmusic/%1\tpath too long\n")
                                    .arg(QString(300, QLatin1Char('Z')))))
        << io.out.toStdString();
    EXPECT_TRUE(io.out.contains(QStringLiteral("created\tmusic/QUEEN\n")));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("music/QUEEN/001-Queen - Bohemian.mp3"))));
}

// Ctrl-C, or a lost terminal (SIGHUP: a dropped ssh session), in the middle of a sort: the
// file being moved is finished, the summary says what was done, every file is whole at its
// source or its target, and every file moved is in the history.
TEST_F(Cli, InterruptedSortLosesNothing)
{
    // Files copied across file systems, so that the sort is still at work when it is told
    // to stop (within one, renames are done in an instant, and atomic anyway).
    if (!farFolder())
        GTEST_SKIP() << "no second file system";
    for (const int signal : { SIGINT, SIGHUP }) {
        const std::unique_ptr<QTemporaryDir> far = farFolder();
        const QString music = QStringLiteral("music%1").arg(signal);
        folder(music + QStringLiteral("/ABBA"));
        std::map<QString, QByteArray> sums;
        for (int i = 0; i < 150; ++i) {
            const QString name = QStringLiteral("%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
            const QByteArray bytes = mp3(QStringLiteral("Abba"), name, 300000 + i);
            QFile file(far->filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            sums[name] = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
        }
        std::unique_ptr<QProcess> process(start({ QStringLiteral("sort"),
            QStringLiteral("--doubles"), QStringLiteral("keep"), far->path(), music }));
        ASSERT_TRUE(process->waitForReadyRead(30000));
        ::kill(static_cast<pid_t>(process->processId()), signal);
        ASSERT_TRUE(process->waitForFinished(30000));
        const QString out = QString::fromUtf8(process->readAllStandardOutput());
        const QString err = QString::fromUtf8(process->readAllStandardError());
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(process->exitCode(), 130) << out.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("sorted: Move aborted"))) << err.toStdString();
        const int moved = int(out.count(QStringLiteral("\n")));
        EXPECT_GT(moved, 0);
        EXPECT_LT(moved, 150) << "finished before the signal arrived";

        const auto sumOf = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly)
                ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5)
                : QByteArray();
        };
        for (const auto& [name, sum] : sums) {
            const bool whole = sumOf(far->filePath(name)) == sum
                || sumOf(path(music + QStringLiteral("/ABBA/")) + name) == sum;
            EXPECT_TRUE(whole) << name.toStdString();
        }
        for (const auto& [file, sum] : tree())
            EXPECT_FALSE(file.endsWith(QStringLiteral(".part"))) << file.toStdString();
        const qsizetype there
            = QDir(path(music + QStringLiteral("/ABBA"))).entryList(QDir::Files).size();
        EXPECT_EQ(there, moved);
        const QStringList recorded = newestRun();
        ASSERT_EQ(recorded.size(), 9);
        EXPECT_EQ(recorded.at(7), QString::number(moved)) << signal;
        EXPECT_EQ(recorded.at(8), QStringLiteral("aborted"));
    }
}

// A missing doubles folder never stops a run: one the user names keeps its doubles where
// they are and is never made; the default one is made by the first double.
TEST_F(Cli, MissingDoublesFolderNeverStopsTheRun)
{
    library();
    folder(QStringLiteral("music/ABBA"));
    write(QStringLiteral("music/Metalica/c.MP3"), mp3(QStringLiteral("Metallica"), QString()));
    const Result named = run({ QStringLiteral("sort"), QStringLiteral("--doubles"),
        QStringLiteral("move:nowhere"), QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_EQ(named.status, 0) << named.err.toStdString();
    EXPECT_TRUE(named.out.contains(QStringLiteral("skipped\tin/c.MP3\tdoubles folder missing\n")))
        << named.out.toStdString();
    EXPECT_TRUE(named.out.contains(QStringLiteral("moved\tin/sub/b.mp3\tmusic/ABBA/b.mp3\n")));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("nowhere"))));

    const Result fallback
        = run({ QStringLiteral("sort"), QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_EQ(fallback.status, 0) << fallback.err.toStdString();
    const QString made = home.filePath(QStringLiteral("Plumtide doubles"));
    EXPECT_EQ(fallback.out,
        QStringLiteral("double-moved\tin/c.MP3\t%1/c.MP3\n"
                       "unfiled\tin/001-Queen - Bohemian.mp3\tno-folder\n"
                       "unfiled\tin/a.mp3\tsame-artist\tmusic/Pop/Madonna\n")
            .arg(made));
    EXPECT_EQ(fallback.err, QStringLiteral("sorted: 1 double set aside in %1\n").arg(made));
}
