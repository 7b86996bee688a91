#pragma once

#include "core/leaveout.h"
#include "core/runlog.h"
#include "history/history.h"
#include "platform/descriptor.h"

#include <QString>

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

// Keeps one run in the history as it is carried out (the run log of CarryOut). Events are
// recorded once they happened (carrying out reports each once what it says is done on disk)
// and written in groups, one transaction each, at the checkpoints between two items. The
// moves of a group are written before they are made, pending, in one transaction, and
// confirmed in another once they are on disk: a run killed at any moment leaves no record
// of a move that did not happen once the history settles it (see THistory), and no move
// that happened unrecorded. Every path is recorded from the root, whatever folder the run
// was started in, so that an undo from anywhere finds the files.
//
// A history that cannot be opened or written never stops the run: the recorder then records
// nothing more, and problem() says why (the caller tells the user once).
class TRunRecorder : public TRunLog
{
public:
    // Starts a run. Throws UndoUnderWay while an undo runs. A sort started by hand lets go of
    // the files an undo held back: the user now wants them sorted.
    TRunRecorder(TRunOrigin origin, const QString& source, const QString& destination,
        const QString& historyPath = THistory::DefaultPath(), qint64 undoes = 0);
    ~TRunRecorder() override;
    TRunRecorder(const TRunRecorder&) = delete;
    TRunRecorder& operator=(const TRunRecorder&) = delete;

    bool recording() const { return m_history != nullptr; }
    // Why the run is not (or no longer) recorded; empty while it is.
    const QString& problem() const { return m_problem; }
    qint64 runId() const { return m_run; }
    THistory* history() const { return m_history.get(); }

    void expect(const std::vector<TExpectedEvent>& group) override;
    void record(const TMoveEvent& event) override;
    std::vector<TKeptMove> movesFrom(const QString& stem) const override;
    // Writes what was recorded since the last checkpoint.
    void checkpoint() override;
    // Writes the rest and ends the run; then removes the runs older than the history keeps.
    // An automatic run that changed nothing is not kept: a timer that finds a file in use
    // every ten minutes would fill the history with nothing; nor is a "Create" that made no
    // folder.
    void finish(const TMoveSummary& summary) override;

private:
    void failed(const QString& why);
    THistoryRecord recordOf(const TMoveEvent& event) const;

    TRunOrigin m_origin;
    QString m_destination; // as the run was given it
    FileDescriptor m_lock;
    std::unique_ptr<THistory> m_history;
    qint64 m_run = 0;
    std::vector<THistoryRecord> m_queue;
    // The group written before its moves were made, its records' ids, and how far record()
    // got.
    std::vector<TExpectedEvent> m_expected;
    std::vector<qint64> m_expectedIds;
    size_t m_confirmed = 0;
    std::vector<THistoryRecord> m_corrected; // its records that turned out otherwise
    bool m_changed = false;
    bool m_finished = false;
    QString m_problem;
};

// The files an undo brought back, with how they were then (for TLeaveOutPolicy). Empty when
// nothing is held or there is no history to ask.
THeldFiles LoadHolds(const QString& historyPath = THistory::DefaultPath());

} // namespace plumtide
