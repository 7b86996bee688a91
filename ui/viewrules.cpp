#include "ui/viewrules.h"

#include "core/moving/fileutils.h"
#include "ui/artwork.h"

namespace plumtide
{

TListRow PlanPlaceholderRow()
{
    return TListRow { QLatin1String(kNoArtistsFound), {}, TImageList::NothingFound,
        TListRow::Kind::Placeholder };
}

bool PlanHasFilesToMove(const TListModel& plan)
{
    return plan.count() > 0 && plan.row(0).kind == TListRow::Kind::Item;
}

bool CanRemoveRowByHand(int index)
{
    return index > 0;
}

TSourceMenuEnabling SourceMenuEnabling(
    const std::optional<QString>& selectedFile, const QString& doublesFolder)
{
    if (!selectedFile)
        return {};
    return { FolderExists(doublesFolder), FileExists(*selectedFile) };
}

} // namespace plumtide
