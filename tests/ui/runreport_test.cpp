// What the window tells after a run, by screen: Details after a move, the notification of
// automatic runs. The rules are plain functions; the window is checked where it feeds them.

#include "libraryfixture.h"
#include "tests/support/otherprocess.h"
#include "ui/artwork.h"
#include "ui/runreport.h"
#include "ui/viewrules.h"

#include <fcntl.h>

using namespace plumtide;
using plumtide::test::LibraryTest;

namespace
{

std::vector<TLeftOut> leftFiles(
    int count, TReason reason, const QString& name = QStringLiteral("s"))
{
    std::vector<TLeftOut> left;
    for (int i = 0; i < count; ++i)
        left.push_back({ QStringLiteral("/in/%1%2.mp3").arg(name).arg(i), reason });
    return left;
}

} // namespace

// Songs are counted apart from what went with them, and the songs left are counted with
// why; a destination that refuses writing is said once, other reasons file by file.
TEST(Summaries, CountSongsAndSayOnceWhatTheDestinationRefused)
{
    TMoveSummary summary;
    summary.moved = 42;
    summary.companionsMoved = 4;
    std::vector<TLeftOut> left = leftFiles(7, TReason::NoArtistFolder);
    left.push_back({ QStringLiteral("/in/a.lrc"), TReason::NoArtistFolder });
    const QStringList report = MoveReport(summary, left, QStringLiteral("/music"), true);
    ASSERT_EQ(report.size(), 1) << "files without a folder are told by the plan";
    EXPECT_TRUE(report[0].startsWith(QStringLiteral("38 ")));
    EXPECT_TRUE(report[0].contains(QStringLiteral("; 7 ")));
    EXPECT_FALSE(report[0].contains(QStringLiteral("42")));

    TMoveSummary refused;
    refused.moved = 1;
    const std::vector<TLeftOut> denied = leftFiles(49, TReason::PermissionDenied);
    EXPECT_EQ(MoveReport(refused, denied, QStringLiteral("/music"), false).size(), 2);
    EXPECT_EQ(MoveReport(refused, denied, QStringLiteral("/music"), true).size(), 50)
        << "a folder of its own that refused a file is named with the file";

    EXPECT_EQ(MoveReport(TMoveSummary(), {}, {}, true), QStringList { TMoveSummary().text() });
    TMoveSummary failed;
    failed.end = TRunEnd::Failed;
    failed.failure = QStringLiteral("disk gone");
    EXPECT_TRUE(MoveReport(failed, {}, {}, true)[0].contains(QStringLiteral("disk gone")));
}

// An empty plan says why: no source folder, no songs left, or songs without a folder; only
// the first and the last are marked as failures.
TEST(Summaries, EmptyPlanAndMissingFoldersSayWhy)
{
    QTemporaryDir dir;
    const QString there = dir.path();
    const QString gone = there + QStringLiteral("/gone");
    EXPECT_EQ(EmptyPlanRow(gone, 0).imageIndex, TImageList::NothingFound);
    EXPECT_NE(EmptyPlanRow(there, 0).imageIndex, TImageList::NothingFound);
    EXPECT_EQ(EmptyPlanRow(there, 3).caption, QLatin1String(kNoArtistsFound));
    for (const QString& row : { EmptyPlanRow(gone, 0).caption, EmptyPlanRow(there, 0).caption })
        EXPECT_NE(row, QLatin1String(kNoArtistsFound));

    EXPECT_TRUE(MissingFolderLines(there, there).isEmpty());
    EXPECT_EQ(MissingFolderLines(gone, there).size(), 1);
    EXPECT_TRUE(MissingFolderLines(gone, there)[0].contains(gone));
    EXPECT_EQ(MissingFolderLines(QString(), gone).size(), 2);
}

// A source folder that does not exist is said, not shown as an empty list of songs.
TEST_F(LibraryTest, MissingSourceFolderIsSaid)
{
    folder(QStringLiteral("library/ABBA"));
    TfrmMain& w = window();
    const QString gone = source + QStringLiteral("/gone");
    w.edtSource->setText(gone);
    w.Refresh();
    ASSERT_EQ(w.DetailsLines().size(), 1);
    EXPECT_TRUE(w.DetailsLines()[0].contains(gone));
    w.btnViewSourceClick();
    EXPECT_EQ(w.DetailsLines().size(), 1);
    EXPECT_TRUE(w.DetailsLines()[0].contains(gone));
}

// The notification names a few files with their reasons and counts the rest; with nothing
// done and nothing new it says nothing.
TEST(Tray, NamesAFewFilesLeftAndIsSilentWithoutNews)
{
    TMoveSummary quiet;
    quiet.skipped = { { TReason::InUse, 10 } };
    EXPECT_TRUE(TrayNotice(quiet, {}).isEmpty()) << "the same files left at every run";

    const QString notice = TrayNotice(quiet, leftFiles(10, TReason::InUse, QStringLiteral("x")));
    EXPECT_TRUE(notice.contains(QStringLiteral("x2.mp3")));
    EXPECT_FALSE(notice.contains(QStringLiteral("x3.mp3")));
    EXPECT_FALSE(notice.contains(QStringLiteral("/in/")));
    EXPECT_TRUE(notice.contains(ReasonText(TReason::InUse)));
    EXPECT_TRUE(notice.contains(QStringLiteral(" 7 ")));

    TMoveSummary moved;
    moved.moved = 2;
    moved.companionsMoved = 1;
    EXPECT_TRUE(TrayNotice(moved, {}).startsWith(QStringLiteral("1 ")));
}

// Automatic runs tell a file left once, not at every run that finds it still left.
TEST_F(LibraryTest, AutomaticRunsTellAFileLeftOnce)
{
    folder(QStringLiteral("library/ABBA"));
    song(QStringLiteral("one.mp3"), QStringLiteral("Abba"));
    const QString held = song(QStringLiteral("held.mp3"), QStringLiteral("Abba"));
    test::OtherProcess player(
        [&] { return ::open(QFile::encodeName(held).constData(), O_RDONLY) >= 0; });
    ASSERT_TRUE(player.ready());
    TfrmMain& w = window();
    w.Refresh();
    w.workingCopy().autoSortOn = true;
    w.workingCopy().autoSortInterval = QTime(0, 0, 1);
    w.workingCopy().watchSettle = 0;
    w.AutoTimer->start();
    const auto run = [&] {
        w.setLastAutoRun(QDateTime::currentDateTime().addSecs(-60));
        w.AutoTimerTimer();
        return w.lastTrayNotice();
    };

    EXPECT_TRUE(run().contains(QStringLiteral("held.mp3")));
    song(QStringLiteral("two.mp3"), QStringLiteral("Abba"));
    const QString second = run();
    EXPECT_FALSE(second.isEmpty()) << "it moved a song";
    EXPECT_FALSE(second.contains(QStringLiteral("held.mp3")));
    EXPECT_FALSE(second.contains(ReasonText(TReason::InUse))) << "nor counted again";
}
