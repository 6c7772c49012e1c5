#include "fakeinputmover.h"

#include "fake-input-client-protocol.h"
#include <wayland-client.h>

#include "screentable.h"

#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

FakeInputMover::~FakeInputMover()
{
    if (!input)
        return;
#ifdef ORG_KDE_KWIN_FAKE_INPUT_DESTROY_SINCE_VERSION
    // Older protocol files have no destructor request: the proxy alone goes.
    if (version >= ORG_KDE_KWIN_FAKE_INPUT_DESTROY_SINCE_VERSION) {
        org_kde_kwin_fake_input_destroy(input);
        return;
    }
#endif
    wl_proxy_destroy(reinterpret_cast<wl_proxy *>(input));
}

const char *FakeInputMover::interfaceName() const
{
    return org_kde_kwin_fake_input_interface.name;
}

void FakeInputMover::bind(wl_registry *registry, std::uint32_t name, std::uint32_t offered)
{
    // Absolute motion came with version 3.
    if (offered < ORG_KDE_KWIN_FAKE_INPUT_POINTER_MOTION_ABSOLUTE_SINCE_VERSION)
        return;
    version = std::min<std::uint32_t>(offered, org_kde_kwin_fake_input_interface.version);
    input = static_cast<org_kde_kwin_fake_input *>(
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, version));
}

void FakeInputMover::start(wl_seat *)
{
    // KWin ignores the motion of a fake input that has not said who it is.
    org_kde_kwin_fake_input_authenticate(input, "Pellmar", "wraps the pointer at the screen edges");
}

int FakeInputMover::edgeBarrierSetting()
{
    const QString kwinrc = QStandardPaths::locate(QStandardPaths::GenericConfigLocation, "kwinrc");
    constexpr int kwinDefault = 100;
    if (kwinrc.isEmpty())
        return kwinDefault;
    const QSettings config(kwinrc, QSettings::IniFormat);
    bool ok = false;
    const int width = config.value("EdgeBarrier/EdgeBarrier").toInt(&ok);
    return ok && width >= 0 ? width : kwinDefault;
}

void FakeInputMover::move(const QPoint &to, const std::optional<QPoint> &from,
                          const ScreenTable &screens, const QRect &extent)
{
    // KWin places the pointer in the desktop's own (logical) coordinates:
    // the pixel itself, kept inside the desktop.
    const QPoint target(std::clamp(to.x(), extent.left(), extent.right()),
                        std::clamp(to.y(), extent.top(), extent.bottom()));
    const int onto = screens.screenIndexAt(target.x(), target.y());
    const int leaving = from ? screens.screenIndexAt(from->x(), from->y()) : -1;
    if (barrier > 0 && onto >= 0 && leaving != onto) {
        // KWin holds any motion that leaves an output, ours too, until it
        // has gone `barrier` pixels beyond the edge, and then takes that
        // much off. So first as far again beyond the target, which lands on
        // the target's output, then the target itself, a move within that
        // output. From an unknown place, the target twice.
        QPoint past = target;
        if (from) {
            const auto ahead = [this](int along, int start) {
                return along + (along > start ? barrier + 1 : along < start ? -barrier - 1 : 0);
            };
            const ScreenRect &r = screens.rects[std::size_t(onto)];
            past = QPoint(std::clamp(ahead(target.x(), from->x()), r.left, r.right),
                          std::clamp(ahead(target.y(), from->y()), r.top, r.bottom));
        }
        moveTo(past);
    }
    moveTo(target);
}

void FakeInputMover::moveTo(const QPoint &to)
{
    org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(to.x()),
                                                    wl_fixed_from_int(to.y()));
}
