#pragma once

#include "core/reasons.h"
#include "platform/descriptor.h"
#include "platform/filestatus.h"
#include "platform/lease.h"
#include "platform/paths.h"

#include <QString>
#include <QtGlobal>

#include <functional>

namespace plumtide
{

// File operations shared by scanning, moving and the doubles commands. Paths are QStrings
// handed to the file system as their encoded bytes.
//
// A "file" is a regular file, symbolic links followed. Folders are not files, and neither
// are pipes, devices or sockets: nothing here opens one, so a stray pipe named "x.mp3"
// cannot stall a move.

// Whether a regular file exists at the path.
bool FileExists(const QString& path);

// Whether a folder exists at the path.
bool FolderExists(const QString& path);

// True when the file exists and another process holds it open or locked, or it cannot be
// opened at all; false when no file exists at the path or nobody else has it open. A
// descriptor the calling process itself holds on the file counts as well, so callers must
// test before they open. Never throws.
bool IsFileInUse(const QString& path) noexcept;

// Why the file cannot be moved now: InUse while another process holds it open or locked,
// the reason of the error when it cannot be opened (permission denied), None when it is free
// or does not exist. Never throws.
TReason UnusableReason(const QString& path) noexcept;

// Paths longer than this (in UTF-16 code units) are never copied.
inline constexpr qsizetype MaxCopyPathLength = 254;

// What PrepareFileCopy and CommitFileCopy did.
enum class TPlaceResult {
    Placed, // the copy is on disk under the target name
    TargetExists, // something already has the target name; nothing was written
    NotCopied, // a path too long, or no regular file at the source; nothing was written
    SourceInUse, // another process has the source open or locked; nothing was written
};

// A move's copy from its preparation to its end: written to a temporary file, then given
// its name, then the source deleted (see PrepareFileCopy, CommitFileCopy, FinishMove). The
// source stays open and watched the whole time, so that a program that opens or changes it
// meanwhile is noticed before it is deleted. Destroying it before it is committed removes
// the temporary file.
class TPreparedCopy
{
public:
    TPreparedCopy() = default;
    explicit TPreparedCopy(TPlaceResult result)
        : m_result(result)
    {
    }
    TPreparedCopy(TPreparedCopy&&) noexcept;
    TPreparedCopy& operator=(TPreparedCopy&&) noexcept;
    TPreparedCopy(const TPreparedCopy&) = delete;
    TPreparedCopy& operator=(const TPreparedCopy&) = delete;
    ~TPreparedCopy();

    // Placed: ready to commit (or committed); otherwise why nothing was written.
    TPlaceResult result() const { return m_result; }
    const QString& source() const { return m_source.path(); }
    const QString& target() const { return m_target; }
    qint64 size() const { return m_size; }
    // The copy's modification time (the source's), nanoseconds since the epoch.
    qint64 modified() const { return m_copy.modified; }

private:
    friend TPreparedCopy PrepareFileCopy(const QString& source, const QString& target);
    friend TPlaceResult CommitFileCopy(TPreparedCopy& copy);
    friend int SetSourceAside(TPreparedCopy& copy);
    friend int FinishMove(TPreparedCopy& copy);
    int takeBack(int error);

    TPlaceResult m_result = TPlaceResult::NotCopied;
    TWatchedFile m_source;
    QString m_temporary;
    QString m_target;
    qint64 m_size = 0;
    FileDescriptor m_file;
    TFileStatus m_copy; // the copy's identity, to take back exactly it
    QString m_aside; // where SetSourceAside put the source
    int m_error = 0; // why the copy was taken back
};

// The first step of a move: checks, opens the source (never through a symbolic link: that
// raises IOError with ELOOP) and copies it into a new hidden temporary file in the target's
// folder, created readable by its owner only and given the source's permission bits, times
// and (where allowed) owner once written, then starts writing it to disk without waiting.
// Several copies can be prepared and then committed, so that the disk writes them side by
// side instead of one after the other. Throws IOError when a file cannot be read, created
// or written.
TPreparedCopy PrepareFileCopy(const QString& source, const QString& target);

// The second step: waits until the copy is on disk, then gives it the target name unless
// something took that name meanwhile (TargetExists; the copy is removed). The target's
// folder entry is not flushed yet: call SyncFolder before FinishMove.
TPlaceResult CommitFileCopy(TPreparedCopy& copy);

// The third step, once the target's folder is flushed: if the source is still exactly what
// was copied (nobody opened it meanwhile, its size and times unchanged, its name still its
// own), it is renamed aside to a hidden name in its folder, where nobody finds it any more;
// returns 0. Otherwise the copy is taken back out of the target folder and the source
// stays: EBUSY when the source was opened or changed, else the errno of the failed rename
// (a read-only source folder).
int SetSourceAside(TPreparedCopy& copy);

// The last step, a moment later (after the source folders are flushed): a program that had
// found the source by its name just before it was set aside has opened it by now, and that
// shows. Then the source goes back under its name (or a numbered one, should a new file
// have taken it), the copy is taken back, and EBUSY is returned. Otherwise the source is
// deleted: 0. A copy that SetSourceAside already took back gives its error again.
int FinishMove(TPreparedCopy& copy);

// What MoveByRename did.
enum class TRenameResult {
    Renamed, // the file has its target name and no longer its source name
    OtherFileSystem, // source and target lie on different file systems: copy it instead
    TargetExists, // something already has the target name; nothing changed
    SourceInUse, // another process had the source open or locked, opened it, or it changed
    NotRenamed, // a path too long, or no regular file at the source; nothing changed
};

// A move within one file system: the source gets the target name by a rename, which keeps
// its bytes, permissions, times and owner as they are, needs no free space, and is atomic:
// a crash leaves the file under one of its two names. Never over anything at the target
// (RENAME_NOREPLACE, or a hard link and an unlink where the file system lacks the flag).
// The source is opened and watched first (never through a symbolic link: that raises
// IOError with ELOOP) and renamed only when nobody had it open, nobody opened it since, its
// size and times are unchanged and its name still names it (the rules of a copy's source).
// The two folders are not flushed: the caller calls SyncFolder on both before it counts
// the move as done. Throws IOError for a rename the file system refuses (a read-only
// folder: EACCES). Leftovers of killed runs in both folders are removed, as PrepareFileCopy
// does. `moved`, when given, receives the file as it was renamed (its size and times).
TRenameResult MoveByRename(
    const QString& source, const QString& target, TFileStatus* moved = nullptr);

// A whole move's copy: prepared, committed and its folder flushed, so that at any moment
// the target name holds the whole file or nothing, and a run killed half-way leaves at most
// a temporary file that RemoveStalePartialFiles recognises. The source is left in place.
TPlaceResult PlaceFileCopy(const QString& source, const QString& target);

// What RemoveUnusedFile did.
enum class TRemoveResult { Removed, Missing, InUse, Refused, Failed };

// Deletes the file at `path` (never what a symbolic link there leads to) unless another
// process has it open or locked, or it changes while it is looked at. `accept` sees the file
// as it is open (its real size, whatever else holds it) and may refuse the delete. For
// Failed, `error` (when given) gets the system's error number.
TRemoveResult RemoveUnusedFile(const QString& path,
    const std::function<bool(const TFileStatus&)>& accept = {}, int* error = nullptr);

// RemoveUnusedFile, but into the desktop's Trash (see platform/trash.h): `trashed` gets the
// file's place there. Where its file system has no Trash, the file is deleted for good and
// `trashed` stays empty.
TRemoveResult TrashUnusedFile(const QString& path, QString& trashed,
    const std::function<bool(const TFileStatus&)>& accept = {}, int* error = nullptr);

// Whether a file name is that of a copy in progress (".plumtide-<process id>-<n>.part") or
// of a moved source about to be deleted (".plumtide-<process id>-<n>.gone").
bool IsPartialFileName(const QString& name);

// Removes the temporary files in `folder` that moves of processes no longer running left
// behind: unfinished copies, and sources set aside (whose copies were already on disk at
// their targets). Returns how many it removed.
int RemoveStalePartialFiles(const QString& folder);

// Whether two files have the same contents. False when either cannot be read.
bool SameContents(const QString& a, const QString& b);

} // namespace plumtide
