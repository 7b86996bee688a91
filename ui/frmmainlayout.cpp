// The main window's controls at their places on the artwork, its menus, timers and focus
// order: where everything is, kept apart from what the handlers do.

#include "ui/frmmain.h"

#include "ui/artwork.h"
#include "ui/controls.h"
#include "ui/folderpanel.h"
#include "ui/foldertree.h"
#include "ui/frmmainlayout.h"
#include "ui/keyboard.h"
#include "ui/planview.h"
#include "ui/theme.h"

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace plumtide
{

namespace
{

using controls::image;
using controls::label;
using controls::setAllEnabled;

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QRect& rect,
    const QString& hint)
{
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(name);
    result->setGeometry(rect);
    result->setToolTip(hint);
    return result;
}

QLineEdit* field(QWidget* parent, const QString& name, const QRect& rect, const QString& hint)
{
    auto* result = new QLineEdit(QStringLiteral("C:\\projects"), parent);
    result->setObjectName(name);
    result->setGeometry(rect);
    result->setToolTip(hint);
    return result;
}

TListView* listView(QWidget* parent, const QString& name,
    std::initializer_list<std::pair<const char*, int>> columns, const TImageList& images,
    const QString& hint)
{
    auto* result = new TListView(columns, &images, parent);
    result->setObjectName(name);
    result->setGeometry(8, 120, 713, 273);
    result->setToolTip(hint);
    return result;
}

QAction* menuEntry(QMenu* menu, const QString& name, const QString& caption,
    const QKeySequence& shortcut, const QIcon& picture)
{
    QAction* action = menu->addAction(picture, caption);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    // The shortcut works where the menu's view has the focus, as the menu would.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action->setIconVisibleInMenu(!picture.isNull());
    return action;
}

} // namespace

void TfrmMain::createControls()
{
    const qreal density = devicePixelRatioF();
    const Qt::CursorShape hand = Qt::PointingHandCursor;
    const QPixmap folderGlyph = LoadPicture(QLatin1String(artwork::kBrowse), density);

    // Pictures and labels lie on the window surface, under every other control.
    imgBackground = image(this, QStringLiteral("imgBackground"),
        QRect(QPoint(0, 0), kMainClientSize),
        LoadPicture(QLatin1String(artwork::kMainBackground), density), QString(), Qt::ArrowCursor);
    imgBackground->unsetCursor();
    lblVersion = label(this, QStringLiteral("lblVersion"),
        QStringLiteral("%1 %2").arg(
            QCoreApplication::applicationName(), QCoreApplication::applicationVersion()),
        QPoint(10, 457), false);
    lblZoekMap = label(
        this, QStringLiteral("lblZoekMap"), QStringLiteral("Source folder:"), QPoint(16, 32), true);
    imgbrowseSource = image(this, QStringLiteral("imgbrowseSource"), QRect(424, 34, 16, 16),
        folderGlyph, QStringLiteral("Browse"), hand);
    lblDoelMap = label(this, QStringLiteral("lblDoelMap"), QStringLiteral("Destination folder:"),
        QPoint(16, 56), true);
    imgBrowseDestination = image(this, QStringLiteral("imgBrowseDestination"),
        QRect(424, 59, 16, 16), folderGlyph, QStringLiteral("Browse"), hand);
    imgOpties = image(this, QStringLiteral("imgOpties"), QRect(666, 36, 32, 32),
        LoadPicture(QLatin1String(artwork::kGear), density), QStringLiteral("Settings"), hand);
    Label4
        = label(this, QStringLiteral("Label4"), QStringLiteral("Settings"), QPoint(664, 64), false);
    lblActive = label(this, QStringLiteral("lblActive"), QString(), QPoint(8, 144), true);
    imgannuleren = image(this, QStringLiteral("imgannuleren"), QRect(613, 40, 25, 25),
        LoadPicture(QLatin1String(artwork::kAbort), density), QStringLiteral("Abort"), hand);
    Label6 = label(this, QStringLiteral("Label6"), QStringLiteral("Abort"), QPoint(613, 64), false);
    Title = image(
        this, QStringLiteral("Title"), QRect(0, 0, 673, 25), QPixmap(), QString(), Qt::ArrowCursor);
    imgExit = image(this, QStringLiteral("imgExit"), QRect(696, -3, 33, 36), QPixmap(),
        QStringLiteral("Exit"), hand);
    Image4 = image(this, QStringLiteral("Image4"), QRect(677, 5, 16, 16),
        ProgramIcon().pixmap(QSize(16, 16), density), QString(), Qt::ArrowCursor);
    Image4->unsetCursor();
    // The maker's address is the program's home page.
    WebLabel1 = new TWebLabel(this);
    WebLabel1->setObjectName(QStringLiteral("WebLabel1"));
    const auto [linkTyp, link] = SplitAddress(HomePage());
    WebLabel1->SetLinkTyp(linkTyp);
    WebLabel1->SetLink(link);
    WebLabel1->setText(link);
    WebLabel1->adjustSize();
    // At 456 a line of 10 points ends below the window's edge, its underline and descenders
    // cut off; it rises over the footer line instead.
    WebLabel1->move(544, std::min(456, kMainClientSize.height() - WebLabel1->height()));
    imgMinimize = image(this, QStringLiteral("imgMinimize"), QRect(672, -3, 25, 36), QPixmap(),
        QStringLiteral("Minimize"), hand);

    // The three views share one place, stacked from bottom to top.
    ListDestination = listView(this, QStringLiteral("ListDestination"),
        { { "Folder", 200 }, { "Artist", 200 } }, ImageList,
        QStringLiteral("List of destination folders"));
    ListDestination->hide();
    ListSource = listView(this, QStringLiteral("ListSource"),
        { { "Filename", 380 }, { "Artist", 100 }, { "Title", 200 } }, ImageList,
        QStringLiteral("List source folder"));
    Status = listView(this, QStringLiteral("Status"),
        { { "Source file", 249 }, { "%", 50 }, { "Destination", 200 }, { "Artist", 182 } },
        ImageList, QStringLiteral("List of files to be sorted"));
    Status->setColumnElidesAtEnd(1); // the % column: "42.857..." rather than "42...29"
    LayOutPlanColumns(*Status);
    Status->hide();

    btnVerplaats = button(this, QStringLiteral("btnVerplaats"), QStringLiteral("M&ove files"),
        QRect(520, 88, 97, 25), QStringLiteral("Start moving files"));

    Details = new QPlainTextEdit(this);
    Details->setObjectName(QStringLiteral("Details"));
    Details->setGeometry(8, 400, 713, 49);
    Details->setReadOnly(true);
    Details->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Details->setCursor(Qt::ArrowCursor);
    Details->viewport()->setCursor(Qt::ArrowCursor);
    Details->setPlainText(kSourceViewText);

    edtSource = field(this, QStringLiteral("edtSource"), QRect(136, 32, 281, 21),
        QStringLiteral("Source folder"));
    edtDestination = field(this, QStringLiteral("edtDestination"), QRect(136, 56, 281, 21),
        QStringLiteral("Destination folder"));
    btnViewSource = button(this, QStringLiteral("btnViewSource"), QStringLiteral("&Source files"),
        QRect(8, 88, 97, 25), QStringLiteral("Show source files"));
    btnViewDestination
        = button(this, QStringLiteral("btnViewDestination"), QStringLiteral("&Destination folders"),
            QRect(112, 88, 97, 25), QStringLiteral("Show destination folder/subfolders"));
    btnSorteren = button(this, QStringLiteral("btnSorteren"), QStringLiteral("S&tart sort"),
        QRect(624, 88, 97, 25), QStringLiteral("Start sorting files using settings"));

    // Usable only once the first refresh has filled the lists; Abort only while work runs.
    setAllEnabled({ imgbrowseSource, imgBrowseDestination, edtSource, edtDestination, btnVerplaats,
                      btnViewSource, btnViewDestination, btnSorteren, imgannuleren },
        false);

    connect(imgannuleren, &TImage::clicked, this, &TfrmMain::imgannulerenClick);
    connect(imgExit, &TImage::clicked, this, &TfrmMain::imgExitClick);
}

void TfrmMain::createBrowsePanel()
{
    const QSize size = kBrowsePanelPlace.size();
    pnlBrowse = new TFolderPanel(this, QStringLiteral("pnlBrowse"),
        { size, QRect(1, 1, size.width() - 2, size.height() - 2), QRect(240, -3, 29, 28),
            QRect(4, 40, size.width() - 8, size.height() - 43) },
        QStringLiteral("imgBrowser"));
    pnlBrowse->move(kBrowsePanelPlace.topLeft());
    imgBrowseFile = pnlBrowse->addBackdrop(
        QStringLiteral("imgBrowseFile"), QLatin1String(artwork::kBrowseFromBackdrop));
    imgbrowseDir = pnlBrowse->addBackdrop(
        QStringLiteral("imgbrowseDir"), QLatin1String(artwork::kBrowseToBackdrop));
    imgbrowseDir->hide();
    imgBrowser = pnlBrowse->closeZone;
    ShellTreeView = pnlBrowse->tree;
}

void TfrmMain::createNewArtistsPanel()
{
    pnlNieuwe = new QFrame(this);
    pnlNieuwe->setObjectName(QStringLiteral("pnlNieuwe"));
    pnlNieuwe->setGeometry(kNewArtistsPanelPlace);
    const int height = kNewArtistsPanelPlace.height();
    Image1 = image(pnlNieuwe, QStringLiteral("Image1"),
        QRect(QPoint(0, 0), kNewArtistsPanelPlace.size()),
        LoadPicture(QLatin1String(artwork::kNewArtistsBackdrop), devicePixelRatioF()), QString(),
        Qt::ArrowCursor);
    Image1->unsetCursor();
    imgCloseNieuwe = image(pnlNieuwe, QStringLiteral("imgCloseNieuwe"), QRect(240, -3, 32, 28),
        QPixmap(), QStringLiteral("Close"), Qt::PointingHandCursor);
    ListNieuwe = new QListWidget(pnlNieuwe);
    ListNieuwe->setObjectName(QStringLiteral("ListNieuwe"));
    ListNieuwe->setGeometry(3, 40, 261, height - 76);
    ListNieuwe->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListNieuwe->setUniformItemSizes(true);
    ListNieuwe->setStyleSheet(QStringLiteral("QListView::item { height: 13px; }"));
    btnNieuweWissen = button(pnlNieuwe, QStringLiteral("btnNieuweWissen"),
        QStringLiteral("De&lete"), QRect(4, height - 30, 85, 25), QString());
    btnFileUnder = button(pnlNieuwe, QStringLiteral("btnFileUnder"), QStringLiteral("&File under…"),
        QRect(91, height - 30, 86, 25),
        QStringLiteral("File the selected artist's songs under a folder you choose, from now on"));
    Ok = button(pnlNieuwe, QStringLiteral("Ok"), QStringLiteral("&Create"),
        QRect(179, height - 30, 85, 25), QString());
    // Enter presses "Create" only while it has the focus: an Enter meant for another control
    // (a field, "Move files") must never make folders.
    Ok->setAutoDefault(true);
    pnlNieuwe->hide();
}

void TfrmMain::createMenus()
{
    SourcePopupMenu = new QMenu(this);
    SourcePopupMenu->setObjectName(QStringLiteral("SourcePopupMenu"));
    Verplaatsennaardubbelebestanden
        = menuEntry(SourcePopupMenu, QStringLiteral("Verplaatsennaardubbelebestanden"),
            QStringLiteral("Move file to doubles folder"), QKeySequence(Qt::SHIFT | Qt::Key_Delete),
            ImageList.icon(TImageList::Folder));
    Verwijderen = menuEntry(SourcePopupMenu, QStringLiteral("Verwijderen"),
        QStringLiteral("&Delete"), QKeySequence(Qt::Key_Delete), ImageList.icon(TImageList::Cross));
    ListSource->addActions(SourcePopupMenu->actions());
    ListSource->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListSource, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        SourcePopupMenuPopup();
        SourcePopupMenu->popup(ListSource->viewport()->mapToGlobal(at));
    });
    // As for the plan's menu: the shortcuts always reach the handlers, which apply the
    // enabling rule to the selection and the disk as they are at that moment.
    connect(SourcePopupMenu, &QMenu::aboutToHide, this, [this] {
        Verplaatsennaardubbelebestanden->setEnabled(true);
        Verwijderen->setEnabled(true);
    });

    StatusPopUp = new QMenu(this);
    StatusPopUp->setObjectName(QStringLiteral("StatusPopUp"));
    Verwijderen1 = menuEntry(StatusPopUp, QStringLiteral("Verwijderen1"), QStringLiteral("&Delete"),
        QKeySequence(Qt::Key_Delete), ImageList.icon(TImageList::Cross));
    Status->addAction(Verwijderen1);
    FileUnderSameArtist = menuEntry(StatusPopUp, QStringLiteral("FileUnderSameArtist"),
        QStringLiteral("&File under its artist's folder"), QKeySequence(), QIcon());
    Status->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Status, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        StatusPopUpPopup();
        StatusPopUp->popup(Status->viewport()->mapToGlobal(at));
    });
    // The menu's enabling is for the menu only: the Del key always reaches the handler,
    // which applies the same rule to the row selected at that moment.
    connect(StatusPopUp, &QMenu::aboutToHide, this, [this] { Verwijderen1->setEnabled(true); });
    connect(Verwijderen1, &QAction::triggered, this, &TfrmMain::Verwijderen1Click);
    UndoLastSort = menuEntry(StatusPopUp, QStringLiteral("UndoLastSort"),
        QStringLiteral("&Undo last sort"), QKeySequence(), QIcon());

    DestPopup = new QMenu(this);
    DestPopup->setObjectName(QStringLiteral("DestPopup"));
    Delete1 = menuEntry(DestPopup, QStringLiteral("Delete1"), QStringLiteral("&Delete"),
        QKeySequence(Qt::Key_Delete), QIcon());
    connect(DestPopup, &QMenu::aboutToShow, this, &TfrmMain::DestPopupPopup);

    // The notification-area icon, where minimising sends the program, and its menu.
    trayMenu = new QMenu(this);
    trayMenu->setObjectName(QStringLiteral("trayMenu"));
    // The way back that every tray offers, also those whose click opens the menu.
    ShowPlumtide = menuEntry(trayMenu, QStringLiteral("ShowPlumtide"),
        QStringLiteral("&Show Plumtide"), QKeySequence(), QIcon());
    trayMenu->setDefaultAction(ShowPlumtide);
    trayMenu->addAction(UndoLastSort);
    Afsluiten1 = menuEntry(trayMenu, QStringLiteral("Afsluiten1"), QStringLiteral("&Exit"),
        QKeySequence(), ImageList.icon(TImageList::Cross));
    Systray = new TSystray(*this, this);
    Systray->setObjectName(QStringLiteral("Systray"));
    Systray->SetHint(QStringLiteral("Plumtide"));
    Systray->SetIcon(ProgramIcon());
    Systray->SetPopupMenu(trayMenu);
}

void TfrmMain::createTimers()
{
    AutoTimer = new QTimer(this);
    AutoTimer->setObjectName(QStringLiteral("AutoTimer"));
    AutoTimer->setInterval(1000);

    // It runs once, about one and a half seconds after the window is created.
    startupTimer = new QTimer(this);
    startupTimer->setObjectName(QStringLiteral("startupTimer"));
    startupTimer->setInterval(1500);
    startupTimer->setSingleShot(true);
    startupTimer->start();

    // Ticks only matter while the title strip is dragged, so it runs only then (the
    // title-strip dragger starts and stops it).
    mouseTimer = new QTimer(this);
    mouseTimer->setObjectName(QStringLiteral("mouseTimer"));
    storeFlushTimer = new QTimer(this);
    storeFlushTimer->setObjectName(QStringLiteral("storeFlushTimer"));
    storeFlushTimer->setInterval(250);
    storeFlushTimer->setSingleShot(true);
    connect(storeFlushTimer, &QTimer::timeout, this, [this] {
        try {
            m_store.Flush();
        } catch (const std::exception& error) {
            // Still pending: the next write or flush tries again.
            qWarning("Plumtide: %s", error.what());
        }
    });
}

void TfrmMain::setFocusOrder()
{
    keyboard::MakeActions({ imgbrowseSource, imgBrowseDestination, imgannuleren, imgOpties,
        imgMinimize, imgExit, imgBrowser, imgCloseNieuwe });
    keyboard::PressOnEnter({ btnViewSource, btnViewDestination, btnSorteren, btnVerplaats,
        btnNieuweWissen, btnFileUnder });
    // As the window reads: the fields, the list shown, the buttons left to right, then the
    // panels over the list and the memo.
    controls::tabOrder({ edtSource, imgbrowseSource, edtDestination, imgBrowseDestination,
        imgannuleren, imgOpties, imgMinimize, imgExit, ListSource, ListDestination, Status,
        btnViewSource, btnViewDestination, btnVerplaats, btnSorteren, imgBrowser, ShellTreeView,
        imgCloseNieuwe, ListNieuwe, btnNieuweWissen, btnFileUnder, Ok, Details });
}

} // namespace plumtide
