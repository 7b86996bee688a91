// Automatic runs in the real window: they sort without taking the window from the user.

#include "libraryfixture.h"

#include <QFrame>
#include <QLabel>

using namespace plumtide;
using plumtide::test::LibraryTest;

TEST_F(LibraryTest, AutomaticRunLeavesTheWindowAsTheUserHasIt)
{
    folder(QStringLiteral("library/Metallica"));
    const QString one = song(QStringLiteral("One.mp3"), QStringLiteral("Metallica"));
    const QString smells = song(QStringLiteral("Smells.mp3"), QStringLiteral("Nirvana"));
    TfrmMain& w = window();
    w.Refresh();
    w.workingCopy().autoSortOn = true;
    w.workingCopy().autoSortInterval = QTime(0, 0, 1);
    w.workingCopy().watchSettle = 0; // the songs were written a moment ago
    w.AutoTimer->start();
    bool fieldsUsable = true;
    QObject::connect(&w.sourceItems(), &QAbstractItemModel::rowsInserted, &w, [&] {
        fieldsUsable = fieldsUsable && w.edtSource->isEnabled() && w.edtDestination->isEnabled();
    });

    w.setLastAutoRun(QDateTime::currentDateTime().addSecs(-60));
    w.AutoTimerTimer();
    EXPECT_FALSE(QFile::exists(one));
    EXPECT_TRUE(fieldsUsable) << "typing goes on while the run lists and moves";
    EXPECT_TRUE(w.ListSource->isVisible());
    EXPECT_FALSE(w.Status->isVisible());
    EXPECT_EQ(w.lblActive->text(), QStringLiteral("Source files"));
    EXPECT_FALSE(w.pnlNieuwe->isVisible()) << "Nirvana's folder is the user's to make";
    EXPECT_EQ(column(w.sourceItems(), 0), QStringList { smells });
    EXPECT_EQ(w.DetailsLines(),
        QStringList { QStringLiteral("Automatic sort: 1 song moved; 1 song left in the source (1 "
                                     "no folder for its artist)") });
    EXPECT_FALSE(w.btnVerplaats->isEnabled());
    expectIdle(w);

    // A folder typed and not yet left holds the next run back; leaving the field starts it.
    const QString other = folder(QStringLiteral("other"));
    const QString later = other + QStringLiteral("/later.mp3");
    ASSERT_TRUE(
        QFile::rename(song(QStringLiteral("later.mp3"), QStringLiteral("Metallica")), later));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.edtSource->setFocus();
    w.edtSource->clear();
    QTest::keyClicks(w.edtSource, other);
    w.setLastAutoRun(QDateTime::currentDateTime().addSecs(-60));
    w.AutoTimerTimer();
    EXPECT_EQ(w.edtSource->text(), other) << "every keystroke arrived";
    EXPECT_TRUE(QFile::exists(later)) << "held while the folder is typed";
    w.ListSource->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(later); }, 5000))
        << "run as soon as the field was left";
    EXPECT_TRUE(QFile::exists(destination + QStringLiteral("/Metallica/later.mp3")));
}
