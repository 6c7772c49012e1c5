"""The edges on a real headless sway, with pellmar as a native Wayland
client: the desktop's and a monitor's wraps, Easy Move, push through, an
output plugged in while it runs, and pause. The pointer is driven by a
virtual pointer, as a mouse drives it, and read back by the harness's probe."""
import subprocess
import time
import unittest

from wayland import PELLMAR, needs_sway, sway_for, wait_for, wayland_pellmar_for

TWO = "1920x1080+0+0 1280x1024+1920+0"


@needs_sway
class WaylandEdges(unittest.TestCase):
    def start(self, layout=TWO, **settings):
        self.sway = sway_for(self, layout)
        values = {"boolShowToolTip": False}
        # Grouped keys as the settings file spells them under [General].
        values.update({k.replace("/", "\\"): v for k, v in settings.items()})
        self.app = wayland_pellmar_for(self, self.sway, values)
        return self.sway, self.app

    def verb(self, *words):
        """Runs `pellmar WORDS` in the session, as its user; its exit status."""
        proc = self.sway.run_as_user(self.sway.reachable(PELLMAR), *words,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return proc.wait(30)

    def test_desktop_wraps_both_ways(self):
        sway, app = self.start(allowLeftWrap=True, allowRightWrap=True)
        # A native Wayland window, not one through XWayland.
        self.assertEqual((app.window.get("shell"), app.window.get("app_id")),
                         ("xdg_shell", "pellmar"))
        self.assertIn("Screens: HEADLESS-1 1920x1080+0+0, HEADLESS-2 1280x1024+1920+0",
                      app.output())
        sway.move(3199, 500)
        self.assertEqual(sway.wait_pointer((1, 500)), (1, 500))
        # Onto the shorter screen: its nearest row.
        sway.move(0, 1070)
        self.assertEqual(sway.wait_pointer((3198, 1023)), (3198, 1023))
        self.assertEqual(app.stop(), 0)

    def test_three_outputs_one_stacked(self):
        # A laptop under the left monitor: both make the desktop's left edge.
        sway, app = self.start("1920x1080+0+0 1280x1024+1920+0 1366x768+0+1080",
                               allowLeftWrap=True, allowRightWrap=True)
        sway.move(0, 1500)
        self.assertEqual(sway.wait_pointer((3198, 1023)), (3198, 1023))
        sway.move(3199, 200)
        self.assertEqual(sway.wait_pointer((1, 200)), (1, 200))
        sway.move(0, 500)
        self.assertEqual(sway.wait_pointer((3198, 500)), (3198, 500))
        self.assertEqual(app.stop(), 0)

    def test_edges_switched_off_stay_put(self):
        sway, app = self.start()
        for edge in [(3199, 500), (0, 500), (700, 0), (700, 1079)]:
            sway.move(*edge)
            self.assertTrue(sway.stays(edge), edge)
        self.assertEqual(app.stop(), 0)

    def test_a_monitors_top_wrap(self):
        sway, app = self.start(**{"Choices/Monitors/HEADLESS-1/wrapTop": True})
        sway.move(700, 0)
        self.assertEqual(sway.wait_pointer((700, 1078)), (700, 1078))
        # The other monitor's top stays put.
        sway.move(2500, 0)
        self.assertTrue(sway.stays((2500, 0)))
        self.assertEqual(app.stop(), 0)

    def test_easy_move(self):
        sway, app = self.start("1920x1200+0+0 1280x1024+1920+0", **{"Choices/easyMove": True})
        sway.move(1919, 1100)
        self.assertEqual(sway.wait_pointer((1921, 1023)), (1921, 1023))
        self.assertEqual(app.stop(), 0)

    def still_on_the_strip(self):
        """The probe cannot see the pointer over Pellmar's strip: unseen for
        a while means it has not wrapped."""
        time.sleep(0.3)
        return self.sway.where() is None

    def test_push_through(self):
        sway, app = self.start(allowRightWrap=True, **{"Cursor/pushThrough": 40})
        sway.move(3199, 500)
        self.assertTrue(self.still_on_the_strip(), "wrapped without a push")
        sway.rel(15, 0)
        sway.rel(15, 0)
        self.assertTrue(self.still_on_the_strip(), "wrapped before the push was enough")
        sway.rel(15, 0)
        self.assertEqual(sway.wait_pointer((1, 500)), (1, 500))
        self.assertEqual(app.stop(), 0)

    def test_an_output_added_while_running(self):
        sway, app = self.start(allowRightWrap=True)
        sway.add_output("800x600", 3200, 0)
        self.assertTrue(wait_for(lambda: "HEADLESS-3 800x600+3200+0" in app.output()),
                        app.output())
        sway.move(3999, 300)
        self.assertEqual(sway.wait_pointer((1, 300)), (1, 300))
        # The old right edge is no edge any more.
        sway.move(3199, 300)
        self.assertTrue(sway.stays((3199, 300)))
        self.assertEqual(app.stop(), 0)

    def test_pause(self):
        sway, app = self.start(allowRightWrap=True)
        self.assertEqual(self.verb("--pause"), 0)
        self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == "true"))
        sway.move(3199, 500)
        self.assertTrue(sway.stays((3199, 500)), "paused, yet it wrapped")
        sway.move(700, 400)
        self.assertEqual(self.verb("--resume"), 0)
        self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == "false"))
        sway.move(3199, 500)
        self.assertEqual(sway.wait_pointer((1, 500)), (1, 500))
        self.assertEqual(app.stop(), 0)

    def test_jump_next_from_the_output_sway_names(self):
        sway, app = self.start()
        # From HEADLESS-1, where the pointer is, to the middle of HEADLESS-2.
        self.assertEqual(self.verb("--jump", "next"), 0)
        self.assertEqual(sway.wait_pointer((2560, 512)), (2560, 512))
        # No one holds the pointer here: said, and nothing held.
        self.assertEqual(self.verb("--lock"), 1)
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
