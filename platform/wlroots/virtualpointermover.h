#pragma once

#include "pointermover.h"

struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;

// wlroots' way: a virtual pointer device of our own on the user's seat,
// moved in absolute steps onto the desktop's bounding box.
class VirtualPointerMover : public PointerMover
{
public:
    ~VirtualPointerMover() override;

    const char *interfaceName() const override;
    void bind(wl_registry *registry, std::uint32_t name, std::uint32_t version) override;
    bool bound() const override { return manager != nullptr; }
    void start(wl_seat *seat) override;
    void move(const QPoint &to, const std::optional<QPoint> &from, const ScreenTable &screens,
              const QRect &extent) override;

private:
    zwlr_virtual_pointer_manager_v1 *manager = nullptr;
    zwlr_virtual_pointer_v1 *device = nullptr;
};
