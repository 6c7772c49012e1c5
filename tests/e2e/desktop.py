"""A real X desktop for end-to-end tests: Xorg with the dummy driver and
RandR monitors laid out side by side, the real pellmar on it, and xdotool
to drive the pointer. Every process started here is ended by its own id."""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

SOURCE = os.environ.get("PELLMAR_SOURCE_DIR",
                        os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
PELLMAR = os.environ.get("PELLMAR_BIN", os.path.join(SOURCE, "build", "pellmar"))
VIRTUAL_DESKTOP = os.path.join(SOURCE, "tools", "virtual-desktop.sh")

TWO_SCREENS = "1920x1080+0+0 1280x1024+1920+0"


def wait_for(predicate, timeout=5.0, step=0.01):
    """Polls until predicate() is true; returns its last value."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


class Desktop:
    def __init__(self, layout=TWO_SCREENS):
        self.layout = layout
        self.dir = tempfile.mkdtemp(prefix="pellmar-desktop-")
        out = subprocess.run([VIRTUAL_DESKTOP, "start", self.dir, layout], check=True,
                             capture_output=True, text=True, timeout=60)
        self.display = out.stdout.strip().splitlines()[-1]
        self.env = dict(os.environ, DISPLAY=self.display)

    def close(self):
        subprocess.run([VIRTUAL_DESKTOP, "stop", self.dir], check=False, timeout=30)
        shutil.rmtree(self.dir, ignore_errors=True)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                              capture_output=True, text=True, timeout=10).stdout

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def pointer(self):
        out = self.xdotool("getmouselocation")
        m = re.search(r"x:(-?\d+) y:(-?\d+)", out)
        return int(m.group(1)), int(m.group(2))

    def wait_pointer(self, expected, timeout=2.0):
        """Waits until the pointer is at `expected`; returns where it is."""
        wait_for(lambda: self.pointer() == tuple(expected), timeout)
        return self.pointer()

    def stays(self, expected, seconds=0.3):
        """True if the pointer stays at `expected` for a while."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if self.pointer() != tuple(expected):
                return False
            time.sleep(0.01)
        return True

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y, "click", button)

    def monitors(self):
        out = subprocess.run(["xrandr", "--listmonitors"], env=self.env, check=True,
                             capture_output=True, text=True).stdout
        return [tuple(map(int, m)) for m in re.findall(r" (\d+)/\d+x(\d+)/\d+\+(-?\d+)\+(-?\d+)", out)]

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, timeout=30)


class Pellmar:
    """The real program, with its own settings folder."""

    def __init__(self, desktop, settings=None, config_dir=None, extra_env=None):
        self.desktop = desktop
        self.config = config_dir or tempfile.mkdtemp(prefix="pellmar-config-")
        self.settings_file = os.path.join(self.config, "Brenvik", "Pellmar.conf")
        if settings is not None:
            os.makedirs(os.path.dirname(self.settings_file), exist_ok=True)
            with open(self.settings_file, "w") as f:
                f.write("[General]\n")
                for key, value in settings.items():
                    f.write(f"{key}={str(value).lower()}\n")
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

    def stop(self, sig=signal.SIGTERM, timeout=10):
        """Ends the program by signal; returns its exit status."""
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            return self.proc.wait(timeout)
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

    def stored(self):
        """The settings file as a dict of strings."""
        values = {}
        with open(self.settings_file) as f:
            for line in f:
                if "=" in line:
                    k, v = line.strip().split("=", 1)
                    values[k] = v
        return values

    def cpu_seconds(self):
        with open(f"/proc/{self.proc.pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
