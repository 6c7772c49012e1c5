#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <optional>

class ScreenTable;

struct wl_registry;
struct wl_seat;

// What moves the pointer on a Wayland desktop: each compositor family
// grants programs a protocol of its own for it (wlroots' virtual pointer,
// KWin's fake input). The pointer watch offers it the global it names and
// asks it to move; it lives on the watch's connection, on the engine
// thread.
class PointerMover
{
public:
    virtual ~PointerMover() = default;

    // The global it needs, as the registry names it.
    virtual const char *interfaceName() const = 0;
    virtual void bind(wl_registry *registry, std::uint32_t name, std::uint32_t version) = 0;
    virtual bool bound() const = 0;
    // The seat is known: makes what moves the pointer on it.
    virtual void start(wl_seat *seat) = 0;
    // To desktop pixel `to`, from where the pointer was seen last (none:
    // not known), on the desktop of `screens`, whose bounding box is
    // `extent`.
    virtual void move(const QPoint &to, const std::optional<QPoint> &from,
                      const ScreenTable &screens, const QRect &extent) = 0;
};
