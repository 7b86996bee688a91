#include "core/mover.h"

#include "core/fileutils.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/filestatus.h"
#include "platform/names.h"
#include "platform/paths.h"
#include "platform/trash.h"

#include <QSet>

#include <algorithm>
#include <cerrno>

namespace plumtide
{

namespace
{

// Copies waiting for their commit are committed together once this many are waiting or
// they hold this many bytes: the disk then writes them side by side, which a flush after
// every single file would prevent, and a move still never holds much uncommitted work.
constexpr size_t kMaxPendingCopies = 16;
constexpr qint64 kMaxPendingBytes = 64 << 20;
// Renames hold no bytes: their folders are flushed together for many files (a flush costs
// as much as hundreds of renames), and their events wait at most this long in number.
constexpr size_t kMaxHeldEvents = 1024;

// How often a row is decided again when the disk changed between deciding and acting (a
// name taken meanwhile) before the file is left where it is.
constexpr int kMaxAttempts = 3;

TMoveEvent skipped(const QString& file, TReason reason)
{
    TMoveEvent event { TMoveOutcome::Skipped, file };
    event.reason = reason;
    return event;
}

// The event of an action that could not be carried out after all.
TMoveEvent failed(const TMoveAction& action, TReason reason)
{
    TMoveAction stayed = action;
    stayed.kind = TActionKind::Skip;
    stayed.reason = reason;
    if (action.kind == TActionKind::CreateFolder) {
        TMoveEvent event { TMoveOutcome::NotCreated, action.target };
        event.reason = reason;
        return event;
    }
    // An undo names a file it leaves by where the user knows it: its target.
    if (action.record != 0)
        stayed.file = action.kind == TActionKind::RestoreFromTrash ? action.target : action.file;
    return EventOf(stayed);
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

} // namespace

// Within one file system a file is renamed into place at once, and its move is done once
// both folders are flushed, at the next commit. Across file systems a file is placed in two
// steps: its copy is prepared under a temporary name (and the disk starts writing it), and
// later, together with the other waiting copies, committed: flushed, renamed into place,
// its folder flushed, and only then is the source deleted. Until then the overlay makes
// later items see the move as done. Events are held back while copies wait, so that they
// reach the reporter in item order and only once they are true.
class TMoveRun::Executor
{
public:
    Executor(const TCarryOut& how, MoveReporter reporter)
        : m_settings(how.move)
        , m_leaveOut(how.leaveOut)
        , m_dryRun(how.dryRun)
        , m_reporter(std::move(reporter))
        , m_world(m_disk)
        , m_decider(m_settings, m_leaveOut)
    {
    }

    bool run(const TWorkSource& work, Pump& pump)
    {
        if (m_dryRun)
            return pretend(work, pump);
        try {
            TWorkItem item;
            while (work(item)) {
                if (!pump.keepGoing()) {
                    commit();
                    m_summary.end = TRunEnd::Aborted;
                    return false;
                }
                carryOut(item);
            }
            commit();
            m_summary.end = TRunEnd::Completed;
            return true;
        } catch (const std::exception& error) {
            // The items before the error are carried out: their copies are complete.
            try {
                commit();
            } catch (...) {
                abandon();
            }
            m_summary.end = TRunEnd::Failed;
            m_summary.failure = QString::fromUtf8(error.what());
            throw;
        }
    }

    const TMoveSummary& summary() const { return m_summary; }

private:
    struct Pending {
        TPreparedCopy copy;
        TMoveAction action;
        size_t event; // index in m_held
        TReason failure; // why its commit failed
    };

    // Decides and acts; decides again when the disk changed under the action. A plan row's
    // file is then done with, whatever happened to it.
    void carryOut(const TWorkItem& item)
    {
        const TPlanRow* row = std::get_if<TPlanRow>(&item);
        for (int attempt = 1;; ++attempt) {
            const TMoveAction action = m_decider.decide(item, m_world, TLeaveOutPolicy::Now());
            if (act(action))
                break;
            if (attempt == kMaxAttempts) {
                report(failed(action, TReason::CopyFailed));
                break;
            }
        }
        if (row)
            m_decider.done(row->file, m_lastGone);
    }

    // A dry run: reports what each item would do, against the disk as it is.
    bool pretend(const TWorkSource& work, Pump& pump)
    {
        const bool completed = DecideMoves(
            work, m_settings, m_leaveOut, m_disk, pump, [&](const TMoveAction& action) {
                if (action.kind == TActionKind::Stop)
                    stop(action);
                if (action.kind != TActionKind::Nothing)
                    report(EventOf(action));
            });
        m_summary.end = completed ? TRunEnd::Completed : TRunEnd::Aborted;
        return completed;
    }

    [[noreturn]] static void stop(const TMoveAction& action)
    {
        throw IOError(QStringLiteral("The doubles folder is missing:"), action.target, ENOENT);
    }

    // Carries out one action; false when it could not because the disk changed since it
    // was decided.
    bool act(const TMoveAction& action)
    {
        switch (action.kind) {
        case TActionKind::Stop:
            stop(action);
        case TActionKind::Move:
        case TActionKind::SetDoubleAside:
            return place(action);
        case TActionKind::Restore:
            if (!makeFoldersFor(action))
                return true;
            return place(action);
        case TActionKind::RestoreFromTrash:
        case TActionKind::CopyBack:
            return bringBack(action);
        case TActionKind::DropDouble:
        case TActionKind::DeleteDouble:
        case TActionKind::DeleteSmall:
        case TActionKind::DeleteByHand:
            return remove(action);
        case TActionKind::CreateFolder:
            return create(action);
        case TActionKind::Skip:
            if (action.reason == TReason::Missing || action.reason == TReason::FolderMissing)
                checkRunFolders(action);
            break;
        case TActionKind::Nothing:
            return true;
        case TActionKind::KeepDouble:
        case TActionKind::KeepOwnDouble:
        case TActionKind::InPlace:
            break;
        }
        report(EventOf(action));
        return true;
    }

    // Deletes the action's file unless someone uses it; the size that makes a small file is
    // taken from the very file that is deleted. False when it is no longer small.
    bool remove(const TMoveAction& action)
    {
        const bool small = action.kind == TActionKind::DeleteSmall;
        const qint64 limit = qint64(m_settings.smallFileLimit) * 1024;
        TMoveEvent event = EventOf(action);
        const auto accept = [&](const TFileStatus& status) {
            event.size = status.size;
            event.modified = status.modified;
            return !small || status.size < limit;
        };
        int error = 0;
        const TRemoveResult result = m_settings.useTrash
            ? TrashUnusedFile(action.file, event.trashed, accept, &error)
            : RemoveUnusedFile(action.file, accept, &error);
        switch (result) {
        case TRemoveResult::Removed:
            event.targetKept = action.kind == TActionKind::DropDouble;
            if (m_settings.useTrash && event.trashed.isEmpty())
                event.reason = TReason::NoTrash;
            report(event);
            return true;
        case TRemoveResult::Refused:
            return false;
        case TRemoveResult::Missing:
            report(skipped(action.file, TReason::Missing));
            return true;
        case TRemoveResult::InUse:
            report(skipped(action.file, TReason::InUse));
            return true;
        case TRemoveResult::Failed:
            break;
        }
        report(skipped(action.file,
            small                                          ? TReason::SmallNotDeleted
                : action.kind == TActionKind::DeleteByHand ? ReasonOfError(error)
                                                           : TReason::DoubleNotDeleted));
        return true;
    }

    bool create(const TMoveAction& action)
    {
        const QString& folder = action.target;
        try {
            CreateFolder(folder);
        } catch (const IOError& error) {
            // Made meanwhile (another sort creating the same artist's folder) is made.
            if (!(error.errnoValue() == EEXIST && FolderExists(folder))) {
                report(failed(action, ReasonOfError(error.errnoValue())));
                return true;
            }
        }
        m_renamedFolders.insert(FolderOf(folder));
        report(EventOf(action));
        return true;
    }

    // The missing folders of an undo's old path; false (reported) when they cannot be made.
    bool makeFoldersFor(const TMoveAction& action)
    {
        try {
            makeFolders(FolderOf(action.target));
            return true;
        } catch (const IOError& error) {
            report(failed(action, ReasonOfError(error.errnoValue())));
            return false;
        }
    }

    // An undo's file from the Trash, or copied back from the doubles folder's own copy.
    bool bringBack(const TMoveAction& action)
    {
        if (!makeFoldersFor(action))
            return true;
        TReason why = TReason::None;
        if (action.kind == TActionKind::RestoreFromTrash) {
            if (const int error = RestoreFromTrash(action.file, action.target))
                why = ReasonOfError(error);
        } else {
            try {
                const TPlaceResult placed = PlaceFileCopy(action.file, action.target);
                if (placed != TPlaceResult::Placed)
                    why = placed == TPlaceResult::SourceInUse ? TReason::InUse : TReason::PathTaken;
            } catch (const IOError& error) {
                why = ReasonOfError(error.errnoValue());
            }
        }
        if (why != TReason::None) {
            report(failed(action, why));
            return true;
        }
        const TFileStatus status = StatusOf(action.target);
        report(eventOf(action, status.size, status.modified));
        return true;
    }

    bool place(const TMoveAction& action)
    {
        // Within one file system the file is renamed, across file systems it is copied.
        TRenameResult renamed = TRenameResult::OtherFileSystem;
        TFileStatus moved;
        try {
            renamed = MoveByRename(action.file, action.target, &moved);
        } catch (const IOError& error) {
            checkRunFolders(action);
            report(failed(action, ReasonOfError(error.errnoValue())));
            return true;
        }
        switch (renamed) {
        case TRenameResult::TargetExists:
            return false;
        case TRenameResult::SourceInUse:
            report(failed(action, TReason::InUse));
            return true;
        case TRenameResult::NotRenamed:
            report(
                failed(action, FileExists(action.file) ? TReason::CopyFailed : TReason::Missing));
            return true;
        case TRenameResult::Renamed:
            // Done on disk once both folders are flushed, at the next commit.
            m_renamedFolders.insert(FolderOf(action.target));
            m_renamedFolders.insert(FolderOf(action.file));
            report(eventOf(action, moved.size, moved.modified));
            return true;
        case TRenameResult::OtherFileSystem:
            break;
        }
        return copy(action);
    }

    // The event of a moved file, with what the history needs to know it again.
    static TMoveEvent eventOf(const TMoveAction& action, qint64 size, qint64 modified)
    {
        TMoveEvent event = EventOf(action);
        event.size = size;
        event.modified = modified;
        return event;
    }

    bool copy(const TMoveAction& action)
    {
        TPreparedCopy copy;
        try {
            copy = PrepareFileCopy(action.file, action.target);
        } catch (const IOError& error) {
            checkRunFolders(action);
            report(failed(action, ReasonOfError(error.errnoValue())));
            return true;
        }
        switch (copy.result()) {
        case TPlaceResult::TargetExists:
            return false;
        case TPlaceResult::SourceInUse:
            report(failed(action, TReason::InUse));
            return true;
        case TPlaceResult::NotCopied:
            report(
                failed(action, FileExists(action.file) ? TReason::CopyFailed : TReason::Missing));
            return true;
        case TPlaceResult::Placed:
            break;
        }
        m_pendingBytes += copy.size();
        m_world.apply(action);
        const TMoveEvent event = eventOf(action, copy.size(), copy.modified());
        m_pending.push_back(Pending { std::move(copy), action, m_held.size(), TReason::None });
        report(event);
        return true;
    }

    // A folder of the run that is gone ends the run rather than skipping every file left.
    void checkRunFolders(const TMoveAction& action) const
    {
        for (const QString* folder : { &m_settings.sourceFolder, &m_settings.destinationFolder }) {
            if (!folder->isEmpty() && KindOfPath(*folder) != PathKind::Folder)
                throw IOError(QStringLiteral("The folder is gone:"), *folder, ENOENT);
        }
        const bool toDoubles = action.kind == TActionKind::SetDoubleAside;
        if (toDoubles && KindOfPath(m_settings.doublesFolder) != PathKind::Folder)
            throw IOError(
                QStringLiteral("The doubles folder is missing:"), m_settings.doublesFolder, ENOENT);
    }

    // Whether done work waits for its commit: copies, or renames whose folders are not
    // flushed yet.
    bool waiting() const { return !m_pending.empty() || !m_renamedFolders.isEmpty(); }

    void report(const TMoveEvent& event)
    {
        m_lastGone = ChangedFiles(event.outcome);
        // A file an undo brought back is counted, but not told again at every automatic run.
        if (event.outcome == TMoveOutcome::Skipped && event.reason == TReason::HeldByUndo) {
            m_summary.count(event);
            return;
        }
        if (!waiting()) {
            deliver(event);
            return;
        }
        m_held.push_back(event);
        if (m_pending.size() >= kMaxPendingCopies || m_pendingBytes >= kMaxPendingBytes
            || m_held.size() >= kMaxHeldEvents)
            commit();
    }

    void deliver(const TMoveEvent& event)
    {
        m_summary.count(event);
        m_reporter(event);
    }

    // Flushes the folders of the renames, commits the waiting copies, deletes their sources,
    // and reports what was held back.
    void commit()
    {
        QSet<QString> folders;
        folders.swap(m_renamedFolders);
        for (Pending& pending : m_pending) {
            try {
                if (CommitFileCopy(pending.copy) == TPlaceResult::Placed)
                    folders.insert(FolderOf(pending.copy.target()));
            } catch (const IOError& error) {
                // This copy is dropped; its file stays where it is.
                pending.failure = ReasonOfError(error.errnoValue());
            }
        }
        for (const QString& folder : folders) {
            if (const int error = SyncFolder(folder))
                throw IOError(
                    QStringLiteral("Cannot finish saving the files moved into"), folder, error);
        }
        // The copies are on disk: their sources go aside, and after a flush of their folders
        // (a moment in which a program that was just opening one shows up) they go for good.
        QSet<QString> sourceFolders;
        for (Pending& pending : m_pending) {
            if (pending.copy.result() == TPlaceResult::Placed && SetSourceAside(pending.copy) == 0)
                sourceFolders.insert(FolderOf(pending.action.file));
        }
        for (const QString& folder : std::as_const(sourceFolders))
            SyncFolder(folder);
        for (Pending& pending : m_pending) {
            const QString& file = pending.action.file;
            m_world.forget(pending.copy.target());
            m_world.forget(file);
            if (pending.copy.result() == TPlaceResult::Placed) {
                // The source goes only if it is still what was copied; otherwise the copy
                // goes and the file stays for a later run.
                const int error = FinishMove(pending.copy);
                if (error == 0)
                    continue;
                pending.failure = ReasonOfError(error);
            }
            // Something took the name while the copy was written, the commit failed, or the
            // source could not go.
            m_held[pending.event] = failed(pending.action,
                pending.failure == TReason::None ? TReason::CopyFailed : pending.failure);
        }
        m_pending.clear();
        m_pendingBytes = 0;
        std::vector<TMoveEvent> held;
        held.swap(m_held);
        for (const TMoveEvent& event : held)
            deliver(event);
    }

    // After an error: the waiting copies are dropped (their sources stay where they are) and
    // the events that did happen are reported.
    void abandon()
    {
        std::vector<TMoveEvent> happened;
        for (size_t i = 0; i < m_held.size(); ++i) {
            const bool copying = std::any_of(m_pending.begin(), m_pending.end(),
                [i](const Pending& pending) { return pending.event == i; });
            if (!copying)
                happened.push_back(m_held[i]);
        }
        m_pending.clear();
        m_renamedFolders.clear();
        m_held.clear();
        for (const TMoveEvent& event : happened)
            deliver(event);
    }

    const TMoveSettings m_settings;
    const TLeaveOutPolicy m_leaveOut;
    const bool m_dryRun;
    MoveReporter m_reporter;
    TDiskView m_disk;
    TOverlayView m_world; // the disk with the waiting copies laid over it
    TMoveDecider m_decider;
    std::vector<Pending> m_pending;
    qint64 m_pendingBytes = 0;
    // Folders whose entries changed since the last commit: both folders of each rename, the
    // parents of folders made.
    QSet<QString> m_renamedFolders;
    std::vector<TMoveEvent> m_held;
    TMoveSummary m_summary;
    bool m_lastGone = false; // whether the last event took its file away
};

TMoveRun::TMoveRun(const TCarryOut& how, MoveReporter report)
    : m_executor(std::make_unique<Executor>(how, std::move(report)))
{
}

TMoveRun::~TMoveRun() = default;

bool TMoveRun::run(const TWorkSource& work, Pump& pump)
{
    return m_executor->run(work, pump);
}

const TMoveSummary& TMoveRun::summary() const
{
    return m_executor->summary();
}

} // namespace plumtide
