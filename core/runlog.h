#pragma once

#include "core/moveevents.h"
#include "core/summary.h"

namespace plumtide
{

// Where carrying out reports what a run did, for keeping: the history implements it (the
// core knows nothing of how it is kept). Every event reaches it once what it says is true
// on disk, in order.
class TRunLog
{
public:
    virtual ~TRunLog() = default;
    virtual void record(const TMoveEvent& event) = 0;
    // A safe point between two items: what was recorded may be written out now.
    virtual void checkpoint() { }
    // The run ended, however it ended (also when an error ends it).
    virtual void finish(const TMoveSummary& summary) = 0;
};

} // namespace plumtide
