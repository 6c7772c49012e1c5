#include "swayevents.h"

#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

std::unique_ptr<SwayEvents> SwayEvents::connectTo(const QString &path, QObject *parent)
{
    const QByteArray file = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (file.isEmpty() || file.size() >= qsizetype(sizeof address.sun_path)) {
        qWarning("Pellmar: not a socket path for sway: %s", file.constData());
        return nullptr;
    }
    std::memcpy(address.sun_path, file.constData(), size_t(file.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    // Blocking: a local listener takes the connection at once.
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
        qWarning("Pellmar: cannot reach sway at %s: %s", file.constData(), std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SwayEvents>(new SwayEvents(fd, parent));
}

SwayEvents::SwayEvents(int socket, QObject *parent)
    : CompositorEvents(parent), fd(socket),
      readNotifier(new QSocketNotifier(socket, QSocketNotifier::Read, this)),
      writeNotifier(new QSocketNotifier(socket, QSocketNotifier::Write, this))
{
    writeNotifier->setEnabled(false);
    connect(readNotifier, &QSocketNotifier::activated, this, &SwayEvents::readable);
    connect(writeNotifier, &QSocketNotifier::activated, this, &SwayEvents::flush);
    // Subscribed before asking, so that nothing happens unheard between the
    // answers and the first event. sway 1.7 refuses the whole subscription
    // if one name is unknown to it ("output" is, there).
    send(SwayState::Subscribe, QByteArrayLiteral(R"(["workspace","window"])"));
    send(SwayState::GetWorkspaces);
    askTree();
}

SwayEvents::~SwayEvents()
{
    delete readNotifier;
    delete writeNotifier;
    if (fd >= 0)
        ::close(fd);
}

void SwayEvents::readable()
{
    bool closed = false;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            reader.feed(QByteArray(chunk, qsizetype(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // 0: sway closed its end. Anything but "nothing more yet" ends the
        // stream too.
        closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    // What came before the end is still sway's word.
    SwayIpcReader::Message message;
    while (reader.next(message)) {
        if (!handle(message))
            return;
    }
    if (reader.broken()) {
        qWarning("Pellmar: sway's IPC socket sent something that is not sway's framing");
        closed = true;
    }
    if (closed)
        drop();
}

bool SwayEvents::handle(const SwayIpcReader::Message &message)
{
    const SwayState::Update update = state.take(message.type, message.payload);
    if (update.refused) {
        qWarning("Pellmar: sway refused to send its events");
        drop();
        return false;
    }
    if (message.type == SwayState::GetTree) {
        treeAsked = false;
        if (treeWanted)
            askTree();
    }
    if (update.wantTree)
        askTree();
    // A slot may delete this object.
    const QPointer<SwayEvents> alive(this);
    if (update.outputChanged)
        emit focusedOutputChanged(state.focusedOutput());
    if (alive && update.fullscreenChanged)
        emit fullscreenChanged(state.fullscreen());
    return alive && fd >= 0;
}

void SwayEvents::askTree()
{
    // One at a time: events that come while a tree is on its way are in it
    // or in the one asked for after it.
    if (treeAsked) {
        treeWanted = true;
        return;
    }
    treeAsked = true;
    treeWanted = false;
    send(SwayState::GetTree);
}

void SwayEvents::send(std::uint32_t type, const QByteArray &payload)
{
    if (fd < 0)
        return;
    outgoing.append(SwayIpcReader::frame(type, payload));
    flush();
}

void SwayEvents::flush()
{
    while (!outgoing.isEmpty()) {
        // MSG_NOSIGNAL: a sway that is gone must not take Pellmar with it
        // (SIGPIPE).
        const ssize_t n = ::send(fd, outgoing.constData(), size_t(outgoing.size()), MSG_NOSIGNAL);
        if (n > 0) {
            outgoing.remove(0, qsizetype(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // Full: the rest when the socket takes it. Broken: reading
            // hears the end and says so.
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                outgoing.clear();
            break;
        }
    }
    writeNotifier->setEnabled(!outgoing.isEmpty());
}

void SwayEvents::drop()
{
    if (fd < 0)
        return;
    readNotifier->setEnabled(false);
    writeNotifier->setEnabled(false);
    ::close(fd);
    fd = -1;
    emit lost();
}
