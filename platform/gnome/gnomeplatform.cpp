#include "gnomeplatform.h"

#include "gnomecurtain.h"
#include "gnomepointerwatch.h"
#include "logicctrl.h"
#include "shelllink.h"

#include <QDebug>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>

GnomePlatform::GnomePlatform(QObject *parent) : GnomePlatform(QDBusConnection::sessionBus(), parent)
{
}

GnomePlatform::GnomePlatform(const QDBusConnection &bus, QObject *parent)
    : Platform(parent), link(std::make_unique<ShellLink>(bus)),
      watch(std::make_unique<GnomePointerWatch>(*link))
{
    ShellLink *shell = link.get();
    connect(shell, &ShellLink::monitorsChanged, this, &Platform::screensChanged);
    connect(shell, &ShellLink::pointerMonitorChanged, this, &Platform::pointerScreenChanged);
    connect(shell, &ShellLink::fullscreenChanged, this, &Platform::fullscreenChanged);
    connect(shell, &ShellLink::barrierHit, this,
            [this](unsigned generation, unsigned index, double x, double y, double dx, double dy,
                   unsigned state) { watch->hit(generation, index, x, y, dx, dy, state); });
    connect(shell, &ShellLink::position, this,
            [this](double x, double y, unsigned state) { watch->seen(x, y, state); });
    connect(shell, &ShellLink::statusChanged, this, [this] {
        if (link->attached())
            qDebug().noquote() << "Pellmar's GNOME Shell extension is there: the cursor is "
                                  "Pellmar's to wrap";
        emit featuresChanged();
        emit screensChanged();
    });
    link->open();
}

GnomePlatform::~GnomePlatform() = default;

std::vector<PlatformScreen> GnomePlatform::screens()
{
    // The Shell does not tell monitor sizes; Qt hears them from Mutter's
    // wl_output, under the connector's name. Where the names differ (Qt
    // through XWayland) the EDID stands in.
    QHash<QString, QSize> heard;
    for (const QScreen *screen : QGuiApplication::screens())
        heard.insert(screen->name(), screen->physicalSize().toSize());
    std::vector<PlatformScreen> out;
    for (const ShellMonitor &m : link->monitors())
        out.push_back(
            PlatformScreen{m.connector, m.geometry, heard.value(m.connector, QSize(0, 0))});
    if (out.empty()) {
        // Without the extension: what Qt knows, for the map at least.
        for (const QScreen *screen : QGuiApplication::screens())
            out.push_back(PlatformScreen{screen->name(), screen->geometry(),
                                         screen->physicalSize().toSize()});
    }
    return out;
}

DesktopFeatures GnomePlatform::features()
{
    return featuresFor(link->notice());
}

DesktopFeatures GnomePlatform::featuresFor(const QString &why)
{
    DesktopFeatures f;
    if (!why.isEmpty()) {
        f.deny(Feature::ScreenFocus, "Screen Focus cannot work here: " + why);
        f.denyPointer(why);
    }
    // The Shell tells the keys and buttons held with each push; seen only
    // where it pushes, the pointer has no speed of arrival.
    f.deny({Feature::VelocityThresholds, Feature::ReadoutSpeed},
           "This desktop hides the pointer's speed: no thresholds.");
    f.allowIf(Feature::ReadoutPosition, "while the window is shown");
    f.allowIf(Feature::Tray, "with GNOME's AppIndicator extension");
    return f;
}

std::unique_ptr<Curtain> GnomePlatform::makeCurtain(const PlatformScreen &screen, int darkness)
{
    auto curtain = std::make_unique<GnomeCurtain>(
        screen.name, screen.geometry, darkness,
        [this](const GnomeCurtain *c, bool gone) { curtainChanged(c, gone); });
    curtains.push_back(curtain.get());
    return curtain;
}

void GnomePlatform::curtainChanged(const GnomeCurtain *curtain, bool gone)
{
    if (gone)
        curtains.erase(std::remove(curtains.begin(), curtains.end(), curtain), curtains.end());
    // One set for every change of a turn: a focus move hides one curtain
    // and shows another.
    if (curtainsDue)
        return;
    curtainsDue = true;
    QTimer::singleShot(0, this, &GnomePlatform::sendCurtains);
}

void GnomePlatform::sendCurtains()
{
    curtainsDue = false;
    std::vector<std::pair<QString, int>> shown;
    for (const GnomeCurtain *c : curtains) {
        if (c->isShown())
            shown.emplace_back(c->connector(), c->darkness());
    }
    link->setCurtains(shown);
}

QString GnomePlatform::pointerScreen()
{
    return link->pointerMonitor();
}

std::optional<QPoint> GnomePlatform::pointerPosition()
{
    const auto p = link->pointer();
    if (!p)
        return std::nullopt;
    return QPoint(int(std::floor(p->x())), int(std::floor(p->y())));
}

bool GnomePlatform::lockPointer(const QRect &screen)
{
    if (!link->attached())
        return false;
    link->setLock(ShellGeometry::around(screen));
    return true;
}

void GnomePlatform::unlockPointer()
{
    link->setLock({});
}

bool GnomePlatform::focusedFullscreen()
{
    return link->fullscreen();
}

void GnomePlatform::followReadout(bool shown)
{
    // Positions only while someone can see them, as often as the readout
    // is refreshed.
    link->watchPosition(shown ? int(LogicCtrl::labelIntervalMs) : 0);
}

PointerWatch *GnomePlatform::pointerWatch()
{
    return watch.get();
}
