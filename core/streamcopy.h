#pragma once

#include <QString>
#include <QtGlobal>

namespace plumtide
{

// The plain file utilities of the program's first design: a size that clears "read-only",
// and a copy by stream that replaces its target. No move uses them any more (a move is a
// rename within one file system and a durable copy that never replaces anything across
// file systems, see durablemove.h); they are kept for callers that want exactly these
// semantics, and their tests.

// The file's size in bytes; 0 when it does not exist, is in use, or cannot be read. Taking
// the size also clears "read-only" (adds the owner's write permission). Files of 2 GiB and
// more give the largest qint32 rather than a wrapped or zero size, so they never pass for
// small files. Never throws.
qint32 FileSizeOf(const QString& path) noexcept;

// Copies the contents of `source` to `target`, replacing a file that is already there.
//
// Returns false, touching nothing, when either path is longer than MaxCopyPathLength, no
// file exists at `source`, `target` is empty, `source` is in use, or `target` names the
// source file itself (the same path, a hard link or a symbolic link to it): copying a file
// onto itself would empty it.
//
// Returns true only once the copy is on disk: the target's contents and its folder entry
// are flushed first, so a caller may delete the source right afterwards.
//
// Throws IOError (carrying the path at fault) when the source cannot be opened, the target
// cannot be created or written, or flushing fails. A target that was created or truncated
// is removed again on that path, so no partial file is left under the song's name.
bool CopyFileByStream(const QString& source, const QString& target);

} // namespace plumtide
