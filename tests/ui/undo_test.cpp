// "Undo last sort" in the real window, and the automatic run after it.

#include "libraryfixture.h"

#include <QAction>
#include <QMenu>
#include <QScopeGuard>

using namespace plumtide;
using plumtide::test::LibraryTest;

TEST_F(LibraryTest, UndoLastSortPutsFilesBackAndTheNextAutomaticRunLeavesThem)
{
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_STATE_HOME", state); });
    qputenv("XDG_STATE_HOME", folder(QStringLiteral("state")).toUtf8());
    folder(QStringLiteral("library/Metallica"));
    folder(QStringLiteral("library/Madonna"));
    const QString one = song(QStringLiteral("One.mp3"), QStringLiteral("Metallica"));
    const QString vogue = song(QStringLiteral("pop/Vogue.mp3"), QStringLiteral("Madonna"));
    TfrmMain& w = window();
    w.Refresh();
    click(w.btnSorteren);
    click(w.btnVerplaats);
    ASSERT_FALSE(QFile::exists(one));
    ASSERT_FALSE(QFile::exists(vogue));
    QDir(source + QStringLiteral("/pop")).removeRecursively();

    EXPECT_TRUE(w.StatusPopUp->actions().contains(w.UndoLastSort));
    EXPECT_TRUE(w.trayMenu->actions().contains(w.UndoLastSort));
    QString asked;
    w.confirm = [&](const QString& question) {
        asked = question;
        return false;
    };
    w.UndoLastSort->trigger();
    EXPECT_TRUE(asked.contains(QStringLiteral("2 files go back"))) << asked.toStdString();
    EXPECT_FALSE(QFile::exists(one)) << "declined";

    w.confirm = [](const QString&) { return true; };
    w.UndoLastSort->trigger();
    EXPECT_TRUE(QFile::exists(one));
    EXPECT_TRUE(QFile::exists(vogue));
    EXPECT_EQ(w.DetailsLines(), QStringList { QStringLiteral("Undo of run 1: 2 files restored") });
    expectIdle(w);

    // Automatic sorting on and due: the run plans, but leaves the restored files alone.
    w.workingCopy().autoSortOn = true;
    w.workingCopy().autoSortInterval = QTime(0, 0, 1);
    w.setLastAutoRun(QDateTime::currentDateTime().addSecs(-60));
    w.AutoTimerTimer();
    EXPECT_TRUE(QFile::exists(one));
    EXPECT_TRUE(QFile::exists(vogue));
    EXPECT_GT(w.lastAutoRun().secsTo(QDateTime::currentDateTime()), -5) << "the run took place";

    // A sort by hand files them again.
    click(w.btnSorteren);
    click(w.btnVerplaats);
    EXPECT_FALSE(QFile::exists(one));
    EXPECT_FALSE(QFile::exists(vogue));
}

// "&Delete" in the source list's menu with the Trash on: the file goes to the Trash, and
// "Undo last sort" brings it back.
TEST_F(LibraryTest, DeletedByHandIntoTheTrashComesBackWithUndo)
{
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_STATE_HOME", state);
        qputenv("XDG_DATA_HOME", data);
    });
    qputenv("XDG_STATE_HOME", folder(QStringLiteral("state")).toUtf8());
    qputenv("XDG_DATA_HOME", folder(QStringLiteral("data")).toUtf8());
    const QString one = song(QStringLiteral("One.mp3"), QStringLiteral("Metallica"));
    TfrmMain& w = window();
    w.workingCopy().useTrash = true;
    w.Refresh();
    QStringList asked;
    w.confirm = [&](const QString& question) {
        asked.append(question);
        return true;
    };
    w.ListSource->setItemIndex(0);
    w.SourcePopupMenuPopup();
    w.Verwijderen->trigger();
    ASSERT_FALSE(QFile::exists(one));
    EXPECT_EQ(asked, QStringList { QStringLiteral("Move 'One.mp3' to the Trash?") });
    EXPECT_EQ(w.DetailsLines(), QStringList { QStringLiteral("%1 moved to the Trash").arg(one) });
    const QString trashed
        = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Trash/files/One.mp3");
    EXPECT_TRUE(QFile::exists(trashed));

    w.UndoLastSort->trigger();
    EXPECT_TRUE(QFile::exists(one));
    EXPECT_FALSE(QFile::exists(trashed));
}

// The question says how many files can come back and why the others cannot, and so does
// the result.
TEST_F(LibraryTest, UndoSaysWhatCanComeBackAndWhyTheRestCannot)
{
    folder(QStringLiteral("library/Metallica"));
    folder(QStringLiteral("library/Madonna"));
    const QString one = song(QStringLiteral("One.mp3"), QStringLiteral("Metallica"));
    const QString vogue = song(QStringLiteral("Vogue.mp3"), QStringLiteral("Madonna"));
    // One is a double, deleted for good as the settings say.
    ASSERT_TRUE(QFile::copy(vogue, destination + QStringLiteral("/Metallica/One.mp3")));
    TfrmMain& w = window();
    w.workingCopy().moveDoubles = false;
    w.workingCopy().deleteDoubles = true;
    w.Refresh();
    click(w.btnSorteren);
    click(w.btnVerplaats);
    ASSERT_FALSE(QFile::exists(one));

    QString asked;
    w.confirm = [&](const QString& question) {
        asked = question;
        return true;
    };
    w.UndoLastSort->trigger();
    EXPECT_TRUE(asked.endsWith(
        QStringLiteral("1 file goes back where it was.\n1 cannot come back: 1 deleted for good.")))
        << asked.toStdString();
    EXPECT_TRUE(QFile::exists(vogue));
    EXPECT_EQ(w.DetailsLines(),
        (QStringList {
            QStringLiteral("Undo of run 1: 1 file restored, 1 not restored (1 deleted for good)"),
            QStringLiteral("%1: deleted for good").arg(one) }));
}
