#include "platform/lease.h"
#include "platform/nanoseconds.h"

#include "platform/errors.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace plumtide
{

namespace
{

// Descriptors whose lease broke. Only descriptors below this number take leases; a process
// that holds more open files falls back to the lock test.
constexpr int kTrackedDescriptors = 4096;
std::atomic<bool> g_broken[kTrackedDescriptors];

int leaseSignal()
{
    // A real-time signal of its own, so that a break names the descriptor (si_fd) and nothing
    // else in the process (Qt included) is disturbed.
    return SIGRTMIN + 4;
}

extern "C" void onLeaseBroken(int, siginfo_t* info, void*)
{
    const int saved = errno;
    const int fd = info ? info->si_fd : -1;
    if (fd >= 0 && fd < kTrackedDescriptors) {
        // The other program waits until the lease is gone: give it up now.
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        g_broken[fd].store(true);
    }
    errno = saved;
}

} // namespace

void PrepareProcessForSharedFiles()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {
        };
        action.sa_sigaction = onLeaseBroken;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(leaseSignal(), &action, nullptr);
        // The default lease-break signal, should a lease ever be taken without ours.
        struct sigaction ignore {
        };
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGIO, &ignore, nullptr);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    });
}

bool MayLeaseFileOf(quint32 owner)
{
    const uid_t self = ::geteuid();
    return self == 0 || self == owner;
}

TWatchedFile TWatchedFile::Open(const QString& path)
{
    return open(AT_FDCWD, EncodePath(path), path);
}

TWatchedFile TWatchedFile::Open(const TOpenFolder& folder, const QString& name)
{
    return open(folder.descriptor(), EncodePath(name), JoinPath(folder.path(), name));
}

TWatchedFile TWatchedFile::open(int folder, const QByteArray& name, const QString& path)
{
    PrepareProcessForSharedFiles();
    TWatchedFile result;
    result.m_path = path;
    result.m_folder = folder;
    result.m_name = name;
    result.m_file = FileDescriptor(::openat(
        folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!result.m_file.isOpen())
        throw IOError(QStringLiteral("Cannot open"), path, errno);
    struct stat st {
    };
    if (::fstat(result.m_file.get(), &st) != 0)
        throw IOError(QStringLiteral("Cannot read the properties of"), path, errno);
    result.m_regular = S_ISREG(st.st_mode);
    result.m_status = StatusFromStat(st);
    result.m_modified = NanosecondsOf(st.st_mtim);
    result.m_changed = NanosecondsOf(st.st_ctim);
    if (!result.m_regular)
        return result;

    const int fd = result.m_file.get();
    if (fd < kTrackedDescriptors) {
        g_broken[fd].store(false);
        if (::fcntl(fd, F_SETSIG, leaseSignal()) == 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
            result.m_leased = true;
            return result;
        }
        if (errno == EAGAIN || errno == EBUSY) {
            result.m_inUseAtOpen = true;
            return result;
        }
    }
    result.m_inUseAtOpen = IsLockedElsewhere(result.m_file);
    return result;
}

TWatchedFile::TWatchedFile(TWatchedFile&& other) noexcept
    : m_file(std::move(other.m_file))
    , m_path(std::move(other.m_path))
    , m_folder(other.m_folder)
    , m_name(std::move(other.m_name))
    , m_status(other.m_status)
    , m_regular(other.m_regular)
    , m_leased(std::exchange(other.m_leased, false))
    , m_inUseAtOpen(other.m_inUseAtOpen)
    , m_modified(other.m_modified)
    , m_changed(other.m_changed)
{
}

TWatchedFile& TWatchedFile::operator=(TWatchedFile&& other) noexcept
{
    if (this != &other) {
        // The file this held is closed, which ends its lease.
        m_file = std::move(other.m_file);
        m_path = std::move(other.m_path);
        m_folder = other.m_folder;
        m_name = std::move(other.m_name);
        m_status = other.m_status;
        m_regular = other.m_regular;
        m_leased = std::exchange(other.m_leased, false);
        m_inUseAtOpen = other.m_inUseAtOpen;
        m_modified = other.m_modified;
        m_changed = other.m_changed;
    }
    return *this;
}

// Closing the file ends its lease.
TWatchedFile::~TWatchedFile() = default;

bool TWatchedFile::inUse() const
{
    if (m_inUseAtOpen)
        return true;
    // A break still under way counts as well: its program is between finding the file and
    // opening it.
    return m_leased
        && (g_broken[m_file.get()].load() || ::fcntl(m_file.get(), F_GETLEASE) != F_WRLCK);
}

bool TWatchedFile::asOpened() const
{
    if (!m_file.isOpen() || inUse())
        return false;
    struct stat st {
    };
    return ::fstat(m_file.get(), &st) == 0 && static_cast<qint64>(st.st_size) == m_status.size
        && NanosecondsOf(st.st_mtim) == m_modified && NanosecondsOf(st.st_ctim) == m_changed;
}

bool TWatchedFile::unchanged() const
{
    // The name, not what a link there might lead to: it is the name that gets renamed or
    // deleted. Naming this very file, it tells its size and times as well.
    struct stat named {
    };
    if (!m_file.isOpen()
        || ::fstatat(m_folder, m_name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0
        || static_cast<quint64>(named.st_dev) != m_status.device
        || static_cast<quint64>(named.st_ino) != m_status.inode
        || static_cast<qint64>(named.st_size) != m_status.size
        || NanosecondsOf(named.st_mtim) != m_modified || NanosecondsOf(named.st_ctim) != m_changed)
        return false;
    return !inUse();
}

bool TWatchedFile::renamed()
{
    struct stat st {
    };
    if (::fstat(m_file.get(), &st) != 0 || static_cast<qint64>(st.st_size) != m_status.size
        || NanosecondsOf(st.st_mtim) != m_modified)
        return false;
    m_changed = NanosecondsOf(st.st_ctim);
    return true;
}

bool TWatchedFile::renamedTo(const QString& name)
{
    m_name = EncodePath(name);
    m_path = m_folder == AT_FDCWD ? name : JoinPath(FolderOf(m_path), name);
    return renamed() && unchanged();
}

bool IsOpenElsewhere(const FileDescriptor& file)
{
    PrepareProcessForSharedFiles();
    const int fd = file.get();
    // With our signal set first, an open by another program in the instant the lease is held
    // breaks it harmlessly instead of ending this process.
    if (::fcntl(fd, F_SETSIG, leaseSignal()) == 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    if (errno == EAGAIN || errno == EBUSY)
        return true;
    return IsLockedElsewhere(file);
}

TUnusedFile OpenUnusedFile(const QString& path)
{
    PrepareProcessForSharedFiles();
    TUnusedFile opened;
    opened.file = FileDescriptor(
        ::open(EncodePath(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!opened.file.isOpen()) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return opened;
        // A lease held elsewhere refuses a non-blocking open: that file is in use.
        opened.result = error == EWOULDBLOCK ? TOpenResult::InUse : TOpenResult::Unreadable;
        opened.error = error;
        return opened;
    }
    struct stat st {
    };
    if (::fstat(opened.file.get(), &st) != 0) {
        opened.error = errno;
        opened.result = TOpenResult::Unreadable;
        return opened;
    }
    if (!S_ISREG(st.st_mode)) {
        opened.file = FileDescriptor();
        opened.result = TOpenResult::NotRegular;
        return opened;
    }
    opened.status = StatusFromStat(st);
    // The lease lasts only until the caller closes the file, microseconds later: a program
    // that opens the file meanwhile waits that long (its break signal, SIGIO, is ignored),
    // which costs less than naming a signal of our own for every file of a refresh.
    if (::fcntl(opened.file.get(), F_SETLEASE, F_WRLCK) == 0) {
        opened.result = TOpenResult::Opened;
        return opened;
    }
    const int error = errno;
    opened.result = error == EAGAIN || error == EBUSY || IsLockedElsewhere(opened.file)
        ? TOpenResult::InUse
        : TOpenResult::Opened;
    return opened;
}

} // namespace plumtide
