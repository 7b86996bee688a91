#include "libraryfixture.h"
#include "ui/foldertree.h"
#include "ui/frmmainlayout.h"

#include <QScrollBar>

using namespace plumtide;
using namespace plumtide::test;

namespace
{

bool waitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 500 && !done(); ++i)
        QTest::qWait(10);
    return done();
}

QModelIndex childByCaption(
    const QAbstractItemModel& model, const QModelIndex& parent, const QString& caption)
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex child = model.index(row, 0, parent);
        if (child.data().toString() == caption)
            return child;
    }
    return {};
}

QStringList captions(const QAbstractItemModel& model, const QModelIndex& parent)
{
    QStringList out;
    for (int row = 0; row < model.rowCount(parent); ++row)
        out.append(model.index(row, 0, parent).data().toString());
    return out;
}

// The library's folders as the home folder, so that the tree's "Home" place holds them.
class FolderBrowserTest : public LibraryTest
{
protected:
    FolderBrowserTest()
        : m_home(qgetenv("HOME"))
    {
        root = QFileInfo(source).path();
        qputenv("HOME", QFile::encodeName(root));
    }
    ~FolderBrowserTest() override { qputenv("HOME", m_home); }

    // Opens the way to `caption` below "Home" in `tree` and clicks it.
    void clickBelowHome(TShellTreeView& tree, const QString& caption)
    {
        const QModelIndex home = childByCaption(
            tree.folders(), tree.folders().computerIndex(), QStringLiteral("Home"));
        tree.expand(home);
        QModelIndex target;
        ASSERT_TRUE(waitFor([&] {
            target = childByCaption(tree.folders(), home, caption);
            return target.isValid();
        }));
        clickNode(tree, target);
    }

    static void clickNode(TShellTreeView& tree, const QModelIndex& node)
    {
        tree.scrollTo(node);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(node).center());
    }

    static void doubleClickSelected(TShellTreeView& tree)
    {
        const QPoint at = tree.visualRect(tree.currentIndex()).center();
        QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
    }

    QString root;

private:
    QByteArray m_home;
};

} // namespace

TEST_F(FolderBrowserTest, TreeListsVisibleFoldersInOrderAndFollowsTheDisk)
{
    for (const char* name : { "b10", "b9", "A", ".hidden" })
        folder(QStringLiteral("incoming/") + QLatin1String(name));
    (void)QFile(source + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);

    TFolderTreeModel model;
    const QModelIndex computer = model.computerIndex();
    EXPECT_TRUE(model.path(computer).isEmpty());
    EXPECT_EQ(captions(model, computer).mid(0, 2), (QStringList { "/", "Home" }));
    const QModelIndex home = childByCaption(model, computer, QStringLiteral("Home"));
    model.fetchMore(home);
    ASSERT_TRUE(waitFor([&] { return model.rowCount(home) == 3; }));
    const QModelIndex incoming = childByCaption(model, home, QStringLiteral("incoming"));
    EXPECT_EQ(model.path(incoming), source);
    model.fetchMore(incoming);
    ASSERT_TRUE(waitFor([&] { return model.rowCount(incoming) == 3; }));
    EXPECT_EQ(captions(model, incoming), (QStringList { "A", "b9", "b10" }));

    folder(QStringLiteral("incoming/c"));
    QDir(source).rmdir(QStringLiteral("b9"));
    EXPECT_TRUE(waitFor([&] {
        return captions(model, incoming) == QStringList { "A", "b10", "c" };
    }));
}

TEST_F(FolderBrowserTest, OnlyExistingFoldersAreChosenAndRightClickSelects)
{
    TShellTreeView tree(nullptr);
    tree.resize(300, 400);
    tree.show();
    TFolderTreeModel& model = tree.folders();
    tree.setCurrentIndex(model.computerIndex());
    EXPECT_TRUE(tree.SelectedFolder().isEmpty());

    const QModelIndex home = childByCaption(model, model.computerIndex(), QStringLiteral("Home"));
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, tree.visualRect(home).center());
    EXPECT_EQ(tree.currentIndex(), home);
    EXPECT_EQ(tree.SelectedFolder(), root);

    clickBelowHome(tree, QStringLiteral("doubles"));
    EXPECT_EQ(tree.SelectedFolder(), doubles);
    QDir().rmdir(doubles);
    EXPECT_TRUE(tree.SelectedFolder().isEmpty());
}

TEST_F(FolderBrowserTest, TypingStoresEveryChangeAndOnceMoreOnLeaving)
{
    TfrmMain& w = window();
    w.enableButtons();
    w.edtSource->clear();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.edtSource->setFocus();
    store.clearWrites();

    QTest::keyClicks(w.edtSource, QStringLiteral("/music"));
    w.edtDestination->setFocus();
    EXPECT_EQ(store.writes(),
        (QStringList { "Source=/", "Source=/m", "Source=/mu", "Source=/mus", "Source=/musi",
            "Source=/music", "Source=/music" }));
}

TEST_F(FolderBrowserTest, BrowsingSwitchesFieldsAndADoubleClickAppliesTheFolder)
{
    song(QStringLiteral("one.mp3"), QStringLiteral("Madonna"));
    TfrmMain& w = window();
    w.edtSource->setText(doubles);
    store.clearWrites();

    w.imgBrowseDestinationClick();
    w.imgbrowseSourceClick();
    EXPECT_TRUE(w.pnlBrowse->isVisible());
    EXPECT_EQ(w.pnlBrowse->pos(), kBrowsePanelPlace.topLeft());
    EXPECT_TRUE(w.imgBrowseFile->isVisible());
    EXPECT_FALSE(w.imgbrowseDir->isVisible());

    // A click selects only; the double click applies.
    clickBelowHome(*w.ShellTreeView, QStringLiteral("incoming"));
    EXPECT_EQ(w.edtSource->text(), doubles);
    EXPECT_TRUE(store.writes().isEmpty());
    doubleClickSelected(*w.ShellTreeView);
    EXPECT_EQ(w.edtSource->text(), source);
    EXPECT_EQ(store.writes(),
        (QStringList { "Source=" + source, "Source=" + source, "Destination=" + destination }));
    EXPECT_EQ(w.sourceItems().count(), 1); // refreshed
    EXPECT_TRUE(w.pnlBrowse->isVisible());

    w.imgBrowserClick();
    EXPECT_FALSE(w.pnlBrowse->isVisible());
    EXPECT_EQ(w.browseTarget(), TBrowseTarget::Source);
}

TEST_F(FolderBrowserTest, TopNodeChangesNothingAndTheHeldFolderStoresAndRefreshesAgain)
{
    song(QStringLiteral("one.mp3"), QStringLiteral("Madonna"));
    TfrmMain& w = window();
    store.clearWrites();
    w.imgbrowseSourceClick();
    TShellTreeView& tree = *w.ShellTreeView;

    clickNode(tree, tree.folders().computerIndex());
    EXPECT_EQ(w.edtSource->text(), source);
    EXPECT_TRUE(store.writes().isEmpty());
    EXPECT_EQ(w.sourceItems().count(), 0); // no refresh

    clickBelowHome(tree, QStringLiteral("incoming"));
    EXPECT_TRUE(store.writes().isEmpty());
    tree.setFocus();
    QTest::keyClick(&tree, Qt::Key_Return);
    EXPECT_EQ(store.writes(), (QStringList { "Source=" + source, "Destination=" + destination }));
    EXPECT_EQ(w.sourceItems().count(), 1);
}

// The browser opens at the folder the field names, down through folders not read before.
TEST_F(FolderBrowserTest, OpensAtTheFolderInTheField)
{
    const QString deep = folder(QStringLiteral("library/Rock/Queen"));
    TfrmMain& w = window();
    w.edtDestination->setText(deep);
    w.imgBrowseDestinationClick();
    EXPECT_TRUE(waitFor([&] { return w.ShellTreeView->SelectedFolder() == deep; }))
        << w.ShellTreeView->SelectedFolder().toStdString();

    // A field naming no folder opens as far as the way goes.
    w.edtSource->setText(source + QStringLiteral("/gone/away"));
    w.imgbrowseSourceClick();
    EXPECT_TRUE(waitFor([&] { return w.ShellTreeView->SelectedFolder() == source; }))
        << w.ShellTreeView->SelectedFolder().toStdString();
}

// A whole disk becomes the source only when the user says so; other folders ask nothing.
TEST_F(FolderBrowserTest, ARootAsksBeforeItBecomesTheSource)
{
    TfrmMain& w = window();
    QStringList asked;
    w.confirm = [&](const QString& question) {
        asked.append(question);
        return false;
    };
    TShellTreeView& tree = *w.ShellTreeView;
    const QModelIndex root
        = childByCaption(tree.folders(), tree.folders().computerIndex(), QStringLiteral("/"));
    w.imgbrowseSourceClick();
    clickNode(tree, root);
    QTest::keyClick(&tree, Qt::Key_Space);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(w.edtSource->text(), source) << "No keeps the source";

    w.edtSource->setText(doubles);
    clickBelowHome(tree, QStringLiteral("incoming"));
    QTest::keyClick(&tree, Qt::Key_Return);
    EXPECT_EQ(w.edtSource->text(), source);
    EXPECT_EQ(asked.size(), 1);
}

TEST(FolderBrowserRule, FileSystemRoots)
{
    const std::vector<TMountedVolume> volumes { { QStringLiteral("/media/me/USB"),
        QStringLiteral("vfat"), QString(), true } };
    const struct {
        const char* folder;
        bool root;
    } cases[]
        = { { "/", true }, { "//", true }, { "/media/me/USB", true }, { "/media/me/USB/", true },
              { "/media/me/USB/Music", false }, { "/media/me", false }, { "/home", false } };
    for (const auto& c : cases)
        EXPECT_EQ(IsFileSystemRoot(QString::fromUtf8(c.folder), volumes), c.root) << c.folder;
}
