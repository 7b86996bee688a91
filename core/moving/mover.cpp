#include "core/moving/mover.h"

#include "core/moving/companions.h"
#include "core/moving/durablemove.h"
#include "core/moving/emptiedfolders.h"
#include "core/moving/fileutils.h"
#include "platform/errors.h"
#include "platform/filestatus.h"
#include "platform/names.h"
#include "platform/paths.h"
#include "platform/trash.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace plumtide
{

namespace
{

// Events wait for the commit of their group at most this long in number.
constexpr size_t kMaxHeldEvents = 4096;

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

} // namespace

// Every file placed (moved, set aside, taken back) goes through one durable move, in
// groups: each is added when its item is carried out, and the group is made at once, when it
// is full or the run ends. Until then the overlay makes later items see the moves as done,
// and events are held back, so that they reach the run log and the reporter in item order
// and only once they are true; the run log learns the group's moves before they are made.
class TMoveRun::Executor
{
public:
    Executor(const TCarryOut& how, MoveReporter reporter, TRunLog* log)
        : m_settings(how.move)
        , m_leaveOut(how.leaveOut)
        , m_dryRun(how.dryRun)
        , m_assumedGone(how.assumedGone)
        , m_reporter(std::move(reporter))
        , m_log(log)
        , m_world(m_disk)
        , m_decider(m_settings, m_leaveOut, !m_dryRun)
        , m_emptied(m_settings.sourceFolder, m_settings.destinationFolder)
    {
        // Comparing a file with one the group is still to move (two songs of one name in a
        // run) reads it where it will be, once it is there.
        m_world.beforeReadingPending([this] { commit(); });
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
            removeEmptiedFolders();
            m_summary.end = TRunEnd::Completed;
            return true;
        } catch (const std::exception& error) {
            // The items before the error are carried out: their group is made.
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
    // A move of the group, with the event that reports it.
    struct Waiting {
        TMoveAction action;
        size_t event; // index in m_held
        bool keepSource;
    };

    // Decides and acts; decides again when the disk changed under the action. A plan row's
    // file is then done with, whatever happened to it.
    void carryOut(const TWorkItem& item)
    {
        const TPlanRow* row = std::get_if<TPlanRow>(&item);
        const TTakeBack* back = std::get_if<TTakeBack>(&item);
        m_following = back && back->follows;
        if (row && m_settings.removeEmptiedFolders)
            m_emptied.note(row->file, m_world);
        if (!m_following) {
            // The last song's group may be made now that no more of its files can join it.
            if (std::exchange(m_groupOpen, false)
                && (m_moves.full() || m_held.size() >= kMaxHeldEvents))
                commit();
        } else if (!m_groupOpen) {
            report(EventOf(TMoveAction {
                TActionKind::Skip, back->target, QString(), TReason::SongStayed, back->record }));
            return;
        }
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

    // Removes the sub-folders of the source the run emptied (see TEmptiedFolders). A
    // download client may still be about to write into a folder changed more recently than
    // the settle time before the run.
    void removeEmptiedFolders()
    {
        m_emptied.offer(m_world, quietSince(), [&](const QString& folder) {
            if (RemoveEmptyFolder(folder) != 0)
                return false;
            try {
                m_moves.changed(FolderOf(folder));
            } catch (const IOError&) {
                // Removed all the same; only its parent's flush is lost.
            }
            report(TMoveEvent { TMoveOutcome::FolderRemoved, folder });
            return true;
        });
        commit();
    }

    qint64 quietSince() const { return TLeaveOutPolicy::Now() - m_leaveOut.settleMs() * 1'000'000; }

    // A dry run: reports what each item would do, against the disk as it is.
    bool pretend(const TWorkSource& work, Pump& pump)
    {
        TOverlayView disk(m_disk);
        for (const QString& gone : m_assumedGone)
            disk.remove(gone);
        const bool completed
            = DecideMoves(work, m_settings, m_leaveOut, disk, pump, [&](const TMoveAction& action) {
                  if (action.kind != TActionKind::Nothing)
                      report(EventOf(action));
              });
        m_summary.end = completed ? TRunEnd::Completed : TRunEnd::Aborted;
        return completed;
    }

    // Carries out one action; false when it could not because the disk changed since it
    // was decided.
    bool act(const TMoveAction& action)
    {
        switch (action.kind) {
        case TActionKind::Move:
            return place(action);
        case TActionKind::SetDoubleAside:
            if (!makeDoublesFolder(action))
                return true;
            return place(action);
        case TActionKind::Restore:
            if (IsTrashFilesFolder(FolderOf(action.target)))
                return backToTrash(action);
            [[fallthrough]];
        case TActionKind::CopyBack:
            if (!makeFoldersFor(action))
                return true;
            // The doubles folder keeps its own copy.
            return place(action, action.kind == TActionKind::CopyBack);
        case TActionKind::RestoreFromTrash:
            return bringBack(action);
        case TActionKind::DropDouble:
        case TActionKind::DeleteDouble:
        case TActionKind::DeleteSmall:
        case TActionKind::DeleteByHand:
            return remove(action);
        case TActionKind::CreateFolder:
            return create(action);
        case TActionKind::RemoveFolder:
            return removeFolder(action);
        case TActionKind::Skip:
            if (action.reason == TReason::Missing || action.reason == TReason::FolderMissing)
                checkRunFolders();
            break;
        case TActionKind::Nothing:
            return true;
        case TActionKind::KeepDouble:
        case TActionKind::KeepOwnDouble:
        case TActionKind::InPlace:
        case TActionKind::RemoveEmptied: // decided by the run's end, not by an item
            break;
        }
        report(EventOf(action));
        return true;
    }

    // Deletes the action's file unless someone uses it; the size that makes a small file, and
    // the bytes that make a double of the doubles folder's copy, are taken from the very file
    // that is deleted. False when it is no longer small, or no longer that copy.
    bool remove(const TMoveAction& action)
    {
        const bool small = action.kind == TActionKind::DeleteSmall;
        const qint64 limit = qint64(m_settings.smallFileLimit) * 1024;
        TMoveEvent event = EventOf(action);
        const auto accept = [&](const TWatchedFile& file) {
            event.size = file.status().size;
            event.modified = file.status().modified;
            if (action.kind == TActionKind::DropDouble && !SameContents(file, action.target))
                return false;
            if (small && file.status().size >= limit)
                return false;
            writeAhead(event, TPending::Delete);
            return true;
        };
        int error = 0;
        const TRemoveResult result = m_settings.useTrash
            ? TrashUnusedFile(action.file, event.trashed, accept, &error)
            : RemoveUnusedFile(action.file, accept, &error);
        switch (result) {
        case TRemoveResult::Removed:
            event.targetKept = action.kind == TActionKind::DropDouble;
            report(event);
            return true;
        case TRemoveResult::NotTrashed:
            report(skipped(action.file, NotTrashedReason(error)));
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
        writeAhead(EventOf(action), TPending::Create);
        try {
            CreateFolder(folder);
        } catch (const IOError& error) {
            // Made meanwhile (another sort creating the same artist's folder) is made.
            if (!(error.errnoValue() == EEXIST && FolderExists(folder))) {
                report(failed(action, ReasonOfError(error.errnoValue())));
                return true;
            }
        }
        m_moves.changed(FolderOf(folder));
        report(EventOf(action));
        // Its record is confirmed before anything else joins a group.
        if (m_log)
            commit();
        return true;
    }

    // The default doubles folder, made for the first double set aside there; false
    // (reported) when it cannot be made.
    bool makeDoublesFolder(const TMoveAction& action)
    {
        const QString folder = FolderOf(action.target);
        if (!m_settings.makeDoublesFolder || KindOfPath(folder) == PathKind::Folder)
            return true;
        try {
            makeFolders(folder);
            return true;
        } catch (const IOError& error) {
            report(failed(action, ReasonOfError(error.errnoValue())));
            return false;
        }
    }

    // An undo's folder, removed only while nothing is in it.
    bool removeFolder(const TMoveAction& action)
    {
        if (const int error = RemoveEmptyFolder(action.file)) {
            report(failed(action,
                error == ENOTEMPTY    ? TReason::FolderNotEmpty
                    : error == ENOENT ? TReason::Missing
                                      : ReasonOfError(error)));
            return true;
        }
        m_foldersThere.remove(action.file);
        m_moves.changed(FolderOf(action.file));
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

    // Makes the missing folders of `folder`; each is flushed into its parent with the group.
    // A folder is looked at once a run.
    void makeFolders(const QString& folder)
    {
        if (m_foldersThere.contains(folder))
            return;
        if (KindOfPath(folder) != PathKind::Folder) {
            makeFolders(FolderOf(folder));
            CreateFolders(folder);
            m_moves.changed(FolderOf(folder));
        }
        m_foldersThere.insert(folder);
    }

    // An undo's file from the Trash.
    bool bringBack(const TMoveAction& action)
    {
        if (!makeFoldersFor(action))
            return true;
        if (const int error = RestoreFromTrash(action.file, action.target)) {
            report(failed(action, ReasonOfError(error)));
            return true;
        }
        const TFileStatus status = StatusOf(action.target);
        report(eventOf(action, status.size, status.modified));
        return true;
    }

    // The undo of an undo that brought a file back from the Trash: the file goes into the
    // Trash again as a deletion does, with its info file, so that a file manager shows it
    // and a further undo brings it back (the event names its place there).
    bool backToTrash(const TMoveAction& action)
    {
        if (m_moves.waitingFor(action.file))
            commit();
        TMoveAction done = action;
        qint64 size = 0;
        qint64 modified = 0;
        const auto accept = [&](const TWatchedFile& file) {
            size = file.status().size;
            modified = file.status().modified;
            return true;
        };
        int error = 0;
        QString trashed;
        switch (TrashUnusedFile(action.file, trashed, accept, &error)) {
        case TRemoveResult::Removed: {
            done.target = trashed;
            TMoveEvent event = eventOf(done, size, modified);
            event.trashed = trashed;
            report(event);
            return true;
        }
        case TRemoveResult::Missing:
            report(failed(action, TReason::Missing));
            return true;
        case TRemoveResult::InUse:
        case TRemoveResult::Refused:
            report(failed(action, TReason::InUse));
            return true;
        case TRemoveResult::NotTrashed:
            report(failed(action, NotTrashedReason(error)));
            return true;
        case TRemoveResult::Failed:
            break;
        }
        report(failed(action, ReasonOfError(error)));
        return true;
    }

    bool place(const TMoveAction& action, bool keepSource = false)
    {
        // A file the group is still to put there (an undo taking a file back step by step).
        if (m_moves.waitingFor(action.file))
            commit();
        // A companion an undo takes back joins its song's move, unless a full group was made
        // between the two: the song is on its way back then.
        const bool follower = m_following && m_moves.waiting() && !keepSource;
        TDurableMove::TAdd added;
        try {
            added = follower ? m_moves.addFollower(action.file, action.target)
                             : m_moves.add(action.file, action.target, keepSource);
            if (added.added == TDurableMove::TAdded::SourceWaiting) {
                commit();
                added = m_moves.add(action.file, action.target, keepSource);
            }
        } catch (const IOError& error) {
            checkRunFolders();
            report(failed(action, ReasonOfError(error.errnoValue())));
            return true;
        }
        switch (added.added) {
        case TDurableMove::TAdded::TargetExists:
            return false;
        case TDurableMove::TAdded::SourceInUse:
        case TDurableMove::TAdded::SourceWaiting:
            report(failed(action, TReason::InUse));
            return true;
        case TDurableMove::TAdded::NotMoved:
            report(
                failed(action, FileExists(action.file) ? TReason::CopyFailed : TReason::Missing));
            return true;
        case TDurableMove::TAdded::Added:
            break;
        }
        TMoveAction song = action;
        song.companions.clear();
        m_world.apply(song);
        m_waiting.push_back(Waiting { song, m_held.size(), keepSource });
        // A song and its companions share a group: it is not made between them (see
        // carryOut).
        if (!m_following)
            m_groupOpen = true;
        report(eventOf(song, added.size, added.modified));
        const bool songGone = m_lastGone;
        for (const TCompanionMove& companion : action.companions)
            placeCompanion(companion);
        m_lastGone = songGone;
        return true;
    }

    // A file that travels with the song just added: in the same group, right after it, and
    // made only when the song's move is made. One that cannot follow stays where it is.
    void placeCompanion(const TCompanionMove& companion)
    {
        if (companion.reason != TReason::None) {
            report(EventOf(companion));
            return;
        }
        const TMoveAction action { TActionKind::Move, companion.file, companion.target };
        TDurableMove::TAdd added;
        try {
            added = m_moves.addFollower(action.file, action.target);
        } catch (const IOError& error) {
            report(failed(action, ReasonOfError(error.errnoValue())));
            return;
        }
        switch (added.added) {
        case TDurableMove::TAdded::TargetExists:
            report(failed(action, TReason::CompanionNameTaken));
            return;
        case TDurableMove::TAdded::SourceInUse:
        case TDurableMove::TAdded::SourceWaiting:
            report(failed(action, TReason::InUse));
            return;
        case TDurableMove::TAdded::NotMoved:
            report(
                failed(action, FileExists(action.file) ? TReason::CopyFailed : TReason::Missing));
            return;
        case TDurableMove::TAdded::Added:
            break;
        }
        m_world.apply(action);
        m_waiting.push_back(Waiting { action, m_held.size(), false });
        TMoveEvent event = eventOf(action, added.size, added.modified);
        event.companion = true;
        report(event);
    }

    // The event of a moved file, with what the history needs to know it again.
    static TMoveEvent eventOf(const TMoveAction& action, qint64 size, qint64 modified)
    {
        TMoveEvent event = EventOf(action);
        event.size = size;
        event.modified = modified;
        return event;
    }

    // A folder of the run that is gone ends the run rather than skipping every file left.
    // A missing doubles folder only keeps the doubles (see TMoveDecider::setAside).
    void checkRunFolders() const
    {
        for (const QString* folder : { &m_settings.sourceFolder, &m_settings.destinationFolder }) {
            if (!folder->isEmpty() && KindOfPath(*folder) != PathKind::Folder)
                throw IOError(QStringLiteral("The folder is gone:"), *folder, ENOENT);
        }
    }

    // Whether work waits for its commit: moves, or folders not flushed yet.
    bool waiting() const { return m_moves.waiting(); }

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
        if (!m_groupOpen && (m_moves.full() || m_held.size() >= kMaxHeldEvents))
            commit();
    }

    void deliver(const TMoveEvent& event)
    {
        if (ChangedFiles(event.outcome))
            m_emptied.tookOut(event.file);
        m_summary.count(event);
        if (m_log)
            m_log->record(event);
        if (m_reporter)
            m_reporter(event);
    }

    // A deletion or a folder about to be made is written down before it happens, as a group
    // of its own; the moves waiting are made first, so that the log learns events in order.
    // The event reported next is this one, as it turned out.
    void writeAhead(const TMoveEvent& event, TPending pending)
    {
        if (!m_log)
            return;
        if (waiting())
            commit();
        m_log->expect({ { event, pending } });
    }

    // Makes the group's moves, once the run log knows them, and reports what was held back.
    void commit()
    {
        if (m_log && !m_waiting.empty()) {
            std::vector<TExpectedEvent> group;
            group.reserve(m_held.size());
            for (const TMoveEvent& event : m_held)
                group.push_back({ event });
            for (const Waiting& move : m_waiting)
                group[move.event].pending = move.keepSource ? TPending::Copy : TPending::Move;
            m_log->expect(group);
        }
        const std::vector<TDurableMove::TResult> results = m_moves.commit();
        for (size_t i = 0; i < m_waiting.size(); ++i) {
            const TMoveAction& action = m_waiting[i].action;
            m_world.forget(action.target);
            m_world.forget(action.file);
            if (results[i].done != TDurableMove::TDone::Moved)
                m_held[m_waiting[i].event] = failed(action, reasonOf(results[i], action));
        }
        m_waiting.clear();
        deliverHeld();
    }

    static TReason reasonOf(const TDurableMove::TResult& result, const TMoveAction& action)
    {
        switch (result.done) {
        case TDurableMove::TDone::Moved:
            break;
        case TDurableMove::TDone::TargetTaken:
            // Taken meanwhile by another program: the file stays for a later run.
            return action.record != 0 ? TReason::PathTaken : TReason::CopyFailed;
        case TDurableMove::TDone::SourceInUse:
            return TReason::InUse;
        case TDurableMove::TDone::FolderGone:
            return TReason::FolderMissing;
        case TDurableMove::TDone::Failed:
            return ReasonOfError(result.error);
        case TDurableMove::TDone::LeaderStayed:
            return TReason::SongStayed;
        }
        return TReason::None;
    }

    void deliverHeld()
    {
        std::vector<TMoveEvent> held;
        held.swap(m_held);
        for (const TMoveEvent& event : held)
            deliver(event);
    }

    // After an error: the group's moves are dropped (their files stay where they are) and
    // every event is reported as it now is.
    void abandon()
    {
        m_moves.drop();
        for (const Waiting& move : m_waiting)
            m_held[move.event] = failed(move.action, TReason::CopyFailed);
        m_waiting.clear();
        deliverHeld();
    }

    const TMoveSettings m_settings;
    const TLeaveOutPolicy m_leaveOut;
    const bool m_dryRun;
    const QStringList m_assumedGone;
    MoveReporter m_reporter;
    TRunLog* m_log;
    TDiskView m_disk;
    TOverlayView m_world; // the disk with the group's moves laid over it
    TMoveDecider m_decider;
    TDurableMove m_moves;
    std::vector<Waiting> m_waiting; // the group's moves, in the order added
    std::vector<TMoveEvent> m_held;
    QSet<QString> m_foldersThere; // the folders of an undo's old paths, found or made
    TEmptiedFolders m_emptied; // with removeEmptiedFolders
    TMoveSummary m_summary;
    bool m_lastGone = false; // whether the last event took its file away
    // The last item that was not a companion placed its file: its companions may still join
    // its group.
    bool m_groupOpen = false;
    bool m_following = false; // the item carried out is a companion an undo takes back
};

TMoveRun::TMoveRun(const TCarryOut& how, MoveReporter report, TRunLog* log)
    : m_executor(std::make_unique<Executor>(how, std::move(report), log))
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
