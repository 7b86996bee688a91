#include "platform/locks.h"

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

bool IsLockedElsewhere(const FileDescriptor& file)
{
    if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0)
        ::flock(file.get(), LOCK_UN);
    else if (errno == EWOULDBLOCK)
        return true;

    struct flock lock {
    };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(file.get(), F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

TLockedFile TryLockFile(const QString& path, bool exclusive)
{
    TLockedFile locked;
    locked.file = FileDescriptor(
        ::open(EncodePath(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!locked.file.isOpen()) {
        locked.error = errno;
        return locked;
    }
    if (::flock(locked.file.get(), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        locked.error = errno;
        locked.file.close();
    }
    return locked;
}

bool ProcessExists(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace plumtide
