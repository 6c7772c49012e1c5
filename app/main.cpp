#include "sessioncheck.h"
#include "singleinstance.h"
#include "window_main.h"

#include <QApplication>

#ifdef Q_OS_UNIX
#include "unixsignalwatcher.h"
#endif
#ifdef PELLMAR_HAVE_XINPUT
#include "rawmotionwatcher.h"
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
#ifdef PELLMAR_HAVE_XINPUT
    RawMotionWatcher motionWatcher;
    motionWatcher.start();
#endif
    Window_Main window;
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     [&window] { window.bringToFront(); });
    window.show();
    SessionCheck::warnIfNoCursorControl(&window);
    const int result = app.exec();
    return result;
}
