#include "core/moving/moveevents.h"

namespace plumtide
{

const char* OutcomeName(TMoveOutcome outcome)
{
    switch (outcome) {
    case TMoveOutcome::Moved:
        return "moved";
    case TMoveOutcome::DoubleMoved:
        return "double-moved";
    case TMoveOutcome::DoubleDeleted:
        return "double-deleted";
    case TMoveOutcome::DoubleKept:
        return "double-kept";
    case TMoveOutcome::SmallDeleted:
        return "small-deleted";
    case TMoveOutcome::Skipped:
        return "skipped";
    case TMoveOutcome::InPlace:
        return "in-place";
    case TMoveOutcome::Created:
        return "created";
    case TMoveOutcome::NotCreated:
        return "not-created";
    case TMoveOutcome::Deleted:
        return "deleted";
    case TMoveOutcome::Restored:
        return "restored";
    case TMoveOutcome::NotRestored:
        return "not-restored";
    case TMoveOutcome::Removed:
        return "removed";
    case TMoveOutcome::FolderRemoved:
        return "folder-removed";
    }
    return "";
}

bool IsKnownOutcome(int value)
{
    return value >= int(TMoveOutcome::Moved) && value <= int(TMoveOutcome::FolderRemoved);
}

bool ChangedFiles(TMoveOutcome outcome)
{
    switch (outcome) {
    case TMoveOutcome::Moved:
    case TMoveOutcome::DoubleMoved:
    case TMoveOutcome::DoubleDeleted:
    case TMoveOutcome::SmallDeleted:
    case TMoveOutcome::Deleted:
    case TMoveOutcome::Restored:
        return true;
    default:
        return false;
    }
}

bool UndoTakesBack(TMoveOutcome outcome)
{
    return ChangedFiles(outcome) || outcome == TMoveOutcome::Created
        || outcome == TMoveOutcome::FolderRemoved;
}

bool DeletesFile(TMoveOutcome outcome)
{
    return outcome == TMoveOutcome::DoubleDeleted || outcome == TMoveOutcome::SmallDeleted
        || outcome == TMoveOutcome::Deleted;
}

bool NamesFolder(TMoveOutcome outcome)
{
    return outcome == TMoveOutcome::Created || outcome == TMoveOutcome::NotCreated
        || outcome == TMoveOutcome::Removed || outcome == TMoveOutcome::FolderRemoved;
}

bool GivesReason(TMoveOutcome outcome)
{
    return outcome == TMoveOutcome::Skipped || outcome == TMoveOutcome::NotCreated
        || outcome == TMoveOutcome::NotRestored;
}

const char* OriginName(TRunOrigin origin)
{
    switch (origin) {
    case TRunOrigin::Window:
        return "window";
    case TRunOrigin::Auto:
        return "auto";
    case TRunOrigin::Menu:
        return "menu";
    case TRunOrigin::Cli:
        return "cli";
    case TRunOrigin::Watch:
        return "watch";
    case TRunOrigin::Undo:
        return "undo";
    case TRunOrigin::Create:
        return "create";
    }
    return "";
}

bool IsKnownOrigin(int value)
{
    return value >= int(TRunOrigin::Window) && value <= int(TRunOrigin::Create);
}

} // namespace plumtide
