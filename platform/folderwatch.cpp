#include "platform/folderwatch.h"
#include "platform/nanoseconds.h"

#include "platform/paths.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace plumtide
{

namespace
{

// What a watched folder reports: entries arriving and leaving, files finished or touched
// (a file being written is looked at when it settles, so every single write need not wake
// anyone), every open and close of its files (whoever makes them: where no lease can be
// taken, as on another user's file, they are what tells that a writer still holds it), and
// the folder's own end.
constexpr uint32_t kWatchMask = IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE
    | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_OPEN | IN_CLOSE_NOWRITE | IN_ONLYDIR;

// Older kernels refuse IN_MASK_CREATE; they then hand back the existing watch instead.
bool g_maskCreate = true;

} // namespace

std::optional<TFileSample> SampleFile(const QString& path)
{
    struct stat st {
    };
    if (::lstat(EncodePath(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return TFileSample { static_cast<qint64>(st.st_size), NanosecondsOf(st.st_mtim) };
}

std::optional<FolderId> FolderIdOf(const QString& path)
{
    struct stat st {
    };
    if (::stat(EncodePath(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return FolderId { static_cast<std::uint64_t>(st.st_dev),
        static_cast<std::uint64_t>(st.st_ino) };
}

std::optional<QString> RemoteFileSystemType(const QString& folder)
{
    // statfs(2) f_type values (linux/magic.h and the file systems' own headers).
    static constexpr struct {
        unsigned long magic;
        const char* name;
    } kRemote[] = {
        { 0x6969, "nfs" },
        { 0x517B, "smb" },
        { 0xFF534D42, "cifs" },
        { 0xFE534D42, "smb2" },
        { 0x65735546, "fuse" },
        { 0x01021997, "9p" },
        { 0x00C36400, "ceph" },
        { 0x5346414F, "afs" },
        { 0x73757245, "coda" },
    };
    struct statfs st {
    };
    if (::statfs(EncodePath(folder).constData(), &st) != 0)
        return std::nullopt;
    // f_type is signed on some architectures: compare its 32 bits.
    const auto type = static_cast<unsigned long>(static_cast<std::uint32_t>(st.f_type));
    for (const auto& remote : kRemote) {
        if (remote.magic == type)
            return QString::fromLatin1(remote.name);
    }
    return std::nullopt;
}

TFolderWatch::TFolderWatch()
    : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    , m_error(m_fd < 0 ? errno : 0)
{
}

TFolderWatch::~TFolderWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int TFolderWatch::add(const QString& folder, bool followLink)
{
    if (m_fd < 0) {
        errno = EBADF;
        return -1;
    }
    const QByteArray path = EncodePath(folder);
    const uint32_t mask = kWatchMask | (followLink ? 0 : IN_DONT_FOLLOW);
    if (g_maskCreate) {
        const int watch = ::inotify_add_watch(m_fd, path.constData(), mask | IN_MASK_CREATE);
        if (watch >= 0 || errno != EINVAL)
            return watch;
        g_maskCreate = false;
    }
    return ::inotify_add_watch(m_fd, path.constData(), mask);
}

void TFolderWatch::remove(int watch)
{
    if (m_fd >= 0 && watch >= 0)
        ::inotify_rm_watch(m_fd, watch);
}

std::vector<TFolderEvent> TFolderWatch::read()
{
    std::vector<TFolderEvent> events;
    if (m_fd < 0)
        return events;
    // One buffer a call: a storm of events is taken in portions, the event loop in between.
    alignas(struct inotify_event) char buffer[16384];
    ssize_t count = -1;
    do
        count = ::read(m_fd, buffer, sizeof buffer);
    while (count < 0 && errno == EINTR);
    for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= count;) {
        inotify_event raw;
        std::memcpy(&raw, buffer + offset, sizeof raw);
        const char* name = buffer + offset + sizeof(inotify_event);
        offset += ssize_t(sizeof(inotify_event) + raw.len);
        TFolderEvent event;
        event.watch = raw.wd;
        event.isFolder = (raw.mask & IN_ISDIR) != 0;
        if (raw.len > 0)
            event.name = QByteArray(name, qsizetype(qstrnlen(name, raw.len)));
        if (raw.mask & IN_Q_OVERFLOW)
            event.kind |= TFolderEvent::Overflow;
        if (raw.mask & (IN_CREATE | IN_MOVED_TO))
            event.kind |= TFolderEvent::Arrived;
        if (raw.mask & IN_CREATE)
            event.kind |= TFolderEvent::Created;
        if (raw.mask & IN_OPEN)
            event.kind |= TFolderEvent::Opened;
        if (raw.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE))
            event.kind |= TFolderEvent::Closed;
        if (raw.mask & (IN_CLOSE_WRITE | IN_ATTRIB))
            event.kind |= TFolderEvent::Written;
        if (raw.mask & (IN_DELETE | IN_MOVED_FROM))
            event.kind |= TFolderEvent::Left;
        // The watch ends with IN_IGNORED after any of these; it is over from the first.
        if (raw.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED))
            event.kind |= TFolderEvent::FolderGone;
        if (event.kind != 0)
            events.push_back(std::move(event));
    }
    return events;
}

} // namespace plumtide
