#include "session/recovery.h"

#include "core/moving/fileutils.h"
#include "platform/filestatus.h"

#include <QScopeGuard>

#include <algorithm>

namespace plumtide
{

namespace
{

// A move across file systems killed after its copy was in place and before its source was
// deleted leaves the file in both places. It is finished as the run would have finished it:
// the source goes while it is unused, unchanged, and has the very bytes of the copy at the
// target, read through the open that the deletion checks. Returns whether it went.
bool finishCutMove(const QString& source, const QString& target)
{
    const TFileStatus copy = StatusOf(target);
    return RemoveUnusedFile(source, [&](const TWatchedFile& file) {
        return file.status().size == copy.size && file.status().modified == copy.modified
            && SameContents(file, target);
    }) == TRemoveResult::Removed;
}

void act(THistory& history, TRecovery::TRun judged)
{
    for (const auto& [source, target] : judged.cut) {
        if (finishCutMove(source, target))
            continue;
        for (const qint64 id : history.pendingMoves(judged.id, source, target)) {
            judged.kept.erase(
                std::remove(judged.kept.begin(), judged.kept.end(), id), judged.kept.end());
            judged.dropped.push_back(id);
        }
    }
    history.settle(judged);
}

} // namespace

int Recover(THistory& history)
{
    int settled = 0;
    for (const TRecovery::TRun& found : history.recovery().runs) {
        // Judged again while holding the run's lock: another process may be settling it.
        if (!history.lockRun(found.id))
            continue;
        const auto unlock = qScopeGuard([&] { history.unlockRun(found.id); });
        const TRecovery::TRun judged = history.judgeRun(found.id);
        if (judged.id == 0)
            continue;
        act(history, judged);
        ++settled;
    }
    return settled;
}

void SettleRun(THistory& history, qint64 run)
{
    const TRecovery::TRun judged = history.judgeRun(run);
    if (judged.id != 0)
        act(history, judged);
}

} // namespace plumtide
