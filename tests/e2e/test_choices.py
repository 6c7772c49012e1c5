"""Choices survive a kill: each is saved as it is made, and a restart
brings every one back, on the map, in the panel and in what Pellmar does."""
import os
import signal
import subprocess
import time
import unittest

from desktop import PELLMAR, canvas_markers, desktop_for, pellmar_for, wait_for
from test_controls import GREEN, RED, pixel


class KeptChoices(unittest.TestCase):
    screens = [(1920, 1200, 0, 0), (1280, 1024, 1920, 0)]

    def test_every_choice_survives_a_kill(self):
        desk = desktop_for(self, "1920x1200+0+0 1280x1024+1920+0")
        app = pellmar_for(self, desk, {"boolShowToolTip": False})
        marks = canvas_markers(self.screens)
        app.click_canvas(marks[(1, "right")])
        app.click_canvas(marks[(0, "top")])
        app.keys("Tab", "Tab", "space", "Tab", "space")  # Easy Move, Screen Focus
        time.sleep(1.0)  # every change is on disk within a second
        app.proc.send_signal(signal.SIGKILL)  # as when the X server goes at logout
        app.proc.wait()
        app.log.close()
        choices = app.stored("Choices")
        self.assertEqual((choices["easyMove"], choices["screenFocus"]), ("true", "true"))
        self.assertEqual(choices["Monitors\\DUMMY0\\wrapTop"], "true")
        self.assertEqual(app.stored()["allowRightWrap"], "true")

        again = pellmar_for(self, desk, config_dir=app.config)
        ox, oy = again.window_origin()
        for key, colour in (((1, "right"), GREEN), ((0, "top"), GREEN), ((1, "top"), RED)):
            at = marks[key]
            self.assertEqual(pixel(desk, ox + 10 + at[0], oy + 10 + at[1]), colour, key)
        # Screen Focus is back on: the other screen is curtained.
        self.assertTrue(wait_for(lambda: again.curtains() == [(1280, 1024, 1920, 0)]),
                        again.curtains())
        # And the wrap at the edge switched on by its marker acts.
        desk.move(3199, 500)
        self.assertEqual(desk.wait_pointer((1, 500)), (1, 500))
        self.assertEqual(again.stop(), 0)

    def test_two_sessions_share_the_file_without_undoing_each_other(self):
        # One user, two desktops (two sessions), one settings file.
        layout = "1920x1080+0+0 1280x1024+1920+0"
        first_desk, second_desk = desktop_for(self, layout), desktop_for(self, layout)
        first = pellmar_for(self, first_desk, {"boolShowToolTip": False})
        second = pellmar_for(self, second_desk, config_dir=first.config)
        marks = canvas_markers([(1920, 1080, 0, 0), (1280, 1024, 1920, 0)])
        first.click_canvas(marks[(1, "right")])
        self.assertTrue(wait_for(lambda: first.stored().get("allowRightWrap") == "true"))

        def verb(desk, word):
            env = dict(desk.env, XDG_RUNTIME_DIR=os.path.join(first.config, "run"))
            return subprocess.run([PELLMAR, word], env=env, capture_output=True,
                                  timeout=30).returncode

        # The second pauses and saves that, and only that.
        self.assertEqual(verb(second_desk, "--pause"), 0)
        self.assertTrue(wait_for(lambda: first.stored("Choices").get("paused") == "true"))
        time.sleep(1.0)
        self.assertEqual(first.stored().get("allowRightWrap"), "true")
        # Each has taken the other's change: the second wraps at the right
        # edge it never switched on, once resumed.
        self.assertEqual(verb(second_desk, "--resume"), 0)
        self.assertTrue(wait_for(lambda: first.stored("Choices").get("paused") == "false"))
        time.sleep(0.3)
        second_desk.move(3199, 500)
        self.assertEqual(second_desk.wait_pointer((1, 500)), (1, 500))
        first_desk.move(3199, 500)
        self.assertEqual(first_desk.wait_pointer((1, 500)), (1, 500))
        self.assertEqual(second.stop(), 0)
        self.assertEqual(first.stop(), 0)
        self.assertEqual(first.stored().get("allowRightWrap"), "true")


if __name__ == "__main__":
    unittest.main()
