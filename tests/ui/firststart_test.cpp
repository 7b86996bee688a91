// The first-start panel: when it greets, what it proposes and what its answers store.

#include "libraryfixture.h"
#include "platform/paths.h"
#include "ui/firststart.h"
#include "ui/foldertree.h"

#include <QRadioButton>

using namespace plumtide;
using plumtide::test::LibraryTest;

namespace
{

bool waitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 500 && !done(); ++i)
        QTest::qWait(10);
    return done();
}

// A window whose settings hold no folder the user chose: only the program's folder, which
// the window's fields store by themselves.
class FirstStartTest : public LibraryTest
{
protected:
    FirstStartTest() { store.WriteValue(QStringLiteral("Source"), ProgramFolder()); }
};

} // namespace

TEST(FirstStart, DueUntilAnsweredOrAFolderChosen)
{
    const QString program = QStringLiteral("/opt/plumtide");
    const struct {
        const char* source; // nullptr: not stored
        const char* firstStart;
        bool due;
    } cases[] = {
        { nullptr, nullptr, true },
        { "/opt/plumtide/", nullptr, true },
        { "", nullptr, true },
        { "/home/u/Downloads", nullptr, false }, // a settings file from before the panel
        { nullptr, "done", false },
        { nullptr, "DONE?", true },
    };
    for (const auto& c : cases) {
        TMemorySettingsStore store;
        if (c.source)
            store.WriteValue(QStringLiteral("source"), QString::fromUtf8(c.source));
        if (c.firstStart)
            store.WriteValue(QStringLiteral("FirstStart"), QString::fromUtf8(c.firstStart));
        EXPECT_EQ(FirstStartDue(store, program), c.due)
            << (c.source ? c.source : "-") << " " << (c.firstStart ? c.firstStart : "-");
    }
}

TEST(FirstStart, ProposesTheDesktopFoldersNeverTheProgramFolder)
{
    const QString home = QStringLiteral("/home/u");
    const QString program = QStringLiteral("/opt/plumtide");
    const struct {
        QString downloads, music, source, destination;
    } cases[] = {
        { "/home/u/Dl", "/data/Music", "/home/u/Dl", "/data/Music" },
        { "", program, "/home/u/Downloads", "/home/u/Music" },
        { home, "/opt/plumtide/", "/home/u/Downloads", "/home/u/Music" },
    };
    for (const auto& c : cases) {
        const TFirstStartChoice choice = ProposeFirstStart(c.downloads, c.music, home, program);
        EXPECT_EQ(choice.source, c.source);
        EXPECT_EQ(choice.destination, c.destination);
        EXPECT_EQ(choice.matching, TMatching::Careful);
    }
}

TEST_F(FirstStartTest, StartStoresTheChoiceAndListsTheFolders)
{
    song(QStringLiteral("Pink Floyd - Money.mp3"), QString());
    const QString queen = folder(QStringLiteral("library/Rock/Queen"));
    TfrmMain& w = window();
    ASSERT_NE(w.pnlFirstStart, nullptr);
    TFirstStartPanel& panel = *w.pnlFirstStart;
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(panel.rdbCareful->isChecked());
    EXPECT_NE(panel.edtSource->text(), ProgramFolder());
    EXPECT_NE(panel.edtDestination->text(), ProgramFolder());

    // The program's folder browser fills the panel's field, and stores nothing.
    panel.edtDestination->setText(queen);
    click(panel.imgBrowseDestination);
    EXPECT_EQ(w.browseTarget(), TBrowseTarget::FirstStartDestination);
    ASSERT_TRUE(waitFor([&] { return w.ShellTreeView->SelectedFolder() == queen; }));
    panel.edtDestination->setText(QStringLiteral("typed"));
    store.clearWrites();
    w.ShellTreeView->setFocus();
    QTest::keyClick(w.ShellTreeView, Qt::Key_Return);
    EXPECT_EQ(panel.edtDestination->text(), queen);
    EXPECT_NE(w.edtDestination->text(), queen);
    EXPECT_TRUE(store.writes().isEmpty());

    panel.edtSource->setText(source);
    panel.edtDestination->setText(destination);
    panel.rdbSimilar->setChecked(true);
    click(panel.btnStart);

    EXPECT_EQ(w.pnlFirstStart, nullptr);
    EXPECT_FALSE(w.pnlBrowse->isVisible());
    for (const auto& [name, value] :
        { std::pair { "Source", source }, { "Destination", destination },
            { "Matching", QStringLiteral("similar") }, { "FirstStart", QStringLiteral("done") } })
        EXPECT_EQ(store.ReadValue(QString::fromLatin1(name)), value) << name;
    EXPECT_EQ(w.workingCopy().matching, TMatching::Similar);
    EXPECT_EQ(w.edtSource->text(), source);
    EXPECT_EQ(w.sourceItems().count(), 1) << "the chosen folders are listed";
}

TEST_F(FirstStartTest, CloseMarkStoresOnlyThatItWasAnswered)
{
    {
        TfrmMain& w = window();
        ASSERT_NE(w.pnlFirstStart, nullptr);
        store.clearWrites();
        click(w.pnlFirstStart->btnClose);
        EXPECT_EQ(w.pnlFirstStart, nullptr);
        EXPECT_EQ(store.writes(), QStringList { QStringLiteral("FirstStart=done") });
    }
    TfrmMain again(store);
    EXPECT_EQ(again.pnlFirstStart, nullptr);
}
