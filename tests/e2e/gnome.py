"""A real GNOME Shell for end-to-end tests: GNOME Shell 48, headless, with
virtual monitors, and the real pellmar, built on the host, in its session.
The shell is this system's own where it is 45 or later (Debian 13), else
that of a Debian 13 tree (tools/gnome-tree.sh builds it; Debian 12's shell
is too old for extensions written as modules); PELLMAR_GNOME_TREE names
the tree, "/" the system itself.

The shell runs chrooted into the tree (or at /) in a mount and PID
namespace of its own: a /proc, a system bus and /tmp of its own (and in a
tree its /sys and /dev) are mounted there and vanish with it, and ending
the namespace's first process ends every process in it. Its runtime folder, session bus and Wayland socket
lie in a folder of its own in the tree's /run, which programs on the host
reach through the tree. Everything runs as the ordinary user of the sway
tests (made in the tree too, with the same ids). Several shells may run
from one tree at once.

Eval and Screenshot on the shell's bus answer only in unsafe mode, which a
test-only extension in the session's home turns on."""
import ctypes
import fcntl
import json
import os
import re
import selectors
import shutil
import signal
import subprocess
import tempfile
import unittest

from desktop import SOURCE, PointerReader, wait_for
from wayland import PATH, BusClient, UserSession, WaylandPellmar, end, ensure_user

# Extensions written as ES modules, which Pellmar's is, load from 45 on.
SHELL_FIRST = 45


def system_shell_major():
    """The major version of this system's own GNOME Shell, 0 without one."""
    if not shutil.which("gnome-shell"):
        return 0
    try:
        said = subprocess.run(["gnome-shell", "--version"], capture_output=True, text=True,
                              timeout=60).stdout
    except (OSError, subprocess.TimeoutExpired):
        return 0
    found = re.search(r"GNOME Shell (\d+)", said)
    return int(found.group(1)) if found else 0


TREE = os.environ.get("PELLMAR_GNOME_TREE") or (
    "/" if system_shell_major() >= SHELL_FIRST else "/var/tmp/pellmar-gnome-tree")
OWN_SYSTEM = os.path.realpath(TREE) == "/"
# The folder, as the shell sees it, that the tests install extensions in:
# first in the shell's XDG_DATA_DIRS, so that nothing goes into the system's
# own /usr/share and a copy there is not the one tested.
SHARE = "/var/tmp/pellmar-gnome-share"
EXTENSIONS_DIR = SHARE + "/gnome-shell/extensions"


def outside(path):
    """The host's path of a path as the shell sees it."""
    return os.path.join(TREE, path.lstrip("/"))


def inside(path):
    """The shell's path of a host path under the tree."""
    return "/" + os.path.relpath(path, TREE)
# The extension as the build put it together, and its uuid as it says.
EXTENSION = os.environ.get("PELLMAR_GNOME_EXTENSION_DIR",
                           os.path.join(SOURCE, "build", "platform", "gnome", "extension"))
try:
    with open(os.path.join(EXTENSION, "metadata.json")) as _metadata:
        EXTENSION_UUID = json.load(_metadata)["uuid"]
except OSError:
    EXTENSION_UUID = None  # not built: install_extension() says so
POINTER_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "gnome-pointer.js")
TWO_MONITORS = ("1920x1080", "1280x720")
SHELL_STARTS = 180  # seconds; software rendering on a loaded machine is slow

HELPER_UUID = "unsafe@pellmar.test"
HELPER_METADATA = {"uuid": HELPER_UUID, "name": "unsafe", "description": "test only",
                   "shell-version": ["48"]}
# Unsafe mode for Eval and Screenshot, once the shell has started: the
# tests wait for it. The session starts on the desktop, not in the overview,
# so that windows and what is drawn over them show as they are.
HELPER_JS = """\
import * as Main from 'resource:///org/gnome/shell/ui/main.js';

export default class {
    enable() {
        // Eval has no module imports: the Shell's main module, lent to it.
        globalThis.pellmarTestMain = Main;
        const layout = Main.layoutManager;
        if (!layout._startingUp) {
            global.context.unsafe_mode = true;
            return;
        }
        const hadOverview = Main.sessionMode.hasOverview;
        Main.sessionMode.hasOverview = false;
        const id = layout.connect('startup-complete', () => {
            layout.disconnect(id);
            Main.sessionMode.hasOverview = hadOverview;
            Main.overview.hide();
            global.context.unsafe_mode = true;
        });
    }

    disable() {
        global.context.unsafe_mode = false;
    }
}
"""

# Extension states as org.gnome.Shell.Extensions reports them.
ACTIVE, INACTIVE, ERROR = 1, 2, 3

SHELL = ("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell")
EXTENSIONS = ("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions")
SCREENSHOT = ("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
              "org.gnome.Shell.Screenshot")
DISPLAY_CONFIG = ("org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
                  "org.gnome.Mutter.DisplayConfig")

# Run as root in the new namespaces: the tree's mounts, an empty folder over
# each copy of a hidden extension (the shell skips it), a system bus (the shell
# wants one), then the user's session. Ends when the shell does.
INIT = r"""
set -e
tree=$1 inner=$2 uid=$3 gid=$4 share=$5
shift 5
mount -t proc proc "$tree/proc"
if [ "$tree" != / ]; then
    mount --rbind /sys "$tree/sys"
    mount --rbind /dev "$tree/dev"
fi
mount -t tmpfs -o mode=0755 tmpfs "$tree/run/dbus"
mount -t tmpfs -o mode=1777 tmpfs "$tree/tmp"
# The shell looks for logind where it finds systemd's run folder.
if [ -d "$tree/run/systemd" ]; then mount -t tmpfs -o mode=0755 tmpfs "$tree/run/systemd"; fi
for uuid in "$@"; do
    for folder in "$tree$share/gnome-shell/extensions/$uuid" \
                  "$tree/usr/share/gnome-shell/extensions/$uuid"; do
        if [ -d "$folder" ]; then mount -t tmpfs -o mode=0755 tmpfs "$folder"; fi
    done
done
chroot "$tree" dbus-daemon --system --fork
chroot "$tree" setpriv --reuid="$uid" --regid="$gid" --clear-groups /bin/sh "$inner/session.sh" &
echo $! >"$tree$inner/shell.pid"
wait $!
"""

# As the user in the tree: the session bus, the extensions enabled, no
# notification banners (the shell's own notices at start-up would cover the
# top of the first monitor for a while), then the shell in place of this
# script.
SESSION = r"""
set -e
export {env}
dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile &
tries=0
while [ ! -S "$XDG_RUNTIME_DIR/bus" ]; do
    tries=$((tries + 1))
    [ $tries -lt 1200 ] || {{ echo "no session bus" >&2; exit 1; }}
    sleep 0.05
done
gsettings set org.gnome.shell enabled-extensions {extensions}
gsettings set org.gnome.shell disable-user-extensions false
gsettings set org.gnome.desktop.notifications show-banners false
exec gnome-shell --headless --wayland --no-x11 {monitors}
"""


def missing():
    """Why the GNOME tests cannot run here, or None."""
    if os.geteuid() != 0:
        return "the GNOME Shell tests need root (chroot and mounts)"
    if OWN_SYSTEM:
        if system_shell_major() < SHELL_FIRST:
            return (f"this system has no GNOME Shell {SHELL_FIRST} or later (tools/setup.sh "
                    "test installs it where the release has it)")
    elif not os.path.exists(os.path.join(TREE, ".pellmar-tree-complete")):
        return (f"no GNOME Shell tree at {TREE} (tools/setup.sh test builds it, or "
                f"tools/gnome-tree.sh {TREE}; PELLMAR_GNOME_TREE says where it is)")
    for tool in ("unshare", "nsenter", "chroot", "busctl"):
        if not shutil.which(tool):
            return f"{tool} is not installed (tools/setup.sh installs it)"
    return None


needs_gnome = unittest.skipIf(missing(), missing())


class _TreeLock:
    """Changes to the shared tree and extensions, one harness at a time."""

    def __enter__(self):
        os.makedirs(outside(SHARE), mode=0o755, exist_ok=True)
        self.file = open(os.path.join(outside(SHARE), ".lock"), "a")
        fcntl.flock(self.file, fcntl.LOCK_EX)
        return self

    def __exit__(self, *exc):
        self.file.close()


def _files(top):
    """{relative path: contents} of every file under `top`."""
    found = {}
    for root, _dirs, names in os.walk(top):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, top)] = f.read()
    return found


def _exchange(a, b):
    """Swaps two paths in one step (renameat2 RENAME_EXCHANGE): a shell
    starting meanwhile sees one whole copy or the other."""
    libc = ctypes.CDLL(None, use_errno=True)
    at_fdcwd, rename_exchange = -100, 2
    if libc.renameat2(at_fdcwd, os.fsencode(a), at_fdcwd, os.fsencode(b), rename_exchange) != 0:
        err = ctypes.get_errno()
        raise OSError(err, os.strerror(err), a)


def install_extension(source=EXTENSION, uuid=EXTENSION_UUID):
    """Installs the extension in folder `source` for every user, as a
    package does (in a data folder's gnome-shell/extensions/UUID), with its
    settings schemas compiled. Shells that run meanwhile keep what they
    loaded; an unchanged copy is left alone. Returns the host's folder."""
    if not os.path.isfile(os.path.join(source, "metadata.json")):
        raise RuntimeError(f"{source} holds no extension (no metadata.json)")
    top = outside(EXTENSIONS_DIR)
    target = os.path.join(top, uuid)
    os.makedirs(top, exist_ok=True)
    wanted = _files(source)
    with _TreeLock():
        if os.path.isdir(target):
            present = _files(target)
            present.pop("schemas/gschemas.compiled", None)
            wanted.pop("schemas/gschemas.compiled", None)
            if present == wanted:
                return target
        fresh = tempfile.mkdtemp(prefix=f".{uuid}-", dir=top)
        shutil.copytree(source, fresh, dirs_exist_ok=True)
        schemas = os.path.join(fresh, "schemas")
        if os.path.isdir(schemas) and any(n.endswith(".gschema.xml") for n in os.listdir(schemas)):
            subprocess.run(["chroot", TREE, "glib-compile-schemas", inside(schemas)],
                           check=True, capture_output=True, timeout=60)
        for root, dirs, names in os.walk(fresh):
            for name in dirs:
                os.chmod(os.path.join(root, name), 0o755)
            for name in names:
                os.chmod(os.path.join(root, name), 0o644)
        os.chmod(fresh, 0o755)
        if os.path.isdir(target):
            _exchange(fresh, target)
            shutil.rmtree(fresh)
        else:
            os.rename(fresh, target)
    return target


def _prepare_tree(user):
    """The session's user in the tree, with the same ids as on the host,
    and the tree's /run as the shell needs it."""
    with _TreeLock():
        os.makedirs(os.path.join(TREE, "run/dbus"), exist_ok=True)
        with open(os.path.join(TREE, "etc/passwd")) as f:
            entries = [line.split(":") for line in f]
        for entry in entries:
            if entry[0] == user.pw_name or entry[2] == str(user.pw_uid):
                if (entry[0], entry[2], entry[3]) != (user.pw_name, str(user.pw_uid),
                                                      str(user.pw_gid)):
                    raise RuntimeError(f"the tree's user {entry[0]} ({entry[2]}:{entry[3]}) is not "
                                       f"{user.pw_name} ({user.pw_uid}:{user.pw_gid}) of the host")
                return
        with open(os.path.join(TREE, "etc/group")) as f:
            gids = {line.split(":")[2] for line in f}
        if str(user.pw_gid) not in gids:
            subprocess.run(["chroot", TREE, "groupadd", "-g", str(user.pw_gid), user.pw_name],
                           check=True, capture_output=True, timeout=60)
        subprocess.run(["chroot", TREE, "useradd", "-M", "-u", str(user.pw_uid), "-g",
                        str(user.pw_gid), "-s", "/bin/sh", user.pw_name],
                       check=True, capture_output=True, timeout=60)


def _namespace_pids(link, inode):
    """{host pid: pid in the namespace} of every process whose namespace
    `link` (pid, mnt) is `inode`."""
    found = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            if os.readlink(f"/proc/{name}/ns/{link}") != inode:
                continue
            with open(f"/proc/{name}/status") as f:
                for line in f:
                    if line.startswith("NSpid:"):
                        found[int(name)] = int(line.split()[-1])
        except OSError:
            pass  # gone meanwhile
    return found


class GnomeShell(UserSession, PointerReader):
    """One headless GNOME Shell with a virtual monitor of each size in
    `monitors` ("WxH"; Meta-0, Meta-1, ... side by side in that order, tops
    aligned, the first the primary) and
    the extensions `extensions` enabled (UUIDs; install_extension() puts
    one for every shell). The extensions `hidden` are not there for this shell
    even where the tree has them, as on a system without them."""

    def __init__(self, monitors=TWO_MONITORS, extensions=(), hidden=()):
        reason = missing()
        if reason:
            raise RuntimeError(reason)
        self.user = ensure_user()
        self.procs = []
        self.unshare = self.pointer_driver = self.log_file = None
        self.shell_pid = None
        self.pid_ns = self.mnt_ns = None
        self.ns_fds = []
        self.dir = tempfile.mkdtemp(prefix="pellmar-gnome-")
        self.inner = None
        try:
            self._start(monitors, extensions, hidden)
        except BaseException:
            self.close()
            raise

    # Paths: the tree's, as the shell sees them, and the host's.

    outside = staticmethod(outside)
    inside = staticmethod(inside)

    def _start(self, monitors, extensions, hidden):
        _prepare_tree(self.user)
        uid, gid = self.user.pw_uid, self.user.pw_gid
        # The host's side: copies of programs, a runtime folder for them.
        os.chmod(self.dir, 0o755)
        self._own(self.dir)
        self.bin = os.path.join(self.dir, "bin")
        os.mkdir(self.bin, 0o755)
        self._own(self.bin)
        host_runtime = os.path.join(self.dir, "run")
        os.mkdir(host_runtime, 0o700)
        self._own(host_runtime)

        # The tree's side: runtime folder and home of this session only.
        self.inner = tempfile.mkdtemp(prefix="pellmar-gnome-", dir=outside("/run"))
        os.chmod(self.inner, 0o755)
        inner = self.inside(self.inner)
        self.runtime = inner + "/run"
        self.home = inner + "/home"
        for path in (self.runtime, self.home):
            os.mkdir(self.outside(path), 0o700)
            self._own(self.outside(path))
        helper = self.outside(f"{self.home}/.local/share/gnome-shell/extensions/{HELPER_UUID}")
        os.makedirs(helper)
        with open(os.path.join(helper, "metadata.json"), "w") as f:
            json.dump(HELPER_METADATA, f)
        with open(os.path.join(helper, "extension.js"), "w") as f:
            f.write(HELPER_JS)
        for root, dirs, names in os.walk(self.outside(self.home)):
            for name in dirs + names:
                os.chown(os.path.join(root, name), uid, gid)
        shutil.copy(POINTER_SCRIPT, self.outside(inner + "/gnome-pointer.js"))

        self.tree_env = {
            "HOME": self.home, "USER": self.user.pw_name, "LOGNAME": self.user.pw_name,
            "PATH": PATH, "LANG": "C.UTF-8", "XDG_RUNTIME_DIR": self.runtime,
            "DBUS_SESSION_BUS_ADDRESS": f"unix:path={self.runtime}/bus",
            "XDG_SESSION_TYPE": "wayland", "XDG_CURRENT_DESKTOP": "GNOME",
            "XDG_SESSION_DESKTOP": "gnome", "NO_AT_BRIDGE": "1",
            "XDG_DATA_DIRS": SHARE + ":/usr/local/share:/usr/share",
        }
        enabled = [HELPER_UUID, *extensions]
        session = SESSION.format(
            env=" ".join(f"{k}='{v}'" for k, v in self.tree_env.items()),
            extensions="\"[" + ", ".join(f"'{u}'" for u in enabled) + "]\"",
            monitors=" ".join(f"--virtual-monitor {m}" for m in monitors))
        with open(self.outside(inner + "/session.sh"), "w") as f:
            f.write(session)

        # What a program on the host needs to join the session.
        self.bus_path = self.outside(self.runtime + "/bus")
        self.env = {
            "HOME": self.user.pw_dir, "USER": self.user.pw_name, "LOGNAME": self.user.pw_name,
            "PATH": PATH, "LANG": "C.UTF-8", "XDG_RUNTIME_DIR": host_runtime,
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + self.bus_path,
            "WAYLAND_DISPLAY": self.outside(self.runtime + "/wayland-0"),
            "XDG_SESSION_TYPE": "wayland", "XDG_CURRENT_DESKTOP": "GNOME",
        }
        self.bus = BusClient(self, self.env["DBUS_SESSION_BUS_ADDRESS"])

        self.log_path = os.path.join(self.dir, "shell.log")
        self.log_file = open(self.log_path, "w")
        self.unshare = subprocess.Popen(
            ["unshare", "--mount", "--pid", "--fork", "--kill-child", "--propagation", "private",
             "sh", "-c", INIT, "init", TREE, inner, str(uid), str(gid), SHARE, *hidden],
            env={"PATH": PATH, "LANG": "C.UTF-8"}, stdin=subprocess.DEVNULL,
            stdout=self.log_file, stderr=subprocess.STDOUT, cwd="/")

        def first():
            self._check_running()
            try:
                with open(f"/proc/{self.unshare.pid}/task/{self.unshare.pid}/children") as f:
                    children = f.read().split()
            except OSError:
                return None
            return int(children[0]) if children else None
        self.init_pid = wait_for(first, 30, 0.02)
        if not self.init_pid:
            raise RuntimeError("unshare started nothing:\n" + self.log())
        # Held open until close(), so that no later namespace gets the same
        # number while processes are looked up by it.
        self.ns_fds = [os.open(f"/proc/{self.init_pid}/ns/{ns}", os.O_RDONLY) for ns in ("pid", "mnt")]
        self.pid_ns = os.readlink(f"/proc/{self.init_pid}/ns/pid")
        self.mnt_ns = os.readlink(f"/proc/{self.init_pid}/ns/mnt")

        def shell():
            self._check_running()
            try:
                with open(self.outside(inner + "/shell.pid")) as f:
                    ns_pid = int(f.read())
            except (OSError, ValueError):
                return None
            pids = [host for host, pid in _namespace_pids("pid", self.pid_ns).items()
                    if pid == ns_pid]
            return pids[0] if pids else None
        self.shell_pid = wait_for(shell, 30, 0.02)
        if not self.shell_pid:
            raise RuntimeError("the shell's session did not start:\n" + self.log())

        def unsafe():
            self._check_running()
            try:
                return self.eval("global.context.unsafe_mode") is True
            except RuntimeError:
                return False
        if not wait_for(unsafe, SHELL_STARTS, 0.2):
            raise RuntimeError("the shell did not start with its test extension:\n" + self.log())

        expected, x = {}, 0
        for i, size in enumerate(monitors):
            w, h = map(int, size.split("x"))
            expected[f"Meta-{i}"] = (x, 0, w, h)
            x += w
        if not wait_for(lambda: set(self.monitors()) == set(expected), 30, 0.1):
            raise RuntimeError(f"the shell has monitors {self.monitors()}, not {expected}")
        if self.monitors() != expected:
            # The Shell puts the largest first; the order asked for instead.
            self.set_monitors({c: g[:2] for c, g in expected.items()})

        self.pointer_driver = subprocess.Popen(
            ["nsenter", f"--target={self.init_pid}", "--mount", "--root", "--",
             "chroot", TREE, "setpriv", f"--reuid={uid}", f"--regid={gid}", "--clear-groups",
             "env", "-i", *(f"{k}={v}" for k, v in self.tree_env.items()),
             "gjs", "-m", inner + "/gnome-pointer.js"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.log_file, text=True,
            bufsize=1, cwd="/")
        ready = self._driver_answer()
        if ready != "ready":
            raise RuntimeError(f"the pointer driver said {ready!r}:\n" + self.log())

    def _check_running(self):
        if self.unshare.poll() is not None:
            raise RuntimeError(f"the shell ended with {self.unshare.returncode}:\n" + self.log())

    def log(self):
        """What the shell and its session wrote so far."""
        self.log_file.flush()
        with open(self.log_path, errors="replace") as f:
            return f.read()

    # The shell's D-Bus interfaces.

    def eval(self, code):
        """Runs JavaScript in the shell (imports.gi works there, the shell's
        own modules do not); returns its value, parsed from JSON."""
        ok, text = self.bus.call(*SHELL, "Eval", "s", code)
        if not ok:
            raise RuntimeError(f"Eval failed: {text}\n{code}")
        return json.loads(text) if text else None

    def extension_state(self, uuid):
        """The state of an extension (ACTIVE, INACTIVE, ERROR, ...), None if
        the shell knows no such extension."""
        info = self.bus.call(*EXTENSIONS, "GetExtensionInfo", "s", uuid)[0]
        return int(info["state"]) if info else None

    def set_extension_enabled(self, uuid, enabled):
        """Enables or disables an extension while the shell runs."""
        method = "EnableExtension" if enabled else "DisableExtension"
        self.bus.call(*EXTENSIONS, method, "s", uuid)
        want = ACTIVE if enabled else INACTIVE
        if not wait_for(lambda: self.extension_state(uuid) == want, 30, 0.1):
            raise RuntimeError(f"{uuid} is in state {self.extension_state(uuid)}, not {want}:\n"
                               + self.log())

    def screenshot(self, path):
        """A PNG of the whole stage (no pointer), at `path` on the host."""
        fd, shot = tempfile.mkstemp(prefix="shot-", suffix=".png", dir=self.outside(self.runtime))
        os.close(fd)
        os.unlink(shot)  # the shell will not write over a file
        ok, _used = self.bus.call(*SCREENSHOT, "Screenshot", "bbs", "false", "false",
                                  self.inside(shot))
        if not ok:
            raise RuntimeError("the shell took no screenshot:\n" + self.log())
        shutil.move(shot, path)
        return path

    def display_state(self):
        """DisplayConfig's GetCurrentState: serial, monitors, logical
        monitors, properties."""
        return self.bus.call(*DISPLAY_CONFIG, "GetCurrentState")

    def monitors(self):
        """The monitors that are on: {connector: (x, y, w, h)}, logical."""
        _serial, monitors, logical, _props = self.display_state()
        sizes = {}
        for (connector, *_ids), modes, _mprops in monitors:
            for _id, w, h, _rate, _pref, _scales, props in modes:
                if props.get("is-current"):
                    sizes[connector] = (w, h)
        found = {}
        for x, y, scale, _transform, _primary, members, _props in logical:
            for connector, *_ids in members:
                w, h = sizes[connector]
                found[connector] = (x, y, round(w / scale), round(h / scale))
        # Left to right: set_monitors() makes the first the primary.
        return dict(sorted(found.items(), key=lambda item: item[1][:2]))

    def set_monitors(self, places):
        """Turns on the monitors in `places` ({connector: (x, y)}, the first
        primary) in their current (else preferred) modes, the others off, as
        a temporary configuration; waits until the shell has it."""
        serial, monitors, _logical, _props = self.display_state()
        modes = {}
        for (connector, *_ids), monitor_modes, _mprops in monitors:
            current = [m[0] for m in monitor_modes if m[6].get("is-current")]
            preferred = [m[0] for m in monitor_modes if m[6].get("is-preferred")]
            modes[connector] = (current or preferred or [monitor_modes[0][0]])[0]
        args = [serial, 1, len(places)]
        for i, (connector, (x, y)) in enumerate(places.items()):
            args += [x, y, 1.0, 0, "true" if i == 0 else "false", 1, connector, modes[connector], 0]
        args.append(0)
        self.bus.call(*DISPLAY_CONFIG, "ApplyMonitorsConfig", "uua(iiduba(ssa{sv}))a{sv}", *args)

        def placed():
            found = self.monitors()
            return set(found) == set(places) and all(found[c][:2] == tuple(p)
                                                     for c, p in places.items())
        if not wait_for(placed, 30, 0.1):
            raise RuntimeError(f"the shell has monitors {self.monitors()}, not {places}")
        return self.monitors()

    def remove_monitor(self, connector):
        """Turns one monitor off, as unplugging it does; the others stay."""
        places = {c: g[:2] for c, g in self.monitors().items() if c != connector}
        return self.set_monitors(places)

    def add_monitor(self, connector, x, y):
        """Turns a monitor that is off on again at (x, y)."""
        places = {c: g[:2] for c, g in self.monitors().items()}
        places[connector] = (x, y)
        return self.set_monitors(places)

    def windows(self):
        """The shell's windows, bottom to top: dicts of title, wm_class,
        sequence (higher for later windows), x, y, width, height (the
        frame)."""
        return self.eval("""global.get_window_actors().map(a => {
            const w = a.meta_window, r = w.get_frame_rect();
            return {title: w.get_title(), wm_class: w.get_wm_class(),
                    sequence: w.get_stable_sequence(),
                    x: r.x, y: r.y, width: r.width, height: r.height};
        })""")

    # The pointer.

    def pointer(self):
        """Where the pointer is, (x, y) in layout coordinates."""
        x, y, _mods = self.eval("global.get_pointer()")
        return x, y

    def warp(self, x, y):
        """Puts the pointer at (x, y), as a program does; the shell may
        report the old place for a moment. The shell's pointer barriers
        hold warps as they hold motion: the one at the right end of the
        top panel stops the pointer going right from the primary monitor
        beside the panel."""
        self.eval("imports.gi.Clutter.get_default_backend().get_default_seat()"
                  f".warp_pointer({int(x)}, {int(y)})")

    def put(self, x, y):
        """Warps the pointer to (x, y) by way of its monitor's middle: a warp
        stops at a barrier as the pointer does, and from there none is on
        the way."""
        for cx, cy, w, h in self.monitors().values():
            if cx <= x < cx + w and cy <= y < cy + h:
                for point in ((cx + w // 2, cy + h // 2), (x, y)):
                    self.warp(*point)
                    if self.wait_pointer(point) != point:
                        raise RuntimeError(f"the pointer did not get to {point}")

    def _driver_answer(self, timeout=60):
        # A line within `timeout`, else the driver is taken for stuck.
        with selectors.DefaultSelector() as sel:
            sel.register(self.pointer_driver.stdout, selectors.EVENT_READ)
            if not sel.select(timeout):
                raise RuntimeError("the pointer driver does not answer:\n" + self.log())
        line = self.pointer_driver.stdout.readline()
        if not line:
            raise RuntimeError("the pointer driver ended:\n" + self.log())
        return line.rstrip("\n")

    def _drive(self, command):
        if self.pointer_driver.poll() is not None:
            raise RuntimeError(f"the pointer driver ended with {self.pointer_driver.returncode}:\n"
                               + self.log())
        self.pointer_driver.stdin.write(command + "\n")
        self.pointer_driver.stdin.flush()
        answer = self._driver_answer()
        if answer != "ok":
            raise RuntimeError(f"the pointer driver: {command!r}: {answer}")

    def rel(self, dx, dy):
        """The device moves by (dx, dy), as a mouse does."""
        self._drive(f"rel {dx} {dy}")

    def button(self, down):
        """Presses or releases the left button."""
        self._drive("button down" if down else "button up")

    def key(self, code, down):
        """Presses or releases a key, by its evdev code (42: left Shift)."""
        self._drive(f"key {code} {'down' if down else 'up'}")

    def click(self, x, y):
        """A left click at (x, y)."""
        self.warp(x, y)
        if self.wait_pointer((x, y)) != (x, y):
            raise RuntimeError(f"the pointer did not get to {(x, y)} to click")
        self.button(True)
        self.button(False)

    def processes(self):
        """Host pids of the processes in the shell's namespaces."""
        pids = set()
        if self.pid_ns:
            pids |= set(_namespace_pids("pid", self.pid_ns))
        if self.mnt_ns:
            pids |= set(_namespace_pids("mnt", self.mnt_ns))
        return pids

    def close(self):
        if self.pointer_driver and self.pointer_driver.poll() is None:
            try:
                self.pointer_driver.stdin.write("quit\n")
                self.pointer_driver.stdin.flush()
                self.pointer_driver.wait(10)
            except (OSError, ValueError, subprocess.TimeoutExpired):
                pass
        end(self.pointer_driver)
        for proc in reversed(self.procs):
            end(proc)
        self.procs = []
        if self.unshare and self.unshare.poll() is None:
            # The shell first, so that it ends cleanly; when it has, the
            # namespace's first process ends and takes the rest with it.
            if self.shell_pid:
                try:
                    os.kill(self.shell_pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
            try:
                self.unshare.wait(30)
            except subprocess.TimeoutExpired:
                # unshare hands its SIGKILL on to the namespace's first process.
                end(self.unshare, sig=signal.SIGKILL)
        # Nothing is left once the first process has ended, but for a
        # program entered into the mount namespace that did not end.
        for pid in self.processes():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        wait_for(lambda: not self.processes(), 30, 0.05)
        for fd in self.ns_fds:
            os.close(fd)
        self.ns_fds = []
        for proc in (self.pointer_driver, self.unshare):
            for stream in (proc.stdin, proc.stdout) if proc else ():
                if stream:
                    stream.close()
        if self.log_file:
            self.log_file.close()
        if self.inner:
            shutil.rmtree(self.inner, ignore_errors=True)
        shutil.rmtree(self.dir, ignore_errors=True)


class GnomePellmar(WaylandPellmar):
    """The real program in a GNOME Shell session, on Qt's Wayland platform
    (Qt 5 would take X11 on GNOME), run as the session's user with its own
    settings folder; its output goes to a log."""

    def __init__(self, gnome, settings=None, config_dir=None, extra_env=None):
        self.gnome = gnome
        super().__init__(gnome, settings, config_dir,
                         dict({"QT_QPA_PLATFORM": "wayland"}, **(extra_env or {})))

    def wait_window(self, timeout=30.0):
        """Waits for the main window (titled "Pellmar") to be mapped; returns
        the shell's view of it (windows()). Message boxes carry the same
        title: the first one mapped is taken."""
        def find():
            if self.proc.poll() is not None:
                return None
            found = [w for w in self.gnome.windows() if w["title"] == "Pellmar"]
            return min(found, key=lambda w: w["sequence"]) if found else None
        self.window = wait_for(find, timeout, 0.1)
        assert self.window, "the Pellmar window did not appear:\n" + self.output()
        return self.window


def to_pellmar_window(gnome, action):
    """Does `action` (JavaScript of `w`) to Pellmar's main window in the
    Shell."""
    gnome.eval("global.get_window_actors().map(a => a.meta_window)"
               ".filter(w => w.get_title() === 'Pellmar')"
               ".forEach(w => { %s; }), true" % action)


def close_window(gnome):
    """What the title bar's close button does to Pellmar's main window."""
    to_pellmar_window(gnome, "w.delete(global.get_current_time())")


def service(gnome, expression):
    """`expression` of the extension's running service object (as `s`),
    evaluated in the Shell (the harness's helper extension lends Eval the
    Shell's main module as `pellmarTestMain`)."""
    return gnome.eval(
        "(() => { const s = pellmarTestMain.extensionManager.lookup('%s').stateObj._service; "
        "return %s; })()" % (EXTENSION_UUID, expression))


def gnome_for(test, monitors=TWO_MONITORS, **kwargs):
    """A GNOME Shell session that lives as long as the test."""
    gnome = GnomeShell(monitors, **kwargs)
    test.addCleanup(gnome.close)
    return gnome


def gnome_pellmar_for(test, gnome, settings=None, pointer=(700, 400), **kwargs):
    """The real program in `gnome` for the length of the test, its window
    up, started with the pointer away from every edge."""
    if pointer:
        gnome.warp(*pointer)
        gnome.wait_pointer(pointer)
    app = GnomePellmar(gnome, settings, **kwargs)
    test.addCleanup(app.kill)
    app.wait_window()
    return app
