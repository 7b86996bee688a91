#include "ui/frmmain.h"

#include "core/matching/artistmatch.h"
#include "core/moving/filesleft.h"
#include "core/moving/fileutils.h"
#include "core/pipeline.h"
#include "core/watching/watcher.h"
#include "platform/errors.h"
#include "platform/filestatus.h"
#include "platform/paths.h"
#include "session/recorder.h"
#include "session/tellonce.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/fileunder.h"
#include "ui/firststart.h"
#include "ui/folderpanel.h"
#include "ui/foldertree.h"
#include "ui/frmmainlayout.h"
#include "ui/frmopties.h"
#include "ui/historyhandlers.h"
#include "ui/keyboard.h"
#include "ui/planview.h"
#include "ui/runreport.h"
#include "ui/theme.h"
#include "ui/viewrules.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QSet>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>

#include <functional>
#include <memory>

namespace plumtide
{

namespace
{

// Milliseconds between two showings of the rows a refresh has added.
constexpr qint64 kRowsShownEvery = 100;

using controls::setAllEnabled;

// Rows reach the views in batches: the first few hundred at once, the rest a few times a
// second (see the window's pump), not one per row. The model's update ends however the scan does.
class RowBatch
{
public:
    explicit RowBatch(TListModel& model)
        : m_model(model)
    {
        m_model.beginUpdate();
    }
    ~RowBatch()
    {
        if (!m_finished)
            m_model.endUpdate();
    }
    RowBatch(const RowBatch&) = delete;
    RowBatch& operator=(const RowBatch&) = delete;

    void add(TListRow row)
    {
        m_model.add(std::move(row));
        // The first screenfuls show at once.
        if (++m_count == kFirstRows)
            m_model.announcePending();
    }

    // Announces the last rows. Outside the destructor, because the views' signals may throw.
    void finish()
    {
        m_finished = true;
        m_model.endUpdate();
    }

private:
    static constexpr int kFirstRows = 256;
    TListModel& m_model;
    int m_count = 0;
    bool m_finished = false;
};

// The plan's rows one at a time, as the move takes them: the plan as it is now, whatever
// happens to the view while the move runs.
// What the move is given: the files the plan left out, the companions left without their
// song, then the plan's rows one at a time, as the view holds them now, whatever happens to
// the view while the move runs.
TWorkSource planWorkOf(const TListModel& plan, std::vector<TLeftOut> leftOut, QStringList strays,
    TKeptMovesLookup keptMoves)
{
    auto entries = std::make_shared<TPlanEntries>(plan.planEntries());
    return [entries, leftOut = std::move(leftOut), strays = std::move(strays),
               keptMoves = std::move(keptMoves), files = plan.planFiles(),
               folders = plan.planFolders(), left = size_t { 0 }, stray = qsizetype { 0 },
               at = size_t { 0 }](TWorkItem& item) mutable {
        if (left < leftOut.size()) {
            item = leftOut[left++];
            return true;
        }
        if (stray < strays.size()) {
            item = StrayOf(strays.at(stray++), keptMoves);
            return true;
        }
        if (at >= entries->size())
            return false;
        const TPlanEntry& entry = (*entries)[at++];
        item = TPlanRow { files.value(entry.file), entry.score, folders.value(entry.folder) };
        return true;
    };
}

// What Details says while the new-artists panel is open, of the panel: gone with the panel.
const QString kNewArtistsLine
    = QStringLiteral("The list shown above are the artists found that do not yet have a folder...");

// What a left-out file looks like in Details.
QString leftOutLine(const TLeftOut& file)
{
    return QStringLiteral("%1: %2").arg(file.file, ReasonText(file.reason));
}

// What Details says of one event of a move, where there is more to say than the report of
// the run does (which names the files left, see MoveReport). Empty otherwise.
QString moveNote(const TMoveEvent& event)
{
    // Its name held a different song: the user finds it under another name.
    if (event.outcome == TMoveOutcome::Moved && event.reason == TReason::NameTaken)
        return QStringLiteral("%1: %2, filed as %3")
            .arg(event.file, ReasonText(event.reason), FileNameOf(event.target));
    return QString();
}

// What Details says of the command of the source list's menu that an event reports.
QString menuNote(const TMoveEvent& event)
{
    switch (event.outcome) {
    case TMoveOutcome::Deleted:
        return event.trashed.isEmpty() ? QStringLiteral("%1 deleted for good").arg(event.file)
                                       : QStringLiteral("%1 moved to the Trash").arg(event.file);
    case TMoveOutcome::DoubleMoved:
        return QStringLiteral("%1 set aside as %2").arg(event.file, event.target);
    default:
        return QStringLiteral("%1: %2").arg(event.file, ReasonText(event.reason));
    }
}

} // namespace

TfrmMain::TfrmMain(TSettingsStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_store(store)
    , m_pump(m_abort, [this] {
        // What the loops wrote so far shows at the coming repaint. New rows make a view lay
        // out all its rows again, so they reach the views a few times a second, not at
        // every turn of the event loop.
        m_details->flush();
        if (!m_sinceRowsShown.isValid() || m_sinceRowsShown.elapsed() >= kRowsShownEvery) {
            sourceItems().announcePending();
            destinationItems().announcePending();
            m_sinceRowsShown.start();
        }
    })
{
    SkinWindow(*this, QStringLiteral("frmMain"), QStringLiteral("Plumtide"), kMainClientSize,
        QPoint(159, 106));

    createControls();
    m_details.emplace(*Details);
    createBrowsePanel();
    createNewArtistsPanel();
    createMenus();
    createTimers();
    setFocusOrder();
    connectHandlers();
    m_focusKeeper = new keyboard::TFocusKeeper(*this);

    // "No" is the default: an Enter pressed out of habit must not delete or undo anything.
    confirm = [this](const QString& question) {
        return QMessageBox::question(this, QStringLiteral("Plumtide"), question,
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    };
    chooseFolder = [this](const QString& artist, const QStringList& folders) {
        TFolderChooser chooser(this, artist, folders);
        return chooser.exec() == QDialog::Accepted ? chooser.chosen() : QString();
    };
    FormCreate();
    createFirstStartPanel();
    // Alt with a letter presses the button underlining it, wherever the focus is; in a
    // field it is never typed.
    keyboard::NoAltTypingIn(*this);
}

TfrmMain::~TfrmMain()
{
    // The image list is a member and dies before the QWidget base, which still closes the
    // window and lays out the views: they must not reach for it then.
    hide();
    for (TListView* view : { ListDestination, ListSource, Status })
        view->items().setImageList(nullptr);
}

TAutoRunSteps TfrmMain::autoRunSteps()
{
    return {
        .busy = [this] { return m_handlersRunning > 0 || m_refreshBusy || m_workDepth > 0; },
        .held = [this] { return autoSortHeld(); },
        .run = [this] { return autoRun(); },
        // The window stays as the user has it: no refresh that would take the fields away
        // mid-typing; the memo and the icon say what failed (see AutoTimerTimer).
        .reportError =
            [](const std::exception* error) {
                qWarning("Plumtide: %s", error ? error->what() : "unknown error");
            },
    };
}

bool TfrmMain::autoSortHeld() const
{
    if (m_optionsWindow && m_optionsWindow->isVisible())
        return true;
    const auto typing = [](const QLineEdit* field, const QString& listed) {
        return field->hasFocus() && field->text() != listed;
    };
    return typing(edtSource, m_listedSource) || typing(edtDestination, m_listedDestination);
}

void TfrmMain::resumeAutoSort()
{
    // After the handler that ended the hold, so that the run is not inside it.
    if (AutoTimer->isActive())
        QTimer::singleShot(0, this, [this] { AutoTimerTimer(); });
}

bool TfrmMain::autoRun()
{
    const QScopedValueRollback automatic(m_automatic, true);
    beginWork();
    // Busy without taking anything from the user: the fields, the view and the panel stay
    // as they are; only the commands that start work of their own wait.
    setAllEnabled({ imgbrowseSource, imgBrowseDestination, btnSorteren, btnViewSource,
                      btnViewDestination, btnVerplaats, btnNieuweWissen, btnFileUnder, Ok },
        false);
    setCursor(Qt::BusyCursor);
    // What the memo said stays unless the run has something to tell.
    const QStringList shown = DetailsLines();
    bool told = false;
    const auto idle = qScopeGuard([&] {
        endWork();
        Ok->setEnabled(true);
        enableButtons();
        if (!told) {
            DetailsClear();
            for (const QString& line : shown)
                DetailsAdd(line);
        }
    });

    const TRunSetup setup = fieldSetup();
    const TSortRequest& request = setup.request;
    listIntoViews(request);
    TPlanObserver planOnly;
    if (!m_listing.aborted())
        m_listing.plan(m_pump, planOnly);
    if (m_listing.aborted() || (m_listing.rowCount() == 0 && m_listing.strays().isEmpty()))
        return false;

    // An undo under way, or a history that cannot be used, makes this run fail; it is tried
    // again later.
    TRunSession session(setup.start);
    QStringList notes;
    QSet<QString> gone;
    m_lastNewlyLeft.clear();
    m_lastLeft.clear();
    m_lastMoveSummary = TMoveSummary();
    m_lastMoveSummary.end = TRunEnd::Failed;
    const auto relist = [&] {
        // The lists show what the run left, where the user looks at them; the plan shown
        // loses the files the run took away.
        listIntoViews(request);
        const bool planned = planItems().count() > 0;
        planItems().removePlanFiles(gone);
        if (planned && planItems().count() == 0)
            planItems().add(EmptyPlanRow(
                request.source, sourceItems().count() + int(m_listing.leftOut().size())));
    };
    try {
        session.carryOut(setup.how, m_listing.work(), m_listing.filePaths(), m_pump,
            [&](const TMoveEvent& event) {
                if (const QString note = moveNote(event); !note.isEmpty())
                    notes.append(note);
                if (ChangedFiles(event.outcome))
                    gone.insert(event.file);
            });
    } catch (const std::exception& error) {
        m_lastMoveSummary = session.summary();
        m_lastLeft = session.left();
        relist();
        const QString message = QString::fromUtf8(error.what());
        const bool news = TellOnceFor(request.source, TRunOrigin::Auto).newError(message);
        session.tellHook(m_pump, {}, news ? message : QString());
        throw;
    }
    TellOnceFor(request.source, TRunOrigin::Auto).succeeded();
    m_lastMoveSummary = session.summary();
    session.completed(m_listing);
    m_lastLeft = session.left();
    // The notification tells of files newly left, not of the same ones at every run.
    m_lastNewlyLeft = TellOnceFor(request.source, TRunOrigin::Auto).newlyLeft(m_lastLeft);
    if (const QString failed = session.tellHook(m_pump, m_lastNewlyLeft); !failed.isEmpty())
        notes.append(QStringLiteral("The command run after the sort (OnRun) %1").arg(failed));
    relist();
    for (const QString& notice : session.notices())
        notes.prepend(notice);
    m_lastMoveNotes = notes;
    if (m_lastMoveSummary.anythingHappened()) {
        told = true;
        showMoveReport(request.destination, QStringLiteral("Automatic sort: "));
    }
    return true;
}

void TfrmMain::beginWork()
{
    if (m_workDepth++ == 0)
        imgannuleren->setEnabled(true);
}

void TfrmMain::endWork()
{
    if (--m_workDepth > 0)
        return;
    // An abort stops the work it was pressed for, never the next one.
    m_abort = false;
    imgannuleren->setEnabled(false);
    if (m_focusKeeper)
        m_focusKeeper->giveBack();
}

bool TfrmMain::moveFilesUsable() const
{
    return !Status->isHidden() && PlanHasFilesToMove(planItems())
        && edtSource->text() == m_plannedSource && edtDestination->text() == m_plannedDestination;
}

TRunSetup TfrmMain::runSetup(
    TRunOrigin origin, const QString& source, const QString& destination) const
{
    TRunChoices choices;
    choices.origin = origin;
    choices.source = source;
    choices.destination = destination;
    const bool automatic = IsAutomatic(origin);
    choices.settleMs = automatic ? qint64(m_workingCopy.watchSettle) * 1000 : m_handSettleMs;
    if (automatic)
        choices.held = LoadHolds();
    try {
        choices.assignments = LoadAssignments(AssignmentsFile());
    } catch (const PlumtideError& error) {
        qWarning("Plumtide: %s", error.what());
    }
    TRunSetup setup = SetupRun(m_workingCopy, choices);
    if (automatic && m_sourceWatch) {
        setup.request.leaveOut.setOpenCounts(m_sourceWatch->openCounts().known());
        setup.how.leaveOut = setup.request.leaveOut;
    }
    return setup;
}

std::unique_ptr<TRunSession> TfrmMain::startSession(const TRunSetup& setup)
{
    try {
        return std::make_unique<TRunSession>(setup.start);
    } catch (const PlumtideError& error) {
        // Nothing changes that the history could not keep: an undo under way, or a history
        // that cannot be used. Details says why.
        DetailsShow(error.message());
        return nullptr;
    }
}

TRunSetup TfrmMain::fieldSetup() const
{
    return runSetup(m_automatic ? TRunOrigin::Auto : TRunOrigin::Window, edtSource->text(),
        edtDestination->text());
}

void TfrmMain::connectHandlers()
{
    const auto onClick = [this](auto* sender, auto signal, void (TfrmMain::*handler)()) {
        connect(sender, signal, this, [this, handler] { runHandler(handler); });
    };
    onClick(btnViewSource, &QPushButton::clicked, &TfrmMain::btnViewSourceClick);
    onClick(btnViewDestination, &QPushButton::clicked, &TfrmMain::btnViewDestinationClick);
    onClick(btnSorteren, &QPushButton::clicked, &TfrmMain::btnSorterenClick);
    onClick(btnVerplaats, &QPushButton::clicked, &TfrmMain::btnVerplaatsClick);
    onClick(Ok, &QPushButton::clicked, &TfrmMain::OkClick);
    onClick(btnNieuweWissen, &QPushButton::clicked, &TfrmMain::btnNieuweWissenClick);
    onClick(btnFileUnder, &QPushButton::clicked, &TfrmMain::btnFileUnderClick);
    onClick(imgCloseNieuwe, &TImage::clicked, &TfrmMain::imgCloseNieuweClick);
    onClick(startupTimer, &QTimer::timeout, &TfrmMain::startupTimerTimer);
    onClick(Verplaatsennaardubbelebestanden, &QAction::triggered,
        &TfrmMain::VerplaatsennaardubbelebestandenClick);
    onClick(Verwijderen, &QAction::triggered, &TfrmMain::VerwijderenClick);
    onClick(Delete1, &QAction::triggered, &TfrmMain::Delete1Click);
    onClick(UndoLastSort, &QAction::triggered, &TfrmMain::UndoLastSortClick);
    onClick(FileUnderSameArtist, &QAction::triggered, &TfrmMain::FileUnderSameArtistClick);
    connect(ListNieuwe, &QListWidget::itemSelectionChanged, this,
        [this] { Ok->setText(CreateCaption(ListNieuwe->selectedItems().size())); });

    // Window chrome: usable while busy, and none of it lets events through.
    connect(imgMinimize, &TImage::clicked, this, &TfrmMain::imgMinimizeClick);
    connect(Afsluiten1, &QAction::triggered, this, &TfrmMain::Afsluiten1Click);
    connect(ShowPlumtide, &QAction::triggered, this, &TfrmMain::ShowPlumtideClick);
    connect(Title, &TImage::mouseDown, this, &TfrmMain::TitleMouseDown);
    connect(Title, &TImage::mouseUp, this, &TfrmMain::TitleMouseUp);
    connect(mouseTimer, &QTimer::timeout, this, &TfrmMain::mouseTimerTimer);
    // Not a handler that counts as work: an automatic run hands its errors on by itself.
    connect(AutoTimer, &QTimer::timeout, this, &TfrmMain::AutoTimerTimer);
    onClick(edtSource, &QLineEdit::textChanged, &TfrmMain::edtSourceChange);
    onClick(edtDestination, &QLineEdit::textChanged, &TfrmMain::edtDestinationChange);
    controls::onFocusOut(edtSource, [this] { runHandler(&TfrmMain::edtSourceExit); });
    controls::onFocusOut(edtDestination, [this] { runHandler(&TfrmMain::edtDestinationExit); });
    onClick(imgbrowseSource, &TImage::clicked, &TfrmMain::imgbrowseSourceClick);
    onClick(imgBrowseDestination, &TImage::clicked, &TfrmMain::imgBrowseDestinationClick);
    onClick(imgBrowser, &TImage::clicked, &TfrmMain::imgBrowserClick);
    onClick(ShellTreeView, &TShellTreeView::Chosen, &TfrmMain::ShellTreeViewClick);
    // Usable while busy, as the close marks are.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &TfrmMain::closeTopPanel);
    // The pictures and the menus' commands have keys of their own. None starts inside work.
    const auto key = [this](const QKeySequence& keys, const std::function<void()>& command) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this, command] {
            if (m_workDepth == 0 && m_handlersRunning == 0)
                command();
        });
    };
    key(QKeySequence(Qt::Key_F5), [this] { runHandler(&TfrmMain::Refresh); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Comma), [this] { imgOptiesClick(); });
    // In a field Ctrl+Z takes back typing, never a sort; the undo asks first.
    key(QKeySequence::Undo, [this] {
        if (!keyboard::IsTextField(focusWidget()))
            runHandler(&TfrmMain::UndoLastSortClick);
    });
    onClick(imgOpties, &TImage::clicked, &TfrmMain::imgOptiesClick);
}

void TfrmMain::runHandler(void (TfrmMain::*handler)())
{
    // Handlers let events through while they work, the automatic sort's ticks among them;
    // no automatic run may start inside one (or inside the error handler's refresh).
    ++m_handlersRunning;
    const auto done = qScopeGuard([this] { --m_handlersRunning; });
    // Qt's widget library is built without exception support, so what a handler throws
    // must not unwind through its frames (their clean-up would be skipped). It stops here
    // and goes where the application's notify() sends errors of event handlers.
    try {
        (this->*handler)();
    } catch (const std::exception& error) {
        ReportHandlerError(&error);
    } catch (...) {
        ReportHandlerError(nullptr);
    }
}

void TfrmMain::FormCreate()
{
    // Files opened for reading are opened read-only by the core's own calls, so there is no
    // process-wide file mode to set here.
    m_titleDragger.emplace(*this, *mouseTimer); // not dragging
    try {
        LoadWorkingCopy(m_store, m_workingCopy, ProgramFolder());
    } catch (const std::exception& error) {
        // A value that cannot be used stops the load there; the rest keeps its defaults.
        // No refresh here: the window is not up yet, and the start-up step refreshes.
        qWarning("Plumtide: %s", error.what());
    }
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Spontaneous show events come from the window system (a restore), not from showing;
    // neither is coming back from the notification area a new showing.
    if (!event->spontaneous() && !Systray->Restoring())
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
    m_autoSort.restart(QDateTime::currentDateTime());
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

void TfrmMain::Afsluiten1Click()
{
    close();
}

void TfrmMain::ShowPlumtideClick()
{
    Systray->RestoreApp();
}

void TfrmMain::imgMinimizeClick()
{
    // The notification-area icon takes over from here (TSystray), where there is one.
    showMinimized();
}

void TfrmMain::TitleMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, QPoint position)
{
    m_titleDragger->mouseDown(position);
}

void TfrmMain::TitleMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, QPoint)
{
    m_titleDragger->mouseUp();
}

void TfrmMain::mouseTimerTimer()
{
    m_titleDragger->tick();
}

bool TfrmMain::PumpEvents()
{
    QCoreApplication::processEvents();
    return m_abort;
}

void TfrmMain::DetailsClear()
{
    m_details->clear();
    m_details->flush();
}

void TfrmMain::DetailsAdd(const QString& line)
{
    m_details->addLine(line);
    m_details->flush();
}

void TfrmMain::DetailsShow(const QString& line)
{
    m_details->clear();
    DetailsAdd(line);
}

QStringList TfrmMain::DetailsLines() const
{
    return m_details->lines();
}

void TfrmMain::disableButtons()
{
    setAllEnabled(
        { imgbrowseSource, imgBrowseDestination, edtSource, edtDestination, btnNieuweWissen,
            btnFileUnder, btnSorteren, btnViewDestination, btnViewSource, btnVerplaats, Details },
        false);
    Status->setCursor(Qt::WaitCursor);
    setCursor(Qt::WaitCursor);
}

void TfrmMain::enableButtons()
{
    setAllEnabled(
        { imgbrowseSource, imgBrowseDestination, edtSource, edtDestination, btnNieuweWissen,
            btnFileUnder, btnSorteren, btnViewDestination, btnViewSource },
        true);
    btnVerplaats->setEnabled(moveFilesUsable());
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
    const int index = Status->itemIndex();
    FileUnderSameArtist->setEnabled(
        index >= 0 && planItems().row(index).kind == TListRow::Kind::Unfiled);
}

void TfrmMain::FileUnderSameArtistClick()
{
    const int index = Status->itemIndex();
    if (index < 0 || m_workDepth > 0)
        return;
    const QString file = planItems().caption(index);
    const auto found = std::find_if(m_sameArtist.begin(), m_sameArtist.end(),
        [&](const TSameArtistFile& same) { return same.file == file; });
    if (found == m_sameArtist.end())
        return;
    const TSameArtistFile chosen = *found;
    if (!FileUnder({ chosen.artist }, chosen.folderName))
        return;
    btnSorterenClick();
    DetailsAdd(
        QStringLiteral("Files of %1 go to %2 from now on").arg(chosen.artist, chosen.folderName));
}

void TfrmMain::Verwijderen1Click()
{
    // Only the plan changes; "Move files" keeps its state.
    const int index = Status->itemIndex();
    if (CanRemoveRowByHand(index))
        planItems().remove(index);
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
    Refresh();
    enableButtons();
    // A move that an error ended says so, and what it did before.
    if (std::exchange(m_moveFailed, false))
        showMoveReport(m_plannedDestination);
}

void TfrmMain::Refresh()
{
    beginWork();
    const auto ended = qScopeGuard([this] { endWork(); });
    disableButtons();
    if (!m_refreshBusy) {
        m_refreshBusy = true;
        // However the refresh ends (done, aborted, or by an error), later refreshes must
        // find it over: a flag left set would make every one of them do nothing.
        const auto over = qScopeGuard([this] { m_refreshBusy = false; });
        m_abort = false;
        refreshLists();
    }
    enableButtons();
}

void TfrmMain::refreshLists()
{
    setAllEnabled({ btnViewSource, btnViewDestination, btnSorteren, btnVerplaats }, false);
    ListDestination->setCursor(Qt::WaitCursor);
    ListSource->setCursor(Qt::WaitCursor);
    listIntoViews(fieldSetup().request);
    ListDestination->unsetCursor();
    ListSource->unsetCursor();
    setAllEnabled({ btnViewSource, btnViewDestination, btnSorteren }, true);
    DetailsClear();
    for (const QString& line : MissingFolderLines(m_listedSource, m_listedDestination))
        DetailsAdd(line);
    showLeftOut();
    btnVerplaats->setEnabled(false);
}

void TfrmMain::showMoveReport(const QString& destination, const QString& prefix)
{
    // Root may write anywhere: the files it was refused are then told one by one.
    const bool writable = destination.isEmpty() || QFileInfo(destination).isWritable();
    QStringList lines = MoveReport(m_lastMoveSummary, m_lastLeft, destination, writable);
    lines.first().prepend(prefix);
    DetailsShow(lines.takeFirst());
    // What the history said (a damaged one set aside) before the files.
    for (const QString& note : std::as_const(m_lastMoveNotes))
        DetailsAdd(note);
    for (const QString& line : std::as_const(lines))
        DetailsAdd(line);
}

void TfrmMain::showViewText(const QString& text)
{
    const QStringList missing = MissingFolderLines(m_listedSource, m_listedDestination);
    if (missing.isEmpty()) {
        DetailsShow(text);
        return;
    }
    DetailsClear();
    for (const QString& line : missing)
        DetailsAdd(line);
}

void TfrmMain::showLeftOut()
{
    // A file that is not in the lists is not there without a word: how many, why, and which.
    std::vector<std::pair<TReason, int>> reasons;
    QStringList lines;
    for (const TLeftOut& file : m_listing.leftOut()) {
        // Where the user wants them, after an undo: nothing to tell.
        if (file.reason == TReason::HeldByUndo)
            continue;
        CountReason(reasons, file.reason);
        lines.append(leftOutLine(file));
    }
    if (lines.isEmpty())
        return;
    DetailsAdd(QStringLiteral("%1 left out for now (%2)")
                   .arg(lines.size() == 1 ? QStringLiteral("1 file")
                                          : QStringLiteral("%1 files").arg(lines.size()))
                   .arg(ReasonCounts(reasons)));
    for (const QString& line : std::as_const(lines))
        DetailsAdd(line);
}

void TfrmMain::listIntoViews(const TSortRequest& request)
{
    destinationItems().clear();
    sourceItems().clear();

    // The views show the rows as they are read.
    struct Rows : TPlanObserver {
        explicit Rows(TfrmMain& window)
            : folders(window.destinationItems())
            , files(window.sourceItems())
        {
        }
        void folderListed(const TFolderRow& folder) override
        {
            folders.add({ folder.path, { folder.relativeName }, TImageList::Folder });
        }
        void fileListed(const TSourceRow& file) override
        {
            files.add({ file.path, { file.key, file.title }, TImageList::MusicNotes });
        }
        RowBatch folders;
        RowBatch files;
    } rows(*this);
    m_listedSource = request.source;
    m_listedDestination = request.destination;
    m_listing = PlanSortRun(request, m_pump, *m_details, rows, true);
    rows.folders.finish();
    rows.files.finish();
}

void TfrmMain::setActiveView(const QString& caption)
{
    lblActive->setText(caption);
    lblActive->adjustSize();
}

void TfrmMain::btnViewSourceClick()
{
    disableButtons();
    setActiveView(QStringLiteral("Source files"));
    sourceItems().clear();
    ListSource->show();
    ListDestination->hide();
    setAllEnabled({ btnVerplaats, Status, ListSource, ListDestination }, false);
    refreshForViewSwitch([this] {
        Status->hide();
        ListSource->show();
        ListDestination->hide();
    });
    showViewText(kSourceViewText);
    showLeftOut();
    enableButtons();
}

void TfrmMain::btnViewDestinationClick()
{
    disableButtons();
    setActiveView(QStringLiteral("Destination folders"));
    sourceItems().clear();
    ListSource->setEnabled(true);
    ListDestination->show();
    Status->hide();
    setAllEnabled({ btnVerplaats, Status, ListDestination }, false);
    refreshForViewSwitch([this] {
        ListSource->hide();
        ListDestination->show();
    });
    showViewText(kDestinationViewText);
    showLeftOut();
    enableButtons();
}

void TfrmMain::refreshForViewSwitch(const std::function<void()>& showView)
{
    // The views come back even when the refresh ends in an error: the error handler only
    // refreshes and returns to idle.
    const auto viewsBack = qScopeGuard([this] {
        setAllEnabled({ Status, ListSource, ListDestination }, true);
    });
    Refresh();
    showView();
}

void TfrmMain::startupTimerTimer()
{
    startupTimer->stop();
    // Minimised, the window goes into the notification area (TSystray); where the desktop
    // has none, it stays minimised on the taskbar, never hidden beyond reach.
    if (m_workingCopy.startHidden)
        showMinimized();
    if (m_workingCopy.autoSortOn)
        AutoTimer->start();
    else
        AutoTimer->stop();
    btnViewSource->setEnabled(false);
    Refresh();
    syncSourceWatch();
}

void TfrmMain::settingsChanged(
    const TOptionsValues& values, const std::optional<std::pair<QString, QString>>& folders)
{
    if (folders) {
        edtSource->setText(folders->first);
        edtDestination->setText(folders->second);
    }
    ApplyOptions(values, m_workingCopy);
    if (!values.autoTimeOn)
        AutoTimer->stop();
    else if (!AutoTimer->isActive())
        AutoTimer->start();
    syncSourceWatch();
}

void TfrmMain::syncSourceWatch()
{
    // Watched whenever automatic runs are on, also without WatchSource: the watch's open
    // counts tell those runs which files another user's program still writes.
    if (!AutoTimer->isActive() || m_listedSource.isEmpty()) {
        m_sourceWatch.reset();
        return;
    }
    const qint64 settleMs = qint64(m_workingCopy.watchSettle) * 1000;
    // Options changed in the settings window hold for the next file, as every saved option
    // does: the watch starts anew with them.
    if (m_sourceWatch && m_sourceWatch->folder() == m_listedSource
        && m_sourceWatch->formats() == m_workingCopy.formats
        && m_sourceWatch->companions() == m_workingCopy.moveCompanions
        && m_sourceWatch->tracker().settleMs() == settleMs)
        return;
    TWatchSettings settings;
    settings.folder = m_listedSource;
    settings.formats = m_workingCopy.formats;
    settings.settleMs = settleMs;
    // Files a run left behind are the timer's business, as without the watch.
    settings.retryMs = 0;
    settings.companions = m_workingCopy.moveCompanions;
    m_sourceWatch = std::make_unique<TSourceWatcher>(settings,
        TSourceWatcher::Callbacks { [this](const QStringList&) {
                                       if (m_workingCopy.watchSource)
                                           m_autoSort.requestRun();
                                   },
            [](const QString& message) { qInfo("Plumtide: %s", qUtf8Printable(message)); } });
    m_sourceWatch->start();
}

void TfrmMain::AutoTimerTimer()
{
    const QString title = QStringLiteral("Plumtide");
    syncSourceWatch();
    const TAutoTick tick = m_autoSort.tick(m_workingCopy.autoSortInterval);
    if (m_sourceWatch && tick != TAutoTick::NotDue && tick != TAutoTick::Busy
        && tick != TAutoTick::Held)
        m_sourceWatch->runEnded();
    switch (tick) {
    case TAutoTick::Moved:
        // Details has it (see autoRun); the icon's notification tells whoever keeps the
        // program in the notification area what it did there (only while the icon is shown).
        // Files left are told once, when they are first left or their reason changes.
        m_lastTrayNotice = TrayNotice(m_lastMoveSummary, m_lastNewlyLeft);
        if (!m_lastTrayNotice.isEmpty())
            Systray->ShowMessage(title, m_lastTrayNotice);
        break;
    case TAutoTick::Failed:
        // After the error handler, whose refresh clears the memo; one line however often
        // it fails, and one notification per run of failures.
        DetailsShow(m_autoSort.failureText());
        if (m_autoSort.failures() == 1)
            Systray->ShowMessage(title, m_autoSort.failureText());
        break;
    case TAutoTick::NotDue:
    case TAutoTick::Busy:
    case TAutoTick::Held:
    case TAutoTick::Ran:
        break;
    }
}

void TfrmMain::btnSorterenClick()
{
    beginWork();
    const auto ended = qScopeGuard([this] { endWork(); });
    disableButtons();
    m_abort = false;

    Status->show();
    Status->setCursor(Qt::WaitCursor);
    setCursor(Qt::WaitCursor);
    setActiveView(QStringLiteral("Status"));
    ListSource->hide();
    ListDestination->hide();
    planItems().clear();

    Refresh();

    Status->show();
    btnViewSource->setEnabled(false);
    btnViewDestination->setEnabled(false);
    planItems().clear();
    ListNieuwe->clear();
    DetailsShow(QStringLiteral(
        "Now searching for folders matching the the artist. This may take a while..."));

    // The move and "Create" work with the folders this plan was made for, whatever the
    // fields hold by the time they run.
    m_plannedSource = m_listing.request().source;
    m_plannedDestination = m_listing.request().destination;
    // The plan keeps its rows as numbers into the two lists' paths.
    struct Entries : TPlanObserver {
        explicit Entries(const TPlannedSort& listing)
            : marker(listing.files(), listing.folders())
        {
        }
        void planned(const std::vector<TPlanEntry>& rows) override
        {
            for (TPlanEntry row : rows) {
                marker.mark(row);
                entries.push_back(row);
            }
        }
        void assignmentIgnored(const TAssignment& assignment) override
        {
            ignored.append(QStringLiteral("The assignment of %1 to %2 is ignored: no such folder")
                               .arg(assignment.artist, assignment.folder));
        }
        TOtherArtistMarker marker;
        TPlanEntries entries;
        QStringList ignored;
    } planned(m_listing);
    m_listing.plan(m_pump, planned);
    TPlanEntries entries = std::move(planned.entries);
    const QStringList newArtists = m_listing.newArtists();
    m_leftOut = m_listing.leftOut();
    m_strays = m_listing.strays();
    const TPlanCounts counts = CountPlan(entries, newArtists.size());
    planItems().setPlan(sourceItems().captions(), destinationItems().captions(), std::move(entries),
        TImageList::MusicNotes, PlanFolderNames(m_listing.folders()),
        PlanArtists(m_listing.files()));
    m_sameArtist = SameArtistFiles(m_listing);
    for (const TSameArtistFile& file : m_sameArtist)
        planItems().add(SameArtistRow(file, TImageList::MusicNotes));
    ListNieuwe->addItems(newArtists);

    DetailsShow(QStringLiteral(
        "You can now press \"move files\" to actualy move the files to these folders..."));
    if (planItems().count() == 0) {
        const TListRow empty = EmptyPlanRow(
            m_plannedSource, sourceItems().count() + int(m_listing.leftOut().size()));
        planItems().add(empty);
        if (const QStringList missing = MissingFolderLines(m_plannedSource, m_plannedDestination);
            !missing.isEmpty()) {
            DetailsClear();
            for (const QString& line : missing)
                DetailsAdd(line);
        } else if (empty.caption == QLatin1String(kNoArtistsFound)) {
            DetailsShow(QStringLiteral(
                "There are no mp3 files found or there are no folders matching the artists..."));
        } else {
            DetailsShow(empty.caption);
        }
    }
    if (ListNieuwe->count() > 0) {
        DetailsShow(kNewArtistsLine);
        pnlNieuwe->show();
    }
    showLeftOut();
    for (const QString& line : std::as_const(planned.ignored))
        DetailsAdd(line);
    if (counts.rows > 0)
        for (const QString& line : PlanCountLines(counts))
            DetailsAdd(line);
    btnVerplaats->setEnabled(moveFilesUsable());

    btnViewSource->setEnabled(true);
    btnViewDestination->setEnabled(true);
    Status->unsetCursor();
    unsetCursor();
    enableButtons();
}

void TfrmMain::btnVerplaatsClick()
{
    // What the user cannot see is not moved: a plan behind another view, or one made for
    // folders the fields no longer name.
    if (!moveFilesUsable())
        return;
    beginWork();
    const auto ended = qScopeGuard([this] { endWork(); });
    disableButtons();
    DetailsShow(QStringLiteral("The files are now being placed in their matching folder"));
    setAllEnabled({ btnSorteren, btnViewSource, btnViewDestination, btnVerplaats }, false);
    Status->setCursor(Qt::WaitCursor);
    setCursor(Qt::WaitCursor);

    // An abort left set by the planning stops this before the first row.
    const TRunSetup setup = runSetup(TRunOrigin::Window, m_plannedSource, m_plannedDestination);
    const std::unique_ptr<TRunSession> session = startSession(setup);
    if (!session) {
        enableButtons();
        return;
    }
    m_lastMoveNotes.clear();
    {
        // Kept however the run ends: an error goes on to the error handler, which reports it.
        const auto keep = qScopeGuard([&] {
            m_lastMoveSummary = session->summary();
            m_lastLeft = session->left();
            m_moveFailed = session->status() == TRunStatus::Failed;
            for (const QString& notice : session->notices())
                m_lastMoveNotes.prepend(notice);
        });
        session->carryOut(setup.how,
            planWorkOf(planItems(), std::exchange(m_leftOut, {}), std::exchange(m_strays, {}),
                setup.request.keptMoves),
            planItems().planFiles(), m_pump, [this](const TMoveEvent& event) {
                if (const QString note = moveNote(event); !note.isEmpty())
                    m_lastMoveNotes.append(note);
            });
        // Of the plan it was given: what had no row is left too (before the plan is made
        // again below).
        session->completed(m_listing);
    }
    const QString destination = m_plannedDestination;

    Refresh();
    btnVerplaats->setEnabled(false);
    Status->unsetCursor();
    unsetCursor();
    setAllEnabled({ btnSorteren, btnViewSource, btnViewDestination }, true);
    btnSorterenClick();
    showMoveReport(destination);
    enableButtons();
}

void TfrmMain::OkClick()
{
    if (m_workDepth > 0)
        return;
    const QString source = m_plannedSource.isEmpty() ? edtSource->text() : m_plannedSource;
    const QString destination
        = m_plannedDestination.isEmpty() ? edtDestination->text() : m_plannedDestination;
    QStringList entries;
    for (int i = 0; i < ListNieuwe->count(); ++i)
        entries.append(ListNieuwe->item(i)->text());
    QStringList selected;
    for (const QListWidgetItem* item : ListNieuwe->selectedItems())
        selected.append(item->text());
    std::vector<TWorkItem> folders;
    for (const QString& name : NewArtistsToCreate(entries, selected))
        folders.push_back(TCreateFolder { JoinPath(destination, name) });
    const TRunSetup setup = runSetup(TRunOrigin::Create, source, destination);
    std::unique_ptr<TRunSession> session = startSession(setup);
    if (!session)
        return;
    QStringList lines;
    QStringList failed;
    {
        beginWork();
        const auto ended = qScopeGuard([this] { endWork(); });
        QStringList made;
        session->carryOut(
            TCarryOut {}, WorkOf(std::move(folders)), {}, m_pump, [&](const TMoveEvent& event) {
                if (event.outcome == TMoveOutcome::NotCreated)
                    failed.append(QStringLiteral("The folder %1 could not be made: %2")
                                      .arg(event.file, ReasonText(event.reason)));
                else
                    made.append(RelativeFolderName(destination, event.file));
            });
        if (!made.isEmpty())
            lines.append(QStringLiteral("%1 made in %2: %3")
                             .arg(made.size() == 1 ? QStringLiteral("1 folder")
                                                   : QStringLiteral("%1 folders").arg(made.size()),
                                 destination, made.join(QStringLiteral(", "))));
        lines += failed;
        lines += session->notices();
        for (const QString& name : std::as_const(made))
            delete ListNieuwe->findItems(name, Qt::MatchExactly).value(0);
        if (failed.isEmpty() && ListNieuwe->count() == 0)
            imgCloseNieuweClick();
    }
    session.reset(); // the run is over before the plan is made again
    // The plan follows at once while the fields name its folders: the files of the new
    // folders go there, and the panel lists the artists still without one.
    if (!m_plannedSource.isEmpty() && edtSource->text() == m_plannedSource
        && edtDestination->text() == m_plannedDestination) {
        btnSorterenClick();
    } else {
        // Otherwise the panel keeps what is left to make (a folder that could not be made
        // among them) until the next plan.
        DetailsClear();
        if (failed.isEmpty())
            imgCloseNieuweClick();
    }
    for (const QString& line : std::as_const(lines))
        DetailsAdd(line);
}

void TfrmMain::btnNieuweWissenClick()
{
    for (QListWidgetItem* item : ListNieuwe->selectedItems())
        delete ListNieuwe->takeItem(ListNieuwe->row(item));
}

void TfrmMain::btnFileUnderClick()
{
    const QList<QListWidgetItem*> selected = ListNieuwe->selectedItems();
    if (selected.isEmpty() || m_workDepth > 0)
        return;
    const QString entry = selected.first()->text();
    const QString destination
        = m_plannedDestination.isEmpty() ? edtDestination->text() : m_plannedDestination;
    const QStringList folders = ArtistFolderChoices(m_listing.folders());
    if (folders.isEmpty()) {
        DetailsShow(
            QStringLiteral("%1 has no artist folders to file %2 under").arg(destination, entry));
        return;
    }
    const QString folder = chooseFolder ? chooseFolder(entry, folders) : QString();
    if (folder.isEmpty())
        return;
    if (!FileUnder(ArtistsBehindEntry(entry, m_listing.files()), folder)) {
        DetailsShow(QStringLiteral("%1 cannot be filed under a folder: its name has no letter "
                                   "or digit")
                        .arg(entry));
        return;
    }
    // The plan shows the artist's files going there, marked "assigned".
    btnSorterenClick();
    if (ListNieuwe->count() == 0)
        imgCloseNieuweClick();
    DetailsAdd(QStringLiteral("Files of %1 go to %2 from now on").arg(entry, folder));
}

void TfrmMain::imgCloseNieuweClick()
{
    const bool hadFocus = pnlNieuwe->isAncestorOf(focusWidget());
    ListNieuwe->clear();
    pnlNieuwe->hide();
    if (QStringList lines = DetailsLines(); lines.removeAll(kNewArtistsLine) > 0) {
        DetailsClear();
        for (const QString& line : std::as_const(lines))
            DetailsAdd(line);
    }
    if (hadFocus)
        (Status->isVisible() ? static_cast<QWidget*>(Status) : btnSorteren)->setFocus();
}

void TfrmMain::closeTopPanel()
{
    QWidget* top = keyboard::TopPanel({ pnlBrowse, pnlNieuwe });
    if (top == pnlBrowse)
        imgBrowserClick();
    else if (top == pnlNieuwe)
        runHandler(&TfrmMain::imgCloseNieuweClick);
}

void TfrmMain::SourcePopupMenuPopup()
{
    const TSourceMenuEnabling enabling
        = SourceMenuEnabling(selectedSourceFile(), m_workingCopy.doublesFolder);
    Verplaatsennaardubbelebestanden->setEnabled(enabling.moveToDoubles);
    Verwijderen->setEnabled(enabling.remove);
}

void TfrmMain::VerplaatsennaardubbelebestandenClick()
{
    const std::optional<QString> file = selectedSourceFile();
    if (!SourceMenuEnabling(file, m_workingCopy.doublesFolder).moveToDoubles)
        return;
    // Stays where it is when it cannot be set aside; the lists show it again.
    runMenuCommand(TSetAsideByHand { *file }, m_workingCopy.doublesFolder);
}

void TfrmMain::VerwijderenClick()
{
    const std::optional<QString> file = selectedSourceFile();
    if (!SourceMenuEnabling(file, m_workingCopy.doublesFolder).remove)
        return;
    if (m_workDepth > 0)
        return;
    // Into the Trash when the settings say so, else gone for good; a file in use, or one
    // that cannot be deleted, stays listed.
    const QString question = m_workingCopy.useTrash ? QStringLiteral("Move '%1' to the Trash?")
                                                    : QStringLiteral("Delete '%1' for good?");
    if (!confirm || !confirm(question.arg(FileNameOf(*file))))
        return;
    runMenuCommand(TDeleteByHand { *file }, QString());
}

void TfrmMain::runMenuCommand(const TWorkItem& command, const QString& destination)
{
    if (m_workDepth > 0)
        return;
    const TRunSetup setup = runSetup(TRunOrigin::Menu, edtSource->text(), destination);
    const std::unique_ptr<TRunSession> session = startSession(setup);
    if (!session)
        return;
    beginWork();
    const auto ended = qScopeGuard([this] { endWork(); });
    // A command of the menu acts on the one file at once: it waits for nothing to settle,
    // and no folder of a sort is its concern.
    TCarryOut how;
    how.move = setup.how.move;
    how.move.sourceFolder.clear();
    how.move.destinationFolder.clear();
    QString note;
    session->carryOut(how, WorkOf({ command }), {}, m_pump,
        [&](const TMoveEvent& event) { note = menuNote(event); });
    Refresh();
    showHistoryNotes(*session, note);
}

void TfrmMain::edtSourceChange()
{
    // Every keystroke reaches the store at once; the disk gets the latest text a moment
    // later, or when the field is left, so typing never waits for it.
    WriteSourceFolder(m_store, edtSource->text(), TDurable::Soon);
    if (!storeFlushTimer->isActive())
        storeFlushTimer->start();
    if (m_workDepth == 0)
        btnVerplaats->setEnabled(moveFilesUsable());
}

void TfrmMain::edtSourceExit()
{
    WriteSourceFolder(m_store, edtSource->text());
    resumeAutoSort();
}

void TfrmMain::edtDestinationChange()
{
    WriteDestinationFolder(m_store, edtDestination->text(), TDurable::Soon);
    if (!storeFlushTimer->isActive())
        storeFlushTimer->start();
    if (m_workDepth == 0)
        btnVerplaats->setEnabled(moveFilesUsable());
}

void TfrmMain::edtDestinationExit()
{
    WriteDestinationFolder(m_store, edtDestination->text());
    resumeAutoSort();
}

void TfrmMain::openBrowser(TBrowseTarget target)
{
    // A browse image clicked while the panel is open switches it to that field.
    const bool source
        = target == TBrowseTarget::Source || target == TBrowseTarget::FirstStartSource;
    imgBrowseFile->setVisible(source);
    imgbrowseDir->setVisible(!source);
    pnlBrowse->move(kBrowsePanelPlace.topLeft());
    pnlBrowse->show();
    pnlBrowse->raise();
    m_browseTarget = target;
    // At the folder the field names, so that a folder near it is a step away.
    const QLineEdit* field = browsedField();
    if (field && !field->text().isEmpty())
        ShellTreeView->revealFolder(AbsolutePath(field->text()));
    ShellTreeView->setFocus();
}

void TfrmMain::imgbrowseSourceClick()
{
    openBrowser(TBrowseTarget::Source);
}

void TfrmMain::imgBrowseDestinationClick()
{
    openBrowser(TBrowseTarget::Destination);
}

void TfrmMain::imgBrowserClick()
{
    // The target stays: the next opening sets it anyway.
    const bool hadFocus = pnlBrowse->isAncestorOf(focusWidget());
    imgbrowseDir->hide();
    imgBrowseFile->show();
    pnlBrowse->move(kBrowsePanelPlace.topLeft());
    pnlBrowse->hide();
    if (!hadFocus)
        return;
    if (pnlFirstStart && m_browseTarget == TBrowseTarget::FirstStartSource)
        pnlFirstStart->imgBrowseSource->setFocus();
    else if (pnlFirstStart && m_browseTarget == TBrowseTarget::FirstStartDestination)
        pnlFirstStart->imgBrowseDestination->setFocus();
    else
        (m_browseTarget == TBrowseTarget::Destination ? imgBrowseDestination : imgbrowseSource)
            ->setFocus();
}

void TfrmMain::ShellTreeViewClick()
{
    const QString folder = ShellTreeView->SelectedFolder();
    if (folder.isEmpty())
        return;
    // A whole disk as the source would sort every mp3 file on it: only when the user says so.
    if ((m_browseTarget == TBrowseTarget::Source
            || m_browseTarget == TBrowseTarget::FirstStartSource)
        && IsFileSystemRoot(folder, MountedVolumes())
        && (!confirm
            || !confirm(QStringLiteral("'%1' is the top of a whole disk. Sort the mp3 files of "
                                       "all its folders?")
                            .arg(folder))))
        return;
    // The first-start panel stores its fields at its "Start".
    if (m_browseTarget == TBrowseTarget::FirstStartDestination
        || m_browseTarget == TBrowseTarget::FirstStartSource) {
        if (QLineEdit* field = browsedField())
            field->setText(folder);
        return;
    }
    // Setting a field to the text it holds is no change: its change handler stays quiet.
    if (m_browseTarget == TBrowseTarget::Source)
        edtSource->setText(folder);
    else if (m_browseTarget == TBrowseTarget::Destination)
        edtDestination->setText(folder);
    WriteSourceFolder(m_store, edtSource->text());
    WriteDestinationFolder(m_store, edtDestination->text());
    Refresh();
}

void TfrmMain::imgOptiesClick()
{
    if (!m_optionsWindow)
        return;
    m_optionsWindow->show();
    m_optionsWindow->raise();
    m_optionsWindow->activateWindow();
}

std::optional<QString> TfrmMain::selectedSourceFile() const
{
    const int index = ListSource->itemIndex();
    if (index < 0)
        return std::nullopt;
    return sourceItems().caption(index);
}

} // namespace plumtide
