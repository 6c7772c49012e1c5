"""One driver per desktop for the cases of behaviours.py, on the harnesses
of desktop.py, wayland.py and gnome.py. A driver starts its desktop with
monitors of the given sizes side by side, tops level, and the real pellmar
there; puts the pointer somewhere as a program does, moves it on as a
device does and reads it back; runs pellmar with arguments as the session
runs it; switches a monitor off and on; and reads what Pellmar shows of
itself: its curtains and what it leaves behind."""
import os
import shutil
import subprocess
import time

from desktop import PELLMAR, ClientWindow, Desktop, pellmar_for, wait_for
from gnome import (EXTENSION_UUID, GnomeShell, gnome_pellmar_for, install_extension, missing,
                   service, to_pellmar_window)
from wayland import Sway, end, wayland_pellmar_for


def places(sizes):
    """[(w, h)] side by side -> [(w, h, x, y)]"""
    out, x = [], 0
    for w, h in sizes:
        out.append((w, h, x, 0))
        x += w
    return out


def layout(screens):
    return " ".join(f"{w}x{h}+{x}+{y}" for w, h, x, y in screens)


def stays(read, point, seconds=0.5):
    """True if read() gives `point` throughout."""
    end_at = time.monotonic() + seconds
    while time.monotonic() < end_at:
        if read() != tuple(point):
            return False
        time.sleep(0.02)
    return True


class Driver:
    """What every desktop shares; `sizes` [(w, h)] of its monitors."""
    settings_default = {"boolShowToolTip": False}

    def __init__(self, sizes):
        self.screens = places(sizes)
        self.test = None

    def start(self, test, settings=None, config=None):
        """Pellmar with `settings` (none: no settings file), its window up,
        for the length of `test`."""
        self.test = test
        if settings is not None:
            settings = dict(self.settings_default, **settings)
        return self._start(test, settings, config)

    def arrive(self, start, motion):
        """The pointer put at `start`, then moved by `motion` as a mouse
        moves it."""
        self.put(*start)
        self.motion = motion
        self.rel(*motion)

    def stays(self, point):
        return stays(self.pointer, point)

    def held(self, point):
        """After arrive(): the pointer stays at `point` on the edge."""
        return self.stays(point)

    def wait_pointer(self, point, timeout=10):
        wait_for(lambda: self.pointer() == tuple(point), timeout, 0.02)
        return self.pointer()

    def monitor_of(self, x, y):
        return next(i for i, (w, h, l, t) in enumerate(self.screens)
                    if l <= x < l + w and t <= y < t + h)

    def verb(self, app, *words):
        """`pellmar WORDS` beside the running `app`: (status, stderr)."""
        status, _out, err = self.run(*words, app=app)
        return status, err


class X11(Driver):
    """Xorg with dummy monitors, moved by XTest as a device moves it."""
    backend = "X11"
    denied = set()

    @staticmethod
    def missing():
        return None

    def __init__(self, sizes, cleanup):
        super().__init__(sizes)
        self.desk = Desktop(layout(self.screens))
        cleanup(self.desk.close)
        self.names = [f"DUMMY{i}" for i in range(len(sizes))]

    def run(self, *args, app=None):
        runtime = os.path.join(app.config, "run") if app else self.desk.dir
        r = subprocess.run([PELLMAR, *args], env=dict(self.desk.env, XDG_RUNTIME_DIR=runtime),
                           capture_output=True, text=True, timeout=60)
        return r.returncode, r.stdout, r.stderr

    def _start(self, test, settings, config):
        self.window = None
        return pellmar_for(test, self.desk, settings, config_dir=config)

    def put(self, x, y):
        self.desk.x.move(x, y)

    def rel(self, dx, dy):
        self.desk.x.push(dx, dy)

    def pointer(self):
        return self.desk.pointer()

    def key(self, down):
        self.desk.x.key("Shift_L", down)

    def button(self, down):
        self.desk.x.button(1, down)

    def curtained(self, app):
        return sorted(self.monitor_of(x, y) for _w, _h, x, y in app.curtains())

    def leftovers(self, app):
        return list(app.windows())

    def unplug(self, i):
        self.desk.unplug(self.names[i])

    def plug(self, i):
        w, h, x, y = self.screens[i]
        self.desk.plug(self.names[i], f"{w}x{h}", x, y)

    def full_screen(self, on):
        # A window manager tells who has the focus and who is full screen
        # (EWMH), and a window of another client fills its monitor.
        if not self.window:
            wm = subprocess.Popen(["openbox"], env=self.desk.env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
            self.test.addCleanup(end, wm)
            assert wait_for(lambda: self.desk.x.selection_owner(b"WM_S0"), 10), "no openbox"
            self.window = ClientWindow(self.desk.display, "a game")
            self.test.addCleanup(self.window.close)
            self.window.activate()
        self.window.set_fullscreen(on)


class SwayDriver(Driver):
    """Headless sway, moved by a virtual pointer and read by the probe."""
    backend = "wlroots"
    denied = {"velocity thresholds", "bypass key", "wrap while a button is held",
              "lock to a monitor", "readout speed"}
    covered = False

    @staticmethod
    def missing():
        return None if shutil.which("sway") else "sway is not installed (tools/setup.sh installs it)"

    def __init__(self, sizes, cleanup):
        super().__init__(sizes)
        self.sway = Sway(layout(self.screens))
        cleanup(self.sway.close)
        self.names = [f"HEADLESS-{i + 1}" for i in range(len(sizes))]

    def run(self, *args, app=None, env=None):
        proc = self.sway.run_as_user(self.sway.reachable(PELLMAR), *args, env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        out, err = proc.communicate(timeout=60)
        return proc.returncode, out, err

    def _start(self, test, settings, config):
        self.covered = False
        return wayland_pellmar_for(test, self.sway, settings, config_dir=config)

    def put(self, x, y):
        self.sway.move(x, y)

    def rel(self, dx, dy):
        self.sway.rel(dx, dy)

    def pointer(self):
        return self.sway.where()

    def held(self, point):
        # The probe cannot see the pointer over Pellmar's edge strip, nor
        # under a full-screen window: unseen or there for a while, then a
        # step back off the strip shows it where it was.
        end_at = time.monotonic() + 0.5
        while time.monotonic() < end_at:
            if self.sway.where() not in (None, tuple(point)):
                return False
            time.sleep(0.02)
        step = [-2 * (m > 0) + 2 * (m < 0) for m in self.motion]
        self.sway.rel(*step)
        back = (point[0] + step[0], point[1] + step[1])
        seen = self.wait_pointer(back, 2)
        return seen == back or (self.covered and seen is None)

    def curtained(self, app):
        # Each output's corner, light or darkened, as grim shows it over
        # the probe's light grey background.
        dark = []
        for i, (w, h, _x, _y) in enumerate(self.screens):
            if self.names[i] not in self.sway.outputs():
                continue
            path = os.path.join(self.sway.dir, "shot.png")
            self.sway.screenshot(path, self.names[i])
            red = subprocess.run(["convert", path, "-format", f"%[fx:int(255*p{{5,{h - 6}}}.r+0.5)]",
                                  "info:"], capture_output=True, text=True, check=True).stdout
            if int(red) < 0xB0 - 3:
                dark.append(i)
        return dark

    def leftovers(self, app):
        return [n for n in self.sway.windows() if n.get("pid") == app.proc.pid]

    def unplug(self, i):
        self.sway.swaymsg(f"output {self.names[i]} disable")
        assert wait_for(lambda: self.names[i] not in self.sway.outputs(), 10), self.sway.outputs()

    def plug(self, i):
        w, h, x, y = self.screens[i]
        self.sway.swaymsg(f"output {self.names[i]} enable mode {w}x{h} position {x} {y}")
        assert wait_for(lambda: self.sway.outputs().get(self.names[i]) == (x, y, w, h), 10), \
            self.sway.outputs()

    def full_screen(self, on):
        # Pellmar's own window fills its output, and hides the pointer there
        # from the probe.
        self.sway.swaymsg("[app_id=pellmar]", "fullscreen", "enable" if on else "disable")
        self.covered = on


class GnomeDriver(Driver):
    """Headless GNOME Shell 48 with Pellmar's extension turned on, the
    pointer moved by a remote desktop session and read by the Shell."""
    backend = "GNOME"
    denied = {"velocity thresholds", "readout speed"}

    @staticmethod
    def missing():
        return missing()

    def __init__(self, sizes, cleanup):
        super().__init__(sizes)
        install_extension()
        self.gnome = GnomeShell([f"{w}x{h}" for w, h in sizes], extensions=[EXTENSION_UUID])
        cleanup(self.gnome.close)
        self.names = [f"Meta-{i}" for i in range(len(sizes))]

    def run(self, *args, app=None):
        proc = self.gnome.run_as_user(self.gnome.reachable(PELLMAR), *args,
                                      env={"QT_QPA_PLATFORM": "wayland"},
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        out, err = proc.communicate(timeout=60)
        return proc.returncode, out, err

    def _start(self, test, settings, config):
        app = gnome_pellmar_for(test, self.gnome, settings, config_dir=config)
        assert wait_for(lambda: "extension is there" in app.output(), 30, 0.1), app.output()
        return app

    def put(self, x, y):
        # By way of its monitor's middle: a warp stops at a barrier as the
        # pointer does, and from there none is on the way.
        w, h, left, top = self.screens[self.monitor_of(x, y)]
        for point in ((left + w // 2, top + h // 2), (x, y)):
            self.gnome.warp(*point)
            assert self.wait_pointer(point) == point, f"the pointer did not get to {point}"

    def rel(self, dx, dy):
        self.gnome.rel(dx, dy)

    def pointer(self):
        return self.gnome.pointer()

    def key(self, down):
        self.gnome.key(42, down)  # left Shift

    def button(self, down):
        self.gnome.button(down)

    def curtained(self, app):
        return sorted(self.names.index(n) for n in service(self.gnome, "[...s._curtains.keys()]"))

    def leftovers(self, app):
        held = service(self.gnome, "[s._barriers.length, s._curtains.size, s._client]")
        return [] if held == [0, 0, None] else held

    def unplug(self, i):
        self.gnome.remove_monitor(self.names[i])

    def plug(self, i):
        self.gnome.add_monitor(self.names[i], *self.screens[i][2:])

    def full_screen(self, on):
        to_pellmar_window(self.gnome, "w.activate(global.get_current_time()); w.%s()"
                          % ("make_fullscreen" if on else "unmake_fullscreen"))
