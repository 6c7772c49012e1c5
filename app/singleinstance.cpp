#include "singleinstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

QString SingleInstance::privateFolder(const QString &path, unsigned uid)
{
    if (path.isEmpty())
        return QString();
    const QByteArray native = QFile::encodeName(path);
    ::mkdir(native.constData(), 0700); // fails harmlessly if it is there
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid ||
        (st.st_mode & 077) != 0)
        return QString();
    return path;
}

SingleInstance::SingleInstance(const QByteArray &display, const QByteArray &runtimeDir,
                               QObject *parent)
    : QObject(parent)
{
    const unsigned uid = ::getuid();
    QString dir = privateFolder(QFile::decodeName(runtimeDir), uid);
    if (dir.isEmpty())
        dir = privateFolder(QDir::tempPath() + "/pellmar-" + QString::number(uid), uid);
    if (dir.isEmpty())
        return; // no private folder: run without the guard rather than be blocked
    QString name = QString::fromLocal8Bit(display.isEmpty() ? QByteArray("default") : display);
    name.replace(QRegularExpression("[^A-Za-z0-9._-]"), "_");
    lockPath = dir + "/pellmar-" + name + ".lock";
    socketPath = dir + "/pellmar-" + name + ".socket";
}

SingleInstance::~SingleInstance()
{
    delete server;
    delete lock; // unlocks
}

SingleInstance::Claim SingleInstance::claim()
{
    if (lockPath.isEmpty()) {
        qWarning("Pellmar: no private folder for the single-instance lock; running without it");
        return Claim::Run;
    }
    lock = new QLockFile(lockPath);
    // Stale only when its owner has died, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return askRunningInstance() ? Claim::AnotherRuns : Claim::Unanswered;
        // The folder is not writable or the like: better run than refuse.
        return Claim::Run;
    }
    server = new QLocalServer();
    QLocalServer::removeServer(socketPath); // left over by a crash
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (server->listen(socketPath))
        connect(server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return Claim::Run;
}

bool SingleInstance::askRunningInstance()
{
    // The running one may still be starting up: give it a moment.
    return send("show\n", 3000); // false: the lock's owner lives but does not answer
}

bool SingleInstance::tell(const QString &verb)
{
    return !socketPath.isEmpty() && send(verb.toUtf8() + '\n', 0);
}

bool SingleInstance::send(const QByteArray &line, int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(line);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return true;
        }
        if (waitMs > 0)
            QThread::msleep(100);
    } while (waited.elapsed() < waitMs);
    return false;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine())
                emit verbReceived(QString::fromUtf8(socket->readLine()).trimmed());
        });
    }
}
