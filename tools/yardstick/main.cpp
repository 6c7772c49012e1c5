// pellmar-yardstick: the loop Pellmar's first version ran, kept apart so the
// benchmark can measure the engine against it. It samples the cursor and
// refreshes the readout every 100 µs and turns x into a speed every 150 ms;
// it never wraps or moves the cursor.

#include "sampleloop.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMainWindow>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalFds[2] = {-1, -1};

extern "C" void handleSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full socket means an exit is already on its way.
    [[maybe_unused]] const ssize_t n = ::write(signalFds[0], &byte, 1);
    errno = savedErrno;
}

QString readout(const char *name, int value, const char *unit)
{
    return QLatin1String(name) + QString::number(value) + QLatin1String(unit);
}

} // namespace

int main(int argc, char *argv[])
{
    // The cursor in the X server's own pixels, as pellmar reads it.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
#else
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
#endif
    QApplication app(argc, argv);
    // Closing the window hides it, as the first version hid into its tray,
    // so the benchmark can measure it hidden like pellmar; a signal ends it.
    app.setQuitOnLastWindowClosed(false);

    // SIGTERM and SIGINT end the event loop, so the threads are joined.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalFds) != 0) {
        std::perror("pellmar-yardstick: socketpair");
        return 1;
    }
    QSocketNotifier signalNotifier(signalFds[1], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char buffer[16];
        while (::read(signalFds[1], buffer, sizeof buffer) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    // Shared by three threads; each value stands alone, so relaxed order does.
    std::atomic<int> cursorX{0};
    std::atomic<int> cursorY{0};
    std::atomic<int> velocity{0};

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Pellmar yardstick"));
    auto *labelX = new QLabel(QStringLiteral("Mouse X: 0000px"));
    auto *labelY = new QLabel(QStringLiteral("Mouse Y: 0000px"));
    auto *labelVelocity = new QLabel(QStringLiteral("Mouse Velocity: 0000px/150ms"));
    window.statusBar()->addWidget(labelX);
    window.statusBar()->addWidget(labelY);
    window.statusBar()->addWidget(labelVelocity);
    // Without a central widget the window would cut the readout short.
    window.resize(window.statusBar()->sizeHint().width() + 40, 120);

    SampleLoop loop;
    QObject::connect(
        &loop, &SampleLoop::sampleWanted, &window,
        [&cursorX, &cursorY] {
            const QPoint pos = QCursor::pos();
            cursorX.store(pos.x(), std::memory_order_relaxed);
            cursorY.store(pos.y(), std::memory_order_relaxed);
        },
        Qt::QueuedConnection);
    QObject::connect(
        &loop, &SampleLoop::readoutDue, &window,
        [&, labelX, labelY, labelVelocity] {
            labelX->setText(readout("Mouse X: ", cursorX.load(std::memory_order_relaxed), "px"));
            labelY->setText(readout("Mouse Y: ", cursorY.load(std::memory_order_relaxed), "px"));
            labelVelocity->setText(
                readout("Mouse Velocity: ", velocity.load(std::memory_order_relaxed), "px/150ms"));
        },
        Qt::QueuedConnection);

    std::atomic<bool> velocityStopping{false};
    const std::unique_ptr<QThread> velocityThread(QThread::create([&] {
        int before = cursorX.load(std::memory_order_relaxed);
        while (!velocityStopping.load(std::memory_order_relaxed)) {
            QThread::msleep(150);
            const int now = cursorX.load(std::memory_order_relaxed);
            velocity.store(std::abs(now - before), std::memory_order_relaxed);
            before = now;
        }
    }));

    window.show();
    loop.start();
    velocityThread->start();
    const int status = app.exec();

    loop.stop();
    velocityStopping.store(true, std::memory_order_relaxed);
    loop.wait();
    velocityThread->wait();
    signalNotifier.setEnabled(false);
    for (int sig : {SIGTERM, SIGINT})
        ::signal(sig, SIG_DFL);
    for (int fd : signalFds)
        ::close(fd);
    return status;
}
