#include "ui/frmopties.h"

#include "platform/paths.h"
#include "ui/application.h"
#include "ui/artwork.h"
#include "ui/controls.h"
#include "ui/folderpanel.h"
#include "ui/foldertree.h"
#include "ui/frmmain.h"
#include "ui/image.h"
#include "ui/keyboard.h"
#include "ui/optionsrules.h"
#include "ui/theme.h"
#include "ui/updown.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QProgressBar>
#include <QRadioButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <initializer_list>
#include <utility>

namespace plumtide
{

namespace
{

// Enter, Return and Space press the image it watches, as they press a focused button.
class TPressKeys : public QObject
{
public:
    explicit TPressKeys(TImage* image)
        : QObject(image)
        , m_image(image)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Space:
                emit m_image->clicked();
                return true;
            default:
                break;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TImage* m_image;
};

// Controls drawn without a focus frame of their own (the boxes, whose text is a separate
// caption, and the arrows) show the focus as one gold ring the window holds, around the
// control and what belongs to it. Re-polishing the captions to restyle them instead would cost
// them the window's font under its style sheet.
class TFocusRing : public QObject
{
public:
    TFocusRing(QWidget* watched, std::initializer_list<QWidget*> around)
        : QObject(watched)
        , m_around(around)
    {
        watched->installEventFilter(this);
    }

    static constexpr const char* kName = "focusRing";

    // The ring of the window `inside` lies in; made hidden, once, before any control.
    static QWidget* of(QWidget* inside)
    {
        QWidget* window = inside->window();
        auto* ring = window->findChild<QWidget*>(QLatin1String(kName), Qt::FindDirectChildrenOnly);
        if (ring == nullptr) {
            ring = new QLabel(window);
            ring->setObjectName(QLatin1String(kName));
            ring->setAttribute(Qt::WA_TransparentForMouseEvents);
            ring->hide();
        }
        return ring;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn) {
            QWidget* ring = of(static_cast<QWidget*>(watched));
            QRect area;
            for (QWidget* widget : std::as_const(m_around))
                area |= QRect(widget->mapTo(ring->parentWidget(), QPoint(0, 0)), widget->size());
            ring->setGeometry(area.adjusted(-3, -2, 3, 2));
            ring->show();
            ring->raise();
        } else if (event->type() == QEvent::FocusOut) {
            of(static_cast<QWidget*>(watched))->hide();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QList<QWidget*> m_around;
};

QCheckBox* checkBox(QWidget* parent, const QString& name, QPoint at)
{
    auto* box = new QCheckBox(parent);
    box->setObjectName(name);
    box->setGeometry(QRect(at, QSize(13, 13)));
    return box;
}

// The caption right of a check box; clicking it clicks the box, as clicking a box's own
// text would.
TImage* boxLabel(
    QWidget* parent, QAbstractButton* box, const QString& name, const QString& text, QPoint at)
{
    auto* caption = new TImage(parent);
    caption->setObjectName(name);
    caption->setText(text);
    caption->setProperty("bold", true);
    caption->move(at);
    caption->adjustSize();
    QObject::connect(caption, &TImage::clicked, box, [box] {
        if (box->isEnabled())
            box->click();
    });
    new TFocusRing(box, { box, caption });
    return caption;
}

// Places the "More" page's rows top to bottom on the first page's grid: a box at 8 with its
// caption at 32, 24 pixels a row; what belongs to the row above indented to 32. A new option
// is one more call in its place; the rows below move down with it.
class TRows
{
public:
    TRows(QWidget* page, int top)
        : m_page(page)
        , m_top(top)
    {
    }

    QLabel* heading(const QString& name, const QString& text)
    {
        QLabel* result = controls::label(m_page, name, text, QPoint(8, m_top), true);
        m_top += 18;
        return result;
    }

    QCheckBox* check(const QString& name, const QString& caption, TImage*& label)
    {
        QCheckBox* box = checkBox(m_page, name, QPoint(8, m_top));
        label = boxLabel(m_page, box, captionName(name), caption, QPoint(32, m_top));
        m_top += 24;
        return box;
    }

    // One of a heading's choices, indented below it.
    QRadioButton* choice(const QString& name, const QString& caption, TImage*& label)
    {
        auto* button = new QRadioButton(m_page);
        button->setObjectName(name);
        button->setGeometry(QRect(QPoint(32, m_top), QSize(13, 13)));
        label = boxLabel(m_page, button, captionName(name), caption, QPoint(56, m_top));
        m_top += 24;
        return button;
    }

    // A number field with arrows and a unit, as "Delete mp3 files smaller than:" has, under
    // the row above: it starts 18 pixels below that row's top.
    TUpDown* number(const QString& name, const TUpDownRange& range, const QString& unit,
        QLineEdit*& field, QLabel*& unitLabel)
    {
        const int top = m_top - 6;
        field = new QLineEdit(m_page);
        field->setObjectName(QStringLiteral("edt") + name);
        field->setGeometry(32, top, 49, 21);
        auto* arrows = new TUpDown(Qt::Vertical, range, m_page);
        arrows->setObjectName(QStringLiteral("UD") + name);
        arrows->setGeometry(81, top, 15, 21);
        arrows->setAssociate(field);
        unitLabel = controls::label(
            m_page, QStringLiteral("lbl") + name + QStringLiteral("Unit"), unit, {}, true);
        unitLabel->move(104, top + 6);
        m_top = top + 30;
        return arrows;
    }

private:
    // "chkUseTrash" is captioned by "lblUseTrash".
    static QString captionName(const QString& name) { return QStringLiteral("lbl") + name.mid(3); }

    QWidget* m_page;
    int m_top;
};

} // namespace

TfrmOpties::TfrmOpties(TfrmMain& main, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , Timer1(new QTimer(this))
    , m_main(main)
    , m_dragger(*this, *Timer1)
{
    SkinWindow(*this, QStringLiteral("frmOpties"), QStringLiteral("Settings"), QSize(418, 259),
        QPoint(259, 179));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    createControls();
    createBrowsePanel();
    connectHandlers();
    createKeys();
    keyboard::NoAltTypingIn(*this);
}

void TfrmOpties::createControls()
{
    using controls::image;
    using controls::label;
    const qreal density = devicePixelRatioF();

    imgBackground = image(this, QStringLiteral("imgBackground"), rect(),
        LoadPicture(QLatin1String(artwork::kSettingsBackground), density), QString(),
        Qt::ArrowCursor);
    imgBackground->unsetCursor();
    imgTitle = image(this, QStringLiteral("imgTitle"), QRect(0, 0, 393, 25), QPixmap(), QString(),
        Qt::ArrowCursor);
    imgCloseNieuwe = image(this, QStringLiteral("imgCloseNieuwe"), QRect(392, -3, 29, 28),
        QPixmap(), QStringLiteral("Close"), Qt::PointingHandCursor);

    createPages();
    // The first this's controls are the window's own children, at their original places, as
    // they always were; the tabs show and hide them together.
    const QObjectList before = children();
    Label1 = label(
        this, QStringLiteral("Label1"), QStringLiteral("Compare percentage:"), QPoint(8, 32), true);
    // Right-aligned against the end of the arrows, wide enough for "100 %".
    lblPercentage = label(this, QStringLiteral("lblPercentage"), QString(), QPoint(0, 0), false);
    lblPercentage->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lblPercentage->setGeometry(136, 32, 81, 14);
    PercEqual = new QProgressBar(this);
    PercEqual->setObjectName(QStringLiteral("PercEqual"));
    PercEqual->setGeometry(32, 48, 150, 15);
    PercEqual->setRange(0, 100);
    PercEqual->setTextVisible(false);
    UpDownPerqEqual = new TUpDown(Qt::Horizontal, kPercentageRange, this);
    UpDownPerqEqual->setObjectName(QStringLiteral("UpDownPerqEqual"));
    UpDownPerqEqual->setGeometry(184, 48, 33, 16);

    chkAutoStart = checkBox(this, QStringLiteral("chkAutoStart"), QPoint(8, 72));
    lblAutoStart = boxLabel(this, chkAutoStart, QStringLiteral("lblAutoStart"),
        QStringLiteral("Load Plumtide on startup"), QPoint(32, 72));
    chkRemoveDoubles = checkBox(this, QStringLiteral("chkRemoveDoubles"), QPoint(8, 96));
    lblRemoveDoubles = boxLabel(this, chkRemoveDoubles, QStringLiteral("lblRemoveDoubles"),
        QStringLiteral("Delete double files"), QPoint(32, 96));
    chkMoveDoubles = checkBox(this, QStringLiteral("chkMoveDoubles"), QPoint(8, 120));
    lblMoveDoubles = boxLabel(this, chkMoveDoubles, QStringLiteral("lblMoveDoubles"),
        QStringLiteral("Move double files to:"), QPoint(32, 120));

    edtDoubleDir = new QLineEdit(DefaultDoublesFolder(), this);
    edtDoubleDir->setObjectName(QStringLiteral("edtDoubleDir"));
    edtDoubleDir->setGeometry(32, 141, 273, 21);
    edtDoubleDir->setToolTip(QStringLiteral("Folder for double files"));
    imgBrowse = image(this, QStringLiteral("imgBrowse"), QRect(312, 143, 17, 17),
        LoadPicture(QLatin1String(artwork::kBrowse), density), QStringLiteral("Browse"),
        Qt::PointingHandCursor);
    lblDoubleDirMissing = label(this, QStringLiteral("lblDoubleDirMissing"),
        QStringLiteral("(folder not found)"), QPoint(176, 120), true);
    lblDoubleDirMissing->setStyleSheet(QStringLiteral("color: #ffd24d;"));
    lblDoubleDirMissing->resize(234, lblDoubleDirMissing->height()); // to the window's edge
    lblDoubleDirMissing->setToolTip(
        QStringLiteral("This folder does not exist: doubles stay where they are until it does"));
    lblDoubleDirMissing->hide();

    chkAutoTime = checkBox(this, QStringLiteral("chkAutoTime"), QPoint(8, 168));
    lblAutoTime = boxLabel(this, chkAutoTime, QStringLiteral("lblAutoTime"),
        QStringLiteral("Automatically sort every:"), QPoint(32, 168));
    AutoTime = new QTimeEdit(DefaultAutoTime(), this);
    AutoTime->setObjectName(QStringLiteral("AutoTime"));
    AutoTime->setGeometry(32, 186, 73, 21);
    AutoTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));

    chkDelFile = checkBox(this, QStringLiteral("chkDelFile"), QPoint(8, 216));
    lblDelFile = boxLabel(this, chkDelFile, QStringLiteral("lblDelFile"),
        QStringLiteral("Delete mp3 files smaller than:"), QPoint(32, 214));
    edtFilesize = new QLineEdit(this);
    edtFilesize->setObjectName(QStringLiteral("edtFilesize"));
    edtFilesize->setGeometry(32, 232, 49, 21);
    UDFileSize = new TUpDown(Qt::Vertical, kFileSizeRange, this);
    UDFileSize->setObjectName(QStringLiteral("UDFileSize"));
    UDFileSize->setGeometry(81, 232, 15, 21);
    UDFileSize->setAssociate(edtFilesize);
    UDFileSize->setPosition(DefaultInteger("delFileSize"));
    lblKb = label(this, QStringLiteral("lblKb"), QStringLiteral("KB"), QPoint(104, 238), true);

    for (QObject* child : children())
        if (auto* control = qobject_cast<QWidget*>(child); control && !before.contains(child))
            m_generalPage.append(control);

    createMorePage();

    setControlValues(TOptionsValues { .doublesFolder = DefaultDoublesFolder() });
}

void TfrmOpties::createPages()
{
    // The More page covers the whole window under the title strip's zones, transparent over
    // the artwork.
    pnlMore = new QWidget(this);
    pnlMore->setObjectName(QStringLiteral("pnlMore"));
    pnlMore->setGeometry(rect());
    pnlMore->stackUnder(imgTitle);
    pnlMore->setFont(font());
    pnlMore->hide();
    TFocusRing::of(this);

    // The tabs sit on the title strip's gold line, right of the title and left of the close
    // mark, where the first page's layout leaves them room.
    tbsPages = new QTabBar(this);
    tbsPages->setObjectName(QStringLiteral("tbsPages"));
    tbsPages->setDrawBase(false);
    tbsPages->setExpanding(false);
    tbsPages->addTab(QStringLiteral("General"));
    tbsPages->addTab(QStringLiteral("More"));
    tbsPages->setFocusPolicy(Qt::StrongFocus);
    tbsPages->adjustSize();
    tbsPages->move(388 - tbsPages->width(), 25 - tbsPages->height());
}

void TfrmOpties::createMorePage()
{
    TRows rows(pnlMore, 32);
    lblMatching = rows.heading(
        QStringLiteral("lblMatching"), QStringLiteral("Match artists with folders:"));
    rdbSimilar = rows.choice(QStringLiteral("rdbSimilar"),
        QStringLiteral("Similar names, at least the compare percentage"), lblSimilar);
    rdbCareful = rows.choice(
        QStringLiteral("rdbCareful"), QStringLiteral("Only the same artist"), lblCareful);
    chkFormats = rows.check(QStringLiteral("chkFormats"),
        QStringLiteral("Also file FLAC, Ogg Vorbis, Opus and M4A files"), lblFormats);
    chkUseTrash = rows.check(QStringLiteral("chkUseTrash"),
        QStringLiteral("Put deleted files in the Trash"), lblUseTrash);
    chkWatchSource = rows.check(QStringLiteral("chkWatchSource"),
        QStringLiteral("Sort new files as soon as they have settled"), lblWatchSource);
    UDSettle = rows.number(QStringLiteral("Settle"), kSettleRange,
        QStringLiteral("seconds unchanged and unused"), edtSettle, lblSeconds);

    lblCareful->setToolTip(
        QStringLiteral("A file goes only to its own artist's folder, or stays where it is"));
    const QString needsAutomatic
        = QStringLiteral("Works while \"Automatically sort every:\" is on (first page)");
    for (QWidget* control : std::initializer_list<QWidget*> {
             chkWatchSource, lblWatchSource, edtSettle, UDSettle, lblSeconds })
        control->setToolTip(needsAutomatic);

    // Under the window's style sheet, a control whose font a rule changes (the bold captions)
    // takes the rest of its font from the application, not from its page, once polished: the
    // page's controls are given the window's font, as the window's own children keep it, and
    // the captions are sized for it.
    for (QWidget* control : pnlMore->findChildren<QWidget*>()) {
        control->setFont(font());
        if (auto* caption = qobject_cast<QLabel*>(control)) {
            caption->ensurePolished();
            caption->adjustSize();
        }
    }
}

void TfrmOpties::createBrowsePanel()
{
    pnlBrowse = new TFolderPanel(this, QStringLiteral("pnlBrowse"),
        { QSize(257, 222), QRect(0, 0, 257, 222), QRect(232, -3, 25, 28), QRect(4, 40, 249, 177) },
        QStringLiteral("imgCloseBrowser"));
    pnlBrowse->move(61, 11);
    imgDoublesFolder = pnlBrowse->addBackdrop(
        QStringLiteral("imgDoublesFolder"), QLatin1String(artwork::kDoublesFolderBackdrop));
    imgCloseBrowser = pnlBrowse->closeZone;
    ShellTreeView = pnlBrowse->tree;

    // Where the desktop lets Tab reach text and lists only, it still reaches controls with a
    // strong focus, as it does the boxes; the browse image takes its place in the order only
    // if it takes the focus when the order is set.
    imgBrowse->setFocusPolicy(Qt::StrongFocus);
    for (TUpDown* arrows : { UpDownPerqEqual, UDFileSize, UDSettle })
        arrows->setFocusPolicy(Qt::StrongFocus);
    controls::tabOrder({ tbsPages, PercEqual, UpDownPerqEqual, edtDoubleDir, imgBrowse,
        chkMoveDoubles, chkRemoveDoubles, chkAutoTime, AutoTime, ShellTreeView, chkAutoStart,
        chkDelFile, edtFilesize, UDFileSize, rdbSimilar, rdbCareful, chkFormats, chkUseTrash,
        chkWatchSource, edtSettle, UDSettle });
}

void TfrmOpties::connectHandlers()
{
    connect(UpDownPerqEqual, &TUpDown::Click, this, &TfrmOpties::UpDownPerqEqualClick);
    // `clicked` comes from the user only; boxes set from code keep the other box as it is.
    connect(chkMoveDoubles, &QCheckBox::clicked, this, &TfrmOpties::chkMoveDoublesClick);
    connect(chkRemoveDoubles, &QCheckBox::clicked, this, &TfrmOpties::chkRemoveDoublesClick);
    for (QCheckBox* box : { chkAutoTime, chkAutoStart, chkDelFile, chkFormats })
        connect(box, &QCheckBox::clicked, this, &TfrmOpties::chkAutoTimeClick);
    connect(imgBrowse, &TImage::clicked, this, &TfrmOpties::imgBrowseClick);
    connect(edtDoubleDir, &QLineEdit::textChanged, this, &TfrmOpties::applyEnabling);
    connect(ShellTreeView, &TShellTreeView::Click, this, &TfrmOpties::ShellTreeViewClick);
    connect(imgCloseBrowser, &TImage::clicked, this, &TfrmOpties::imgCloseBrowserClick);
    connect(imgCloseNieuwe, &TImage::clicked, this, &TfrmOpties::imgCloseNieuweClick);
    connect(imgTitle, &TImage::mouseDown, this, &TfrmOpties::imgTitleMouseDown);
    connect(imgTitle, &TImage::mouseUp, this, &TfrmOpties::imgTitleMouseUp);
    connect(Timer1, &QTimer::timeout, this, &TfrmOpties::Timer1Timer);
    connect(tbsPages, &QTabBar::currentChanged, this, &TfrmOpties::tbsPagesChange);
    connect(chkWatchSource, &QCheckBox::clicked, this, &TfrmOpties::chkAutoTimeClick);
    // Enter in the tree chooses the folder under the cursor, as a click does.
    connect(ShellTreeView, &QAbstractItemView::activated, this, &TfrmOpties::ShellTreeViewClick);
}

void TfrmOpties::createKeys()
{
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &TfrmOpties::EscapePressed);
    const auto turn = [this](int by) {
        tbsPages->setCurrentIndex(
            (tbsPages->currentIndex() + by + tbsPages->count()) % tbsPages->count());
    };
    for (const auto& [keys, by] : { std::pair { QKeySequence(Qt::CTRL | Qt::Key_Tab), 1 },
             std::pair { QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1 },
             std::pair { QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1 } }) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [turn, by = by] { turn(by); });
    }
    // The browse image is a button: it takes the focus from Tab (see createBrowsePanel),
    // shows it, and Enter or Space presses it.
    imgBrowse->setProperty("keys", true);
    imgBrowse->installEventFilter(new TPressKeys(imgBrowse));
    for (TUpDown* arrows : { UpDownPerqEqual, UDFileSize, UDSettle })
        new TFocusRing(arrows, { arrows });
}

TOptionsValues TfrmOpties::controlValues() const
{
    TOptionsValues values;
    values.percentage = UpDownPerqEqual->Position();
    values.moveDoubles = chkMoveDoubles->isChecked();
    values.removeDoubles = chkRemoveDoubles->isChecked();
    values.doublesFolder = edtDoubleDir->text();
    values.autoTime = AutoTime->time();
    values.autoTimeOn = chkAutoTime->isChecked();
    values.autoStart = chkAutoStart->isChecked();
    values.deleteSmallFiles = chkDelFile->isChecked();
    values.smallFileLimit = UDFileSize->Position();
    values.useTrash = chkUseTrash->isChecked();
    values.watchSource = chkWatchSource->isChecked();
    values.watchSettle = UDSettle->Position();
    values.matching = rdbCareful->isChecked() ? TMatching::Careful : TMatching::Similar;
    values.formats = FormatsOfCheckBox(chkFormats->isChecked(), m_loadedFormats);
    return values;
}

void TfrmOpties::setControlValues(const TOptionsValues& values)
{
    UpDownPerqEqual->setPosition(values.percentage);
    showPercentage(UpDownPerqEqual->Position());
    chkMoveDoubles->setChecked(values.moveDoubles);
    chkRemoveDoubles->setChecked(values.removeDoubles);
    edtDoubleDir->setText(values.doublesFolder);
    AutoTime->setTime(values.autoTime);
    chkAutoTime->setChecked(values.autoTimeOn);
    chkAutoStart->setChecked(values.autoStart);
    chkDelFile->setChecked(values.deleteSmallFiles);
    UDFileSize->setPosition(values.smallFileLimit);
    chkUseTrash->setChecked(values.useTrash);
    chkWatchSource->setChecked(values.watchSource);
    UDSettle->setPosition(values.watchSettle);
    rdbSimilar->setChecked(values.matching == TMatching::Similar);
    rdbCareful->setChecked(values.matching == TMatching::Careful);
    // A list written by hand stays as it is while the box stays ticked.
    m_loadedFormats = values.formats;
    chkFormats->setChecked(OtherFormatsTicked(values.formats));
    applyEnabling();
}

void TfrmOpties::applyEnabling()
{
    const TOptionsValues values = controlValues();
    const TOptionsEnabling enabling = OptionsEnabling(values);
    edtDoubleDir->setEnabled(enabling.doublesFolder);
    AutoTime->setEnabled(enabling.autoTime);
    controls::setAllEnabled({ edtFilesize, UDFileSize, lblKb }, enabling.smallFileSize);
    for (QWidget* control : std::initializer_list<QWidget*> {
             chkWatchSource, lblWatchSource, edtSettle, UDSettle, lblSeconds })
        control->setEnabled(enabling.watch);
    lblDoubleDirMissing->setVisible(tbsPages->currentIndex() == 0 && WarnOfDoublesFolder(values));
    // Small-file deletion covers every format filed, and its caption says so.
    lblDelFile->setText(SmallFilesCaption(values.formats));
    lblDelFile->adjustSize();
}

void TfrmOpties::showPercentage(int percentage)
{
    PercEqual->setValue(percentage);
    lblPercentage->setText(PercentageText(percentage));
}

void TfrmOpties::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Spontaneous show events come from the window system (a restore), not from showing;
    // neither is coming back with the main window from the notification area.
    if (!event->spontaneous() && !m_main.Systray->Restoring())
        FormShow();
}

void TfrmOpties::FormShow()
{
    const TOptionsLoad load = LoadOptions(m_main.store(), controlValues(), ProgramFolder());
    setControlValues(load.values);
    if (!load.complete()) {
        // The window shows what could be read; the main window stays as it was.
        qWarning("Plumtide: %s", qPrintable(load.error));
        return;
    }
    m_main.settingsChanged(load.values, load.folders);
}

void TfrmOpties::closeEvent(QCloseEvent* event)
{
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

bool TfrmOpties::FormClose()
{
    const TOptionsValues values = controlValues();
    try {
        WriteOptions(m_main.store(), values, ExecutablePath());
    } catch (const std::exception& error) {
        // Stays open; what failed goes where every handler's error goes.
        ReportHandlerError(&error);
        return false;
    }
    m_main.settingsChanged(values);
    // An automatic run that waited for the window goes now, with what was just saved.
    m_main.resumeAutoSort();
    return true;
}

void TfrmOpties::UpDownPerqEqualClick()
{
    showPercentage(UpDownPerqEqual->Position());
}

void TfrmOpties::chkMoveDoublesClick()
{
    const TDoublesBoxes boxes = ClickDoublesBox(TDoublesBox::Move, chkMoveDoubles->isChecked());
    chkRemoveDoubles->setChecked(boxes.remove);
    applyEnabling();
}

void TfrmOpties::chkRemoveDoublesClick()
{
    const TDoublesBoxes boxes = ClickDoublesBox(TDoublesBox::Remove, chkRemoveDoubles->isChecked());
    chkMoveDoubles->setChecked(boxes.move);
    applyEnabling();
}

void TfrmOpties::chkAutoTimeClick()
{
    applyEnabling();
}

void TfrmOpties::imgBrowseClick()
{
    m_browseOpen = true;
    pnlBrowse->move(77, 20);
    pnlBrowse->show();
    pnlBrowse->raise();
}

void TfrmOpties::ShellTreeViewClick()
{
    // The "Computer" node and a folder gone meanwhile name no folder: the field stays.
    const QString folder = ShellTreeView->SelectedFolder();
    if (!folder.isEmpty())
        edtDoubleDir->setText(folder);
}

void TfrmOpties::imgCloseBrowserClick()
{
    m_browseOpen = false;
    pnlBrowse->hide();
    if (tbsPages->currentIndex() == 0)
        imgBrowse->setFocus(Qt::OtherFocusReason);
}

void TfrmOpties::tbsPagesChange(int page)
{
    for (QWidget* control : std::as_const(m_generalPage))
        control->setVisible(page == 0);
    pnlMore->setVisible(page == 1);
    // The folder warning shows as its rule says, and only on its page.
    applyEnabling();
    pnlBrowse->setVisible(FolderPanelShown(page, m_browseOpen));
}

void TfrmOpties::EscapePressed()
{
    switch (EscapeCloses(pnlBrowse->isVisible())) {
    case TEscapeCloses::FolderPanel:
        imgCloseBrowserClick();
        break;
    case TEscapeCloses::Window:
        imgCloseNieuweClick();
        break;
    }
}

void TfrmOpties::imgCloseNieuweClick()
{
    close();
}

void TfrmOpties::imgTitleMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, QPoint position)
{
    m_dragger.mouseDown(position);
}

void TfrmOpties::imgTitleMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, QPoint)
{
    m_dragger.mouseUp();
}

void TfrmOpties::Timer1Timer()
{
    m_dragger.tick();
}

} // namespace plumtide
