#include "verbserver.h"
#include "verbreader.h"

#include <QFile>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class VerbServer::Connection : public QObject
{
public:
    Connection(int descriptor, QObject *parent)
        : QObject(parent), fd(descriptor), notifier(descriptor, QSocketNotifier::Read)
    {
        idle.setSingleShot(true);
    }
    ~Connection() override
    {
        notifier.setEnabled(false);
        if (fd >= 0)
            ::close(fd);
    }

    int fd;
    QSocketNotifier notifier;
    QTimer idle;
    VerbReader reader;
};

VerbServer::VerbServer(QObject *parent) : QObject(parent)
{
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(retryMs);
    connect(&retryTimer, &QTimer::timeout, this, &VerbServer::retry);
}

VerbServer::~VerbServer()
{
    for (Connection *c : connections)
        delete c;
    connections.clear();
    if (acceptor)
        acceptor->setEnabled(false);
    if (listenFd >= 0) {
        ::close(listenFd);
        ::unlink(nativePath.constData());
    }
}

bool VerbServer::listen(const QString &path)
{
    nativePath = QFile::encodeName(path);
    if (nativePath.isEmpty() || std::size_t(nativePath.size()) >= sizeof(sockaddr_un::sun_path)) {
        qWarning("Pellmar: %s is too long a path for a socket", nativePath.constData());
        return false;
    }
    return openSocket();
}

bool VerbServer::openSocket()
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            outOfDescriptors();
            return true; // listening as soon as it can
        }
        qWarning("Pellmar: no socket for other starts of pellmar: %s", std::strerror(errno));
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, nativePath.constData(), std::size_t(nativePath.size()));
    ::unlink(nativePath.constData()); // left by a Pellmar that crashed
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, 32) != 0) {
        qWarning("Pellmar: cannot listen at %s: %s", nativePath.constData(), std::strerror(errno));
        ::close(fd);
        return false;
    }
    listenFd = fd;
    relieved();
    acceptor = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(acceptor, &QSocketNotifier::activated, this, &VerbServer::acceptPending);
    return true;
}

void VerbServer::acceptPending()
{
    // A bounded batch: a flood of connections must not keep the event loop
    // from everything else.
    for (int batch = 0; batch < 64; ++batch) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                outOfDescriptors();
            return; // EAGAIN: none waiting
        }
        relieved();
        if (connections.size() >= std::size_t(maxConnections)) {
            ::close(fd); // busy: its client asks again
            continue;
        }
        auto *c = new Connection(fd, this);
        connections.push_back(c);
        connect(&c->notifier, &QSocketNotifier::activated, this, [this, c] { readFrom(c); });
        connect(&c->idle, &QTimer::timeout, this, [this, c] { close(c); });
        c->idle.start(idleMs);
    }
}

void VerbServer::readFrom(Connection *c)
{
    char buffer[VerbReader::maxMessage];
    for (;;) {
        const ssize_t n = ::recv(c->fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) { // gone before a whole verb
            close(c);
            return;
        }
        const VerbReader::State state = c->reader.feed(buffer, std::size_t(n));
        if (state == VerbReader::State::NeedMore)
            continue;
        if (state != VerbReader::State::Verb) {
            close(c);
            return;
        }
        // A client that has hung up already gave up waiting and told its
        // user the verb failed: a toggle must not happen behind their back.
        char next;
        const bool gone = ::recv(c->fd, &next, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
        if (!gone) {
            const QString verb = QString::fromLatin1(c->reader.verb().c_str());
            const QString argument = QString::fromLatin1(c->reader.argument().c_str());
            const QByteArray line = answerLine(answer ? answer(verb, argument) : QString("ok"));
            ::send(c->fd, line.constData(), std::size_t(line.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        close(c);
        return;
    }
}

QByteArray VerbServer::answerLine(const QString &answer)
{
    QByteArray line = answer.toUtf8();
    for (char &b : line) {
        if (static_cast<unsigned char>(b) < ' ' || b == '\x7f')
            b = ' ';
    }
    if (line.size() > maxAnswer) {
        line.truncate(maxAnswer);
        // Not in the middle of a character: drop its first bytes too.
        int start = line.size() - 1;
        while (start > 0 && (static_cast<unsigned char>(line[start]) & 0xc0) == 0x80)
            --start;
        const auto lead = static_cast<unsigned char>(line[start]);
        const int length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1;
        if (line.size() - start < length)
            line.truncate(start);
    }
    return line + '\n';
}

void VerbServer::close(Connection *c)
{
    const auto it = std::find(connections.begin(), connections.end(), c);
    if (it == connections.end())
        return;
    connections.erase(it);
    c->notifier.setEnabled(false);
    c->idle.stop();
    ::close(c->fd);
    c->fd = -1;
    // Not deleted here: this may run inside its own notifier's signal.
    c->deleteLater();
    if (starved && acceptor)
        acceptor->setEnabled(true); // one descriptor is free now
}

void VerbServer::outOfDescriptors()
{
    if (acceptor)
        acceptor->setEnabled(false);
    if (!starved) {
        starved = true;
        qWarning("Pellmar: out of file descriptors; other starts of pellmar wait until some are "
                 "free");
    }
    retryTimer.start();
}

void VerbServer::relieved()
{
    if (!starved)
        return;
    starved = false;
    qInfo("Pellmar: file descriptors free again; other starts of pellmar are heard");
}

void VerbServer::retry()
{
    if (listenFd < 0)
        openSocket();
    else if (acceptor)
        acceptor->setEnabled(true); // fires again if a client still waits
}
