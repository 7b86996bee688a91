#include "ui/viewrules.h"

#include "core/fileutils.h"

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

TSourceMenuEnabling SourceMenuEnabling(
    const std::optional<QString>& selectedFile, const QString& doublesFolder)
{
    if (!selectedFile)
        return {};
    return { FolderExists(doublesFolder), FileExists(*selectedFile) };
}

} // namespace plumtide
