#!/usr/bin/env python3
"""Measures what Pellmar costs and how fast it reacts, on the virtual
multi-screen desktop (tools/virtual-desktop.sh; needs root):

    python3 tools/benchmark.py [--quick]

Prints a table: CPU share of one core with the pointer still and while it
moves at 250 and 1000 motions a second, for pellmar and, in the same run,
for the yardstick, for pellmar's polling engine (pellmar with
PELLMAR_NO_DEVICE_MOTION=1: what it falls back to where the X server reports
no device motion) and for the X server alone; reaction time from a pointer
put on a wrapping edge until an X client hears it move off it, and from a
pointer moved across the seam, with Cross by physical size on, until it is
heard on the row the sizes give; and resident memory. The pointer is driven as a device would drive it (XTest motion);
warps by another program (XWarpPointer) are timed separately. Each row
names its target and whether this run met it.

The yardstick is pellmar-yardstick (tools/yardstick): the first version's
plain loop on its own, a cursor sample and a readout refresh every 100 µs
and a speed every 150 ms, with no wrapping. It is taken from the folder of
the pellmar this run measures (build/pellmar, or $PELLMAR_BIN); where it is
missing and that folder is a CMake build, it is built there first
(cmake --build DIR --target pellmar_yardstick).
"""
import argparse
import os
import platform
import random
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import (PELLMAR, Desktop, MotionWatcher, Pellmar, cpu_seconds, rss_kib,  # noqa: E402
                     wait_for)

LAYOUT = "1920x1080+0+0 1280x1024+1920+0"
RIGHT_EDGE = 3199
SEAM = 1920
# A 24" 1080p beside a 19" 5:4: their pixels differ in size, so a crossing
# by size lands on another row.
SIZES_MM = {"DUMMY0": (530, 298), "DUMMY1": (376, 301)}


def cpu_share(pids, seconds, during=None):
    """Share of one core each process used over the run, in per cent."""
    c0, t0 = [cpu_seconds(p) for p in pids], time.monotonic()
    if during:
        during(seconds)
    else:
        time.sleep(seconds)
    elapsed = time.monotonic() - t0
    return [100.0 * (cpu_seconds(p) - c) / elapsed for p, c in zip(pids, c0)]


def keep_moving(pointer, seconds, rate=1000):
    """Moves the pointer at `rate` motions a second, on a fixed schedule,
    over the right screen, away from Pellmar's window (on the left one) and
    from the edges: the mouse at work in other programs. Each motion is sent
    without waiting for the X server, as a mouse's are: a round trip per
    motion would be X server work of the benchmark's own."""
    t0 = time.monotonic()
    k = 0
    while True:
        due = t0 + k / rate
        now = time.monotonic()
        if now - t0 >= seconds:
            return
        if due > now:
            time.sleep(due - now)
        k += 1
        pointer.move(2000 + (k * 7) % 1100, 100 + (k * 3) % 800, wait=False)


def moving_cost(desk, pids, seconds, rate, runs=1):
    """CPU of each pid while the pointer moves at `rate` motions a second;
    over several runs, each pid's median (a virtual machine's share of a
    core moves between runs)."""
    shares = [cpu_share(pids, seconds, lambda s: keep_moving(desk.x, s, rate)) for _ in range(runs)]
    return [statistics.median(column) for column in zip(*shares)]


def start_pellmar(desk, extra_env=None, settings=None):
    desk.x.move(700, 500)
    app = Pellmar(desk, {"allowRightWrap": True, "boolShowToolTip": False, **(settings or {})},
                  extra_env=extra_env)
    app.wait_window()
    time.sleep(2)
    return app


def yardstick_binary():
    """pellmar-yardstick beside the pellmar this run measures, built first
    if it is missing and pellmar sits in a CMake build (both land at the
    top of theirs); exits with a message where it cannot be had."""
    folder = os.path.dirname(os.path.abspath(PELLMAR))
    path = os.path.join(folder, "pellmar-yardstick")
    if os.access(path, os.X_OK):
        return path
    if not os.path.isfile(os.path.join(folder, "CMakeCache.txt")):
        sys.exit(f"benchmark: the yardstick {path} is missing, and {folder} is not a CMake build "
                 "to build it in; build the target pellmar_yardstick in the build of the pellmar "
                 "measured (set PELLMAR_BIN to that build's pellmar)")
    command = ["cmake", "--build", folder, "--target", "pellmar_yardstick"]
    print(f"benchmark: the yardstick {path} is missing; building it: {' '.join(command)}",
          file=sys.stderr, flush=True)
    status = subprocess.run(command).returncode
    if status != 0 or not os.access(path, os.X_OK):
        sys.exit(f"benchmark: building the yardstick failed (cmake status {status}); is "
                 f"tools/yardstick part of the build in {folder}?")
    return path


class Yardstick:
    """pellmar-yardstick on the desktop, started and ended as Pellmar is.
    Closing its window hides it, as the first version hid into its tray."""

    def __init__(self, desktop, binary):
        self.desktop = desktop
        desktop.x.move(700, 500)
        self.log = tempfile.TemporaryFile("w+")
        self.proc = subprocess.Popen([binary], env=desktop.env, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self.window = wait_for(self._find_window, 10, 0.05)
        assert self.window, "the yardstick's window did not appear:\n" + self.output()
        time.sleep(2)

    def _find_window(self):
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Pellmar yardstick$"],
                           env=self.desktop.env, capture_output=True, text=True)
        ids = r.stdout.split()
        return ids[0] if ids else None

    def main_window_visible(self):
        out = subprocess.run(["xwininfo", "-id", str(self.window)], env=self.desktop.env,
                             capture_output=True, text=True).stdout
        return "IsViewable" in out

    def output(self):
        self.log.seek(0)
        return self.log.read()

    def stop(self, timeout=10):
        """Ends it with SIGTERM; returns its exit status."""
        try:
            if self.proc.poll() is None:
                self.proc.send_signal(signal.SIGTERM)
            status = self.proc.wait(timeout)
            if status != 0:
                sys.stderr.write(f"pellmar-yardstick ended with {status}:\n{self.output()}\n")
            return status
        finally:
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
            self.log.close()


def hide_to_tray(app):
    """Closes the window as a window manager's close button does: Pellmar
    hides it in the tray, where it spends most of a working day (the
    yardstick hides it as well)."""
    app.desktop.x.request_close(app.window)
    wait_for(lambda: not app.main_window_visible(), 5)
    time.sleep(0.5)


def show_window(app):
    app.desktop.xdotool("windowmap", app.window)
    wait_for(app.main_window_visible, 5)
    time.sleep(0.5)


def reaction_ms(pointer, watcher, stand_still, y, by_warp=False):
    """From a pointer put on the wrapping edge until an X client hears it
    move off it. Heard by events: a reader asking the X server for the
    pointer in a tight loop would keep a core and the X server busy and
    time itself as much as Pellmar."""
    pointer.move(700, 500)
    time.sleep(stand_still)
    watcher.forget()
    (pointer.warp if by_warp else pointer.move)(RIGHT_EDGE, y)
    t0 = time.perf_counter()
    t1 = watcher.wait_off(RIGHT_EDGE)
    if t1 is None or pointer.position()[0] == RIGHT_EDGE:
        return float("inf")
    return 1000.0 * (t1 - t0)


def crossing_ms(pointer, watcher, stand_still, y):
    """From a pointer moved across the seam, as a device moves it, until an X
    client hears it moved off the row it kept. It comes back by way of the
    left monitor's middle: coming back across the seam moves it too."""
    pointer.move(700, 500)
    pointer.move(SEAM - 20, y)
    time.sleep(stand_still)
    watcher.forget()
    pointer.move(SEAM + 5, y)
    t0 = time.perf_counter()
    t1 = watcher.wait_off(y, row=True)
    if t1 is None or pointer.position()[1] == y:
        return float("inf")
    return 1000.0 * (t1 - t0)


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100.0 * (len(values) - 1))))]


def mark(ok):
    return "met" if ok else "**missed**"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="shorter runs, for a smoke test")
    args = parser.parse_args()
    still_s, move_s, soak_s, trials, long_still, runs = (
        (3, 3, 10, 20, 0.5, 1) if args.quick else (10, 10, 60, 100, 2.0, 3))

    yardstick = yardstick_binary()
    desk = Desktop(LAYOUT)
    try:
        desk.start_tray()
        xpid = desk.server_pid()
        pointer = desk.x
        # The floor: the X server moving the pointer with no client at all.
        _, floor_x = moving_cost(desk, [os.getpid(), xpid], move_s, 250, runs)

        # The yardstick: the first version's plain 100 µs loop, a sample and
        # a readout every pass. And the polling engine, as where no device
        # motion is reported.
        plain = Yardstick(desk, yardstick)
        hide_to_tray(plain)
        plain250 = moving_cost(desk, [plain.proc.pid, xpid], move_s, 250)
        plain_status = plain.stop()
        poll = start_pellmar(desk, {"PELLMAR_NO_DEVICE_MOTION": "1"})
        hide_to_tray(poll)
        poll250 = moving_cost(desk, [poll.proc.pid, xpid], move_s, 250)
        poll1000 = moving_cost(desk, [poll.proc.pid, xpid], move_s, 1000)
        poll_status = poll.stop()

        app = start_pellmar(desk)
        rss_start = rss_kib(app.proc.pid)
        pids = [app.proc.pid, xpid]
        idle, idle_x = cpu_share(pids, still_s)
        shown250 = moving_cost(desk, pids, move_s, 250)
        hide_to_tray(app)
        ev250 = moving_cost(desk, pids, move_s, 250, runs)
        ev1000 = moving_cost(desk, pids, move_s, 1000)
        hidden_idle, _ = cpu_share(pids, still_s)
        show_window(app)

        # Half the trials after a long stillness, when the engine has long
        # been asleep.
        watcher = MotionWatcher(desk.display)
        times = []
        for k in range(trials):
            still = long_still if k % 2 == 0 else random.uniform(0.02, 0.3)
            times.append(reaction_ms(pointer, watcher, still, 100 + (k * 37) % 900))
        warps = [reaction_ms(pointer, watcher, 2.0 if k % 2 else 0.1, 300, by_warp=True)
                 for k in range(10)]
        watcher.close()

        keep_moving(pointer, soak_s, 250)
        pointer.position()  # every motion sent has been taken
        rss_end = rss_kib(app.proc.pid)
        status = app.stop()

        # Crossing by size: from rows well off the middles, where the sizes
        # move the pointer by tens of rows.
        sizes = {}
        for name, (w, h) in SIZES_MM.items():
            sizes[f"Choices\\Monitors\\{name}\\widthMm"] = w
            sizes[f"Choices\\Monitors\\{name}\\heightMm"] = h
        crossing = start_pellmar(desk, settings={"Choices\\crossByPhysicalSize": True, **sizes})
        hide_to_tray(crossing)
        watcher = MotionWatcher(desk.display)
        crossings = [crossing_ms(pointer, watcher, long_still if k % 2 == 0 else
                                 random.uniform(0.02, 0.3), 600 + (k * 37) % 400)
                     for k in range(trials)]
        watcher.close()
        crossing_status = crossing.stop()
    finally:
        desk.close()

    cpu = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo") as f:
            cpu = next(line.split(":", 1)[1].strip() for line in f if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    ratio = 100.0 * sum(ev250) / sum(plain250)
    print(f"- Machine: {os.cpu_count()} cores, {cpu}; {platform.system()} {platform.release()}")
    print(f"- Desktop: Xorg dummy driver, {LAYOUT}, a tray (trayer); pellmar exit status "
          f"{status} (yardstick run: {plain_status}, polling run: {poll_status}); the pointer "
          "moves over the screen without Pellmar's window")
    print()
    print("| measure | result | target |")
    print("|---|---|---|")
    print(f"| CPU, pointer still, {still_s} s, window shown | {idle:.2f}% of a core "
          f"(X server: {idle_x:.2f}%) | ≤ 0.2%: {mark(idle <= 0.2)} |")
    print(f"| same, window hidden in the tray | {hidden_idle:.2f}% | |")
    print(f"| CPU, pointer moving, 250 motions/s, {move_s} s (median of {runs} runs), window in the tray "
          f"| {ev250[0]:.2f}% of a core "
          f"(X server: {ev250[1]:.2f}%) | ≤ 3% (X ≤ 2%): {mark(ev250[0] <= 3 and ev250[1] <= 2)} |")
    print(f"| same, 1000 motions/s | {ev1000[0]:.2f}% (X server: {ev1000[1]:.2f}%) "
          f"| ≤ 8%: {mark(ev1000[0] <= 8)} |")
    print(f"| same, 250 motions/s, window shown (live readout) | {shown250[0]:.2f}% "
          f"(X server: {shown250[1]:.2f}%) | |")
    print(f"| yardstick: the first version's plain 100 µs loop, 250 motions/s "
          f"| {plain250[0]:.1f}% (X server: {plain250[1]:.1f}%) | |")
    print(f"| polling engine (no device motion reported), 250 motions/s | {poll250[0]:.1f}% "
          f"(X server: {poll250[1]:.1f}%) | |")
    print(f"| same, 1000 motions/s | {poll1000[0]:.1f}% (X server: {poll1000[1]:.1f}%) | |")
    print(f"| pellmar + X server at 250 motions/s, share of the yardstick's | {ratio:.1f}% "
          f"| ≤ 8%: {mark(ratio <= 8)} |")
    print(f"| X server alone, no client, 250 motions/s (the floor, median of {runs} runs) "
          f"| {floor_x:.2f}% | |")
    print(f"| reaction to a pointer moved onto a wrapping edge, {trials} trials (half after "
          f"{long_still:g} s still): median / 99th pct / max "
          f"| {statistics.median(times):.2f} / {percentile(times, 99):.2f} / {max(times):.2f} ms "
          f"| median ≤ 1, max ≤ 15: {mark(statistics.median(times) <= 1 and max(times) <= 15)} |")
    print(f"| same, pointer warped there by another program, {len(warps)} trials: median / max "
          f"| {statistics.median(warps):.1f} / {max(warps):.1f} ms | max ≤ 250: "
          f"{mark(max(warps) <= 250)} |")
    print(f"| reaction to a pointer moved across the seam, crossing by size, {trials} trials "
          f"(half after {long_still:g} s still; exit status {crossing_status}): median / 99th pct / "
          f"max | {statistics.median(crossings):.2f} / {percentile(crossings, 99):.2f} / "
          f"{max(crossings):.2f} ms | as the wrap's: "
          f"{mark(statistics.median(crossings) <= 1 and max(crossings) <= 15)} |")
    print(f"| resident memory at start / after {soak_s} s of movement "
          f"| {rss_start / 1024:.1f} / {rss_end / 1024:.1f} MiB | flat: "
          f"{mark(rss_end <= rss_start * 1.02)} |")


if __name__ == "__main__":
    main()
