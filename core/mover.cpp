#include "core/mover.h"

#include "core/fileutils.h"
#include "core/scanner.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/fileops.h"
#include "platform/paths.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <sys/stat.h>

namespace plumtide
{

namespace
{

// Names that are tried in the doubles folder before giving up on a file.
constexpr int kMaxDoubleNumber = 10000;

enum class TStoreResult { Stored, AlreadyThere, NotCopied };

// Copies waiting for their commit are committed together once this many are waiting or
// they hold this many bytes: the disk then writes them side by side, which a flush after
// every single file would prevent, and a move still never holds much uncommitted work.
constexpr size_t kMaxPendingCopies = 16;
constexpr qint64 kMaxPendingBytes = 64 << 20;

// Carries out, or in a dry run only imagines, the file operations of a move.
//
// A file is moved in two steps: its copy is prepared under a temporary name (and the disk
// starts writing it), and later, together with the other waiting copies, committed: flushed,
// renamed into place, its folder flushed, and only then is the source deleted. Until then
// the sets below make later rows see the move as done. Events are held back while copies
// wait, so that they reach the reporter in row order and only once they are true. A dry
// run records what it would create and remove in the same sets and never commits anything.
class MoveActions
{
public:
    explicit MoveActions(bool dryRun, MoveReporter reporter, const QStringList& dryRunFolders = {})
        : m_dryRun(dryRun)
        , m_reporter(std::move(reporter))
        , m_dryRunFolders(dryRunFolders.begin(), dryRunFolders.end())
    {
    }

    bool folderExists(const QString& path) const
    {
        return FolderExists(path) || (m_dryRun && m_dryRunFolders.contains(path));
    }

    bool fileExists(const QString& path) const
    {
        if (m_removed.contains(path))
            return false;
        return m_created.contains(path) || FileExists(path);
    }

    bool nameTaken(const QString& path) const
    {
        if (m_removed.contains(path))
            return false;
        return m_created.contains(path) || KindOfPath(path) != PathKind::Missing;
    }

    qint32 sizeOf(const QString& path) const
    {
        if (!m_dryRun)
            return FileSizeOf(path);
        // Without clearing read-only, which would be a change.
        if (!FileExists(path) || IsFileInUse(path))
            return 0;
        return static_cast<qint32>(
            std::min<qint64>(QFileInfo(path).size(), std::numeric_limits<qint32>::max()));
    }

    bool remove(const QString& path)
    {
        if (m_dryRun) {
            m_removed.insert(path);
            return true;
        }
        return RemoveFile(path);
    }

    // Moves `source` to `target` (which must be free): Placed when the move is under way;
    // the event reported next belongs to it.
    TPlaceResult move(const QString& source, const QString& target)
    {
        if (m_dryRun) {
            if (source.size() > MaxCopyPathLength || target.size() > MaxCopyPathLength
                || IsFileInUse(source))
                return TPlaceResult::NotCopied;
            if (nameTaken(target))
                return TPlaceResult::TargetExists;
            m_created.insert(target);
            m_removed.insert(source);
            return TPlaceResult::Placed;
        }
        TPreparedCopy copy = PrepareFileCopy(source, target);
        if (copy.result() != TPlaceResult::Placed)
            return copy.result();
        m_pendingBytes += copy.size();
        m_created.insert(target);
        m_removed.insert(source);
        m_pending.push_back(Pending { std::move(copy), source, m_held.size() });
        return TPlaceResult::Placed;
    }

    // Sets `file` aside in `folder` under its own name or the first free numbered one,
    // unless a file there already has its contents.
    TStoreResult storeDouble(const QString& file, const QString& folder, QString* storedAs)
    {
        const QString name = FileNameOf(file);
        for (int number = 1; number <= kMaxDoubleNumber; ++number) {
            const QString candidate
                = JoinPath(folder, number == 1 ? name : NumberedFileName(name, number));
            *storedAs = candidate;
            if (nameTaken(candidate)) {
                if (!m_created.contains(candidate) && FileExists(candidate)
                    && SameContents(file, candidate))
                    return TStoreResult::AlreadyThere;
                continue;
            }
            switch (move(file, candidate)) {
            case TPlaceResult::Placed:
                return TStoreResult::Stored;
            case TPlaceResult::NotCopied:
                return TStoreResult::NotCopied;
            case TPlaceResult::TargetExists: // taken meanwhile: try the next name
                break;
            }
        }
        return TStoreResult::NotCopied;
    }

    void report(const TMoveEvent& event)
    {
        if (m_pending.empty()) {
            m_reporter(event);
            return;
        }
        m_held.push_back(event);
        if (m_pending.size() >= kMaxPendingCopies || m_pendingBytes >= kMaxPendingBytes)
            commit();
    }

    // Commits the waiting copies, deletes their sources, and reports what was held back.
    void commit()
    {
        QSet<QString> folders;
        for (Pending& pending : m_pending) {
            if (CommitFileCopy(pending.copy) == TPlaceResult::Placed)
                folders.insert(QFileInfo(pending.copy.target()).path());
        }
        for (const QString& folder : folders) {
            if (!SyncFolder(folder))
                throw IOError(QStringLiteral("Cannot flush the folder"), folder, errno);
        }
        for (Pending& pending : m_pending) {
            m_created.remove(pending.copy.target());
            m_removed.remove(pending.source);
            if (pending.copy.result() == TPlaceResult::Placed) {
                RemoveFile(pending.source);
            } else {
                // Something took the name while the copy was written: the file stays.
                m_held[pending.event] = TMoveEvent { TMoveOutcome::Skipped, pending.source,
                    QString(), skip::CopyFailed };
            }
        }
        m_pending.clear();
        m_pendingBytes = 0;
        std::vector<TMoveEvent> held;
        held.swap(m_held);
        for (const TMoveEvent& event : held)
            m_reporter(event);
    }

    // After an error: the waiting copies are dropped (their sources stay where they are) and
    // the events that did happen are reported.
    void abandon()
    {
        std::vector<TMoveEvent> happened;
        for (size_t i = 0; i < m_held.size(); ++i) {
            const bool waiting = std::any_of(m_pending.begin(), m_pending.end(),
                [i](const Pending& pending) { return pending.event == i; });
            if (!waiting)
                happened.push_back(m_held[i]);
        }
        m_pending.clear();
        m_held.clear();
        for (const TMoveEvent& event : happened)
            m_reporter(event);
    }

private:
    struct Pending {
        TPreparedCopy copy;
        QString source;
        size_t event; // index in m_held
    };

    bool m_dryRun;
    MoveReporter m_reporter;
    QSet<QString> m_dryRunFolders;
    QSet<QString> m_created;
    QSet<QString> m_removed;
    std::vector<Pending> m_pending;
    qint64 m_pendingBytes = 0;
    std::vector<TMoveEvent> m_held;
};

QString whyNotCopied(const QString& source, const QString& target)
{
    if (source.size() > MaxCopyPathLength || target.size() > MaxCopyPathLength)
        return skip::PathTooLong;
    if (IsFileInUse(source))
        return skip::InUse;
    return skip::CopyFailed;
}

} // namespace

QString NumberedFileName(const QString& fileName, int number)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral(" (%1)").arg(number);
    // A leading dot starts a hidden name, not an extension.
    if (dot <= 0)
        return fileName + suffix;
    return fileName.left(dot) + suffix + fileName.mid(dot);
}

void CreateArtistFolders(const QString& destination, const QStringList& keys,
    const std::function<void(const QString& folder)>& onCreated)
{
    for (const QString& key : keys) {
        const QString folder = JoinPath(destination, key);
        if (FolderExists(folder))
            continue;
        if (::mkdir(EncodePath(folder).constData(), 0777) != 0)
            throw IOError(QStringLiteral("Cannot create the folder"), folder, errno);
        if (onCreated)
            onCreated(folder);
    }
}

QString MoveToDoublesFolder(const QString& file, const QString& doublesFolder)
{
    bool stored = false;
    MoveActions actions(false,
        [&](const TMoveEvent& event) { stored = event.outcome == TMoveOutcome::DoubleMoved; });
    QString storedAs;
    switch (actions.storeDouble(file, doublesFolder, &storedAs)) {
    case TStoreResult::NotCopied:
        return QString();
    case TStoreResult::AlreadyThere:
        actions.remove(file);
        return storedAs;
    case TStoreResult::Stored:
        actions.report(TMoveEvent { TMoveOutcome::DoubleMoved, file, storedAs, QString() });
        actions.commit();
        return stored ? storedAs : QString();
    }
    return QString();
}

namespace
{

// The rows in order; false when the pump stopped them.
bool moveRows(const std::vector<TPlanRow>& rows, const TMoveSettings& settings, Pump& pump,
    MoveActions& actions)
{
    QSet<QString> handled; // files an earlier row moved or deleted
    const qint64 limit = qint64(settings.smallFileLimit) * 1024;
    const auto skipped = [&](const QString& file, const QString& reason) {
        actions.report(TMoveEvent { TMoveOutcome::Skipped, file, QString(), reason });
    };

    for (const TPlanRow& row : rows) {
        if (!pump.keepGoing())
            return false;
        const QString& file = row.file;
        if (!actions.fileExists(file)) {
            skipped(file, handled.contains(file) ? skip::AlreadyMoved : skip::Missing);
            continue;
        }

        if (settings.deleteSmallFiles && actions.sizeOf(file) < limit) {
            if (!IsFileInUse(file) && actions.remove(file)) {
                handled.insert(file);
                actions.report(
                    TMoveEvent { TMoveOutcome::SmallDeleted, file, QString(), QString() });
                continue;
            }
            // In use (its size reads as 0), or a delete that failed.
            skipped(file, IsFileInUse(file) ? skip::InUse : skip::NotDeleted);
            continue;
        }

        if (IsFileInUse(file)) {
            skipped(file, skip::InUse);
            continue;
        }
        if (!actions.folderExists(row.folder)) {
            skipped(file, skip::FolderMissing);
            continue;
        }

        const QString target = JoinPath(row.folder, FileNameOf(file));
        if (!actions.fileExists(target)) {
            const TPlaceResult placed = actions.move(file, target);
            if (placed == TPlaceResult::Placed) {
                handled.insert(file);
                actions.report(TMoveEvent { TMoveOutcome::Moved, file, target, QString() });
                continue;
            }
            if (placed == TPlaceResult::NotCopied) {
                skipped(file, whyNotCopied(file, target));
                continue;
            }
            // Something that is not a file has the name: treat it as taken, like a file.
        }

        // A double.
        if (settings.moveDoubles) {
            QString storedAs;
            const TStoreResult stored
                = actions.storeDouble(file, settings.doublesFolder, &storedAs);
            if (stored == TStoreResult::NotCopied) {
                skipped(file, whyNotCopied(file, storedAs));
                continue;
            }
            if (stored == TStoreResult::AlreadyThere)
                actions.remove(file);
            handled.insert(file);
            actions.report(TMoveEvent { TMoveOutcome::DoubleMoved, file, storedAs, QString() });
        } else if (settings.deleteDoubles) {
            actions.remove(file);
            handled.insert(file);
            actions.report(TMoveEvent { TMoveOutcome::DoubleDeleted, file, QString(), QString() });
        } else {
            actions.report(TMoveEvent { TMoveOutcome::DoubleKept, file, QString(), QString() });
        }
    }
    return true;
}

} // namespace

bool MovePlannedFiles(const std::vector<TPlanRow>& rows, const TMoveSettings& settings, Pump& pump,
    const MoveReporter& report)
{
    MoveActions actions(settings.dryRun, report, settings.dryRunFolders);
    try {
        const bool completed = moveRows(rows, settings, pump, actions);
        actions.commit();
        return completed;
    } catch (...) {
        // The rows before the error are carried out: their copies are complete.
        try {
            actions.commit();
        } catch (...) {
            actions.abandon();
        }
        throw;
    }
}

} // namespace plumtide
