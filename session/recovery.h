#pragma once

#include "history/history.h"

namespace plumtide
{

// The acts of crash recovery, under the run lock before a run's first change: what runs no
// longer under way left in the history is settled, each run while holding its own lock (see
// THistory::recovery for how each record is judged). A move cut between its copy and the
// deletion of its source is finished: the source is deleted while it has the very bytes of
// the copy and nobody uses it, or else the record goes and the source stays the file. What
// never happened is dropped, the rest confirmed. Returns how many runs it settled.
int Recover(THistory& history);

// The same for one of the caller's own runs, whose group an error cut short.
void SettleRun(THistory& history, qint64 run);

} // namespace plumtide
