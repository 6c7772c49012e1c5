"""What a user sees Pellmar do, written once for every desktop: each
test_cases_*.py binds these cases to one desktop's driver (drivers.py).
The desktop: three monitors side by side, tops level, the middle one
taller, so that Easy Move has a step down on either side of it. A case
that needs what a desktop does not allow is skipped, with the reason that
`pellmar --desktop` gives there."""
import functools
import math
import re
import signal
import unittest

from desktop import wait_for

SIZES = [(1280, 720), (1920, 1080), (1280, 720)]
RIGHT, LEFT = (4475, 500), (5, 500)
INTO_RIGHT, INTO_LEFT = (20, 0), (-20, 0)
# Each monitor's size on the desk: the two small ones have the larger pixels.
SIZES_MM = [(600, 338), (530, 298), (600, 338)]


def row_by_size(y, a, b):
    """The row of monitor b (an index into SIZES) at the height on the desk of
    row y of monitor a, both measured from their middles, tops level; b's
    nearest row where it does not reach."""
    mm = (y + 0.5 - SIZES[a][1] / 2) * SIZES_MM[a][1] / SIZES[a][1]
    row = math.floor(SIZES[b][1] / 2 + mm * SIZES[b][1] / SIZES_MM[b][1])
    return min(max(row, 0), SIZES[b][1] - 1)
LABELS = ["desktop wraps", "monitor wraps", "Easy Move", "cross by physical size",
          "velocity thresholds", "bypass key",
          "wrap while a button is held", "push through", "safe corners", "Screen Focus",
          "quiet in full screen", "lock to a monitor", "jump", "readout position", "readout speed",
          "tray", "start at login"]


def read_table(text):
    """`pellmar --desktop`'s answer: (backend, {label: what follows it})."""
    first, *lines = text.splitlines()
    backend = re.fullmatch(r"desktop: (.+?) \(.+\)", first).group(1)
    return backend, dict(line.split(": ", 1) for line in lines)


def needs(*labels):
    """Runs the case only where the desktop allows every feature named."""
    def wrap(case):
        @functools.wraps(case)
        def run(self):
            for label in labels:
                if not self.features[label].startswith("yes"):
                    self.skipTest(f"{label}: {self.features[label]}")
            case(self)
        return run
    return wrap


class Behaviours:
    """Mixed into a TestCase with `driver`, a class of drivers.py."""
    driver = None

    @classmethod
    def setUpClass(cls):
        reason = cls.driver.missing()
        if reason:
            raise unittest.SkipTest(reason)
        cls.desk = cls.driver(SIZES)
        cls.addClassCleanup(cls.desk.close)
        status, out, err = cls.desk.run("--desktop")
        assert status == 0, err
        cls.report = out
        cls.backend, cls.features = read_table(out)

    def start(self, settings=None, config=None):
        self.app = self.desk.start(self, settings, config)
        return self.app

    def wraps(self, start, motion, target):
        self.desk.arrive(start, motion)
        self.assertEqual(self.desk.wait_pointer(target), target, f"from {start} by {motion}")

    def held(self, start, motion, edge):
        self.desk.arrive(start, motion)
        self.assertTrue(self.desk.held(edge), f"from {start} by {motion}: {self.desk.pointer()}")

    def screens_seen(self, count):
        """Waits for Pellmar to see the first `count` monitors, no more, in
        whatever order the desktop lists them (labwc: the last first)."""
        expected = sorted(f"{n} {w}x{h}+{x}+{y}" for n, (w, h, x, y)
                          in zip(self.desk.names, self.desk.screens[:count]))

        def seen():
            lines = re.findall(r"^Screens: (.*)$", self.app.output(), re.M)
            return bool(lines) and sorted(lines[-1].split(", ")) == expected
        self.assertTrue(wait_for(seen, 30, 0.1), self.app.output())

    def test_desktop_report(self):
        self.assertEqual(self.backend, self.desk.backend, self.report)
        self.assertEqual(list(self.features), LABELS, self.report)
        for label, value in self.features.items():
            self.assertRegex(value, r"^(yes( \(.+\))?|no: .+)$", label)
        self.assertEqual(self.features["desktop wraps"], "yes", self.report)
        self.assertEqual({k for k, v in self.features.items() if v.startswith("no")},
                         self.desk.denied, self.report)

    @needs("desktop wraps")
    def test_each_edge_wraps_when_on_and_stays_when_off(self):
        self.start({"allowRightWrap": True})
        self.wraps(RIGHT, INTO_RIGHT, (1, 500))
        self.held(LEFT, INTO_LEFT, (0, 500))
        # Where two monitors meet is no edge of the desktop.
        self.wraps((1275, 300), INTO_RIGHT, (1295, 300))
        self.assertEqual(self.app.stop(), 0)
        self.start({"allowLeftWrap": True})
        self.wraps(LEFT, INTO_LEFT, (4478, 500))
        self.held(RIGHT, INTO_RIGHT, (4479, 500))

    @needs("monitor wraps")
    def test_a_monitors_top_and_bottom_wrap(self):
        names = self.desk.names
        self.start({f"Choices\\Monitors\\{names[1]}\\wrapTop": True,
                    f"Choices\\Monitors\\{names[0]}\\wrapBottom": True})
        self.wraps((2000, 5), (0, -20), (2000, 1078))
        self.wraps((600, 715), (0, 20), (600, 1))
        # The other rows of those monitors, and the third, stay.
        self.held((2000, 1075), (0, 20), (2000, 1079))
        self.held((3800, 5), (0, -20), (3800, 0))

    @needs("Easy Move")
    def test_easy_move_both_ways(self):
        self.start({"Choices\\easyMove": True})
        self.wraps((3190, 900), INTO_RIGHT, (3201, 719))
        self.wraps((1290, 900), INTO_LEFT, (1278, 719))

    def sized(self, by_size=True):
        """Settings: the monitors' sizes given by the user, crossing by size
        on or off."""
        sizes = {"Choices\\crossByPhysicalSize": by_size}
        for name, (w, h) in zip(self.desk.names, SIZES_MM):
            sizes[f"Choices\\Monitors\\{name}\\widthMm"] = w
            sizes[f"Choices\\Monitors\\{name}\\heightMm"] = h
        return sizes

    def lands(self, start, steps, a, b):
        """The pointer moved from `start` on monitor a by `steps` lands on
        monitor b at the same height on the desk."""
        self.desk.arrive(start, steps[0])
        for step in steps[1:]:
            self.desk.rel(*step)
        row = row_by_size(start[1], a, b)
        w, _, x, _ = self.desk.screens[b]

        def landed():
            # None while on one of Pellmar's strips, not yet moved.
            at = self.desk.pointer()
            return at is not None and x <= at[0] < x + w and abs(at[1] - row) <= 1
        self.assertTrue(wait_for(landed, 10, 0.02),
                        f"from {start}: {self.desk.pointer()}, not row {row}; "
                        + "; ".join(re.findall(r"^(?:Screens|Monitor sizes): .*$",
                                               self.app.output(), re.M)))

    @needs("cross by physical size", "Easy Move")
    def test_crossing_by_physical_size(self):
        # Onto the seam column, then on over it (on Wayland the pointer is
        # seen only on the strip there, and crosses as it moves on):
        # rightwards from the small monitor and back from the large one; and
        # from the large one's rows below the small one's, which Easy Move
        # carries by the same rule. Each with the column it reaches where
        # rows are pixel rows. Each starts on the monitor the one before
        # ended on: GNOME puts the pointer by warps, which the seam's
        # barriers hold.
        moves = [((1270, 500), [(9, 0), (10, 0)], 0, 1, 1289),
                 ((1290, 900), [(-20, 0)], 1, 0, 1278),
                 ((1270, 650), [(9, 0), (10, 0)], 0, 1, 1289),
                 ((1290, 300), [(-10, 0), (-10, 0)], 1, 0, 1270)]
        for by_size in (True, False):
            self.desk.put(640, 360)
            self.start({"Choices\\easyMove": True, **self.sized(by_size)})
            for start, steps, a, b, column in moves:
                if by_size:
                    self.lands(start, steps, a, b)
                    continue
                self.desk.arrive(start, steps[0])
                for step in steps[1:]:
                    self.desk.rel(*step)
                at = (column, min(start[1], SIZES[b][1] - 1))
                self.assertEqual(self.desk.wait_pointer(at), at, f"from {start}")
            self.assertEqual(self.app.stop(), 0)

    @needs("desktop wraps", "Easy Move")
    def test_a_first_start_wraps_nothing_and_writes_its_settings(self):
        app = self.start()
        self.held(RIGHT, INTO_RIGHT, (4479, 500))
        self.held(LEFT, INTO_LEFT, (0, 500))
        self.held((3190, 900), INTO_RIGHT, (3199, 900))
        self.assertEqual(app.stop(), 0)
        self.assertEqual(app.stored(), {"allowLeftWrap": "false", "allowRightWrap": "false",
                                        "boolShowToolTip": "true"})

    @needs("desktop wraps", "monitor wraps")
    def test_choices_are_kept_for_the_next_start(self):
        top = f"Monitors\\{self.desk.names[1]}\\wrapTop"
        app = self.start({"allowRightWrap": True, "Choices\\" + top: True})
        self.assertEqual(self.desk.verb(app, "--pause"), (0, ""))
        self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == "true", 10))
        self.assertEqual(app.stop(signal.SIGTERM), 0)
        self.assertEqual((app.stored()["allowRightWrap"], app.stored()["allowLeftWrap"]),
                         ("true", "false"))
        self.assertEqual(app.stored("Choices")[top], "true")

        again = self.start(config=app.config)
        self.held(RIGHT, INTO_RIGHT, (4479, 500))  # still paused
        self.assertEqual(self.desk.verb(again, "--resume"), (0, ""))
        self.wraps(RIGHT, INTO_RIGHT, (1, 500))
        self.wraps((2000, 5), (0, -20), (2000, 1078))
        self.assertEqual(again.stop(), 0)

    @needs("desktop wraps", "push through")
    def test_push_through(self):
        # Arrival is held; only enough push beyond the edge wraps.
        self.start({"allowRightWrap": True, "Cursor\\pushThrough": 60})
        self.desk.arrive(RIGHT, INTO_RIGHT)
        pushes = 1
        while pushes < 10 and self.desk.wait_pointer((1, 500), 3) != (1, 500):
            self.desk.rel(*INTO_RIGHT)
            pushes += 1
        self.assertEqual(self.desk.pointer(), (1, 500))
        self.assertGreaterEqual(pushes, 3)

    @needs("desktop wraps", "monitor wraps", "safe corners")
    def test_safe_corners(self):
        self.start({"allowRightWrap": True, "Cursor\\cornerGuard": 40,
                    f"Choices\\Monitors\\{self.desk.names[1]}\\wrapTop": True})
        self.held((4475, 10), INTO_RIGHT, (4479, 10))
        self.held((4475, 700), INTO_RIGHT, (4479, 700))
        self.held((1300, 5), (0, -20), (1300, 0))
        # Away from the corners, the same edges wrap.
        self.wraps((4475, 40), INTO_RIGHT, (1, 40))
        self.wraps((1400, 5), (0, -20), (1400, 1078))

    @needs("Screen Focus")
    def test_screen_focus_curtains_follow_the_pointer(self):
        app = self.start({"Choices\\screenFocus": True, "Choices\\screenFocusDarkness": 50})
        for point, curtained in (((640, 200), [1, 2]), ((3800, 500), [0, 1]),
                                 ((2240, 200), [0, 2])):
            self.desk.put(*point)
            self.assertTrue(wait_for(lambda: self.desk.curtained(app) == curtained, 20, 0.1),
                            f"{point}: {self.desk.curtained(app)}")

    @needs("desktop wraps", "quiet in full screen")
    def test_quiet_while_a_window_is_full_screen(self):
        app = self.start({"allowLeftWrap": True})
        self.desk.full_screen(True)
        self.assertTrue(wait_for(lambda: "A full-screen window has the focus" in app.output(),
                                 30, 0.1), app.output())
        self.held(LEFT, INTO_LEFT, (0, 500))
        # Left resting on the edge as the window leaves full screen (pushed
        # back there: a desktop that cannot see the pointer on the edge
        # stepped it off to look), the pointer stays until the mouse pushes.
        self.desk.rel(*INTO_LEFT)
        self.desk.full_screen(False)
        self.assertTrue(wait_for(lambda: "No full-screen window has the focus" in app.output(),
                                 30, 0.1), app.output())
        self.assertTrue(self.desk.held((0, 500)), self.desk.pointer())
        self.wraps(LEFT, INTO_LEFT, (4478, 500))
        # Unless chosen otherwise.
        self.assertEqual(app.stop(), 0)
        app = self.start({"allowLeftWrap": True, "Cursor\\pauseInFullscreen": False})
        self.desk.full_screen(True)
        self.assertTrue(wait_for(lambda: "A full-screen window has the focus" in app.output(),
                                 30, 0.1), app.output())
        self.wraps(LEFT, INTO_LEFT, (4478, 500))

    @needs("desktop wraps")
    def test_a_monitor_removed_and_added_while_running(self):
        # Wraps land by size where that is offered: the size given for a
        # monitor, kept by its name, is there again when it comes back. Each
        # move starts on the monitor the one before ended on (GNOME's warps
        # stop at the seams' barriers, and X11 takes a warp over a seam for
        # a crossing).
        by_size = self.features["cross by physical size"] == "yes"

        def across(start, motion, a, b, target):
            if by_size:
                self.lands(start, [motion], a, b)
            else:
                self.wraps(start, motion, target)
        self.desk.put(640, 360)
        self.start({"allowLeftWrap": True, "allowRightWrap": True, **self.sized(by_size)})
        self.screens_seen(3)
        self.desk.switch_off(2)
        self.addCleanup(self.desk.switch_on, 2)
        self.screens_seen(2)
        across(LEFT, INTO_LEFT, 0, 1, (3198, 500))
        across((3195, 500), INTO_RIGHT, 1, 0, (1, 500))
        self.desk.switch_on(2)
        self.screens_seen(3)
        self.wraps(LEFT, INTO_LEFT, (4478, 500))
        self.wraps(RIGHT, INTO_RIGHT, (1, 500))
        if by_size:
            self.wraps(LEFT, INTO_LEFT, (4478, 500))
            self.lands((3210, 500), [(-10, 0), (-10, 0)], 2, 1)

    def test_without_a_tray_closing_the_window_ends_it_and_saves(self):
        app = self.start({"allowLeftWrap": True})
        self.desk.close_window(app)
        self.assertEqual(app.proc.wait(60), 0, app.output())
        self.assertIn("Settings: Saving Settings...", app.output())
        self.assertEqual(app.stored()["allowLeftWrap"], "true")

    def test_pause_and_resume(self):
        app = self.start({"allowRightWrap": True})
        for verb, paused in (("--pause", "true"), ("--resume", "false"), ("--toggle", "true")):
            self.assertEqual(self.desk.verb(app, verb), (0, ""))
            self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == paused, 10))
        self.held(RIGHT, INTO_RIGHT, (4479, 500))
        self.assertEqual(self.desk.verb(app, "--toggle"), (0, ""))
        self.wraps(RIGHT, INTO_RIGHT, (1, 500))

    @needs("jump")
    def test_jump(self):
        app = self.start()
        names = self.desk.names
        middles = [(2240, 540), (3840, 360)]
        if self.features["jump"].startswith("yes (by name;"):
            # Nothing tells Pellmar which monitor holds the pointer: a step
            # back counts from none, to the last monitor.
            step, middles = "previous", middles[::-1]
        else:
            # From the monitor the pointer is on to the middle of the next.
            step = "next"
        self.assertEqual(self.desk.verb(app, "--jump", step), (0, ""))
        self.assertEqual(self.desk.wait_pointer(middles[0]), middles[0])
        self.assertEqual(self.desk.verb(app, "--jump", names[2 if step == "next" else 1]), (0, ""))
        self.assertEqual(self.desk.wait_pointer(middles[1]), middles[1])
        self.assertEqual(self.desk.verb(app, "--jump", "DP-9"),
                         (1, f"No monitor is called DP-9; the monitors are {', '.join(names)}\n"))
        self.assertTrue(self.desk.stays(middles[1]))

    @needs("lock to a monitor")
    def test_lock_to_a_monitor(self):
        app = self.start({"allowLeftWrap": True})
        self.desk.put(640, 500)
        self.assertEqual(self.desk.verb(app, "--lock"), (0, ""))
        self.held((1275, 500), INTO_RIGHT, (1279, 500))
        # Nor does a wrap take it off its monitor.
        self.held(LEFT, INTO_LEFT, (0, 500))
        self.desk.put(1275, 500)
        self.assertEqual(self.desk.verb(app, "--unlock"), (0, ""))
        self.desk.rel(40, 0)
        self.assertEqual(self.desk.wait_pointer((1315, 500)), (1315, 500))

    @needs("desktop wraps", "bypass key")
    def test_the_bypass_key_holds_the_wrap(self):
        self.start({"allowLeftWrap": True, "Cursor\\bypassModifier": "shift"})
        self.desk.shift(True)
        try:
            self.held(LEFT, INTO_LEFT, (0, 500))
        finally:
            self.desk.shift(False)
        self.wraps(LEFT, INTO_LEFT, (4478, 500))

    @needs("desktop wraps", "wrap while a button is held")
    def test_a_drag_wraps_only_when_so_chosen(self):
        for chosen in (False, True):
            app = self.start({"allowLeftWrap": True, "Cursor\\wrapWhileButtonHeld": chosen})
            self.desk.put(3800, 600)  # on no window
            self.desk.button(True)
            try:
                if chosen:
                    self.wraps(LEFT, INTO_LEFT, (4478, 500))
                else:
                    self.held(LEFT, INTO_LEFT, (0, 500))
            finally:
                self.desk.button(False)
            self.wraps(LEFT, INTO_LEFT, (4478, 500))
            self.assertEqual(app.stop(), 0)

    @needs("desktop wraps", "Screen Focus")
    def test_killed_it_leaves_nothing_behind(self):
        app = self.start({"allowLeftWrap": True, "allowRightWrap": True,
                          "Choices\\screenFocus": True})
        self.assertTrue(wait_for(lambda: self.desk.curtained(app) == [1, 2], 20, 0.1))
        app.proc.send_signal(signal.SIGKILL)
        app.proc.wait(30)
        self.assertTrue(wait_for(lambda: self.desk.curtained(app) == [], 20, 0.1))
        self.assertTrue(wait_for(lambda: self.desk.leftovers(app) == [], 20, 0.1),
                        self.desk.leftovers(app))
        self.held(LEFT, INTO_LEFT, (0, 500))
        # Nor does it keep the next one from starting.
        self.start(config=app.config)
        self.wraps(LEFT, INTO_LEFT, (4478, 500))
