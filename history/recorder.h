#pragma once

#include "core/moveevents.h"
#include "core/pump.h"
#include "core/sortjob.h"
#include "core/summary.h"
#include "history/history.h"
#include "platform/fileops.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace plumtide
{

// Refused: an undo is under way, and no run starts until it has ended.
class UndoUnderWay : public PlumtideError
{
public:
    UndoUnderWay();
};

// The lock file beside a history: runs hold it shared, an undo exclusively.
QString RunLockPath(const QString& historyPath);

// Records one run in the history as it goes. Events are recorded only once they happened
// (the executor reports each once what it says is done on disk) and written in groups, one
// transaction each, from the pump between two rows: a run killed at any moment leaves no
// record of a move that did not happen, and at most the files of its last group unrecorded.
//
// A history that cannot be opened or written never stops the run: the recorder then records
// nothing more, and problem() says why (the caller tells the user once).
class TRunRecorder
{
public:
    // Starts a run. Throws UndoUnderWay while an undo runs. A sort started by hand (Window,
    // Cli) lets go of the files an undo held back: the user now wants them sorted.
    TRunRecorder(TRunOrigin origin, const QString& source, const QString& destination,
        const QString& historyPath = THistory::DefaultPath(), qint64 undoes = 0);
    ~TRunRecorder();
    TRunRecorder(const TRunRecorder&) = delete;
    TRunRecorder& operator=(const TRunRecorder&) = delete;

    bool recording() const { return m_history != nullptr; }
    // Why the run is not (or no longer) recorded; empty while it is.
    const QString& problem() const { return m_problem; }
    qint64 runId() const { return m_run; }
    THistory* history() const { return m_history.get(); }

    void add(const TMoveEvent& event);
    void add(const THistoryRecord& record);
    // Writes what was added since the last flush.
    void flush();
    // Flushes and ends the run. An automatic run that changed nothing is not kept: a timer
    // that finds a file in use every ten minutes would fill the history with nothing.
    void finish(TRunEnd end);

    // Records each event, then hands it on.
    MoveReporter reporter(MoveReporter next = {});

    // The pump to give the executor: it flushes, then lets `inner` run.
    class RecordingPump : public Pump
    {
    public:
        RecordingPump(TRunRecorder& recorder, Pump& inner)
            : m_recorder(recorder)
            , m_inner(inner)
        {
        }
        void processEvents() override;
        bool abortRequested() const override { return m_inner.abortRequested(); }

    private:
        TRunRecorder& m_recorder;
        Pump& m_inner;
    };

private:
    void failed(const QString& why);

    TRunOrigin m_origin;
    FileDescriptor m_lock;
    std::unique_ptr<THistory> m_history;
    qint64 m_run = 0;
    std::vector<THistoryRecord> m_queue;
    bool m_changed = false;
    bool m_finished = false;
    QString m_problem;
};

// The files an undo brought back that automatic runs leave alone until they change (a
// predicate for TSortJob::leaveOut): a file is held while its size and modification time
// are still those it had when it came back. Empty when nothing is held or there is no
// history to ask.
std::function<bool(const QString& file)> HeldByUndo(
    const QString& historyPath = THistory::DefaultPath());

// A sort job recorded in the history with `job.origin` (a dry run is not recorded). Runs of
// automatic origins leave out the files an undo held back. `observer.notRecorded` hears once
// when the history cannot record the run; the run goes on.
TMoveSummary RunRecordedSortJob(const TSortJob& job, Pump& pump, DetailsSink& details,
    TSortJobObserver& observer, const QString& historyPath = THistory::DefaultPath());

} // namespace plumtide
