#pragma once

#include "core/pump.h"
#include "history/history.h"

#include <QString>

#include <functional>

namespace plumtide
{

// What an undo did with one file of the run it takes back.
struct TUndoEvent {
    bool restored = false;
    QString from; // where the file was: its target, or its place in the Trash
    QString to; // its old path (restored)
    QString reason; // why it stayed (not restored)
};

// Why a file stays where it is.
namespace keep
{
inline const QString Gone = QStringLiteral("no longer at its target");
inline const QString Changed = QStringLiteral("changed since the move");
inline const QString PathTaken = QStringLiteral("old path taken");
inline const QString DeletedForGood = QStringLiteral("deleted for good");
inline const QString NotInTrash = QStringLiteral("no longer in the Trash");
} // namespace keep

struct TUndoSummary {
    int restored = 0;
    int notRestored = 0;
    bool aborted = false;
    qint64 run = 0; // the run taken back
    // "Undo of run 12: 14 files restored, 1 not restored"
    QString text() const;
};

// Takes back run `run` of the history at `historyPath`, newest record first:
// - a file it moved goes back to its old path with the move's own durable, never-overwriting
//   steps, but only while the file at its target is still the one moved there (same size and
//   modification time) and the old path is free; missing folders of the old path are made;
// - a file it put in the Trash comes back from there on the same terms; a double it deleted
//   because the doubles folder held the same bytes is copied back from there;
// - a file deleted for good, and every file that cannot come back, is reported with why.
// Then the run is marked undone, or partly-undone when files stayed. The undo is a run of
// the history itself (origin undo), and no other run starts while it runs. In a dry run
// each file is decided as the undo would, and nothing is changed or recorded.
// Throws HistoryError when the history cannot be read or has no such run, and PlumtideError
// when a sort is under way.
TUndoSummary UndoRun(const QString& historyPath, qint64 run, bool dryRun, Pump& pump,
    const std::function<void(const TUndoEvent&)>& report);

} // namespace plumtide
