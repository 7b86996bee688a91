// WatchSource: with automatic sorting on, a file that settles in the source folder is filed
// within seconds, long before the interval is over.

#include "libraryfixture.h"

using namespace plumtide;
using namespace plumtide::test;

class WatchSourceTest : public LibraryTest
{
};

TEST_F(WatchSourceTest, ASettledFileStartsTheAutomaticRunEarly)
{
    folder(QStringLiteral("library/Metallica"));
    store.WriteValue(QStringLiteral("chkAutoTime"), QStringLiteral("1"));
    store.WriteValue(QStringLiteral("AutoTime"), QStringLiteral("01:00:00"));
    store.WriteValue(QStringLiteral("MoveFile"), QStringLiteral("0"));
    store.WriteValue(QStringLiteral("WatchSource"), QStringLiteral("1"));
    store.WriteValue(QStringLiteral("WatchSettle"), QStringLiteral("1"));
    TfrmMain& w = window();
    w.startupTimerTimer();
    ASSERT_TRUE(w.AutoTimer->isActive());

    const QString target = destination + QStringLiteral("/Metallica/one.mp3");
    song(QStringLiteral("one.mp3"), QStringLiteral("Metallica"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(target); }, 20000));
    EXPECT_FALSE(QFile::exists(source + QStringLiteral("/one.mp3")));
    EXPECT_EQ(w.lastMoveSummary().moved, 1);

    // Automatic sorting switched off: the watch ends with it.
    w.AutoTimer->stop();
    w.syncSourceWatch();
    song(QStringLiteral("two.mp3"), QStringLiteral("Metallica"));
    QTest::qWait(2500);
    EXPECT_TRUE(QFile::exists(source + QStringLiteral("/two.mp3")));
}
