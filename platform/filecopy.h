#pragma once

// Copying a file's bytes, mode, owner and times, and making them durable. Functions that
// fail throw IOError carrying the path and the system's error number.

#include "platform/descriptor.h"

#include <QString>

namespace plumtide
{

// Adds the owner's write permission, the counterpart of clearing "read-only". Returns false
// when the permissions cannot be read or changed.
bool AddOwnerWritePermission(const QString& path);

// Copies everything from the current offset of `source` to its end into `target` at the
// target's offset: through the kernel (copy_file_range, which lets file systems share or
// copy extents without a trip through user space) where it is offered, and through
// CopyContentsByBuffer for whatever the kernel did not copy. A copy whose length differs
// from what its source holds at the end raises IOError (EIO), so that it is never taken for
// a copy of the source. A failure the kernel cannot pin on one side raises an error naming
// `targetPath` (where a full disk or a size limit shows) with the source in its message.
void CopyContents(const FileDescriptor& source, const FileDescriptor& target,
    const QString& sourcePath, const QString& targetPath);

// The kernel copy alone, up to the source's size as its descriptor tells it. Returns false,
// having copied nothing, when the kernel offers no copy between these two files (different
// file system types, an old kernel). A kernel that stops short (it reports nothing more to
// copy) also returns early, with both offsets where it stopped: the caller copies the rest
// through a buffer.
bool CopyContentsByKernel(const FileDescriptor& source, const FileDescriptor& target,
    const QString& sourcePath, const QString& targetPath);

// The copy through a large buffer with read() and write().
void CopyContentsByBuffer(const FileDescriptor& source, const FileDescriptor& target,
    const QString& sourcePath, const QString& targetPath);

// Flushes a file's contents and metadata to disk.
void SyncFile(const FileDescriptor& file, const QString& path);

// Asks the kernel to start writing a file's dirty pages to disk now, without waiting, so
// that a later SyncFile finds less to do. Only a hint: failures are ignored.
void StartWriteback(const FileDescriptor& file);

// Whether two open files have the same bytes from their current offsets to their ends.
// False when either cannot be read.
bool SameBytes(const FileDescriptor& a, const FileDescriptor& b);

// Whether `length` bytes of `a` from `offsetA` equal those of `b` from `offsetB`, read with
// pread (the descriptors' offsets stay as they are). False when either cannot be read that far.
bool SameBytesAt(const FileDescriptor& a, qint64 offsetA, const FileDescriptor& b, qint64 offsetB,
    qint64 length);

} // namespace plumtide
