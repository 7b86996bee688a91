// plumtide-cli history and undo, end to end.

#include "tests/cli/clifixture.h"

#include <QRegularExpression>

using namespace plumtide::test;

TEST_F(Cli, HistoryListsTheSortAndUndoPutsEveryFileBack)
{
    library();
    const auto before = tree();
    const Result sorted = run({ QStringLiteral("sort"),
        QStringLiteral("--doubles=move:") + path(QStringLiteral("doubles")),
        path(QStringLiteral("in")), path(QStringLiteral("music")) });
    ASSERT_EQ(sorted.status, 0) << sorted.err.toStdString();
    ASSERT_NE(tree(), before);

    const QStringList run1 = run({ QStringLiteral("history") }).out.trimmed().split('\t');
    ASSERT_EQ(run1.size(), 9) << run1.join('|').toStdString();
    const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d"));
    EXPECT_EQ(run1.mid(0, 2), (QStringList { QStringLiteral("run"), QStringLiteral("1") }));
    EXPECT_TRUE(iso.match(run1[2]).hasMatch() && iso.match(run1[3]).hasMatch())
        << run1[2].toStdString();
    EXPECT_EQ(run1.mid(4),
        (QStringList { QStringLiteral("cli"), path(QStringLiteral("in")),
            path(QStringLiteral("music")), QStringLiteral("1"), QStringLiteral("done") }));
    // The files left unfiled were not part of what the run did.
    QString done = sorted.out;
    done.remove(
        QRegularExpression(QStringLiteral("^unfiled\t.*\n"), QRegularExpression::MultilineOption));
    EXPECT_EQ(run({ QStringLiteral("history"), QStringLiteral("1") }).out, done);

    const Result dry = run({ QStringLiteral("undo"), QStringLiteral("--dry-run") });
    EXPECT_EQ(dry.out.count(QStringLiteral("restored\t")), 1) << dry.out.toStdString();
    EXPECT_NE(tree(), before);

    const Result undone = run({ QStringLiteral("undo") });
    EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
    EXPECT_EQ(undone.out, dry.out);
    EXPECT_EQ(tree(), before);
    const QStringList runs = run({ QStringLiteral("history"), QStringLiteral("--json") })
                                 .out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_TRUE(runs[0].startsWith(QStringLiteral("{\"type\":\"run\",\"id\":2,")))
        << runs[0].toStdString();
    EXPECT_TRUE(runs[0].contains(QStringLiteral("\"origin\":\"undo\"")));
    EXPECT_TRUE(runs[1].contains(QStringLiteral("\"state\":\"undone\"")));

    const Result again = run({ QStringLiteral("undo") });
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("nothing to undo")));
}

// The folders --create-artist-folders makes are a run of their own (origin create): an undo
// takes the sort back first, then the folders while they are empty.
TEST_F(Cli, FoldersMadeForNewArtistsAreARunOfTheirOwnThatUndoRemovesWhileEmpty)
{
    library();
    ASSERT_EQ(run({ QStringLiteral("sort"), QStringLiteral("--doubles=keep"),
                      QStringLiteral("--create-artist-folders"), path(QStringLiteral("in")),
                      path(QStringLiteral("music")) })
                  .status,
        0);
    const QStringList runs
        = run({ QStringLiteral("history") }).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].section(QLatin1Char('\t'), 4, 4), QStringLiteral("cli"));
    EXPECT_EQ(runs[1].section(QLatin1Char('\t'), 4, 4), QStringLiteral("create"));

    EXPECT_EQ(run({ QStringLiteral("undo") }).out.count(QStringLiteral("restored\t")), 3);
    folder(QStringLiteral("music/QUEEN/added since"));
    const Result folders = run({ QStringLiteral("undo") });
    EXPECT_EQ(folders.status, 0);
    EXPECT_EQ(folders.out,
        QStringLiteral("removed\t%1\nnot-restored\t%2\tfolder not empty\n")
            .arg(path(QStringLiteral("music/ABBA")), path(QStringLiteral("music/QUEEN"))));
    EXPECT_EQ(folders.err,
        QStringLiteral("undone: Undo of run 1: 1 empty folder removed, 1 not restored (1 folder "
                       "not empty)\n"));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("music/QUEEN/added since"))).isDir());
}

TEST_F(Cli, SortSetsADamagedHistoryAsideAndSaysSoOnce)
{
    library();
    QDir().mkpath(home.filePath(QStringLiteral("state/Plumtide")));
    QFile garbage(home.filePath(QStringLiteral("state/Plumtide/history.sqlite")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    const Result sorted = run({ QStringLiteral("sort"), QStringLiteral("--doubles=keep"),
        path(QStringLiteral("in")), path(QStringLiteral("music")) });
    EXPECT_EQ(sorted.status, 0);
    EXPECT_EQ(sorted.out.count(QStringLiteral("moved\t")), 1);
    EXPECT_EQ(sorted.err.count(QStringLiteral("The history was damaged")), 1)
        << sorted.err.toStdString();
    const Result history = run({ QStringLiteral("history") });
    EXPECT_EQ(history.status, 0);
    EXPECT_EQ(history.out.count(QStringLiteral("\tcli\t")), 1) << history.out.toStdString();
    EXPECT_EQ(
        run({ QStringLiteral("sort"), path(QStringLiteral("in")), path(QStringLiteral("music")) })
            .err.count(QStringLiteral("damaged")),
        0);
}

// A history that cannot be used stops a sort before it changes anything, with the reason
// and status 1; a sort told to keep none (--no-history, KeepHistory=0) files all the same.
TEST_F(Cli, AnUnusableHistoryStopsTheSortUnlessNoneIsKept)
{
    library();
    QFile blocker(home.filePath(QStringLiteral("state")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto before = tree();
    const QStringList sort { QStringLiteral("sort"), QStringLiteral("--doubles=keep"),
        path(QStringLiteral("in")), path(QStringLiteral("music")) };
    const Result stopped = run(sort);
    EXPECT_EQ(stopped.status, 1);
    EXPECT_TRUE(stopped.out.isEmpty()) << stopped.out.toStdString();
    EXPECT_TRUE(stopped.err.startsWith(QStringLiteral("plumtide-cli: ")))
        << stopped.err.toStdString();
    EXPECT_EQ(tree(), before);

    const Result unkept = run(QStringList(sort) << QStringLiteral("--no-history"));
    EXPECT_EQ(unkept.status, 0) << unkept.err.toStdString();
    EXPECT_EQ(unkept.out.count(QStringLiteral("moved\t")), 1);
}

// Folders given relative to where the sort ran: the history keeps them from the root, so an
// undo run anywhere puts every file back where it was (and not below the undo's folder).
TEST_F(Cli, UndoFromAnotherFolderPutsEveryFileBackWhereItWas)
{
    library();
    folder(QStringLiteral("elsewhere"));
    const auto before = tree();
    workingFolder = path(QStringLiteral("in"));
    const Result sorted = run({ QStringLiteral("sort"), QStringLiteral("--doubles=keep"),
        QStringLiteral("."), QStringLiteral("../music") });
    ASSERT_EQ(sorted.status, 0) << sorted.err.toStdString();
    EXPECT_TRUE(sorted.out.startsWith(QStringLiteral("moved\t./"))) << "paths as given";
    ASSERT_NE(tree(), before);

    workingFolder = path(QStringLiteral("elsewhere"));
    const QStringList run1 = run({ QStringLiteral("history") }).out.trimmed().split('\t');
    ASSERT_EQ(run1.size(), 9);
    EXPECT_EQ(run1.mid(5, 2),
        (QStringList { path(QStringLiteral("in")), path(QStringLiteral("music")) }));
    const Result undone = run({ QStringLiteral("undo") });
    EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
    EXPECT_FALSE(undone.out.contains(QStringLiteral("not-restored"))) << undone.out.toStdString();
    EXPECT_EQ(tree(), before);
}

// An undo that left files which may still come back ends with status 3, and its dry run
// says so too; a file deleted for good never comes back, which alone is no failure.
TEST_F(Cli, UndoExitsWithThreeWhenFilesThatMayComeBackStayed)
{
    enum class After { Nothing, FolderRenamed, OldPathTaken };
    const struct {
        const char* rule;
        After after;
        bool smallDeleted; // besides, a small file deleted for good
        int status;
    } cases[] = {
        { "every file comes back", After::Nothing, false, 0 },
        { "their folder renamed away", After::FolderRenamed, false, 3 },
        { "an old path taken", After::OldPathTaken, false, 3 },
        { "only one deleted for good stays", After::Nothing, true, 0 },
        { "one deleted for good, one taken", After::OldPathTaken, true, 3 },
    };
    int round = 0;
    for (const auto& c : cases) {
        const QString in = QStringLiteral("in%1").arg(++round);
        const QString music = QStringLiteral("music%1").arg(round);
        for (const char* name : { "a.mp3", "b.mp3" })
            write(in + QLatin1Char('/') + QLatin1String(name),
                mp3(QStringLiteral("Metallica"), QString::fromLatin1(name), 20000));
        if (c.smallDeleted)
            write(in + QStringLiteral("/small.mp3"),
                mp3(QStringLiteral("Metallica"), QStringLiteral("s"), 100));
        folder(music + QStringLiteral("/Metallica"));
        const Result sorted = run({ QStringLiteral("sort"), QStringLiteral("--delete-small=10"),
            QStringLiteral("--no-trash"), QStringLiteral("--settle=0"), in, music });
        ASSERT_EQ(sorted.status, 0) << c.rule << ": " << sorted.err.toStdString();
        if (c.after == After::FolderRenamed) {
            ASSERT_TRUE(QDir().rename(path(music + QStringLiteral("/Metallica")),
                path(music + QStringLiteral("/Metallica (old)"))));
        }
        if (c.after == After::OldPathTaken)
            write(in + QStringLiteral("/a.mp3"), "another song");

        const Result dry = run({ QStringLiteral("undo"), QStringLiteral("--dry-run") });
        EXPECT_EQ(dry.status, c.status) << c.rule << " (dry run): " << dry.err.toStdString();
        const Result undone = run({ QStringLiteral("undo") });
        EXPECT_EQ(undone.status, c.status) << c.rule << ": " << undone.err.toStdString();
        EXPECT_EQ(undone.out, dry.out) << c.rule;
    }
}
