"""A real X desktop for end-to-end tests: Xorg with the dummy driver and
RandR monitors laid out side by side, the real pellmar on it, and xdotool
to drive the pointer. Every process started here is ended by its own id."""
import ctypes
import ctypes.util
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE = os.environ.get("PELLMAR_SOURCE_DIR",
                        os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
PELLMAR = os.environ.get("PELLMAR_BIN", os.path.join(SOURCE, "build", "pellmar"))
VIRTUAL_DESKTOP = os.path.join(SOURCE, "tools", "virtual-desktop.sh")

TWO_SCREENS = "1920x1080+0+0 1280x1024+1920+0"


def end(proc, timeout=10, sig=signal.SIGTERM):
    """Ends one process by its id: sig first, then SIGKILL."""
    if proc is None:
        return None
    if proc.poll() is None:
        try:
            proc.send_signal(sig)
        except ProcessLookupError:
            pass
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    return proc.returncode


def wait_for(predicate, timeout=5.0, step=0.01):
    """Polls until predicate() is true; returns its last value."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


def pixel(path, x, y):
    """The colour of one pixel of a PNG as (r, g, b), 0 to 255 each."""
    fx = ",".join(f"%[fx:int(255*p{{{x},{y}}}.{c}+0.5)]" for c in "rgb")
    out = subprocess.run(["convert", path, "-format", fx, "info:"], capture_output=True,
                         text=True, check=True, timeout=60).stdout
    return tuple(int(v) for v in out.strip().split(","))


class XClient:
    """An outside X client of its own: moves and reads the pointer as a
    device or another program would, and asks windows to close."""

    class _ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                    ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                    ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

    def __init__(self, display):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
        x = self.x11
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XQueryPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 7
        x.XWarpPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong] + [ctypes.c_int] * 6
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeRelativeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int,
                                                           ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                   ctypes.c_ulong]
        x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XKeysymToKeycode.restype = ctypes.c_ubyte
        x.XStringToKeysym.argtypes = [ctypes.c_char_p]
        x.XStringToKeysym.restype = ctypes.c_ulong
        self.dpy = x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)
        self.root = x.XDefaultRootWindow(self.dpy)

    def close(self):
        if self.dpy:
            self.x11.XCloseDisplay(self.dpy)
            self.dpy = None

    def move(self, x, y, wait=True):
        """Device-like motion (XTest), as a mouse or an input-sharing tool
        makes. Without `wait`, the motion is sent and not waited for, as a
        mouse sends it: no round trip to the X server."""
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, x, y, 0)
        if wait:
            self.x11.XSync(self.dpy, 0)
        else:
            self.x11.XFlush(self.dpy)

    def push(self, dx, dy):
        """The device moves by (dx, dy), as a mouse does, pinned or not."""
        self.xtst.XTestFakeRelativeMotionEvent(self.dpy, dx, dy, 0)
        self.x11.XSync(self.dpy, 0)

    def key(self, name, down):
        """Presses or releases a key, by its keysym name ("Alt_L")."""
        code = self.x11.XKeysymToKeycode(self.dpy, self.x11.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 1 if down else 0, 0)
        self.x11.XSync(self.dpy, 0)

    def button(self, number, down):
        self.xtst.XTestFakeButtonEvent(self.dpy, number, 1 if down else 0, 0)
        self.x11.XSync(self.dpy, 0)

    def warp(self, x, y):
        """A program putting the pointer somewhere, as `xdotool mousemove` does."""
        self.x11.XWarpPointer(self.dpy, 0, self.root, 0, 0, 0, 0, x, y)
        self.x11.XSync(self.dpy, 0)

    def position(self):
        r, c = ctypes.c_ulong(), ctypes.c_ulong()
        rx, ry, wx, wy = ctypes.c_int(), ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
        m = ctypes.c_uint()
        self.x11.XQueryPointer(self.dpy, self.root, ctypes.byref(r), ctypes.byref(c), ctypes.byref(rx),
                               ctypes.byref(ry), ctypes.byref(wx), ctypes.byref(wy), ctypes.byref(m))
        return rx.value, ry.value

    def selection_owner(self, name):
        self.x11.XGetSelectionOwner.restype = ctypes.c_ulong
        self.x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        return self.x11.XGetSelectionOwner(self.dpy, self.x11.XInternAtom(self.dpy, name, 0))

    def request_close(self, window):
        """What a window manager's close button sends: WM_DELETE_WINDOW."""
        ev = self._ClientMessage()
        ev.type = 33  # ClientMessage
        ev.window = int(window)
        ev.message_type = self.x11.XInternAtom(self.dpy, b"WM_PROTOCOLS", 0)
        ev.format = 32
        ev.data[0] = self.x11.XInternAtom(self.dpy, b"WM_DELETE_WINDOW", 0)
        self.x11.XSendEvent(self.dpy, int(window), 0, 0, ctypes.byref(ev))
        self.x11.XSync(self.dpy, 0)


class ClientWindow(XClient):
    """A plain top-level window, as an application has one, on a client of
    its own: the window manager frames and focuses it, the client asks the
    window manager for states as EWMH has clients do, and the window goes
    when the client closes."""

    SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
    SUBSTRUCTURE_REDIRECT_MASK = 1 << 20

    def __init__(self, display, name, x=100, y=100, width=400, height=300):
        super().__init__(display)
        lib = self.x11
        lib.XCreateSimpleWindow.restype = ctypes.c_ulong
        lib.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
            [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
        lib.XStoreName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_char_p]
        lib.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.window = lib.XCreateSimpleWindow(self.dpy, self.root, x, y, width, height, 0, 0, 0)
        lib.XStoreName(self.dpy, self.window, name.encode())
        lib.XMapWindow(self.dpy, self.window)
        lib.XSync(self.dpy, 0)

    def _ask(self, message, *data):
        ev = self._ClientMessage()
        ev.type = 33  # ClientMessage
        ev.window = self.window
        ev.message_type = self.x11.XInternAtom(self.dpy, message, 0)
        ev.format = 32
        for i, value in enumerate(data):
            ev.data[i] = value
        self.x11.XSendEvent(self.dpy, self.root, 0,
                            self.SUBSTRUCTURE_NOTIFY_MASK | self.SUBSTRUCTURE_REDIRECT_MASK,
                            ctypes.byref(ev))
        self.x11.XSync(self.dpy, 0)

    def activate(self):
        """Asks for the focus, as a pager does (source 2)."""
        self._ask(b"_NET_ACTIVE_WINDOW", 2, 0, 0)

    def set_fullscreen(self, on):
        """Asks to fill its monitor, or to leave it (1: add, 0: remove)."""
        self._ask(b"_NET_WM_STATE", 1 if on else 0,
                  self.x11.XInternAtom(self.dpy, b"_NET_WM_STATE_FULLSCREEN", 0), 0, 1)


class MotionWatcher(XClient):
    """Hears the pointer move as an X client hears it, without asking the
    X server again and again: an input-only window over the whole screen,
    above every other, receives a MotionNotify for each move, whether a
    device or a program made it. Used to time Pellmar's reactions without a
    reader that keeps the X server and a core busy meanwhile."""

    POINTER_MOTION_MASK = 1 << 6
    MOTION_NOTIFY = 6

    def __init__(self, display):
        super().__init__(display)
        x = self.x11
        x.XCreateWindow.restype = ctypes.c_ulong
        x.XCreateWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
            [ctypes.c_uint] * 3 + [ctypes.c_int, ctypes.c_uint, ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
        x.XMapRaised.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        # XSetWindowAttributes as longs: event_mask is the tenth,
        # override_redirect the twelfth.
        attributes = (ctypes.c_long * 15)()
        attributes[9] = self.POINTER_MOTION_MASK
        attributes[11] = 1
        cw_override_redirect, cw_event_mask = 1 << 9, 1 << 11
        input_only = 2
        self.window = x.XCreateWindow(self.dpy, self.root, 0, 0, x.XDisplayWidth(self.dpy, 0),
                                      x.XDisplayHeight(self.dpy, 0), 0, 0, input_only, None,
                                      cw_override_redirect | cw_event_mask, attributes)
        x.XMapRaised(self.dpy, self.window)
        x.XSync(self.dpy, 0)
        self.event = (ctypes.c_long * 24)()  # an XEvent

    def forget(self):
        """Drops every motion heard so far."""
        self.x11.XSync(self.dpy, 0)
        while self.x11.XPending(self.dpy):
            self.x11.XNextEvent(self.dpy, self.event)

    def columns(self):
        """The column of every motion heard since the last call (or
        forget()), in order."""
        self.x11.XSync(self.dpy, 0)
        fields = ctypes.cast(self.event, ctypes.POINTER(ctypes.c_int))
        seen = []
        while self.x11.XPending(self.dpy):
            self.x11.XNextEvent(self.dpy, self.event)
            if fields[0] == self.MOTION_NOTIFY:
                seen.append(fields[18])
        return seen

    def wait_off(self, column, timeout=2.0, row=False):
        """Waits for a motion to anywhere but `column` (a row where `row`);
        returns when it was heard (time.perf_counter()), or None."""
        end = time.perf_counter() + timeout
        fields = ctypes.cast(self.event, ctypes.POINTER(ctypes.c_int))
        # XMotionEvent: type, then eight longs' worth before x, y, x_root,
        # y_root.
        at = 19 if row else 18
        while True:
            while self.x11.XPending(self.dpy):
                self.x11.XNextEvent(self.dpy, self.event)
                if fields[0] == self.MOTION_NOTIFY and fields[at] != column:
                    return time.perf_counter()
            left = end - time.perf_counter()
            if left <= 0:
                return None
            select.select([self.x11.XConnectionNumber(self.dpy)], [], [], left)


class PointerReader:
    """Waits on the pointer() of a desktop, and moves it there as a device
    does: put() it somewhere, then rel() it on."""

    def wait_pointer(self, expected, timeout=10.0):
        """Waits until the pointer is at `expected`; returns where it is."""
        wait_for(lambda: self.pointer() == tuple(expected), timeout, 0.02)
        return self.pointer()

    def stays(self, expected, seconds=0.5):
        """True if the pointer stays at `expected` for a while."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if self.pointer() != tuple(expected):
                return False
            time.sleep(0.02)
        return True

    def arrive(self, start, motion):
        """The pointer put at `start`, then moved by `motion` as a mouse
        moves it."""
        self.put(*start)
        self.motion = motion
        self.rel(*motion)

    def held(self, point):
        """After arrive(): the pointer stays at `point` on the edge."""
        return self.stays(point)


class Desktop(PointerReader):
    def __init__(self, layout=TWO_SCREENS):
        self.layout = layout
        self.dir = tempfile.mkdtemp(prefix="pellmar-desktop-")
        out = subprocess.run([VIRTUAL_DESKTOP, "start", self.dir, layout], check=True,
                             capture_output=True, text=True, timeout=60)
        self.display = out.stdout.strip().splitlines()[-1]
        self.env = dict(os.environ, DISPLAY=self.display)
        self.tray = None
        self.extras = []
        self.x = XClient(self.display)

    def start_tray(self):
        """A system tray host (trayer) on this desktop."""
        self.tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                                      "request", "--height", "24", "--transparent", "false"],
                                     env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        assert wait_for(lambda: self.x.selection_owner(b"_NET_SYSTEM_TRAY_S0"), 10), \
            "trayer did not take the system tray"

    def start_desktop(self, compositor=True):
        """A real desktop on this display: a window manager (openbox), a panel
        with a tray and a task list (tint2) and, if asked, a compositor
        (picom). Each is ended by its own id when the desktop closes."""
        commands = [["openbox"], ["tint2"]]
        if compositor:
            commands.append(["picom", "--backend", "xrender"])
        for command in commands:
            proc = subprocess.Popen(command, env=self.env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            self.extras.append(proc)
        assert wait_for(lambda: self.x.selection_owner(b"WM_S0"), 10), "openbox did not start"
        assert wait_for(lambda: self.x.selection_owner(b"_NET_SYSTEM_TRAY_S0"), 10), \
            "tint2 did not take the tray"
        if compositor:
            assert wait_for(lambda: self.x.selection_owner(b"_NET_WM_CM_S0"), 10), \
                "picom did not start"

    def server_pid(self):
        with open(os.path.join(self.dir, "xorg.pid")) as f:
            return int(f.read())

    def close(self):
        for proc in [self.tray, *self.extras]:
            end(proc)
        self.x.close()
        subprocess.run([VIRTUAL_DESKTOP, "stop", self.dir], check=False, timeout=30)
        shutil.rmtree(self.dir, ignore_errors=True)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                              capture_output=True, text=True, timeout=10).stdout

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def put(self, x, y):
        self.x.move(x, y)

    def rel(self, dx, dy):
        self.x.push(dx, dy)

    def pointer(self):
        out = self.xdotool("getmouselocation")
        m = re.search(r"x:(-?\d+) y:(-?\d+)", out)
        return int(m.group(1)), int(m.group(2))

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y, "click", button)

    def monitors(self):
        out = subprocess.run(["xrandr", "--listmonitors"], env=self.env, check=True,
                             capture_output=True, text=True).stdout
        return [tuple(map(int, m)) for m in re.findall(r" (\d+)/\d+x(\d+)/\d+\+(-?\d+)\+(-?\d+)", out)]

    def xrandr(self, *args):
        """One xrandr request, then a full query: until then programs that
        ask for the current resources (Qt does) may not see the change."""
        subprocess.run(["xrandr", *map(str, args)], env=self.env, check=True, timeout=30,
                       capture_output=True)
        subprocess.run(["xrandr", "--query"], env=self.env, check=True, timeout=30,
                       capture_output=True)

    def plug(self, output, size, x, y):
        """Turns a dummy output on as a monitor of `size` ("WxH") at (x, y),
        as plugging one in or resizing it does."""
        w, h = map(int, size.split("x"))
        line = [(w + 160) * (h + 30) * 60 / 1e6, w, w + 48, w + 80, w + 160, h, h + 3, h + 10,
                h + 30, "+hsync", "-vsync"]
        for args in (["--newmode", "pm" + size, *line], ["--addmode", output, "pm" + size]):
            subprocess.run(["xrandr", *map(str, args)], env=self.env, timeout=30,
                           capture_output=True)  # fails harmlessly if already there
        self.xrandr("--output", output, "--mode", "pm" + size, "--pos", f"{x}x{y}")

    def unplug(self, output):
        self.xrandr("--output", output, "--off")

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, timeout=30)


class RunningProgram:
    """What every test does with a started pellmar: `proc`, its log at
    `log_path` (open as `log`) and its settings file `settings_file`."""

    def _write_settings(self, settings):
        """The settings file in `self.config`, with `settings` under
        [General] if given (grouped keys spelt with backslashes)."""
        self.settings_file = os.path.join(self.config, "Brenvik", "Pellmar.conf")
        if settings is None:
            return
        os.makedirs(os.path.dirname(self.settings_file), exist_ok=True)
        with open(self.settings_file, "w") as f:
            f.write("[General]\n")
            for key, value in settings.items():
                f.write(f"{key}={str(value).lower()}\n")

    def stop(self, sig=signal.SIGTERM, timeout=10):
        """Ends the program by signal; returns its exit status."""
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            status = self.proc.wait(timeout)
            if status != 0:
                # Sanitizer reports and the like, for whoever reads the failure.
                sys.stderr.write(f"pellmar ended with {status}:\n{self.output()}\n")
            return status
        finally:
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
            self.log.close()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if not self.log.closed:
            self.log.close()

    def output(self):
        if not self.log.closed:
            self.log.flush()
        with open(self.log_path) as f:
            return f.read()

    def stored(self, section="General"):
        """One section of the settings file as a dict of strings."""
        values, current = {}, None
        with open(self.settings_file) as f:
            for line in f:
                line = line.strip()
                if line.startswith("[") and line.endswith("]"):
                    current = line[1:-1]
                elif "=" in line and current == section:
                    k, v = line.split("=", 1)
                    values[k] = v
        return values


class Pellmar(RunningProgram):
    """The real program, with its own settings folder."""

    def __init__(self, desktop, settings=None, config_dir=None, extra_env=None):
        self.desktop = desktop
        self.config = config_dir or tempfile.mkdtemp(prefix="pellmar-config-")
        self._write_settings(settings)
        env = dict(desktop.env, XDG_CONFIG_HOME=self.config,
                   XDG_RUNTIME_DIR=os.path.join(self.config, "run"),
                   QT_LOGGING_RULES="default.debug=true")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        env.update(extra_env or {})
        self.log_path = os.path.join(self.config, "pellmar.log")
        self.log = open(self.log_path, "w")
        self.proc = subprocess.Popen([PELLMAR], env=env, stdout=self.log, stderr=subprocess.STDOUT)
        self.window = None

    def wait_window(self, timeout=10.0):
        """Waits for the main window to be mapped; returns its id."""
        def find():
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Pellmar$"],
                               env=self.desktop.env, capture_output=True, text=True)
            ids = r.stdout.split()
            return ids[0] if ids else None
        self.window = wait_for(find, timeout, 0.05)
        assert self.window, "the Pellmar window did not appear:\n" + self.output()
        # Give the engine its first samples.
        time.sleep(0.2)
        return self.window

    def window_origin(self):
        out = self.desktop.xdotool("getwindowgeometry", self.window)
        m = re.search(r"Position: (-?\d+),(-?\d+)", out)
        return int(m.group(1)), int(m.group(2))

    def keys(self, *keys):
        """Types keys into the main window, which takes the focus first."""
        self.desktop.xdotool("windowfocus", "--sync", self.window)
        for key in keys:
            self.desktop.xdotool("key", key)
        time.sleep(0.1)

    def click_canvas(self, point):
        """A press on the screen map, at canvas coordinates."""
        ox, oy = self.window_origin()
        self.desktop.click(ox + 10 + point[0], oy + 10 + point[1])
        time.sleep(0.1)

    def windows(self):
        """The program's visible top-level windows: {id: (w, h, x, y)}."""
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
                           env=self.desktop.env, capture_output=True, text=True)
        found = {}
        for wid in r.stdout.split():
            out = subprocess.run(["xwininfo", "-id", wid], env=self.desktop.env,
                                 capture_output=True, text=True).stdout
            if "IsViewable" not in out:
                continue
            g = {k: int(v) for k, v in re.findall(r"(Absolute upper-left [XY]|Width|Height):\s+(-?\d+)", out)}
            found[wid] = (g["Width"], g["Height"], g["Absolute upper-left X"], g["Absolute upper-left Y"])
        return found

    def curtains(self):
        """The curtain windows now up, as sorted (w, h, x, y): all but the
        main window and small ones (the tray icon, its notice, menus)."""
        return sorted(g for wid, g in self.windows().items()
                      if int(wid) != int(self.window) and g[0] >= 400 and g[1] >= 400)

    def tray_icon(self):
        """Centre of the tray icon: the program's small window in the tray."""
        for g in self.windows().values():
            if g[0] <= 64 and g[1] <= 64:
                return g[2] + g[0] // 2, g[3] + g[1] // 2
        return None

    def main_window_visible(self):
        out = subprocess.run(["xwininfo", "-id", str(self.window)], env=self.desktop.env,
                             capture_output=True, text=True).stdout
        return "IsViewable" in out

    def opacity(self, wid):
        out = subprocess.run(["xprop", "-id", str(wid), "_NET_WM_WINDOW_OPACITY"], env=self.desktop.env,
                             capture_output=True, text=True).stdout
        m = re.search(r"= (\d+)", out)
        return int(m.group(1)) / 0xFFFFFFFF if m else 1.0

    def cpu_seconds(self):
        return cpu_seconds(self.proc.pid)


def cpu_seconds(pid):
    """CPU time of a process, all its threads, in seconds, to the nanosecond
    (the scheduler's own count, not the 10 ms ticks of /proc/PID/stat)."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError):
            pass  # a thread that has just ended
    return total / 1e9


def rss_kib(pid):
    """Resident memory of a process, in KiB."""
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class DesktopTestCase(unittest.TestCase):
    """Tests that share one desktop of `layout` between them."""
    layout = TWO_SCREENS

    @classmethod
    def setUpClass(cls):
        cls.desk = Desktop(cls.layout)

    @classmethod
    def tearDownClass(cls):
        cls.desk.close()


def desktop_for(test, layout=TWO_SCREENS):
    """A desktop that lives as long as the test."""
    desk = Desktop(layout)
    test.addCleanup(desk.close)
    return desk


def pellmar_for(test, desk, settings=None, pointer=(700, 400), **kwargs):
    """The real program on desk for the length of the test, its window up,
    started with the pointer away from every edge."""
    if pointer:
        desk.move(*pointer)
    app = Pellmar(desk, settings, **kwargs)
    test.addCleanup(app.kill)
    app.wait_window()
    return app


def canvas_markers(screens, canvas=(561, 321), depth=15, gap=10):
    """Where the main window's screen map draws each wrap marker: a dict
    {(screen, edge): (x, y)} of a point well inside each marker, in canvas
    coordinates. screens: (width, height, left, top) in table order."""
    avail_w, avail_h = canvas[0] - 3, canvas[1] - 3
    total_w = sum(s[0] for s in screens)
    top = min(s[3] for s in screens)
    span = abs(max(s[3] + s[1] - 1 for s in screens) - top)
    n = len(screens)
    k = 1
    while not (total_w // k + (n - 1) * gap <= avail_w and span // k <= avail_h):
        k += 1
    width, height = total_w // k + (n - 1) * gap, span // k
    off_x, off_y = (avail_w - width) // 2 + 1, (avail_h - height) // 2 + 1
    points = {}
    left = off_x
    for i, (w, h, _x, y) in enumerate(screens):
        sw, sh = w // k, h // k
        t = off_y + (y - top) // k
        r, b = left + sw, t + sh
        mid_x, mid_y = (left + r) // 2, (t + b) // 2
        points[(i, "top")] = (mid_x, t + depth // 2)
        points[(i, "bottom")] = (mid_x, b - depth // 2)
        if i == 0:
            points[(i, "left")] = (left + depth // 2, mid_y)
        if i == n - 1:
            points[(i, "right")] = (r - depth // 2, mid_y)
        left = r + gap
    return points
