#pragma once

#include "core/watching/settle.h"
#include "formats/audioformat.h"
#include "platform/folderwatch.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;
class QTimer;

namespace plumtide
{

struct TWatchSettings {
    QString folder;
    // The files watched, by their extension, as the source list takes them.
    TFileFormats formats;
    // How long a file must stay unchanged and unused before it is offered.
    qint64 settleMs = 10000;
    // How often the whole folder is read again when the system cannot watch it (its limit
    // of folder watches reached, no change notices at all, or a network or FUSE file system
    // whose changes from elsewhere send none).
    qint64 pollMs = 30000;
    // How often files that runs left in the folder are offered again; 0: only when they
    // change.
    qint64 retryMs = 0;
    // Read the folder every pollMs instead of being told of changes.
    bool poll = false;
    // A song is offered only once the files that travel with it (see companions.h) have
    // settled too; a companion without its song is offered once settled (the run lets it
    // follow its song).
    bool companions = true;
    // The type of a folder's file system when changes to it can come from elsewhere (see
    // RemoteFileSystemType); asked for each folder watched.
    using FileSystemProbe = std::function<std::optional<QString>(const QString& folder)>;
    FileSystemProbe remoteFileSystem = RemoteFileSystemType;
};

// Watches the source folder and its sub-folders and tells when files have settled (see
// TSettleTracker), never while a file is known to be open (see TOpenCounts), in batches:
// files that settle close together are offered together, so a burst of arrivals gives a few
// runs, not one per file. It runs in the event loop of the thread that made it. A folder
// that disappears (deleted, an unmounted disk) is waited for, and watched again, from
// scratch, once it is back.
class TSourceWatcher
{
public:
    struct Callbacks {
        // Settled files, sorted; each is offered once until the run of it has ended.
        std::function<void(const QStringList& files)> settled;
        // Something that changed how the watch works, worth one line in a log: the folder
        // gone or back, rescanning instead of being told.
        std::function<void(const QString& message)> notice;
    };

    TSourceWatcher(TWatchSettings settings, Callbacks callbacks);
    ~TSourceWatcher();
    TSourceWatcher(const TSourceWatcher&) = delete;
    TSourceWatcher& operator=(const TSourceWatcher&) = delete;

    // Reads the folder, offers what has settled already, and watches.
    void start();
    const QString& folder() const { return m_settings.folder; }
    const TFileFormats& formats() const { return m_settings.formats; }
    bool companions() const { return m_settings.companions; }

    // The run of the offered files has ended: what it left in the folder waits for a change
    // (or for the retry); what is in use, or was when the run came to it (`inUse`),
    // settles anew.
    void runEnded(const QSet<QString>& inUse = {});
    // Whether the file was seen and has not settled yet.
    bool settling(const QString& path) const { return m_tracker.settling(path); }
    bool polling() const { return m_polling; }
    const TSettleTracker& tracker() const { return m_tracker; }
    // Who has the watched files open, as far as the watch saw them opened; a run's leave-out
    // policy takes them (see TLeaveOutPolicy::setOpenCounts).
    const TOpenCounts& openCounts() const { return m_open; }

private:
    qint64 now() const { return m_clock.elapsed(); }
    void check();
    void schedule(qint64 at);
    void beginWatching();
    void stopNotices();
    void endWatching();
    void toPolling(const QString& why);
    void readEvents();
    void walk(const QString& folder);
    void look(const QString& path);
    void forgetFolder(const QString& folder);
    void offerSettled();
    // Whether a file's changes are followed: a song, or a file that travels with one.
    bool tracked(const QString& path) const;
    void tell(const QString& message) const;

    TWatchSettings m_settings;
    Callbacks m_callbacks;
    TSettleTracker m_tracker;
    TOpenCounts m_open;
    QElapsedTimer m_clock;
    std::unique_ptr<QTimer> m_timer;
    std::unique_ptr<TFolderWatch> m_watch;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QHash<int, QString> m_folders; // watch -> folder
    QHash<QString, int> m_watches; // folder -> watch
    QSet<QString> m_toLook; // files named by events since the last check
    QStringList m_toWalk; // folders that arrived since the last check
    std::optional<FolderId> m_root; // the folder watched; nothing while it is missing
    bool m_polling = false;
    bool m_checking = false;
    qint64 m_nextPoll = 0;
    qint64 m_nextRetry = 0;
    qint64 m_nextRootCheck = 0;
};

// The destination of a watch, known by its identity (device and inode) from the moment
// watching began. A disk mounted over it, or taken away from under it, leaves another folder
// at the same path, and files filed there would be hidden under the mount or out of the
// library: until the folder is the one it was again, it counts as missing. A destination that
// is the bare mount point of a disk not yet mounted (see IsBareMountPoint) counts as missing
// from the start, until a disk is mounted there: that folder is then the one taken.
class TWatchedDestination
{
public:
    enum class State {
        Here, // the folder the watch began with
        Missing, // no folder at the path
        BareMountPoint, // an empty mount point of the system's table, nothing mounted on it
        Replaced, // another folder than the one the watch began with
    };

    explicit TWatchedDestination(QString folder, QString fstab = QString());

    const QString& folder() const { return m_folder; }
    // Looks at the path now; only Here lets a run file anything there.
    State look();

private:
    QString m_folder;
    QString m_fstab;
    std::optional<FolderId> m_id;
};

} // namespace plumtide
