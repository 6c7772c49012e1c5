#!/usr/bin/env python3
"""Measures what Pellmar costs and how fast it reacts on KDE Plasma's KWin,
headless (KWin 6's virtual backend, run by the end-to-end tests' harness,
tests/e2e/kde.py, with Pellmar installed into a prefix of its own so that
KWin grants it fake input):

    python3 tools/benchmark_kde.py [--quick]

Pellmar wraps at the left and the right edge of the desktop, with Screen
Focus on, its window shown. Prints a table: the CPU share of one core for
pellmar and for KWin with the pointer still and while it moves over the
left output away from pellmar's strips and window, as a mouse moves it
(the probe's small relative steps through KWin's EIS), and KWin's on its
own once pellmar has ended (so KWin's share for pellmar, its script
included, is the difference); pellmar's own reaction, from KWin's report of
the pointer on a wrapping edge's strip to pellmar's fake-input move, both
stamped by libwayland's debug log in pellmar; and resident memory.
"""
import argparse
import os
import re
import statistics
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "e2e"))
sys.path.insert(0, here)
from benchmark_wayland import WRAP_MS, cpu_share, pct, percentile, sched  # noqa: E402
from desktop import rss_kib  # noqa: E402
from drivers import KdeDriver  # noqa: E402
from wayland import WaylandPellmar  # noqa: E402

SIZES = [(1920, 1080), (1280, 720)]
RIGHT_EDGE = 3199
SETTINGS = {"allowLeftWrap": True, "allowRightWrap": True, "Choices\\screenFocus": True,
            "boolShowToolTip": False}


def moving(kwin, start, pids, seconds, runs, rate=250):
    """CPU shares while the pointer goes round a 200 px square from `start`
    in small relative steps, `rate` a second as a mouse sends them; each
    figure the median over `runs`, with the rate reached."""
    results, rates = [], []

    def wander(s):
        kwin.put(*start)
        steps, t0 = 0, time.monotonic()
        while time.monotonic() < t0 + s:
            side = (steps // 50) % 4
            kwin.rel(*((4, 0), (0, 4), (-4, 0), (0, -4))[side])
            steps += 1
            time.sleep(max(0.0, t0 + steps / rate - time.monotonic()))
        rates.append(steps / s)
    for _ in range(runs):
        results.append(cpu_share(pids, seconds, wander))
    return ([tuple(statistics.median(r[i][j] for r in results) for j in range(2))
             for i in range(len(pids))], statistics.median(rates))


def reactions(log):
    """From pellmar's WAYLAND_DEBUG log: for each fake-input move, the
    milliseconds since the pointer event it answers (the latest wl_pointer
    enter or motion before it)."""
    last, times = None, []
    for line in log.splitlines():
        m = re.match(r"\[\s*(\d+)\.(\d+)\]\s+(?:\{[^}]*\}\s+)?(-> )?(.*)", line)
        if not m:
            continue
        when = int(m.group(1)) + int(m.group(2)) / 1000.0
        what = m.group(4)
        if not m.group(3) and re.search(r"wl_pointer[@#]\d+\.(enter|motion)\(", what):
            last = when
        elif m.group(3) and ".pointer_motion_absolute(" in what and last is not None:
            times.append((when - last) % WRAP_MS)
            last = None
    return times


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="shorter runs, for a smoke test")
    args = parser.parse_args()
    still_s, move_s, trials, runs = (3, 3, 20, 1) if args.quick else (10, 10, 100, 3)

    kwin = KdeDriver(SIZES)
    app = traced = None
    try:
        kwin_pid = kwin.kwin.pid
        kwin.put(2560, 360)
        app = WaylandPellmar(kwin, SETTINGS, program=kwin.program)
        app.wait_window = lambda: None
        time.sleep(3)
        pid = app.proc.pid
        rss_start = rss_kib(pid)
        start = (700, 700)
        kwin.put(*start)
        time.sleep(2)
        idle = cpu_share([pid, kwin_pid], still_s)
        move, rate = moving(kwin, start, [pid, kwin_pid], move_s, runs)
        rss_end = rss_kib(pid)
        status = app.stop()

        floor_idle = cpu_share([kwin_pid], still_s)[0]
        floor, _ = moving(kwin, start, [kwin_pid], move_s, runs)
        floor = floor[0]

        traced = WaylandPellmar(kwin, SETTINGS, program=kwin.program,
                                extra_env={"WAYLAND_DEBUG": "client"})
        time.sleep(3)
        for k in range(trials):
            y = 100 + (k * 37) % 600
            if k % 2 == 0:
                kwin.put(RIGHT_EDGE - 10, y)
                kwin.rel(20, 0)
            else:
                kwin.put(10, y)
                kwin.rel(-20, 0)
            time.sleep(0.05)
        time.sleep(0.5)
        times = reactions(traced.output())
        if os.environ.get("PELLMAR_BENCH_LOG"):
            with open(os.environ["PELLMAR_BENCH_LOG"], "w") as f:
                f.write(traced.output())
    finally:
        for a in (app, traced):
            if a is not None:
                a.kill()
        kwin.close()

    version = os.popen("kwin_wayland --version 2>/dev/null").read().strip() or "KWin"
    print(f"- Machine: {os.cpu_count()} cores; {version}, virtual backend, outputs "
          f"{' '.join(f'{w}x{h}' for w, h in SIZES)} (the second scaled 1.5); pellmar exit "
          f"status {status}")
    print()
    print("| measure | result |")
    print("|---|---|")
    print(f"| CPU, pointer still, {still_s} s, window shown | {pct(idle[0])} of a core "
          f"({sched(idle[0])}); KWin: {pct(idle[1])} ({sched(idle[1])}) |")
    print(f"| CPU, pointer moving away from the strips, {rate:.0f} motions/s, {move_s} s "
          f"(median of {runs}) | {pct(move[0])} of a core ({sched(move[0])}); KWin: "
          f"{pct(move[1])} ({sched(move[1])}) |")
    print(f"| KWin alone, pellmar ended: still / same motions | {pct(floor_idle)} / "
          f"{pct(floor)} |")
    if times:
        print(f"| reaction, pellmar's part: KWin's report of the pointer on a wrapping strip to "
              f"pellmar's fake-input move, {trials} wraps ({len(times)} moves answering a pointer "
              f"event): median / 99th pct / max | {statistics.median(times):.2f} / {percentile(times, 99):.2f} / "
              f"{max(times):.2f} ms |")
    else:
        print(f"| reaction | no wrap seen in {trials} trials |")
    print(f"| resident memory at start / after | {rss_start / 1024:.1f} / {rss_end / 1024:.1f} "
          f"MiB |")


if __name__ == "__main__":
    main()
