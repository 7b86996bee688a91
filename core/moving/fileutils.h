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

// Paths longer than this (in UTF-16 code units) are never moved or copied.
inline constexpr qsizetype MaxCopyPathLength = 254;

// What RemoveUnusedFile did.
// InUse: another process has the file open or locked, or it changed while it was looked at.
// NotTrashed: the file stays where it is, because no Trash could take it.
enum class TRemoveResult { Removed, Missing, InUse, Refused, Failed, NotTrashed };

// What a deletion's caller asks of the file it is about to delete, as it is open (its real
// size, whatever else holds it): whatever it reads is read through that very open file (see
// SameContents), so that what it approves is what gets deleted.
using TAcceptFile = std::function<bool(const TWatchedFile&)>;

// Deletes the file at `path` (never what a symbolic link there leads to) unless another
// process has it open or locked, or it changes while it is looked at, `accept` and the
// deletion included: the file is first renamed aside in its folder, and deleted only when
// that name still leads to the file that was opened, with the size and times it had (a
// file saved anew under its name, or written to with its times put back, goes back to its
// name and counts as in use). `accept` may refuse the delete. For Failed, `error` (when
// given) gets the system's error number.
TRemoveResult RemoveUnusedFile(
    const QString& path, const TAcceptFile& accept = {}, int* error = nullptr);

// RemoveUnusedFile, but into the desktop's Trash (see platform/trash.h): `trashed` gets the
// file's place there. A file that no Trash can take (none on its file system, a mount that
// a rename cannot leave) is kept, NotTrashed with the error: the user asked for a deletion
// that can be taken back, and one for good cannot.
TRemoveResult TrashUnusedFile(
    const QString& path, QString& trashed, const TAcceptFile& accept = {}, int* error = nullptr);

// Whether two files have the same contents. False when either cannot be read.
bool SameContents(const QString& a, const QString& b);
// Whether the open file has the contents of the file at `other`, read from its start.
bool SameContents(const TWatchedFile& file, const QString& other);

// Whether two files hold the same song: the same bytes where their audio lies (see
// formats/audioregion.h), whatever their tags say; files of no music format are compared
// whole. Sizes are compared before bytes. False when either cannot be read.
bool SameAudio(const QString& a, const QString& b);
// The length of a file's audio region: what SameAudio compares first. -1 when it cannot be
// read.
qint64 AudioLength(const QString& path);

} // namespace plumtide
