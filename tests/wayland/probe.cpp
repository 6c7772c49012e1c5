// pellmar-wl-probe: drives and reads the pointer of a wlroots compositor for
// the end-to-end tests, as a mouse and a desktop background would.
//
// It moves the pointer through a virtual pointer device, and puts a surface
// under everything on every output (the background layer, covering the whole
// output) so that the pointer's enter and motion events tell where it is.
// Commands come line by line on stdin, one answer line each on stdout:
//   move X Y          absolute motion to layout point (X, Y)      -> ok
//   rel DX DY         relative motion, as a mouse makes            -> ok
//   button down|up    the left button                              -> ok
//   where             -> at X Y | unknown (over another surface)
//   clicks            -> clicks N (button presses our backgrounds got)
//   outputs           -> NAME X Y W H;NAME X Y W H... (logical)
//   react X Y TX TY MS [DX DY]
//                     absolute motion to (X, Y), then waits up to MS ms
//                     for the pointer to show on our backgrounds at
//                     (TX, TY) -> us N (microseconds from sending the
//                     motion until its event) | timeout; with DX DY, the
//                     pointer is put at (X, Y) first and the motion timed
//                     is then the relative (DX, DY), as a mouse moves on
//   wander RATE SECONDS
//                     relative motion in small steps, RATE a second on a
//                     fixed schedule, round a 200 px square from where the
//                     pointer is                               -> sent N
//   windows           -> ID<TAB>APP_ID<TAB>STATES<TAB>TITLE;... every toplevel
//                        window, STATES "fullscreen,activated" or "-"
//   close ID          asks window ID to close                      -> ok
//   fullscreen ID on|off
//                     activates window ID and makes it full screen
//                     or not                                       -> ok
//   quit              -> bye
// Answers come after a round trip, so the compositor has seen the request
// and every event it sent back has been read.
#include <wayland-client.h>

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Light grey: dark enough to see, light enough that anything drawn dark
// over it (a curtain) shows in a screenshot.
constexpr uint32_t Background = 0xffb0b0b0;

struct Output
{
    uint32_t global = 0;
    wl_output *output = nullptr;
    zxdg_output_v1 *xdg = nullptr;
    std::string name;
    int x = 0, y = 0, width = 0, height = 0;
    bool placed = false, sized = false;

    wl_surface *surface = nullptr;
    zwlr_layer_surface_v1 *layer = nullptr;
    wl_buffer *buffer = nullptr;
    int bufferWidth = 0, bufferHeight = 0;
};

struct Toplevel
{
    zwlr_foreign_toplevel_handle_v1 *handle = nullptr;
    int id = 0;
    std::string appId, title;
    bool fullscreen = false, activated = false;
};

struct Probe
{
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_compositor *compositor = nullptr;
    wl_shm *shm = nullptr;
    wl_seat *seat = nullptr;
    wl_pointer *pointer = nullptr;
    zwlr_layer_shell_v1 *layerShell = nullptr;
    zwlr_virtual_pointer_manager_v1 *pointerManager = nullptr;
    zwlr_virtual_pointer_v1 *device = nullptr;
    zxdg_output_manager_v1 *outputManager = nullptr;
    // Optional: only the window commands need it.
    zwlr_foreign_toplevel_manager_v1 *toplevelManager = nullptr;
    // Stable addresses: the listeners hold pointers to them.
    std::list<Output> outputs;
    std::list<Toplevel> toplevels;
    int lastToplevel = 0;

    Output *over = nullptr; // whose background the pointer is on
    int clicks = 0;         // presses on our backgrounds
    double surfaceX = 0, surfaceY = 0;

    // react: the point waited for, and when the pointer first showed there.
    bool awaiting = false, arrived = false;
    long targetX = 0, targetY = 0;
    timespec arrival{};
};

Probe probe;

uint32_t nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

timespec now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

int64_t microsBetween(const timespec &from, const timespec &to)
{
    return (static_cast<int64_t>(to.tv_sec) - from.tv_sec) * 1000000 +
           (static_cast<int64_t>(to.tv_nsec) - from.tv_nsec) / 1000;
}

timespec later(const timespec &t, int64_t micros)
{
    const int64_t ns = static_cast<int64_t>(t.tv_nsec) + micros * 1000;
    timespec out{};
    out.tv_sec = t.tv_sec + static_cast<time_t>(ns / 1000000000);
    out.tv_nsec = static_cast<long>(ns % 1000000000);
    return out;
}

// Where the pointer is in layout coordinates, while it is on our background.
void pointerAt(long &x, long &y)
{
    x = probe.over->x + std::lround(std::floor(probe.surfaceX));
    y = probe.over->y + std::lround(std::floor(probe.surfaceY));
}

// Timed as the event is handed to us, not when the reply goes out.
void noteArrival()
{
    if (!probe.awaiting || probe.arrived || !probe.over)
        return;
    long x = 0, y = 0;
    pointerAt(x, y);
    if (x == probe.targetX && y == probe.targetY) {
        probe.arrival = now();
        probe.arrived = true;
    }
}

void fail(const char *what)
{
    std::fprintf(stderr, "pellmar-wl-probe: %s\n", what);
    std::exit(1);
}

// A buffer that is replaced is destroyed once the compositor lets it go.
void bufferRelease(void *, wl_buffer *buffer)
{
    wl_buffer_destroy(buffer);
}
const wl_buffer_listener retiredBufferListener = {bufferRelease};

wl_buffer *makeBuffer(int width, int height)
{
    const int stride = width * 4;
    const size_t size = static_cast<size_t>(stride) * height;
    int fd = memfd_create("pellmar-wl-probe", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) < 0)
        fail("no memory for a buffer");
    void *data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED)
        fail("cannot map a buffer");
    std::fill_n(static_cast<uint32_t *>(data), size / 4, Background);
    munmap(data, size);
    wl_shm_pool *pool = wl_shm_create_pool(probe.shm, fd, static_cast<int32_t>(size));
    wl_buffer *buffer =
        wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

void dropBackground(Output &o)
{
    if (probe.over == &o)
        probe.over = nullptr;
    if (o.layer)
        zwlr_layer_surface_v1_destroy(o.layer);
    if (o.surface)
        wl_surface_destroy(o.surface);
    if (o.buffer)
        wl_buffer_destroy(o.buffer);
    o.layer = nullptr;
    o.surface = nullptr;
    o.buffer = nullptr;
    o.bufferWidth = o.bufferHeight = 0;
}

void layerConfigure(void *data, zwlr_layer_surface_v1 *layer, uint32_t serial, uint32_t width,
                    uint32_t height)
{
    auto *o = static_cast<Output *>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    if (width == 0 || height == 0)
        return;
    // A full-size buffer: the surface's size, and so where it takes pointer
    // events, is the buffer's.
    if (static_cast<int>(width) != o->bufferWidth || static_cast<int>(height) != o->bufferHeight) {
        if (o->buffer)
            wl_buffer_add_listener(o->buffer, &retiredBufferListener, nullptr);
        o->buffer = makeBuffer(static_cast<int>(width), static_cast<int>(height));
        o->bufferWidth = static_cast<int>(width);
        o->bufferHeight = static_cast<int>(height);
        wl_surface_attach(o->surface, o->buffer, 0, 0);
        wl_surface_damage_buffer(o->surface, 0, 0, o->bufferWidth, o->bufferHeight);
    }
    wl_surface_commit(o->surface);
}

void layerClosed(void *data, zwlr_layer_surface_v1 *)
{
    // The output went away, or the compositor no longer wants the surface.
    dropBackground(*static_cast<Output *>(data));
}

const zwlr_layer_surface_v1_listener layerListener = {layerConfigure, layerClosed};

void xdgPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y)
{
    auto *o = static_cast<Output *>(data);
    o->x = x;
    o->y = y;
    o->placed = true;
}

void xdgSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height)
{
    auto *o = static_cast<Output *>(data);
    o->width = width;
    o->height = height;
    o->sized = true;
}

void xdgDone(void *, zxdg_output_v1 *) {}

void xdgName(void *data, zxdg_output_v1 *, const char *name)
{
    static_cast<Output *>(data)->name = name;
}

void xdgDescription(void *, zxdg_output_v1 *, const char *) {}

const zxdg_output_v1_listener xdgOutputListener = {xdgPosition, xdgSize, xdgDone, xdgName,
                                                   xdgDescription};

void setUpOutput(Output &o)
{
    if (!o.xdg) {
        o.xdg = zxdg_output_manager_v1_get_xdg_output(probe.outputManager, o.output);
        zxdg_output_v1_add_listener(o.xdg, &xdgOutputListener, &o);
    }
    if (!o.layer) {
        o.surface = wl_compositor_create_surface(probe.compositor);
        o.layer = zwlr_layer_shell_v1_get_layer_surface(probe.layerShell, o.surface, o.output,
                                                        ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
                                                        "pellmar-wl-probe");
        zwlr_layer_surface_v1_add_listener(o.layer, &layerListener, &o);
        zwlr_layer_surface_v1_set_anchor(
            o.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(o.layer, 0, 0);
        // Over the whole output, panels or not.
        zwlr_layer_surface_v1_set_exclusive_zone(o.layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(o.layer, 0);
        wl_surface_commit(o.surface);
    }
}

void pointerEnter(void *, wl_pointer *, uint32_t, wl_surface *surface, wl_fixed_t x, wl_fixed_t y)
{
    probe.over = nullptr;
    for (Output &o : probe.outputs)
        if (o.surface && o.surface == surface)
            probe.over = &o;
    probe.surfaceX = wl_fixed_to_double(x);
    probe.surfaceY = wl_fixed_to_double(y);
    noteArrival();
}

void pointerLeave(void *, wl_pointer *, uint32_t, wl_surface *)
{
    probe.over = nullptr;
}

void pointerMotion(void *, wl_pointer *, uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    probe.surfaceX = wl_fixed_to_double(x);
    probe.surfaceY = wl_fixed_to_double(y);
    noteArrival();
}

void pointerButton(void *, wl_pointer *, uint32_t, uint32_t, uint32_t, uint32_t state)
{
    if (probe.over && state == WL_POINTER_BUTTON_STATE_PRESSED)
        ++probe.clicks;
}
void pointerAxis(void *, wl_pointer *, uint32_t, uint32_t, wl_fixed_t) {}
void pointerFrame(void *, wl_pointer *) {}
void pointerAxisSource(void *, wl_pointer *, uint32_t) {}
void pointerAxisStop(void *, wl_pointer *, uint32_t, uint32_t) {}
void pointerAxisDiscrete(void *, wl_pointer *, uint32_t, int32_t) {}

// By name: the struct grows with libwayland (Debian 13's has members Debian
// 12's lacks); the events of later versions than the seat's never come.
const wl_pointer_listener pointerListener = [] {
    wl_pointer_listener l{};
    l.enter = pointerEnter;
    l.leave = pointerLeave;
    l.motion = pointerMotion;
    l.button = pointerButton;
    l.axis = pointerAxis;
    l.frame = pointerFrame;
    l.axis_source = pointerAxisSource;
    l.axis_stop = pointerAxisStop;
    l.axis_discrete = pointerAxisDiscrete;
    return l;
}();

// The seat has a pointer only once some pointer device exists: ours.
void seatCapabilities(void *, wl_seat *seat, uint32_t caps)
{
    const bool has = caps & WL_SEAT_CAPABILITY_POINTER;
    if (has && !probe.pointer) {
        probe.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(probe.pointer, &pointerListener, nullptr);
    } else if (!has && probe.pointer) {
        wl_pointer_release(probe.pointer);
        probe.pointer = nullptr;
        probe.over = nullptr;
    }
}

void seatName(void *, wl_seat *, const char *) {}

const wl_seat_listener seatListener = {seatCapabilities, seatName};

void toplevelTitle(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *title)
{
    static_cast<Toplevel *>(data)->title = title;
}

void toplevelAppId(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *appId)
{
    static_cast<Toplevel *>(data)->appId = appId;
}

void toplevelOutputEnter(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {}
void toplevelOutputLeave(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {}

void toplevelState(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_array *states)
{
    auto *t = static_cast<Toplevel *>(data);
    t->fullscreen = t->activated = false;
    const auto *state = static_cast<const uint32_t *>(states->data);
    for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
        if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN)
            t->fullscreen = true;
        else if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
            t->activated = true;
    }
}

void toplevelDone(void *, zwlr_foreign_toplevel_handle_v1 *) {}

void toplevelClosed(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
{
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
    probe.toplevels.remove_if([&](const Toplevel &t) { return &t == data; });
}

void toplevelParent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *) {}

// By name, as the pointer's: the parent event came with version 3.
const zwlr_foreign_toplevel_handle_v1_listener toplevelListener = [] {
    zwlr_foreign_toplevel_handle_v1_listener l{};
    l.title = toplevelTitle;
    l.app_id = toplevelAppId;
    l.output_enter = toplevelOutputEnter;
    l.output_leave = toplevelOutputLeave;
    l.state = toplevelState;
    l.done = toplevelDone;
    l.closed = toplevelClosed;
    l.parent = toplevelParent;
    return l;
}();

void managerToplevel(void *, zwlr_foreign_toplevel_manager_v1 *,
                     zwlr_foreign_toplevel_handle_v1 *handle)
{
    Toplevel &t = probe.toplevels.emplace_back();
    t.handle = handle;
    t.id = ++probe.lastToplevel;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &toplevelListener, &t);
}

void managerFinished(void *, zwlr_foreign_toplevel_manager_v1 *) {}

const zwlr_foreign_toplevel_manager_v1_listener managerListener = {managerToplevel,
                                                                   managerFinished};

Toplevel *toplevelById(int id)
{
    for (Toplevel &t : probe.toplevels)
        if (t.id == id)
            return &t;
    return nullptr;
}

// Titles go into a line of fields: no separators in them.
std::string field(std::string text)
{
    for (char &c : text)
        if (c == '\t' || c == ';' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

void registryGlobal(void *, wl_registry *registry, uint32_t name, const char *interface,
                    uint32_t version)
{
    auto bind = [&](const wl_interface *type, uint32_t highest) {
        return wl_registry_bind(registry, name, type, std::min(version, highest));
    };
    const std::string is = interface;
    if (is == wl_compositor_interface.name) {
        probe.compositor = static_cast<wl_compositor *>(bind(&wl_compositor_interface, 4));
    } else if (is == wl_shm_interface.name) {
        probe.shm = static_cast<wl_shm *>(bind(&wl_shm_interface, 1));
    } else if (is == wl_seat_interface.name && !probe.seat) {
        probe.seat = static_cast<wl_seat *>(bind(&wl_seat_interface, 5));
        wl_seat_add_listener(probe.seat, &seatListener, nullptr);
    } else if (is == zwlr_layer_shell_v1_interface.name) {
        probe.layerShell =
            static_cast<zwlr_layer_shell_v1 *>(bind(&zwlr_layer_shell_v1_interface, 1));
    } else if (is == zwlr_virtual_pointer_manager_v1_interface.name) {
        probe.pointerManager = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            bind(&zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (is == zxdg_output_manager_v1_interface.name) {
        probe.outputManager =
            static_cast<zxdg_output_manager_v1 *>(bind(&zxdg_output_manager_v1_interface, 3));
    } else if (is == zwlr_foreign_toplevel_manager_v1_interface.name) {
        probe.toplevelManager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(
            bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
        zwlr_foreign_toplevel_manager_v1_add_listener(probe.toplevelManager, &managerListener,
                                                      nullptr);
    } else if (is == wl_output_interface.name) {
        Output &o = probe.outputs.emplace_back();
        o.global = name;
        o.output = static_cast<wl_output *>(bind(&wl_output_interface, 3));
        // Outputs plugged in later get their background at once; those of
        // the first round wait until every global is known.
        if (probe.outputManager && probe.layerShell && probe.compositor)
            setUpOutput(o);
    }
}

void registryRemove(void *, wl_registry *, uint32_t name)
{
    for (auto it = probe.outputs.begin(); it != probe.outputs.end(); ++it) {
        if (it->global != name)
            continue;
        dropBackground(*it);
        if (it->xdg)
            zxdg_output_v1_destroy(it->xdg);
        if (wl_output_get_version(it->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(it->output);
        else
            wl_output_destroy(it->output);
        probe.outputs.erase(it);
        return;
    }
}

const wl_registry_listener registryListener = {registryGlobal, registryRemove};

void roundtrip()
{
    if (wl_display_roundtrip(probe.display) < 0)
        fail("lost the compositor");
}

// Reads and handles the compositor's events until `until`, or until some
// have been handled when `once`. False at the deadline.
bool dispatchUntil(const timespec &until, bool once)
{
    const int fd = wl_display_get_fd(probe.display);
    for (;;) {
        while (wl_display_prepare_read(probe.display) != 0)
            wl_display_dispatch_pending(probe.display);
        if (wl_display_flush(probe.display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(probe.display);
            fail("lost the compositor");
        }
        const int64_t left = microsBetween(now(), until);
        if (left <= 0) {
            wl_display_cancel_read(probe.display);
            return false;
        }
        const timespec wait = later(timespec{}, left);
        pollfd fds = {fd, POLLIN, 0};
        const int n = ppoll(&fds, 1, &wait, nullptr);
        if (n < 0 && errno != EINTR) {
            wl_display_cancel_read(probe.display);
            fail("poll failed");
        }
        if (n > 0) {
            if (wl_display_read_events(probe.display) < 0)
                fail("lost the compositor");
        } else {
            wl_display_cancel_read(probe.display);
        }
        if (wl_display_dispatch_pending(probe.display) < 0)
            fail("lost the compositor");
        if (once && n > 0)
            return true;
    }
}

bool ready(const Output &o)
{
    return o.placed && o.sized && o.width > 0 && o.height > 0;
}

// The extent absolute motion is relative to: the box around all outputs,
// as the compositor lays them out.
bool layoutBox(int &left, int &top, int &width, int &height)
{
    int right = 0, bottom = 0;
    bool any = false;
    for (const Output &o : probe.outputs) {
        if (!ready(o))
            continue;
        if (!any) {
            left = o.x;
            top = o.y;
            right = o.x + o.width;
            bottom = o.y + o.height;
            any = true;
        }
        left = std::min(left, o.x);
        top = std::min(top, o.y);
        right = std::max(right, o.x + o.width);
        bottom = std::max(bottom, o.y + o.height);
    }
    width = right - left;
    height = bottom - top;
    return any;
}

std::string command(const std::string &line)
{
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    if (verb == "move") {
        int x = 0, y = 0, left = 0, top = 0, width = 0, height = 0;
        if (!(in >> x >> y))
            return "error: move X Y";
        roundtrip(); // the layout as it is now
        if (!layoutBox(left, top, width, height))
            return "error: no outputs";
        const int dx = std::clamp(x - left, 0, width - 1);
        const int dy = std::clamp(y - top, 0, height - 1);
        zwlr_virtual_pointer_v1_motion_absolute(
            probe.device, nowMs(), static_cast<uint32_t>(dx), static_cast<uint32_t>(dy),
            static_cast<uint32_t>(width), static_cast<uint32_t>(height));
        zwlr_virtual_pointer_v1_frame(probe.device);
        roundtrip();
        return "ok";
    }
    if (verb == "rel") {
        double dx = 0, dy = 0;
        if (!(in >> dx >> dy))
            return "error: rel DX DY";
        zwlr_virtual_pointer_v1_motion(probe.device, nowMs(), wl_fixed_from_double(dx),
                                       wl_fixed_from_double(dy));
        zwlr_virtual_pointer_v1_frame(probe.device);
        roundtrip();
        return "ok";
    }
    if (verb == "button") {
        std::string state;
        in >> state;
        if (state != "down" && state != "up")
            return "error: button down|up";
        zwlr_virtual_pointer_v1_button(probe.device, nowMs(), BTN_LEFT,
                                       state == "down" ? WL_POINTER_BUTTON_STATE_PRESSED
                                                       : WL_POINTER_BUTTON_STATE_RELEASED);
        zwlr_virtual_pointer_v1_frame(probe.device);
        roundtrip();
        return "ok";
    }
    if (verb == "clicks") {
        roundtrip();
        return "clicks " + std::to_string(probe.clicks);
    }
    if (verb == "where") {
        roundtrip();
        if (!probe.over)
            return "unknown";
        // Surface-local, and during a drag possibly beyond the surface: the
        // output's place still turns it into layout coordinates.
        long x = 0, y = 0;
        pointerAt(x, y);
        return "at " + std::to_string(x) + " " + std::to_string(y);
    }
    if (verb == "outputs") {
        roundtrip();
        std::string out;
        for (const Output &o : probe.outputs) {
            if (!ready(o))
                continue;
            if (!out.empty())
                out += ";";
            out += (o.name.empty() ? "?" : o.name) + " " + std::to_string(o.x) + " " +
                   std::to_string(o.y) + " " + std::to_string(o.width) + " " +
                   std::to_string(o.height);
        }
        return out;
    }
    if (verb == "react") {
        int x = 0, y = 0, left = 0, top = 0, width = 0, height = 0;
        long tx = 0, ty = 0, ms = 0;
        if (!(in >> x >> y >> tx >> ty >> ms) || ms <= 0)
            return "error: react X Y TX TY MS [DX DY]";
        double stepX = 0, stepY = 0;
        const bool onwards = static_cast<bool>(in >> stepX >> stepY);
        roundtrip();
        if (!layoutBox(left, top, width, height))
            return "error: no outputs";
        const int dx = std::clamp(x - left, 0, width - 1);
        const int dy = std::clamp(y - top, 0, height - 1);
        const auto put = [&] {
            zwlr_virtual_pointer_v1_motion_absolute(
                probe.device, nowMs(), static_cast<uint32_t>(dx), static_cast<uint32_t>(dy),
                static_cast<uint32_t>(width), static_cast<uint32_t>(height));
            zwlr_virtual_pointer_v1_frame(probe.device);
        };
        if (onwards) {
            put();
            roundtrip();
        }
        probe.targetX = tx;
        probe.targetY = ty;
        probe.arrived = false;
        probe.awaiting = true;
        if (onwards) {
            zwlr_virtual_pointer_v1_motion(probe.device, nowMs(), wl_fixed_from_double(stepX),
                                           wl_fixed_from_double(stepY));
            zwlr_virtual_pointer_v1_frame(probe.device);
        } else {
            put();
        }
        const timespec sent = now();
        if (wl_display_flush(probe.display) < 0 && errno != EAGAIN)
            fail("lost the compositor");
        // Woken by the compositor's events only: asking for the pointer in a
        // loop would time our own traffic as much as the jump.
        const timespec deadline = later(sent, ms * 1000);
        while (!probe.arrived && dispatchUntil(deadline, true)) {
        }
        probe.awaiting = false;
        roundtrip();
        if (!probe.arrived)
            return "timeout";
        return "us " + std::to_string(microsBetween(sent, probe.arrival));
    }
    if (verb == "wander") {
        double rate = 0, seconds = 0;
        if (!(in >> rate >> seconds) || rate <= 0 || seconds < 0)
            return "error: wander RATE SECONDS";
        // Right, down, left, up, 50 steps of 4 px each.
        static const int steps[4][2] = {{4, 0}, {0, 4}, {-4, 0}, {0, -4}};
        const timespec start = now();
        const int64_t total = std::llround(rate * seconds);
        for (int64_t k = 0; k < total; ++k) {
            // Due on a fixed schedule, as a mouse reports; each sent without
            // a round trip, so the compositor has only the motion to do.
            const timespec due = later(start, std::llround(1e6 * static_cast<double>(k) / rate));
            // Our backgrounds' events are read meanwhile: unread, they would
            // fill the compositor's buffer for us.
            dispatchUntil(due, false);
            const int *step = steps[(k / 50) % 4];
            zwlr_virtual_pointer_v1_motion(probe.device, nowMs(), wl_fixed_from_int(step[0]),
                                           wl_fixed_from_int(step[1]));
            zwlr_virtual_pointer_v1_frame(probe.device);
            if (wl_display_flush(probe.display) < 0 && errno != EAGAIN)
                fail("lost the compositor");
        }
        roundtrip();
        return "sent " + std::to_string(total);
    }
    if (verb == "windows" || verb == "close" || verb == "fullscreen") {
        if (!probe.toplevelManager)
            return "error: the compositor lacks zwlr_foreign_toplevel_manager_v1";
        roundtrip();
        if (verb == "windows") {
            std::string out;
            for (const Toplevel &t : probe.toplevels) {
                std::string states = t.fullscreen ? "fullscreen" : "";
                if (t.activated)
                    states += states.empty() ? "activated" : ",activated";
                out += (out.empty() ? "" : ";") + std::to_string(t.id) + "\t" + field(t.appId) +
                       "\t" + (states.empty() ? "-" : states) + "\t" + field(t.title);
            }
            return out;
        }
        int id = 0;
        if (!(in >> id))
            return "error: " + verb + " ID";
        Toplevel *t = toplevelById(id);
        if (!t)
            return "error: no window " + std::to_string(id);
        if (verb == "close") {
            zwlr_foreign_toplevel_handle_v1_close(t->handle);
        } else {
            std::string state;
            in >> state;
            if (state != "on" && state != "off")
                return "error: fullscreen ID on|off";
            if (zwlr_foreign_toplevel_handle_v1_get_version(t->handle) <
                ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_SET_FULLSCREEN_SINCE_VERSION)
                return "error: the compositor's foreign toplevels cannot go full screen";
            zwlr_foreign_toplevel_handle_v1_activate(t->handle, probe.seat);
            if (state == "on")
                zwlr_foreign_toplevel_handle_v1_set_fullscreen(t->handle, nullptr);
            else
                zwlr_foreign_toplevel_handle_v1_unset_fullscreen(t->handle);
        }
        roundtrip();
        return "ok";
    }
    if (verb == "quit")
        return "bye";
    return "error: unknown command '" + verb + "'";
}

} // namespace

int main()
{
    // Answers go out as soon as they are written: the harness waits for them.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    probe.display = wl_display_connect(nullptr);
    if (!probe.display)
        fail("cannot connect to the compositor (WAYLAND_DISPLAY)");
    probe.registry = wl_display_get_registry(probe.display);
    wl_registry_add_listener(probe.registry, &registryListener, nullptr);
    roundtrip();
    if (!probe.compositor || !probe.shm || !probe.seat)
        fail("the compositor lacks wl_compositor, wl_shm or wl_seat");
    if (!probe.layerShell)
        fail("the compositor lacks zwlr_layer_shell_v1");
    if (!probe.pointerManager)
        fail("the compositor lacks zwlr_virtual_pointer_manager_v1");
    if (!probe.outputManager)
        fail("the compositor lacks zxdg_output_manager_v1");
    probe.device =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(probe.pointerManager, probe.seat);
    for (Output &o : probe.outputs)
        setUpOutput(o);
    // Names and places of the outputs, the seat's new pointer, and the
    // backgrounds' first configure and commit.
    roundtrip();
    roundtrip();

    const int fd = wl_display_get_fd(probe.display);
    std::string pending;
    for (;;) {
        while (wl_display_prepare_read(probe.display) != 0)
            wl_display_dispatch_pending(probe.display);
        if (wl_display_flush(probe.display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(probe.display);
            fail("lost the compositor");
        }
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {fd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            wl_display_cancel_read(probe.display);
            if (errno == EINTR)
                continue;
            fail("poll failed");
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (wl_display_read_events(probe.display) < 0)
                fail("lost the compositor");
        } else {
            wl_display_cancel_read(probe.display);
        }
        if (wl_display_dispatch_pending(probe.display) < 0)
            fail("lost the compositor");
        if (!(fds[0].revents & (POLLIN | POLLHUP)))
            continue;
        char chunk[4096];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0)
            break; // the harness has gone
        pending.append(chunk, static_cast<size_t>(got));
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.find_first_not_of(" \t\r") == std::string::npos)
                continue;
            const std::string answer = command(line);
            std::printf("%s\n", answer.c_str());
            if (answer == "bye") {
                wl_display_disconnect(probe.display);
                return 0;
            }
        }
    }
    wl_display_disconnect(probe.display);
    return 0;
}
