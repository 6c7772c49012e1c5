#include "waylandpointerwatch.h"

#include "waylandgeometry.h"
#include "waylandoutput.h"
#include "waylandsensor.h"

#include "relative-pointer-unstable-v1-client-protocol.h"
#include "waylandlayershell.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

bool is(const char *interface, const wl_interface &known)
{
    return std::strcmp(interface, known.name) == 0;
}

} // namespace

std::unique_ptr<WaylandPointerWatch> WaylandPointerWatch::open(std::unique_ptr<PointerMover> mover)
{
    std::unique_ptr<WaylandPointerWatch> w(new WaylandPointerWatch());
    w->mover = std::move(mover);
    w->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    w->display = wl_display_connect(nullptr);
    if (w->wakeFd < 0 || !w->display)
        return nullptr;
    static const wl_registry_listener registryListener = {onGlobal, onGlobalRemove};
    w->registry = wl_display_get_registry(w->display);
    wl_registry_add_listener(w->registry, &registryListener, w.get());
    wl_display_roundtrip(w->display); // the globals
    if (!w->compositor || !w->shm || !w->seat || !w->layerShell || !w->mover->bound())
        return nullptr;
    w->mover->start(w->seat);
    // Then what they say of themselves: the outputs, and the seat's pointer
    // (a seat without a mouse may have one only once our device is there),
    // whose relative motion is asked for in turn.
    wl_display_roundtrip(w->display);
    wl_display_roundtrip(w->display);
    if (wl_display_get_error(w->display))
        return nullptr;
    w->relativeMotion = w->relativePointers != nullptr;
    return w;
}

WaylandPointerWatch::~WaylandPointerWatch()
{
    if (display) {
        under = nullptr;
        sensors.clear();
        outputs.clear();
        if (relativePointer)
            zwp_relative_pointer_v1_destroy(relativePointer);
        if (pointer)
            wl_pointer_destroy(pointer);
        mover.reset();
        // The connection's end takes every other object with it.
        wl_display_flush(display);
        wl_display_disconnect(display);
    }
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void WaylandPointerWatch::onGlobal(void *data, wl_registry *registry, uint32_t name,
                                   const char *interface, uint32_t version)
{
    auto *self = static_cast<WaylandPointerWatch *>(data);
    const auto bind = [&](const wl_interface &i, std::uint32_t most) {
        return wl_registry_bind(registry, name, &i, std::min(version, most));
    };
    if (is(interface, wl_compositor_interface) && !self->compositor) {
        self->compositor = static_cast<wl_compositor *>(bind(wl_compositor_interface, 4));
    } else if (is(interface, wl_shm_interface) && !self->shm) {
        self->shm = static_cast<wl_shm *>(bind(wl_shm_interface, 1));
    } else if (is(interface, wl_seat_interface) && !self->seat) {
        // Version 5 at most: the pointer's events up to frame and axis_discrete.
        static const wl_seat_listener seatListener = {onCapabilities, onSeatName};
        self->seatVersion = std::min<std::uint32_t>(version, 5);
        self->seat = static_cast<wl_seat *>(bind(wl_seat_interface, 5));
        wl_seat_add_listener(self->seat, &seatListener, self);
    } else if (is(interface, zwlr_layer_shell_v1_interface) && !self->layerShell) {
        self->layerShell =
            static_cast<zwlr_layer_shell_v1 *>(bind(zwlr_layer_shell_v1_interface, 1));
    } else if (std::strcmp(interface, self->mover->interfaceName()) == 0 && !self->mover->bound()) {
        self->mover->bind(registry, name, version);
    } else if (is(interface, zwp_relative_pointer_manager_v1_interface) &&
               !self->relativePointers) {
        self->relativePointers = static_cast<zwp_relative_pointer_manager_v1 *>(
            bind(zwp_relative_pointer_manager_v1_interface, 1));
    } else if (is(interface, zxdg_output_manager_v1_interface) && !self->xdgOutputs) {
        self->xdgOutputs =
            static_cast<zxdg_output_manager_v1 *>(bind(zxdg_output_manager_v1_interface, 3));
        for (auto &o : self->outputs)
            o->describeWith(self->xdgOutputs);
    } else if (is(interface, wl_output_interface)) {
        const std::uint32_t v = std::min(version, WaylandOutput::maxVersion());
        auto *o = static_cast<wl_output *>(bind(wl_output_interface, v));
        // A new output, or one moved or resized: its strips go where it is
        // now.
        self->outputs.push_back(
            std::make_unique<WaylandOutput>(o, name, v, [self] { self->layOut(); }));
        self->outputs.back()->describeWith(self->xdgOutputs);
    }
}

void WaylandPointerWatch::onGlobalRemove(void *data, wl_registry *, uint32_t name)
{
    auto *self = static_cast<WaylandPointerWatch *>(data);
    const auto gone = std::find_if(self->outputs.begin(), self->outputs.end(),
                                   [name](const auto &o) { return o->global() == name; });
    if (gone == self->outputs.end())
        return;
    wl_output *output = (*gone)->handle();
    const auto on = [output](const auto &s) { return s->output() == output; };
    if (self->under && on(self->under))
        self->under = nullptr;
    self->sensors.erase(std::remove_if(self->sensors.begin(), self->sensors.end(), on),
                        self->sensors.end());
    self->outputs.erase(gone);
}

void WaylandPointerWatch::onCapabilities(void *data, wl_seat *, uint32_t capabilities)
{
    auto *self = static_cast<WaylandPointerWatch *>(data);
    const bool has = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (has && !self->pointer) {
        static const wl_pointer_listener listener = [] {
            // By name: the struct grows with libwayland; the events of later
            // versions than the seat's never come.
            wl_pointer_listener l{};
            l.enter = onEnter;
            l.leave = onLeave;
            l.motion = onMotion;
            l.button = onButton;
            l.axis = [](void *, wl_pointer *, uint32_t, uint32_t, wl_fixed_t) {};
            l.frame = [](void *, wl_pointer *) {};
            l.axis_source = [](void *, wl_pointer *, uint32_t) {};
            l.axis_stop = [](void *, wl_pointer *, uint32_t, uint32_t) {};
            l.axis_discrete = [](void *, wl_pointer *, uint32_t, int32_t) {};
            return l;
        }();
        self->pointer = wl_seat_get_pointer(self->seat);
        wl_pointer_add_listener(self->pointer, &listener, self);
        if (self->relativePointers) {
            static const zwp_relative_pointer_v1_listener relativeListener = {onRelativeMotion};
            self->relativePointer = zwp_relative_pointer_manager_v1_get_relative_pointer(
                self->relativePointers, self->pointer);
            zwp_relative_pointer_v1_add_listener(self->relativePointer, &relativeListener, self);
        }
    } else if (!has && self->pointer) {
        self->dropPointer();
    }
}

void WaylandPointerWatch::dropPointer()
{
    if (relativePointer)
        zwp_relative_pointer_v1_destroy(relativePointer);
    relativePointer = nullptr;
    if (seatVersion >= WL_POINTER_RELEASE_SINCE_VERSION)
        wl_pointer_release(pointer);
    else
        wl_pointer_destroy(pointer);
    pointer = nullptr;
    under = nullptr;
    buttonsDown = 0;
}

void WaylandPointerWatch::contact(double sx, double sy)
{
    const QPoint p = WaylandGeometry::pixelAt(under->strip(), sx, sy);
    last.x = p.x();
    last.y = p.y();
    // Which modifiers are held is told only to a client with the keyboard
    // focus, which a sensor never takes.
    last.keys = 0;
    last.buttonHeld = buttonsDown > 0;
    last.lost = false;
    last.inPassing = false;
    pending = true;
}

void WaylandPointerWatch::onEnter(void *data, wl_pointer *, uint32_t, wl_surface *surface,
                                  int32_t sx, int32_t sy)
{
    auto *self = static_cast<WaylandPointerWatch *>(data);
    const auto it = std::find_if(self->sensors.begin(), self->sensors.end(),
                                 [surface](const auto &s) { return s->surface() == surface; });
    self->under = it == self->sensors.end() ? nullptr : it->get();
    // A fresh contact: motion before it did not push here, and our own move
    // is over.
    self->jumped = false;
    self->motionX = self->motionY = 0;
    // A button pressed on another surface keeps the pointer's events there
    // (sway): a drag reaches no strip, and its release at an edge is the
    // enter. A button pressed over no surface at all keeps nothing, and
    // the enter comes with it held, unseen: nothing is dragged then. So
    // only a press on a strip itself is known here.
    self->buttonsDown = 0;
    if (!self->under)
        return;
    self->contact(wl_fixed_to_double(sx), wl_fixed_to_double(sy));
    // A strip that appears under a resting pointer (Pellmar started, the
    // layout changed, a full-screen window went) only tells where it is:
    // the pointer has not come to the edge. It acts once the pointer moves
    // or pushes.
    self->last.inPassing = self->under->appearing();
}

void WaylandPointerWatch::onLeave(void *data, wl_pointer *, uint32_t, wl_surface *)
{
    auto *self = static_cast<WaylandPointerWatch *>(data);
    self->under = nullptr;
    self->buttonsDown = 0;
    // A contact the device pushed off before the engine read it stays news:
    // that is how a seam is crossed, and a mouse may be quicker than the
    // engine. A contact nothing pushed on is gone with the pointer (our own
    // jumps pass over strips on their way). A few are plenty.
    const bool pushed = self->motionX != 0 || self->motionY != 0;
    if (self->pending && !self->last.lost && pushed) {
        if (self->unread.size() == 4)
            self->unread.erase(self->unread.begin());
        self->unread.push_back({self->last, self->motionX, self->motionY});
        self->motionX = self->motionY = 0;
    }
    // Off our surfaces the pointer is out of sight: where it was is no
    // longer where it is.
    self->last.lost = true;
    self->last.inPassing = false;
    self->pending = true;
}

void WaylandPointerWatch::onMotion(void *data, wl_pointer *, uint32_t, int32_t sx, int32_t sy)
{
    auto *self = static_cast<WaylandPointerWatch *>(data);
    if (self->under)
        self->contact(wl_fixed_to_double(sx), wl_fixed_to_double(sy));
}

void WaylandPointerWatch::onButton(void *data, wl_pointer *, uint32_t, uint32_t, uint32_t,
                                   uint32_t state)
{
    auto *self = static_cast<WaylandPointerWatch *>(data);
    if (state == WL_POINTER_BUTTON_STATE_PRESSED)
        ++self->buttonsDown;
    else
        self->buttonsDown = std::max(0, self->buttonsDown - 1);
}

void WaylandPointerWatch::onRelativeMotion(void *data, zwp_relative_pointer_v1 *, uint32_t,
                                           uint32_t, int32_t, int32_t, int32_t dxRaw, int32_t dyRaw)
{
    auto *self = static_cast<WaylandPointerWatch *>(data);
    // Comes only while the pointer is on a sensor, pinned at the edge or
    // not; what follows our own jump is the jump, not a push.
    if (!self->under || self->jumped)
        return;
    self->motionX += wl_fixed_to_double(dxRaw);
    self->motionY += wl_fixed_to_double(dyRaw);
    self->last.inPassing = false;
    self->last.buttonHeld = self->buttonsDown > 0;
    self->pending = true;
}

void WaylandPointerWatch::follow(const Snapshot &snapshot)
{
    screens = snapshot.screens;
    wanted = SensorLayout::strips(snapshot);
    extent = WaylandGeometry::extent(screens);
    layOut();
    wl_display_flush(display);
}

void WaylandPointerWatch::layOut()
{
    struct Want
    {
        SensorStrip strip;
        wl_output *output;
        WaylandGeometry::LayerPlacement placement;
    };
    std::vector<Want> wants;
    for (const SensorStrip &strip : wanted) {
        // The output of the strip's screen by name, or else the one that
        // holds it.
        const int i = screens.screenIndexAt(strip.x, strip.y);
        const QString name = i >= 0 ? screens.names[i] : QString();
        const WaylandOutput *output = nullptr;
        for (const auto &o : outputs) {
            if (o->known() && !name.isEmpty() && o->name() == name)
                output = o.get();
        }
        for (const auto &o : outputs) {
            if (!output && o->known() &&
                o->geometry().contains(QRect(strip.x, strip.y, strip.width, strip.height)))
                output = o.get();
        }
        if (!output)
            continue; // not yet described: laid out again when it is
        const auto placement = WaylandGeometry::place(strip, output->geometry());
        if (placement.fits)
            wants.push_back(Want{strip, output->handle(), placement});
    }
    // Keep the sensors wanted as they are, and no others.
    std::vector<std::unique_ptr<WaylandSensor>> kept;
    for (auto &s : sensors) {
        const auto same = std::find_if(wants.begin(), wants.end(), [&s](const Want &w) {
            return w.strip == s->strip() && w.output == s->output() &&
                   w.placement == s->placement();
        });
        if (same == wants.end() || s->closed()) {
            if (under == s.get())
                under = nullptr;
            continue;
        }
        wants.erase(same);
        kept.push_back(std::move(s));
    }
    sensors = std::move(kept);
    for (const Want &w : wants)
        sensors.push_back(std::make_unique<WaylandSensor>(w.strip, w.output, w.placement, display,
                                                          compositor, shm, layerShell));
}

bool WaylandPointerWatch::waitForMotion(int timeoutMs, bool motionWakes)
{
    if (wl_display_get_error(display)) {
        // The compositor is gone, and the session with it. Do not spin
        // meanwhile.
        pollfd wakeOnly = {wakeFd, POLLIN, 0};
        ::poll(&wakeOnly, 1, timeoutMs);
        return false;
    }
    // Events already read (along with a roundtrip's) first, or poll would
    // sleep on them.
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    if (ready()) {
        wl_display_cancel_read(display);
        return true;
    }
    wl_display_flush(display);
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {wl_display_get_fd(display), POLLIN, 0}};
    const int n = ::poll(fds, motionWakes ? 2 : 1, timeoutMs);
    if (n > 0 && (fds[1].revents & POLLIN))
        wl_display_read_events(display);
    else
        wl_display_cancel_read(display);
    if (n > 0 && (fds[0].revents & POLLIN)) {
        std::uint64_t count;
        [[maybe_unused]] const ssize_t r = ::read(wakeFd, &count, sizeof count);
    }
    wl_display_dispatch_pending(display);
    // Sensors configured, and any other answer, go out now.
    wl_display_flush(display);
    return ready();
}

bool WaylandPointerWatch::ready()
{
    return !unread.empty() || pending || takeSeen();
}

void WaylandPointerWatch::seen(int x, int y)
{
    {
        const std::lock_guard<std::mutex> hold(seenLock);
        seenAt = QPoint(x, y);
    }
    wake();
}

bool WaylandPointerWatch::takeSeen()
{
    std::optional<QPoint> at;
    {
        const std::lock_guard<std::mutex> hold(seenLock);
        at.swap(seenAt);
    }
    if (!at)
        return false;
    // Off the strips the compositor's word is all there is; on one, the
    // contact's is as fresh.
    if (!under) {
        last.x = at->x();
        last.y = at->y();
        last.keys = 0;
        last.buttonHeld = false;
        last.lost = false;
        // It may come after a move the engine has made since: for the
        // readout only, no rule acts on it.
        last.inPassing = true;
        pending = true;
    }
    return pending;
}

bool WaylandPointerWatch::readPointer(PointerReading &reading)
{
    if (!unread.empty()) {
        reading = unread.front().reading;
        takenX = unread.front().dx;
        takenY = unread.front().dy;
        unread.erase(unread.begin());
        return true;
    }
    if (!pending && !takeSeen())
        return false;
    pending = false;
    reading = last;
    takenX = motionX;
    takenY = motionY;
    motionX = motionY = 0;
    return true;
}

void WaylandPointerWatch::takeDeviceMotion(double &dx, double &dy)
{
    dx = takenX;
    dy = takenY;
    takenX = takenY = 0;
}

void WaylandPointerWatch::movePointer(int x, int y)
{
    if (extent.isEmpty())
        return;
    const std::optional<QPoint> from =
        last.lost ? std::nullopt : std::optional<QPoint>(QPoint(last.x, last.y));
    mover->move(QPoint(x, y), from, screens, extent);
    wl_display_flush(display);
    // The compositor reports the jump as relative motion to the sensor it
    // leaves: no push. The next read sees the pointer where it went, as on
    // any window system, so that the engine knows it has left the edge
    // though no contact says so.
    jumped = true;
    motionX = motionY = 0;
    // What came before the jump is past.
    unread.clear();
    last.x = x;
    last.y = y;
    last.lost = false;
    last.inPassing = false;
    pending = true;
}

void WaylandPointerWatch::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
}
