#include "x11platform.h"

#include "x11pointerwatch.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

X11Platform::X11Platform(QObject *parent) : Platform(parent)
{
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watchScreen(screen);
        emit screensChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &Platform::screensChanged);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &Platform::screensChanged);
    for (QScreen *screen : QGuiApplication::screens())
        watchScreen(screen);
}

// Out of line, where RawMotionWatcher is a complete type.
X11Platform::~X11Platform() = default;

void X11Platform::watchScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &Platform::screensChanged);
}

QPoint X11Platform::cursorPos()
{
    return QCursor::pos();
}

void X11Platform::setCursorPos(int x, int y)
{
    // On the engine's own connection where there is one: its reads come
    // after the move in that connection's order.
    if (watch)
        watch->warp(x, y);
    else
        QCursor::setPos(x, y);
}

std::vector<PlatformScreen> X11Platform::screens()
{
    std::vector<PlatformScreen> out;
    for (const QScreen *screen : QGuiApplication::screens())
        out.push_back(PlatformScreen{screen->name(), screen->geometry()});
    return out;
}

bool X11Platform::cursorControlAvailable(const QString &platformName, const QByteArray &sessionType)
{
    if (platformName.startsWith("wayland"))
        return false;
    if (platformName == "xcb" && sessionType.toLower() == "wayland")
        return false;
    return true;
}

bool X11Platform::cursorControlAvailable()
{
    return cursorControlAvailable(QGuiApplication::platformName(), qgetenv("XDG_SESSION_TYPE"));
}

PointerWatch *X11Platform::pointerWatch()
{
    if (watchTried)
        return watch.get();
    watchTried = true;
    // The polling engine, as where the server reports no device motion:
    // for measuring what the event-driven engine saves.
    if (qEnvironmentVariableIsSet("PELLMAR_NO_DEVICE_MOTION") ||
        qEnvironmentVariableIsSet("PELLMAR_PLAIN_LOOP") || QGuiApplication::platformName() != "xcb")
        return nullptr;
    watch = X11PointerWatch::open(qgetenv("DISPLAY"));
    return watch.get();
}
