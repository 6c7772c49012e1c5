"""A full-screen window on a real X desktop that goes away without leaving
full screen: openbox names the focused window and its states (EWMH), a
window of the test's own fills its monitor as a game does, then its client
ends, and the wraps go on."""
import unittest

from desktop import ClientWindow, DesktopTestCase, pellmar_for, wait_for

FOCUSED = "A full-screen window has the focus"
UNFOCUSED = "No full-screen window has the focus"


class FullScreen(DesktopTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desk.start_desktop(compositor=False)

    def test_a_full_screen_window_that_goes_away_holds_nothing_back(self):
        app = pellmar_for(self, self.desk, {"boolShowToolTip": False, "allowRightWrap": True})
        win = ClientWindow(self.desk.display, "a game")
        self.addCleanup(win.close)
        win.activate()
        win.set_fullscreen(True)
        self.assertTrue(wait_for(lambda: app.output().count(FOCUSED) == 1), app.output())
        win.close()  # its client ends: the window is destroyed
        self.assertTrue(wait_for(lambda: app.output().count(UNFOCUSED) == 1), app.output())
        self.desk.move(3199, 600)
        self.assertEqual(self.desk.wait_pointer((1, 600)), (1, 600))
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
