#!/usr/bin/env python3
"""Measures what Pellmar costs and how fast it reacts on GNOME, on a headless
GNOME Shell 48 run by the end-to-end tests' harness (tests/e2e/gnome.py; as
root, the system's own GNOME Shell 45 or later, else that of the tree
tools/gnome-tree.sh builds):

    python3 tools/benchmark_gnome.py [--seconds N]

Pellmar ($PELLMAR_BIN, else build/pellmar) wraps at the left and the right
edge, with Screen Focus on and its window shown (so the Shell sends it
positions for the readout, at most 25 a second). Prints pellmar's CPU share
of one core (and the Shell's, with Pellmar and without it) with the pointer still
and while it moves over Meta-0 away from every edge (relative steps as a mouse makes them, 100 a second), the
reaction from a push against the left edge until the Shell sees the pointer
on the far side (noted inside the Shell on the monotonic clock; it includes
the test driver handing the push to Mutter), and resident memory."""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import cpu_seconds, rss_kib, wait_for  # noqa: E402
from gnome import EXTENSION_UUID, GnomeShell, GnomePellmar, install_extension  # noqa: E402

# Notes, in microseconds, the first moment the pointer is seen past x 3000.
ARRIVAL = """(() => {
    global.pellmarArrivedAt = 0;
    const tracker = global.backend.get_cursor_tracker();
    const id = tracker.connect('position-invalidated', () => {
        if (global.get_pointer()[0] > 3000) {
            global.pellmarArrivedAt = imports.gi.GLib.get_monotonic_time();
            tracker.disconnect(id);
        }
    });
    return true;
})()"""
SETTINGS = {"allowLeftWrap": True, "allowRightWrap": True, "Choices\\screenFocus": True}


def share(pids, seconds, during=None):
    """CPU shares of one core of each of `pids` over `seconds`, `during`
    called in a loop meanwhile."""
    start, t0 = [cpu_seconds(p) for p in pids], time.monotonic()
    while time.monotonic() - t0 < seconds:
        if during:
            during()
        else:
            time.sleep(0.1)
    took = time.monotonic() - t0
    # (A thread that ended meanwhile takes its time with it.)
    return [max(0.0, 100 * (cpu_seconds(p) - s) / took) for p, s in zip(pids, start)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=20)
    args = parser.parse_args()
    install_extension()
    gnome = GnomeShell(extensions=[EXTENSION_UUID])
    app = None
    try:
        gnome.warp(700, 400)
        app = GnomePellmar(gnome, SETTINGS)
        app.wait_window()
        if not wait_for(lambda: "extension is there" in app.output(), 30, 0.1):
            raise RuntimeError(app.output())
        time.sleep(2)
        pid, shell = app.proc.pid, gnome.shell_pid
        idle, shell_idle = share([pid, shell], args.seconds)
        steps = [0]

        def wander():
            # Back and forth over 200 px of Meta-0, 100 steps a second.
            gnome.rel(4 if steps[0] % 100 < 50 else -4, 0)
            steps[0] += 1
            time.sleep(0.01)
        gnome.warp(600, 500)
        moving, shell_moving = share([pid, shell], args.seconds, wander)
        reactions = []
        for _ in range(20):
            gnome.warp(3, 500)
            gnome.wait_pointer((3, 500))
            # The Shell notes when it first sees the pointer on the far side,
            # on the same monotonic clock as ours.
            gnome.eval(ARRIVAL)
            t0 = time.monotonic()
            gnome.rel(-10, 0)
            if wait_for(lambda: gnome.eval("global.pellmarArrivedAt") > 0, 10, 0.01):
                reactions.append(gnome.eval("global.pellmarArrivedAt") / 1000 - 1000 * t0)
        rss = rss_kib(pid) / 1024
        # The Shell alone, its extension without a client.
        app.kill()
        app = None
        gnome.warp(600, 500)
        steps[0] = 0
        shell_alone_idle, = share([shell], args.seconds)
        shell_alone_moving, = share([shell], args.seconds, wander)
    finally:
        if app:
            app.kill()
        gnome.close()
    print("| on GNOME Shell 48 | pellmar | gnome-shell with it | gnome-shell without it |")
    print("|---|---|---|---|")
    print(f"| CPU, pointer still (window shown) | {idle:.2f}% | {shell_idle:.2f}% | "
          f"{shell_alone_idle:.2f}% |")
    print(f"| CPU, pointer moving (100 steps/s) | {moving:.2f}% | {shell_moving:.2f}% | "
          f"{shell_alone_moving:.2f}% |")
    if reactions:
        print(f"| push at an edge to wrapped, median / max of {len(reactions)} | "
              f"{statistics.median(reactions):.1f} / {max(reactions):.1f} ms | | |")
    print(f"| resident memory | {rss:.1f} MiB | | |")
    return 0 if len(reactions) == 20 else 1


if __name__ == "__main__":
    sys.exit(main())
