#include "core/mover.h"

#include "core/fileutils.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/fileops.h"
#include "platform/paths.h"

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

} // namespace

QString ReasonOfError(int errnoValue)
{
    switch (errnoValue) {
    case EACCES:
    case EPERM:
    case EROFS:
        return skip::PermissionDenied;
    case ENAMETOOLONG:
        return skip::PathTooLong;
    case EINVAL:
    case EILSEQ:
        return skip::NameRefused;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return skip::NoSpace;
    case ENOENT:
        return skip::FolderMissing;
    case ELOOP:
        return skip::SymbolicLink;
    default:
        return skip::CopyFailed;
    }
}

namespace
{

TMoveEvent skipped(const QString& file, const QString& reason)
{
    return TMoveEvent { TMoveOutcome::Skipped, file, QString(), reason };
}

} // namespace

// The executor. Within one file system a file is renamed into place at once, and its move
// is done once both folders are flushed, at the next commit. Across file systems a file is
// placed in two steps: its copy is prepared under a temporary name
// (and the disk starts writing it), and later, together with the other waiting copies,
// committed: flushed, renamed into place, its folder flushed, and only then is the source
// deleted. Until then the overlay makes later rows see the move as done. Events are held
// back while copies wait, so that they reach the reporter in row order and only once they
// are true.
class TMoveRun::Executor
{
public:
    Executor(const TMoveSettings& settings, MoveReporter reporter)
        : m_settings(settings)
        , m_reporter(std::move(reporter))
        , m_world(m_disk)
        , m_decider(m_settings)
    {
    }

    bool run(const std::function<bool(TPlanRow&)>& next, Pump& pump)
    {
        return guarded([&] {
            TPlanRow row {};
            while (next(row)) {
                if (!pump.keepGoing()) {
                    commit();
                    m_summary.end = TRunEnd::Aborted;
                    return false;
                }
                carryOut([&] { return m_decider.decide(row, m_world); });
            }
            commit();
            m_summary.end = TRunEnd::Completed;
            return true;
        });
    }

    TMoveEvent setAside(const QString& file)
    {
        guarded([&] {
            carryOut([&] {
                const TFileStatus status = m_world.status(file);
                if (status.kind != PathKind::File)
                    return TMoveAction { TActionKind::Skip, file, QString(), skip::Missing };
                if (m_world.inUse(file))
                    return TMoveAction { TActionKind::Skip, file, QString(), skip::InUse };
                return m_decider.setAside(file, m_world);
            });
            commit();
            m_summary.end = TRunEnd::Completed;
            return true;
        });
        return m_lastEvent;
    }

    const TMoveSummary& summary() const { return m_summary; }

private:
    struct Pending {
        TPreparedCopy copy;
        TMoveAction action;
        size_t event; // index in m_held
        QString failure; // why its commit failed
    };

    template <typename Work> bool guarded(Work work)
    {
        try {
            return work();
        } catch (const std::exception& error) {
            // The rows before the error are carried out: their copies are complete.
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

    // Decides and acts; decides again when the disk changed under the action.
    template <typename Decide> void carryOut(Decide decide)
    {
        for (int attempt = 1;; ++attempt) {
            const TMoveAction action = decide();
            if (act(action))
                return;
            if (attempt == kMaxAttempts) {
                report(skipped(action.file, skip::CopyFailed));
                return;
            }
        }
    }

    // Carries out one action; false when it could not because the disk changed since it
    // was decided.
    bool act(const TMoveAction& action)
    {
        switch (action.kind) {
        case TActionKind::Stop:
            throw IOError(action.reason, action.target, ENOENT);
        case TActionKind::Move:
        case TActionKind::SetDoubleAside:
            return place(action);
        case TActionKind::DropDouble:
        case TActionKind::DeleteDouble:
        case TActionKind::DeleteSmall:
            if (!remove(action))
                return false;
            return true;
        case TActionKind::Skip:
            if (action.reason == skip::Missing || action.reason == skip::FolderMissing)
                checkRunFolders(action);
            break;
        case TActionKind::KeepDouble:
        case TActionKind::KeepOwnDouble:
        case TActionKind::InPlace:
            break;
        }
        m_decider.done(action);
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
        const TRemoveResult result = m_settings.useTrash
            ? TrashUnusedFile(action.file, event.trashed, accept)
            : RemoveUnusedFile(action.file, accept);
        switch (result) {
        case TRemoveResult::Removed:
            m_decider.done(action);
            event.targetKept = action.kind == TActionKind::DropDouble;
            if (m_settings.useTrash && event.trashed.isEmpty())
                event.reason = NoTrash;
            report(event);
            return true;
        case TRemoveResult::Refused:
            return false;
        case TRemoveResult::Missing:
            report(skipped(action.file, skip::Missing));
            return true;
        case TRemoveResult::InUse:
            report(skipped(action.file, skip::InUse));
            return true;
        case TRemoveResult::Failed:
            break;
        }
        report(skipped(action.file, small ? skip::NotDeleted : skip::DoubleNotDeleted));
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
            report(skipped(action.file, ReasonOfError(error.errnoValue())));
            return true;
        }
        switch (renamed) {
        case TRenameResult::TargetExists:
            return false;
        case TRenameResult::SourceInUse:
            report(skipped(action.file, skip::InUse));
            return true;
        case TRenameResult::NotRenamed:
            report(
                skipped(action.file, FileExists(action.file) ? skip::CopyFailed : skip::Missing));
            return true;
        case TRenameResult::Renamed:
            // Done on disk once both folders are flushed, at the next commit.
            m_renamedFolders.insert(FolderOf(action.target));
            m_renamedFolders.insert(FolderOf(action.file));
            m_decider.done(action);
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
            report(skipped(action.file, ReasonOfError(error.errnoValue())));
            return true;
        }
        switch (copy.result()) {
        case TPlaceResult::TargetExists:
            return false;
        case TPlaceResult::SourceInUse:
            report(skipped(action.file, skip::InUse));
            return true;
        case TPlaceResult::NotCopied:
            report(
                skipped(action.file, FileExists(action.file) ? skip::CopyFailed : skip::Missing));
            return true;
        case TPlaceResult::Placed:
            break;
        }
        m_pendingBytes += copy.size();
        m_world.apply(action);
        m_decider.done(action);
        const TMoveEvent event = eventOf(action, copy.size(), copy.modified());
        m_pending.push_back(Pending { std::move(copy), action, m_held.size(), QString() });
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
        m_lastEvent = event;
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
            if (!SyncFolder(folder))
                throw IOError(QStringLiteral("Cannot flush the folder"), folder, errno);
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
                pending.failure = error == EBUSY ? skip::InUse : ReasonOfError(error);
            }
            // Something took the name while the copy was written, the commit failed, or the
            // source could not go.
            m_decider.forget(file);
            m_held[pending.event]
                = skipped(file, pending.failure.isEmpty() ? skip::CopyFailed : pending.failure);
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
    MoveReporter m_reporter;
    TDiskView m_disk;
    TOverlayView m_world; // the disk with the waiting copies laid over it
    TMoveDecider m_decider;
    std::vector<Pending> m_pending;
    qint64 m_pendingBytes = 0;
    QSet<QString> m_renamedFolders; // both folders of each rename since the last commit
    std::vector<TMoveEvent> m_held;
    TMoveSummary m_summary;
    TMoveEvent m_lastEvent { TMoveOutcome::Skipped, QString(), QString(), skip::CopyFailed };
};

TMoveRun::TMoveRun(const TMoveSettings& settings, MoveReporter report)
    : m_executor(std::make_unique<Executor>(settings, std::move(report)))
{
}

TMoveRun::~TMoveRun() = default;

bool TMoveRun::run(const std::vector<TPlanRow>& rows, Pump& pump)
{
    size_t at = 0;
    return run(
        [&](TPlanRow& row) {
            if (at == rows.size())
                return false;
            row = rows[at++];
            return true;
        },
        pump);
}

bool TMoveRun::run(const std::function<bool(TPlanRow&)>& next, Pump& pump)
{
    return m_executor->run(next, pump);
}

TMoveEvent TMoveRun::setAside(const QString& file)
{
    return m_executor->setAside(file);
}

const TMoveSummary& TMoveRun::summary() const
{
    return m_executor->summary();
}

bool MovePlannedFiles(const std::vector<TPlanRow>& rows, const TMoveSettings& settings, Pump& pump,
    const MoveReporter& report)
{
    TMoveRun run(settings, report);
    return run.run(rows, pump);
}

TMoveEvent MoveToDoublesFolder(
    const QString& file, const QString& doublesFolder, const MoveReporter& report)
{
    TMoveSettings settings;
    settings.doublesFolder = doublesFolder;
    TMoveRun run(settings, [&](const TMoveEvent& event) {
        if (report)
            report(event);
    });
    return run.setAside(file);
}

void CreateArtistFolders(const QString& destination, const QStringList& keys,
    const std::function<void(const QString& folder)>& onCreated,
    const std::function<void(const QString& folder, const QString& reason)>& onFailed)
{
    for (const QString& key : keys) {
        const QString folder = JoinPath(destination, key);
        if (FolderExists(folder))
            continue;
        try {
            CreateFolder(folder);
        } catch (const IOError& error) {
            // Made meanwhile (another sort creating the same artist's folder) is made.
            if (!(error.errnoValue() == EEXIST && FolderExists(folder))) {
                if (onFailed)
                    onFailed(folder, ReasonOfError(error.errnoValue()));
                continue;
            }
        }
        if (onCreated)
            onCreated(folder);
    }
}

} // namespace plumtide
