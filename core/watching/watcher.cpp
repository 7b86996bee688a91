#include "core/watching/watcher.h"

#include "core/moving/companions.h"

#include "core/moving/fileutils.h"
#include "platform/folderwatch.h"
#include "platform/mounts.h"
#include "platform/paths.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>

namespace plumtide
{

namespace
{

// Events come in flurries (a copy creates, writes, closes); one look after the flurry.
constexpr qint64 kEventDelayMs = 200;
// While the folder is missing, how often to look for it.
constexpr qint64 kMissingCheckMs = 1000;
// How often to make sure the folder watched is still the one at the path (a disk mounted
// over it, or the folder replaced, sends no notice).
constexpr qint64 kRootCheckMs = 5000;
// How long a settled file may wait for files still arriving, so that they share a run.
constexpr qint64 kBatchWaitMs = 2000;

// The entry's path, or nothing when its name has no text that leads back to it.
std::optional<QString> entryPath(const QString& folder, const QByteArray& name)
{
    const QString text = QFile::decodeName(name);
    if (QFile::encodeName(text) != name)
        return std::nullopt;
    return JoinPath(folder, text);
}

} // namespace

TSourceWatcher::TSourceWatcher(TWatchSettings settings, Callbacks callbacks)
    : m_settings(std::move(settings))
    , m_callbacks(std::move(callbacks))
    , m_tracker(m_settings.settleMs)
    , m_timer(std::make_unique<QTimer>())
{
    m_timer->setSingleShot(true);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] { check(); });
}

TSourceWatcher::~TSourceWatcher() = default;

void TSourceWatcher::start()
{
    m_clock.start();
    m_polling = m_settings.poll;
    m_nextRetry = m_settings.retryMs;
    beginWatching();
    if (!m_root)
        tell(QStringLiteral("source folder '%1' is missing; waiting for it").arg(folder()));
    check();
}

void TSourceWatcher::tell(const QString& message) const
{
    if (m_callbacks.notice)
        m_callbacks.notice(message);
}

void TSourceWatcher::beginWatching()
{
    m_root = FolderIdOf(folder());
    if (!m_root)
        return;
    if (!m_polling) {
        m_watch = std::make_unique<TFolderWatch>();
        if (!m_watch->valid()) {
            toPolling(QStringLiteral("the system gives no change notices (%1)")
                          .arg(QString::fromLocal8Bit(std::strerror(m_watch->error()))));
        } else {
            m_notifier
                = std::make_unique<QSocketNotifier>(m_watch->descriptor(), QSocketNotifier::Read);
            QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                [this] { readEvents(); });
        }
    }
    m_nextPoll = now() + m_settings.pollMs;
    m_nextRootCheck = now() + kRootCheckMs;
    m_toWalk.append(folder());
}

void TSourceWatcher::stopNotices()
{
    // The notifier may be the one whose signal is being handled: it goes once that is over,
    // and is told to stop before its descriptor is closed.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    m_watch.reset(); // closing the instance ends every watch
    m_folders.clear();
    m_watches.clear();
}

void TSourceWatcher::endWatching()
{
    stopNotices();
    m_toLook.clear();
    m_toWalk.clear();
    m_tracker.forgetBelow(folder());
    m_open.forgetAll();
    m_root.reset();
}

void TSourceWatcher::toPolling(const QString& why)
{
    if (m_polling)
        return;
    m_polling = true;
    stopNotices();
    m_nextPoll = now() + m_settings.pollMs;
    tell(QStringLiteral("%1; reading the source folder every %2 s instead")
             .arg(why)
             .arg(m_settings.pollMs / 1000.0));
}

void TSourceWatcher::walk(const QString& start)
{
    // A whole reading also tells which known files are gone.
    const bool whole = start == folder();
    QSet<QString> present;
    QSet<FolderId> walked;
    std::deque<QString> queue { start };
    while (!queue.empty()) {
        const QString current = std::move(queue.front());
        queue.pop_front();
        if (!m_polling && m_settings.remoteFileSystem) {
            if (const std::optional<QString> type = m_settings.remoteFileSystem(current))
                toPolling(QStringLiteral("'%1' is on a network or FUSE file system (%2), whose "
                                         "changes made elsewhere send no notices")
                              .arg(current, *type));
        }
        if (!m_polling) {
            const int watch = m_watch->add(current, current == folder());
            if (watch >= 0 && !m_folders.contains(watch)) {
                m_folders.insert(watch, current);
                m_watches.insert(current, watch);
            } else if (watch < 0 && errno == ENOSPC) {
                toPolling(QStringLiteral("the system's limit of folder watches is reached "
                                         "(fs.inotify.max_user_watches)"));
            } else if (watch < 0 && errno != EEXIST) {
                continue; // gone meanwhile, or not readable
            }
        }
        FolderReader reader(EncodePath(current));
        if (!reader.isOpen() || walked.contains(reader.id()))
            continue;
        walked.insert(reader.id());
        FolderEntry entry;
        while (reader.next(entry)) {
            if (entry.link)
                continue; // what a link leads to lies outside the folder
            const std::optional<QString> path = entryPath(current, entry.name);
            if (!path)
                continue;
            if (entry.kind == FolderEntry::Kind::Folder) {
                queue.push_back(*path);
            } else if (entry.kind == FolderEntry::Kind::File && tracked(*path)) {
                look(*path);
                if (whole)
                    present.insert(*path);
            }
        }
    }
    if (whole)
        m_tracker.keepOnly(present);
}

bool TSourceWatcher::tracked(const QString& path) const
{
    return m_settings.formats.namesFile(path) || (m_settings.companions && IsCompanionName(path));
}

void TSourceWatcher::look(const QString& path)
{
    const std::optional<TFileSample> sample = SampleFile(path);
    if (sample)
        m_tracker.seen(path, *sample, now());
    else
        m_tracker.forget(path);
}

void TSourceWatcher::forgetFolder(const QString& gone)
{
    const QString below = gone + QLatin1Char('/');
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (it.key() == gone || it.key().startsWith(below)) {
            m_watch->remove(it.value());
            m_folders.remove(it.value());
            it = m_watches.erase(it);
        } else {
            ++it;
        }
    }
    m_tracker.forgetBelow(gone);
    m_open.forgetBelow(gone);
}

void TSourceWatcher::readEvents()
{
    if (!m_watch)
        return;
    for (const TFolderEvent& event : m_watch->read()) {
        if (event.kind & TFolderEvent::Overflow) {
            // Some notices were lost: read everything again. Who opened or changed what
            // meanwhile is unknown, so no count holds, and every file settles anew.
            if (!m_toWalk.contains(folder()))
                m_toWalk.append(folder());
            m_open.forgetAll();
            m_tracker.restartAll(now());
            continue;
        }
        const auto watched = m_folders.constFind(event.watch);
        if (watched == m_folders.cend())
            continue;
        const QString where = *watched;
        if (event.kind & TFolderEvent::FolderGone) {
            if (where == folder()) {
                endWatching();
                tell(QStringLiteral("source folder '%1' is gone; waiting for it").arg(folder()));
                break;
            }
            forgetFolder(where);
            continue;
        }
        const std::optional<QString> path = entryPath(where, event.name);
        if (event.name.isEmpty() || !path)
            continue;
        if (event.kind & TFolderEvent::Left) {
            if (event.isFolder) {
                forgetFolder(*path);
            } else {
                m_tracker.forget(*path);
                m_open.forget(*path);
            }
        }
        if (!event.isFolder && tracked(*path)) {
            if (event.kind & TFolderEvent::Created)
                m_open.created(*path);
            if (event.kind & TFolderEvent::Opened)
                m_open.opened(*path);
            if (event.kind & TFolderEvent::Closed)
                m_open.closed(*path);
        }
        if (event.kind & TFolderEvent::Arrived && event.isFolder)
            m_toWalk.append(*path);
        else if (event.kind & (TFolderEvent::Arrived | TFolderEvent::Written) && tracked(*path))
            m_toLook.insert(*path);
    }
    schedule(now() + kEventDelayMs);
}

void TSourceWatcher::check()
{
    if (m_checking)
        return;
    m_checking = true;
    const qint64 moment = now();

    if (!m_root) {
        if (FolderIdOf(folder())) {
            tell(QStringLiteral("source folder '%1' is back").arg(folder()));
            beginWatching();
        }
    } else if (moment >= m_nextRootCheck) {
        m_nextRootCheck = moment + kRootCheckMs;
        const std::optional<FolderId> id = FolderIdOf(folder());
        if (id != m_root) {
            endWatching();
            if (id) {
                tell(QStringLiteral("source folder '%1' was replaced; watching it anew")
                         .arg(folder()));
                beginWatching();
            } else {
                tell(QStringLiteral("source folder '%1' is gone; waiting for it").arg(folder()));
            }
        }
    }
    if (m_root && m_polling && moment >= m_nextPoll) {
        m_nextPoll = moment + m_settings.pollMs;
        m_toWalk = { folder() };
    }
    if (m_root) {
        const QStringList folders = std::exchange(m_toWalk, {});
        for (const QString& arrived : folders)
            walk(arrived);
        for (const QString& path : std::exchange(m_toLook, {}))
            look(path);
        if (m_settings.retryMs > 0 && moment >= m_nextRetry) {
            m_nextRetry = moment + m_settings.retryMs;
            m_tracker.unparkAll();
        }
        offerSettled();
    }

    // The next look: when waiting files come due, the next reading, retry or check.
    qint64 next = moment + (m_root ? kRootCheckMs : kMissingCheckMs);
    if (m_root) {
        next = std::min(next, m_nextRootCheck);
        if (const auto times = m_tracker.dueTimes())
            next = std::min(next, std::min(times->last, times->first + kBatchWaitMs));
        if (m_polling)
            next = std::min(next, m_nextPoll);
        if (m_settings.retryMs > 0 && m_tracker.parkedCount() > 0)
            next = std::min(next, m_nextRetry);
    }
    m_checking = false;
    schedule(next);
}

void TSourceWatcher::schedule(qint64 at)
{
    const qint64 wait = std::max<qint64>(0, at - now());
    if (m_timer->isActive() && m_timer->remainingTime() <= wait)
        return;
    m_timer->start(static_cast<int>(std::min<qint64>(wait, 24 * 3600 * 1000)));
}

void TSourceWatcher::offerSettled()
{
    const qint64 moment = now();
    QStringList due = m_tracker.due(moment);
    if (due.isEmpty())
        return;
    // Files still arriving get a little time to join, unless they take too long.
    const auto times = m_tracker.dueTimes();
    if (times && times->last > moment && moment < times->first + kBatchWaitMs)
        return;
    QStringList songs;
    QStringList strays;
    for (const QString& path : std::as_const(due)) {
        const std::optional<TFileSample> sample = SampleFile(path);
        if (!sample) {
            m_tracker.forget(path);
        } else if (m_tracker.seen(path, *sample, moment)) {
            // Changed after all: it waits again.
        } else if (m_open.open(path) || IsFileInUse(path)) {
            m_tracker.inUse(path, moment);
        } else if (m_settings.formats.namesFile(path)) {
            songs.append(path);
        } else if (!HasSongBeside(path, m_settings.formats)) {
            // Left behind by its song, or come after it: the run lets it follow the song.
            strays.append(path);
        } else {
            // A companion that settled is never offered itself; its song may go now.
            m_tracker.park(path, *sample, moment);
        }
    }
    QStringList ready;
    for (const QString& stray : std::as_const(strays)) {
        m_tracker.offer(stray);
        ready.append(stray);
    }
    for (const QString& song : std::as_const(songs)) {
        const QStringList companions
            = m_settings.companions ? CompanionCandidates(song) : QStringList();
        const auto unsettled = std::find_if(companions.begin(), companions.end(),
            [&](const QString& companion) { return m_tracker.settling(companion); });
        if (unsettled != companions.end()) {
            m_tracker.waitFor(song, *unsettled);
            continue;
        }
        m_tracker.offer(song);
        ready.append(song);
    }
    if (ready.isEmpty() || !m_callbacks.settled)
        return;
    std::sort(ready.begin(), ready.end());
    m_callbacks.settled(ready);
}

void TSourceWatcher::runEnded(const QSet<QString>& inUse)
{
    // Notices of what the run moved come first, so a file that arrived under a moved file's
    // name meanwhile is seen as new, not as the one left behind.
    readEvents();
    const qint64 moment = now();
    const QSet<QString> offered = m_tracker.offered();
    for (const QString& path : offered) {
        const std::optional<TFileSample> sample = SampleFile(path);
        m_tracker.forget(path);
        if (!sample)
            continue;
        if (inUse.contains(path) || m_open.open(path) || IsFileInUse(path)) {
            m_tracker.seen(path, *sample, moment); // settles anew
            m_tracker.inUse(path, moment);
        } else {
            m_tracker.park(path, *sample, moment);
        }
    }
    schedule(moment + kEventDelayMs);
}

TWatchedDestination::TWatchedDestination(QString folder, QString fstab)
    : m_folder(std::move(folder))
    , m_fstab(fstab.isEmpty() ? QString::fromLatin1(kFileSystemTable) : std::move(fstab))
{
}

TWatchedDestination::State TWatchedDestination::look()
{
    const std::optional<FolderId> id = FolderIdOf(m_folder);
    if (!id)
        return State::Missing;
    if (m_id)
        return *id == *m_id ? State::Here : State::Replaced;
    if (IsBareMountPoint(m_folder, m_fstab))
        return State::BareMountPoint;
    m_id = id;
    return State::Here;
}

} // namespace plumtide
