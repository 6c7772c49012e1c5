"""Edge wrap on a real X server: two monitors, 1920x1080 left of 1280x1024."""
import signal
import time
import unittest

from desktop import DesktopTestCase, pellmar_for


class EdgeWrap(DesktopTestCase):
    def start(self, **settings):
        settings.setdefault("boolShowToolTip", False)
        return pellmar_for(self, self.desk, settings)

    def test_desktop_is_two_real_monitors(self):
        self.assertEqual(self.desk.monitors(), [(1920, 1080, 0, 0), (1280, 1024, 1920, 0)])

    def test_both_edges_wrap_and_settings_survive(self):
        app = self.start(allowLeftWrap=True, allowRightWrap=True)
        # Starting with left wrap on does not throw the cursor across.
        self.assertTrue(self.desk.stays((700, 400)))

        self.desk.move(3199, 500)
        self.assertEqual(self.desk.wait_pointer((1, 500)), (1, 500))
        self.desk.move(0, 500)
        self.assertEqual(self.desk.wait_pointer((3198, 500)), (3198, 500))
        # Below the right screen's last row: the target is clamped onto it,
        # or the X server would leave the pointer where it was.
        self.desk.move(0, 1050)
        self.assertEqual(self.desk.wait_pointer((3198, 1023)), (3198, 1023))
        # The inner edge between the screens is no wrapping edge.
        self.desk.move(1919, 300)
        self.assertTrue(self.desk.stays((1919, 300)))

        self.assertEqual(app.stop(signal.SIGTERM), 0)
        self.assertEqual(app.stored(), {"allowLeftWrap": "true", "allowRightWrap": "true",
                                        "boolShowToolTip": "false"})
        log = app.output()
        self.assertIn("Settings: Loading Settings...", log)
        self.assertIn("Settings: Saving Settings...", log)

    def test_only_the_edges_switched_on_wrap(self):
        app = self.start(allowRightWrap=True)
        self.desk.move(0, 600)
        self.assertTrue(self.desk.stays((0, 600)))
        self.desk.move(3199, 600)
        self.assertEqual(self.desk.wait_pointer((1, 600)), (1, 600))
        self.assertEqual(app.stop(signal.SIGINT), 0)
        self.assertEqual(app.stored()["allowLeftWrap"], "false")
        self.assertEqual(app.stored()["allowRightWrap"], "true")

    def test_no_settings_file_starts_with_wrap_off_and_writes_one(self):
        app = pellmar_for(self, self.desk)
        self.desk.move(3199, 10)
        self.assertTrue(self.desk.stays((3199, 10)))
        self.desk.move(0, 10)
        self.assertTrue(self.desk.stays((0, 10)))
        self.assertEqual(app.stop(), 0)
        self.assertEqual(app.stored(), {"allowLeftWrap": "false", "allowRightWrap": "false",
                                        "boolShowToolTip": "true"})

    def test_first_motion_after_long_stillness_and_a_warp_both_wrap(self):
        # The engine sleeps while nothing moves: the first device motion onto
        # the edge wakes it, and a pointer warped there by another program
        # (no device motion) is found by its slow look.
        app = self.start(allowRightWrap=True)
        time.sleep(3)
        self.desk.x.move(3199, 640)
        self.assertEqual(self.desk.wait_pointer((1, 640)), (1, 640))
        time.sleep(3)
        self.desk.x.warp(3199, 660)
        self.assertEqual(self.desk.wait_pointer((1, 660)), (1, 660))
        self.assertEqual(app.stop(), 0)

    def test_every_push_against_the_edge_wraps(self):
        # No jump is lost or repeated: each push wraps once.
        app = self.start(allowRightWrap=True)
        for y in (100, 700, 1000):
            self.desk.move(3199, y)
            self.assertEqual(self.desk.wait_pointer((1, y)), (1, y))
        self.assertEqual(app.stop(), 0)

    def test_safe_corners(self):
        # A fling into the top right corner (to close a maximised window)
        # stays there; the middle of that edge still wraps, and so does the
        # monitor's top row away from its corners.
        app = self.start(allowRightWrap=True, **{"Cursor\\cornerGuard": 40,
                                                 "Choices\\Monitors\\DUMMY1\\wrapTop": True})
        for corner in [(3199, 0), (3199, 39), (3199, 1023), (3170, 0)]:
            self.desk.move(*corner)
            self.assertTrue(self.desk.stays(corner), corner)
        self.desk.move(3199, 40)
        self.assertEqual(self.desk.wait_pointer((1, 40)), (1, 40))
        self.desk.move(2500, 0)
        self.assertEqual(self.desk.wait_pointer((2500, 1022)), (2500, 1022))
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
