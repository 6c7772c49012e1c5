#include "unixsignalwatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int fds[2] = {-1, -1};

// The signals that end Pellmar in order: logout (SIGTERM, or SIGHUP when the
// terminal or session goes), Ctrl-C and Ctrl-\.
const int endingSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

extern "C" void handleSignal(int)
{
    // The interrupted code may be about to read errno.
    const int savedErrno = errno;
    const char byte = 1;
    // Nothing else is safe in a signal handler; a full socket just means an
    // exit is already on its way.
    [[maybe_unused]] const ssize_t n = ::write(fds[0], &byte, 1);
    errno = savedErrno;
}
} // namespace

UnixSignalWatcher::UnixSignalWatcher(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return;
    notifier = new QSocketNotifier(fds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::onSignal);

    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : endingSignals)
        ::sigaction(sig, &action, nullptr);
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    for (int sig : endingSignals)
        ::signal(sig, SIG_DFL);
    for (int &fd : fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void UnixSignalWatcher::onSignal()
{
    char buffer[16];
    while (::read(fds[1], buffer, sizeof buffer) > 0) {
    }
    QCoreApplication::exit(0);
}
