#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

class QSocketNotifier;

// The listening end of the single-instance socket: hears one verb per
// connection (see VerbReader), has it carried out at once (setAnswerer())
// and sends back what came of it on one line: "ok\n", or why not.
// Whatever clients do, it stays small: at most `maxConnections` open at
// once (more are closed as they come, and their clients ask again), each
// closed after `idleMs` without a whole verb. It runs its own accept loop rather than
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
    // The longest answer sent, in bytes without its newline: longer ones
    // are cut.
    static constexpr int maxAnswer = 512;

    // Carries out a verb with its argument (empty if none) and says how it
    // went: "ok", or why not. Called on this thread, before the client is
    // answered, so it must not wait on the event loop.
    using Answerer = std::function<QString(const QString &verb, const QString &argument)>;

    explicit VerbServer(QObject *parent = nullptr);
    ~VerbServer() override;

    // Listens at `path`, replacing whatever is there: the caller holds the
    // lock that makes the path its own. False if it cannot (no such folder,
    // a path too long for a socket); out of descriptors, it keeps trying.
    bool listen(const QString &path);
    bool isListening() const { return listenFd >= 0; }
    int connectionCount() const { return int(connections.size()); }
    // Without one, every verb is answered "ok" and nothing is done.
    void setAnswerer(Answerer answerer) { answer = std::move(answerer); }

    // What goes back on the socket for an answer: one line of at most
    // `maxAnswer` bytes, control characters made spaces, and a newline.
    static QByteArray answerLine(const QString &answer);

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
    Answerer answer;
};
