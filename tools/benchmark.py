#!/usr/bin/env python3
"""Measures what Pellmar costs and how fast it reacts, on the virtual
multi-screen desktop (tools/virtual-desktop.sh; needs root):

    python3 tools/benchmark.py [--quick]

Prints a table: CPU share of one core with the pointer still and while it
moves, reaction time from a pointer put on a wrapping edge until it has
been moved, and resident memory. The pointer is driven as a device would
drive it (XTest motion); warps by another program (XWarpPointer, as
`xdotool mousemove` does) are timed separately.
"""
import argparse
import os
import platform
import random
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import Desktop, Pellmar, cpu_seconds  # noqa: E402

LAYOUT = "1920x1080+0+0 1280x1024+1920+0"
RIGHT_EDGE = 3199


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def cpu_share(pids, seconds, during=None):
    """Share of one core each process used over the run, in per cent."""
    c0, t0 = [cpu_seconds(p) for p in pids], time.monotonic()
    if during:
        during(seconds)
    else:
        time.sleep(seconds)
    elapsed = time.monotonic() - t0
    return [100.0 * (cpu_seconds(p) - c) / elapsed for p, c in zip(pids, c0)]


def keep_moving(pointer, seconds):
    """Moves the pointer without pause over the left screen, edges avoided."""
    end = time.monotonic() + seconds
    k = 0
    while time.monotonic() < end:
        k += 1
        pointer.move(200 + (k * 7) % 1500, 200 + (k * 3) % 700)
        time.sleep(0.001)


def reaction_ms(pointer, stand_still, y, by_warp=False):
    pointer.move(700, 500)
    time.sleep(stand_still)
    (pointer.warp if by_warp else pointer.move)(RIGHT_EDGE, y)
    t0 = time.perf_counter()
    while pointer.position()[0] == RIGHT_EDGE:
        if time.perf_counter() - t0 > 2:
            return float("inf")
    return 1000.0 * (time.perf_counter() - t0)


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100.0 * (len(values) - 1))))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="shorter runs, for a smoke test")
    args = parser.parse_args()
    still_s, move_s, soak_s, trials = (3, 3, 10, 20) if args.quick else (10, 10, 60, 100)

    desk = Desktop(LAYOUT)
    try:
        pointer = desk.x
        pointer.move(700, 500)
        app = Pellmar(desk, {"allowRightWrap": True, "boolShowToolTip": False})
        app.wait_window()
        time.sleep(2)
        rss_start = rss_kib(app.proc.pid)
        pids = [app.proc.pid, desk.server_pid()]
        idle, idle_x = cpu_share(pids, still_s)
        moving, moving_x = cpu_share(pids, move_s, lambda s: keep_moving(pointer, s))

        times = []
        for k in range(trials):
            still = 2.0 if k % 10 == 0 else random.uniform(0.02, 0.3)
            times.append(reaction_ms(pointer, still, 100 + (k * 37) % 900))
        warps = [reaction_ms(pointer, 2.0 if k % 2 else 0.1, 300, by_warp=True) for k in range(10)]

        keep_moving(pointer, soak_s)
        rss_end = rss_kib(app.proc.pid)
        status = app.stop()
    finally:
        desk.close()

    cpu = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo") as f:
            cpu = next(line.split(":", 1)[1].strip() for line in f if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    print(f"- Machine: {os.cpu_count()} cores, {cpu}; {platform.system()} {platform.release()}")
    print(f"- Desktop: Xorg dummy driver, {LAYOUT}; pellmar exit status {status}")
    print()
    print("| measure | result |")
    print("|---|---|")
    print(f"| CPU, pointer still, {still_s} s, window shown | {idle:.2f}% of a core "
          f"(X server: {idle_x:.2f}%) |")
    print(f"| CPU, pointer moving without pause, {move_s} s | {moving:.1f}% of a core "
          f"(X server: {moving_x:.1f}%) |")
    print(f"| reaction to a pointer on a wrapping edge, {trials} trials: median / 99th pct / max "
          f"| {statistics.median(times):.2f} / {percentile(times, 99):.2f} / {max(times):.2f} ms |")
    print(f"| same, pointer warped there by another program, {len(warps)} trials: median / max "
          f"| {statistics.median(warps):.1f} / {max(warps):.1f} ms |")
    print(f"| resident memory at start / after {soak_s} s of movement "
          f"| {rss_start / 1024:.1f} / {rss_end / 1024:.1f} MiB |")


if __name__ == "__main__":
    main()
