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

bool TryLockByte(const FileDescriptor& file, qint64 offset)
{
    struct flock lock = byteLock(F_WRLCK, offset);
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

namespace
{

// When the process started, in nanoseconds since the epoch; -1 when it does not exist, 0
// when its start cannot be read. /proc/<pid>/stat gives it in clock ticks since the boot
// (field 22, after the program name in parentheses, which may itself hold any character).
qint64 processStart(qint64 pid)
{
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/stat";
    const FileDescriptor file(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (!file.isOpen())
        return errno == ENOENT ? -1 : 0;
    char buffer[1024];
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer - 1);
    if (got <= 0)
        return 0;
    const QByteArray stat(buffer, got);
    const qsizetype name = stat.lastIndexOf(')');
    const QList<QByteArray> fields = stat.mid(name + 2).split(' ');
    // Fields from the third on: the start is the 22nd.
    bool ok = false;
    const qint64 ticks = fields.size() > 19 ? fields[19].toLongLong(&ok) : 0;
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    struct timespec now {
    }, sinceBoot {};
    if (name < 0 || !ok || perSecond <= 0 || ::clock_gettime(CLOCK_REALTIME, &now) != 0
        || ::clock_gettime(CLOCK_BOOTTIME, &sinceBoot) != 0)
        return 0;
    const qint64 boot = NanosecondsOf(now) - NanosecondsOf(sinceBoot);
    return boot + ticks * (qint64(1000000000) / perSecond);
}

} // namespace

bool ProcessRanAt(qint64 pid, qint64 moment)
{
    if (pid <= 0)
        return false;
    const qint64 start = processStart(pid);
    if (start < 0)
        return false;
    if (start == 0)
        return ProcessExists(pid);
    // The start is known to a clock tick, the boot to the clock's adjustments since: a second
    // of doubt counts for the process.
    constexpr qint64 kDoubt = 1000000000;
    return start - kDoubt <= moment;
}

} // namespace plumtide
