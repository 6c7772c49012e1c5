#include "platform.h"
#include "sessioncheck.h"
#include "singleinstance.h"
#include "window_main.h"

#include <QApplication>
#include <cstdio>

#ifdef Q_OS_UNIX
#include "unixsignalwatcher.h"
#endif

int main(int argc, char *argv[])
{
    // The engine reads and moves the pointer in the X server's own pixels,
    // so the screens must be in those pixels too: no scaling of the
    // window system's coordinates.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
#else
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
#endif
    QApplication app(argc, argv);
    // Pellmar lives in the tray: only the user ends it (the window's close
    // handling ends it where there is no tray).
    app.setQuitOnLastWindowClosed(false);
#ifdef Q_OS_UNIX
    UnixSignalWatcher signalWatcher;
#endif
    SingleInstance instance(qgetenv("DISPLAY"), qgetenv("XDG_RUNTIME_DIR"));
    switch (instance.claim()) {
    case SingleInstance::Claim::Run:
        break;
    case SingleInstance::Claim::AnotherRuns:
        return 0; // the running one shows its window instead
    case SingleInstance::Claim::Unanswered:
        std::fprintf(stderr,
                     "Pellmar: another Pellmar holds %s but does not answer; if it hangs, end "
                     "it and start again\n",
                     qPrintable(instance.lockFile()));
        return 1;
    }
    Window_Main window;
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     [&window] { window.bringToFront(); });
    window.show();
    SessionCheck::warnIfNoCursorControl(&window, window.platform->cursorControlAvailable());
    const int result = app.exec();
    return result;
}
