#pragma once

// Who else uses a file, advisory locks, and processes.

#include "platform/descriptor.h"

#include <QString>

namespace plumtide
{

// Whether any descriptor other than `file` is open on the same file, in any process, or
// another process holds a lock on it. `file` must be the caller's only descriptor for the
// file. On local file systems this takes and drops a write lease, which the kernel grants
// only when no other descriptor is open; where leases are not available (network and FUSE
// file systems, a file of another owner without CAP_LEASE) only locks can be seen. Another
// program that opens the file in that instant is never kept waiting, nor is this process
// ended by the lease-break signal (see lease.h, which implements it).
bool IsOpenElsewhere(const FileDescriptor& file);

// Whether another open file description holds a flock() or POSIX record lock on the file.
bool IsLockedElsewhere(const FileDescriptor& file);

// Whether a process with this id exists.
bool ProcessExists(qint64 pid);

// An advisory lock held while `file` is open; `error` says why there is none.
struct TLockedFile {
    FileDescriptor file;
    int error = 0; // EWOULDBLOCK: another holds a lock that excludes this one
};

// Takes an advisory lock (flock) on the file at `path`, which is created (private) when
// missing: shared or exclusive, without waiting.
TLockedFile TryLockFile(const QString& path, bool exclusive);
// TryLockFile, but waits for a lock held elsewhere to be released.
TLockedFile LockFile(const QString& path, bool exclusive);

// Byte locks: a lock file whose bytes each stand for one holder (a run by its number).
// They are open-file-description locks, so they belong to the descriptor and not to a
// process id: a holder in another process namespace (a container sharing the folder) is
// seen as well, and a number that comes round again is never taken for a live holder.
// They go when the descriptor is closed, also when its process is killed.
//
// Takes the lock on byte `offset` of the file, without waiting: a write lock (the file open
// for writing), or a read lock that others may share (the file open for reading); false when
// another descriptor holds a lock that excludes it (or the lock cannot be had: then errno
// says why).
bool TryLockByte(const FileDescriptor& file, qint64 offset, bool exclusive = true);
void UnlockByte(const FileDescriptor& file, qint64 offset);
// Whether another descriptor holds a lock on byte `offset`. The file may be open for
// reading only.
bool ByteLockedElsewhere(const FileDescriptor& file, qint64 offset);

} // namespace plumtide
