"""A real Wayland desktop for end-to-end tests: sway (or labwc, or Wayfire)
on its headless backend with outputs laid out side by side,
pellmar-wl-probe to drive and read the pointer, and the real pellmar on it.

sway will not run as root, so when the tests run as root (CI does) sway and
every program that talks to it run as an ordinary user of their own
(pellmar-wl, made here if missing), with a private runtime folder. Programs
that user may not reach where they were built (pellmar, the probe) are
copied to the session's folder first. Every process started here is ended
by its own id."""
import json
import os
import pwd
import queue
import re
import shutil
import subprocess
import tempfile
import threading
import time
import unittest

from desktop import PELLMAR, TWO_SCREENS, PointerReader, RunningProgram, end, pixel, wait_for

USER = os.environ.get("PELLMAR_WAYLAND_USER", "pellmar-wl")
PROBE = os.environ.get("PELLMAR_WL_PROBE",
                       os.path.join(os.path.dirname(os.path.abspath(PELLMAR)), "pellmar-wl-probe"))
PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"

# No swaynag: its warning bar would cover the top of an output, and the
# harness reads config errors from the log. Windows float, as on a stacking
# desktop: a tiled window would cover its whole output and hide the probe's
# background there. No borders or title bars: sway draws those itself, and
# the probe is blind over them.
CONFIG = """\
swaynag_command -
xwayland disable
default_border none
default_floating_border none
for_window [shell=".*"] floating enable
"""

# The probe's background, and the same under a curtain at 50%.
LIGHT, DARK = 0xB0, 0xB0 // 2

needs_sway = unittest.skipUnless(shutil.which("sway"),
                                 "sway is not installed (tools/setup.sh installs it)")


def parse_layout(layout):
    """'1920x1080+0+0 1280x1024+1920+0' -> [(1920, 1080, 0, 0), ...]"""
    screens = []
    for spec in layout.split():
        m = re.fullmatch(r"(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", spec)
        if not m:
            raise ValueError(f"not a screen (WxH+X+Y): {spec!r}")
        screens.append(tuple(map(int, m.groups())))
    return screens


def ensure_user():
    """The ordinary user the session runs as: the tests' own when they are
    not root, else USER, made if missing. Returns its passwd entry."""
    if os.geteuid() != 0:
        return pwd.getpwuid(os.geteuid())
    try:
        return pwd.getpwnam(USER)
    except KeyError:
        pass
    made = subprocess.run(["useradd", "--create-home", "--user-group", "--shell", "/bin/sh", USER],
                          capture_output=True, text=True, timeout=60)
    try:
        return pwd.getpwnam(USER)
    except KeyError:
        raise RuntimeError(f"cannot make the user {USER} that sway runs as: {made.stderr}")


SANITIZERS = ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS")


class UserSession:
    """Programs run as the session's ordinary user `user`, each ended by
    close(): `procs` lists them, `env` is the session's environment, `dir`
    the session's folder and `bin` where copies of programs go."""

    def _own(self, path):
        if os.geteuid() == 0:
            os.chown(path, self.user.pw_uid, self.user.pw_gid)

    def _popen(self, command, env, **kwargs):
        if os.geteuid() == 0:
            kwargs.update(user=self.user.pw_uid, group=self.user.pw_gid, extra_groups=[])
        kwargs.setdefault("cwd", self.dir)
        proc = subprocess.Popen(command, env=env, **kwargs)
        self.procs.append(proc)
        return proc

    def run_as_user(self, *command, env=None, **kwargs):
        """Starts a program in this session as its user; returns its Popen.
        `env` adds to (or, with None values, takes from) the session's
        environment. The program is ended by close() if still running. A
        sanitizer run's settings come along."""
        full = dict(self.env)
        full.update({k: os.environ[k] for k in SANITIZERS if k in os.environ})
        for key, value in (env or {}).items():
            if value is None:
                full.pop(key, None)
            else:
                full[key] = value
        return self._popen([str(c) for c in command], full, **kwargs)

    def reachable(self, path):
        """A copy of the program at `path` that the session's user can run
        (the build folder may be root's only); the same copy each time."""
        if not os.path.isfile(path):
            raise RuntimeError(f"{path} is not built (the pellmar_wl_probe and pellmar targets; "
                               "PELLMAR_WL_PROBE and PELLMAR_BIN say where they are)")
        copy = os.path.join(self.bin, os.path.basename(path))
        if not os.path.exists(copy):
            shutil.copy(path, copy)
            os.chmod(copy, 0o755)
        return copy


class ProbeClient:
    """A test's helper program in the session (a probe), asked one command
    a line on its stdin and answering one line each on its stdout, its
    errors in a log."""

    def _start_probe(self, program):
        self.probe_log_path = os.path.join(self.dir, "probe.log")
        self.probe_log = open(self.probe_log_path, "w")
        self.probe = self._popen([self.reachable(program)], self.env, stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, stderr=self.probe_log, text=True, bufsize=1)
        self.answers = queue.Queue()
        threading.Thread(target=self._read_answers, args=(self.probe.stdout,), daemon=True).start()

    def _read_answers(self, stream):
        for line in stream:
            self.answers.put(line.rstrip("\n"))
        self.answers.put(None)

    def ask(self, line, timeout=60):
        """Sends the probe one command; returns its answer line."""
        if self.probe.poll() is not None:
            raise RuntimeError(f"the probe ended with {self.probe.returncode}:\n{self.probe_output()}")
        self.probe.stdin.write(line + "\n")
        self.probe.stdin.flush()
        try:
            answer = self.answers.get(timeout=timeout)
        except queue.Empty:
            raise RuntimeError(f"the probe did not answer {line!r}:\n{self.probe_output()}")
        if answer is None:
            raise RuntimeError(f"the probe ended on {line!r}:\n{self.probe_output()}")
        if answer.startswith("error"):
            raise RuntimeError(f"the probe: {line!r}: {answer}")
        return answer

    def probe_output(self):
        self.probe_log.flush()
        with open(self.probe_log_path) as f:
            return f.read()

    def tool(self, *command, timeout=30, merged=False):
        """One short program in the session as its user: its output (with
        its errors, if `merged`), or a RuntimeError when it fails."""
        proc = self.run_as_user(*command, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT if merged else subprocess.PIPE, text=True)
        try:
            out, err = proc.communicate(timeout=timeout)
        finally:
            end(proc)
            self.procs.remove(proc)
        if proc.returncode != 0:
            raise RuntimeError(f"{' '.join(map(str, command))} failed ({proc.returncode}): "
                               f"{out}{err or ''}")
        return out

    def _close_session(self, *logs):
        """Ends the probe (which lets go of what it holds in the
        compositor), then every process of the session by its id, the last
        started first (the compositor after its clients), and removes the
        session's folder; `logs` are the attributes of its open logs."""
        if self.probe and self.probe.poll() is None:
            try:
                self.probe.stdin.write("quit\n")
                self.probe.stdin.flush()
                self.probe.wait(10)
            except (OSError, ValueError, subprocess.TimeoutExpired):
                pass
        for proc in reversed(self.procs):
            end(proc)
        for proc in self.procs:
            for stream in (proc.stdin, proc.stdout, proc.stderr):
                if stream:
                    try:
                        stream.close()
                    except OSError:
                        pass
        self.procs = []
        for log in logs:
            if getattr(self, log, None):
                getattr(self, log).close()
        shutil.rmtree(self.dir, ignore_errors=True)


class HeadlessWlroots(UserSession, ProbeClient, PointerReader):
    """A wlroots compositor on the headless backend, run as the session's
    user, its outputs laid out as in `layout` ("WxH+X+Y ..."), and the probe
    running. Outputs are HEADLESS-1, HEADLESS-2, ... in the layout's order.
    Each compositor says how it starts (`_command`), which sockets show it
    up, and how its outputs are made and placed (`layout`)."""

    compositor = None  # its executable
    config = None   # its default config

    def __init__(self, layout=TWO_SCREENS, config=None):
        if not shutil.which(self.compositor):
            raise RuntimeError(f"{self.compositor} is not installed (tools/setup.sh installs it)")
        self.user = ensure_user()
        self.procs = []
        self.server = None
        self.probe = None
        self.dir = tempfile.mkdtemp(prefix=f"pellmar-{self.compositor}-")
        try:
            self._start(layout, self.config if config is None else config)
        except BaseException:
            self.close()
            raise

    def _file(self, name, text):
        """A file of the session's, its user's; returns its path."""
        path = os.path.join(self.dir, name)
        with open(path, "w") as f:
            f.write(text)
        self._own(path)
        return path

    def _command(self, config, screens):
        """Writes the compositor's config; returns (command, extra env)."""
        raise NotImplementedError

    def _sockets(self, names):
        """What shows the compositor up among the runtime folder's `names`:
        the display socket first; None while it is not there yet."""
        display = sorted(n for n in names if re.fullmatch(r"wayland-\d+", n))
        return display[:1] or None

    def _up(self, found):
        """Once the sockets are there: waits until the compositor answers."""

    def _start(self, layout, config):
        self._own(self.dir)
        self.runtime = os.path.join(self.dir, "run")
        os.mkdir(self.runtime, 0o700)
        self._own(self.runtime)
        self.bin = os.path.join(self.dir, "bin")
        os.mkdir(self.bin, 0o755)
        self._own(self.bin)

        self.base_env = {
            "HOME": self.user.pw_dir, "USER": self.user.pw_name, "LOGNAME": self.user.pw_name,
            "PATH": PATH, "LANG": "C.UTF-8", "XDG_RUNTIME_DIR": self.runtime,
        }
        screens = parse_layout(layout)
        command, extra = self._command(config, screens)
        server_env = dict(self.base_env, WLR_BACKENDS="headless", WLR_RENDERER="pixman",
                          WLR_LIBINPUT_NO_DEVICES="1", **extra)
        self.server_log_path = os.path.join(self.dir, f"{self.compositor}.log")
        self.server_log = open(self.server_log_path, "w")
        # Nothing of the tests' own (their pipes, ctest's) stays open in it.
        self.server = self._popen(command, server_env, stdout=self.server_log,
                                  stderr=subprocess.STDOUT, close_fds=True)

        def sockets():
            if self.server.poll() is not None:
                raise RuntimeError(f"{self.compositor} ended with {self.server.returncode}:\n"
                                   + self.server_output())
            return self._sockets(os.listdir(self.runtime))
        found = wait_for(sockets, 30, 0.05)
        if not found:
            raise RuntimeError(f"{self.compositor} did not open its sockets:\n" + self.server_output())
        self.display = found[0]
        self.env = dict(self.base_env, WAYLAND_DISPLAY=self.display, XDG_SESSION_TYPE="wayland")
        self._up(found)

        self.layout(layout)
        self._start_probe(PROBE)
        expected = {f"HEADLESS-{i + 1}": (x, y, w, h) for i, (w, h, x, y) in enumerate(screens)}
        if not wait_for(lambda: self.outputs() == expected, 10, 0.05):
            raise RuntimeError(f"the probe sees {self.outputs()}, not {expected}")

    def server_output(self):
        self.server_log.flush()
        with open(self.server_log_path) as f:
            return f.read()

    # The probe: the pointer as a device moves it and a client sees it.

    def move(self, x, y):
        """Absolute motion to (x, y) in layout coordinates, as a tablet or
        an input-sharing tool makes."""
        self.ask(f"move {x} {y}")

    put = move

    def rel(self, dx, dy):
        """The device moves by (dx, dy), as a mouse does, pinned or not."""
        self.ask(f"rel {dx} {dy}")

    def button(self, down):
        """Presses or releases the left button."""
        self.ask("button down" if down else "button up")

    def click(self, x, y):
        """A left click at (x, y)."""
        self.move(x, y)
        self.button(True)
        self.button(False)

    def where(self):
        """Where the pointer is, (x, y) in layout coordinates; None while it
        is over some other client's surface (pellmar's windows and sensor
        strips among them), where the probe cannot see it."""
        answer = self.ask("where")
        if answer == "unknown":
            return None
        m = re.fullmatch(r"at (-?\d+) (-?\d+)", answer)
        if not m:
            raise RuntimeError(f"the probe: where: {answer!r}")
        return int(m.group(1)), int(m.group(2))

    pointer = where

    def clicks(self):
        """How many presses of the left button the probe's backgrounds got."""
        answer = self.ask("clicks")
        m = re.fullmatch(r"clicks (\d+)", answer)
        if not m:
            raise RuntimeError(f"the probe: clicks: {answer!r}")
        return int(m.group(1))

    def react(self, point, target, timeout_ms=1000, onwards=None):
        """Moves the pointer onto `point` (absolute) and times, in seconds,
        until the probe's backgrounds show it at `target`; None if it is
        not there within `timeout_ms`. With `onwards` (dx, dy), the pointer
        is put on `point` first and what is timed is a mouse moving it on by
        that much. Timed by the probe on the compositor's events, with no
        asking in between."""
        step = f" {onwards[0]} {onwards[1]}" if onwards else ""
        answer = self.ask(f"react {point[0]} {point[1]} {target[0]} {target[1]} {int(timeout_ms)}"
                          + step, timeout=timeout_ms / 1000.0 + 30)
        if answer == "timeout":
            return None
        m = re.fullmatch(r"us (\d+)", answer)
        if not m:
            raise RuntimeError(f"the probe: react: {answer!r}")
        return int(m.group(1)) / 1e6

    def wander(self, rate, seconds):
        """Moves the pointer as a mouse does, `rate` small relative steps a
        second for `seconds`, round a 200 px square to the right of and
        below where it is; returns once the compositor has taken them all.
        Returns how many were sent."""
        answer = self.ask(f"wander {rate} {seconds}", timeout=seconds + 30)
        m = re.fullmatch(r"sent (\d+)", answer)
        if not m:
            raise RuntimeError(f"the probe: wander: {answer!r}")
        return int(m.group(1))

    def outputs(self):
        """Outputs as a client sees them (xdg-output): {name: (x, y, w, h)},
        logical."""
        answer = self.ask("outputs")
        found = {}
        for entry in filter(None, answer.split(";")):
            name, *numbers = entry.split()
            found[name] = tuple(map(int, numbers))
        return found

    # Looking at the session.

    def screenshot(self, path, output=None):
        """A PNG of the whole layout (or of one output) as the compositor
        shows it."""
        args = ["grim"] + (["-o", output] if output else []) + ["-"]
        proc = self.run_as_user(*args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            png, err = proc.communicate(timeout=60)
        finally:
            end(proc)
            self.procs.remove(proc)
        if proc.returncode != 0:
            raise RuntimeError(f"grim failed: {err.decode(errors='replace')}")
        with open(path, "wb") as f:
            f.write(png)

    def shade(self, output, x, y):
        """One pixel of `output`, (x, y) in its own pixels, over the probe's
        light grey background: "light", "dark" (under a curtain at 50%), or
        its red."""
        path = os.path.join(self.dir, f"shot-{output}.png")
        self.screenshot(path, output)
        red = pixel(path, x, y)[0]
        return "light" if abs(red - LIGHT) <= 3 else "dark" if abs(red - DARK) <= 3 else red

    def close(self):
        self._close_session("probe_log", "server_log")


class Sway(HeadlessWlroots):
    """sway on the headless backend; its outputs made and placed through
    its IPC."""

    compositor, config = "sway", CONFIG

    @property
    def sway(self):
        return self.server

    def _command(self, config, screens):
        # PELLMAR_SWAY_DEBUG=1: sway's debug log, for a failure's reader.
        debug = ["-d"] if os.environ.get("PELLMAR_SWAY_DEBUG") else []
        return ["sway", *debug, "-c", self._file("sway.conf", config)], {}

    def _sockets(self, names):
        display = super()._sockets(names)
        ipc = [n for n in names if re.fullmatch(rf"sway-ipc\.\d+\.{self.server.pid}\.sock", n)]
        return display + ipc[:1] if display and ipc else None

    def _up(self, found):
        self.swaysock = os.path.join(self.runtime, found[1])
        self.env.update(SWAYSOCK=self.swaysock, XDG_CURRENT_DESKTOP="sway")
        if not wait_for(lambda: self._swaymsg_ok("-t", "get_version"), 30, 0.05):
            raise RuntimeError("sway does not answer on " + self.swaysock + ":\n" + self.sway_output())
        if "Error(s) loading config" in self.sway_output():
            raise RuntimeError("sway's config has errors:\n" + self.sway_output())

    sway_output = HeadlessWlroots.server_output

    def swaymsg(self, *args, check=True, timeout=30):
        """One swaymsg call; returns its parsed JSON answer. A command that
        sway refuses raises when `check`."""
        proc = self.run_as_user("swaymsg", "-r", *args, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        try:
            out, err = proc.communicate(timeout=timeout)
        finally:
            end(proc)
            self.procs.remove(proc)
        if check and proc.returncode != 0:
            raise RuntimeError(f"swaymsg {' '.join(args)} failed ({proc.returncode}): {out}{err}")
        try:
            answer = json.loads(out) if out.strip() else None
        except json.JSONDecodeError:
            answer = out
        if check and isinstance(answer, list) and any(isinstance(a, dict) and not a.get("success", True)
                                                      for a in answer):
            raise RuntimeError(f"swaymsg {' '.join(args)}: {answer}")
        return answer

    def _swaymsg_ok(self, *args):
        try:
            self.swaymsg(*args, timeout=10)
            return True
        except (RuntimeError, subprocess.TimeoutExpired):
            return False

    # Outputs.

    def sway_outputs(self):
        """Outputs as sway's IPC has them: {name: (x, y, w, h)}, logical."""
        return {o["name"]: (o["rect"]["x"], o["rect"]["y"], o["rect"]["width"], o["rect"]["height"])
                for o in self.swaymsg("-t", "get_outputs") if o.get("active", True)}

    def layout(self, layout):
        """Makes and places the outputs of `layout`: HEADLESS-1 for its
        first screen, and so on."""
        screens = parse_layout(layout)
        while len(self.sway_outputs()) < len(screens):
            before = len(self.sway_outputs())
            self.swaymsg("create_output")
            if not wait_for(lambda: len(self.sway_outputs()) > before, 10, 0.05):
                raise RuntimeError("sway made no new output")
        commands = [f"output HEADLESS-{i + 1} mode {w}x{h} position {x} {y}"
                    for i, (w, h, x, y) in enumerate(screens)]
        self.swaymsg("; ".join(commands))
        expected = {f"HEADLESS-{i + 1}": (x, y, w, h) for i, (w, h, x, y) in enumerate(screens)}
        if not wait_for(lambda: {k: v for k, v in self.sway_outputs().items() if k in expected}
                        == expected, 10, 0.05):
            raise RuntimeError(f"sway has {self.sway_outputs()}, not {expected}")

    def add_output(self, mode, x, y):
        """Plugs in one more output of `mode` ("WxH") at (x, y); returns its
        name once the probe sees it there. Headless outputs cannot be
        unplugged again in this sway."""
        before = set(self.sway_outputs())
        self.swaymsg("create_output")
        new = wait_for(lambda: set(self.sway_outputs()) - before, 10, 0.05)
        if not new:
            raise RuntimeError("sway made no new output")
        name = sorted(new)[0]
        self.swaymsg(f"output {name} mode {mode} position {x} {y}")
        w, h = map(int, mode.split("x"))
        if not wait_for(lambda: self.outputs().get(name) == (x, y, w, h), 10, 0.05):
            raise RuntimeError(f"the probe sees {self.outputs()}, not {name} at {(x, y, w, h)}")
        return name

    def windows(self):
        """Every window (view) in sway's tree, as its IPC nodes."""
        found = []

        def walk(node):
            if node.get("type") in ("con", "floating_con") and (node.get("app_id") is not None
                                                                or node.get("shell")):
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(self.swaymsg("-t", "get_tree"))
        return found

class RandrWlroots(HeadlessWlroots):
    """A wlroots compositor without sway's IPC: its headless backend makes
    the outputs (WLR_HEADLESS_OUTPUTS), wlr-randr gives them their modes and
    places (wlr-output-management), and the probe lists and handles windows
    (wlr-foreign-toplevel-management)."""

    def _command(self, config, screens):
        command = self._server_command(config)
        return command, {"WLR_HEADLESS_OUTPUTS": str(len(screens))}

    def randr(self):
        """The outputs as wlr-randr has them: {name: (x, y, w, h)} for those
        switched on."""
        found = {}
        for o in json.loads(self.tool("wlr-randr", "--json")):
            mode = [m for m in o.get("modes", []) if m.get("current")]
            if o.get("enabled") and mode:
                found[o["name"]] = (o["position"]["x"], o["position"]["y"], mode[0]["width"],
                                    mode[0]["height"])
        return found

    def _place(self, screens):
        """{name: (w, h, x, y)}: each switched on with that mode, there."""
        args = []
        for name, (w, h, x, y) in screens.items():
            args += ["--output", name, "--on", "--custom-mode", f"{w}x{h}", "--pos", f"{x},{y}"]
        self.tool("wlr-randr", *args)
        expected = {name: (x, y, w, h) for name, (w, h, x, y) in screens.items()}
        if not wait_for(lambda: {k: v for k, v in self.randr().items() if k in expected}
                        == expected, 10, 0.05):
            raise RuntimeError(f"{self.compositor} has {self.randr()}, not {expected}")

    def layout(self, layout):
        """Places the outputs of `layout`: HEADLESS-1 for its first screen,
        and so on."""
        self._place({f"HEADLESS-{i + 1}": screen for i, screen in enumerate(parse_layout(layout))})

    def output_off(self, name):
        """Switches one output off, until the probe no longer sees it."""
        self.tool("wlr-randr", "--output", name, "--off")
        if not wait_for(lambda: name not in self.outputs(), 10, 0.05):
            raise RuntimeError(f"the probe still sees {name}: {self.outputs()}")

    def output_on(self, name, w, h, x, y):
        """Switches one output back on, with that mode and place, until the
        probe sees it there."""
        self._place({name: (w, h, x, y)})
        if not wait_for(lambda: self.outputs().get(name) == (x, y, w, h), 10, 0.05):
            raise RuntimeError(f"the probe sees {self.outputs()}, not {name} at {(x, y, w, h)}")

    def windows(self):
        """Every toplevel window, as the probe has them: {"id", "app_id",
        "name", "states"}; no pid, which the protocol does not tell."""
        found = []
        for entry in filter(None, self.ask("windows").split(";")):
            number, app_id, states, title = entry.split("\t", 3)
            found.append({"id": int(number), "app_id": app_id, "name": title, "pid": None,
                          "states": [] if states == "-" else states.split(",")})
        return found

    def close_toplevel(self, window):
        """Asks `window` (one of windows()) to close."""
        self.ask(f"close {window['id']}")

    def toplevel_full_screen(self, window, on):
        """Activates `window` and makes it full screen, or not, until the
        compositor says so."""
        self.ask(f"fullscreen {window['id']} {'on' if on else 'off'}")

        def done():
            now = [w for w in self.windows() if w["id"] == window["id"]]
            return now and ("fullscreen" in now[0]["states"]) == on
        if not wait_for(done, 10, 0.05):
            raise RuntimeError(f"{self.compositor} did not make {window} full screen {on}")


# No title bars of labwc's: the probe is blind over them, as over sway's.
LABWC_CONFIG = """\
<?xml version="1.0"?>
<labwc_config>
  <core><decoration>client</decoration></core>
</labwc_config>
"""


class Labwc(RandrWlroots):
    """labwc on the headless backend, its config folder the session's own:
    no autostart or environment file of the system's or the user's."""

    compositor, config = "labwc", LABWC_CONFIG

    def _server_command(self, config):
        folder = os.path.join(self.dir, "labwc")
        os.mkdir(folder)
        self._own(folder)
        self._file("labwc/rc.xml", config)
        return ["labwc", "-C", folder]

    def _up(self, found):
        self.env["XDG_CURRENT_DESKTOP"] = "labwc:wlroots"


# Only the plugin that tells windows to other clients: no decorations, no
# key bindings, no animations. No Xwayland.
WAYFIRE_CONFIG = """\
[core]
plugins = foreign-toplevel
xwayland = false
"""


class Wayfire(RandrWlroots):
    """Wayfire on the headless backend with the session's own config."""

    compositor, config = "wayfire", WAYFIRE_CONFIG

    def _server_command(self, config):
        return ["wayfire", "-c", self._file("wayfire.ini", config)]

    def _up(self, found):
        self.env["XDG_CURRENT_DESKTOP"] = "Wayfire"


class WaylandPellmar(RunningProgram):
    """The real program in a sway session, run as the session's user, with
    its own settings folder; its output goes to a log."""

    def __init__(self, sway, settings=None, config_dir=None, extra_env=None, program=PELLMAR):
        self.sway = sway
        self.config = config_dir or tempfile.mkdtemp(prefix="pellmar-config-", dir=sway.dir)
        self._write_settings(settings)
        self._own_tree(self.config)
        env = {"XDG_CONFIG_HOME": self.config, "QT_LOGGING_RULES": "default.debug=true"}
        env.update(self._sanitizer_env())
        env.update(extra_env or {})
        self.log_path = os.path.join(self.config, "pellmar.log")
        self.log = open(self.log_path, "w")
        self.proc = sway.run_as_user(sway.reachable(program), env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self.window = None

    def _own_tree(self, top):
        if os.geteuid() != 0:
            return
        uid, gid = self.sway.user.pw_uid, self.sway.user.pw_gid
        os.chown(top, uid, gid)
        for root, dirs, files in os.walk(top):
            for name in dirs + files:
                os.chown(os.path.join(root, name), uid, gid)

    def _sanitizer_env(self):
        """The sanitizers' settings from the test's environment, with their
        suppression files copied to where the session's user can read them."""
        env = {}
        for key in ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"):
            value = os.environ.get(key)
            if not value:
                continue

            def copy(m):
                path = m.group(1)
                if not os.path.isfile(path):
                    return m.group(0)
                target = os.path.join(self.sway.bin, key.lower() + "-" + os.path.basename(path))
                shutil.copy(path, target)
                os.chmod(target, 0o644)
                return "suppressions=" + target
            env[key] = re.sub(r"suppressions=([^:]+)", copy, value)
        return env

    def wait_window(self, timeout=10.0):
        """Waits for the main window (a view titled "Pellmar" of this
        process) to be mapped; returns its sway node. Message boxes carry
        the same title: the first one mapped (the lowest id) is taken."""
        def find():
            if self.proc.poll() is not None:
                return None
            found = [node for node in self.sway.windows()
                     if node.get("name") == "Pellmar" and node.get("pid") in (None, self.proc.pid)]
            return min(found, key=lambda node: node["id"]) if found else None
        self.window = wait_for(find, timeout, 0.05)
        assert self.window, "the Pellmar window did not appear:\n" + self.output()
        # Give the engine its first samples.
        time.sleep(0.2)
        return self.window

    def window_geometry(self):
        """The main window's content, (x, y, w, h) in layout coordinates,
        as sway has it now."""
        for node in self.sway.windows():
            if node.get("id") == self.window["id"]:
                r, w = node["rect"], node["window_rect"]
                return r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"]
        return None


def sway_for(test, layout=TWO_SCREENS, **kwargs):
    """A sway session that lives as long as the test."""
    sway = Sway(layout, **kwargs)
    test.addCleanup(sway.close)
    return sway


def wayland_pellmar_for(test, sway, settings=None, pointer=(700, 400), **kwargs):
    """The real program in `sway` for the length of the test, its window up,
    started with the pointer away from every edge."""
    if pointer:
        sway.move(*pointer)
    app = WaylandPellmar(sway, settings, **kwargs)
    test.addCleanup(app.kill)
    app.wait_window()
    return app


# A session bus and a tray host for the session: the desktop side of
# Pellmar's tray icon on Wayland (StatusNotifierItem over D-Bus).

WATCHER = "org.kde.StatusNotifierWatcher"

# Only what a session bus needs: no service directories, so nothing is
# started behind the tests' back.
BUS_CONFIG = """\
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path={path}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""

needs_tray_host = unittest.skipUnless(
    all(shutil.which(tool) for tool in ("sway", "dbus-daemon", "busctl", "waybar")),
    "sway, dbus-daemon, busctl or waybar is not installed (tools/setup.sh installs them)")


def plain(value):
    """A value from busctl's JSON without its type tags: variants and
    structures as busctl writes them ({"type": ..., "data": ...}) become
    their data."""
    if isinstance(value, dict):
        if set(value) == {"type", "data"}:
            return plain(value["data"])
        return {k: plain(v) for k, v in value.items()}
    if isinstance(value, list):
        return [plain(v) for v in value]
    return value


class SessionHelper:
    """A program of the session's that logs to `log_path` (open as `log`),
    ended by its id when it closes (or with the session)."""

    def output(self):
        self.log.flush()
        with open(self.log_path) as f:
            return f.read()

    def close(self):
        end(self.proc)
        if not self.log.closed:
            self.log.close()


class BusClient:
    """busctl calls, as the user of `session` (a UserSession), on the bus at
    `address`."""

    def __init__(self, session, address):
        self.session = session
        self.address = address

    def busctl(self, *args, timeout=30):
        """One busctl call on this bus as the session's user; its JSON
        answer, or None where it prints nothing. A failed call raises."""
        # "--": a negative number is an argument, not an option.
        proc = self.session.run_as_user("busctl", "--address=" + self.address, "--json=short", "--",
                                        *args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True)
        try:
            out, err = proc.communicate(timeout=timeout)
        finally:
            end(proc)
            self.session.procs.remove(proc)
        if proc.returncode != 0:
            raise RuntimeError(f"busctl {' '.join(map(str, args))} failed ({proc.returncode}): {err}")
        return json.loads(out) if out.strip() else None

    def names(self):
        """The names on the bus."""
        answer = self.busctl("call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "ListNames")
        return plain(answer)[0]

    def call(self, service, path, interface, method, signature="", *args):
        """A method call; its out arguments as a list of plain values."""
        answer = self.busctl("call", service, path, interface, method,
                             *([signature, *map(str, args)] if signature else []))
        return plain(answer) if answer is not None else []

    def get(self, service, path, interface, name):
        """One property, as a plain value."""
        return plain(self.busctl("get-property", service, path, interface, name))


class SessionBus(SessionHelper, BusClient):
    """A session bus of the sway session's own: dbus-daemon run as the
    session's user, ended by its id when it closes (or with the session)."""

    def __init__(self, sway):
        self.sway = sway
        self.path = os.path.join(sway.dir, "bus")
        BusClient.__init__(self, sway, "unix:path=" + self.path)
        self.env = {"DBUS_SESSION_BUS_ADDRESS": self.address}
        config = os.path.join(sway.dir, "bus.conf")
        with open(config, "w") as f:
            f.write(BUS_CONFIG.format(path=self.path))
        self.log_path = os.path.join(sway.dir, "bus.log")
        self.log = open(self.log_path, "w")
        self.proc = sway.run_as_user("dbus-daemon", "--config-file=" + config, "--nofork",
                                     stdout=self.log, stderr=subprocess.STDOUT)

        def up():
            if self.proc.poll() is not None:
                raise RuntimeError(f"dbus-daemon ended with {self.proc.returncode}:\n{self.output()}")
            return os.path.exists(self.path) and self._answers()
        if not wait_for(up, 30, 0.05):
            raise RuntimeError("the session bus does not answer:\n" + self.output())

    def _answers(self):
        try:
            return "org.freedesktop.DBus" in self.names()
        except RuntimeError:
            return False


class Waybar(SessionHelper):
    """waybar on the session's first output with nothing but its tray,
    which is a StatusNotifierWatcher and host on `bus`; ended by its id
    when it closes (or with the session). Its config and style are its own,
    none of the system's."""

    CONFIG = {"layer": "top", "position": "top", "height": 26, "output": "HEADLESS-1",
              "modules-right": ["tray"], "tray": {"spacing": 4}}
    STYLE = "* { font-family: sans-serif; font-size: 12px; min-height: 0; }\n"

    def __init__(self, sway, bus):
        self.sway, self.bus = sway, bus
        config = os.path.join(sway.dir, "waybar.json")
        with open(config, "w") as f:
            json.dump(self.CONFIG, f)
        style = os.path.join(sway.dir, "waybar.css")
        with open(style, "w") as f:
            f.write(self.STYLE)
        self.log_path = os.path.join(sway.dir, "waybar.log")
        self.log = open(self.log_path, "w")
        # No accessibility bus to look for on this session bus.
        self.proc = sway.run_as_user("waybar", "-c", config, "-s", style,
                                     env=dict(bus.env, NO_AT_BRIDGE="1"),
                                     stdout=self.log, stderr=subprocess.STDOUT)

        def hosting():
            if self.proc.poll() is not None:
                raise RuntimeError(f"waybar ended with {self.proc.returncode}:\n{self.output()}")
            try:
                return self.bus.get(WATCHER, "/StatusNotifierWatcher", WATCHER,
                                    "IsStatusNotifierHostRegistered") is True
            except RuntimeError:
                return False
        if not wait_for(hosting, 30, 0.05):
            raise RuntimeError("waybar's tray did not register as a host:\n" + self.output())

    def items(self):
        """The watcher's registered items: "service/path" each."""
        return self.bus.get(WATCHER, "/StatusNotifierWatcher", WATCHER,
                            "RegisteredStatusNotifierItems")



def session_bus_for(test, sway):
    """A session bus in `sway` that lives as long as the test."""
    bus = SessionBus(sway)
    test.addCleanup(bus.close)
    return bus


def waybar_for(test, sway, bus):
    """waybar's tray in `sway` on `bus`, for the length of the test."""
    bar = Waybar(sway, bus)
    test.addCleanup(bar.close)
    return bar


def check_pointer(test, desk, short):
    """A harness's pointer on a 1920x1080 output with one `short` rows tall
    to its right: absolute motion lands where asked, on either output, up
    to the last pixel of the layout; relative motion moves by as much,
    across the seam, and is held at the layout's edges, below the shorter
    output too. (No point in the top left corner: GNOME opens its overview
    there.)"""
    for point in [(700, 400), (0, 1079), (1919, 1079), (1920, 0), (2500, short - 20),
                  (3199, short - 1)]:
        desk.put(*point)
        test.assertEqual(desk.wait_pointer(point), point)
    for start, step, end in [((1900, 500), (40, 10), (1940, 510)),
                             ((3190, 500), (50, 0), (3199, 500)),
                             ((2500, short - 20), (0, 100), (2500, short - 1))]:
        desk.put(*start)
        desk.rel(*step)
        test.assertEqual(desk.wait_pointer(end), end)
    test.assertTrue(desk.stays((2500, short - 1)))
