#include "ui/frmopties.h"

#include "platform/paths.h"
#include "ui/application.h"
#include "ui/artwork.h"
#include "ui/controls.h"
#include "ui/folderpanel.h"
#include "ui/foldertree.h"
#include "ui/frmmain.h"
#include "ui/image.h"
#include "ui/optionsrules.h"
#include "ui/theme.h"
#include "ui/updown.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QShowEvent>
#include <QTimeEdit>
#include <QTimer>

namespace plumtide
{

namespace
{

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
    QWidget* parent, QCheckBox* box, const QString& name, const QString& text, QPoint at)
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
    return caption;
}

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
        QStringLiteral("Automaticly sort every:"), QPoint(32, 168));
    AutoTime = new QTimeEdit(QTime(0, 10), this);
    AutoTime->setObjectName(QStringLiteral("AutoTime"));
    AutoTime->setGeometry(32, 186, 73, 21);
    AutoTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));

    chkDelFile = checkBox(this, QStringLiteral("chkDelFile"), QPoint(8, 216));
    lblDelFile = boxLabel(this, chkDelFile, QStringLiteral("lblDelFile"),
        QStringLiteral("Delete mp3 files smaller then:"), QPoint(32, 214));
    edtFilesize = new QLineEdit(this);
    edtFilesize->setObjectName(QStringLiteral("edtFilesize"));
    edtFilesize->setGeometry(32, 232, 49, 21);
    UDFileSize = new TUpDown(Qt::Vertical, kFileSizeRange, this);
    UDFileSize->setObjectName(QStringLiteral("UDFileSize"));
    UDFileSize->setGeometry(81, 232, 15, 21);
    UDFileSize->setAssociate(edtFilesize);
    UDFileSize->setPosition(512);
    lblKb = label(this, QStringLiteral("lblKb"), QStringLiteral("Kb"), QPoint(104, 238), true);

    setControlValues(TOptionsValues { .doublesFolder = DefaultDoublesFolder() });
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

    controls::tabOrder({ PercEqual, UpDownPerqEqual, edtDoubleDir, chkMoveDoubles, chkRemoveDoubles,
        chkAutoTime, AutoTime, ShellTreeView, chkAutoStart, chkDelFile, edtFilesize, UDFileSize });
}

void TfrmOpties::connectHandlers()
{
    connect(UpDownPerqEqual, &TUpDown::Click, this, &TfrmOpties::UpDownPerqEqualClick);
    // `clicked` comes from the user only; boxes set from code keep the other box as it is.
    connect(chkMoveDoubles, &QCheckBox::clicked, this, &TfrmOpties::chkMoveDoublesClick);
    connect(chkRemoveDoubles, &QCheckBox::clicked, this, &TfrmOpties::chkRemoveDoublesClick);
    for (QCheckBox* box : { chkAutoTime, chkAutoStart, chkDelFile })
        connect(box, &QCheckBox::clicked, this, &TfrmOpties::chkAutoTimeClick);
    connect(imgBrowse, &TImage::clicked, this, &TfrmOpties::imgBrowseClick);
    connect(edtDoubleDir, &QLineEdit::textChanged, this, &TfrmOpties::applyEnabling);
    connect(ShellTreeView, &TShellTreeView::Click, this, &TfrmOpties::ShellTreeViewClick);
    connect(imgCloseBrowser, &TImage::clicked, this, &TfrmOpties::imgCloseBrowserClick);
    connect(imgCloseNieuwe, &TImage::clicked, this, &TfrmOpties::imgCloseNieuweClick);
    connect(imgTitle, &TImage::mouseDown, this, &TfrmOpties::imgTitleMouseDown);
    connect(imgTitle, &TImage::mouseUp, this, &TfrmOpties::imgTitleMouseUp);
    connect(Timer1, &QTimer::timeout, this, &TfrmOpties::Timer1Timer);
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
    applyEnabling();
}

void TfrmOpties::applyEnabling()
{
    const TOptionsValues values = controlValues();
    const TOptionsEnabling enabling = OptionsEnabling(values);
    edtDoubleDir->setEnabled(enabling.doublesFolder);
    AutoTime->setEnabled(enabling.autoTime);
    lblDoubleDirMissing->setVisible(WarnOfDoublesFolder(values));
}

void TfrmOpties::showPercentage(int percentage)
{
    PercEqual->setValue(percentage);
    lblPercentage->setText(PercentageText(percentage));
}

void TfrmOpties::setAutoSorting(bool on)
{
    if (!on)
        m_main.AutoTimer->stop();
    else if (!m_main.AutoTimer->isActive())
        m_main.AutoTimer->start();
    m_main.syncSourceWatch();
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
    lblDelFile->setText(SmallFilesCaption(m_main.workingCopy().formats));
    lblDelFile->adjustSize();
    if (!load.complete()) {
        // The window shows what could be read; the main window stays as it was.
        qWarning("Plumtide: %s", qPrintable(load.error));
        return;
    }
    setAutoSorting(load.values.autoTimeOn);
    // The fields store what they are given through their own change handlers.
    m_main.edtSource->setText(load.folders->first);
    m_main.edtDestination->setText(load.folders->second);
    ApplyOptions(load.values, m_main.workingCopy());
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
        SaveOptions(m_main.store(), values, ExecutablePath(), m_main.workingCopy());
    } catch (const std::exception& error) {
        // Stays open; what failed goes where every handler's error goes.
        ReportHandlerError(&error);
        return false;
    }
    setAutoSorting(values.autoTimeOn);
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
    pnlBrowse->hide();
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
