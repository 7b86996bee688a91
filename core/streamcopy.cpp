#include "core/streamcopy.h"

#include "core/fileutils.h"
#include "platform/atomicfile.h"
#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/filecopy.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

namespace plumtide
{

namespace
{

// Removes the target it guards unless the copy was committed.
class PartialTarget
{
public:
    explicit PartialTarget(QString path)
        : m_path(std::move(path))
    {
    }
    ~PartialTarget()
    {
        if (!m_committed)
            RemoveFile(m_path);
    }
    PartialTarget(const PartialTarget&) = delete;
    PartialTarget& operator=(const PartialTarget&) = delete;

    void commit() { m_committed = true; }

private:
    QString m_path;
    bool m_committed = false;
};

} // namespace

qint32 FileSizeOf(const QString& path) noexcept
{
    try {
        if (!FileExists(path) || IsFileInUse(path))
            return 0;
        // A failure here leaves the permissions as they were; the size is still wanted.
        AddOwnerWritePermission(path);
        const FileDescriptor file = OpenForReading(path);
        const qint64 size = FileSize(file, path);
        return static_cast<qint32>(std::min<qint64>(size, std::numeric_limits<qint32>::max()));
    } catch (...) {
        return 0;
    }
}

bool CopyFileByStream(const QString& source, const QString& target)
{
    if (source.size() > MaxCopyPathLength || target.size() > MaxCopyPathLength)
        return false;
    if (!FileExists(source))
        return false;
    if (target.isEmpty() || IsFileInUse(source))
        return false;

    const FileDescriptor in = OpenForReading(source);
    FileDescriptor out = OpenForWriting(target);
    // The target is opened without truncating so that the source itself, under another
    // name, is recognised before anything of it is discarded.
    if (IsSameFile(in, out))
        return false;
    if (!IsRegularFile(out))
        throw IOError(QStringLiteral("Not a regular file:"), target, EINVAL);
    Truncate(out, target);
    PartialTarget partial(target);
    CopyContents(in, out, source, target);
    SyncFile(out, target);
    if (const int error = out.close())
        throw IOError(QStringLiteral("Cannot write"), target, error);
    if (const int error = SyncFolder(FolderOf(target)))
        throw IOError(QStringLiteral("Cannot finish saving"), target, error);
    partial.commit();
    return true;
}

} // namespace plumtide
