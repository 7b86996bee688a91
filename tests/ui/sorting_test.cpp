// "Start sort", "Move files", the new-artists panel and the source list's menu, on real
// folders and mp3 files.

#include "libraryfixture.h"
#include "tests/support/otherprocess.h"
#include "ui/planview.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScopeGuard>

#include <fcntl.h>

using namespace plumtide;
using plumtide::test::LibraryTest;

namespace
{

class SortTest : public LibraryTest
{
protected:
    // Two artists with a folder (one spelt differently), one without, one key too short.
    void fillLibrary()
    {
        folder(QStringLiteral("library/Metalica"));
        folder(QStringLiteral("library/ABBA"));
        sandman = song(QStringLiteral("Enter Sandman.mp3"), QStringLiteral("Metallica"),
            QStringLiteral("Enter Sandman"));
        smells = song(QStringLiteral("Smells.mp3"), QStringLiteral("Nirvana"));
        one = song(QStringLiteral("U2 - One.mp3"), QString());
        waterloo = song(QStringLiteral("Waterloo.mp3"), QStringLiteral("Abba"));
    }

    QStringList newArtists(const TfrmMain& w) const
    {
        QStringList keys;
        for (int i = 0; i < w.ListNieuwe->count(); ++i)
            keys.append(w.ListNieuwe->item(i)->text());
        return keys;
    }

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString sandman, smells, one, waterloo;
};

} // namespace

TEST_F(SortTest, StartSortShowsThePlanWithScoresAndTheNewArtists)
{
    fillLibrary();
    TfrmMain& w = window();
    w.Refresh();
    // The % column is written in the user's notation.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });

    click(w.btnSorteren);

    EXPECT_TRUE(w.Status->isVisible());
    EXPECT_FALSE(w.ListSource->isVisible());
    EXPECT_FALSE(w.ListDestination->isVisible());
    EXPECT_EQ(w.lblActive->text(), QStringLiteral("Status"));
    const TListModel& plan = w.planItems();
    EXPECT_EQ(column(plan, 0), (QStringList { sandman, waterloo }));
    EXPECT_EQ(column(plan, 1), (QStringList { QStringLiteral("61,25"), QStringLiteral("100") }));
    EXPECT_EQ(column(plan, 2),
        (QStringList {
            destination + QStringLiteral("/Metalica"), destination + QStringLiteral("/ABBA") }));
    EXPECT_EQ(
        column(plan, 3), (QStringList { QStringLiteral("Metallica"), QStringLiteral("Abba") }));
    EXPECT_EQ(plan.row(0).imageIndex, TImageList::MusicNotes);
    // Shown: the file's name and the folder below the destination, the paths as tooltips;
    // the similar name of another artist is marked.
    const auto shown = [&](int row, int column, int role = Qt::DisplayRole) {
        return plan.data(plan.index(row, column), role).toString();
    };
    EXPECT_EQ(shown(0, 0), QStringLiteral("Enter Sandman.mp3"));
    EXPECT_EQ(shown(0, 2), QStringLiteral("Metalica"));
    EXPECT_EQ(shown(1, 2, Qt::ToolTipRole), destination + QStringLiteral("/ABBA"));
    EXPECT_EQ(shown(0, 2, Qt::ToolTipRole), QLatin1String(kOtherArtistHint));
    EXPECT_TRUE(plan.planEntries()[0].otherArtist);
    EXPECT_FALSE(plan.planEntries()[1].otherArtist) << "Abba is ABBA";

    EXPECT_EQ(newArtists(w), QStringList { QStringLiteral("NIRVANA") });
    EXPECT_TRUE(w.pnlNieuwe->isVisible());
    EXPECT_EQ(w.DetailsLines().size(), 3) << "what the plan holds, and its marked rows";
    EXPECT_TRUE(w.btnVerplaats->isEnabled());
    expectIdle(w);
    EXPECT_FALSE(w.Status->testAttribute(Qt::WA_SetCursor));
}

TEST_F(SortTest, PlanWithoutMatchesShowsThePlaceholder)
{
    folder(QStringLiteral("library/ABBA"));
    song(QStringLiteral("U2 - One.mp3"), QString());
    TfrmMain& w = window();
    w.Refresh();

    click(w.btnSorteren);

    ASSERT_EQ(w.planItems().count(), 1);
    EXPECT_EQ(w.planItems().caption(0), QStringLiteral("No corresponding artists found"));
    EXPECT_EQ(w.planItems().row(0).imageIndex, TImageList::NothingFound);
    EXPECT_FALSE(w.btnVerplaats->isEnabled());
    EXPECT_FALSE(w.pnlNieuwe->isVisible());
    EXPECT_EQ(w.DetailsLines(),
        QStringList { QStringLiteral(
            "There are no mp3 files found or there are no folders matching the artists...") });
}

TEST_F(SortTest, MoveFilesPlacesThePlanAndPlansWhatStayed)
{
    fillLibrary();
    // Waterloo is a double: its name is taken in its artist's folder.
    const QString taken = destination + QStringLiteral("/ABBA/Waterloo.mp3");
    ASSERT_TRUE(QFile::copy(one, taken));
    const QByteArray waterlooBytes = contents(waterloo);
    const QByteArray sandmanBytes = contents(sandman);
    TfrmMain& w = window();
    w.Refresh();
    click(w.btnSorteren);
    ASSERT_TRUE(w.btnVerplaats->isEnabled());

    click(w.btnVerplaats);

    EXPECT_EQ(contents(destination + QStringLiteral("/Metalica/Enter Sandman.mp3")), sandmanBytes);
    EXPECT_FALSE(QFile::exists(sandman));
    EXPECT_EQ(contents(doubles + QStringLiteral("/Waterloo.mp3")), waterlooBytes);
    EXPECT_FALSE(QFile::exists(waterloo));
    EXPECT_EQ(contents(taken), contents(one)) << "the file already filed is untouched";

    // Listed and planned again: only what has nowhere to go is left.
    EXPECT_EQ(column(w.sourceItems(), 0), (QStringList { smells, one }));
    ASSERT_EQ(w.planItems().count(), 1);
    EXPECT_EQ(w.planItems().caption(0), QStringLiteral("No corresponding artists found"));
    EXPECT_TRUE(w.Status->isVisible());
    EXPECT_TRUE(w.pnlNieuwe->isVisible());
    // The move ends with what it did, and where the double went.
    EXPECT_EQ(w.DetailsLines(),
        QStringList { QStringLiteral("1 song moved, 1 double set aside in %1; 2 songs left in the "
                                     "source (2 no folder for its artist)")
                          .arg(doubles) });
    EXPECT_FALSE(w.btnVerplaats->isEnabled());
    expectIdle(w);
}

TEST_F(SortTest, MoveErrorStopsAtItsRowAndEndsInTheErrorHandler)
{
    fillLibrary();
    TfrmMain& w = window();
    w.Refresh();
    click(w.btnSorteren);
    // The destination is gone (an unplugged disk) by the time the move starts.
    const QString away = destination + QStringLiteral(" away");
    ASSERT_TRUE(QDir().rename(destination, away));

    click(w.btnVerplaats);

    EXPECT_FALSE(anyDialogShown());
    EXPECT_TRUE(QFile::exists(sandman));
    EXPECT_EQ(w.planItems().count(), 2) << "no new plan after an error";
    ASSERT_EQ(w.DetailsLines().size(), 1);
    EXPECT_TRUE(w.DetailsLines()[0].startsWith(
        QStringLiteral("Move stopped: The folder is gone: '%1'").arg(destination)))
        << w.DetailsLines()[0].toStdString();
    EXPECT_TRUE(w.DetailsLines()[0].endsWith(QStringLiteral("; before that: nothing moved")));
    expectIdle(w);
}

// Only a press on "Create" makes folders; it says what it made, and it is a run of its own
// that an undo takes back while the folders are empty.
TEST_F(SortTest, OnlyAPressOnCreateMakesFoldersAndAnUndoRemovesThem)
{
    fillLibrary();
    TfrmMain& w = window();
    w.Refresh();
    click(w.btnSorteren);
    ASSERT_TRUE(w.pnlNieuwe->isVisible());
    w.ListNieuwe->addItems({ QStringLiteral("ABBA"), QStringLiteral("QUEEN") });

    // "Delete" takes out the selected entry only.
    click(w.btnNieuweWissen);
    EXPECT_EQ(w.ListNieuwe->count(), 3);
    w.ListNieuwe->setCurrentRow(2);
    click(w.btnNieuweWissen);
    EXPECT_EQ(newArtists(w), (QStringList { QStringLiteral("NIRVANA"), QStringLiteral("ABBA") }));

    // Enter meant for anything else makes nothing: in a field, on the list, on "Delete"
    // (which it presses). On "Move files" it moves (see the keyboard's tests), and makes no
    // folder either.
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    for (QWidget* control :
        std::initializer_list<QWidget*> { w.edtDestination, w.ListNieuwe, w.btnNieuweWissen }) {
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Return);
    }
    EXPECT_FALSE(QFileInfo::exists(destination + QStringLiteral("/NIRVANA")));
    EXPECT_TRUE(QFile::exists(sandman));
    EXPECT_TRUE(w.pnlNieuwe->isVisible());

    // Enter on "Create" itself makes them where the plan was made for, whatever the field
    // holds by now.
    w.edtDestination->setText(destination + QStringLiteral("/Metalica"));
    w.Ok->setFocus();
    QTest::keyClick(w.Ok, Qt::Key_Return);
    EXPECT_TRUE(QFileInfo(destination + QStringLiteral("/NIRVANA")).isDir());
    EXPECT_FALSE(QFileInfo::exists(destination + QStringLiteral("/Metalica/NIRVANA")));
    EXPECT_FALSE(w.pnlNieuwe->isVisible());
    EXPECT_EQ(w.DetailsLines(),
        QStringList { QStringLiteral("1 folder made in %1: NIRVANA").arg(destination) });
    EXPECT_EQ(w.destinationItems().count(), 2) << "the lists wait for the next refresh";

    QString asked;
    w.confirm = [&](const QString& question) {
        asked = question;
        return true;
    };
    w.UndoLastSort->trigger();
    EXPECT_TRUE(asked.startsWith(QStringLiteral("Undo the folders made at ")))
        << asked.toStdString();
    EXPECT_TRUE(asked.endsWith(QStringLiteral("\n\n1 empty folder it made is removed.")));
    EXPECT_FALSE(QFileInfo::exists(destination + QStringLiteral("/NIRVANA")));
    EXPECT_EQ(
        w.DetailsLines(), QStringList { QStringLiteral("Undo of run 1: 1 empty folder removed") });
}

// "Move files" moves only the plan on screen, for the folders the fields name.
TEST_F(SortTest, MoveFilesActsOnlyOnThePlanShownForTheFoldersInTheFields)
{
    fillLibrary();
    TfrmMain& w = window();
    w.Refresh();
    click(w.btnSorteren);
    ASSERT_TRUE(w.btnVerplaats->isEnabled());

    click(w.btnViewSource);
    EXPECT_FALSE(w.btnVerplaats->isEnabled()) << "the plan is out of sight";
    w.btnVerplaatsClick();
    EXPECT_TRUE(QFile::exists(sandman));

    click(w.btnSorteren);
    ASSERT_TRUE(w.btnVerplaats->isEnabled());
    w.edtSource->setText(folder(QStringLiteral("empty")));
    EXPECT_FALSE(w.btnVerplaats->isEnabled()) << "the plan is for another folder";
    w.btnVerplaatsClick();
    EXPECT_TRUE(QFile::exists(sandman));

    w.edtSource->setText(source);
    ASSERT_TRUE(w.btnVerplaats->isEnabled());
    click(w.btnVerplaats);
    EXPECT_FALSE(QFile::exists(sandman));
}

// One artist whose folder cannot be made must not keep the others from getting theirs.
TEST_F(SortTest, CreateSkipsAFolderThatCannotBeMadeAndKeepsItListed)
{
    TfrmMain& w = window();
    w.Refresh();
    w.ListNieuwe->addItems(
        { QStringLiteral("GOOD"), QStringLiteral("NO/SUCH"), QStringLiteral("LATER") });
    w.pnlNieuwe->show();

    click(w.Ok);

    EXPECT_FALSE(anyDialogShown());
    EXPECT_TRUE(QFileInfo(destination + QStringLiteral("/GOOD")).isDir());
    EXPECT_TRUE(QFileInfo(destination + QStringLiteral("/LATER")).isDir());
    EXPECT_TRUE(w.pnlNieuwe->isVisible());
    EXPECT_EQ(newArtists(w), QStringList { QStringLiteral("NO/SUCH") });
    EXPECT_EQ(w.DetailsLines(),
        (QStringList { QStringLiteral("2 folders made in %1: GOOD, LATER").arg(destination),
            QStringLiteral("The folder %1/NO/SUCH could not be made: folder missing")
                .arg(destination) }));
    expectIdle(w);

    // The close image hides the panel and empties it: nothing of this plan shows again.
    QTest::mouseClick(w.imgCloseNieuwe, Qt::LeftButton, {}, QPoint(16, 14));
    EXPECT_FALSE(w.pnlNieuwe->isVisible());
    EXPECT_EQ(w.ListNieuwe->count(), 0);
}

// A file another program holds is not in the lists, and Details says so: how many, and which.
TEST_F(SortTest, FilesLeftOutAreCountedAndNamed)
{
    folder(QStringLiteral("library/ABBA"));
    const QString held = song(QStringLiteral("held.mp3"), QStringLiteral("Abba"));
    test::OtherProcess player(
        [&] { return ::open(QFile::encodeName(held).constData(), O_RDONLY) >= 0; });
    ASSERT_TRUE(player.ready());
    TfrmMain& w = window();
    w.Refresh();
    EXPECT_EQ(w.sourceItems().count(), 0);
    const QStringList said { QStringLiteral("1 file left out for now (1 in use)"),
        QStringLiteral("%1: in use").arg(held) };
    EXPECT_EQ(w.DetailsLines(), said);

    click(w.btnSorteren);
    EXPECT_EQ(w.DetailsLines(),
        QStringList { QStringLiteral(
            "There are no mp3 files found or there are no folders matching the artists...") }
            + said);
}

TEST_F(SortTest, SourceMenuOffersWhatTheDiskAllows)
{
    const QString a = song(QStringLiteral("a.mp3"), QStringLiteral("Abba"));
    TfrmMain& w = window();
    w.Refresh();
    const auto offered = [&w] {
        w.SourcePopupMenuPopup();
        return std::pair(
            w.Verplaatsennaardubbelebestanden->isEnabled(), w.Verwijderen->isEnabled());
    };

    EXPECT_EQ(offered(), std::pair(false, false)) << "nothing selected";
    w.ListSource->setItemIndex(0);
    EXPECT_EQ(offered(), std::pair(true, true));
    ASSERT_TRUE(QDir(doubles).removeRecursively());
    EXPECT_EQ(offered(), std::pair(false, true)) << "no doubles folder";
    folder(QStringLiteral("doubles"));
    ASSERT_TRUE(QFile::remove(a));
    EXPECT_EQ(offered(), std::pair(true, false)) << "file gone from disk";
}

TEST_F(SortTest, SourceMenuSetsAsideOrDeletesTheSelectedFile)
{
    const QString a = song(QStringLiteral("a.mp3"), QStringLiteral("Abba"));
    const QString b = song(QStringLiteral("b.mp3"), QStringLiteral("Queen"));
    // A different song of that name is already set aside: it must survive.
    const QString earlier = doubles + QStringLiteral("/b.mp3");
    ASSERT_TRUE(QFile::copy(a, earlier));
    const QByteArray bBytes = contents(b);
    TfrmMain& w = window();
    w.Refresh();
    QStringList asked;
    w.confirm = [&](const QString& question) {
        asked.append(question);
        return true;
    };

    w.ListSource->setItemIndex(1);
    w.SourcePopupMenuPopup();
    w.Verplaatsennaardubbelebestanden->trigger();
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(contents(earlier), contents(a));
    EXPECT_EQ(contents(doubles + QStringLiteral("/b (2).mp3")), bBytes);
    EXPECT_EQ(column(w.sourceItems(), 0), QStringList { a });

    EXPECT_EQ(w.DetailsLines(),
        QStringList { QStringLiteral("%1 set aside as %2/b (2).mp3").arg(b, doubles) });

    // Deleting asks first, and says what it did.
    w.ListSource->setItemIndex(0);
    w.SourcePopupMenuPopup();
    w.Verwijderen->trigger();
    EXPECT_EQ(asked, QStringList { QStringLiteral("Delete 'a.mp3' for good?") });
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(w.sourceItems().count(), 0);
    EXPECT_EQ(w.DetailsLines(), QStringList { QStringLiteral("%1 deleted for good").arg(a) });
    expectIdle(w);
}

TEST_F(SortTest, SourceShortcutsApplyTheRuleAtTheMomentOfThePress)
{
    const QString a = song(QStringLiteral("a.mp3"), QStringLiteral("Abba"));
    TfrmMain& w = window();
    w.Refresh();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.ListSource->setFocus();
    bool yes = false;
    w.confirm = [&yes](const QString&) { return yes; };

    // The menu last opened with nothing selected; the key still sees the selection made since.
    w.SourcePopupMenuPopup();
    emit w.SourcePopupMenu->aboutToHide();
    w.ListSource->setItemIndex(0);
    ASSERT_TRUE(QDir(doubles).removeRecursively());
    QTest::keyClick(w.ListSource, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(QFile::exists(a)) << "no doubles folder: nothing to set aside into";
    EXPECT_FALSE(anyDialogShown());

    QTest::keyClick(w.ListSource, Qt::Key_Delete);
    EXPECT_TRUE(QFile::exists(a)) << "the question declined";
    yes = true;
    QTest::keyClick(w.ListSource, Qt::Key_Delete);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(w.sourceItems().count(), 0);

    // Nothing selected any more: the key does nothing.
    const QString b = song(QStringLiteral("b.mp3"), QStringLiteral("Queen"));
    w.Refresh();
    w.ListSource->setItemIndex(-1);
    QTest::keyClick(w.ListSource, Qt::Key_Delete);
    EXPECT_TRUE(QFile::exists(b));
}

// An artist whose folder exists under another spelling is never new: its file shows that
// folder, unmoved, until "File under" files it there. "Create selected" makes the selected
// folders alone, and the plan follows at once.
TEST_F(SortTest, CreateMakesOnlyTheSelectedNewArtistsAndTheSameArtistIsNeverNew)
{
    folder(QStringLiteral("library/Rock/Queen"));
    folder(QStringLiteral("library/Beatles, The"));
    const QString queen = song(QStringLiteral("Bohemian.mp3"), QStringLiteral("QUEEN"));
    song(QStringLiteral("Help.mp3"), QStringLiteral("THE BEATLES"));
    const QString smells = song(QStringLiteral("Smells.mp3"), QStringLiteral("Nirvana"));
    song(QStringLiteral("Waterloo.mp3"), QStringLiteral("Abba"));
    QFile::remove(AssignmentsFile());
    const auto forget = qScopeGuard([] { QFile::remove(AssignmentsFile()); });
    TfrmMain& w = window();
    w.Refresh();
    click(w.btnSorteren);
    ASSERT_EQ(newArtists(w), (QStringList { QStringLiteral("NIRVANA"), QStringLiteral("ABBA") }));
    ASSERT_EQ(w.planItems().count(), 2);
    EXPECT_EQ(w.planItems().row(0).kind, TListRow::Kind::Unfiled);
    EXPECT_EQ(w.planItems().text(0, 2), destination + QStringLiteral("/Rock/Queen"));
    EXPECT_FALSE(w.btnVerplaats->isEnabled()) << "a file beside its artist's folder is not moved";

    w.ListNieuwe->item(0)->setSelected(true);
    click(w.Ok);
    EXPECT_TRUE(QFileInfo(destination + QStringLiteral("/NIRVANA")).isDir());
    EXPECT_FALSE(QFileInfo::exists(destination + QStringLiteral("/ABBA")));
    EXPECT_FALSE(QFileInfo::exists(destination + QStringLiteral("/QUEEN")));
    EXPECT_EQ(newArtists(w), QStringList { QStringLiteral("ABBA") });
    EXPECT_EQ(w.planItems().text(0, 0), smells) << "planned again at once";
    EXPECT_TRUE(w.btnVerplaats->isEnabled());

    int queenRow = -1;
    for (int i = 0; i < w.planItems().count(); ++i)
        if (w.planItems().caption(i) == queen)
            queenRow = i;
    ASSERT_GE(queenRow, 0);
    w.Status->setItemIndex(queenRow);
    w.StatusPopUpPopup();
    ASSERT_TRUE(w.FileUnderSameArtist->isEnabled());
    w.FileUnderSameArtist->trigger();
    EXPECT_TRUE(column(w.planItems(), 1).contains(QStringLiteral("assigned")));
    click(w.btnVerplaats);
    EXPECT_TRUE(QFile::exists(destination + QStringLiteral("/Rock/Queen/Bohemian.mp3")));
}
