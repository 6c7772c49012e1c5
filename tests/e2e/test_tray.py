"""The tray and closing the window on a real X server with a real tray host
(trayer). (test_single_instance hands a second start over to the first.)"""
import signal
import time
import unittest

from desktop import DesktopTestCase, desktop_for, pellmar_for, wait_for


class WithTray(DesktopTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desk.start_tray()

    def start(self, **kwargs):
        app = pellmar_for(self, self.desk, **kwargs)
        self.assertTrue(wait_for(app.tray_icon), "no tray icon")
        return app

    def notices(self, app):
        """Small windows of the program other than its tray icon: the notice."""
        icon = app.tray_icon()
        return [g for wid, g in app.windows().items()
                if int(wid) != int(app.window) and (g[2] + g[0] // 2, g[3] + g[1] // 2) != icon]

    def test_close_hides_to_the_tray_with_one_notice(self):
        app = self.start(settings={"boolShowToolTip": True})
        self.desk.x.request_close(app.window)
        self.assertTrue(wait_for(lambda: not app.main_window_visible()))
        self.assertIsNone(app.proc.poll(), "closing the window must not end the program")
        self.assertTrue(wait_for(lambda: self.notices(app)), "no 'Still Running!' notice")

        # A single click on the icon shows the window again.
        self.desk.click(*app.tray_icon())
        self.assertTrue(wait_for(app.main_window_visible))

        # The second close in the same run hides without a notice.
        wait_for(lambda: not self.notices(app), 8)
        self.desk.x.request_close(app.window)
        self.assertTrue(wait_for(lambda: not app.main_window_visible()))
        time.sleep(0.5)
        self.assertEqual(self.notices(app), [])

        self.assertEqual(app.stop(), 0)
        self.assertEqual(app.stored()["boolShowToolTip"], "false")

    def test_exit_from_the_tray_menu(self):
        app = self.start(settings={"boolShowToolTip": True})
        icon = app.tray_icon()
        self.desk.click(*icon, button=3)
        menu = wait_for(lambda: self.notices(app))
        self.assertTrue(menu, "no tray menu")
        w, h, x, y = menu[0]
        # "Hide", a separator, "Exit": the last item is at the menu's bottom.
        self.desk.click(x + w // 2, y + h - 8)
        # Exit is no hide: no "Still Running!" notice as the program ends,
        # and the notice is still due for the first real hide.
        gone = time.monotonic() + 10
        while app.proc.poll() is None and time.monotonic() < gone:
            self.assertEqual([g for g in self.notices(app) if g[0] > 100], [])
            time.sleep(0.02)
        self.assertEqual(app.proc.wait(10), 0)
        self.assertIn("Closing...", app.output())
        self.assertEqual(app.stored()["boolShowToolTip"], "true")

    def test_dismissing_a_notice_while_hidden_keeps_it_running(self):
        app = self.start(settings={"boolShowToolTip": False},
                         extra_env={"XDG_SESSION_TYPE": "wayland"})
        self.desk.x.request_close(app.window)
        self.assertTrue(wait_for(lambda: not app.main_window_visible()))
        box = wait_for(lambda: [w for w, g in app.windows().items()
                                if int(w) != int(app.window) and g[0] > 100])
        self.assertTrue(box, "no session notice")
        self.desk.x.request_close(box[0])
        self.assertTrue(wait_for(lambda: not [w for w, g in app.windows().items()
                                              if int(w) != int(app.window) and g[0] > 100]))
        time.sleep(0.5)
        self.assertIsNone(app.proc.poll(), "dismissing the notice ended the program")
        self.assertEqual(app.stop(), 0)


class WithoutTray(unittest.TestCase):
    def test_hangup_ends_in_order(self):
        desk = desktop_for(self)
        app = pellmar_for(self, desk, {"allowLeftWrap": True})
        self.assertEqual(app.stop(signal.SIGHUP), 0)
        self.assertIn("Settings: Saving Settings...", app.output())
        app = pellmar_for(self, desk, config_dir=app.config)
        self.assertEqual(app.stop(signal.SIGQUIT), 0)

    def test_a_wayland_session_is_told_once_and_the_rest_runs(self):
        desk = desktop_for(self)
        app = pellmar_for(self, desk, {"boolShowToolTip": False},
                          extra_env={"XDG_SESSION_TYPE": "wayland"})
        time.sleep(0.3)
        self.assertEqual(app.output().count("cursor control needs an X11 session"), 1)
        # The notice is a window of its own beside the main one.
        self.assertTrue(any(g[:2] != (765, 400) and g[0] > 100 for g in app.windows().values()))
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
