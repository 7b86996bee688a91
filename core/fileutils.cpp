#include "core/fileutils.h"

#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/filecopy.h"
#include "platform/filestatus.h"
#include "platform/locks.h"
#include "platform/names.h"
#include "platform/paths.h"
#include "platform/trash.h"

#include <cerrno>
#include <utility>

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
    bool notTrashed = false;
    const TRemoveResult result = removeUnused(path, accept, error, [&] {
        TTrashedFile place;
        const int failure = MoveToTrash(path, place);
        if (failure == 0)
            trashed = place.file;
        notTrashed = failure != 0;
        return failure;
    });
    return notTrashed ? TRemoveResult::NotTrashed : result;
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
