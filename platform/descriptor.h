#pragma once

// Open files: descriptors that close themselves, opening, reading and writing by offset.
// Functions that fail throw IOError carrying the path and the system's error number.

#include "platform/filestatus.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace plumtide
{

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
    // Closes now; returns 0 or the system's error number (some file systems report write
    // errors only here).
    int close();
    // Gives up ownership: the caller closes the descriptor.
    int release() noexcept { return std::exchange(m_fd, -1); }

private:
    int m_fd = -1;
};

// How many descriptors this process may hold open at once (its soft limit).
qint64 OpenFileLimit();

// Opens a file for reading without waiting: when another process holds a lease on it the
// open fails with EWOULDBLOCK at once instead of stalling until the lease is broken.
// Throws IOError.
FileDescriptor OpenForReading(const QString& path);

// Opens a file for writing, creating it (mode 0666 less the umask) when missing. An
// existing file keeps its contents, so the caller can check what it opened before
// truncating. Opening does not wait for a reader when the path names a pipe (it fails).
// Throws IOError.
FileDescriptor OpenForWriting(const QString& path);

// Whether an open descriptor is on a regular file.
bool IsRegularFile(const FileDescriptor& file);

// Whether two descriptors are open on the same file (device and inode equal).
bool IsSameFile(const FileDescriptor& a, const FileDescriptor& b);

// Discards a file's contents.
void Truncate(const FileDescriptor& file, const QString& path);

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

// The contents of a small regular file, read without waiting: nothing when no file is at
// the path. Anything else there (a pipe, which would block, a device, which may never end,
// a folder) and a file larger than `maxBytes` raise IOError, as a file that cannot be read
// does.
std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 maxBytes);

} // namespace plumtide
