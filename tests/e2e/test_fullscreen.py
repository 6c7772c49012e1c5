"""Holding back for a full-screen window on a real X desktop: openbox names
the focused window and its states (EWMH), a window of the test's own asks
to fill its monitor as a game or a slide show does, and the wraps wait."""
import unittest

from desktop import ClientWindow, DesktopTestCase, pellmar_for, wait_for

FOCUSED = "A full-screen window has the focus"
UNFOCUSED = "No full-screen window has the focus"


class FullScreen(DesktopTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desk.start_desktop(compositor=False)

    def start(self, **cursor):
        settings = {"boolShowToolTip": False, "allowLeftWrap": True, "allowRightWrap": True}
        settings.update({"Cursor/" + k: v for k, v in cursor.items()})
        return pellmar_for(self, self.desk, settings)

    def full_screen_window(self, app):
        """A window of another client, focused and full screen, once Pellmar
        has heard so."""
        win = ClientWindow(self.desk.display, "a game")
        self.addCleanup(win.close)
        win.activate()
        win.set_fullscreen(True)
        self.assertTrue(wait_for(lambda: app.output().count(FOCUSED) == 1), app.output())
        return win

    def left_full_screen(self, app):
        self.assertTrue(wait_for(lambda: app.output().count(UNFOCUSED) == 1), app.output())

    def test_a_full_screen_window_that_goes_away_holds_nothing_back(self):
        app = self.start()
        win = self.full_screen_window(app)
        win.close()  # its client ends: the window is destroyed
        self.left_full_screen(app)
        self.desk.move(3199, 600)
        self.assertEqual(self.desk.wait_pointer((1, 600)), (1, 600))
        self.assertEqual(app.stop(), 0)

    def test_wraps_go_on_under_a_full_screen_window_when_so_chosen(self):
        app = self.start(pauseInFullscreen=False)
        self.full_screen_window(app)
        self.desk.move(3199, 700)
        self.assertEqual(self.desk.wait_pointer((1, 700)), (1, 700))
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
