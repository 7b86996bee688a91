#pragma once

#include "ui/listmodel.h"

#include <QString>

#include <optional>

namespace plumtide
{

// The one row sort planning leaves in the plan when no file has a matching folder.
inline constexpr const char* kNoArtistsFound = "No corresponding artists found";

// The one row a plan shows when it has no file to move.
TListRow PlanPlaceholderRow();

// Whether "Move files" may be used: the plan has a first row and it names a file, not the
// placeholder.
bool PlanHasFilesToMove(const TListModel& plan);

// Whether the row at `index` of a plan (or of the destination list) may be removed by hand:
// never with nothing selected (-1), and never the first row.
bool CanRemoveRowByHand(int index);

// Which entries of the source list's menu may act, for the selected file (none when no row
// is selected): setting it aside needs an existing doubles folder, deleting it needs the
// file to exist. The two are independent; the disk is looked at now.
struct TSourceMenuEnabling {
    bool moveToDoubles = false;
    bool remove = false;
};
TSourceMenuEnabling SourceMenuEnabling(
    const std::optional<QString>& selectedFile, const QString& doublesFolder);

} // namespace plumtide
