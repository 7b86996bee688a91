#pragma once

#include "core/planning/leaveout.h"
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
// moves, deletions and folders of a group are written before they are made, pending, in one
// transaction, and confirmed in another once they are on disk: a run killed at any moment
// leaves no record of a change that did not happen once the history settles it (see
// THistory), and no change that happened unrecorded. Every path is recorded from the root,
// whatever folder the run was started in, so that an undo from anywhere finds the files.
//
// No change is made that is not written down: a history that cannot be opened stops the run
// before it begins, and one that cannot be written stops it before its next change (expect()
// and checkpoint() throw HistoryError). A run that keeps no history (`keep` false) only holds
// the run lock.
class TRunRecorder : public TRunLog
{
public:
    // Starts a run: takes the run lock (shared; an undo's exclusive), opens the history for
    // writing, settles what runs no longer under way left there, and begins the run. A
    // history that SQLite finds damaged, or not a database at all, is set aside under a dated
    // name with its journal files and a new one begun (notice() says so), once no other run
    // uses it. Throws UndoUnderWay while an undo runs, PlumtideError for an undo while a sort
    // runs or another undo does, and HistoryError when the history cannot be used. A sort
    // started by hand lets go of the files an undo held back: the user now wants them sorted.
    TRunRecorder(TRunOrigin origin, const QString& source, const QString& destination,
        const QString& historyPath = THistory::DefaultPath(), qint64 undoes = 0, bool keep = true);
    ~TRunRecorder() override;
    TRunRecorder(const TRunRecorder&) = delete;
    TRunRecorder& operator=(const TRunRecorder&) = delete;

    // What the user should hear once of the history: that a damaged one was set aside.
    const QString& notice() const { return m_notice; }
    qint64 runId() const { return m_run; }
    // The history, settled; null when the run keeps none (or after it failed).
    THistory* history() const { return m_history.get(); }

    void expect(const std::vector<TExpectedEvent>& group) override;
    void record(const TMoveEvent& event) override;
    // Writes what was recorded since the last checkpoint.
    void checkpoint() override;
    // Writes the rest and ends the run; then removes the runs older than the history keeps.
    // An automatic run that changed nothing is not kept: a timer that finds a file in use
    // every ten minutes would fill the history with nothing; nor is a "Create" that made no
    // folder. Throws HistoryError when something of the run could not be written, unless the
    // run failed otherwise already (its own error is then the one to tell).
    void finish(const TMoveSummary& summary) override;

private:
    void open(const QString& historyPath, bool undo);
    // Stops recording; the run stops at its next change.
    void failed(const QString& why);
    void throwIfFailed() const;
    THistoryRecord recordOf(const TMoveEvent& event) const;

    TRunOrigin m_origin;
    QString m_destination; // as the run was given it
    mutable QString m_currentFolder; // taken when a record first needs it
    FileDescriptor m_lock;
    std::unique_ptr<THistory> m_history;
    qint64 m_run = 0;
    std::vector<THistoryRecord> m_queue;
    // The group written before its changes were made, its records' ids, and how far
    // record() got.
    std::vector<TExpectedEvent> m_expected;
    std::vector<qint64> m_expectedIds;
    size_t m_confirmed = 0;
    std::vector<THistoryRecord> m_corrected; // its records that turned out otherwise
    bool m_changed = false;
    bool m_finished = false;
    QString m_problem; // why the history could not be written
    QString m_notice;
};

// The files an undo brought back, with how they were then (for TLeaveOutPolicy). Empty when
// nothing is held or there is no history to ask.
THeldFiles LoadHolds(const QString& historyPath = THistory::DefaultPath());

} // namespace plumtide
