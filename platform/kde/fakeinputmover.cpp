#include "fakeinputmover.h"

#include "fake-input-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>

FakeInputMover::~FakeInputMover()
{
    if (!input)
        return;
        // Older protocol files have no destructor request: the proxy alone goes.
#ifdef ORG_KDE_KWIN_FAKE_INPUT_DESTROY_SINCE_VERSION
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

void FakeInputMover::move(int x, int y, const QRect &extent)
{
    // KWin places the pointer in the desktop's own (logical) coordinates:
    // the pixel itself, kept inside the desktop.
    x = std::clamp(x, extent.left(), extent.right());
    y = std::clamp(y, extent.top(), extent.bottom());
    org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(x),
                                                    wl_fixed_from_int(y));
}
