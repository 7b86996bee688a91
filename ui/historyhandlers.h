#pragma once

#include "history/history.h"

#include <QString>

namespace plumtide
{

// Deletes a file by hand (the source list's "&Delete"): into the Trash when `useTrash` and
// the file is not in use (a file system without a Trash: for good, and the reason says so),
// else for good. The record of a file deleted has the outcome "deleted"; nothing deleted
// gives an empty outcome.
THistoryRecord DeleteByHand(const QString& file, bool useTrash);

// The question "Undo last sort" asks before it starts.
QString UndoQuestion(const THistoryRun& run, int files);

} // namespace plumtide
