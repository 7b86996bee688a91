#pragma once

#include "core/moving/moveevents.h"
#include "core/summary.h"

#include <functional>
#include <vector>

namespace plumtide
{

// What makes an event of a group true, should the run end before it is confirmed. The
// numbers are what the history stores: never change one.
enum class TPending : quint8 {
    None = 0, // it is true already
    Move = 1, // a move about to be made: true once its target holds the file, its source gone
    Copy = 2, // a copy about to be made, its source staying: true once its target holds it
    Delete = 3, // a deletion (for good or into the Trash): true once the file is gone
    Create = 4, // a folder about to be made: true once it is there
};

// An event of a group whose moves are about to be made, as it will be once they are.
struct TExpectedEvent {
    TMoveEvent event;
    TPending pending = TPending::None;
};

// A move a log kept: where a file went, as it was then.
struct TKeptMove {
    QString file;
    QString target;
    qint64 size = -1;
    qint64 modified = 0;
};

// The moves a log keeps of files whose path starts with `stem` and that no undo took back,
// newest first: where the song of a companion left without it went (see TStrayCompanion).
using TKeptMovesLookup = std::function<std::vector<TKeptMove>(const QString& stem)>;

// Where carrying out reports what a run did, for keeping: the history implements it (the
// core knows nothing of how it is kept). Every event reaches record() once what it says is
// true on disk, in order.
class TRunLog
{
public:
    virtual ~TRunLog() = default;
    // Before the moves of a group are made: the group's events in order. The log keeps them
    // at once, the moves among them as pending, so that a run killed while they are made
    // leaves none of them out. Then record() gets each of these events again, in the same
    // order, as it turned out (a move that could not be made as the file's skip).
    virtual void expect(const std::vector<TExpectedEvent>& group) { Q_UNUSED(group) }
    virtual void record(const TMoveEvent& event) = 0;
    // A safe point between two items: what was recorded may be written out now.
    virtual void checkpoint() { }
    // The run ended, however it ended (also when an error ends it).
    virtual void finish(const TMoveSummary& summary) = 0;
};

} // namespace plumtide
