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
#include <ctime>
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

namespace
{

TLockedFile lockFile(const QString& path, bool exclusive, bool wait)
{
    TLockedFile locked;
    locked.file = FileDescriptor(
        ::open(EncodePath(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!locked.file.isOpen()) {
        locked.error = errno;
        return locked;
    }
    const int how = (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
    int result = 0;
    do
        result = ::flock(locked.file.get(), how);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        locked.error = errno;
        locked.file.close();
    }
    return locked;
}

} // namespace

TLockedFile TryLockFile(const QString& path, bool exclusive)
{
    return lockFile(path, exclusive, false);
}

TLockedFile LockFile(const QString& path, bool exclusive)
{
    return lockFile(path, exclusive, true);
}

namespace
{

struct flock byteLock(short type, qint64 offset)
{
    struct flock lock {
    };
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    return lock;
}

} // namespace

bool TryLockByte(const FileDescriptor& file, qint64 offset, bool exclusive)
{
    struct flock lock = byteLock(exclusive ? F_WRLCK : F_RDLCK, offset);
    return ::fcntl(file.get(), F_OFD_SETLK, &lock) == 0;
}

void UnlockByte(const FileDescriptor& file, qint64 offset)
{
    struct flock lock = byteLock(F_UNLCK, offset);
    ::fcntl(file.get(), F_OFD_SETLK, &lock);
}

bool ByteLockedElsewhere(const FileDescriptor& file, qint64 offset)
{
    struct flock lock = byteLock(F_WRLCK, offset);
    return ::fcntl(file.get(), F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

bool ProcessExists(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace plumtide
