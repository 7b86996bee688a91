#include "core/fileutils.h"

#include "platform/atomicfile.h"
#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/filecopy.h"
#include "platform/filestatus.h"
#include "platform/locks.h"
#include "platform/names.h"
#include "platform/paths.h"
#include "platform/trash.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <utility>
#include <vector>

namespace plumtide
{

bool FileExists(const QString& path)
{
    return KindOfPath(path) == PathKind::File;
}

bool FolderExists(const QString& path)
{
    return KindOfPath(path) == PathKind::Folder;
}

bool IsFileInUse(const QString& path) noexcept
{
    try {
        if (!FileExists(path))
            return false;
        const FileDescriptor file = OpenForReading(path);
        return IsOpenElsewhere(file);
    } catch (...) {
        // A file that cannot be opened is as good as held: it must not be moved.
        return true;
    }
}

TReason UnusableReason(const QString& path) noexcept
{
    try {
        if (!FileExists(path))
            return TReason::None;
        const FileDescriptor file = OpenForReading(path);
        return IsOpenElsewhere(file) ? TReason::InUse : TReason::None;
    } catch (const IOError& error) {
        // A lease held elsewhere refuses the open at once: that file is in use.
        return error.errnoValue() == EWOULDBLOCK ? TReason::InUse
                                                 : ReasonOfError(error.errnoValue());
    } catch (...) {
        return TReason::CopyFailed;
    }
}

namespace
{

const QRegularExpression& partialName()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\.plumtide-(\\d+)-\\d+\\.(part|gone)$"));
    return pattern;
}

} // namespace

bool IsPartialFileName(const QString& name)
{
    return partialName().match(name).hasMatch();
}

int RemoveStalePartialFiles(const QString& folder)
{
    int removed = 0;
    for (const QString& name : EntryNames(folder)) {
        const QRegularExpressionMatch match = partialName().match(name);
        if (match.hasMatch() && !ProcessExists(match.captured(1).toLongLong())
            && RemoveFile(folder + QLatin1Char('/') + name) == 0)
            ++removed;
    }
    return removed;
}

namespace
{

// Leftovers of a killed run are cleaned up the first time this process moves from or to a
// folder.
void removeLeftoversOnce(const QString& targetFolder, const QString& sourceFolder)
{
    static QSet<QString> cleanedFolders;
    for (const QString* touched : { &targetFolder, &sourceFolder }) {
        if (!cleanedFolders.contains(*touched)) {
            RemoveStalePartialFiles(*touched);
            cleanedFolders.insert(*touched);
        }
    }
}

} // namespace

TRenameResult MoveByRename(const QString& source, const QString& target, TFileStatus* moved)
{
    if (source.size() > MaxCopyPathLength || target.size() > MaxCopyPathLength || target.isEmpty())
        return TRenameResult::NotRenamed;
    const QString folder = FolderOf(target);
    const TFileStatus there = StatusOf(folder);
    TWatchedFile in = TWatchedFile::Open(source);
    if (!in.isRegular())
        return TRenameResult::NotRenamed;
    // Another device number is another file system (a bind mount of the same one shows as
    // such only when the rename says EXDEV, below).
    if (there.kind == PathKind::Folder && there.device != in.status().device)
        return TRenameResult::OtherFileSystem;
    if (in.inUse())
        return TRenameResult::SourceInUse;
    removeLeftoversOnce(folder, FolderOf(source));
    if (KindOfPath(target) != PathKind::Missing)
        return TRenameResult::TargetExists;
    // The last look before the rename: the lease is still held, so whoever opens the file
    // from now on opens what is renamed, and keeps it whatever its name.
    if (!in.unchanged())
        return TRenameResult::SourceInUse;
    const int error = RenameNoReplace(source, target);
    if (error == 0) {
        if (moved)
            *moved = in.status();
        return TRenameResult::Renamed;
    }
    if (error == EEXIST)
        return TRenameResult::TargetExists;
    if (error == EXDEV)
        return TRenameResult::OtherFileSystem;
    // The source went meanwhile (a missing target folder is reported as such).
    if (error == ENOENT && KindOfPath(source) == PathKind::Missing)
        return TRenameResult::NotRenamed;
    throw IOError(QStringLiteral("Cannot move"), target, error);
}

TPreparedCopy::TPreparedCopy(TPreparedCopy&& other) noexcept
    : m_result(other.m_result)
    , m_source(std::move(other.m_source))
    , m_temporary(std::exchange(other.m_temporary, QString()))
    , m_target(std::move(other.m_target))
    , m_size(other.m_size)
    , m_file(std::move(other.m_file))
    , m_copy(other.m_copy)
    , m_aside(std::exchange(other.m_aside, QString()))
    , m_error(other.m_error)
{
}

TPreparedCopy& TPreparedCopy::operator=(TPreparedCopy&& other) noexcept
{
    if (this != &other) {
        TPreparedCopy old(std::move(*this));
        m_result = other.m_result;
        m_source = std::move(other.m_source);
        m_temporary = std::exchange(other.m_temporary, QString());
        m_target = std::move(other.m_target);
        m_size = other.m_size;
        m_file = std::move(other.m_file);
        m_copy = other.m_copy;
        m_aside = std::exchange(other.m_aside, QString());
        m_error = other.m_error;
    }
    return *this;
}

TPreparedCopy::~TPreparedCopy()
{
    // A move cut short by an error between its last two steps: the source comes back.
    if (!m_aside.isEmpty())
        RenameNoReplace(m_aside, m_source.path());
    m_file = FileDescriptor();
    if (!m_temporary.isEmpty())
        RemoveFile(m_temporary);
}

TPreparedCopy PrepareFileCopy(const QString& source, const QString& target)
{
    if (source.size() > MaxCopyPathLength || target.size() > MaxCopyPathLength)
        return TPreparedCopy(TPlaceResult::NotCopied);
    if (target.isEmpty() || !FileExists(source))
        return TPreparedCopy(TPlaceResult::NotCopied);
    if (KindOfPath(target) != PathKind::Missing)
        return TPreparedCopy(TPlaceResult::TargetExists);

    TWatchedFile in = TWatchedFile::Open(source);
    if (!in.isRegular())
        return TPreparedCopy(TPlaceResult::NotCopied);
    if (in.inUse())
        return TPreparedCopy(TPlaceResult::SourceInUse);

    const QString folder = FolderOf(target);
    removeLeftoversOnce(folder, FolderOf(source));

    static std::atomic<quint64> counter { 0 };
    TPreparedCopy copy(TPlaceResult::Placed);
    copy.m_target = target;
    FileDescriptor out;
    for (int attempt = 0; !out.isOpen(); ++attempt) {
        const QString temporary = folder
            + QStringLiteral("/.plumtide-%1-%2.part")
                  .arg(QCoreApplication::applicationPid())
                  .arg(counter++);
        try {
            // Private until it is whole: a private song is never readable by others on the way.
            out = CreateNewFile(temporary, 0600);
            copy.m_temporary = temporary;
        } catch (const IOError& error) {
            if (error.errnoValue() != EEXIST || attempt > 100)
                throw IOError(QStringLiteral("Cannot create a file in the folder of"), target,
                    error.errnoValue());
        }
    }
    CopyContents(in.descriptor(), out, source, target);
    // What a move keeps, as mv does: permissions, times, and the owner where allowed.
    CopyModeAndOwner(in.descriptor(), out, target);
    CopyTimes(in.descriptor(), out, target);
    StartWriteback(out);
    copy.m_size = FileSize(out, target);
    copy.m_copy = StatusOf(copy.m_temporary);
    copy.m_file = std::move(out);
    copy.m_source = std::move(in);
    return copy;
}

TPlaceResult CommitFileCopy(TPreparedCopy& copy)
{
    if (copy.m_result != TPlaceResult::Placed || !copy.m_file.isOpen())
        return copy.m_result;
    // Not placed until it has its name: an error on the way must not read as success.
    copy.m_result = TPlaceResult::NotCopied;
    FileDescriptor out(std::move(copy.m_file));
    SyncFile(out, copy.m_target);
    if (const int error = out.close())
        throw IOError(QStringLiteral("Cannot write"), copy.m_target, error);
    if (const int error = RenameNoReplace(copy.m_temporary, copy.m_target)) {
        if (error != EEXIST)
            throw IOError(QStringLiteral("Cannot create"), copy.m_target, error);
        copy.m_result = TPlaceResult::TargetExists;
        return copy.m_result;
    }
    copy.m_temporary.clear();
    copy.m_result = TPlaceResult::Placed;
    return copy.m_result;
}

int TPreparedCopy::takeBack(int error)
{
    // Exactly the file placed, nothing that took its name since.
    if (StatusOf(m_target).sameAs(m_copy) && RemoveFile(m_target) == 0)
        SyncFolder(FolderOf(m_target));
    m_error = error;
    return error;
}

int SetSourceAside(TPreparedCopy& copy)
{
    if (copy.m_error != 0)
        return copy.m_error;
    if (!copy.m_source.unchanged())
        return copy.takeBack(EBUSY);
    static std::atomic<quint64> counter { 0 };
    const QString folder = FolderOf(copy.source());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString aside = folder
            + QStringLiteral("/.plumtide-%1-%2.gone")
                  .arg(QCoreApplication::applicationPid())
                  .arg(counter++);
        const int error = RenameNoReplace(copy.source(), aside);
        if (error == 0) {
            copy.m_aside = aside;
            copy.m_source.renamed();
            return 0;
        }
        if (error != EEXIST)
            return copy.takeBack(error);
    }
    return copy.takeBack(EEXIST);
}

int FinishMove(TPreparedCopy& copy)
{
    if (copy.m_aside.isEmpty())
        return copy.m_error != 0 ? copy.m_error : SetSourceAside(copy);
    if (copy.m_source.asOpened()) {
        RemoveFile(copy.m_aside);
        copy.m_aside.clear();
        return 0;
    }
    // Opened after all: it goes back where it was, and whoever opened it finds it there.
    const QString name = FileNameOf(copy.source());
    for (int number = 1; number < 1000; ++number) {
        const QString back = JoinPath(
            FolderOf(copy.source()), number == 1 ? name : NumberedFileName(name, number));
        if (RenameNoReplace(copy.m_aside, back) != EEXIST)
            break;
    }
    copy.m_aside.clear();
    return copy.takeBack(EBUSY);
}

TPlaceResult PlaceFileCopy(const QString& source, const QString& target)
{
    TPreparedCopy copy = PrepareFileCopy(source, target);
    if (copy.result() != TPlaceResult::Placed || CommitFileCopy(copy) != TPlaceResult::Placed)
        return copy.result();
    if (const int error = SyncFolder(FolderOf(target)))
        throw IOError(QStringLiteral("Cannot finish saving"), target, error);
    return TPlaceResult::Placed;
}

namespace
{

// `remove` returns 0 or the error that kept the file.
template <typename Remove>
TRemoveResult removeUnused(const QString& path,
    const std::function<bool(const TFileStatus&)>& accept, int* error, Remove remove)
{
    int failure = 0;
    const auto failed = [&] {
        if (error)
            *error = failure;
        return TRemoveResult::Failed;
    };
    TWatchedFile file;
    try {
        file = TWatchedFile::Open(path);
    } catch (const IOError& openError) {
        failure = openError.errnoValue();
        return failure == ENOENT ? TRemoveResult::Missing : failed();
    }
    if (!file.isRegular())
        return TRemoveResult::Missing;
    if (file.inUse())
        return TRemoveResult::InUse;
    if (accept && !accept(file.status()))
        return TRemoveResult::Refused;
    if (!file.unchanged())
        return TRemoveResult::InUse;
    failure = remove();
    return failure == 0 ? TRemoveResult::Removed : failed();
}

} // namespace

TRemoveResult RemoveUnusedFile(
    const QString& path, const std::function<bool(const TFileStatus&)>& accept, int* error)
{
    return removeUnused(path, accept, error, [&] { return RemoveFile(path); });
}

TRemoveResult TrashUnusedFile(const QString& path, QString& trashed,
    const std::function<bool(const TFileStatus&)>& accept, int* error)
{
    trashed.clear();
    return removeUnused(path, accept, error, [&] {
        TTrashedFile place;
        const int failure = MoveToTrash(path, place);
        if (failure == 0)
            trashed = place.file;
        return failure == EXDEV ? RemoveFile(path) : failure;
    });
}

bool SameContents(const QString& a, const QString& b)
{
    try {
        const FileDescriptor first = OpenForReading(a);
        const FileDescriptor second = OpenForReading(b);
        return FileSize(first, a) == FileSize(second, b) && SameBytes(first, second);
    } catch (...) {
        return false;
    }
}

} // namespace plumtide
