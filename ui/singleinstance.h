#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <optional>

namespace plumtide
{

// One Plumtide per user, so that two copies never sort the same folders at once. The first
// copy holds a lock file and listens on a local socket beside it, in the user's runtime
// folder; a later copy finds the lock taken, asks the first one to show its window, and
// ends. A copy that died leaves a stale lock, which the next start takes over.
class TSingleInstance : public QObject
{
    Q_OBJECT
public:
    // `folder` holds the lock and the socket; by default the user's runtime folder
    // (${XDG_RUNTIME_DIR}).
    explicit TSingleInstance(const QString& folder = {});

    // True when no other copy runs; this one then takes the requests of later copies.
    // Also true when the folder is unusable: better two copies than none.
    bool claim();
    // Asks the copy that runs to show its window; false when it did not answer in time.
    bool activateRunning(int timeoutMs = 5000);

signals:
    // A later copy wants the window shown.
    void activationRequested();

private:
    void listen();

    QString m_folder;
    std::optional<QLockFile> m_lock;
    QLocalServer m_server;
};

} // namespace plumtide
