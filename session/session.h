#pragma once

#include "core/moving/filesleft.h"
#include "core/pipeline.h"
#include "history/history.h"
#include "session/runhook.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace plumtide
{

class TRunRecorder;

// How a run ended, in the words every front end maps to its own (plumtide-cli's exit status,
// the window's lines).
enum class TRunStatus {
    Done, // it went through all its work, and left nothing it was asked to do
    FilesLeft, // it went through all its work, and left files a later run may still deal with
    Failed, // an error that concerns the whole run ended it
    Interrupted, // stopped at a safe point on request; what was done before stays done
};

// One run from its start to its end, however it starts: the window's "Move files", its
// automatic runs, the source list's menu commands and "Create", plumtide-cli sort and each
// watch run, and an undo. It holds the run lock for the run's whole life, settles what killed
// runs left before the run's first change, records the run (or, without a history, only holds
// the lock), carries its work out through the one pipeline, and keeps its summary and the
// files it left. The front ends only show what it reports.
class TRunSession
{
public:
    struct TStart {
        TRunOrigin origin = TRunOrigin::Cli;
        QString source;
        QString destination;
        // KeepHistory: without it nothing is recorded, and there is no undo of the run.
        bool keepHistory = true;
        // Decides and reports, changes nothing: no lock, no record.
        bool dryRun = false;
        // The folders for new artists are a run of their own (origin create), begun first, so
        // that an undo takes the sort back before them and then the folders while empty.
        bool foldersApart = false;
        qint64 undoes = 0; // an undo: the run it takes back
        QString historyPath = THistory::DefaultPath();
        // Told of the run once it is over (see tellHook): runs nobody watches.
        TRunHook hook;
    };

    // Throws UndoUnderWay while an undo runs (a sort), PlumtideError while another run is
    // under way (an undo), and HistoryError when the history cannot be used: the run does not
    // start.
    explicit TRunSession(const TStart& start);
    ~TRunSession();
    TRunSession(const TRunSession&) = delete;
    TRunSession& operator=(const TRunSession&) = delete;

    const TStart& start() const { return m_start; }
    // What the user should hear once of the history (a damaged one set aside).
    const QStringList& notices() const { return m_notices; }
    // The history, settled; null in a dry run or without one.
    THistory* history() const;

    // Carries out `work` (see CarryOut), recorded, each event to `report` once it is true on
    // disk; once a session. An error that ends the run (a history that cannot be written
    // included) escapes once the summary holds what was done.
    TMoveSummary carryOut(const TCarryOut& how, const TWorkSource& work, const QStringList& files,
        Pump& pump, const MoveReporter& report = {});
    // After carrying out `plan`: if the run went through all its work, the files it listed
    // that no event named had no row and are left (see TFilesLeft), but for those the plan
    // kept in the source by the user's choice.
    void completed(const TPlannedSort& plan);
    // A file an undo left where it was that a later undo may still bring back once its cause
    // is gone: a file left, as far as status() goes.
    void leftForLater() { ++m_leftForLater; }

    // The run is over and its history written: the run lock is let go, and the hook, if
    // any, is told of the run when it has something to tell: an error that is news
    // (`error`), else files left that are news (`newlyLeft`, as the front end's tell-once
    // rule found them), else that it moved something. Waits for the hook, `pump` run
    // meanwhile. Returns why the hook failed (said on standard error already), empty when it
    // ran well or did not run. The history is no longer at hand afterwards.
    QString tellHook(Pump& pump, const std::vector<TLeftOut>& newlyLeft, const QString& error = {});
    // The same for a run that could not start (an undo under way, a history that cannot be
    // used), for an `error` that is news.
    static QString tellHookNotStarted(const TStart& start, Pump& pump, const QString& error);

    const TMoveSummary& summary() const { return m_summary; }
    // The files the run was asked to file and left, with why.
    const std::vector<TLeftOut>& left() const { return m_left.files(); }
    // How the run ended: failed or interrupted as its summary says; otherwise files left
    // when a file it was asked to deal with stayed where it was (for a sort, known once
    // completed() was called; for an undo, as leftForLater() told).
    TRunStatus status() const;

private:
    class Log;

    TStart m_start;
    std::unique_ptr<TRunRecorder> m_folders; // the folders' own run (foldersApart)
    std::unique_ptr<TRunRecorder> m_recorder;
    std::unique_ptr<Log> m_log;
    QStringList m_notices;
    TMoveSummary m_summary;
    TFilesLeft m_left;
    int m_leftForLater = 0;
    std::vector<std::pair<QString, QString>> m_moved; // for the hook: file, target
};

} // namespace plumtide
