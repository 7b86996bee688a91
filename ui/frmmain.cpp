#include "ui/frmmain.h"

#include "platform/errors.h"
#include "platform/paths.h"
#include "ui/theme.h"
#include "ui/viewrules.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextBlock>
#include <QTimer>

namespace plumtide
{

namespace
{

const QSize kClientSize(729, 471);

QLabel* label(QWidget* parent, const QString& name, const QString& text, QPoint at, bool bold)
{
    auto* result = new QLabel(text, parent);
    result->setObjectName(name);
    result->setProperty("bold", bold);
    result->move(at);
    result->adjustSize();
    return result;
}

// A picture scaled into its rectangle, or an invisible zone when `picture` is empty.
TImage* image(QWidget* parent, const QString& name, const QRect& rect, const QPixmap& picture,
    const QString& hint, Qt::CursorShape cursor)
{
    auto* result = new TImage(parent);
    result->setObjectName(name);
    result->setGeometry(rect);
    if (!picture.isNull()) {
        result->setPixmap(picture);
        result->setScaledContents(true);
    }
    result->setToolTip(hint);
    result->setCursor(cursor);
    return result;
}

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

TfrmMain::TfrmMain(TSettingsStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_store(store)
{
    SkinWindow(*this, QStringLiteral("frmMain"), QStringLiteral("Plumtide"), kClientSize,
        QPoint(159, 106));

    createControls();
    createBrowsePanel();
    createNewArtistsPanel();
    createMenus();
    createTimers();
    setFocusOrder();

    FormCreate();
}

TfrmMain::~TfrmMain()
{
    // The image list is a member and dies before the QWidget base, which still closes the
    // window and lays out the views: they must not reach for it then.
    hide();
    for (TListView* view : { ListDestination, ListSource, Status })
        view->items().setImageList(nullptr);
}

void TfrmMain::createControls()
{
    const qreal density = devicePixelRatioF();
    const Qt::CursorShape hand = Qt::PointingHandCursor;
    const QPixmap folderGlyph = LoadPicture(QLatin1String(artwork::kBrowse), density);

    // Pictures and labels lie on the window surface, under every other control.
    imgBackground = image(this, QStringLiteral("imgBackground"), QRect(QPoint(0, 0), kClientSize),
        LoadPicture(QLatin1String(artwork::kMainBackground), density), QString(), Qt::ArrowCursor);
    imgBackground->unsetCursor();
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
    Status->hide();

    btnVerplaats = button(this, QStringLiteral("btnVerplaats"), QStringLiteral("Move files"),
        QRect(520, 88, 97, 25), QStringLiteral("Start moving files"));

    Details = new QPlainTextEdit(this);
    Details->setObjectName(QStringLiteral("Details"));
    Details->setGeometry(8, 400, 713, 49);
    Details->setReadOnly(true);
    Details->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Details->setCursor(Qt::ArrowCursor);
    Details->viewport()->setCursor(Qt::ArrowCursor);
    Details->setPlainText(QStringLiteral("In the view above you can see the source mp3 files"));

    edtSource = field(this, QStringLiteral("edtSource"), QRect(136, 32, 281, 21),
        QStringLiteral("Source folder"));
    edtDestination = field(this, QStringLiteral("edtDestination"), QRect(136, 56, 281, 21),
        QStringLiteral("Destination folder"));
    btnViewSource = button(this, QStringLiteral("btnViewSource"), QStringLiteral("Source files"),
        QRect(8, 88, 97, 25), QStringLiteral("Show source files"));
    btnViewDestination
        = button(this, QStringLiteral("btnViewDestination"), QStringLiteral("Destination folders"),
            QRect(112, 88, 97, 25), QStringLiteral("Show destination folder/subfolders"));
    btnSorteren = button(this, QStringLiteral("btnSorteren"), QStringLiteral("Start sort"),
        QRect(624, 88, 97, 25), QStringLiteral("Start sorting files using settings"));

    // Usable only once the first refresh has filled the lists.
    for (QWidget* control :
        std::initializer_list<QWidget*> { imgbrowseSource, imgBrowseDestination, edtSource,
            edtDestination, btnVerplaats, btnViewSource, btnViewDestination, btnSorteren })
        control->setEnabled(false);

    connect(imgannuleren, &TImage::clicked, this, &TfrmMain::imgannulerenClick);
    connect(imgExit, &TImage::clicked, this, &TfrmMain::imgExitClick);
}

void TfrmMain::createBrowsePanel()
{
    const qreal density = devicePixelRatioF();
    pnlBrowse = new QFrame(this);
    pnlBrowse->setObjectName(QStringLiteral("pnlBrowse"));
    pnlBrowse->setGeometry(348, 120, 266, 295);
    imgBrowseFile = image(pnlBrowse, QStringLiteral("imgBrowseFile"), QRect(1, 1, 264, 293),
        LoadPicture(QLatin1String(artwork::kBrowseFromBackdrop), density), QString(),
        Qt::ArrowCursor);
    imgBrowseFile->unsetCursor();
    imgbrowseDir = image(pnlBrowse, QStringLiteral("imgbrowseDir"), QRect(1, 1, 264, 293),
        LoadPicture(QLatin1String(artwork::kBrowseToBackdrop), density), QString(),
        Qt::ArrowCursor);
    imgbrowseDir->unsetCursor();
    imgbrowseDir->hide();
    imgBrowser = image(pnlBrowse, QStringLiteral("imgBrowser"), QRect(240, -3, 29, 28), QPixmap(),
        QStringLiteral("Close"), Qt::PointingHandCursor);
    pnlBrowse->hide();
}

void TfrmMain::createNewArtistsPanel()
{
    pnlNieuwe = new QFrame(this);
    pnlNieuwe->setObjectName(QStringLiteral("pnlNieuwe"));
    pnlNieuwe->setGeometry(64, 150, 268, 297);
    Image1 = image(pnlNieuwe, QStringLiteral("Image1"), QRect(0, 0, 268, 297),
        LoadPicture(QLatin1String(artwork::kNewArtistsBackdrop), devicePixelRatioF()), QString(),
        Qt::ArrowCursor);
    Image1->unsetCursor();
    imgCloseNieuwe = image(pnlNieuwe, QStringLiteral("imgCloseNieuwe"), QRect(240, -3, 32, 28),
        QPixmap(), QStringLiteral("Close"), Qt::PointingHandCursor);
    ListNieuwe = new QListWidget(pnlNieuwe);
    ListNieuwe->setObjectName(QStringLiteral("ListNieuwe"));
    ListNieuwe->setGeometry(3, 40, 261, 221);
    ListNieuwe->setSelectionMode(QAbstractItemView::SingleSelection);
    ListNieuwe->setUniformItemSizes(true);
    ListNieuwe->setStyleSheet(QStringLiteral("QListView::item { height: 13px; }"));
    btnNieuweWissen = button(pnlNieuwe, QStringLiteral("btnNieuweWissen"), QStringLiteral("Delete"),
        QRect(4, 267, 85, 25), QString());
    Ok = button(pnlNieuwe, QStringLiteral("Ok"), QStringLiteral("Create"), QRect(179, 267, 85, 25),
        QString());
    Ok->setDefault(true);
    pnlNieuwe->hide();
}

void TfrmMain::createMenus()
{
    SourcePopupMenu = new QMenu(this);
    SourcePopupMenu->setObjectName(QStringLiteral("SourcePopupMenu"));
    Verplaatsennaardubbelebestanden
        = menuEntry(SourcePopupMenu, QStringLiteral("Verplaatsennaardubbelebestanden"),
            QStringLiteral("Move file to double folder"), QKeySequence(Qt::SHIFT | Qt::Key_Delete),
            ImageList.icon(TImageList::Folder));
    Verwijderen = menuEntry(SourcePopupMenu, QStringLiteral("Verwijderen"),
        QStringLiteral("&Delete"), QKeySequence(Qt::Key_Delete), ImageList.icon(TImageList::Cross));
    ListSource->addActions(SourcePopupMenu->actions());
    ListSource->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListSource, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        SourcePopupMenu->popup(ListSource->viewport()->mapToGlobal(at));
    });

    StatusPopUp = new QMenu(this);
    StatusPopUp->setObjectName(QStringLiteral("StatusPopUp"));
    Verwijderen1 = menuEntry(StatusPopUp, QStringLiteral("Verwijderen1"), QStringLiteral("&Delete"),
        QKeySequence(Qt::Key_Delete), ImageList.icon(TImageList::Cross));
    Status->addAction(Verwijderen1);
    Status->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Status, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        StatusPopUpPopup();
        StatusPopUp->popup(Status->viewport()->mapToGlobal(at));
    });
    // The menu's enabling is for the menu only: the Del key always reaches the handler,
    // which applies the same rule to the row selected at that moment.
    connect(StatusPopUp, &QMenu::aboutToHide, this, [this] { Verwijderen1->setEnabled(true); });
    connect(Verwijderen1, &QAction::triggered, this, &TfrmMain::Verwijderen1Click);

    DestPopup = new QMenu(this);
    DestPopup->setObjectName(QStringLiteral("DestPopup"));
    Delete1 = menuEntry(DestPopup, QStringLiteral("Delete1"), QStringLiteral("&Delete"),
        QKeySequence(Qt::Key_Delete), QIcon());
    connect(DestPopup, &QMenu::aboutToShow, this, &TfrmMain::DestPopupPopup);
    connect(Delete1, &QAction::triggered, this, &TfrmMain::Delete1Click);
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

    // Ticks only matter while the title strip is dragged, so it runs only then.
    mouseTimer = new QTimer(this);
    mouseTimer->setObjectName(QStringLiteral("mouseTimer"));
    mouseTimer->setInterval(1);
    mouseTimer->setTimerType(Qt::PreciseTimer);
}

void TfrmMain::setFocusOrder()
{
    const QWidget* chain[] = { edtSource, edtDestination, ListSource, ListDestination,
        btnViewSource, btnViewDestination, btnSorteren, pnlBrowse, Status, btnVerplaats, ListNieuwe,
        btnNieuweWissen, Ok, Details };
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(const_cast<QWidget*>(chain[i - 1]), const_cast<QWidget*>(chain[i]));
}

void TfrmMain::FormCreate()
{
    // Files opened for reading are opened read-only by the core's own calls, so there is no
    // process-wide file mode to set here.
    m_titleDrag.Dragging = false;
    try {
        LoadWorkingCopy(m_store, m_workingCopy, ProgramFolder());
    } catch (const std::exception& error) {
        // A value that cannot be used stops the load there; the rest keeps its defaults.
        ApplicationEventsException(&error);
    }
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Spontaneous show events come from the window system (a restore), not from showing.
    if (!event->spontaneous())
        FormShow();
}

void TfrmMain::FormShow()
{
    edtSource->setText(m_workingCopy.sourceFolder);
    edtDestination->setText(m_workingCopy.destinationFolder);
    m_browseTarget = TBrowseTarget::None;
    lblActive->setText(QStringLiteral("Source files"));
    lblActive->adjustSize();
    btnVerplaats->setEnabled(false);
    btnViewSource->setEnabled(false);
    btnViewDestination->setEnabled(false);
    m_lastAutoRun = QDateTime::currentDateTime();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
    emit closed();
}

void TfrmMain::FormClose()
{
    m_abort = true;
}

void TfrmMain::imgExitClick()
{
    close();
}

bool TfrmMain::PumpEvents()
{
    QCoreApplication::processEvents();
    return m_abort;
}

void TfrmMain::DetailsClear()
{
    Details->clear();
}

void TfrmMain::DetailsAdd(const QString& line)
{
    Details->appendPlainText(line);
    Details->verticalScrollBar()->setValue(Details->verticalScrollBar()->maximum());
}

QStringList TfrmMain::DetailsLines() const
{
    QStringList lines;
    for (QTextBlock block = Details->document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    // An empty memo has one empty block, but no lines.
    if (lines.size() == 1 && lines.front().isEmpty())
        lines.clear();
    return lines;
}

void TfrmMain::disableButtons()
{
    for (QWidget* control : std::initializer_list<QWidget*> { imgbrowseSource, imgBrowseDestination,
             edtSource, edtDestination, btnNieuweWissen, btnSorteren, btnViewDestination,
             btnViewSource, btnVerplaats, Details })
        control->setEnabled(false);
    Status->setCursor(Qt::WaitCursor);
    setCursor(Qt::WaitCursor);
}

void TfrmMain::enableButtons()
{
    for (QWidget* control :
        std::initializer_list<QWidget*> { imgbrowseSource, imgBrowseDestination, edtSource,
            edtDestination, btnNieuweWissen, btnSorteren, btnViewDestination, btnViewSource })
        control->setEnabled(true);
    const TListModel& plan = statusItems();
    btnVerplaats->setEnabled(
        PlanHasFilesToMove(plan.count() > 0 ? std::optional(plan.caption(0)) : std::nullopt));
    Details->setEnabled(true);
    Status->unsetCursor();
    unsetCursor();
    repaint();
}

void TfrmMain::imgannulerenClick()
{
    m_abort = true;
    m_refreshBusy = false;
}

void TfrmMain::StatusPopUpPopup()
{
    Verwijderen1->setEnabled(CanRemoveRowByHand(Status->itemIndex()));
}

void TfrmMain::Verwijderen1Click()
{
    // Only the plan changes; "Move files" keeps its state.
    const int index = Status->itemIndex();
    if (CanRemoveRowByHand(index))
        statusItems().remove(index);
}

void TfrmMain::DestPopupPopup()
{
    Delete1->setEnabled(CanRemoveRowByHand(ListDestination->itemIndex()));
}

void TfrmMain::Delete1Click()
{
    const int index = ListDestination->itemIndex();
    if (!CanRemoveRowByHand(index))
        return;
    const QString folder = destinationItems().caption(index);
    if (!QDir().rmdir(folder))
        throw IOError(QStringLiteral("Cannot remove the folder"), folder);
    destinationItems().remove(index);
}

void TfrmMain::ApplicationEventsException(const std::exception* error)
{
    // Never a message box; the trace helps whoever reads the terminal.
    qWarning("Plumtide: %s", error ? error->what() : "unknown error");
}

} // namespace plumtide
