#include "virtualpointermover.h"

#include "waylandgeometry.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <ctime>

namespace {

std::uint32_t nowMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return std::uint32_t(std::uint64_t(t.tv_sec) * 1000 + std::uint64_t(t.tv_nsec) / 1000000);
}

} // namespace

VirtualPointerMover::~VirtualPointerMover()
{
    if (device)
        zwlr_virtual_pointer_v1_destroy(device);
    if (manager)
        zwlr_virtual_pointer_manager_v1_destroy(manager);
}

const char *VirtualPointerMover::interfaceName() const
{
    return zwlr_virtual_pointer_manager_v1_interface.name;
}

void VirtualPointerMover::bind(wl_registry *registry, std::uint32_t name, std::uint32_t)
{
    manager = static_cast<zwlr_virtual_pointer_manager_v1 *>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void VirtualPointerMover::start(wl_seat *seat)
{
    device = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
}

void VirtualPointerMover::move(const QPoint &to, const std::optional<QPoint> &, const ScreenTable &,
                               const QRect &extent)
{
    if (!device || extent.isEmpty())
        return;
    const auto m = WaylandGeometry::absoluteMotion(to.x(), to.y(), extent);
    zwlr_virtual_pointer_v1_motion_absolute(device, nowMs(), m.x, m.y, m.xExtent, m.yExtent);
    zwlr_virtual_pointer_v1_frame(device);
}
