#pragma once

#include "platform.h"

#include <QDBusConnection>
#include <memory>
#include <vector>

class GnomeCurtain;
class GnomePointerWatch;
class ShellLink;

// GNOME on Wayland, where only GNOME Shell itself may see or move the
// pointer and draw over every window: all of it goes through Pellmar's Shell
// extension on the session bus (ShellLink). The screens are the Shell's
// monitors, the pointer is sensed by barriers at the edges where a rule can
// act (GnomePointerWatch), and the curtains are the Shell's own actors.
// Without the extension Pellmar shows the screens and says what to do.
class GnomePlatform : public Platform
{
    Q_OBJECT

public:
    explicit GnomePlatform(QObject *parent = nullptr);
    GnomePlatform(const QDBusConnection &bus, QObject *parent);
    ~GnomePlatform() override;

    std::vector<PlatformScreen> screens() override;
    DesktopFeatures features() override;
    // What GNOME allows, with the extension attached (`why` empty) or not.
    static DesktopFeatures featuresFor(const QString &why);
    // The tray is a StatusNotifierItem, for the Shell's AppIndicator
    // extension.
    bool trayOnlyOnBus() override { return true; }
    bool compositorRunning() override { return true; }
    std::unique_ptr<Curtain> makeCurtain(const PlatformScreen &screen, int darkness) override;
    bool tellsPointerScreen() override { return true; }
    QString pointerScreen() override;
    std::optional<QPoint> pointerPosition() override;
    bool lockPointer(const QRect &screen) override;
    void unlockPointer() override;
    bool focusedFullscreen() override;
    void followReadout(bool shown) override;
    PointerWatch *pointerWatch() override;

private:
    void curtainChanged(const GnomeCurtain *curtain, bool gone);
    void sendCurtains();

    std::unique_ptr<ShellLink> link;
    std::unique_ptr<GnomePointerWatch> watch;
    std::vector<const GnomeCurtain *> curtains;
    bool curtainsDue = false;
};
