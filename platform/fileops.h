#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace plumtide
{

// File-system calls for the sorting core's file utilities. Functions that throw raise
// IOError carrying the path and errno; the others report failure by their result.

// What a path names, symbolic links followed. Only regular files are File; pipes, devices
// and sockets are Other, because reading one may block or never end.
enum class PathKind {
    Missing,
    File,
    Folder,
    Other,
};
PathKind KindOfPath(const QString& path);

// What one stat() of a path tells, symbolic links followed.
struct TFileStatus {
    PathKind kind = PathKind::Missing;
    qint64 size = 0;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modified = 0; // modification time, nanoseconds since the epoch
    qint64 changed = 0; // change time (of the inode: any write, rename or chmod), likewise

    // Whether both name the same existing file or folder, however the paths were spelt.
    bool sameAs(const TFileStatus& other) const
    {
        return kind != PathKind::Missing && other.kind != PathKind::Missing
            && device == other.device && inode == other.inode;
    }
};
TFileStatus StatusOf(const QString& path);

// Owns one open descriptor and closes it when destroyed.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept
        : m_fd(fd)
    {
    }
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Closes now; returns 0 or -1 with errno set (some file systems report write errors
    // only here).
    int close();
    // Gives up ownership: the caller closes the descriptor.
    int release() noexcept { return std::exchange(m_fd, -1); }

private:
    int m_fd = -1;
};

// Opens a file for reading without waiting: when another process holds a lease on it the
// open fails with EWOULDBLOCK at once instead of stalling until the lease is broken.
// Throws IOError.
FileDescriptor OpenForReading(const QString& path);

// Opens a file for writing, creating it (mode 0666 less the umask) when missing. An
// existing file keeps its contents, so the caller can check what it opened before
// truncating. Opening does not wait for a reader when the path names a pipe (it fails).
// Throws IOError.
FileDescriptor OpenForWriting(const QString& path);

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

// Whether an open descriptor is on a regular file.
bool IsRegularFile(const FileDescriptor& file);

// Whether two descriptors are open on the same file (device and inode equal).
bool IsSameFile(const FileDescriptor& a, const FileDescriptor& b);

// Size of an open file in bytes, or -1 with errno set.
qint64 SizeOf(const FileDescriptor& file);

// Adds the owner's write permission, the counterpart of clearing "read-only". Returns false
// when the permissions cannot be read or changed.
bool AddOwnerWritePermission(const QString& path);

// Discards a file's contents.
void Truncate(const FileDescriptor& file, const QString& path);

// Copies everything from the current offset of `source` to its end into `target` at the
// target's offset: through the kernel (copy_file_range, which lets file systems share or
// copy extents without a trip through user space) where it is offered, else by
// CopyContentsByBuffer. A failure the kernel cannot pin on one side raises an error naming
// `targetPath` (where a full disk or a size limit shows) with the source in its message.
void CopyContents(const FileDescriptor& source, const FileDescriptor& target,
    const QString& sourcePath, const QString& targetPath);

// The kernel copy alone. Returns false, having copied nothing, when the kernel offers no
// copy between these two files (different file system types, an old kernel); then the
// caller copies through a buffer instead.
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

// Deletes a file (not a folder). Returns false when it cannot.
bool RemoveFile(const QString& path);

// Creates a new file (`mode` less the umask), open for writing, or for reading and writing;
// fails with EEXIST, never opening what is there (not even through a link), when anything
// exists at the path. Throws IOError.
FileDescriptor CreateNewFile(const QString& path, unsigned mode = 0666, bool readable = false);

// Opens an existing regular file for reading, or for reading and writing, without waiting
// (a pipe that carries an mp3 name must not block). Returns a closed descriptor when nothing,
// or something other than a regular file, is at the path; throws IOError when a file is
// there but cannot be opened.
FileDescriptor OpenRegularFile(const QString& path, bool writable);

// Size of an open file; throws IOError naming `path`.
qint64 FileSize(const FileDescriptor& file, const QString& path);
// Reads up to `count` bytes at `offset` (fewer only at the end of the file); throws IOError.
qint64 ReadAt(
    const FileDescriptor& file, qint64 offset, void* buffer, qint64 count, const QString& path);
// Writes all `count` bytes at `offset`; throws IOError.
void WriteAt(const FileDescriptor& file, qint64 offset, const void* buffer, qint64 count,
    const QString& path);
// Cuts or extends a file to `size` bytes; throws IOError.
void SetFileSize(const FileDescriptor& file, qint64 size, const QString& path);
// Gives `target` the permission bits of `source`, and its owner and group where allowed
// (the group for its owner, the owner too for root); throws IOError when the permissions
// cannot be set.
void CopyModeAndOwner(
    const FileDescriptor& source, const FileDescriptor& target, const QString& targetPath);
// Gives `target` the access and modification times of `source` (after the last write to
// it, which would set them anew); throws IOError.
void CopyTimes(
    const FileDescriptor& source, const FileDescriptor& target, const QString& targetPath);
// Renames `from` to `to`, replacing what is at `to`; throws IOError.
void RenameReplacing(const QString& from, const QString& to);

// Renames `from` to `to` unless something exists at `to`: then false with errno EEXIST and
// nothing changed. Other failures: false with errno set.
bool RenameNoReplace(const QString& from, const QString& to);

// Creates one folder (its parent must exist). Throws IOError, EEXIST included.
void CreateFolder(const QString& path);

// Whether two open files have the same bytes from their current offsets to their ends.
// False when either cannot be read.
bool SameBytes(const FileDescriptor& a, const FileDescriptor& b);

// The names of the entries of a folder (not "." and ".."), as decoded file names; empty when
// the folder cannot be read.
QStringList EntryNames(const QString& folder);

// The contents of a small regular file, read without waiting: nothing when no file is at
// the path. Anything else there (a pipe, which would block, a device, which may never end,
// a folder) and a file larger than `maxBytes` raise IOError, as a file that cannot be read
// does.
std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 maxBytes);

// Creates a folder and the folders above it that are missing. Throws IOError.
void CreateFolders(const QString& path);

// Whether a process with this id exists.
bool ProcessExists(qint64 pid);

// Takes an advisory lock (flock) on the file at `path`, which is created (private) when
// missing: shared or exclusive, without waiting. Returns the descriptor that holds the lock
// until it is closed; a closed one, with errno set, when another holds a lock that excludes
// this one (EWOULDBLOCK) or the file cannot be opened.
FileDescriptor TryLockFile(const QString& path, bool exclusive);

} // namespace plumtide
