#include "platform/filestatus.h"

#include "platform/errors.h"
#include "platform/folderreader.h"
#include "platform/nanoseconds.h"
#include "platform/paths.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace plumtide
{

PathKind KindOfPath(const QString& path)
{
    struct stat st {
    };
    if (path.isEmpty() || ::stat(EncodePath(path).constData(), &st) != 0)
        return PathKind::Missing;
    if (S_ISREG(st.st_mode))
        return PathKind::File;
    if (S_ISDIR(st.st_mode))
        return PathKind::Folder;
    return PathKind::Other;
}

TFileStatus StatusFromStat(const struct stat& st)
{
    TFileStatus status;
    status.kind = S_ISREG(st.st_mode) ? PathKind::File
        : S_ISDIR(st.st_mode)         ? PathKind::Folder
                                      : PathKind::Other;
    status.size = static_cast<qint64>(st.st_size);
    status.device = static_cast<quint64>(st.st_dev);
    status.inode = static_cast<quint64>(st.st_ino);
    status.modified = NanosecondsOf(st.st_mtim);
    status.changed = NanosecondsOf(st.st_ctim);
    status.owner = static_cast<quint32>(st.st_uid);
    return status;
}

TFileStatus StatusOf(const QString& path)
{
    struct stat st {
    };
    if (path.isEmpty() || ::stat(EncodePath(path).constData(), &st) != 0)
        return TFileStatus();
    return StatusFromStat(st);
}

} // namespace plumtide
