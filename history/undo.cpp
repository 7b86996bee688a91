#include "history/undo.h"

#include "core/fileutils.h"
#include "core/mover.h"
#include "history/recorder.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/trash.h"

#include <cerrno>

namespace plumtide
{

namespace
{

bool takesBack(const THistoryRecord& record)
{
    return ChangedFiles(record.outcome);
}

bool movedSomewhere(const THistoryRecord& record)
{
    return record.outcome == QStringLiteral("moved")
        || record.outcome == QStringLiteral("double-moved")
        || record.outcome == QStringLiteral("restored");
}

TUndoEvent stays(const QString& path, const QString& reason)
{
    return TUndoEvent { false, path, QString(), reason };
}

// What an undo of `record` would do, against the disk as it is now.
TUndoEvent decide(const THistoryRecord& record)
{
    QString from;
    if (!record.trashed.isEmpty())
        from = record.trashed;
    else if (movedSomewhere(record))
        from = record.target;
    else
        return stays(record.file, keep::DeletedForGood);
    // Where the user knows the file: at its target, or (deleted) at its old path.
    const QString shown = movedSomewhere(record) ? record.target : record.file;
    const TFileStatus status = StatusOf(from);
    if (status.kind == PathKind::Missing)
        return stays(shown, record.trashed.isEmpty() ? keep::Gone : keep::NotInTrash);
    // A double dropped for the doubles folder's own copy: that copy has its own times.
    const bool sameTimes
        = record.targetKept && record.trashed.isEmpty() ? true : status.modified == record.modified;
    if (status.kind != PathKind::File || status.size != record.size || !sameTimes)
        return stays(shown, keep::Changed);
    if (KindOfPath(record.file) != PathKind::Missing)
        return stays(shown, keep::PathTaken);
    return TUndoEvent { true, from, record.file, QString() };
}

QString reasonOf(int error)
{
    if (error == EEXIST)
        return keep::PathTaken;
    return error == EBUSY ? skip::InUse : ReasonOfError(error);
}

// Moves a file back as a move does: a durable copy renamed into place, then the file set
// aside and deleted only if nobody opened or changed it meanwhile. Empty when done.
QString moveBack(const QString& from, const QString& to)
{
    TPreparedCopy copy = PrepareFileCopy(from, to);
    switch (copy.result()) {
    case TPlaceResult::TargetExists:
        return keep::PathTaken;
    case TPlaceResult::SourceInUse:
        return skip::InUse;
    case TPlaceResult::NotCopied:
        return keep::Gone;
    case TPlaceResult::Placed:
        break;
    }
    if (CommitFileCopy(copy) != TPlaceResult::Placed)
        return keep::PathTaken;
    if (!SyncFolder(FolderOf(to)))
        throw IOError(QStringLiteral("Cannot flush the folder"), FolderOf(to), errno);
    if (const int error = SetSourceAside(copy))
        return reasonOf(error);
    SyncFolder(FolderOf(from));
    if (const int error = FinishMove(copy))
        return reasonOf(error);
    return QString();
}

// Makes the missing folders of `folder`, each flushed into its parent.
void makeFolders(const QString& folder)
{
    if (KindOfPath(folder) == PathKind::Folder)
        return;
    makeFolders(FolderOf(folder));
    CreateFolders(folder);
    SyncFolder(FolderOf(folder));
}

TUndoEvent undo(const THistoryRecord& record)
{
    TUndoEvent event = decide(record);
    if (!event.restored)
        return event;
    const QString shown = movedSomewhere(record) ? record.target : record.file;
    QString why;
    try {
        makeFolders(FolderOf(event.to));
        if (!record.trashed.isEmpty()) {
            if (!RestoreFromTrash(event.from, event.to))
                why = reasonOf(errno);
        } else if (record.targetKept) {
            // The doubles folder keeps its file; the one deleted comes back as a copy of it.
            const TPlaceResult placed = PlaceFileCopy(event.from, event.to);
            if (placed != TPlaceResult::Placed)
                why = placed == TPlaceResult::SourceInUse ? skip::InUse : keep::PathTaken;
        } else {
            why = moveBack(event.from, event.to);
        }
    } catch (const IOError& error) {
        why = reasonOf(error.errnoValue());
    }
    if (!why.isEmpty())
        return stays(shown, why);
    return event;
}

} // namespace

QString TUndoSummary::text() const
{
    QString done = QStringLiteral("%1 %2 restored")
                       .arg(restored)
                       .arg(restored == 1 ? QStringLiteral("file") : QStringLiteral("files"));
    if (notRestored > 0)
        done += QStringLiteral(", %1 not restored").arg(notRestored);
    if (aborted)
        return QStringLiteral("Undo of run %1 aborted; before that: %2").arg(run).arg(done);
    return QStringLiteral("Undo of run %1: %2").arg(run).arg(done);
}

TUndoSummary UndoRun(const QString& historyPath, qint64 run, bool dryRun, Pump& pump,
    const std::function<void(const TUndoEvent&)>& report)
{
    THistory history(historyPath, dryRun ? THistory::Access::Read : THistory::Access::Write);
    const std::optional<THistoryRun> original = history.run(run);
    if (!original)
        throw HistoryError(QStringLiteral("There is no run %1 in the history").arg(run));
    const std::vector<THistoryRecord> records = history.records(run);

    std::unique_ptr<TRunRecorder> recorder;
    if (!dryRun) {
        recorder = std::make_unique<TRunRecorder>(
            TRunOrigin::Undo, original->source, original->destination, historyPath, run);
        // An undo that is not recorded would leave its run looking as it was.
        if (!recorder->recording())
            throw HistoryError(recorder->problem());
    }
    TUndoSummary summary;
    summary.run = run;
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if (record->restoredBy != 0 || !takesBack(*record))
            continue;
        if (recorder)
            recorder->flush();
        if (!pump.keepGoing()) {
            summary.aborted = true;
            break;
        }
        const TUndoEvent event = dryRun ? decide(*record) : undo(*record);
        ++(event.restored ? summary.restored : summary.notRestored);
        if (recorder) {
            THistoryRecord done { .outcome
                = event.restored ? QStringLiteral("restored") : QStringLiteral("not-restored"),
                .file = event.from,
                .target = event.to,
                .reason = event.reason };
            if (event.restored) {
                const TFileStatus status = StatusOf(event.to);
                done.size = status.size;
                done.modified = status.modified;
                done.restores = record->id;
            }
            recorder->add(done);
        }
        if (report)
            report(event);
    }
    if (recorder) {
        recorder->finish(summary.aborted ? TRunEnd::Aborted : TRunEnd::Completed);
        const auto [total, restored] = history.restoredCount(run);
        history.setState(
            run, restored == total ? QStringLiteral("undone") : QStringLiteral("partly-undone"));
    }
    return summary;
}

} // namespace plumtide
