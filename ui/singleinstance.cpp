#include "ui/singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace plumtide
{

namespace
{

const QByteArray kShowRequest = QByteArrayLiteral("show\n");

} // namespace

TSingleInstance::TSingleInstance(const QString& folder)
    : m_folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                : folder)
{
}

bool TSingleInstance::claim()
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder)) {
        qWarning("Plumtide: no runtime folder; other copies of the program are not noticed");
        return true;
    }
    m_lock.emplace(QDir(m_folder).filePath(QStringLiteral("Plumtide.lock")));
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError)
            return false;
        qWarning("Plumtide: cannot lock %s; other copies of the program are not noticed",
            qPrintable(m_lock->fileName()));
        return true;
    }
    listen();
    return true;
}

void TSingleInstance::listen()
{
    const QString path = QDir(m_folder).filePath(QStringLiteral("Plumtide.socket"));
    // Whoever holds the lock owns the socket: one left behind by a copy that died goes.
    QLocalServer::removeServer(path);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(path)) {
        qWarning("Plumtide: cannot listen on %s: %s", qPrintable(path),
            qPrintable(m_server.errorString()));
        return;
    }
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    if (socket->readLine() == kShowRequest)
                        emit activationRequested();
                }
            });
        }
    });
}

bool TSingleInstance::activateRunning(int timeoutMs)
{
    const QString path = QDir(m_folder).filePath(QStringLiteral("Plumtide.socket"));
    const QDeadlineTimer deadline(timeoutMs);
    // The copy that runs may have taken the lock but not be listening yet.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(250)) {
            socket.write(kShowRequest);
            const bool sent = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(100);
    }
    return false;
}

} // namespace plumtide
