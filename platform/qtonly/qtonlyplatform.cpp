#include "qtonlyplatform.h"

#include <QGuiApplication>
#include <QScreen>

QtOnlyPlatform::QtOnlyPlatform(QString reason, QObject *parent)
    : Platform(parent), why(std::move(reason))
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

void QtOnlyPlatform::watchScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &Platform::screensChanged);
}

std::vector<PlatformScreen> QtOnlyPlatform::screens()
{
    std::vector<PlatformScreen> out;
    for (const QScreen *screen : QGuiApplication::screens())
        out.push_back(
            PlatformScreen{screen->name(), screen->geometry(), screen->physicalSize().toSize()});
    return out;
}

DesktopFeatures QtOnlyPlatform::features()
{
    return featuresFor(why);
}

DesktopFeatures QtOnlyPlatform::featuresFor(const QString &why)
{
    // Only what needs no window system of Pellmar's own: the tray (Qt's)
    // and the autostart entry.
    DesktopFeatures f;
    f.denyPointer(why);
    return f;
}
