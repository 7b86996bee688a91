#include "ui/viewrules.h"

namespace plumtide
{

bool PlanHasFilesToMove(const std::optional<QString>& firstCaption)
{
    return firstCaption && *firstCaption != QLatin1String(kNoArtistsFound);
}

bool CanRemoveRowByHand(int index)
{
    return index > 0;
}

} // namespace plumtide
