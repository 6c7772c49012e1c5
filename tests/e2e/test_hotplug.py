"""Monitors resized and unplugged while the real pellmar runs on X11: the
wraps act at the new edges, the curtains cover the new layout and the map
draws it."""
import re
import time
import unittest

from desktop import canvas_markers, desktop_for, pellmar_for, wait_for


def seen(app):
    """The screens of Pellmar's last rebuild, from its log."""
    lines = re.findall(r"^Screens: (.*)$", app.output(), re.M)
    return lines[-1] if lines else None


class HotPlug(unittest.TestCase):
    def test_a_resized_monitor_moves_the_wrapping_edges_and_the_map(self):
        desk = desktop_for(self, "1920x1080+0+0 1280x1024+1920+0")
        app = pellmar_for(self, desk, {"boolShowToolTip": False, "allowLeftWrap": True,
                                       "allowRightWrap": True})
        desk.plug("DUMMY1", "1600x900", 1920, 0)
        self.assertTrue(wait_for(lambda: seen(app) == "DUMMY0 1920x1080+0+0, DUMMY1 1600x900+1920+0"),
                        app.output())
        desk.move(3519, 300)
        self.assertEqual(desk.wait_pointer((1, 300)), (1, 300))
        # Onto the new, shorter screen: clamped to its bottom row.
        desk.move(0, 1000)
        self.assertEqual(desk.wait_pointer((3518, 899)), (3518, 899))

        # The map draws the new pair: its right marker sits where the map
        # puts the 1600x900 screen, and a click there switches the wrap off.
        markers = canvas_markers([(1920, 1080, 0, 0), (1600, 900, 1920, 0)])
        app.click_canvas(markers[(1, "right")])
        desk.move(3519, 500)
        self.assertTrue(desk.stays((3519, 500)))

        # Resized in place: the left wrap lands on its new right edge.
        desk.plug("DUMMY1", "1280x1024", 1920, 0)
        self.assertTrue(wait_for(lambda: seen(app) == "DUMMY0 1920x1080+0+0, DUMMY1 1280x1024+1920+0"),
                        app.output())
        desk.move(0, 500)
        self.assertEqual(desk.wait_pointer((3198, 500)), (3198, 500))
        self.assertEqual(app.stop(), 0)
        self.assertEqual(app.stored()["allowRightWrap"], "false")

    def test_curtains_follow_an_unplugged_middle_monitor(self):
        desk = desktop_for(self, "1920x1080+0+0 1920x1080+1920+0 1920x1080+3840+0")
        app = pellmar_for(self, desk, {"boolShowToolTip": False})
        app.keys("Tab", "Tab", "space")  # Min, Max, Screen Focus (no Easy Move)
        desk.move(700, 400)
        self.assertEqual(wait_for(lambda: app.curtains() == [(1920, 1080, 1920, 0),
                                                              (1920, 1080, 3840, 0)]),
                         True, app.curtains())
        desk.unplug("DUMMY1")
        # No curtain over the gap; the monitor that is left is darkened.
        self.assertEqual(wait_for(lambda: app.curtains() == [(1920, 1080, 3840, 0)]), True,
                         app.curtains())
        desk.move(4000, 400)
        self.assertEqual(wait_for(lambda: app.curtains() == [(1920, 1080, 0, 0)]), True,
                         app.curtains())
        # Plugged in again: curtained at once, the pointer's screen bright.
        desk.plug("DUMMY1", "1920x1080", 1920, 0)
        self.assertEqual(wait_for(lambda: app.curtains() == [(1920, 1080, 0, 0),
                                                              (1920, 1080, 1920, 0)]),
                         True, app.curtains())
        self.assertEqual(app.stop(), 0)

    def test_a_storm_of_changes_still_updates_every_half_second(self):
        # A flaky cable: the monitor's mode flips every 150 ms, faster than
        # the changes settle. The map and the edges follow all the same.
        desk = desktop_for(self, "1920x1080+0+0 1280x1024+1920+0")
        app = pellmar_for(self, desk, {"boolShowToolTip": False})
        before = len(re.findall(r"^Screens: ", app.output(), re.M))
        started = time.monotonic()
        for k in range(20):
            desk.plug("DUMMY1", "1600x900" if k % 2 == 0 else "1280x1024", 1920, 0)
            time.sleep(0.15)
        lasted = time.monotonic() - started
        during = len(re.findall(r"^Screens: ", app.output(), re.M)) - before
        self.assertGreaterEqual(during, int(lasted / 0.5) - 1, (lasted, app.output()))
        # And the last state is the one shown once the storm is over.
        self.assertTrue(wait_for(lambda: seen(app) == "DUMMY0 1920x1080+0+0, DUMMY1 1280x1024+1920+0"),
                        app.output())
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
