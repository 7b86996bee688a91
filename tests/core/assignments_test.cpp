#include "core/matching/assignments.h"

#include "platform/errors.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

TEST(Assignments, ParseKeepsWhatItDoesNotKnowAndLaterLinesWin)
{
    const QByteArray file = "# my aliases\r\n"
                            "2pac\tTupac Shakur\n"
                            "no tab here\n"
                            "The Beatles\tRock/Beatles, The/\n"
                            "2pac\tHip-Hop/2Pac\n"
                            "bad\t../outside\n";
    TAssignments assignments = TAssignments::Parse(file);
    EXPECT_EQ(assignments.folderFor("2pac"), "Hip-Hop/2Pac");
    EXPECT_EQ(assignments.folderFor("beatles"), "Rock/Beatles, The");
    EXPECT_EQ(assignments.folderFor("bad"), std::nullopt);
    EXPECT_EQ(assignments.entries().size(), 2u);

    EXPECT_FALSE(assignments.assign(u"Various", "/abs"));
    EXPECT_FALSE(assignments.assign(u"Various", "a\nb"));
    EXPECT_FALSE(assignments.assign(u"!!", "Folder"));
    EXPECT_TRUE(assignments.assign(u"Кино", "Кино\tи друзья"));
    EXPECT_TRUE(assignments.remove(u"The 2Pac"));
    EXPECT_FALSE(assignments.remove(u"2Pac"));
    EXPECT_EQ(assignments.serialise(),
        QByteArray("# my aliases\n"
                   "no tab here\n"
                   "beatles\tRock/Beatles, The\n"
                   "bad\t../outside\n")
            + QString::fromUtf8("кино\tКино\tи друзья\n").toUtf8());
}

TEST(Assignments, SavedAtomicallyAndLoadedBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("config/Plumtide/assignments.tsv");
    EXPECT_TRUE(LoadAssignments(path).isEmpty());

    TAssignments assignments;
    ASSERT_TRUE(assignments.assign(u"Björk", "Björk"));
    SaveAssignments(path, assignments);
    EXPECT_EQ(LoadAssignments(path).folderFor("bjork"), "Björk");
    EXPECT_EQ(QDir(dir.filePath("config/Plumtide")).entryList(QDir::Files),
        QStringList({ "assignments.tsv" }));

    // Something that is not a file where the assignments belong is an error, not "none".
    ASSERT_TRUE(QDir().mkpath(dir.filePath("folder.tsv")));
    EXPECT_THROW(LoadAssignments(dir.filePath("folder.tsv")), IOError);
}

} // namespace
