#pragma once

#include "platform.h"

class QScreen;

// The screens as Qt reports them, and nothing of the pointer: where Pellmar
// runs on a window system it has no backend for (or one this build lacks),
// it shows the map and says why nothing moves. X11 builds on it.
class QtOnlyPlatform : public Platform
{
    Q_OBJECT

public:
    // `why`: why nothing moves here, in the user's words; empty for a
    // backend that builds on this one.
    explicit QtOnlyPlatform(QString why, QObject *parent = nullptr);

    std::vector<PlatformScreen> screens() override;
    DesktopFeatures features() override;
    // Nothing but the tray and the autostart entry, for this reason.
    static DesktopFeatures featuresFor(const QString &why);
    bool compositorRunning() override { return true; }
    std::unique_ptr<Curtain> makeCurtain(const PlatformScreen &, int) override { return nullptr; }
    PointerWatch *pointerWatch() override { return nullptr; }

private:
    void watchScreen(QScreen *screen);

    QString why;
};
