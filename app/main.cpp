#include "platform.h"
#include "sessioncheck.h"
#include "singleinstance.h"
#include "window_main.h"

#include <QApplication>

#ifdef Q_OS_UNIX
#include "unixsignalwatcher.h"
#endif

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
#ifdef Q_OS_UNIX
    UnixSignalWatcher signalWatcher;
#endif
    SingleInstance instance;
    if (!instance.claim())
        return 0; // the running one shows its window instead
    Window_Main window;
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     [&window] { window.bringToFront(); });
    window.show();
    SessionCheck::warnIfNoCursorControl(&window, window.platform->cursorControlAvailable());
    const int result = app.exec();
    return result;
}
