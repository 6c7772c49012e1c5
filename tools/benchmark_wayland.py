#!/usr/bin/env python3
"""Measures what Pellmar costs and how fast it reacts as a native Wayland
client, on a headless sway run by the end-to-end tests' harness
(tests/e2e/wayland.py; sway runs as an ordinary user, made if missing when
this runs as root):

    python3 tools/benchmark_wayland.py [--quick]

Pellmar ($PELLMAR_BIN, else build/pellmar) wraps at the left and the right
edge of the desktop, with Screen Focus on (a curtain over the output without
the pointer), its window shown. Prints a table: the CPU share of one
core for pellmar and for sway with the pointer still and while it moves
over HEADLESS-1, away from pellmar's strips and window, as a mouse moves it
(the probe's small relative steps, 250 a second), and sway's on its own
once pellmar has ended; the system calls pellmar makes meanwhile, where
strace is installed; the reaction from the pointer moved onto a wrapping
edge until the probe sees it at the landing point (pellmar-wl-probe, built
beside pellmar, or $PELLMAR_WL_PROBE), and from a mouse step over the seam,
with Cross by physical size on, until the probe sees it on the row the sizes
give; and resident memory. CPU shares
come from /proc/PID/stat (utime + stime, in clock ticks), with the
scheduler's own count (schedstat, in nanoseconds) beside them.

The reaction is an upper bound on pellmar's part: it also holds sway
handing the motion to pellmar's strip and the jump's position to the
probe. On Wayland the engine has no timer at all: it sleeps until the
compositor reports the pointer on one of its strips.
"""
import argparse
import os
import platform
import random
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import cpu_seconds, rss_kib  # noqa: E402
from wayland import Sway, WaylandPellmar, end  # noqa: E402

LAYOUT = "1920x1080+0+0 1280x1024+1920+0"
LEFT_SCREEN = (0, 0, 1920, 1080)
RIGHT_SCREEN = (1920, 0, 1280, 1024)
RIGHT_EDGE = 3199
# The probe's wander covers a square this big, right of and below its start.
WANDER = 200
SEAM = 1920
# A 24" 1080p beside a 19" 5:4: their pixels differ in size, so a crossing
# by size lands on another row.
SIZES_MM = {"HEADLESS-1": (530, 298), "HEADLESS-2": (376, 301)}


def row_by_size(y):
    """The right screen's row at the height on the desk of the left one's
    row y, middles level, as Pellmar's rule has it (whole numbers)."""
    (_, a_mm), (_, b_mm) = SIZES_MM["HEADLESS-1"], SIZES_MM["HEADLESS-2"]
    a_px, b_px = LEFT_SCREEN[3], RIGHT_SCREEN[3]
    n = (2 * y + 1 - a_px) * a_mm * b_px + a_px * b_mm * b_px
    return min(max(n // (2 * a_px * b_mm), 0), b_px - 1)
TICK = os.sysconf("SC_CLK_TCK")


def stat_seconds(pid):
    """CPU time of a process, all its threads, from /proc/PID/stat: utime +
    stime, in clock ticks (10 ms where CLK_TCK is 100)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def cpu_share(pids, seconds, during=None):
    """Each process's share of one core over the run, in per cent, as
    [(by /proc/PID/stat, by the scheduler's count)]."""
    before = [(stat_seconds(p), cpu_seconds(p)) for p in pids]
    t0 = time.monotonic()
    if during:
        during(seconds)
    else:
        time.sleep(seconds)
    elapsed = time.monotonic() - t0
    return [(100.0 * (stat_seconds(p) - s) / elapsed, 100.0 * (cpu_seconds(p) - c) / elapsed)
            for p, (s, c) in zip(pids, before)]


def moving_cost(sway, start, pids, seconds, rate, runs):
    """CPU shares while the probe wanders from `start` at `rate` motions a
    second; over several runs, each figure's median (a virtual machine's
    share of a core moves between runs)."""
    def wander(s):
        sway.move(*start)
        sway.wander(rate, s)
    shares = [cpu_share(pids, seconds, wander) for _ in range(runs)]
    return [tuple(statistics.median(run[i][j] for run in shares) for j in range(2))
            for i in range(len(pids))]


def clear_of(box, rect, margin):
    x, y, w, h = box
    rx, ry, rw, rh = rect
    return (x + w + margin <= rx or rx + rw + margin <= x or
            y + h + margin <= ry or ry + rh + margin <= y)


def free_box(screen, window, size):
    """The top left of a `size` px square on `screen` as near its middle as
    pellmar's window allows, clear of that window and of the edges."""
    sx, sy, sw, sh = screen
    middle = (sx + (sw - size) // 2, sy + (sh - size) // 2)
    candidates = [middle]
    if window:
        wx, wy, ww, wh = window
        candidates += [(middle[0], wy + wh + 60), (middle[0], wy - size - 60),
                       (wx - size - 60, middle[1]), (wx + ww + 60, middle[1])]
    for x, y in candidates:
        box = (x, y, size, size)
        inside = (x >= sx + 40 and y >= sy + 40 and x + size <= sx + sw - 40
                  and y + size <= sy + sh - 40)
        if inside and (not window or clear_of(box, window, 40)):
            return x, y
    sys.exit(f"benchmark: no room on {screen} clear of pellmar's window at {window}")


def syscalls(pid, seconds, during=None):
    """System calls of a process, all its threads, over the run, counted by
    strace -c: (total, {name: calls}), or why there is no count."""
    if not shutil.which("strace"):
        return "strace not installed"
    with tempfile.NamedTemporaryFile("r", suffix=".strace") as out:
        tracer = subprocess.Popen(["strace", "-c", "-f", "-p", str(pid), "-o", out.name],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        time.sleep(0.5)  # attached to every thread
        if during:
            during(seconds)
        else:
            time.sleep(seconds)
        # Interrupted, strace writes its count and ends by the same signal.
        tracer.send_signal(signal.SIGINT)
        try:
            _, err = tracer.communicate(timeout=10)
        finally:
            end(tracer)
        if "attached" not in err:
            sys.stderr.write(f"benchmark: strace could not attach: {err}\n")
            return "strace could not attach"
        # No line at all when the process made no call.
        counts = {}
        for line in out.read().splitlines():
            parts = line.split()
            if len(parts) < 5 or not parts[0][0].isdigit() or parts[-1] == "total":
                continue
            counts[parts[-1]] = int(parts[3])
        return sum(counts.values()), counts


def show_calls(found):
    if isinstance(found, str):
        return found
    total, counts = found
    if not total:
        return "0"
    names = ", ".join(f"{n} {c}" for n, c in sorted(counts.items(), key=lambda kv: -kv[1]))
    return f"{total} ({names})"


WRAP_MS = 2**32 / 1000.0


def wayland_ms():
    """Now, on the clock libwayland's debug log stamps its lines with: real
    time in microseconds cut to 32 bits, shown in milliseconds (it wraps
    every 71.6 minutes)."""
    return (time.time_ns() // 1000 % 2**32) / 1000.0


def curtain_follow(sway, rests, trials):
    """How soon a curtain is up after the pointer crosses to the other
    output: a pellmar with Screen Focus on and libwayland's debug log
    (WAYLAND_DEBUG), the pointer moved across `trials` times by turns; for
    each, the milliseconds from sending the motion until pellmar commits the
    new curtain's buffer (sway's focus event, its delivery and the new
    surface's configure included; sway's next frame is not). The log slows
    pellmar a little: an upper bound."""
    app = WaylandPellmar(sway, {"boolShowToolTip": False, "Choices\\screenFocus": True,
                                "Choices\\screenFocusDarkness": 50},
                         extra_env={"WAYLAND_DEBUG": "client"})
    try:
        app.wait_window()
        # Every timed move crosses: the first one starts from the other side.
        sway.move(*rests[1])
        sent = []
        for k in range(trials):
            time.sleep(0.15)
            t = wayland_ms()
            sway.move(*rests[k % 2])
            sent.append(t)
        time.sleep(0.5)
        log = app.output()
    finally:
        app.kill()
    curtains = set()
    ups = []
    attached = set()
    for line in log.splitlines():
        stamp = re.match(r"\[\s*(\d+)\.(\d+)\]\s+-> (.*)", line)
        if not stamp:
            continue
        when = int(stamp.group(1)) + int(stamp.group(2)) / 1000.0
        request = stamp.group(3)
        made = re.search(r"get_layer_surface\(new id \S+, (wl_surface@\d+), .*\"pellmar-curtain\"",
                         request)
        if made:
            curtains.add(made.group(1))
            continue
        surface = request.split(".", 1)[0]
        if surface in curtains and ".attach(" in request:
            attached.add(surface)
        elif surface in curtains and request.endswith(".commit()") and surface in attached:
            ups.append(when)
            curtains.discard(surface)
    times = []
    for t in sent:
        later = [d for d in ((u - t) % WRAP_MS for u in ups) if d < 1000]
        times.append(min(later) if later else float("inf"))
    return times


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100.0 * (len(values) - 1))))]


def spread(times):
    """Median / 99th percentile / slowest of timings in ms, and how many
    never came."""
    missed = sum(1 for t in times if t == float("inf"))
    late = f"; {missed} not there within 1 s" if missed else ""
    return (f"{statistics.median(times):.2f} / {percentile(times, 99):.2f} / "
            f"{max(times):.2f} ms{late}")


def sway_version():
    try:
        out = subprocess.run(["sway", "--version"], capture_output=True, text=True,
                             timeout=30).stdout.strip()
    except (OSError, subprocess.TimeoutExpired):
        return "sway (version unknown)"
    return out.replace("sway version ", "sway ") or "sway (version unknown)"


def pct(share):
    return f"{share[0]:.2f}%"


def sched(share):
    return f"{share[1]:.3f}%"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="shorter runs, for a smoke test")
    args = parser.parse_args()
    still_s, move_s, trials, long_still, runs = (
        (3, 3, 20, 0.5, 1) if args.quick else (10, 10, 100, 2.0, 3))
    rate = 250

    app = None
    sway = Sway(LAYOUT)
    try:
        sway_pid, probe_pid = sway.sway.pid, sway.probe.pid

        # Started with the pointer on HEADLESS-2, where sway then shows its
        # window: the middle of HEADLESS-1 stays free for the pointer.
        sway.move(RIGHT_SCREEN[0] + RIGHT_SCREEN[2] // 2, RIGHT_SCREEN[1] + RIGHT_SCREEN[3] // 2)
        app = WaylandPellmar(sway, {"allowLeftWrap": True, "allowRightWrap": True,
                                    "Choices\\screenFocus": True, "boolShowToolTip": False})
        app.wait_window()
        window = app.window_geometry()
        start = free_box(LEFT_SCREEN, window, WANDER)
        # Each trial starts on the screen of its edge: a pointer that has to
        # cross outputs to reach the edge makes sway change the focused
        # output on the way, which is no part of the jump.
        rest_left = (start[0] + WANDER // 2, start[1] + WANDER // 2)
        rest_right = tuple(c + 1 for c in free_box(RIGHT_SCREEN, window, 2))
        for rest in (rest_right, rest_left):
            sway.move(*rest)
            if sway.where() != rest:
                sys.exit(f"benchmark: the pointer at {rest} is not over the probe's background "
                         f"(pellmar's window: {window})")
        time.sleep(2)
        pid = app.proc.pid
        rss_start = rss_kib(pid)
        pids = [pid, sway_pid]

        idle = cpu_share(pids, still_s)
        moving = moving_cost(sway, start, [pid, sway_pid, probe_pid], move_s, rate, runs)
        idle_calls = syscalls(pid, still_s)

        def wander(s):
            sway.move(*start)
            sway.wander(rate, s)
        moving_calls = syscalls(pid, move_s, wander)

        # Half the trials after a long stillness, alternating the right edge
        # and the left one, each taken both ways.
        times = []
        for k in range(trials):
            still = long_still if k % 2 == 0 else random.uniform(0.02, 0.3)
            right = (k // 2) % 2 == 0
            y = 100 + (k * 37) % 900
            sway.move(*(rest_right if right else rest_left))
            time.sleep(still)
            edge, landing = (((RIGHT_EDGE, y), (1, y)) if right
                             else ((0, y), (RIGHT_EDGE - 1, y)))
            seconds = sway.react(edge, landing, 1000)
            times.append(float("inf") if seconds is None else 1000.0 * seconds)
        rss_end = rss_kib(pid)
        status = app.stop()
        follow = curtain_follow(sway, (rest_right, rest_left), trials)

        # Crossing by size: the pointer put on the left screen's seam column,
        # then a mouse step of 5 px over the seam, from rows well off the
        # middles, where the sizes move it by tens of rows.
        sizes = {}
        for name, (w, h) in SIZES_MM.items():
            sizes[f"Choices\\Monitors\\{name}\\widthMm"] = w
            sizes[f"Choices\\Monitors\\{name}\\heightMm"] = h
        sway.move(RIGHT_SCREEN[0] + RIGHT_SCREEN[2] // 2, RIGHT_SCREEN[1] + RIGHT_SCREEN[3] // 2)
        app = WaylandPellmar(sway, {"Choices\\crossByPhysicalSize": True,
                                    "boolShowToolTip": False, **sizes})
        app.wait_window()
        crossings = []
        for k in range(trials):
            y = 600 + (k * 37) % 400
            sway.move(*rest_left)
            time.sleep(long_still if k % 2 == 0 else random.uniform(0.02, 0.3))
            seconds = sway.react((SEAM - 1, y), (SEAM + 1, row_by_size(y)), 1000, onwards=(5, 0))
            crossings.append(float("inf") if seconds is None else 1000.0 * seconds)
        crossing_status = app.stop()

        # The floor: sway on its own, still and taking the same motions.
        sway.move(*rest_left)
        floor_idle = cpu_share([sway_pid], still_s)[0]
        floor = moving_cost(sway, start, [sway_pid], move_s, rate, runs)[0]
    finally:
        if app is not None:
            app.kill()
        sway.close()

    cpu = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo") as f:
            cpu = next(line.split(":", 1)[1].strip() for line in f if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    x, y = start
    on = "HEADLESS-2" if window[0] >= RIGHT_SCREEN[0] else "HEADLESS-1"
    print(f"- Machine: {os.cpu_count()} cores, {cpu}; {platform.system()} {platform.release()}")
    print(f"- Desktop: {sway_version()}, headless backend, pixman renderer, {LAYOUT}; pellmar "
          f"with the left and right wraps on, its window shown at {window[0]},{window[1]} "
          f"({window[2]}x{window[3]}, on {on}); pellmar exit status {status}")
    print(f"- CPU from /proc/PID/stat (utime + stime, {1000 // TICK} ms ticks); in brackets, "
          f"the scheduler's count (schedstat)")
    print()
    print("| measure | result |")
    print("|---|---|")
    print(f"| CPU, pointer still, {still_s} s, window shown | {pct(idle[0])} of a core "
          f"({sched(idle[0])}); sway: {pct(idle[1])} ({sched(idle[1])}) |")
    print(f"| system calls of pellmar, pointer still, {still_s} s (strace -c -f) "
          f"| {show_calls(idle_calls)} |")
    median = f" (median of {runs} runs)" if runs > 1 else ""
    print(f"| CPU, pointer moving over HEADLESS-1 away from the strips, {rate} motions/s, "
          f"{move_s} s{median} | {pct(moving[0])} of a core ({sched(moving[0])}); "
          f"sway: {pct(moving[1])} ({sched(moving[1])}); the probe sending them: "
          f"{pct(moving[2])} |")
    print(f"| system calls of pellmar, same motions, {move_s} s (strace -c -f) "
          f"| {show_calls(moving_calls)} |")
    print(f"| sway alone, pellmar ended: pointer still, {still_s} s / same motions "
          f"| {pct(floor_idle)} ({sched(floor_idle)}) / {pct(floor)} ({sched(floor)}) |")
    print(f"| reaction, pointer moved onto a wrapping edge until the probe sees it at the "
          f"landing point (sway's deliveries both ways included), {trials} trials, right "
          f"(x {RIGHT_EDGE} → 1) and left (x 0 → {RIGHT_EDGE - 1}) edge by turns, half after "
          f"{long_still:g} s still: median / 99th pct / max | {spread(times)} |")
    print(f"| reaction, a mouse step of 5 px from the seam column over the seam, Cross by "
          f"physical size on, until the probe sees it on the row the sizes give, {trials} "
          f"trials, rows 600 to 999, half after {long_still:g} s still: median / 99th pct / max "
          f"| {spread(crossings)}; pellmar exit status {crossing_status} |")
    print(f"| Screen Focus: pointer moved to the other output until pellmar has committed "
          f"the curtain over the one it left (sway's focus event and the new surface's "
          f"configure included), {trials} crossings | median / 99th pct / max "
          f"{spread(follow)} |")
    print(f"| resident memory at start / after the trials | {rss_start / 1024:.1f} / "
          f"{rss_end / 1024:.1f} MiB |")
    print()
    print(f"(The pointer moved round a {WANDER} px square from {x},{y}; right-edge trials "
          f"started from {rest_right[0]},{rest_right[1]}, left-edge ones from "
          f"{rest_left[0]},{rest_left[1]}.)")


if __name__ == "__main__":
    main()
