#pragma once

// What a path names, and what one stat() of it tells.

#include <QString>
#include <QtGlobal>

namespace plumtide
{

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
    quint32 owner = 0; // the owner's user id

    // Whether both name the same existing file or folder, however the paths were spelt.
    bool sameAs(const TFileStatus& other) const
    {
        return kind != PathKind::Missing && other.kind != PathKind::Missing
            && device == other.device && inode == other.inode;
    }
};
TFileStatus StatusOf(const QString& path);

} // namespace plumtide
