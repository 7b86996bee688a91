#pragma once

#include "core/reasons.h"
#include "core/rows.h"

#include <QString>

#include <functional>

namespace plumtide
{

// What happened to one file or folder of a run. The numbers are what the history stores:
// never change one, only add.
enum class TMoveOutcome : quint8 {
    Moved = 1, // into its folder; gone from the source
    DoubleMoved = 2, // its name was taken in its folder: set aside in the doubles folder
    DoubleDeleted = 3, // its name was taken in its folder: deleted
    DoubleKept = 4, // its name was taken in its folder: left where it is
    SmallDeleted = 5, // smaller than the limit: deleted
    Skipped = 6, // left where it is, for the reason given
    InPlace = 7, // already in the folder planned for it: nothing to do
    Created = 8, // a folder made for a new artist
    NotCreated = 9, // a folder that could not be made, for the reason given
    Deleted = 10, // deleted by hand from the source list
    Restored = 11, // brought back by an undo (file: where it was, target: its old path)
    NotRestored = 12, // an undo left it, for the reason given
    Removed = 13, // a folder a run made, removed again by an undo while it was still empty
    FolderRemoved = 14, // a sub-folder of the source the run emptied, removed; made again by undo
};

// The name of an outcome in records: "moved", "double-moved", ...; empty for a number that
// names none (a history written by a newer version).
const char* OutcomeName(TMoveOutcome outcome);
// Whether the value is an outcome this version knows.
bool IsKnownOutcome(int value);
// Outcomes that changed something on disk: what a run's file count counts and an undo takes
// back.
bool ChangedFiles(TMoveOutcome outcome);
// Outcomes an undo takes back: what changed files, and the folders a run made.
bool UndoTakesBack(TMoveOutcome outcome);
// Outcomes that deleted their file (for good, or into the Trash).
bool DeletesFile(TMoveOutcome outcome);
// Outcomes whose record names a folder rather than a file.
bool NamesFolder(TMoveOutcome outcome);
// Outcomes whose record gives a reason.
bool GivesReason(TMoveOutcome outcome);

// What happened to one file (or folder) of a run.
struct TMoveEvent {
    TMoveOutcome outcome;
    QString file;
    QString target {}; // where it went (Moved, DoubleMoved, Restored)
    // Why it stayed (Skipped, NotCreated, NotRestored); for a deletion, why it is not in the
    // Trash.
    TReason reason = TReason::None;
    // What the history keeps of a file moved or deleted, to take it back later:
    qint64 size = -1; // bytes; -1 when not known
    qint64 modified = 0; // modification time, nanoseconds since the epoch
    QString trashed {}; // where in the Trash a deleted file went; empty: deleted for good
    // DoubleMoved: the doubles folder held these very bytes at `target` already, so the file
    // itself was deleted rather than moved there.
    bool targetKept = false;
    // Restored and NotRestored: the record of the history it takes back.
    qint64 restores = 0;
    // How the plan row that moved it was chosen.
    TMatchKind match = TMatchKind::Similar;
    // Moved: a companion (lyrics, a cue sheet) that travelled with the song reported just
    // before it, and goes back with it.
    bool companion = false;
};

using MoveReporter = std::function<void(const TMoveEvent&)>;

// Where a run was started: the history keeps it (by these numbers), and the leave-out rules
// depend on it.
enum class TRunOrigin : quint8 {
    Window = 1, // "Move files" clicked
    Auto = 2, // the window's automatic sorting
    Menu = 3, // the source list's menu
    Cli = 4, // plumtide-cli sort
    Watch = 5, // plumtide-cli watch
    Undo = 6,
    Create = 7, // folders made for new artists ("Create", sort --create-artist-folders)
};

const char* OriginName(TRunOrigin origin);
bool IsKnownOrigin(int value);

// Whether runs of this origin start by themselves, with nobody watching what they pick up:
// they leave alone the files an undo brought back, and files still settling.
inline bool IsAutomatic(TRunOrigin origin)
{
    return origin == TRunOrigin::Auto || origin == TRunOrigin::Watch;
}

// Whether a run of this origin is a sort the user started by hand: the files an undo held
// back are the user's to sort again from then on.
inline bool ReleasesHolds(TRunOrigin origin)
{
    return origin == TRunOrigin::Window || origin == TRunOrigin::Cli;
}

} // namespace plumtide
