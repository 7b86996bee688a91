#pragma once

#include "platform/folderreader.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace plumtide
{

// A regular file as one look at it (lstat) finds it; a symbolic link is no file here.
struct TFileSample {
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds since the epoch

    friend bool operator==(const TFileSample&, const TFileSample&) = default;
};
std::optional<TFileSample> SampleFile(const QString& path);

// The identity of the folder at `path` (links followed), or nothing when no folder is there.
std::optional<FolderId> FolderIdOf(const QString& path);

// The name of the file system type holding `folder` ("nfs", "cifs", "fuse", ...) when the
// kernel's change notices there tell only of changes made on this machine: network file
// systems, and FUSE ones (sshfs, bindfs), whose files change behind the kernel's back. A
// watch must read such folders again instead. Nothing for other file systems, or when the
// type cannot be told.
std::optional<QString> RemoteFileSystemType(const QString& folder);

// What the kernel tells about one watched folder.
struct TFolderEvent {
    enum Kind : unsigned {
        Arrived = 1, // an entry was created in the folder or moved into it
        Written = 2, // a file was closed after writing, or its times or permissions changed
        Left = 4, // an entry was deleted or moved out
        FolderGone = 8, // the watched folder itself was deleted, moved or unmounted
        Overflow = 16, // events were lost: everything must be looked at again
        Created = 32, // the entry was created in the folder (not moved in)
        Opened = 64, // a file was opened, by any process
        Closed = 128, // a file was closed, by any process, after writing or not
    };
    int watch = -1; // -1 with Overflow
    unsigned kind = 0;
    bool isFolder = false; // the entry is a folder
    QByteArray name; // the entry's name as on disk; empty for FolderGone and Overflow
};

// The kernel's change notices for folders (inotify): one instance, any number of folders,
// each watched on its own (not its sub-folders).
class TFolderWatch
{
public:
    // Check valid(): a system out of notice instances gives none, with errno in error().
    TFolderWatch();
    ~TFolderWatch();
    TFolderWatch(const TFolderWatch&) = delete;
    TFolderWatch& operator=(const TFolderWatch&) = delete;

    bool valid() const { return m_fd >= 0; }
    int error() const { return m_error; }
    // Readable while events wait, for the event loop.
    int descriptor() const { return m_fd; }

    // Starts watching `folder`; a symbolic link there is followed only when `followLink`.
    // Returns the watch, or -1 with errno: ENOSPC when the system's limit of watches is
    // reached, ENOENT or ENOTDIR when no folder is there, EEXIST when this instance watches
    // that folder already (reached by another path).
    int add(const QString& folder, bool followLink);
    void remove(int watch);

    // The events waiting now; never blocks.
    std::vector<TFolderEvent> read();

private:
    int m_fd = -1;
    int m_error = 0;
};

} // namespace plumtide
