"""One driver per desktop for the cases of behaviours.py: each is that
desktop's harness (desktop.py, wayland.py, gnome.py) started with monitors
of the given sizes side by side, tops level, and taught the rest the cases
ask for: start the real pellmar there, run it with arguments as the
session runs it, switch a monitor off and on, make a window full screen,
and read which monitors are curtained and what a killed Pellmar left."""
import glob
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

from desktop import PELLMAR, ClientWindow, Desktop, pellmar_for, wait_for
from gnome import (EXTENSION_UUID, GnomeShell, close_window, gnome_pellmar_for, install_extension,
                   missing, service, to_pellmar_window)
from kde import KWINRC, KWin, missing as kde_missing
from wayland import Labwc, Sway, Wayfire, WaylandPellmar, end, wayland_pellmar_for


class Driver:
    """What the drivers share. `screens` [(w, h, x, y)], `names` their
    outputs' names, `denied` the features README's table says no to."""

    program = PELLMAR

    def __init__(self, sizes, names):
        self.screens, x = [], 0
        for w, h in sizes:
            self.screens.append((w, h, x, 0))
            x += w
        self.names = names[:len(sizes)]
        self.layout_text = " ".join(f"{w}x{h}+{x}+{y}" for w, h, x, y in self.screens)

    @staticmethod
    def missing():
        return None

    def start(self, test, settings=None, config=None):
        """Pellmar with `settings` (None: no settings file), its window up,
        for the length of `test`."""
        self.test = test
        if settings is not None:
            settings = dict({"boolShowToolTip": False}, **settings)
        return self._launch(test, settings, config)

    def verb(self, app, *words):
        """`pellmar WORDS` beside the running `app`: (status, stderr)."""
        status, _out, err = self.run(*words, app=app)
        return status, err

    def _run_in_session(self, args, env=None):
        proc = self.run_as_user(self.reachable(self.program), *args, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        out, err = proc.communicate(timeout=60)
        return proc.returncode, out, err


class X11(Driver, Desktop):
    """Xorg with dummy monitors, the pointer moved by XTest."""
    backend, denied = "X11", set()

    def __init__(self, sizes):
        Driver.__init__(self, sizes, [f"DUMMY{i}" for i in range(16)])
        Desktop.__init__(self, self.layout_text)

    def run(self, *args, app=None):
        runtime = os.path.join(app.config, "run") if app else self.dir
        r = subprocess.run([PELLMAR, *args], env=dict(self.env, XDG_RUNTIME_DIR=runtime),
                           capture_output=True, text=True, timeout=60)
        return r.returncode, r.stdout, r.stderr

    def _launch(self, test, settings, config):
        return pellmar_for(test, self, settings, config_dir=config)

    def shift(self, down):
        self.x.key("Shift_L", down)

    def button(self, down):
        self.x.button(1, down)

    def curtained(self, app):
        curtains = app.curtains()
        return [i for i, screen in enumerate(self.screens) if screen in curtains]

    def leftovers(self, app):
        return list(app.windows())

    def switch_off(self, i):
        self.unplug(self.names[i])

    def switch_on(self, i):
        w, h, x, y = self.screens[i]
        self.plug(self.names[i], f"{w}x{h}", x, y)

    def close_window(self, app):
        self.x.request_close(app.window)

    def full_screen(self, on):
        # A window manager says which window has the focus and whether it
        # is full screen (EWMH); a window of another client fills its
        # monitor.
        if getattr(self, "window_of", None) is not self.test:
            self.window_of = self.test
            wm = subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
            self.test.addCleanup(end, wm)
            assert wait_for(lambda: self.x.selection_owner(b"WM_S0"), 10), "no openbox"
            self.window = ClientWindow(self.display, "a game")
            self.test.addCleanup(self.window.close)
            self.window.activate()
        self.window.set_fullscreen(on)


class WlrootsDriver(Driver):
    """What the headless wlroots compositors share: the pointer moved by a
    virtual pointer and read by the probe, curtains seen in screenshots."""
    backend = "wlroots"
    denied = {"velocity thresholds", "bypass key", "wrap while a button is held",
              "lock to a monitor", "readout speed"}
    covered = False

    def __init__(self, sizes):
        Driver.__init__(self, sizes, [f"HEADLESS-{i + 1}" for i in range(16)])

    def run(self, *args, app=None):
        return self._run_in_session(args)

    def _launch(self, test, settings, config):
        self.covered = False
        self.app = wayland_pellmar_for(test, self, settings, config_dir=config)
        return self.app

    def held(self, point):
        # The probe cannot see the pointer over Pellmar's edge strip, nor
        # under a full-screen window: unseen or there for a while, then a
        # step back off the strip shows it where it was.
        end_at = time.monotonic() + 0.5
        while time.monotonic() < end_at:
            if self.where() not in (None, tuple(point)):
                return False
            time.sleep(0.02)
        step = [-2 * (m > 0) + 2 * (m < 0) for m in self.motion]
        self.rel(*step)
        back = (point[0] + step[0], point[1] + step[1])
        seen = self.wait_pointer(back, 2)
        return seen == back or (self.covered and seen is None)

    def curtained(self, app):
        # A corner of each output, as grim shows it.
        return [i for i, (w, h, _x, _y) in enumerate(self.screens)
                if self.shade(self.names[i], 5, h - 6) != "light"]


class SwayDriver(WlrootsDriver, Sway):
    """Headless sway."""

    @staticmethod
    def missing():
        if not shutil.which("sway"):
            return "sway is not installed (tools/setup.sh installs it)"

    def __init__(self, sizes):
        WlrootsDriver.__init__(self, sizes)
        Sway.__init__(self, self.layout_text)

    def leftovers(self, app):
        return [n for n in self.windows() if n.get("pid") == app.proc.pid]

    def switch_off(self, i):
        raise unittest.SkipTest("this sway's headless outputs cannot be switched off (wlroots "
                                "0.15 refuses); test_wayland_edges plugs one in instead")

    def close_window(self, app):
        self.swaymsg(f"[con_id={app.window['id']}] kill")

    def full_screen(self, on):
        # Pellmar's own window fills its output, and hides the pointer there
        # from the probe.
        self.swaymsg("[app_id=pellmar]", "fullscreen", "enable" if on else "disable")
        self.covered = on


def installed_version(program, needed, why):
    """Why `program` cannot run the cases here, or None: not installed, or
    older than `needed` ((major, minor)), which `why` explains."""
    if not shutil.which(program):
        return f"{program} is not installed (tools/setup.sh installs it where the release has it)"
    if not shutil.which("wlr-randr"):
        return "wlr-randr is not installed (tools/setup.sh installs it)"
    out = subprocess.run([program, "--version"], capture_output=True, text=True, timeout=60)
    m = re.search(r"(\d+)\.(\d+)", out.stdout + out.stderr)
    if not m:
        return f"{program} --version tells no version: {out.stdout}{out.stderr}"
    if (int(m.group(1)), int(m.group(2))) < needed:
        return f"{program} {m.group(0)} is older than {needed[0]}.{needed[1]}: {why}"
    return None


class RandrDriver(WlrootsDriver):
    """A wlroots compositor without sway's IPC (RandrWlroots): monitors
    switched off and on by wlr-randr, windows handled through the probe.
    Nothing tells Pellmar which output has the pointer or whether the
    focused window is full screen, so Screen Focus and quiet in full screen
    are denied."""
    denied = WlrootsDriver.denied | {"Screen Focus", "quiet in full screen"}

    def _pellmars(self):
        return [w for w in self.windows() if w["app_id"] == "pellmar" or w["name"] == "Pellmar"]

    def leftovers(self, app):
        # The protocol names no process: every window of a Pellmar counts,
        # and no other runs meanwhile.
        return self._pellmars()

    def switch_off(self, i):
        self.output_off(self.names[i])

    def switch_on(self, i):
        self.output_on(self.names[i], *self.screens[i])

    def close_window(self, app):
        self.close_toplevel(app.window)

    def full_screen(self, on):
        # Pellmar's own window fills its output, and hides the pointer there
        # from the probe.
        self.toplevel_full_screen(self.app.window, on)
        self.covered = on


class LabwcDriver(RandrDriver, Labwc):
    """Headless labwc."""

    @staticmethod
    def missing():
        return installed_version("labwc", (0, 8), "the cases are written for 0.8 (Debian 13's)")

    def __init__(self, sizes):
        WlrootsDriver.__init__(self, sizes)
        Labwc.__init__(self, self.layout_text)


class WayfireDriver(RandrDriver, Wayfire):
    """Headless Wayfire."""

    @staticmethod
    def missing():
        reason = installed_version("wayfire", (0, 9), "the cases are written for 0.9 (Debian "
                                   "13's) and were never run on an older one")
        if reason:
            return reason
        # Wayfire 0.9 draws with OpenGL ES only, even on the headless
        # backend: no pixman as sway and labwc have.
        if not glob.glob("/dev/dri/renderD*"):
            return ("Wayfire 0.9 renders only with OpenGL ES on a DRM render node, and this "
                    "machine has none (/dev/dri/renderD*)")
        return None

    def __init__(self, sizes):
        WlrootsDriver.__init__(self, sizes)
        Wayfire.__init__(self, self.layout_text)


class GnomeDriver(Driver, GnomeShell):
    """Headless GNOME Shell 48 with Pellmar's extension turned on, the
    pointer moved by a remote desktop session and read by the Shell."""
    backend, denied = "GNOME", {"velocity thresholds", "readout speed"}

    @staticmethod
    def missing():
        return missing()

    def __init__(self, sizes):
        Driver.__init__(self, sizes, [f"Meta-{i}" for i in range(16)])
        install_extension()
        GnomeShell.__init__(self, [f"{w}x{h}" for w, h in sizes], extensions=[EXTENSION_UUID])

    def run(self, *args, app=None):
        return self._run_in_session(args, {"QT_QPA_PLATFORM": "wayland"})

    def _launch(self, test, settings, config):
        app = gnome_pellmar_for(test, self, settings, config_dir=config)
        assert wait_for(lambda: "extension is there" in app.output(), 30, 0.1), app.output()
        return app

    def shift(self, down):
        self.key(42, down)  # left Shift

    def curtained(self, app):
        return sorted(self.names.index(n) for n in service(self, "[...s._curtains.keys()]"))

    def leftovers(self, app):
        held = service(self, "[s._barriers.length, s._curtains.size, s._client]")
        return [] if held == [0, 0, None] else held

    def switch_off(self, i):
        self.remove_monitor(self.names[i])

    def switch_on(self, i):
        self.add_monitor(self.names[i], *self.screens[i][2:])

    def close_window(self, app):
        close_window(self)

    def full_screen(self, on):
        to_pellmar_window(self, "w.activate(global.get_current_time()); w.%s()"
                          % ("make_fullscreen" if on else "unmake_fullscreen"))


def install_pellmar():
    """The built Pellmar installed as a user installs it, into a prefix of
    its own that every user can read: its menu entry names the installed
    program, which is what KWin grants its fake input to."""
    prefix = tempfile.mkdtemp(prefix="pellmar-installed-")
    os.chmod(prefix, 0o755)
    subprocess.run(["cmake", "--install", os.path.dirname(PELLMAR), "--prefix", prefix],
                   check=True, stdout=subprocess.DEVNULL)
    return prefix


class KdeDriver(Driver, KWin):
    """Headless KWin 6 with the installed Pellmar, its menu entry read by
    KDE's service cache before KWin starts; the pointer moved through KWin's
    EIS and read back by a KWin script. KWin's virtual outputs share one
    mode: the smaller monitors are that mode scaled (1.5 here)."""
    backend = "KDE"
    denied = {"velocity thresholds", "bypass key", "wrap while a button is held",
              "lock to a monitor", "readout speed"}

    @staticmethod
    def missing():
        return kde_missing()

    def __init__(self, sizes, kwinrc=KWINRC):
        Driver.__init__(self, sizes, [f"Virtual-{i}" for i in range(16)])
        self.prefix = install_pellmar()
        self.program = os.path.join(self.prefix, "bin", "pellmar")
        KWin.__init__(self, self.layout_text, spare=0, kwinrc=kwinrc,
                      data_dirs=[os.path.join(self.prefix, "share")])
        self.unplugged = {}

    def close(self):
        KWin.close(self)
        shutil.rmtree(self.prefix, ignore_errors=True)

    def reachable(self, path):
        # The grant is the installed path's: never a copy.
        return path if path.startswith(self.prefix) else KWin.reachable(self, path)

    def run(self, *args, app=None):
        return self._run_in_session(args)

    def _launch(self, test, settings, config):
        self.put(700, 400)
        app = KdePellmar(self, settings, config_dir=config, program=self.program)
        test.addCleanup(app.kill)
        app.wait_window()
        self.app = app
        return app

    def shift(self, down):
        self.key(42, down)

    def _pellmars(self, app):
        return [w for w in self.windows() if w.get("pid") == app.proc.pid]

    def curtained(self, app):
        # A curtain is a surface of Pellmar's that covers a whole output.
        covered = [tuple(w["geometry"]) for w in self._pellmars(app)]
        return [i for i, (w, h, x, y) in enumerate(self.screens) if (x, y, w, h) in covered]

    def leftovers(self, app):
        # Its surfaces, and its scripts still loaded in KWin: a script whose
        # Pellmar is gone takes itself away as soon as the pointer moves.
        self.rel(1, 0)
        self.rel(-1, 0)
        loaded = [name for name in ("pellmar", "pellmar-readout")
                  if self.bus.call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting",
                                   "isScriptLoaded", "s", name) == [True]]
        return self._pellmars(app) + loaded

    def switch_off(self, i):
        self.unplugged[i] = self.screens[i]
        self.remove_output(self.names[i])

    def switch_on(self, i):
        if i in self.unplugged:
            w, h, x, y = self.unplugged.pop(i)
            self.add_output(f"{w}x{h}", x, y)

    def _to_window(self, pid, js):
        self.run_script("for (const w of workspace.stackingOrder) { if (w.pid === %d && "
                        "w.caption === 'Pellmar') { %s } }" % (pid, js))

    def close_window(self, app):
        self._to_window(app.proc.pid, "w.closeWindow();")

    def full_screen(self, on):
        # Pellmar's own window fills its output.
        self._to_window(self.app.proc.pid, "workspace.activeWindow = w; w.fullScreen = %s;"
                        % ("true" if on else "false"))


class KdePellmar(WaylandPellmar):
    """The installed Pellmar in a KWin session."""

    def wait_window(self, timeout=10.0):
        def find():
            if self.proc.poll() is not None:
                return None
            found = [w for w in self.sway.windows()
                     if w.get("caption") == "Pellmar" and w.get("pid") == self.proc.pid]
            return found[0] if found else None
        self.window = wait_for(find, timeout, 0.05)
        assert self.window, "the Pellmar window did not appear:\n" + self.output()
        time.sleep(0.2)
        return self.window
