#pragma once

#include <QString>
#include <QStringList>

namespace plumtide
{

// The system's table of file systems to mount.
inline constexpr const char* kFileSystemTable = "/etc/fstab";

// Whether `folder` is the bare mount point of a disk that is not mounted: named as a mount
// point in `fstab`, on the same device as its parent (nothing is mounted on it), and empty.
// Whatever is put there is hidden once the disk is mounted over it. False when the folder
// or the table cannot be read.
bool IsBareMountPoint(
    const QString& folder, const QString& fstab = QLatin1String(kFileSystemTable));

// The mount points the table at `fstab` names (its second fields, with the table's octal
// escapes such as "\040" for a space undone). Empty when it cannot be read.
QStringList MountPointsOf(const QString& fstab);

} // namespace plumtide
