#pragma once

#include "core/movedecisions.h"
#include "core/moveevents.h"
#include "core/movesettings.h"
#include "core/pump.h"
#include "core/rows.h"
#include "core/summary.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace plumtide
{

// Carries out a move: the plan rows in order, one event per row.
//
// Each row is decided (see TMoveDecider) at the moment it is carried out, against the disk
// as it is then, so a file that changed since the plan was made is handled as it is now:
// - a row whose file no longer exists is skipped (a later row of a file already moved);
// - with small-file deletion on, a file under the limit that nobody holds is deleted;
// - a file in use, or whose folder is gone, stays;
// - a file already in its folder stays and is reported in place;
// - otherwise the file goes into its folder: within one file system by a rename (never over
//   a file there, the source watched until the rename as a copy's would be), across file
//   systems by a copy that is complete and on disk before the source is deleted; either way
//   a move counts as done only once both folders are flushed, and a killed run leaves every
//   file whole at its source or its target;
// - a file whose name is taken in its folder is a double: set aside in the doubles folder,
//   deleted, or kept, as the settings say. The doubles folder never loses a file: when its
//   file of that name has the same contents the source is just deleted, otherwise the
//   double gets the first free name "name (2).mp3", "name (3).mp3", ...; a doubles folder
//   that is the file's own folder keeps it where it is.
//
// A failure that concerns one file or one folder (permission denied, a name the file system
// refuses, no space for the file) skips that file with its reason and the run goes on. A
// failure that concerns the whole run (its source or destination folder gone, the doubles
// folder missing when doubles are to be set aside) ends it: what was done before is
// committed and reported, and the error escapes as IOError.
//
// Copies are written a few at a time and committed together, so the disk can write them
// side by side, and the folders of many renames are flushed together; each event is
// reported once what it says is done on disk, in row order.
class TMoveRun
{
public:
    TMoveRun(const TMoveSettings& settings, MoveReporter report);
    ~TMoveRun();
    TMoveRun(const TMoveRun&) = delete;
    TMoveRun& operator=(const TMoveRun&) = delete;

    // The rows in order. The pump runs before each row; once it asks to stop, the remaining
    // rows are not reported. Returns false when the pump stopped it.
    bool run(const std::vector<TPlanRow>& rows, Pump& pump);
    // The same with the rows made as they are needed: `next` gives one row at a time and
    // false after the last, so a plan of any size is carried out in the same memory.
    bool run(const std::function<bool(TPlanRow&)>& next, Pump& pump);

    // Sets one file aside in the doubles folder, as a double of the move would be, and
    // reports what happened to it (DoubleMoved, DoubleKept when the doubles folder is its own
    // folder, or Skipped).
    TMoveEvent setAside(const QString& file);

    // What the run did so far, and how it ended: also after run() threw.
    const TMoveSummary& summary() const;

private:
    class Executor;
    std::unique_ptr<Executor> m_executor;
};

// A run of `rows` as TMoveRun does it, for callers that want no summary. Returns false when
// the pump stopped it.
bool MovePlannedFiles(const std::vector<TPlanRow>& rows, const TMoveSettings& settings, Pump& pump,
    const MoveReporter& report);

// Sets one file aside in the doubles folder (TMoveRun::setAside); `report` hears the event
// once it is true.
TMoveEvent MoveToDoublesFolder(
    const QString& file, const QString& doublesFolder, const MoveReporter& report = {});

// Creates one folder per artist key directly below `destination`, skipping those that
// exist, in order; `onCreated` sees each folder made (also one that another program made
// at the same moment). A folder that cannot be made (a name too long, a character the file
// system refuses, no permission) is left out with its reason (`onFailed`), and the others
// are still made: one odd artist name must not block every later one.
void CreateArtistFolders(const QString& destination, const QStringList& keys,
    const std::function<void(const QString& folder)>& onCreated = {},
    const std::function<void(const QString& folder, const QString& reason)>& onFailed = {});

// Why a file or folder could not be placed, from the system's error (a skip reason).
QString ReasonOfError(int errnoValue);

} // namespace plumtide
