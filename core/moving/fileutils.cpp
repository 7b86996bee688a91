#include "core/moving/fileutils.h"

#include "core/moving/durablemove.h"
#include "formats/audioregion.h"
#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/filecopy.h"
#include "platform/filestatus.h"
#include "platform/locks.h"
#include "platform/names.h"
#include "platform/paths.h"
#include "platform/trash.h"

#include <cerrno>
#include <unistd.h>
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

// A file on its way out: `away` renames it to a place of its own (0 and that place, or the
// error with the file still at its path), `finish` ends what it is there for, `back` returns
// it to a path (EEXIST when that name is taken).
struct TWayOut {
    std::function<int(QString& place)> away;
    std::function<int(const QString& place)> finish;
    std::function<int(const QString& place, const QString& path)> back;
};

// A file that turned out not to be the one approved goes back under its name, or the first
// free numbered name beside it should a new file have taken that name meanwhile.
void putBack(const TWayOut& way, const QString& place, const QString& path)
{
    int error = EEXIST;
    for (int number = 1; number < 1000 && error == EEXIST; ++number)
        error = way.back(place,
            number == 1 ? path
                        : JoinPath(FolderOf(path), NumberedFileName(FileNameOf(path), number)));
}

// The one way a file is deleted, for good or into the Trash: only the file that was opened
// and approved, as it was then. Its name is tested just before it is renamed away, and what
// the rename took is tested after it, so that a file saved anew under the name in between is
// never what goes.
TRemoveResult removeUnused(
    const QString& path, const TAcceptFile& accept, int* error, const TWayOut& way)
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
    if (accept && !accept(file))
        return TRemoveResult::Refused;
    if (!file.unchanged())
        return TRemoveResult::InUse;
    // Set aside, it is this deletion's, also where no lease can be had: no other run takes
    // it for a leftover (see RemoveStalePartialFiles).
    TryLockByte(file.descriptor(), 0, false);
    QString place;
    failure = way.away(place);
    if (failure != 0)
        return failed();
    if (!file.renamedTo(place)) {
        putBack(way, place, path);
        return TRemoveResult::InUse;
    }
    failure = way.finish(place);
    if (failure != 0) {
        putBack(way, place, path);
        return failed();
    }
    return TRemoveResult::Removed;
}

// Where a file's audio lies; the whole file when its format has no region to find.
TAudioRegion regionOf(const FileDescriptor& file, const QString& path)
{
    const qint64 size = FileSize(file, path);
    if (const auto region = AudioRegionOf(AudioFormatOfFile(path), file, size))
        return *region;
    return TAudioRegion { 0, size };
}

bool sameOpenContents(
    const FileDescriptor& first, const QString& a, const FileDescriptor& second, const QString& b)
{
    return FileSize(first, a) == FileSize(second, b) && SameBytes(first, second);
}

} // namespace

TRemoveResult RemoveUnusedFile(const QString& path, const TAcceptFile& accept, int* error)
{
    TWayOut way;
    way.away = [&](QString& place) {
        int failure = EEXIST;
        for (int attempt = 0; attempt < 100 && failure == EEXIST; ++attempt) {
            place = JoinPath(FolderOf(path), PartialFileName("gone"));
            failure = RenameNoReplace(path, place);
        }
        return failure;
    };
    way.finish = [](const QString& place) { return RemoveFile(place); };
    way.back = [](const QString& place, const QString& to) { return RenameNoReplace(place, to); };
    return removeUnused(path, accept, error, way);
}

TRemoveResult TrashUnusedFile(
    const QString& path, QString& trashed, const TAcceptFile& accept, int* error)
{
    trashed.clear();
    bool notTrashed = false;
    TWayOut way;
    way.away = [&](QString& place) {
        TTrashedFile where;
        const int failure = MoveToTrash(path, where);
        place = where.file;
        notTrashed = failure != 0;
        return failure;
    };
    way.finish = [&](const QString& place) {
        trashed = place;
        return 0;
    };
    way.back = [](const QString& place, const QString& to) { return RestoreFromTrash(place, to); };
    const TRemoveResult result = removeUnused(path, accept, error, way);
    return notTrashed ? TRemoveResult::NotTrashed : result;
}

bool SameContents(const QString& a, const QString& b)
{
    try {
        return sameOpenContents(OpenForReading(a), a, OpenForReading(b), b);
    } catch (...) {
        return false;
    }
}

bool SameContents(const TWatchedFile& file, const QString& other)
{
    try {
        // From the start, whoever read it before.
        return ::lseek(file.descriptor().get(), 0, SEEK_SET) == 0
            && sameOpenContents(file.descriptor(), file.path(), OpenForReading(other), other);
    } catch (...) {
        return false;
    }
}

bool SameAudio(const QString& a, const QString& b)
{
    try {
        const FileDescriptor first = OpenForReading(a);
        const FileDescriptor second = OpenForReading(b);
        const TAudioRegion one = regionOf(first, a);
        const TAudioRegion other = regionOf(second, b);
        // FLAC keeps a checksum of the decoded audio: two that differ settle it unread.
        if (!one.flacMd5.isEmpty() && !other.flacMd5.isEmpty() && one.flacMd5 != other.flacMd5)
            return false;
        // A file of tags alone holds no song to be a double of.
        return one.length > 0 && one.length == other.length
            && SameBytesAt(first, one.offset, second, other.offset, one.length);
    } catch (...) {
        return false;
    }
}

qint64 AudioLength(const QString& path)
{
    try {
        return regionOf(OpenForReading(path), path).length;
    } catch (...) {
        return -1;
    }
}

} // namespace plumtide
