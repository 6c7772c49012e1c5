#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

class QSocketNotifier;

// The listening end of the single-instance socket: hears one verb per
// connection (see VerbReader) and answers "ok\n". Whatever clients do, it
// stays small: at most `maxConnections` open at once (more are closed as
// they come, and their clients ask again), each closed after `idleMs`
// without a whole verb. It runs its own accept loop rather than
// QLocalServer's, which closes the listening socket and deletes its file
// when accept() runs out of file descriptors: here the socket stays, and
// accepting resumes once descriptors are free again.
class VerbServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxConnections = 16;
    static constexpr int idleMs = 2000;
    // How soon accepting is tried again while out of descriptors.
    static constexpr int retryMs = 250;

    explicit VerbServer(QObject *parent = nullptr);
    ~VerbServer() override;

    // Listens at `path`, replacing whatever is there: the caller holds the
    // lock that makes the path its own. False if it cannot (no such folder,
    // a path too long for a socket); out of descriptors, it keeps trying.
    bool listen(const QString &path);
    bool isListening() const { return listenFd >= 0; }
    int connectionCount() const { return int(connections.size()); }

signals:
    // A verb from another start of pellmar, already answered.
    void verbReceived(const QString &verb);

private:
    class Connection;

    bool openSocket();
    void acceptPending();
    void readFrom(Connection *connection);
    void close(Connection *connection);
    void outOfDescriptors();
    void relieved();
    void retry();

    QByteArray nativePath;
    int listenFd = -1;
    QSocketNotifier *acceptor = nullptr;
    QTimer retryTimer;
    bool starved = false;
    std::vector<Connection *> connections;
};
