// Careful matching and remembered assignments, end to end: what a user with a real library
// sees from plumtide-cli.

#include "tests/cli/clifixture.h"

#include <vector>

using namespace plumtide::test;

TEST_F(Cli, CarefulMatchingFilesTheSameArtistOrNothing)
{
    // A library as people keep one, and downloads tagged as real files are.
    for (const char* name : { "music/Beatles, The", "music/AC_DC", "music/Rock/Queen",
             "music/Björk", "music/Rock/Queen/A Night at the Opera", "music/Radiohead" })
        folder(QString::fromUtf8(name));
    const struct {
        const char* file;
        const char* artist;
    } songs[] = {
        { "in/help.mp3", "The Beatles" },
        { "in/tnt.mp3", "AC/DC" },
        { "in/bohemian.mp3", "Queen" },
        { "in/hunter.mp3", "Bjork feat. Someone" },
        { "in/hits.mp3", "Various Artists" },
        { "in/new.mp3", "Nobody Knows These" },
    };
    for (const auto& song : songs)
        write(
            QString::fromUtf8(song.file), mp3(QString::fromUtf8(song.artist), QStringLiteral("t")));
    const QString in = path(QStringLiteral("in"));
    const QString music = path(QStringLiteral("music"));

    const Result careful = run({ QStringLiteral("plan"), QStringLiteral("--match"),
        QStringLiteral("careful"), in, music });
    ASSERT_EQ(careful.status, 0) << careful.err.toStdString();
    QStringList rows;
    for (const QString& line : careful.out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split('\t');
        if (fields[0] == QStringLiteral("plan")) {
            ASSERT_EQ(fields.size(), 5) << line.toStdString();
            rows.append(QFileInfo(fields[1]).fileName() + QStringLiteral(" -> ")
                + fields[3].mid(music.size() + 1) + QLatin1Char(' ') + fields[4]);
        } else {
            rows.append(line);
        }
    }
    EXPECT_EQ(rows,
        (QStringList { QStringLiteral("bohemian.mp3 -> Rock/Queen same"),
            QStringLiteral("help.mp3 -> Beatles, The same"),
            QStringLiteral("hunter.mp3 -> Björk same"), QStringLiteral("tnt.mp3 -> AC_DC same"),
            QStringLiteral("unfiled\t%1/hits.mp3\tno-folder").arg(in),
            QStringLiteral("unfiled\t%1/new.mp3\tno-folder").arg(in),
            QStringLiteral("new\tNobody Knows These") }));

    // Similar names, the default, plan as they always did: no fifth field.
    const Result similar = run({ QStringLiteral("plan"), in, music });
    for (const QString& line : similar.out.split('\n', Qt::SkipEmptyParts))
        EXPECT_LE(line.split('\t').size(), 4) << line.toStdString();

    // Sorting carefully: the four are filed, the two stay, nothing goes anywhere else.
    const Result sorted = run({ QStringLiteral("sort"), QStringLiteral("--match=careful"),
        QStringLiteral("--doubles=keep"), QStringLiteral("--json"), in, music });
    ASSERT_EQ(sorted.status, 0) << sorted.err.toStdString();
    EXPECT_EQ(sorted.out.count(QStringLiteral("\"match\":\"same\"")), 4)
        << sorted.out.toStdString();
    const auto files = tree();
    for (const char* filed :
        { "music/Beatles, The/help.mp3", "music/AC_DC/tnt.mp3", "music/Rock/Queen/bohemian.mp3",
            "music/Björk/hunter.mp3", "in/hits.mp3", "in/new.mp3" })
        EXPECT_EQ(files.count(QString::fromUtf8(filed)), 1u) << filed;
    EXPECT_EQ(files.size(), 6u);
}

// An alias the rule cannot know is assigned once, by hand; from then on its files go there
// in both ways of matching. An assignment whose folder is gone is ignored, and said so.
TEST_F(Cli, AssignmentsFileAnAliasInBothWaysOfMatching)
{
    folder(QStringLiteral("music/Tupac"));
    folder(QStringLiteral("music/Gone"));
    write(QStringLiteral("in/a.mp3"), mp3(QStringLiteral("2Pac"), QStringLiteral("t")));
    write(QStringLiteral("in/b.mp3"), mp3(QStringLiteral("Kino"), QStringLiteral("t")));
    const QString in = path(QStringLiteral("in"));
    const QString music = path(QStringLiteral("music"));
    // A folder given by its path is kept relative to the destination of the settings.
    write(QStringLiteral("config/Plumtide/settings.ini"),
        "[Software\\Plumtide]\nDestination=" + music.toUtf8() + "\n");

    EXPECT_EQ(
        run({ QStringLiteral("assign"), QStringLiteral("2Pac"), QStringLiteral("Tupac") }).status,
        0);
    EXPECT_EQ(
        run({ QStringLiteral("assign"), QStringLiteral("Kino"), music + QStringLiteral("/Gone") })
            .status,
        0);
    EXPECT_EQ(run({ QStringLiteral("assign"), QStringLiteral("--list") }).out,
        QStringLiteral("2pac\tTupac\nkino\tGone\n"));
    QDir(path(QStringLiteral("music/Gone"))).removeRecursively();

    for (const char* matching : { "similar", "careful" }) {
        const Result planned = run({ QStringLiteral("plan"), QStringLiteral("--match"),
            QString::fromLatin1(matching), in, music });
        EXPECT_TRUE(
            planned.out.startsWith(QStringLiteral("plan\t%1\t").arg(in + QStringLiteral("/a.mp3"))))
            << matching << planned.out.toStdString();
        EXPECT_TRUE(planned.out.contains(
            QStringLiteral("\t%1\tassigned\n").arg(music + QStringLiteral("/Tupac"))))
            << matching;
        EXPECT_EQ(planned.err.count(QStringLiteral("assignment of 'kino' to 'Gone' is ignored")), 1)
            << planned.err.toStdString();
    }
    EXPECT_EQ(run({ QStringLiteral("assign"), QStringLiteral("--remove"), QStringLiteral("2PAC") })
                  .status,
        0);
    EXPECT_EQ(run({ QStringLiteral("assign"), QStringLiteral("--remove"), QStringLiteral("2pac") })
                  .status,
        1);
    EXPECT_EQ(run({ QStringLiteral("assign"), QStringLiteral("--list") }).out,
        QStringLiteral("kino\tGone\n"));
}

// Assignments made at the same moment (scripts, two windows) are all kept: none overwrites
// another's with the file as it read it.
TEST_F(Cli, AssignmentsMadeAtOnceAreAllKept)
{
    constexpr int kAssigners = 16;
    std::vector<std::unique_ptr<QProcess>> assigners;
    for (int i = 0; i < kAssigners; ++i)
        assigners.emplace_back(start({ QStringLiteral("assign"), QStringLiteral("Artist %1").arg(i),
            QStringLiteral("Folder %1").arg(i) }));
    for (const auto& assigner : assigners) {
        ASSERT_TRUE(assigner->waitForFinished(60000));
        EXPECT_EQ(assigner->exitCode(), 0) << assigner->readAllStandardError().toStdString();
    }
    const QStringList listed = run({ QStringLiteral("assign"), QStringLiteral("--list") })
                                   .out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(listed.size(), kAssigners) << listed.join(QLatin1Char('\n')).toStdString();
    for (int i = 0; i < kAssigners; ++i)
        EXPECT_TRUE(listed.contains(QStringLiteral("artist %1\tFolder %1").arg(i))) << i;
}

// Every listed file that gets no row has one unfiled record saying why, with the folders in
// question where there are several; plan and sort print the same.
TEST_F(Cli, EachFileLeftUnfiledSaysWhy)
{
    for (const char* name : { "music/Pop/Queen", "music/Rock/Queen", "music/Metallica",
             "music/Metalika", "music/Linkin Park" })
        folder(QString::fromUtf8(name));
    const struct {
        const char* artist;
        const char* match;
        const char* record; // after the file's path; empty: it is filed
        const char* option = nullptr;
    } cases[] = {
        { "Queen", "careful", "ambiguous\tmusic/Pop/Queen\tmusic/Rock/Queen" },
        { "Metalica", "careful", "one-off\tmusic/Metalika\tmusic/Metallica" },
        { "Nobody Knows These", "careful", "no-folder" },
        { "Various Artists", "careful", "no-folder" }, // a placeholder
        { "Metallica", "similar", "" },
        { "Nobody Knows These", "similar", "no-folder" },
        { "ABC", "similar", "no-folder" }, // a key too short to be planned
        // One letter off one folder: a suggestion, filed only when accepted.
        { "Linkin Prak", "careful", "one-off\tmusic/Linkin Park" },
        { "Linkin Prak", "careful", "", "--accept-one-off" },
        { "Metalica", "careful", "one-off\tmusic/Metalika\tmusic/Metallica", "--accept-one-off" },
    };
    int round = 0;
    for (const auto& c : cases) {
        const QString in = QStringLiteral("in%1").arg(++round);
        write(in + QStringLiteral("/song.mp3"),
            mp3(QString::fromUtf8(c.artist), QStringLiteral("Song")));
        const QString match = QStringLiteral("--match=") + QLatin1String(c.match);
        const QString expected = *c.record
            ? QStringLiteral("unfiled\t%1/song.mp3\t%2\n").arg(in, QString::fromUtf8(c.record))
            : QString();
        const QString option
            = c.option ? QString::fromUtf8(c.option) : QStringLiteral("--keep-small");
        const Result plan
            = run({ QStringLiteral("plan"), match, option, in, QStringLiteral("music") });
        const Result sort = run({ QStringLiteral("sort"), QStringLiteral("--dry-run"), match,
            option, QStringLiteral("--settle=0"), in, QStringLiteral("music") });
        for (const Result* result : { &plan, &sort }) {
            EXPECT_EQ(result->status, 0) << c.artist << ": " << result->err.toStdString();
            QString records;
            for (const QString& line : result->out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                if (line.startsWith(QStringLiteral("unfiled\t")))
                    records += line + QLatin1Char('\n');
            }
            EXPECT_EQ(records.toStdString(), expected.toStdString())
                << c.artist << " (" << c.match << ")";
        }
    }
    const Result json
        = run({ QStringLiteral("sort"), QStringLiteral("--json"), QStringLiteral("--fail-if-left"),
            QStringLiteral("--match=careful"), QStringLiteral("in1"), QStringLiteral("music") });
    EXPECT_EQ(json.status, 3) << json.err.toStdString();
    EXPECT_TRUE(json.out.startsWith(QStringLiteral(
        "{\"outcome\":\"unfiled\",\"file\":\"in1/song.mp3\",\"reason\":\"ambiguous\","
        "\"folders\":[\"music/Pop/Queen\",\"music/Rock/Queen\"]}\n")))
        << json.out.toStdString();
}
