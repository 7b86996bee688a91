#include "session/undo.h"

#include "core/moving/companions.h"
#include "core/pipeline.h"
#include "platform/errors.h"
#include "session/session.h"

#include <QSet>

#include <utility>

namespace plumtide
{

QString TUndoSummary::text() const
{
    QStringList parts;
    if (restored > 0 || removed == 0)
        parts.append(QStringLiteral("%1 %2 restored")
                         .arg(restored)
                         .arg(restored == 1 ? QStringLiteral("file") : QStringLiteral("files")));
    if (removed > 0)
        parts.append(QStringLiteral("%1 empty %2 removed")
                         .arg(removed)
                         .arg(removed == 1 ? QStringLiteral("folder") : QStringLiteral("folders")));
    if (notRestored > 0)
        parts.append(
            QStringLiteral("%1 not restored (%2)").arg(notRestored).arg(ReasonCounts(reasons)));
    const QString done = parts.join(QStringLiteral(", "));
    if (aborted)
        return QStringLiteral("Undo of run %1 aborted; before that: %2").arg(run).arg(done);
    return QStringLiteral("Undo of run %1: %2").arg(run).arg(done);
}

TUndoSummary UndoRun(
    const QString& historyPath, qint64 run, bool dryRun, Pump& pump, const MoveReporter& report)
{
    // A dry run reads what the real undo will find once the run lock is taken and what killed
    // runs left is settled: the same history, settled in memory.
    auto reader = std::make_unique<THistory>(historyPath, THistory::Access::Read);
    const std::optional<THistoryRun> original = reader->run(run);
    if (!original)
        throw HistoryError(QStringLiteral("There is no run %1 in the history").arg(run));
    TCarryOut how;
    if (dryRun)
        how.assumedGone = reader->recovery().finishedSources();
    else
        reader.reset();
    TRunSession::TStart start;
    start.origin = TRunOrigin::Undo;
    start.source = original->source;
    start.destination = original->destination;
    start.dryRun = dryRun;
    start.undoes = run;
    start.historyPath = historyPath;
    TRunSession session(start);
    THistory& history = dryRun ? *reader : *session.history();

    // Newest first: a file moved twice in one run goes back step by step. A song's companions
    // were recorded right after it; they go back right after it, and only with it.
    std::vector<std::vector<TTakeBack>> groups;
    const std::vector<THistoryRecord> records = history.records(run);
    qint64 previous = 0; // the record before, taken back or not
    for (const THistoryRecord& record : records) {
        const qint64 before = std::exchange(previous, record.id);
        if (record.restoredBy != 0 || !UndoTakesBack(record.outcome))
            continue;
        TTakeBack item { record.id, record.outcome, record.file, record.target, record.trashed,
            record.size, record.modified, record.targetKept };
        if (!groups.empty() && record.outcome == TMoveOutcome::Moved) {
            const TTakeBack& song = groups.back().front();
            // The record says whether it travelled with the song (or companion) recorded just
            // before it; those of older versions are known by their names.
            item.follows = record.companion
                ? *record.companion && groups.back().back().record == before
                : (song.outcome == TMoveOutcome::Moved || song.outcome == TMoveOutcome::DoubleMoved)
                    && !song.targetKept && !IsCompanionName(song.file)
                    && IsCompanionOf(item.file, song.file)
                    && IsCompanionOf(item.target, song.target);
        }
        if (item.follows)
            groups.back().push_back(std::move(item));
        else
            groups.push_back({ std::move(item) });
    }
    std::vector<TWorkItem> items;
    for (auto group = groups.rbegin(); group != groups.rend(); ++group)
        items.insert(items.end(), group->begin(), group->end());

    how.dryRun = dryRun;
    how.leaveOut = TLeaveOutPolicy(TRunOrigin::Undo, 0);
    QSet<qint64> folders; // the records of folders the run made
    for (const THistoryRecord& record : records) {
        if (record.outcome == TMoveOutcome::Created)
            folders.insert(record.id);
    }
    int mayComeBack = 0;
    const auto told = [&](const TMoveEvent& event) {
        // Files that stayed but may still come back are a task left undone; one deleted for
        // good never comes back, and no retry changes that. A folder kept is the user's now
        // (it holds what they put there), or gone already.
        if (event.outcome == TMoveOutcome::NotRestored && event.reason != TReason::DeletedForGood
            && event.reason != TReason::RelativePath && !folders.contains(event.restores)) {
            ++mayComeBack;
            session.leftForLater();
        }
        if (report)
            report(event);
    };
    const TMoveSummary done = session.carryOut(how, WorkOf(std::move(items)), {}, pump, told);

    TUndoSummary summary;
    summary.run = run;
    summary.restored = done.restored;
    summary.removed = done.removed;
    summary.notRestored = done.notRestored;
    summary.mayComeBack = mayComeBack;
    summary.reasons = done.notRestoredReasons;
    summary.aborted = done.end == TRunEnd::Aborted;
    summary.status = session.status();
    if (!dryRun) {
        const auto [total, restored] = history.restoredCount(run);
        history.setState(run, restored == total ? TRunState::Undone : TRunState::PartlyUndone);
    }
    return summary;
}

} // namespace plumtide
