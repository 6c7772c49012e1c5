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
#ifdef PELLMAR_HAVE_XINPUT
    RawMotionWatcher motionWatcher;
    motionWatcher.start();
#endif
    Window_Main window;
    window.show();
    const int result = app.exec();
    return result;
}
