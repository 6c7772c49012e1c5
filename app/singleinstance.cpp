#include "singleinstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace {
const char request[] = "show\n";
}

SingleInstance::SingleInstance(QObject *parent) : QObject(parent)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    lockPath = dir + "/pellmar.lock";
    socketPath = dir + "/pellmar.socket";
}

SingleInstance::~SingleInstance()
{
    delete server;
    delete lock; // unlocks
}

bool SingleInstance::claim()
{
    lock = new QLockFile(lockPath);
    // Stale only when its owner has died, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return !askRunningInstance();
        // The folder is not writable or the like: better run than refuse.
        return true;
    }
    server = new QLocalServer();
    QLocalServer::removeServer(socketPath); // left over by a crash
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (server->listen(socketPath))
        connect(server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

bool SingleInstance::askRunningInstance()
{
    // The running one may still be starting up; give it a moment.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 3000) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(request);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(100);
    }
    // The lock's owner lives but does not answer; it is still the one running.
    return true;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains('\n'))
                emit showRequested();
        });
    }
}
