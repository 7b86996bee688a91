#pragma once

#include "core/moving/moveevents.h"
#include "core/pump.h"
#include "core/summary.h"
#include "session/session.h"

#include <QString>

namespace plumtide
{

struct TUndoSummary {
    int restored = 0;
    int removed = 0; // empty folders the run had made
    int notRestored = 0;
    // Of those, the files a later undo (`undo RUN`) may still take back once their cause is
    // gone (an old path taken, a file no longer at its target): not one deleted for good or
    // recorded with a relative path, and no folder the run made (kept: it is the user's now).
    int mayComeBack = 0;
    // Why files stayed, by reason, in the order the reasons first came up.
    std::vector<std::pair<TReason, int>> reasons;
    bool aborted = false;
    // Files left (FilesLeft) are those that may come back.
    TRunStatus status = TRunStatus::Done;
    qint64 run = 0; // the run taken back
    // "Undo of run 12: 14 files restored, 1 not restored (1 deleted for good)"
    QString text() const;
};

// Takes back run `run` of the history at `historyPath`, newest record first, through the
// one executor of every run (see CarryOut):
// - a file it moved goes back to its old path as a move goes (renamed within one file
//   system, a durable copy across file systems, never over anything), but only while the
//   file at its target is still the one moved there (same size and modification time) and
//   the old path is free; missing folders of the old path are made;
// - a file it put in the Trash comes back from there on the same terms; a double it deleted
//   because the doubles folder held the same bytes is copied back from there;
// - a folder it made is removed while it is empty;
// - a file deleted for good, and every file that cannot come back, is reported with why;
//   so is a record whose paths are relative (kept by older versions), never guessed at.
// Each restored file is reported as a Restored event (file: where it was, target: its old
// path), each removed folder as Removed, each other as NotRestored. Then the run is marked undone,
// or partly-undone when files stayed. The undo is a run of the history itself (origin undo), and no
// other run starts while it runs. In a dry run each file is decided as the undo would, and nothing
// is changed or recorded. Throws HistoryError when the history cannot be read or has no
// such run, and PlumtideError when a sort is under way.
TUndoSummary UndoRun(
    const QString& historyPath, qint64 run, bool dryRun, Pump& pump, const MoveReporter& report);

} // namespace plumtide
