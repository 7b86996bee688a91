#include "platform/errors.h"
#include "settings/settingsstore.h"
#include "tests/support/memorysettings.h"
#include "ui/frmmain.h"
#include "ui/viewrules.h"

#include <QAction>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace plumtide;

namespace
{

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest()
    {
        store.WriteValue(QStringLiteral("Source"), QStringLiteral("/music/incoming"));
        store.WriteValue(QStringLiteral("Destination"), QStringLiteral("/music/library"));
    }

    // A plan as sort planning leaves it, and the window idle again.
    void plan(const QStringList& captions)
    {
        for (const QString& caption : captions)
            window().planItems().add(caption, { QStringLiteral("80") }, 1);
    }

    TfrmMain& window()
    {
        if (!m_window) {
            m_window = std::make_unique<TfrmMain>(store);
            m_window->show();
        }
        return *m_window;
    }

    TMemorySettingsStore store;

private:
    std::unique_ptr<TfrmMain> m_window;
};

std::vector<QWidget*> commandControls(TfrmMain& w)
{
    return { w.imgbrowseSource, w.imgBrowseDestination, w.edtSource, w.edtDestination,
        w.btnNieuweWissen, w.btnSorteren, w.btnViewDestination, w.btnViewSource, w.btnVerplaats,
        w.Details };
}

} // namespace

TEST_F(MainWindowTest, StartsAsLaidOut)
{
    const QDateTime before = QDateTime::currentDateTime();
    TfrmMain& w = window();
    EXPECT_EQ(w.size(), QSize(729, 471)); // its place: WindowsKeepTheirPlaces...
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Plumtide"));
    EXPECT_FALSE(w.windowIcon().isNull());

    // The stored folders are shown; the source view is the one on screen.
    EXPECT_EQ(w.edtSource->text(), QStringLiteral("/music/incoming"));
    EXPECT_EQ(w.edtDestination->text(), QStringLiteral("/music/library"));
    EXPECT_EQ(w.lblActive->text(), QStringLiteral("Source files"));
    EXPECT_TRUE(w.ListSource->isVisible());
    EXPECT_FALSE(w.ListDestination->isVisible());
    EXPECT_FALSE(w.Status->isVisible());
    EXPECT_FALSE(w.pnlBrowse->isVisible());
    EXPECT_FALSE(w.pnlNieuwe->isVisible());
    EXPECT_EQ(w.DetailsLines(),
        QStringList { QStringLiteral("In the view above you can see the source mp3 files") });

    // Nothing that starts work is usable before the first refresh.
    for (QWidget* control : std::initializer_list<QWidget*> { w.imgbrowseSource,
             w.imgBrowseDestination, w.edtSource, w.edtDestination, w.btnVerplaats, w.btnViewSource,
             w.btnViewDestination, w.btnSorteren })
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_FALSE(w.imgannuleren->isEnabled()) << "no work to abort";
    EXPECT_TRUE(w.imgOpties->isEnabled());

    EXPECT_FALSE(w.abortFlag());
    EXPECT_FALSE(w.refreshBusy());
    EXPECT_EQ(w.browseTarget(), TBrowseTarget::None);
    EXPECT_GE(w.lastAutoRun(), before);
    EXPECT_LE(w.lastAutoRun(), QDateTime::currentDateTime());
    EXPECT_TRUE(w.startupTimer->isActive());
    EXPECT_EQ(w.startupTimer->interval(), 1500);
    EXPECT_FALSE(w.AutoTimer->isActive());
    EXPECT_EQ(w.AutoTimer->interval(), 1000);
    EXPECT_EQ(w.mouseTimer->interval(), 1);
}

TEST_F(MainWindowTest, ViewsShareOnePlaceStackedWithThePlanOnTop)
{
    TfrmMain& w = window();
    for (TListView* view : { w.ListDestination, w.ListSource, w.Status })
        EXPECT_EQ(view->geometry(), QRect(8, 120, 713, 273));
    const QObjectList& children = w.children();
    EXPECT_LT(children.indexOf(w.ListDestination), children.indexOf(w.ListSource));
    EXPECT_LT(children.indexOf(w.ListSource), children.indexOf(w.Status));
    // lblActive lies beneath the views.
    EXPECT_LT(children.indexOf(w.lblActive), children.indexOf(w.ListDestination));
}

TEST_F(MainWindowTest, FocusMovesInTheWindowsOrder)
{
    TfrmMain& w = window();
    const std::vector<QWidget*> expected { w.edtSource, w.edtDestination, w.ListSource,
        w.ListDestination, w.Status, w.btnViewSource, w.btnViewDestination, w.btnVerplaats,
        w.btnSorteren, w.ListNieuwe, w.btnNieuweWissen, w.Ok, w.Details };
    std::vector<QWidget*> seen;
    QWidget* widget = w.edtSource;
    do {
        if (std::find(expected.begin(), expected.end(), widget) != expected.end())
            seen.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != w.edtSource && seen.size() < expected.size());
    EXPECT_EQ(seen, expected);
}

TEST_F(MainWindowTest, UnreadableSettingStopsTheLoadSilently)
{
    // "AutoTime" comes fifth; everything read after it keeps its empty start value.
    store.WriteValue(QStringLiteral("percentage"), QStringLiteral("50"));
    store.WriteValue(QStringLiteral("AutoTime"), QStringLiteral("not a time"));
    TfrmMain& w = window();
    EXPECT_EQ(w.workingCopy().comparePercentage, 50);
    EXPECT_FALSE(w.workingCopy().autoSortOn);
    EXPECT_TRUE(w.workingCopy().sourceFolder.isEmpty());
    EXPECT_EQ(w.workingCopy().smallFileLimit, 0);
    EXPECT_TRUE(w.edtSource->text().isEmpty());
}

TEST_F(MainWindowTest, BusyLeavesSettingsAndTheTitleStripUsable)
{
    TfrmMain& w = window();
    w.enableButtons();
    w.disableButtons();
    for (QWidget* control : commandControls(w))
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    for (QWidget* control : std::initializer_list<QWidget*> { w.imgOpties, w.Title, w.imgExit,
             w.imgMinimize, w.ListSource, w.ListDestination, w.Status, w.pnlNieuwe, w.Ok,
             w.pnlBrowse, w.imgBrowser })
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_EQ(w.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(w.Status->cursor().shape(), Qt::WaitCursor);

    w.enableButtons();
    for (QWidget* control : commandControls(w)) {
        if (control != w.btnVerplaats) {
            EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
        }
    }
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(w.Status->testAttribute(Qt::WA_SetCursor));
}

TEST(MoveFilesRule, OnlyARealFirstPlanRowEnablesMoving)
{
    TListModel plan({ QStringLiteral("Source file") });
    EXPECT_FALSE(PlanHasFilesToMove(plan)) << "empty plan";
    plan.add(PlanPlaceholderRow());
    EXPECT_FALSE(PlanHasFilesToMove(plan)) << "placeholder";
    // A file whose path reads like the placeholder is still a file.
    plan.clear();
    plan.add(QLatin1String(kNoArtistsFound), {}, TImageList::MusicNotes);
    EXPECT_TRUE(PlanHasFilesToMove(plan));
}

TEST(RowRemovalRule, NeverWithoutSelectionNorTheFirstRow)
{
    EXPECT_FALSE(CanRemoveRowByHand(-1));
    EXPECT_FALSE(CanRemoveRowByHand(0));
    EXPECT_TRUE(CanRemoveRowByHand(1));
    EXPECT_TRUE(CanRemoveRowByHand(5));
}

TEST_F(MainWindowTest, PlanRowsAreRemovedByHandExceptTheFirst)
{
    TfrmMain& w = window();
    plan({ QStringLiteral("/in/a.mp3"), QStringLiteral("/in/b.mp3"), QStringLiteral("/in/c.mp3") });
    w.enableButtons();
    const bool moving = w.btnVerplaats->isEnabled();

    w.StatusPopUpPopup();
    EXPECT_FALSE(w.Verwijderen1->isEnabled()) << "nothing selected";

    w.Status->setItemIndex(0);
    w.StatusPopUpPopup();
    EXPECT_FALSE(w.Verwijderen1->isEnabled());
    w.Verwijderen1Click();
    EXPECT_EQ(w.planItems().count(), 3);

    w.Status->setItemIndex(2);
    w.StatusPopUpPopup();
    EXPECT_TRUE(w.Verwijderen1->isEnabled());
    w.Verwijderen1->trigger();
    ASSERT_EQ(w.planItems().count(), 2);
    EXPECT_EQ(w.planItems().caption(1), QStringLiteral("/in/b.mp3"));
    EXPECT_EQ(w.btnVerplaats->isEnabled(), moving) << "moving keeps its state";

    // Removing every row but the first leaves "Move files" as it was.
    w.Status->setItemIndex(1);
    w.Verwijderen1Click();
    EXPECT_EQ(w.planItems().count(), 1);
    EXPECT_EQ(w.btnVerplaats->isEnabled(), moving);
}

TEST_F(MainWindowTest, DelKeyOnThePlanFollowsTheSameRule)
{
    TfrmMain& w = window();
    w.Status->show();
    w.ListSource->hide();
    plan({ QStringLiteral("/in/a.mp3"), QStringLiteral("/in/b.mp3") });
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.Status->setFocus();

    // A popup opened on the first row disables the entry; the key still reaches the rule.
    w.Status->setItemIndex(0);
    w.StatusPopUpPopup();
    emit w.StatusPopUp->aboutToHide();
    QTest::keyClick(w.Status, Qt::Key_Delete);
    EXPECT_EQ(w.planItems().count(), 2);

    w.Status->setItemIndex(1);
    QTest::keyClick(w.Status, Qt::Key_Delete);
    EXPECT_EQ(w.planItems().count(), 1);
}

TEST_F(MainWindowTest, PopupMenusCarryTheirCaptionsShortcutsAndPictures)
{
    TfrmMain& w = window();
    const struct {
        QAction* action;
        const char* caption;
        QKeySequence shortcut;
        bool picture;
    } entries[] = {
        { w.Verplaatsennaardubbelebestanden, "Move file to doubles folder",
            QKeySequence(Qt::SHIFT | Qt::Key_Delete), true },
        { w.Verwijderen, "&Delete", QKeySequence(Qt::Key_Delete), true },
        { w.Verwijderen1, "&Delete", QKeySequence(Qt::Key_Delete), true },
        { w.Delete1, "&Delete", QKeySequence(Qt::Key_Delete), false },
    };
    for (const auto& e : entries) {
        EXPECT_EQ(e.action->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(e.action->shortcut(), e.shortcut);
        EXPECT_EQ(!e.action->icon().isNull(), e.picture) << e.caption;
    }
    EXPECT_EQ(w.SourcePopupMenu->actions().first(), w.Verplaatsennaardubbelebestanden);
    EXPECT_EQ(w.ListSource->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(w.Status->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(w.ListDestination->contextMenuPolicy(), Qt::DefaultContextMenu);
}

TEST_F(MainWindowTest, DestinationRowDeletesOnlyAnEmptyFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString empty = root.filePath(QStringLiteral("ABBA"));
    const QString full = root.filePath(QStringLiteral("QUEEN"));
    ASSERT_TRUE(QDir().mkpath(empty));
    ASSERT_TRUE(QDir().mkpath(full + QStringLiteral("/Live")));

    TfrmMain& w = window();
    TListModel& folders = w.destinationItems();
    folders.add(root.path(), { QString() }, 0);
    folders.add(empty, { QStringLiteral("ABBA") }, 0);
    folders.add(full, { QStringLiteral("QUEEN") }, 0);

    w.ListDestination->setItemIndex(0);
    w.DestPopupPopup();
    EXPECT_FALSE(w.Delete1->isEnabled());
    w.Delete1Click();
    EXPECT_EQ(folders.count(), 3);
    EXPECT_TRUE(QDir(root.path()).exists());

    w.ListDestination->setItemIndex(2);
    w.DestPopupPopup();
    EXPECT_TRUE(w.Delete1->isEnabled());
    EXPECT_THROW(w.Delete1Click(), IOError);
    EXPECT_EQ(folders.count(), 3) << "the row stays when the folder does";
    EXPECT_TRUE(QDir(full).exists());

    w.ListDestination->setItemIndex(1);
    w.Delete1Click();
    EXPECT_FALSE(QDir(empty).exists());
    ASSERT_EQ(folders.count(), 2);
    EXPECT_EQ(folders.caption(1), full);
}

TEST_F(MainWindowTest, PumpRunsPendingEventsAndReportsAbort)
{
    TfrmMain& w = window();
    bool ran = false;
    QTimer::singleShot(0, &w, [&ran] { ran = true; });
    EXPECT_FALSE(w.PumpEvents());
    EXPECT_TRUE(ran);

    // An Abort click queued while a long loop runs is seen at its next pass.
    QMetaObject::invokeMethod(
        &w, [&w] { w.imgannulerenClick(); }, Qt::QueuedConnection);
    EXPECT_TRUE(w.PumpEvents());
    w.setAbortFlag(false);
}

TEST(WindowPump, LetsEventsRunNowAndThenAndAlwaysSeesAbort)
{
    bool abort = false;
    int flushes = 0;
    TWindowPump pump(
        abort, [&flushes] { ++flushes; }, 50);
    int ran = 0;
    const auto post = [&ran] { QTimer::singleShot(0, [&ran] { ++ran; }); };

    post();
    EXPECT_TRUE(pump.keepGoing());
    EXPECT_EQ(ran, 1) << "the first call runs events";
    EXPECT_EQ(flushes, 1);
    post();
    pump.processEvents();
    EXPECT_EQ(ran, 1) << "too soon after the last pass";
    abort = true;
    EXPECT_TRUE(pump.abortRequested()) << "the flag is read on every question";
    std::this_thread::sleep_for(std::chrono::milliseconds(60)); // runs no events itself
    pump.processEvents();
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(flushes, 2);
}

TEST_F(MainWindowTest, ClosingSetsAbortAndAnnouncesTheEnd)
{
    TfrmMain& w = window();
    QSignalSpy closed(&w, &TfrmMain::closed);
    QTest::mouseClick(w.imgExit, Qt::LeftButton, {}, QPoint(16, 15));
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(w.abortFlag());
    EXPECT_FALSE(w.isVisible());
}

TEST_F(MainWindowTest, DetailsCollectsLines)
{
    TfrmMain& w = window();
    w.DetailsClear();
    EXPECT_TRUE(w.DetailsLines().isEmpty());
    w.DetailsAdd(QStringLiteral("one"));
    w.DetailsAdd(QStringLiteral("two"));
    EXPECT_EQ(w.DetailsLines(), (QStringList { QStringLiteral("one"), QStringLiteral("two") }));
}
