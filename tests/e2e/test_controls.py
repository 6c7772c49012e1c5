"""The window's controls on real X servers: wrap markers on the screen map,
and the Screen Focus curtains as X11 windows."""
import subprocess
import time
import signal
import unittest

from desktop import DesktopTestCase, canvas_markers, desktop_for, pellmar_for, wait_for
from desktop import pixel as shot_pixel


RED, GREEN = (255, 0, 0), (0, 255, 0)


def pixel(desk, x, y):
    desk.screenshot(desk.dir + "/shot.png")
    return shot_pixel(desk.dir + "/shot.png", x, y)


class Markers(DesktopTestCase):
    """1920x1080 left of 1280x1024, tops level."""
    screens = [(1920, 1080, 0, 0), (1280, 1024, 1920, 0)]
    layout = "1920x1080+0+0 1280x1024+1920+0"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.marks = canvas_markers(cls.screens)

    def test_layout_matches_the_map(self):
        # The map's scale for this pair: every screen 1/6, 8 pixels in.
        self.assertEqual(self.marks[(0, "left")], (15, 160))

    def test_pressing_markers_switches_wraps(self):
        app = pellmar_for(self, self.desk, {"boolShowToolTip": False})
        ox, oy = app.window_origin()
        top1 = self.marks[(1, "top")]
        self.assertEqual(pixel(self.desk, ox + 10 + top1[0], oy + 10 + top1[1]), RED)

        app.click_canvas(top1)
        self.assertEqual(pixel(self.desk, ox + 10 + top1[0], oy + 10 + top1[1]), GREEN)
        self.desk.move(2500, 0)
        self.assertEqual(self.desk.wait_pointer((2500, 1022)), (2500, 1022))

        app.click_canvas(self.marks[(0, "bottom")])
        self.desk.move(700, 1079)
        self.assertEqual(self.desk.wait_pointer((700, 1)), (700, 1))
        # The other screen's bottom row is still off.
        self.desk.move(2500, 1023)
        self.assertTrue(self.desk.stays((2500, 1023)))

        app.click_canvas(self.marks[(1, "right")])
        self.desk.move(3199, 500)
        self.assertEqual(self.desk.wait_pointer((1, 500)), (1, 500))
        time.sleep(0.5)  # two presses this close would make a double click
        app.click_canvas(self.marks[(1, "right")])  # off again
        self.desk.move(3199, 500)
        self.assertTrue(self.desk.stays((3199, 500)))
        app.click_canvas(self.marks[(0, "left")])
        self.desk.move(0, 300)
        self.assertEqual(self.desk.wait_pointer((3198, 300)), (3198, 300))

        # A press on a screen's body switches nothing.
        app.click_canvas((100, 175))
        self.desk.move(0, 300)
        self.assertEqual(self.desk.wait_pointer((3198, 300)), (3198, 300))

        self.assertEqual(app.stop(), 0)
        stored = app.stored()
        self.assertEqual((stored["allowLeftWrap"], stored["allowRightWrap"]), ("true", "false"))


class ScreenFocus(unittest.TestCase):
    def start(self, layout):
        desk = desktop_for(self, layout)
        return desk, pellmar_for(self, desk, {"boolShowToolTip": False})

    def test_curtains_cover_the_other_screens_and_follow_the_pointer(self):
        desk, app = self.start("1920x1080+0+0 1280x1024+1920+0 1920x1080+3200+0")
        self.assertEqual(app.curtains(), [])
        app.keys("Tab", "Tab", "Tab", "space")  # Min, Max, Easy Move, Screen Focus
        focus_before = desk.xdotool("getwindowfocus").strip()
        on_1_and_2 = [(1280, 1024, 1920, 0), (1920, 1080, 3200, 0)]
        self.assertEqual(wait_for(lambda: app.curtains() == on_1_and_2), True, app.curtains())
        for wid in app.windows():
            if int(wid) != int(app.window):
                self.assertAlmostEqual(app.opacity(wid), 0.5, places=2)
        # Putting curtains up took no keyboard focus.
        self.assertEqual(desk.xdotool("getwindowfocus").strip(), focus_before)

        # The slider, next in the focus chain: End makes the curtains opaque.
        app.keys("Tab", "End")
        self.assertTrue(wait_for(lambda: all(
            app.opacity(w) > 0.99 for w in app.windows() if int(w) != int(app.window))))

        # Off: every curtain goes.
        app.keys("shift+Tab", "space")
        self.assertEqual(wait_for(lambda: app.curtains() == []), True, app.curtains())
        self.assertEqual(app.stop(), 0)

    def test_curtains_are_overlays_under_a_real_desktop(self):
        # openbox, tint2 and picom: the curtains keep out of the task list
        # and the pager, lie exactly over their screens, and the screen
        # under the pointer stays bright.
        desk = desktop_for(self, "1920x1080+0+0 1280x1024+1920+0")
        desk.start_desktop()
        app = pellmar_for(self, desk, {"boolShowToolTip": False})
        app.keys("Tab", "Tab", "Tab", "space")  # Min, Max, Easy Move, Screen Focus
        desk.move(700, 400)
        self.assertEqual(wait_for(lambda: app.curtains() == [(1280, 1024, 1920, 0)]), True,
                         app.curtains())
        curtain = next(w for w, g in app.windows().items() if g[:2] == (1280, 1024))
        state = subprocess.run(["xprop", "-id", str(curtain), "_NET_WM_STATE"], env=desk.env,
                               capture_output=True, text=True).stdout
        for atom in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"):
            self.assertIn(atom, state)
        self.assertAlmostEqual(app.opacity(curtain), 0.5, places=2)
        desk.move(2500, 400)
        self.assertEqual(wait_for(lambda: app.curtains() == [(1920, 1080, 0, 0)]), True,
                         app.curtains())
        self.assertEqual(app.stop(), 0)

    def test_laptop_under_a_monitor(self):
        # The common docked layout: a 1920x1080 laptop under a 2560x1440
        # monitor. The screen under the pointer is found by its row too.
        desk, app = self.start("2560x1440+0+0 1920x1080+0+1440")
        app.keys("Tab", "Tab", "Tab", "space")  # Min, Max, Easy Move, Screen Focus
        desk.move(500, 2000)
        on_monitor = [(2560, 1440, 0, 0)]
        self.assertEqual(wait_for(lambda: app.curtains() == on_monitor), True, app.curtains())
        # The curtain lets the pointer through: with Pellmar held still, a
        # pointer moved under the curtain is over the desktop, not over it.
        curtain = next(w for w, g in app.windows().items() if g[:2] == (2560, 1440))
        app.proc.send_signal(signal.SIGSTOP)
        try:
            desk.move(500, 500)
            under = desk.xdotool("getmouselocation").split("window:")[1].strip()
        finally:
            app.proc.send_signal(signal.SIGCONT)
        self.assertNotEqual(int(under), int(curtain))
        self.assertEqual(wait_for(lambda: app.curtains() == [(1920, 1080, 0, 1440)]), True,
                         app.curtains())
        self.assertEqual(app.stop(), 0)

    def test_laptop_under_a_monitor_wraps_at_the_real_edges(self):
        desk = desktop_for(self, "2560x1440+0+0 1920x1080+0+1440")
        pellmar_for(self, desk, {"boolShowToolTip": False, "allowRightWrap": True,
                                 "allowLeftWrap": True})
        desk.move(1919, 700)  # the middle of the monitor
        self.assertTrue(desk.stays((1919, 700)))
        desk.move(2559, 700)
        self.assertEqual(desk.wait_pointer((1, 700)), (1, 700))
        # From the laptop's left edge onto the monitor's right edge, clamped
        # to its bottom row.
        desk.move(0, 2000)
        self.assertEqual(desk.wait_pointer((2558, 1439)), (2558, 1439))

if __name__ == "__main__":
    unittest.main()
