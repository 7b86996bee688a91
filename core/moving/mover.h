#pragma once

#include "core/moving/movedecisions.h"
#include "core/moving/moveevents.h"
#include "core/moving/movesettings.h"
#include "core/planning/leaveout.h"
#include "core/pump.h"
#include "core/runlog.h"
#include "core/summary.h"

#include <memory>

namespace plumtide
{

// How a run's items are carried out.
struct TCarryOut {
    TMoveSettings move;
    TLeaveOutPolicy leaveOut;
    // Decide everything and report it, change nothing.
    bool dryRun = false;
    // In a dry run: files taken as gone, as the real run will find them (what recovering a
    // killed run deletes before the real run begins).
    QStringList assumedGone;
};

// The executor: carries out a run's items in order, one event per item (see CarryOut in
// pipeline.h, the way every run starts).
//
// Each item is decided (see TMoveDecider) at the moment it is carried out, against the disk
// as it is then, so a file that changed since the plan was made is handled as it is now:
// - a row whose file no longer exists, is in use, or is still being written, stays;
// - with small-file deletion on, a file under the limit that nobody holds is deleted;
// - a file whose folder is gone stays;
// - a file already in its folder stays and is reported in place;
// - otherwise the file goes into its folder through one durable move (see TDurableMove):
//   within one file system by a rename, across file systems by a copy that is complete and
//   on disk before the source is deleted, never over a file there; a move counts as done
//   only once both folders are flushed, and a killed run leaves every file whole at its
//   source or its target. The move's own open of the file is its in-use test, as a
//   deletion's is: a file is opened once to be moved;
// - a file whose name is taken in its folder by the same song (the same audio, whatever the
//   tags) is a double: set aside in the doubles folder, deleted, or kept, as the settings
//   say; taken by a different song, the file goes under the first numbered name free for
//   it ("name (2).mp3") that does not hold a different song. The doubles folder never loses a file:
//   when its file of that name has the same contents the source is just deleted, otherwise the
//   double gets the first free name "name (2).mp3", "name (3).mp3", ...; a doubles folder
//   that is the file's own folder keeps it where it is; the default doubles folder is made
//   for the first double, one the user chose and that is missing keeps its doubles where
//   they are;
// - a file's first plan row decides the file, whatever its outcome; its later rows are
//   "already handled".
// An undo's records go back the same way: renamed within one file system, copied durably
// across file systems, never over anything; a folder a run made is removed while empty.
//
// Files are placed in groups (as many as a group holds, or what the run has when it ends):
// the run log (when given) gets the group's events, its moves as pending, before any of
// them is made, and each event once it is true, so that no move is ever missing from the
// run's record, whenever the run is killed.
//
// A failure that concerns one file or one folder (permission denied, a name the file system
// refuses, no space for the file) skips that file with its reason and the run goes on. A
// failure that concerns the whole run (its source or destination folder gone) ends it: what
// was done before is committed and reported, and the error escapes as IOError.
//
// Copies are written a few at a time and committed together, so the disk can write them
// side by side, and the folders of many renames are flushed together; each event is
// reported once what it says is done on disk, in item order, first to the log, then to
// `report`.
class TMoveRun
{
public:
    TMoveRun(const TCarryOut& how, MoveReporter report, TRunLog* log = nullptr);
    ~TMoveRun();
    TMoveRun(const TMoveRun&) = delete;
    TMoveRun& operator=(const TMoveRun&) = delete;

    // The items in order. The pump runs before each item; once it asks to stop, the
    // remaining items are not reported. Returns false when the pump stopped it.
    bool run(const TWorkSource& work, Pump& pump);

    // What the run did so far, and how it ended: also after run() threw.
    const TMoveSummary& summary() const;

private:
    class Executor;
    std::unique_ptr<Executor> m_executor;
};

} // namespace plumtide
