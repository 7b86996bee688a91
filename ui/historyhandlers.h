#pragma once

#include "history/history.h"
#include "session/undo.h"

#include <QString>

namespace plumtide
{

// The question "Undo last sort" asks before it starts, from what a dry run of the undo
// found: how many files can come back, and why the others cannot.
QString UndoQuestion(const THistoryRun& run, const TUndoSummary& preview);

} // namespace plumtide
