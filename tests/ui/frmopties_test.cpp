#include "libraryfixture.h"
#include "platform/paths.h"
#include "tests/support/memorysettings.h"
#include "ui/folderpanel.h"
#include "ui/foldertree.h"
#include "ui/frmopties.h"
#include "ui/image.h"
#include "ui/updown.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTimeEdit>
#include <QToolButton>

using namespace plumtide;
using namespace plumtide::test;

namespace
{

class SettingsWindowTest : public LibraryTest
{
protected:
    TfrmOpties& options()
    {
        if (!m_options) {
            m_options = std::make_unique<TfrmOpties>(window());
            window().setOptionsWindow(m_options.get());
        }
        return *m_options;
    }

    // Opens the window as the main window's Settings image does.
    TfrmOpties& open()
    {
        TfrmOpties& o = options();
        click(window().imgOpties);
        EXPECT_TRUE(o.isVisible());
        return o;
    }

private:
    std::unique_ptr<TfrmOpties> m_options;
};

} // namespace

TEST_F(SettingsWindowTest, FirstShowingLoadsDefaultsAndNeverStoresTheRoot)
{
    TMemorySettingsStore empty;
    TfrmMain main(empty);
    main.startupTimer->stop();
    TfrmOpties o(main);
    main.setOptionsWindow(&o);
    main.show();
    click(main.imgOpties);

    ASSERT_TRUE(o.isVisible());
    EXPECT_FALSE(o.isModal());
    EXPECT_TRUE(o.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(o.lblPercentage->text(), QStringLiteral("37 %"));
    EXPECT_EQ(o.PercEqual->value(), 37);
    EXPECT_TRUE(o.chkMoveDoubles->isChecked());
    EXPECT_TRUE(o.edtDoubleDir->isEnabled());
    EXPECT_EQ(o.edtDoubleDir->text(), DefaultDoublesFolder());
    EXPECT_FALSE(o.lblDoubleDirMissing->isVisible()) << "made when first needed";
    EXPECT_FALSE(o.AutoTime->isEnabled());
    EXPECT_EQ(o.edtFilesize->text(), QStringLiteral("512"));
    // The main window's fields, and through them the store, take the program folder.
    EXPECT_EQ(main.edtSource->text(), ProgramFolder());
    EXPECT_EQ(empty.values().at(QStringLiteral("Source")), ProgramFolder());
    EXPECT_EQ(empty.values().at(QStringLiteral("Destination")), ProgramFolder());
    o.hide();
}

TEST_F(SettingsWindowTest, ClosingSavesAndAppliesAtOnce)
{
    TfrmOpties& o = open();
    for (int i = 0; i < 23; ++i)
        o.UpDownPerqEqual->upButton()->click();
    EXPECT_EQ(o.lblPercentage->text(), QStringLiteral("60 %"));
    click(o.chkAutoTime);
    EXPECT_TRUE(o.AutoTime->isEnabled());
    click(o.chkDelFile); // follows "Automatically sort every:" only
    EXPECT_TRUE(o.AutoTime->isEnabled());
    o.UDFileSize->upButton()->click();
    EXPECT_EQ(o.edtFilesize->text(), QStringLiteral("640"));
    click(o.chkAutoStart);
    EXPECT_FALSE(window().AutoTimer->isActive());

    click(o.imgCloseNieuwe);
    EXPECT_FALSE(o.isVisible());
    const auto stored = store.values();
    EXPECT_EQ(stored.at(QStringLiteral("Percentage")), QStringLiteral("60"));
    EXPECT_EQ(stored.at(QStringLiteral("delFileSize")), QStringLiteral("640"));
    EXPECT_EQ(store.AutostartExecutable(), ExecutablePath());
    // The next sort plans at 60 % and automatic sorting runs, without opening the window.
    EXPECT_EQ(window().workingCopy().comparePercentage, 60);
    EXPECT_TRUE(window().AutoTimer->isActive());

    open();
    click(o.chkAutoTime);
    o.close();
    EXPECT_FALSE(window().AutoTimer->isActive());
}

// What the window saved is what the next sort does, without a restart.
TEST_F(SettingsWindowTest, EverySavedOptionHoldsForTheNextSort)
{
    store.WriteValue(QStringLiteral("doDelFile"), QStringLiteral("1"));
    store.WriteValue(QStringLiteral("delFileSize"), QStringLiteral("640"));
    folder(QStringLiteral("library/ABBA"));
    const QString big = song(QStringLiteral("big.mp3"), QStringLiteral("Abba"));
    QFile grow(big);
    ASSERT_TRUE(grow.open(QIODevice::Append));
    grow.write(QByteArray(30 * 1024, '\0')); // 30 KB, under the stored limit
    grow.close();
    // A double of it, as large.
    ASSERT_TRUE(QFile::copy(big, source + QStringLiteral("/dup.mp3")));
    ASSERT_TRUE(QFile::copy(big, destination + QStringLiteral("/ABBA/dup.mp3")));
    const QString chosen = folder(QStringLiteral("chosen doubles"));
    TfrmMain& w = window();
    w.Refresh();

    // The limit lowered below the file's size, and another doubles folder.
    TfrmOpties& o = open();
    o.edtFilesize->setText(QStringLiteral("16"));
    o.edtDoubleDir->setText(QStringLiteral("/no/such/folder"));
    EXPECT_TRUE(o.lblDoubleDirMissing->isVisible());
    o.edtDoubleDir->setText(chosen);
    EXPECT_FALSE(o.lblDoubleDirMissing->isVisible());
    o.close();
    click(w.btnSorteren);
    click(w.btnVerplaats);
    EXPECT_TRUE(QFile::exists(destination + QStringLiteral("/ABBA/big.mp3")));
    EXPECT_TRUE(QFile::exists(chosen + QStringLiteral("/dup.mp3")));

    // Small files kept: this small one is sorted too.
    const QString small = song(QStringLiteral("small.mp3"), QStringLiteral("Abba"));
    open();
    click(o.chkDelFile);
    o.close();
    click(w.btnSorteren);
    click(w.btnVerplaats);
    EXPECT_FALSE(QFile::exists(small));
    EXPECT_TRUE(QFile::exists(destination + QStringLiteral("/ABBA/small.mp3")));
}

TEST_F(SettingsWindowTest, DoublesBoxesKeepTheClickAndTheTreeFillsADisabledField)
{
    TfrmOpties& o = open();
    click(o.chkRemoveDoubles);
    EXPECT_TRUE(o.chkRemoveDoubles->isChecked());
    EXPECT_FALSE(o.chkMoveDoubles->isChecked());
    EXPECT_FALSE(o.edtDoubleDir->isEnabled());

    click(o.imgBrowse);
    EXPECT_TRUE(o.pnlBrowse->isVisible());
    EXPECT_EQ(o.pnlBrowse->pos(), QPoint(77, 20));
    TShellTreeView& tree = *o.ShellTreeView;
    QModelIndex home;
    for (int row = 0; row < tree.folders().rowCount(tree.folders().computerIndex()); ++row) {
        const QModelIndex place = tree.folders().index(row, 0, tree.folders().computerIndex());
        if (tree.folders().path(place) == QDir::homePath())
            home = place;
    }
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(home).center());
    EXPECT_EQ(o.edtDoubleDir->text(), QDir::homePath());
    click(o.imgCloseBrowser);
    EXPECT_FALSE(o.pnlBrowse->isVisible());

    click(o.chkMoveDoubles);
    EXPECT_TRUE(o.chkMoveDoubles->isChecked());
    EXPECT_FALSE(o.chkRemoveDoubles->isChecked());
    EXPECT_TRUE(o.edtDoubleDir->isEnabled());
    o.close();
    EXPECT_EQ(store.values().at(QStringLiteral("DoubleDir")), QDir::homePath());
}

TEST_F(SettingsWindowTest, FailedSaveKeepsTheWindowOpenUntilASaveSucceeds)
{
    TfrmOpties& o = open();
    click(o.chkAutoTime);
    store.failWritesOf(QStringLiteral("chkAutoTime"));
    o.close();
    EXPECT_TRUE(o.isVisible());
    EXPECT_FALSE(window().AutoTimer->isActive());
    EXPECT_EQ(store.values().count(QStringLiteral("chkAutoTime")), 0u);

    store.failWritesOf(QString());
    o.close();
    EXPECT_FALSE(o.isVisible());
    EXPECT_EQ(store.values().at(QStringLiteral("chkAutoTime")), QStringLiteral("1"));
    EXPECT_TRUE(window().AutoTimer->isActive());
}

TEST_F(SettingsWindowTest, TitleDragTimerRunsOnlyWhileDragging)
{
    TfrmOpties& o = open();
    EXPECT_FALSE(o.Timer1->isActive());
    QTest::mousePress(o.imgTitle, Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_TRUE(o.titleDrag().Dragging);
    EXPECT_EQ(QPoint(o.titleDrag().GrabX, o.titleDrag().GrabY), QPoint(100, 10));
    EXPECT_TRUE(o.Timer1->isActive());
    QTest::mouseRelease(o.imgTitle, Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_FALSE(o.Timer1->isActive());
    o.hide();
}

TEST_F(SettingsWindowTest, HidesWithTheMinimisedMainWindowAndComesBackAsItWasLeft)
{
    TfrmOpties& o = open();
    TfrmMain& w = window();
    click(o.chkAutoStart); // stored only when the window closes
    w.showMinimized();
    QCoreApplication::processEvents(); // the program's windows go once it is minimised
    EXPECT_FALSE(o.isVisible());

    // The way back from every notification area, the first entry of its menu.
    ASSERT_EQ(w.trayMenu->actions().value(0), w.ShowPlumtide);
    w.ShowPlumtide->trigger();
    EXPECT_TRUE(w.isVisible() && !w.isMinimized());
    EXPECT_TRUE(o.isVisible());
    EXPECT_TRUE(o.chkAutoStart->isChecked()) << "loaded again from the store on its way back";
    o.hide();
}

TEST_F(SettingsWindowTest, WindowsKeepTheirPlacesWhereTheyFitAndMoveOnScreenWhereNot)
{
    // The test screen is 800 x 800: the main window, 729 wide at 159, moves left just far
    // enough; the settings window fits where it belongs.
    ASSERT_EQ(window().screen()->availableGeometry(), QRect(0, 0, 800, 800));
    EXPECT_EQ(window().geometry(), QRect(71, 106, 729, 471));
    EXPECT_EQ(options().geometry(), QRect(259, 179, 418, 259));
}

TEST_F(SettingsWindowTest, EveryCaptionAndTheLinkLieWholeWithinTheirWindow)
{
    for (QWidget* shown : { static_cast<QWidget*>(&window()), static_cast<QWidget*>(&options()) }) {
        for (const QLabel* label : shown->findChildren<QLabel*>()) {
            const QRect place(label->mapTo(shown, QPoint(0, 0)), label->size());
            if (!label->text().isEmpty()) {
                EXPECT_TRUE(shown->rect().contains(place)) << label->objectName().toStdString();
            }
        }
    }
}

// With more than mp3 filed, small-file deletion covers every format, and its caption says so;
// the More page's box changes both at once, and the save stores what the box says.
TEST_F(SettingsWindowTest, FormatsBoxAndSmallFileCaption)
{
    store.WriteValue(QStringLiteral("Formats"), QStringLiteral("mp3,flac"));
    TfrmOpties& o = open();
    EXPECT_TRUE(o.chkFormats->isChecked());
    EXPECT_EQ(o.lblDelFile->text(), QStringLiteral("Delete music files smaller than:"));
    EXPECT_TRUE(o.rect().contains(QRect(o.lblDelFile->pos(), o.lblDelFile->size())));

    o.tbsPages->setCurrentIndex(1);
    click(o.lblFormats);
    EXPECT_EQ(o.lblDelFile->text(), QStringLiteral("Delete mp3 files smaller than:"));
    o.close();
    EXPECT_EQ(store.values().at(QStringLiteral("Formats")), QStringLiteral("mp3"));
    EXPECT_EQ(window().workingCopy().formats, TFileFormats());

    open();
    click(o.lblFormats);
    o.close();
    EXPECT_EQ(window().workingCopy().formats, TFileFormats::All());
}

// The "More" page's options, set with the mouse, are what the next run uses once the window
// closes; the page's watch controls follow automatic sorting on the first page.
TEST_F(SettingsWindowTest, MorePageSavesAndAppliesAtOnce)
{
    TfrmOpties& o = open();
    EXPECT_FALSE(o.pnlMore->isVisible());
    QTest::mouseClick(o.tbsPages, Qt::LeftButton, {}, o.tbsPages->tabRect(1).center());
    ASSERT_TRUE(o.pnlMore->isVisible());
    EXPECT_FALSE(o.Label1->isVisible());
    EXPECT_TRUE(o.rdbSimilar->isChecked());
    EXPECT_FALSE(o.chkWatchSource->isEnabled()) << "automatic sorting is off";
    EXPECT_FALSE(o.edtSettle->isEnabled());
    EXPECT_EQ(o.edtSettle->text(), QStringLiteral("10"));

    click(o.lblCareful);
    click(o.lblUseTrash);
    click(o.lblWatchSource); // disabled: stays off
    EXPECT_FALSE(o.chkWatchSource->isChecked());
    o.tbsPages->setCurrentIndex(0);
    click(o.chkAutoTime);
    o.tbsPages->setCurrentIndex(1);
    EXPECT_TRUE(o.chkWatchSource->isEnabled());
    click(o.lblWatchSource);
    o.edtSettle->setText(QStringLiteral("25"));
    o.close();

    const TWorkingCopy& copy = window().workingCopy();
    EXPECT_EQ(copy.matching, TMatching::Careful);
    EXPECT_TRUE(copy.useTrash);
    EXPECT_TRUE(copy.watchSource);
    EXPECT_EQ(copy.watchSettle, 25);
    EXPECT_TRUE(MoveSettingsOf(copy).useTrash);
    const auto stored = store.values();
    EXPECT_EQ(stored.at(QStringLiteral("Matching")), QStringLiteral("careful"));
    EXPECT_EQ(stored.at(QStringLiteral("UseTrash")), QStringLiteral("1"));
    EXPECT_EQ(stored.at(QStringLiteral("WatchSource")), QStringLiteral("1"));
    EXPECT_EQ(stored.at(QStringLiteral("WatchSettle")), QStringLiteral("25"));

    // Shown again, it loads what was saved.
    open();
    EXPECT_TRUE(o.rdbCareful->isChecked() && !o.rdbSimilar->isChecked());
    EXPECT_EQ(o.edtSettle->text(), QStringLiteral("25"));
    o.hide();
}

// From the keyboard alone: Tab reaches the tabs and the browse image, Enter opens the folder
// panel, Esc closes the panel first and then the window, which saves as its close mark does.
TEST_F(SettingsWindowTest, KeyboardReachesEveryPageAndEscClosesSaving)
{
    TfrmOpties& o = open();
    o.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&o));
    o.tbsPages->setFocus();
    ASSERT_TRUE(o.tbsPages->hasFocus());
    QTest::keyClick(o.tbsPages, Qt::Key_Right);
    EXPECT_TRUE(o.pnlMore->isVisible());
    QTest::keyClick(&o, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_TRUE(o.Label1->isVisible());

    // Every control that takes input can be reached with Tab, on either page (the size
    // takes input while small files are deleted).
    click(o.chkDelFile);
    QSet<QWidget*> reached;
    for (int page = 0; page < 2; ++page) {
        o.tbsPages->setCurrentIndex(page);
        o.tbsPages->setFocus();
        for (int i = 0; i < 40 && QApplication::focusWidget() != nullptr; ++i) {
            reached.insert(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    }
    for (QWidget* control : std::initializer_list<QWidget*> { o.tbsPages, o.UpDownPerqEqual,
             o.edtDoubleDir, o.imgBrowse, o.chkMoveDoubles, o.chkRemoveDoubles, o.chkAutoTime,
             o.chkAutoStart, o.chkDelFile, o.edtFilesize, o.UDFileSize, o.chkUseTrash })
        EXPECT_TRUE(reached.contains(control)) << control->objectName().toStdString();
    EXPECT_TRUE(reached.contains(o.rdbSimilar) || reached.contains(o.rdbCareful));
    // A box's focus shows as a ring around it and its caption.
    const QWidget* ring = o.findChild<QWidget*>(QStringLiteral("focusRing"));
    ASSERT_NE(ring, nullptr);
    o.chkUseTrash->setFocus();
    EXPECT_TRUE(ring->isVisible());
    EXPECT_TRUE(ring->geometry().contains(
        QRect(o.lblUseTrash->mapTo(&o, QPoint(0, 0)), o.lblUseTrash->size())));
    o.tbsPages->setFocus();
    EXPECT_FALSE(ring->isVisible());

    o.tbsPages->setCurrentIndex(0);
    o.imgBrowse->setFocus();
    QTest::keyClick(o.imgBrowse, Qt::Key_Return);
    EXPECT_TRUE(o.pnlBrowse->isVisible());
    // The panel belongs to the first page.
    o.tbsPages->setCurrentIndex(1);
    EXPECT_FALSE(o.pnlBrowse->isVisible());
    o.tbsPages->setCurrentIndex(0);
    EXPECT_TRUE(o.pnlBrowse->isVisible());

    o.UpDownPerqEqual->upButton()->click();
    QTest::keyClick(&o, Qt::Key_Escape);
    EXPECT_FALSE(o.pnlBrowse->isVisible());
    EXPECT_TRUE(o.isVisible());
    QTest::keyClick(&o, Qt::Key_Escape);
    EXPECT_FALSE(o.isVisible());
    EXPECT_EQ(store.values().at(QStringLiteral("Percentage")), QStringLiteral("38"));
    EXPECT_EQ(window().workingCopy().comparePercentage, 38);
}
