#pragma once

#include "platform/descriptor.h"
#include "platform/filestatus.h"
#include "platform/locks.h"

#include <QString>
#include <QtGlobal>

namespace plumtide
{

class TOpenFolder;

// Sets the process up for working on files that other programs use at the same time:
// - a lease that another program breaks by opening the file is released at once, in a
//   signal handler, instead of the kernel's default lease-break signal ending the process;
// - a write beyond a file-size limit (ulimit -f) fails with EFBIG instead of the kernel
//   ending the process with SIGXFSZ.
// Both programs call it at start; the first lease taken calls it too. Safe to call again.
void PrepareProcessForSharedFiles();

// Whether this process can take a lease on a file of `owner` (its own, or any as root):
// where it cannot, another program's open of the file shows only through the watch's
// open counts or the file's times.
bool MayLeaseFileOf(quint32 owner);

// A file opened to be moved or deleted, with what tells whether anyone else uses it.
//
// At open it takes a write lease, which the kernel grants only while no other descriptor is
// open on the file, in any process. While the lease is held, another program that opens the
// file breaks it: the lease is given up at once (that program's open goes on without
// waiting for Plumtide) and the file counts as in use from then on. Where leases are not
// available (network and FUSE file systems, a file of another owner), another process's
// lock on the file is all that can be seen at open, and a change of the file's size or times
// afterwards.
class TWatchedFile
{
public:
    // Opens `path` for reading, never through a symbolic link at its last component (that
    // fails with ELOOP). Throws IOError when it cannot be opened; a missing file gives ENOENT.
    static TWatchedFile Open(const QString& path);
    // Opens the file `name` in `folder` likewise. The folder must stay open as long as this
    // does: unchanged() looks the name up there.
    static TWatchedFile Open(const TOpenFolder& folder, const QString& name);

    TWatchedFile() = default;
    TWatchedFile(TWatchedFile&& other) noexcept;
    TWatchedFile& operator=(TWatchedFile&& other) noexcept;
    ~TWatchedFile();

    const FileDescriptor& descriptor() const { return m_file; }
    const QString& path() const { return m_path; }
    // The file as it was at open (size, identity).
    const TFileStatus& status() const { return m_status; }
    bool isRegular() const { return m_regular; }

    // Whether another process had the file open or locked at open, or opened it since (or
    // is opening it now).
    bool inUse() const;
    // Whether the file is still what it was at open: nobody opened it since (where that can
    // be seen), and its size and its modification and change times are the same.
    bool asOpened() const;
    // asOpened(), and its name still names it.
    bool unchanged() const;
    // After Plumtide renamed the file itself (which sets its change time): takes the new
    // change time as the one to compare with, provided size and modification time are
    // still those of the open. False when they are not.
    bool renamed();
    // After Plumtide renamed the file to `name` (a path, or a name in the folder it was opened
    // in, as it was opened): renamed(), and that name leads to this very file, unchanged() as
    // it is; unchanged() looks at that name from then on.
    bool renamedTo(const QString& name);

private:
    static TWatchedFile open(int folder, const QByteArray& name, const QString& path);

    FileDescriptor m_file;
    QString m_path;
    int m_folder = -1; // where m_name is looked up: a folder's descriptor, or AT_FDCWD
    QByteArray m_name;
    TFileStatus m_status;
    bool m_regular = false;
    bool m_leased = false;
    bool m_inUseAtOpen = false;
    qint64 m_modified = 0; // nanoseconds
    qint64 m_changed = 0;
};

// What OpenUnusedFile found.
enum class TOpenResult {
    Opened, // a regular file nobody else has open or locked; `file` holds it
    Missing, // nothing at the path (or a folder above it is not one)
    NotRegular, // a folder, pipe, device or socket: nothing read from it
    InUse, // another process has it open or locked
    Unreadable, // it cannot be opened or examined; `error` says why
};

struct TUnusedFile {
    TOpenResult result = TOpenResult::Missing;
    FileDescriptor file;
    TFileStatus status; // as the open found it (Opened)
    int error = 0; // Unreadable: the system's error number
};

// Opens a file to read it only when nobody else uses it, at the cost of one open and one
// fstat beside the lease test on that very descriptor (see IsOpenElsewhere): the write lease
// stays until the file is closed, so the caller reads it at once and closes it.
TUnusedFile OpenUnusedFile(const QString& path);

} // namespace plumtide
