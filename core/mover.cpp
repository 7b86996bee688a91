#include "core/mover.h"

#include "core/fileutils.h"
#include "core/scanner.h"
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

// Carries out, or in a dry run only imagines, the file operations of a move. A dry run
// remembers what it would have created and removed so that later rows see that state.
class MoveActions
{
public:
    explicit MoveActions(bool dryRun, const QStringList& dryRunFolders = {})
        : m_dryRun(dryRun)
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

    TPlaceResult place(const QString& source, const QString& target)
    {
        if (!m_dryRun)
            return PlaceFileCopy(source, target);
        if (source.size() > MaxCopyPathLength || target.size() > MaxCopyPathLength
            || IsFileInUse(source))
            return TPlaceResult::NotCopied;
        if (nameTaken(target))
            return TPlaceResult::TargetExists;
        m_created.insert(target);
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
            switch (place(file, candidate)) {
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

private:
    bool m_dryRun;
    QSet<QString> m_dryRunFolders;
    QSet<QString> m_created;
    QSet<QString> m_removed;
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
    MoveActions actions(false);
    QString storedAs;
    if (actions.storeDouble(file, doublesFolder, &storedAs) == TStoreResult::NotCopied)
        return QString();
    actions.remove(file);
    return storedAs;
}

bool MovePlannedFiles(const std::vector<TPlanRow>& rows, const TMoveSettings& settings, Pump& pump,
    const MoveReporter& report)
{
    MoveActions actions(settings.dryRun, settings.dryRunFolders);
    QSet<QString> handled; // files an earlier row moved or deleted
    const qint64 limit = qint64(settings.smallFileLimit) * 1024;
    const auto skipped = [&](const QString& file, const QString& reason) {
        report(TMoveEvent { TMoveOutcome::Skipped, file, QString(), reason });
    };

    for (const TPlanRow& row : rows) {
        if (!pump.keepGoing())
            return false;
        const QString& file = row.file;
        if (!actions.fileExists(file)) {
            skipped(file, handled.contains(file) ? skip::AlreadyMoved : skip::Missing);
            continue;
        }

        if (settings.deleteSmallFiles && actions.sizeOf(file) < limit && !IsFileInUse(file)) {
            if (actions.remove(file)) {
                handled.insert(file);
                report(TMoveEvent { TMoveOutcome::SmallDeleted, file, QString(), QString() });
                continue;
            }
        }
        if (settings.deleteSmallFiles && actions.sizeOf(file) < limit) {
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
            const TPlaceResult placed = actions.place(file, target);
            if (placed == TPlaceResult::Placed) {
                actions.remove(file);
                handled.insert(file);
                report(TMoveEvent { TMoveOutcome::Moved, file, target, QString() });
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
            actions.remove(file);
            handled.insert(file);
            report(TMoveEvent { TMoveOutcome::DoubleMoved, file, storedAs, QString() });
        } else if (settings.deleteDoubles) {
            actions.remove(file);
            handled.insert(file);
            report(TMoveEvent { TMoveOutcome::DoubleDeleted, file, QString(), QString() });
        } else {
            report(TMoveEvent { TMoveOutcome::DoubleKept, file, QString(), QString() });
        }
    }
    return true;
}

} // namespace plumtide
