"""On a real X server: the engine woken from stillness at the edge, a lock
that not one device motion crosses, and the command line with no Pellmar
running."""
import os
import subprocess
import time
import unittest

from desktop import PELLMAR, DesktopTestCase, MotionWatcher, pellmar_for


class EdgeControl(DesktopTestCase):
    def start(self):
        return pellmar_for(self, self.desk, {"boolShowToolTip": False, "allowRightWrap": True})

    def test_first_motion_after_long_stillness_and_a_warp_both_wrap(self):
        # The engine sleeps while nothing moves: the first device motion onto
        # the edge wakes it, and a pointer warped there by another program
        # (no device motion) is found by its slow look.
        app = self.start()
        time.sleep(3)
        self.desk.x.move(3199, 640)
        self.assertEqual(self.desk.wait_pointer((1, 640)), (1, 640))
        time.sleep(3)
        self.desk.x.warp(3199, 660)
        self.assertEqual(self.desk.wait_pointer((1, 660)), (1, 660))
        self.assertEqual(app.stop(), 0)

    def test_a_lock_lets_not_one_motion_across(self):
        app = self.start()
        self.desk.move(3000, 500)
        self.env_of_running = dict(self.desk.env, XDG_RUNTIME_DIR=os.path.join(app.config, "run"))
        self.assertEqual(self.run_pellmar("--lock").returncode, 0)
        watcher = MotionWatcher(self.desk.display)
        self.addCleanup(watcher.close)
        watcher.forget()
        # Towards the neighbour, as a mouse moves: stopped at the side, never
        # across it, not for one motion.
        for _ in range(5):
            self.desk.x.push(-400, 0)
        self.assertEqual(self.desk.pointer(), (1920, 500))
        seen = watcher.columns()
        self.assertTrue(seen, "no motion heard")
        self.assertGreaterEqual(min(seen), 1920, seen)
        self.assertEqual(app.stop(), 0)

    def run_pellmar(self, *args):
        return subprocess.run([PELLMAR, *args], env=self.env_of_running, capture_output=True,
                              text=True, timeout=30)

    def test_verbs_with_none_running_and_the_other_options(self):
        self.env_of_running = dict(self.desk.env, XDG_RUNTIME_DIR=self.desk.dir)
        for verb in ("--pause", "--resume", "--toggle", "--show"):
            r = self.run_pellmar(verb)
            self.assertEqual((r.returncode, r.stderr), (1, "Pellmar is not running\n"), verb)
        r = self.run_pellmar("--version")
        self.assertEqual((r.returncode, r.stdout), (0, "Pellmar 1.0\n"))
        r = self.run_pellmar("--help")
        self.assertEqual(r.returncode, 0)
        self.assertIn("--toggle", r.stdout)
        r = self.run_pellmar("--frobnicate")
        self.assertEqual(r.returncode, 2)
        self.assertIn("frobnicate", r.stderr)
        self.assertIn("Usage:", r.stderr)
        # Qt's own options still reach Qt: only the unknown one is refused.
        r = self.run_pellmar("-style", "fusion", "--frobnicate")
        self.assertEqual(r.returncode, 2)
        self.assertNotIn("style", r.stderr.split("Usage:")[0])
        r = self.run_pellmar("-display", self.desk.display, "--version")
        self.assertEqual((r.returncode, r.stdout), (0, "Pellmar 1.0\n"))


if __name__ == "__main__":
    unittest.main()
