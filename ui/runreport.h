#pragma once

#include "core/planning/leaveout.h"
#include "core/summary.h"
#include "ui/listmodel.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace plumtide
{

// What the window says after a run, worded apart from the widgets. Songs are counted, not
// files: lyrics, cue sheets and notes go with their song and are no news of their own.

// What a move did and what it left, for Details: the first line counts ("38 songs moved, 2
// doubles deleted; 10 songs left in the source (7 no folder for its artist, 3 in use)"), the
// others name the files left for a reason a user can act on. A destination that cannot be
// written to (`destinationWritable` false) is said once, not once per file it refused.
QStringList MoveReport(const TMoveSummary& summary, const std::vector<TLeftOut>& left,
    const QString& destination, bool destinationWritable);

// The notification of an automatic run: what it changed on disk and the files it left that
// are news (a few named with their reasons, then how many more). Empty when there is nothing
// to tell, so that the same files left at every run are told once.
QString TrayNotice(const TMoveSummary& summary, const std::vector<TLeftOut>& newlyLeft);

// What Details says of folder fields that name no folder: one line each, empty when both
// exist. The disk is looked at now.
QStringList MissingFolderLines(const QString& source, const QString& destination);

// The one row of a plan with nothing to move: why. A missing source folder, a source without
// songs (after a move that took them all, say) and songs no folder matches read differently;
// only the last is marked as a failure.
TListRow EmptyPlanRow(const QString& source, int listedSongs);

} // namespace plumtide
