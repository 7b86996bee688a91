#pragma once

// The main window's controls and handlers keep their historical names, Dutch and designer's.
// What they mean:
//   Sorteren        sort: btnSorteren plans the sort ("Start sort")
//   Verplaats       move: btnVerplaats carries the plan out ("Move files")
//   Nieuwe          new artists: the panel, list and buttons of the folders to make
//   Wissen          remove (an entry of a list, not a file)
//   Verwijderen     delete (a file, from the source list's menu)
//   Verplaatsen naar dubbele bestanden   move to the doubles folder
//   annuleren       abort; Opties: settings; Ok: "Create" (makes the new artists' folders)
//   Status          the plan's list view (planItems() are its rows); Details: the memo

#include "core/pipeline.h"
#include "core/summary.h"
#include "core/watching/autosort.h"
#include "session/setup.h"
#include "settings/settings.h"
#include "settings/settingsstore.h"
#include "ui/artwork.h"
#include "ui/folderpanel.h"
#include "ui/image.h"
#include "ui/listview.h"
#include "ui/newartists.h"
#include "ui/systray.h"
#include "ui/titledrag.h"
#include "ui/weblabel.h"
#include "ui/windowpump.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace plumtide
{

class TFirstStartPanel;
class TfrmOpties;
class TShellTreeView;
class TSourceWatcher;
namespace keyboard
{
class TFocusKeeper;
}

// Which folder field the folder browser fills: the window's, or the first-start panel's.
enum class TBrowseTarget { None, Source, Destination, FirstStartSource, FirstStartDestination };

// The main window: a frameless, skinned window of fixed size with the two folder fields,
// three stacked list views (source files, destination folders, sort plan), the command
// buttons and the explanation memo. It owns every control, the lists, the timers and the
// state the long operations share: the abort and refresh-busy flags and the last automatic
// run. The controls keep their historical names and are public, as on a designed form;
// they live and die with the window.
class TfrmMain : public QWidget
{
    Q_OBJECT
public:
    // Loads the working copy from `store`, which must outlive the window and is also where
    // the folder fields write.
    explicit TfrmMain(TSettingsStore& store, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // --- State shared with the long operations -----------------------------------------

    // A request to stop the running long operation; set by Abort and by closing the window,
    // and cleared when the work it stopped has ended.
    bool abortFlag() const { return m_abort; }
    void setAbortFlag(bool on) { m_abort = on; }
    // True while a refresh runs, so that a refresh entered again through the event pump
    // does nothing.
    bool refreshBusy() const { return m_refreshBusy; }
    void setRefreshBusy(bool on) { m_refreshBusy = on; }
    // The moment from which the next automatic sort is timed.
    QDateTime lastAutoRun() const { return m_autoSort.lastRun(); }
    void setLastAutoRun(const QDateTime& moment) { m_autoSort.restart(moment); }
    // What the last "Move files" did (by hand or automatic).
    const TMoveSummary& lastMoveSummary() const { return m_lastMoveSummary; }
    // What the last automatic run told from the notification area; empty for nothing.
    const QString& lastTrayNotice() const { return m_lastTrayNotice; }

    // Lets pending events run (repaints, the Abort image, timers) and reports whether the
    // abort flag is set.
    bool PumpEvents();
    // What the core's long loops are given: the pump (events now and then, the abort flag)
    // and the `Details` memo.
    Pump& pump() { return m_pump; }
    DetailsSink& details() { return *m_details; }

    TWorkingCopy& workingCopy() { return m_workingCopy; }
    const TWorkingCopy& workingCopy() const { return m_workingCopy; }
    TSettingsStore& store() const { return m_store; }

    TBrowseTarget browseTarget() const { return m_browseTarget; }
    void setBrowseTarget(TBrowseTarget target) { m_browseTarget = target; }
    const TTitleDrag& titleDrag() const { return m_titleDragger->state(); }

    // The settings window, created after this one; null until the program sets it.
    TfrmOpties* optionsWindow() const { return m_optionsWindow; }
    void setOptionsWindow(TfrmOpties* window) { m_optionsWindow = window; }

    // The rows of the three list views.
    TListModel& sourceItems() const { return ListSource->items(); }
    TListModel& destinationItems() const { return ListDestination->items(); }
    TListModel& planItems() const { return Status->items(); }

    // The explanation memo, line by line.
    void DetailsClear();
    void DetailsAdd(const QString& line);
    // Replaces the memo's text by one line.
    void DetailsShow(const QString& line);
    QStringList DetailsLines() const;

    // --- Handlers -----------------------------------------------------------------------

    // Busy: everything that starts work is disabled; Abort, Settings, the title strip, the
    // menus and the open panels stay usable.
    void disableButtons();
    // Idle: the commands come back; "Move files" only when the plan names a file.
    void enableButtons();
    void FormShow();
    void FormClose();
    void imgannulerenClick();
    void imgExitClick();
    void imgMinimizeClick();
    // "&Exit" in the notification area's menu.
    void Afsluiten1Click();
    // "&Show Plumtide" in the notification area's menu: the window back from there.
    void ShowPlumtideClick();
    void TitleMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint position);
    void TitleMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint position);
    void mouseTimerTimer();
    void StatusPopUpPopup();
    void Verwijderen1Click();
    void DestPopupPopup();
    // Removes the folder of the selected destination row; throws IOError when it cannot
    // (only an empty folder can be removed), and the row stays.
    void Delete1Click();
    // Where every error that escapes a handler ends: no message to the user, fresh lists
    // and the window idle again.
    void ApplicationEventsException(const std::exception* error);

    // Rebuilds the source and destination lists from the folders named in the two fields.
    void Refresh();
    void btnViewSourceClick();
    void btnViewDestinationClick();
    // The one step after start: the first refresh, hidden when the settings say so, and
    // automatic sorting started when it is on.
    void startupTimerTimer();
    // Once a second while automatic sorting is on: plans and moves when a run is due.
    void AutoTimerTimer();
    // A run held back while the user typed a folder or had the settings window open starts
    // as soon as that has ended.
    void resumeAutoSort();
    // Watches the source folder last listed while automatic sorting and WatchSource are on,
    // so that a file settling there makes the next tick run; stops watching otherwise.
    void syncSourceWatch();
    // The settings window's values, loaded or saved: the next run is set up with them (see
    // runSetup) and automatic sorting follows them; `folders` (source, destination), when
    // given, go into the fields, which store them.
    void settingsChanged(const TOptionsValues& values,
        const std::optional<std::pair<QString, QString>>& folders = std::nullopt);
    // Plans the sort of every listed file into the listed folders ("Start sort").
    void btnSorterenClick();
    // Carries out the plan on screen, then lists and plans again ("Move files"). Only the
    // plan shown, and only for the folders the fields still name.
    void btnVerplaatsClick();
    // Makes a folder below the destination for every listed new artist ("Create"): a run of
    // its own in the history, which an undo takes back while the folders are empty.
    void OkClick();
    void btnNieuweWissenClick();
    // "File under" in the plan's menu, for a file shown beside the folder of its own artist
    // that the similar rule did not find near enough: the artist's files go there from now
    // on, and the plan is made again.
    void FileUnderSameArtistClick();
    // "File under…": the selected new artist's files go to a folder the user picks, now and
    // in every later sort (a remembered assignment); then the plan is made again.
    void btnFileUnderClick();
    // Hides the panel and empties its list, so nothing of an old plan shows there again.
    void imgCloseNieuweClick();
    // Esc: closes the panel on top (the folder browser or the new artists), if one is open.
    void closeTopPanel();
    void SourcePopupMenuPopup();
    // Sets the selected source file aside in the doubles folder.
    void VerplaatsennaardubbelebestandenClick();
    // Deletes the selected source file (into the Trash, when the settings say so), once the
    // user confirmed it.
    void VerwijderenClick();
    // Takes the newest sort back that is not yet undone, once the user confirmed it
    // ("Undo last sort" in the plan's menu and the notification area's menu).
    void UndoLastSortClick();
    // Asks the user a yes-or-no question (deleting a file, an undo); a message box unless a
    // test replaces it.
    std::function<bool(const QString& question)> confirm;
    // Asks the user which of `folders` the artist's files go to; empty for none. A list to
    // choose from unless a test replaces it.
    std::function<QString(const QString& artist, const QStringList& folders)> chooseFolder;
    // How long a sort by hand waits for files changed just before it (see TLeaveOutPolicy).
    void setHandSettleMs(qint64 ms) { m_handSettleMs = ms; }

    // The folder fields store their text at every change and when they are left.
    void edtSourceChange();
    void edtSourceExit();
    void edtDestinationChange();
    void edtDestinationExit();
    // The folder browser: opened for one field, closed, and a folder chosen in its tree
    // (which fills the field, stores both fields and refreshes).
    void imgbrowseSourceClick();
    void imgBrowseDestinationClick();
    void imgBrowserClick();
    void ShellTreeViewClick();
    // Shows the settings window, which leaves this window usable.
    void imgOptiesClick();
    // The first-start panel's "Start" (stores its folders and way of matching, then lists
    // the folders) and its close mark (stores only that the panel was answered).
    void FirstStartClick();
    void FirstStartCloseClick();

    // --- Controls, bottom to top ----------------------------------------------------------

    const TImageList ImageList;

    TImage* imgBackground;
    QLabel* lblVersion; // the program's name and version in the footer
    QLabel* lblZoekMap;
    TImage* imgbrowseSource;
    QLabel* lblDoelMap;
    TImage* imgBrowseDestination;
    TImage* imgOpties;
    QLabel* Label4;
    QLabel* lblActive;
    TImage* imgannuleren;
    QLabel* Label6;
    TImage* Title;
    TImage* imgExit;
    TImage* Image4;
    TWebLabel* WebLabel1;
    TImage* imgMinimize;
    TListView* ListDestination;
    TListView* ListSource;
    TListView* Status;
    QPushButton* btnVerplaats;
    QPlainTextEdit* Details;
    QLineEdit* edtSource;
    QLineEdit* edtDestination;
    QPushButton* btnViewSource;
    QPushButton* btnViewDestination;
    QPushButton* btnSorteren;

    // Folder browser.
    TFolderPanel* pnlBrowse;
    TImage* imgBrowseFile;
    TImage* imgbrowseDir;
    TImage* imgBrowser;
    TShellTreeView* ShellTreeView;

    // Artists without a folder.
    QFrame* pnlNieuwe;
    TImage* Image1;
    TImage* imgCloseNieuwe;
    QListWidget* ListNieuwe;
    QPushButton* btnNieuweWissen;
    QPushButton* btnFileUnder;
    QPushButton* Ok;

    // Shown at a first start (see FirstStartDue) until answered; null otherwise.
    TFirstStartPanel* pnlFirstStart = nullptr;

    QMenu* SourcePopupMenu;
    QAction* Verplaatsennaardubbelebestanden;
    QAction* Verwijderen;
    QMenu* StatusPopUp;
    QAction* Verwijderen1;
    QAction* UndoLastSort; // in the plan's menu and the notification area's menu
    QAction* FileUnderSameArtist; // in the plan's menu
    QMenu* DestPopup; // attached to no view
    QAction* Delete1;
    QMenu* trayMenu;
    QAction* ShowPlumtide;
    QAction* Afsluiten1;

    QTimer* AutoTimer;
    QTimer* startupTimer;
    QTimer* mouseTimer;
    TSystray* Systray;
    // Makes the folder fields' latest text durable shortly after typing.
    QTimer* storeFlushTimer;

signals:
    // The window was closed; the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    // What an automatic run does here.
    TAutoRunSteps autoRunSteps();
    // An automatic run: lists, plans and carries the plan out through the pipeline, leaving
    // the view, the panel and the fields as the user has them; true when it carried a plan
    // out.
    bool autoRun();
    // Whether the user holds automatic runs back: typing a folder that is not the one
    // listed, or the settings window open.
    bool autoSortHeld() const;
    // Work under way (by hand or automatic): Abort is usable, and the abort flag lives until
    // the outermost work ends.
    void beginWork();
    void endWork();
    // Whether "Move files" may act: the plan view is shown, the plan names a file, and the
    // fields still name the folders it was made for.
    bool moveFilesUsable() const;
    // A run of the window's, as the settings and the given folders ask for it; of the fields'
    // folders, started by hand or (while m_automatic) automatically.
    TRunSetup runSetup(TRunOrigin origin, const QString& source, const QString& destination) const;
    TRunSetup fieldSetup() const;
    // The session of a run by hand; none when it cannot start (Details says why).
    std::unique_ptr<TRunSession> startSession(const TRunSetup& setup);
    // Lists both folders of `request` into the source and destination views.
    void listIntoViews(const TSortRequest& request);
    // Details after a move: what it did and left (see MoveReport), `prefix` first.
    void showMoveReport(const QString& destination, const QString& prefix = {});
    // What Details says of the view shown, unless a folder field names no folder.
    void showViewText(const QString& text);
    // Adds to Details the files the last listing left out: how many, why, and which.
    void showLeftOut();
    void createControls();
    void createBrowsePanel();
    void openBrowser(TBrowseTarget target);
    void createNewArtistsPanel();
    void createFirstStartPanel();
    void closeFirstStartPanel();
    // The field the folder browser fills now; null for none.
    QLineEdit* browsedField() const;
    void createMenus();
    void createTimers();
    void setFocusOrder();
    void connectHandlers();
    void refreshLists();
    void setActiveView(const QString& caption);
    // The refresh of the view switches; `showView` then shows the switch's view.
    void refreshForViewSwitch(const std::function<void()>& showView);
    // Runs a handler started by Qt (a click, a menu entry, a timer) and hands what it throws
    // to ApplicationEventsException.
    void runHandler(void (TfrmMain::*handler)());
    // After a command of the source list's menu: what the session told of the history, and
    // `note`.
    void showHistoryNotes(const TRunSession& session, const QString& note);
    // The path of the selected source row, if a row is selected.
    std::optional<QString> selectedSourceFile() const;
    // Carries out one command of the source list's menu, recorded, then lists again.
    void runMenuCommand(const TWorkItem& command, const QString& destination);

    TSettingsStore& m_store;
    TWorkingCopy m_workingCopy;
    TfrmOpties* m_optionsWindow = nullptr;
    bool m_abort = false;
    bool m_refreshBusy = false;
    std::optional<TDetailsMemo> m_details; // from the creation of `Details` on
    QElapsedTimer m_sinceRowsShown; // since the views last learnt of new rows
    TWindowPump m_pump;
    TAutoSort m_autoSort { autoRunSteps() };
    int m_handlersRunning = 0; // handlers of clicks, menu entries and timers under way
    TMoveSummary m_lastMoveSummary;
    // What the history said of the last move: why it is not recorded, files not trashed.
    QStringList m_lastMoveNotes;
    std::vector<TLeftOut> m_lastLeft; // the files the last move left in the source, and why
    std::vector<TLeftOut> m_lastNewlyLeft; // of those, the news of the last automatic run
    QString m_lastTrayNotice;
    // An automatic run is planning or moving: files an undo brought back are left alone.
    bool m_automatic = false;
    bool m_moveFailed = false; // the last move ended in an error not yet reported
    int m_workDepth = 0; // work under way, nested
    // The folders the plan shown was made for.
    QString m_plannedSource;
    QString m_plannedDestination;
    TBrowseTarget m_browseTarget = TBrowseTarget::None;
    std::optional<TTitleDragger> m_titleDragger; // from FormCreate on
    QString m_listedSource; // the folders of the last refresh
    QString m_listedDestination;
    TPlannedSort m_listing; // the lists as the last refresh made them, planned by "Start sort"
    std::vector<TLeftOut> m_leftOut; // what the plan shown left out
    QStringList m_strays; // lyrics and the like it found without their song
    std::vector<TSameArtistFile> m_sameArtist; // files the plan shows beside their artist's folder
    qint64 m_handSettleMs = kHandSettleMs;
    std::unique_ptr<TSourceWatcher> m_sourceWatch; // while WatchSource applies
    keyboard::TFocusKeeper* m_focusKeeper = nullptr; // a child of the window
};

} // namespace plumtide
