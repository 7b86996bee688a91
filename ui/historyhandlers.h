#pragma once

#include "history/history.h"

#include <QString>

namespace plumtide
{

// The question "Undo last sort" asks before it starts.
QString UndoQuestion(const THistoryRun& run, int files);

} // namespace plumtide
