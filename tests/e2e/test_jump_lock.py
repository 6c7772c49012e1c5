"""`pellmar --jump`, `--lock` and `--unlock` on a real X server: two
monitors, DUMMY0 1920x1080 left of DUMMY1 1280x1024."""
import os
import subprocess
import unittest

from desktop import PELLMAR, DesktopTestCase, MotionWatcher, pellmar_for

MIDDLE = {"DUMMY0": (960, 540), "DUMMY1": (2560, 512)}


class JumpAndLock(DesktopTestCase):
    def start(self, **settings):
        settings.setdefault("boolShowToolTip", False)
        return pellmar_for(self, self.desk, settings)

    def verb(self, app, *args):
        """A second start with these arguments: (status, stderr)."""
        env = dict(self.desk.env, XDG_RUNTIME_DIR=os.path.join(app.config, "run"))
        r = subprocess.run([PELLMAR, *args], env=env, capture_output=True, text=True, timeout=60)
        return r.returncode, r.stderr

    def test_jump_to_the_next_monitor_and_to_a_named_one(self):
        app = self.start()
        # From the monitor the pointer is on, DUMMY0.
        self.assertEqual(self.verb(app, "--jump", "next"), (0, ""))
        self.assertEqual(self.desk.wait_pointer(MIDDLE["DUMMY1"]), MIDDLE["DUMMY1"])
        # From the last monitor in the map, the next is the first again.
        self.assertEqual(self.verb(app, "--jump=next"), (0, ""))
        self.assertEqual(self.desk.wait_pointer(MIDDLE["DUMMY0"]), MIDDLE["DUMMY0"])
        self.assertEqual(self.verb(app, "--jump", "DUMMY1"), (0, ""))
        self.assertEqual(self.desk.wait_pointer(MIDDLE["DUMMY1"]), MIDDLE["DUMMY1"])
        self.assertEqual(app.stop(), 0)

    def test_a_name_that_is_no_monitor_moves_nothing(self):
        app = self.start()
        self.assertEqual(self.verb(app, "--jump", "DP-9"),
                         (1, "No monitor is called DP-9; the monitors are DUMMY0, DUMMY1\n"))
        self.assertTrue(self.desk.stays((700, 400)))
        self.assertEqual(app.stop(), 0)

    def test_lock_holds_the_pointer_on_its_monitor_until_unlocked(self):
        app = self.start(allowLeftWrap=True, allowRightWrap=True)
        self.desk.move(3000, 500)
        self.assertEqual(self.verb(app, "--lock"), (0, ""))
        watcher = MotionWatcher(self.desk.display)
        self.addCleanup(watcher.close)
        watcher.forget()
        # Towards the neighbour, as a mouse moves: stopped at the side, never
        # across it, not for one motion.
        for _ in range(5):
            self.desk.x.push(-400, 0)
        self.assertEqual(self.desk.pointer(), (1920, 500))
        # At the desktop's edge the switched-on wrap would take it across.
        for _ in range(5):
            self.desk.x.push(400, 0)
        self.assertTrue(self.desk.stays((3199, 500)))
        self.desk.x.push(-200, 0)
        seen = watcher.columns()
        self.assertTrue(seen, "no motion heard")
        self.assertGreaterEqual(min(seen), 1920, seen)
        self.assertEqual(self.desk.pointer(), (2999, 500))

        self.assertEqual(self.verb(app, "--unlock"), (0, ""))
        self.desk.x.push(-1500, 0)
        self.assertEqual(self.desk.pointer(), (1499, 500))
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
