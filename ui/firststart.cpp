#include "ui/firststart.h"

#include "platform/paths.h"
#include "settings/settings.h"
#include "ui/controls.h"
#include "ui/frmmain.h"
#include "ui/image.h"
#include "ui/keyboard.h"

#include <QButtonGroup>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace plumtide
{

namespace
{

bool sameFolder(const QString& a, const QString& b)
{
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

QString proposed(
    const QString& standard, const QString& home, const QString& name, const QString& programFolder)
{
    if (standard.isEmpty() || sameFolder(standard, programFolder) || sameFolder(standard, home))
        return JoinPath(home, name);
    return standard;
}

} // namespace

bool FirstStartDue(const TSettingsStore& store, const QString& programFolder)
{
    if (ReadString(store, Setting("FirstStart")) == QLatin1String("done"))
        return false;
    const std::optional<QString> source = store.ReadValue(SettingName(Setting("Source")));
    return !source || source->isEmpty() || sameFolder(*source, programFolder);
}

TFirstStartChoice ProposeFirstStart(const QString& downloads, const QString& music,
    const QString& home, const QString& programFolder)
{
    TFirstStartChoice choice;
    choice.source = proposed(downloads, home, QStringLiteral("Downloads"), programFolder);
    choice.destination = proposed(music, home, QStringLiteral("Music"), programFolder);
    return choice;
}

TFirstStartChoice ProposeFirstStart(const QString& programFolder)
{
    return ProposeFirstStart(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation),
        QStandardPaths::writableLocation(QStandardPaths::MusicLocation), QDir::homePath(),
        programFolder);
}

void StoreFirstStart(TSettingsStore& store, const std::optional<TFirstStartChoice>& choice)
{
    if (choice) {
        WriteSourceFolder(store, choice->source);
        WriteDestinationFolder(store, choice->destination);
        WriteString(store, Setting("Matching"), MatchingText(choice->matching));
    }
    // Last: a first start whose choice could not be stored is greeted again.
    WriteString(store, Setting("FirstStart"), QStringLiteral("done"));
}

TFirstStartPanel::TFirstStartPanel(
    QWidget* parent, const TFirstStartChoice& proposal, int percentage, const QPixmap& folderGlyph)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("pnlFirstStart"));
    setGeometry(kFirstStartPanelPlace);
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);

    const auto folderRow = [&](QGridLayout* grid, int row, const QString& caption,
                               const QString& name, const QString& folder, TImage*& glyph) {
        grid->addWidget(new QLabel(caption, this), row, 0, 1, 2);
        auto* field = new QLineEdit(folder, this);
        field->setObjectName(name);
        grid->addWidget(field, row + 1, 0);
        glyph = controls::image(this, name + QStringLiteral("Browse"), QRect(0, 0, 16, 16),
            folderGlyph, QStringLiteral("Browse"), Qt::PointingHandCursor);
        glyph->setFixedSize(16, 16);
        grid->addWidget(glyph, row + 1, 1);
        return field;
    };

    auto* title = new QLabel(QStringLiteral("Welcome to Plumtide"), this);
    btnClose = new QPushButton(QStringLiteral("✕"), this);
    btnClose->setObjectName(QStringLiteral("btnFirstStartClose"));
    btnClose->setToolTip(QStringLiteral("Close: keep the settings as they are"));
    btnClose->setFlat(true);
    btnClose->setFixedSize(22, 22);
    auto* top = new QHBoxLayout;
    top->addWidget(title, 1);
    top->addWidget(btnClose);

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    edtSource = folderRow(grid, 0, QStringLiteral("Music files to sort (source):"),
        QStringLiteral("edtFirstSource"), proposal.source, imgBrowseSource);
    edtDestination = folderRow(grid, 2, QStringLiteral("Your music library (destination):"),
        QStringLiteral("edtFirstDestination"), proposal.destination, imgBrowseDestination);

    auto* how = new QLabel(QStringLiteral("Match files with artist folders:"), this);
    rdbCareful = new QRadioButton(
        QStringLiteral("Only the same artist (recommended\nfor a library you already have)"), this);
    rdbCareful->setObjectName(QStringLiteral("rdbFirstCareful"));
    rdbSimilar
        = new QRadioButton(QStringLiteral("Similar names, at least %1 %").arg(percentage), this);
    rdbSimilar->setObjectName(QStringLiteral("rdbFirstSimilar"));
    auto* group = new QButtonGroup(this);
    group->addButton(rdbCareful);
    group->addButton(rdbSimilar);
    (proposal.matching == TMatching::Careful ? rdbCareful : rdbSimilar)->setChecked(true);

    btnStart = new QPushButton(QStringLiteral("Start"), this);
    btnStart->setObjectName(QStringLiteral("btnFirstStart"));
    btnStart->setToolTip(QStringLiteral("Use these folders and this way of matching"));
    btnStart->setFixedSize(85, 25); // as the window's other buttons
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnStart);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addLayout(grid);
    layout->addSpacing(4);
    layout->addWidget(how);
    layout->addWidget(rdbCareful);
    layout->addWidget(rdbSimilar);
    layout->addStretch(1);
    layout->addLayout(bottom);

    // Under the window's style sheet a panel's controls would take the application's font
    // once polished: they are given the window's, as its own children keep it.
    for (QWidget* control : findChildren<QWidget*>()) {
        QFont font = parent->font();
        font.setBold(control == title);
        control->setFont(font);
    }

    keyboard::MakeActions({ imgBrowseSource, imgBrowseDestination });
    keyboard::PressOnEnter({ btnStart, btnClose });
    controls::tabOrder({ btnClose, edtSource, imgBrowseSource, edtDestination, imgBrowseDestination,
        rdbCareful, rdbSimilar, btnStart });
}

TFirstStartChoice TFirstStartPanel::choice() const
{
    return { edtSource->text(), edtDestination->text(),
        rdbCareful->isChecked() ? TMatching::Careful : TMatching::Similar };
}

// The main window's side of the panel.

void TfrmMain::createFirstStartPanel()
{
    if (!FirstStartDue(m_store, ProgramFolder()))
        return;
    pnlFirstStart = new TFirstStartPanel(this, ProposeFirstStart(ProgramFolder()),
        m_workingCopy.comparePercentage, imgbrowseSource->pixmap());
    pnlFirstStart->raise();
    const auto onClick = [this](auto* sender, auto signal, void (TfrmMain::*handler)()) {
        connect(sender, signal, this, [this, handler] { runHandler(handler); });
    };
    onClick(pnlFirstStart->btnStart, &QPushButton::clicked, &TfrmMain::FirstStartClick);
    onClick(pnlFirstStart->btnClose, &QPushButton::clicked, &TfrmMain::FirstStartCloseClick);
    connect(pnlFirstStart->imgBrowseSource, &TImage::clicked, this,
        [this] { openBrowser(TBrowseTarget::FirstStartSource); });
    connect(pnlFirstStart->imgBrowseDestination, &TImage::clicked, this,
        [this] { openBrowser(TBrowseTarget::FirstStartDestination); });
}

QLineEdit* TfrmMain::browsedField() const
{
    switch (m_browseTarget) {
    case TBrowseTarget::Source:
        return edtSource;
    case TBrowseTarget::Destination:
        return edtDestination;
    case TBrowseTarget::FirstStartSource:
        return pnlFirstStart ? pnlFirstStart->edtSource : nullptr;
    case TBrowseTarget::FirstStartDestination:
        return pnlFirstStart ? pnlFirstStart->edtDestination : nullptr;
    case TBrowseTarget::None:
        break;
    }
    return nullptr;
}

void TfrmMain::FirstStartClick()
{
    if (!pnlFirstStart || m_workDepth > 0)
        return;
    const TFirstStartChoice choice = pnlFirstStart->choice();
    StoreFirstStart(m_store, choice);
    closeFirstStartPanel();
    m_workingCopy.matching = choice.matching;
    // The fields store what they are given; the lists show the chosen folders.
    edtSource->setText(choice.source);
    edtDestination->setText(choice.destination);
    Refresh();
}

void TfrmMain::FirstStartCloseClick()
{
    if (!pnlFirstStart)
        return;
    StoreFirstStart(m_store, std::nullopt);
    closeFirstStartPanel();
}

void TfrmMain::closeFirstStartPanel()
{
    if (m_browseTarget == TBrowseTarget::FirstStartSource
        || m_browseTarget == TBrowseTarget::FirstStartDestination) {
        if (pnlBrowse->isVisible())
            imgBrowserClick();
        m_browseTarget = TBrowseTarget::None;
    }
    const bool hadFocus = pnlFirstStart->isAncestorOf(focusWidget());
    pnlFirstStart->hide();
    pnlFirstStart->deleteLater();
    pnlFirstStart = nullptr;
    if (hadFocus)
        btnSorteren->setFocus();
}

} // namespace plumtide
