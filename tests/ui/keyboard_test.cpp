// The main window without a mouse, its two panels' places, and "File under…". Enter on the
// buttons, as a user presses it, is proven end to end (keyboard_e2e.sh).

#include "core/matching/assignments.h"
#include "libraryfixture.h"
#include "settings/settings.h"
#include "ui/fileunder.h"
#include "ui/foldertree.h"
#include "ui/image.h"
#include "ui/keyboard.h"

#include <QFrame>
#include <QHeaderView>
#include <QListWidget>
#include <QSet>
#include <QSignalSpy>

using namespace plumtide;
using plumtide::test::LibraryTest;

namespace
{

class KeyboardTest : public LibraryTest
{
protected:
    TfrmMain& activeWindow()
    {
        TfrmMain& w = window();
        w.Refresh();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        return w;
    }

    static bool inFocusChain(TfrmMain& w, QWidget* control)
    {
        QWidget* widget = w.edtSource;
        do {
            if (widget == control)
                return true;
            widget = widget->nextInFocusChain();
        } while (widget != w.edtSource);
        return false;
    }
};

} // namespace

// Every picture that acts on a click is in the Tab order, looks different while it has the
// focus, and takes Enter, Return and Space as a click.
TEST_F(KeyboardTest, EveryClickablePictureIsAKeyboardActionWithAVisibleFocus)
{
    TfrmMain& w = activeWindow();
    w.pnlBrowse->show();
    w.pnlNieuwe->show();
    w.imgannuleren->setEnabled(true);
    // Exit last: it closes the window.
    for (TImage* image : { w.imgbrowseSource, w.imgBrowseDestination, w.imgannuleren, w.imgOpties,
             w.imgBrowser, w.imgCloseNieuwe, w.imgMinimize, w.imgExit }) {
        SCOPED_TRACE(image->objectName().toStdString());
        EXPECT_TRUE(inFocusChain(w, image));
        if (!image->isVisible())
            image->parentWidget()->show(); // a panel the previous key closed
        w.edtSource->setFocus();
        const QImage unfocused = image->grab().toImage();
        image->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(image->hasFocus());
        EXPECT_NE(image->grab().toImage(), unfocused) << "the focus is not seen";

        QSignalSpy pressed(image, &TImage::clicked);
        for (Qt::Key key : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space }) {
            if (image->isVisible() && image->hasFocus())
                QTest::keyClick(image, key);
        }
        EXPECT_GE(pressed.count(), 1);
    }
}

// Esc closes the panel that has the focus, else the one on top; closing empties the
// new-artists list and brings the focus back out of the panel.
TEST_F(KeyboardTest, EscClosesTheTopPanelAndTheNewArtistsListEmpties)
{
    TfrmMain& w = activeWindow();
    w.ListNieuwe->addItems({ QStringLiteral("NIRVANA"), QStringLiteral("ABBA") });
    w.pnlNieuwe->show();
    w.imgbrowseSourceClick();
    ASSERT_TRUE(w.ShellTreeView->hasFocus()) << "the browser opens with the focus in its tree";

    w.ListNieuwe->setFocus();
    QTest::keyClick(w.ListNieuwe, Qt::Key_Escape);
    EXPECT_FALSE(w.pnlNieuwe->isVisible());
    EXPECT_TRUE(w.pnlBrowse->isVisible());
    EXPECT_EQ(w.ListNieuwe->count(), 0);
    EXPECT_FALSE(w.pnlNieuwe->isAncestorOf(QApplication::focusWidget()));

    w.edtDestination->setFocus();
    QTest::keyClick(w.edtDestination, Qt::Key_Escape);
    EXPECT_FALSE(w.pnlBrowse->isVisible());
    EXPECT_EQ(w.edtSource->text(), source) << "closing chose nothing";

    QTest::keyClick(w.edtDestination, Qt::Key_Escape); // nothing open: nothing happens
    EXPECT_TRUE(w.isVisible());
}

// Open side by side, the panels cover neither the folder fields, the browse glyphs, the
// command buttons, the plan's file and % columns, Details, nor each other.
TEST_F(KeyboardTest, PanelsLeaveTheFieldsThePlanAndDetailsInSight)
{
    TfrmMain& w = window();
    w.btnSorterenClick();
    w.pnlNieuwe->show();
    w.imgBrowseDestinationClick();
    const QRect browser = w.pnlBrowse->geometry();
    const QRect artists = w.pnlNieuwe->geometry();
    EXPECT_FALSE(browser.intersects(artists));
    EXPECT_TRUE(w.rect().contains(browser) && w.rect().contains(artists));

    QHeaderView* header = w.Status->header();
    const int firstColumns = header->sectionSize(0) + header->sectionSize(1);
    const QRect planStart(w.Status->mapTo(&w, QPoint(0, 0)), QSize(firstColumns, 1));
    for (const QWidget* control : std::initializer_list<const QWidget*> { w.edtSource,
             w.edtDestination, w.imgbrowseSource, w.imgBrowseDestination, w.btnViewSource,
             w.btnViewDestination, w.btnVerplaats, w.btnSorteren, w.Details }) {
        EXPECT_FALSE(browser.intersects(control->geometry()))
            << control->objectName().toStdString();
        EXPECT_FALSE(artists.intersects(control->geometry()))
            << control->objectName().toStdString();
    }
    EXPECT_FALSE(artists.intersects(planStart));
}

// The folders an artist can be filed under: artist folders, at the top or below groupings,
// never albums, never the groupings themselves.
TEST(FileUnderRule, ArtistFolderChoices)
{
    std::vector<TFolderRow> folders;
    for (const char* relative : { "Rock", "Rock/Queen", "Rock/Queen/A Night at the Opera", "Björk",
             "Björk/Debut", "A-C", "A-C/Beatles, The", "60s", "60s/Rock/Kinks", "b10", "b9" })
        folders.push_back(
            { QStringLiteral("/lib/") + QString::fromUtf8(relative), QString::fromUtf8(relative) });
    EXPECT_EQ(ArtistFolderChoices(folders),
        (QStringList { QStringLiteral("60s/Rock/Kinks"), QStringLiteral("A-C/Beatles, The"),
            QStringLiteral("b9"), QStringLiteral("b10"), QStringLiteral("Björk"),
            QStringLiteral("Rock/Queen") }));
}

// What is assigned for an entry: the entry, and artists whose key names it but whose own
// text would not find the assignment.
TEST(FileUnderRule, ArtistsBehindAnEntry)
{
    const auto row = [](const char* path, const char* key, const char* artist) {
        return TSourceRow { QString::fromUtf8(path), QString::fromUtf8(key), QString(),
            QString::fromUtf8(artist) };
    };
    const std::vector<TSourceRow> files { row("/in/a.mp3", "NIRVANA", "Nirvana"),
        row("/in/01-Nirvana - Lithium.mp3", "NIRVANA", ""), row("/in/c.mp3", "ABBA", "Abba"),
        row("/in/d.mp3", "SIMON ", "Simon & Garfunkel") };
    const struct {
        const char* entry;
        QStringList artists;
    } cases[] = {
        { "NIRVANA", { "NIRVANA", "01-Nirvana" } }, // a key from a numbered file name
        // "Simon & Garfunkel" is one credit unless both names have folders.
        { "SIMON", { "SIMON", "Simon & Garfunkel" } },
        { "Eminem", { "Eminem" } }, // careful mode's entry, no file listed
    };
    for (const auto& c : cases)
        EXPECT_EQ(ArtistsBehindEntry(QString::fromUtf8(c.entry), files), c.artists) << c.entry;
}

// The chooser narrows the list as the user types, the arrows move through what is left, and
// Enter takes the selected folder.
TEST(FileUnderRule, ChooserFiltersAndEnterTakesTheSelectedFolder)
{
    TFolderChooser chooser(nullptr, QStringLiteral("NIRVANA"),
        { QStringLiteral("ABBA"), QStringLiteral("Rock/Nirvana"), QStringLiteral("Rock/Queen") });
    chooser.show();
    QTest::keyClicks(chooser.filter, QStringLiteral("rock"));
    EXPECT_EQ(chooser.chosen(), QStringLiteral("Rock/Nirvana"));
    QTest::keyClick(chooser.filter, Qt::Key_Down);
    EXPECT_EQ(chooser.chosen(), QStringLiteral("Rock/Queen"));
    QTest::keyClick(chooser.filter, Qt::Key_Up);
    EXPECT_EQ(chooser.chosen(), QStringLiteral("Rock/Nirvana"));
    QTest::keyClick(chooser.filter, Qt::Key_Return);
    EXPECT_EQ(chooser.result(), QDialog::Accepted);

    QTest::keyClicks(chooser.filter, QStringLiteral("zzz"));
    EXPECT_TRUE(chooser.chosen().isEmpty()) << "nothing shown, nothing chosen";
}

// "File under…" stores the assignment where plumtide-cli assign does, and the new plan
// files the artist's songs there, marked "assigned".
TEST_F(KeyboardTest, FileUnderAssignsTheArtistAndPlansItsFilesThere)
{
    folder(QStringLiteral("library/Rock/Metallica"));
    folder(QStringLiteral("library/Rock/Metallica/Load"));
    const QString smells = song(QStringLiteral("Smells.mp3"), QStringLiteral("Nirvana"));
    QFile::remove(AssignmentsFile());
    TfrmMain& w = window();
    w.Refresh();
    w.btnSorterenClick();
    ASSERT_EQ(w.ListNieuwe->count(), 1);
    ASSERT_EQ(w.ListNieuwe->item(0)->text(), QStringLiteral("NIRVANA"));

    QStringList offered;
    w.chooseFolder = [&](const QString&, const QStringList& folders) {
        offered = folders;
        return QStringLiteral("Rock/Metallica");
    };
    w.btnFileUnderClick();
    EXPECT_TRUE(offered.isEmpty()) << "nothing selected, nothing asked";

    w.ListNieuwe->setCurrentRow(0);
    w.btnFileUnderClick();
    EXPECT_EQ(offered, QStringList { QStringLiteral("Rock/Metallica") });
    const std::vector<TAssignment> stored = LoadAssignments(AssignmentsFile()).entries();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].artist, QStringLiteral("nirvana"));
    EXPECT_EQ(stored[0].folder, QStringLiteral("Rock/Metallica"));

    EXPECT_EQ(column(w.planItems(), 0), QStringList { smells });
    EXPECT_EQ(column(w.planItems(), 1), QStringList { QStringLiteral("assigned") });
    EXPECT_EQ(w.ListNieuwe->count(), 0);
    EXPECT_TRUE(w.DetailsLines().contains(
        QStringLiteral("Files of NIRVANA go to Rock/Metallica from now on")));
    QFile::remove(AssignmentsFile());
}

// Alt with a letter presses the button underlining it and is never typed into a field; the
// buttons shown together underline different letters.
TEST_F(KeyboardTest, AltLettersPressButtonsAndAreNeverTyped)
{
    TfrmMain& w = activeWindow();
    QSet<QString> letters;
    for (QPushButton* button : { w.btnViewSource, w.btnViewDestination, w.btnVerplaats,
             w.btnSorteren, w.btnNieuweWissen, w.btnFileUnder, w.Ok }) {
        const QString letter = QKeySequence::mnemonic(button->text()).toString();
        EXPECT_FALSE(letter.isEmpty()) << button->objectName().toStdString();
        letters.insert(letter);
    }
    EXPECT_EQ(letters.size(), 7);

    w.edtSource->setFocus();
    const QString typed = w.edtSource->text();
    QTest::keyClick(w.edtSource, Qt::Key_D, Qt::AltModifier);
    // A button's letter presses it as a click shown: a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.ListDestination->isVisible(); }, 2000))
        << "Alt+D pressed no button";
    EXPECT_EQ(w.edtSource->text(), typed);
    w.edtSource->setFocus();
    QTest::keyClick(w.edtSource, Qt::Key_Q, Qt::AltModifier); // no button has it
    EXPECT_EQ(w.edtSource->text(), typed) << "typed, and so stored";
}

// F5 lists again and Ctrl+Z takes the last sort back, asking first, outside the fields; in
// a field Ctrl+Z takes back the typing.
TEST_F(KeyboardTest, KeysOfThePicturesAndTheUndo)
{
    TfrmMain& w = activeWindow();
    QStringList asked;
    w.confirm = [&](const QString& question) {
        asked.append(question);
        return false;
    };
    w.edtSource->setFocus();
    const QString before = w.edtSource->text();
    QTest::keyClicks(w.edtSource, QStringLiteral("x"));
    QTest::keyClick(w.edtSource, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.edtSource->text(), before);
    EXPECT_TRUE(asked.isEmpty());

    song(QStringLiteral("new.mp3"), QStringLiteral("Abba"));
    w.ListSource->setFocus();
    const int listed = w.sourceItems().count();
    QTest::keyClick(w.ListSource, Qt::Key_F5);
    EXPECT_EQ(w.sourceItems().count(), listed + 1);

    // Asked only when there is a sort to take back: one is made first.
    folder(QStringLiteral("library/ABBA"));
    w.btnSorterenClick();
    w.btnVerplaatsClick();
    w.ListSource->setFocus();
    QTest::keyClick(w.ListSource, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(asked.size(), 1);
}
