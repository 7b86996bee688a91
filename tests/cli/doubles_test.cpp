// What makes a double, end to end with real songs: the same song under a name its folder
// holds, whatever the tags; a different song of that name is filed under a numbered name.

#include "tests/cli/clifixture.h"
#include "tests/support/qtprint.h"

#include <QTemporaryDir>

#include <cstdlib>

using namespace plumtide::test;

namespace
{

// The folder of the songs of scripts/make_song_variants.py, made once for every test; empty
// when they could not be made.
QString Songs()
{
    static QTemporaryDir folder;
    static const bool made
        = std::system(("/usr/bin/python3 '" PLUMTIDE_SOURCE_DIR "/scripts/make_song_variants.py' '"
              + QFile::encodeName(folder.path()) + "'")
                          .constData())
        == 0;
    return made ? folder.path() : QString();
}

} // namespace

class Doubles : public Cli
{
protected:
    void copy(const char* song, const QString& relative) const
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        ASSERT_TRUE(QFile::copy(Songs() + QLatin1Char('/') + QLatin1String(song), path(relative)));
    }

    // The folder holds song A; each download folder brings a file of its name.
    void library()
    {
        copy("a_v24.mp3", QStringLiteral("music/Madonna/Intro.mp3"));
        copy("a.flac", QStringLiteral("music/Madonna/Intro.flac"));
        copy("a_v23_v1.mp3", QStringLiteral("in/1/Intro.mp3")); // the same song, other tags
        copy("a_ape.mp3", QStringLiteral("in/2/Intro.mp3")); // the same song, APE and ID3v1
        copy("b_v24.mp3", QStringLiteral("in/3/Intro.mp3")); // another song, the same tags
        copy("a_other.flac", QStringLiteral("in/4/Intro.flac")); // other comments
        copy("b.flac", QStringLiteral("in/5/Intro.flac")); // another song
        // Song B again: a double of the file the run has just filed as "Intro (2).mp3".
        copy("b_v24.mp3", QStringLiteral("in/6/Intro.mp3"));
        folder(QStringLiteral("doubles"));
    }
};

TEST_F(Doubles, SameSongWhateverItsTagsADifferentSongIsFiledAndUndoBringsAllBack)
{
    ASSERT_FALSE(Songs().isEmpty()) << "scripts/make_song_variants.py failed";
    const QString music = path(QStringLiteral("music/Madonna/"));
    const QString taken = QStringLiteral("name taken, filed as ");
    const QStringList filed {
        QStringLiteral("moved\t%1\t%2Intro (2).mp3\t%3Intro (2).mp3")
            .arg(path(QStringLiteral("in/3/Intro.mp3")), music, taken),
        QStringLiteral("moved\t%1\t%2Intro (2).flac\t%3Intro (2).flac")
            .arg(path(QStringLiteral("in/5/Intro.flac")), music, taken),
    };
    const struct {
        const char* doubles;
        const char* outcome; // of the four doubles
    } cases[] = { { "delete", "double-deleted" }, { "keep", "double-kept" },
        { "move:DIR", "double-moved" } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.doubles);
        ASSERT_TRUE(QDir(path(QString())).removeRecursively());
        library();
        const auto before = tree();
        const Result sorted = run({ QStringLiteral("sort"), QStringLiteral("--settle"),
            QStringLiteral("0"), QStringLiteral("--formats"), QStringLiteral("mp3,flac"),
            QStringLiteral("--doubles"),
            QString::fromLatin1(c.doubles).replace(
                QStringLiteral("DIR"), path(QStringLiteral("doubles"))),
            path(QStringLiteral("in")), path(QStringLiteral("music")) });
        ASSERT_EQ(sorted.status, 0) << sorted.err.toStdString();
        QStringList lines = sorted.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList doubles;
        for (const QString& line : lines) {
            if (!line.startsWith(QStringLiteral("moved\t")))
                doubles.append(line.section(QLatin1Char('\t'), 0, 1));
        }
        EXPECT_EQ(doubles,
            (QStringList { QLatin1String(c.outcome) + QLatin1Char('\t')
                    + path(QStringLiteral("in/1/Intro.mp3")),
                QLatin1String(c.outcome) + QLatin1Char('\t')
                    + path(QStringLiteral("in/2/Intro.mp3")),
                QLatin1String(c.outcome) + QLatin1Char('\t')
                    + path(QStringLiteral("in/4/Intro.flac")),
                QLatin1String(c.outcome) + QLatin1Char('\t')
                    + path(QStringLiteral("in/6/Intro.mp3")) }));
        for (const QString& line : filed)
            EXPECT_TRUE(lines.contains(line)) << line.toStdString() << "\n"
                                              << sorted.out.toStdString();
        EXPECT_TRUE(sorted.err.contains(QStringLiteral("(2 names taken, filed as \"name (n)\")")))
            << sorted.err.toStdString();

        const Result undone = run({ QStringLiteral("undo") });
        EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
        auto after = tree();
        if (QLatin1String(c.doubles) == QLatin1String("delete")) {
            // Deleted for good: only they stay away.
            for (const char* gone :
                { "in/1/Intro.mp3", "in/2/Intro.mp3", "in/4/Intro.flac", "in/6/Intro.mp3" })
                after[QString::fromLatin1(gone)] = before.at(QString::fromLatin1(gone));
        }
        EXPECT_EQ(after, before);
    }
}
