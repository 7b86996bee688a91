// The main window's lists against real folders and mp3 files: the refresh, the view
// switches, the error handler, Abort and the start-up step.

#include "libraryfixture.h"
#include "platform/errors.h"

#include <QLabel>

using namespace plumtide;
using plumtide::test::LibraryTest;

namespace
{

const QString kSourceView = QStringLiteral("In the view above you can see the source mp3 files");
const QString kDestinationView
    = QStringLiteral("In the view above you can see the destination folders named after a artist");

} // namespace

TEST_F(LibraryTest, RefreshListsTheFoldersAndSongsOfTheFields)
{
    folder(QStringLiteral("library/Pop/Madonna"));
    folder(QStringLiteral("library/ABBA"));
    folder(QStringLiteral("library/.cache"));
    const QString waterloo
        = song(QStringLiteral("a.mp3"), QStringLiteral("Abba"), QStringLiteral("Waterloo"));
    const QString queen = song(QStringLiteral("sub/Queen - Bohemian Rhapsody.mp3"), QString());

    TfrmMain& w = window();
    w.Refresh();

    const TListModel& folders = w.destinationItems();
    EXPECT_EQ(column(folders, 0),
        (QStringList { destination + QStringLiteral("/ABBA"), destination + QStringLiteral("/Pop"),
            destination + QStringLiteral("/Pop/Madonna") }));
    EXPECT_EQ(column(folders, 1),
        (QStringList {
            QStringLiteral("ABBA"), QStringLiteral("Pop"), QStringLiteral("Pop/Madonna") }));
    EXPECT_EQ(folders.row(0).imageIndex, TImageList::Folder);

    const TListModel& files = w.sourceItems();
    EXPECT_EQ(column(files, 0), (QStringList { waterloo, queen }));
    EXPECT_EQ(column(files, 1), (QStringList { QStringLiteral("ABBA"), QStringLiteral("QUEEN") }));
    EXPECT_EQ(column(files, 2), (QStringList { QStringLiteral("Waterloo"), QString() }));
    EXPECT_EQ(files.row(1).imageIndex, TImageList::MusicNotes);
    // The views know of every row, not only the model.
    EXPECT_EQ(w.ListSource->model()->rowCount(), 2);

    EXPECT_TRUE(w.DetailsLines().isEmpty());
    expectIdle(w);
    EXPECT_FALSE(w.btnVerplaats->isEnabled());
    EXPECT_FALSE(w.ListSource->testAttribute(Qt::WA_SetCursor));

    // A field that names no folder gives an empty list, silently.
    w.edtSource->setText(source + QStringLiteral("/missing"));
    w.Refresh();
    EXPECT_EQ(w.sourceItems().count(), 0);
    EXPECT_EQ(w.destinationItems().count(), 3);
}

TEST_F(LibraryTest, ViewButtonsRescanAndShowTheirListAlone)
{
    folder(QStringLiteral("library/ABBA"));
    song(QStringLiteral("a.mp3"), QStringLiteral("Abba"));
    TfrmMain& w = window();
    w.Refresh();

    // What the window looks like while the switch's refresh runs.
    struct During {
        bool statusVisible, sourceVisible, sourceEnabled, destinationEnabled;
    };
    std::vector<During> during;
    QObject::connect(&w.destinationItems(), &QAbstractItemModel::rowsInserted, &w, [&] {
        during.push_back({ w.Status->isVisible(), w.ListSource->isVisible(),
            w.ListSource->isEnabled(), w.ListDestination->isEnabled() });
    });

    folder(QStringLiteral("library/QUEEN"));
    click(w.btnViewDestination);
    ASSERT_FALSE(during.empty());
    // The source list stays on top, usable, until the refresh is over.
    EXPECT_TRUE(during[0].sourceVisible);
    EXPECT_TRUE(during[0].sourceEnabled);
    EXPECT_FALSE(during[0].destinationEnabled);
    EXPECT_TRUE(w.ListDestination->isVisible());
    EXPECT_FALSE(w.ListSource->isVisible());
    EXPECT_FALSE(w.Status->isVisible());
    EXPECT_EQ(w.lblActive->text(), QStringLiteral("Destination folders"));
    EXPECT_EQ(column(w.destinationItems(), 1),
        (QStringList { QStringLiteral("ABBA"), QStringLiteral("QUEEN") }));
    EXPECT_EQ(w.sourceItems().count(), 1);
    EXPECT_EQ(w.DetailsLines(), QStringList { kDestinationView });
    expectIdle(w);

    // From the plan view: the plan stays on top while the lists are rebuilt.
    w.Status->show();
    song(QStringLiteral("b.mp3"), QStringLiteral("Queen"));
    during.clear();
    click(w.btnViewSource);
    ASSERT_FALSE(during.empty());
    EXPECT_TRUE(during[0].statusVisible);
    EXPECT_TRUE(during[0].sourceVisible);
    EXPECT_FALSE(during[0].sourceEnabled);
    EXPECT_TRUE(w.ListSource->isVisible());
    EXPECT_FALSE(w.ListDestination->isVisible());
    EXPECT_FALSE(w.Status->isVisible());
    EXPECT_EQ(w.lblActive->text(), QStringLiteral("Source files"));
    EXPECT_EQ(w.sourceItems().count(), 2);
    EXPECT_EQ(w.DetailsLines(), QStringList { kSourceView });
    for (QWidget* view : { static_cast<QWidget*>(w.Status), static_cast<QWidget*>(w.ListSource),
             static_cast<QWidget*>(w.ListDestination) })
        EXPECT_TRUE(view->isEnabled());
    expectIdle(w);
}

TEST_F(LibraryTest, ErrorInsideARefreshEndsInAFreshRefreshWithoutADialog)
{
    folder(QStringLiteral("library/ABBA"));
    song(QStringLiteral("a.mp3"), QStringLiteral("Abba"));
    TfrmMain& w = window();
    w.Refresh();

    // The first folder row listed by the next refresh throws, as a failing tag read or file
    // call would.
    int thrown = 0;
    QObject::connect(&w.destinationItems(), &QAbstractItemModel::rowsInserted, &w, [&thrown] {
        if (thrown++ == 0)
            throw IOError(QStringLiteral("Cannot read"), QStringLiteral("/somewhere"), EIO);
    });
    click(w.btnViewSource);

    EXPECT_EQ(thrown, 2) << "the error handler refreshed once more";
    EXPECT_FALSE(anyDialogShown());
    EXPECT_FALSE(w.refreshBusy()) << "a refresh that failed must not block the next ones";
    EXPECT_EQ(w.destinationItems().count(), 1);
    EXPECT_EQ(w.sourceItems().count(), 1);
    EXPECT_TRUE(w.ListSource->isEnabled());
    EXPECT_TRUE(w.ListDestination->isEnabled());
    expectIdle(w);

    // And the next refresh works as usual.
    song(QStringLiteral("b.mp3"), QStringLiteral("Queen"));
    click(w.btnViewSource);
    EXPECT_EQ(w.sourceItems().count(), 2);
}

// Abort stops the work it was pressed for and nothing after it: it is usable only while
// work runs, and the flag goes when that work ends, an aborted planning included.
TEST_F(LibraryTest, AbortStopsTheWorkUnderWayAndNothingAfterIt)
{
    for (int i = 0; i < 300; ++i)
        folder(QStringLiteral("library/Artist %1").arg(i, 3, 10, QLatin1Char('0')));
    const QString a = song(QStringLiteral("a.mp3"), QStringLiteral("Artist 001"));
    TfrmMain& w = window();
    EXPECT_FALSE(w.imgannuleren->isEnabled()) << "idle";
    QTest::mouseClick(w.imgannuleren, Qt::LeftButton);
    EXPECT_FALSE(w.abortFlag());

    // Abort is clicked as soon as the first rows show.
    const auto clickAbort
        = QObject::connect(&w.destinationItems(), &QAbstractItemModel::rowsInserted, &w,
            [&w] { QTest::mouseClick(w.imgannuleren, Qt::LeftButton); });
    w.Refresh();
    EXPECT_GT(w.destinationItems().count(), 0);
    EXPECT_LT(w.destinationItems().count(), 300);
    EXPECT_EQ(w.sourceItems().count(), 0);
    EXPECT_FALSE(w.abortFlag()) << "over with the refresh it stopped";
    EXPECT_FALSE(w.imgannuleren->isEnabled());
    expectIdle(w);

    // A planning stopped the same way leaves nothing set for the move after it.
    click(w.btnSorteren);
    QObject::disconnect(clickAbort);
    EXPECT_FALSE(w.abortFlag());
    click(w.btnSorteren);
    ASSERT_TRUE(w.btnVerplaats->isEnabled());
    click(w.btnVerplaats);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(w.destinationItems().count(), 300);
}

TEST_F(LibraryTest, StartUpStepRefreshesOnceAfterOneAndAHalfSeconds)
{
    store.WriteValue(QStringLiteral("autoStart"), QStringLiteral("1"));
    store.WriteValue(QStringLiteral("chkAutoTime"), QStringLiteral("1"));
    song(QStringLiteral("a.mp3"), QStringLiteral("Abba"));
    TfrmMain& w = window();
    w.startupTimer->start();
    EXPECT_FALSE(w.btnSorteren->isEnabled());
    EXPECT_FALSE(w.AutoTimer->isActive());

    EXPECT_TRUE(QTest::qWaitFor([&w] { return w.sourceItems().count() == 1; }, 5000));
    EXPECT_FALSE(w.startupTimer->isActive());
    EXPECT_TRUE(w.isMinimized()) << "start hidden, without a notification area";
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.AutoTimer->isActive()) << "automatic sorting is on";
    expectIdle(w);
}

// The lists show the files of the formats the settings name: a FLAC file whose tags cannot
// be read is keyed by its name, as an mp3 file without a tag is.
TEST_F(LibraryTest, RefreshListsTheFormatsOfTheSettings)
{
    store.WriteValue(QStringLiteral("Formats"), QStringLiteral("mp3,flac"));
    const QString waterloo
        = song(QStringLiteral("a.mp3"), QStringLiteral("Abba"), QStringLiteral("Waterloo"));
    const QString live = source + QStringLiteral("/Queen - live.flac");
    QFile flac(live);
    ASSERT_TRUE(flac.open(QIODevice::WriteOnly));
    flac.write(QByteArray(600, 'x'));
    flac.close();

    TfrmMain& w = window();
    w.Refresh();
    EXPECT_EQ(column(w.sourceItems(), 0), (QStringList { waterloo, live }));
    EXPECT_EQ(column(w.sourceItems(), 1),
        (QStringList { QStringLiteral("ABBA"), QStringLiteral("QUEEN") }));

    w.workingCopy().formats = TFileFormats();
    w.Refresh();
    EXPECT_EQ(column(w.sourceItems(), 0), QStringList { waterloo });
}
