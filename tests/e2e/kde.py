"""A real KDE Plasma 6 desktop for end-to-end tests: KWin 6 on its virtual
backend with outputs laid out side by side, on a session bus of its own,
and pellmar-kde-probe to drive the pointer (KWin's EIS interface) and read
it back (a KWin script).

KWin runs as the session's ordinary user, as sway does in wayland.py, with
its own runtime, config, cache and data folders; its kwinrc turns off the
barriers KWin puts at output seams and corners, which would hold the
pointer. Every process started here is ended by its own id.

KWin's virtual outputs all have the one mode given on its command line:
outputs of other sizes are that mode scaled (1920x1080 at 1.5 is 1280x720),
so a layout's sizes must all be that one mode divided by some scale."""
import json
import os
import re
import shutil
import subprocess
import tempfile

from desktop import PELLMAR, PointerReader, end, wait_for
from wayland import PATH, ProbeClient, SessionBus, UserSession, ensure_user, parse_layout

PROBE = os.environ.get("PELLMAR_KDE_PROBE",
                       os.path.join(os.path.dirname(os.path.abspath(PELLMAR)), "pellmar-kde-probe"))

# Side by side, tops level, of different heights: the second is the first's
# mode at scale 1.5.
TWO_OUTPUTS = "1920x1080+0+0 1280x720+1920+0"

# KWin holds the pointer for a while where it crosses from one output to
# another, and at output corners; the tests want it to go straight on.
KWINRC = """\
[EdgeBarrier]
EdgeBarrier=0
CornerBarrier=false
"""

# The least a service cache needs to list programs: without any menu file,
# kbuildsycoca6 lists none, and KWin finds no .desktop file for a client.
MENU = """\
<!DOCTYPE Menu PUBLIC "-//freedesktop//DTD Menu 1.0//EN"
 "http://www.freedesktop.org/standards/menu-spec/1.0/menu.dtd">
<Menu>
  <Name>Applications</Name>
  <DefaultAppDirs/>
  <DefaultDirectoryDirs/>
  <Include><All/></Include>
</Menu>
"""

STARTS = 120  # seconds; software rendering on a loaded machine is slow


def kwin_version():
    """KWin's version as (major, minor, patch), or None without kwin_wayland."""
    if not shutil.which("kwin_wayland"):
        return None
    try:
        out = subprocess.run(["kwin_wayland", "--version"], capture_output=True, text=True,
                             timeout=60, env={"PATH": PATH, "LANG": "C.UTF-8"}).stdout
    except (OSError, subprocess.TimeoutExpired):
        return None
    # "kwin 6.3.6"; KWin 5 says "kwin_wayland 5.27.5".
    m = re.search(r"kwin\S* (\d+)\.(\d+)\.(\d+)", out)
    return tuple(map(int, m.groups())) if m else (0, 0, 0)


def missing():
    """Why the KDE tests cannot run here, or None if they can."""
    version = kwin_version()
    if version is None:
        return "kwin_wayland is not installed (tools/setup.sh installs it on Debian 13)"
    if version == (0, 0, 0):
        return "cannot tell the version of kwin_wayland (kwin_wayland --version)"
    if version < (6, 0, 0):
        return f"KWin {'.'.join(map(str, version))} is older than 6 (it has no EIS interface)"
    for tool in ("kscreen-doctor", "dbus-daemon", "busctl", "kbuildsycoca6"):
        if not shutil.which(tool):
            return f"{tool} is not installed (tools/setup.sh installs it on Debian 13)"
    if not os.path.isfile(PROBE):
        return f"{PROBE} is not built (the pellmar_kde_probe target needs Qt 6 and libei)"
    return None


def scales(layout):
    """The mode KWin's outputs share and each screen's scale for `layout`
    [(w, h, x, y)]: ((W, H), [scale, ...]). A size that is not the mode
    scaled raises."""
    mode = max((w, h) for w, h, _x, _y in layout)
    found = []
    for w, h, _x, _y in layout:
        scale = mode[0] / w
        if abs(mode[1] / scale - h) > 0.5:
            raise ValueError(f"{w}x{h} is not {mode[0]}x{mode[1]} scaled: KWin's virtual outputs "
                             "all have one mode")
        found.append(round(scale, 4))
    return mode, found


class KWin(UserSession, ProbeClient, PointerReader):
    """KWin 6 on its virtual backend, outputs laid out as in `layout`
    ("WxH+X+Y ..."), Virtual-0, Virtual-1, ... in the layout's order, and
    `spare` more outputs switched off for add_output(). `data_dirs` go
    before the system's in XDG_DATA_DIRS, and KDE's service cache is built
    from them before KWin starts (a prefix's .desktop files, which KWin
    reads to grant a program its restricted interfaces). `kwinrc` is the
    session's KWin config; `no_permission_checks` lets every client use
    every interface."""

    def __init__(self, layout=TWO_OUTPUTS, spare=1, data_dirs=(), kwinrc=KWINRC,
                 no_permission_checks=False):
        reason = missing()
        if reason:
            raise RuntimeError(reason)
        self.screens = parse_layout(layout)
        self.mode, self.scales = scales(self.screens)
        self.user = ensure_user()
        self.procs = []
        self.kwin = None
        self.probe = None
        self.bus = None
        self.dir = tempfile.mkdtemp(prefix="pellmar-kde-")
        try:
            self._start(spare, data_dirs, kwinrc, no_permission_checks)
        except BaseException:
            self.close()
            raise

    def _folder(self, *parts, mode=0o755):
        path = os.path.join(self.dir, *parts)
        os.makedirs(path, mode=mode, exist_ok=True)
        os.chmod(path, mode)
        self._own(path)
        return path

    def _write(self, path, text):
        with open(path, "w") as f:
            f.write(text)
        self._own(path)

    def _start(self, spare, data_dirs, kwinrc, no_permission_checks):
        self._own(self.dir)
        self.runtime = self._folder("run", mode=0o700)
        self.bin = self._folder("bin")
        config = self._folder("config")
        self._write(os.path.join(config, "kwinrc"), kwinrc)
        # The session's own menu, found after the system's.
        xdg = self._folder("xdg")
        self._folder("xdg", "menus")
        self._write(os.path.join(xdg, "menus", "applications.menu"), MENU)
        self.base_env = {
            "HOME": self.user.pw_dir, "USER": self.user.pw_name, "LOGNAME": self.user.pw_name,
            "PATH": PATH, "LANG": "C.UTF-8", "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_HOME": config, "XDG_CACHE_HOME": self._folder("cache"),
            "XDG_DATA_HOME": self._folder("data"), "XDG_STATE_HOME": self._folder("state"),
            "XDG_CONFIG_DIRS": "/etc/xdg:" + xdg,
            "XDG_DATA_DIRS": ":".join([*map(str, data_dirs), "/usr/local/share", "/usr/share"]),
            "XDG_CURRENT_DESKTOP": "KDE", "KDE_SESSION_VERSION": "6",
            "XDG_SESSION_TYPE": "wayland",
        }
        self.env = dict(self.base_env)
        self.bus = SessionBus(self)
        self.env.update(self.bus.env)
        self.build_service_cache()

        self.display = f"pellmar-kwin-{os.getpid()}"
        kwin_env = dict(self.env)
        if no_permission_checks:
            kwin_env["KWIN_WAYLAND_NO_PERMISSION_CHECKS"] = "1"
        self.kwin_log_path = os.path.join(self.dir, "kwin.log")
        self.kwin_log = open(self.kwin_log_path, "w")
        # Popen closes every other descriptor: KWin holds none of the test's.
        self.kwin = self._popen(
            ["kwin_wayland", "--virtual", "--socket", self.display, "--width", str(self.mode[0]),
             "--height", str(self.mode[1]), "--output-count", str(len(self.screens) + spare),
             "--no-lockscreen", "--no-kactivities"],
            kwin_env, stdin=subprocess.DEVNULL, stdout=self.kwin_log, stderr=subprocess.STDOUT)

        def up():
            if self.kwin.poll() is not None:
                raise RuntimeError(f"KWin ended with {self.kwin.returncode}:\n{self.kwin_output()}")
            if not os.path.exists(os.path.join(self.runtime, self.display)):
                return False
            try:
                return "eis" in self.bus.get("org.kde.KWin", "/Plugins", "org.kde.KWin.Plugins",
                                             "LoadedPlugins")
            except RuntimeError:
                return False
        if not wait_for(up, STARTS, 0.1):
            raise RuntimeError("KWin did not come up with its EIS interface:\n" + self.kwin_output())
        self.env["WAYLAND_DISPLAY"] = self.display

        self.names = [f"Virtual-{i}" for i in range(len(self.screens) + spare)]
        self.spare = self.names[len(self.screens):]
        words = []
        for name, (w, h, x, y), scale in zip(self.names, self.screens, self.scales):
            words += [f"output.{name}.scale.{scale:g}", f"output.{name}.position.{x},{y}"]
        words += [f"output.{name}.disable" for name in self.spare]
        self.kscreen_doctor(*words)

        self._start_probe(PROBE)
        self._wait_outputs(self.expected())

    def expected(self):
        """The outputs as the layout (and outputs added since) has them:
        {name: (x, y, w, h)}, logical."""
        return {name: (x, y, w, h) for name, (w, h, x, y) in zip(self.names, self.screens)}

    def _wait_outputs(self, expected):
        """Waits until KWin has the outputs `expected` and the probe's
        absolute device one region for each."""
        regions = sorted(expected.values())
        if not wait_for(lambda: self.outputs() == expected and self.regions() == regions, 30, 0.1):
            raise RuntimeError(f"KWin has {self.outputs()} and the probe {self.regions()}, "
                               f"not {expected}:\n{self.kwin_output()}")

    def build_service_cache(self):
        """KDE's service cache for the session's user, from the session's
        XDG_DATA_DIRS; KWin reads it when it starts."""
        out = self.tool("kbuildsycoca6", "--noincremental", timeout=120)
        if not any(n.startswith("ksycoca6") for n in os.listdir(self.env["XDG_CACHE_HOME"])):
            raise RuntimeError(f"kbuildsycoca6 made no cache: {out}")
        return out

    def kscreen_doctor(self, *words):
        """One kscreen-doctor call in the session; returns its output."""
        out = self.tool("kscreen-doctor", *words, timeout=60, merged=True)
        # It says what it did not find but leaves with 0 all the same.
        if re.search(r"not found|[Ii]nvalid", out):
            raise RuntimeError(f"kscreen-doctor {' '.join(words)}: {out}")
        return out

    # Outputs.

    def state(self):
        """What KWin's scripting has now: {"cursor": [x, y], "outputs":
        [{name, geometry: [x, y, w, h], scale}], "windows": [...]}, the
        windows bottom first."""
        return json.loads(self.ask("state"))

    def outputs(self):
        """The outputs KWin has: {name: (x, y, w, h)}, logical."""
        return {o["name"]: tuple(o["geometry"]) for o in self.state()["outputs"]}

    def output_scales(self):
        """{name: scale} of the outputs KWin has."""
        return {o["name"]: o["scale"] for o in self.state()["outputs"]}

    def regions(self):
        """The regions of the absolute device the probe drives, sorted
        (x, y, w, h): one per output once the probe has KWin's newest."""
        answer = self.ask("outputs")
        return sorted(tuple(map(int, r.split())) for r in answer.split(";") if r)

    def add_output(self, mode, x, y):
        """Switches one of the spare outputs on as `mode` ("WxH", KWin's
        mode scaled) at (x, y); returns its name once KWin and the probe
        have it."""
        if not self.spare:
            raise RuntimeError("no spare output left (KWin(spare=N) starts with N)")
        w, h = map(int, mode.split("x"))
        mode, (_, scale) = scales([(*self.mode, 0, 0), (w, h, x, y)])
        if mode != self.mode:
            raise ValueError(f"{mode} is larger than KWin's mode {self.mode[0]}x{self.mode[1]}")
        name = self.spare.pop(0)
        self.kscreen_doctor(f"output.{name}.enable", f"output.{name}.scale.{scale:g}",
                            f"output.{name}.position.{x},{y}")
        if name in self.names:
            self.names.remove(name)
        self.names.insert(len(self.screens), name)
        self.screens.append((w, h, x, y))
        self._wait_outputs(self.expected())
        return name

    def remove_output(self, name):
        """Switches an output off, as unplugging it does; waits until KWin
        and the probe no longer have it."""
        i = self.names.index(name)
        self.kscreen_doctor(f"output.{name}.disable")
        del self.screens[i]
        self.names.remove(name)
        self.spare.append(name)
        self._wait_outputs(self.expected())

    # The probe: the pointer as a device moves it and KWin has it.

    def put(self, x, y):
        """Absolute motion to (x, y) in layout coordinates, as a tablet or
        an input-sharing tool makes."""
        self.ask(f"put {x} {y}")

    move = put

    def rel(self, dx, dy):
        """The device moves by (dx, dy), as a mouse does."""
        self.ask(f"rel {dx} {dy}")

    def button(self, down):
        """Presses or releases the left button."""
        self.ask(f"button {int(bool(down))}")

    def key(self, code, down):
        """Presses or releases a key by its evdev code (42: left Shift)."""
        self.ask(f"key {int(code)} {int(bool(down))}")

    def click(self, x, y):
        """A left click at (x, y)."""
        self.put(x, y)
        self.button(True)
        self.button(False)

    def where(self):
        """Where KWin has the pointer: (x, y), the pixel it is in, in layout
        coordinates."""
        answer = self.ask("where")
        m = re.fullmatch(r"(-?\d+) (-?\d+)", answer)
        if not m:
            raise RuntimeError(f"the probe: where: {answer!r}")
        return int(m.group(1)), int(m.group(2))

    pointer = where

    def windows(self):
        """KWin's windows, bottom of the stack first: dicts of caption,
        resourceClass, resourceName, pid, geometry [x, y, w, h] (the
        frame's), fullScreen, keepAbove, minimized, normal, dock, popup,
        special, output, active and id."""
        return self.state()["windows"]

    def screenshot(self, path, output=None):
        raise NotImplementedError("no screenshots of KWin here: its ScreenShot2 interface "
                                  "was not tried on the virtual backend")

    # The session's logs, for a failure's reader.

    def kwin_output(self):
        self.kwin_log.flush()
        with open(self.kwin_log_path) as f:
            return f.read()

    def run_script(self, js):
        """Runs `js` once in KWin as a script of its own. KWin runs it a
        moment later: it is taken away before the next one."""
        bus = ("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting")
        for name in getattr(self, "one_shots", []):
            self.bus.call(*bus, "unloadScript", "s", name)
        name = f"pellmar-test-{os.getpid()}-{len(os.listdir(self.dir))}"
        self.one_shots = [name]
        path = os.path.join(self.dir, name + ".js")
        self._write(path, js)
        self.bus.call(*bus, "loadScript", "ss", path, name)
        # Scripting's start runs what is loaded and not yet running (a
        # script's own number may be another's: see the probe).
        self.bus.call(*bus, "start")

    def close(self):
        # The probe unloads its script and leaves KWin's EIS interface; the
        # bus goes last.
        if self.bus and not self.bus.log.closed:
            self.bus.log.close()
        self._close_session("probe_log", "kwin_log")


def kwin_for(test, layout=TWO_OUTPUTS, **kwargs):
    """A KWin session that lives as long as the test."""
    kwin = KWin(layout, **kwargs)
    test.addCleanup(kwin.close)
    return kwin
