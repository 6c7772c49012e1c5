"""Control at the edge on a real X server: the bypass key, no wraps while a
button is held, push through, pause, and the verbs of the command line."""
import os
import subprocess
import time
import unittest

from desktop import PELLMAR, DesktopTestCase, pellmar_for, wait_for


class EdgeControl(DesktopTestCase):
    def start(self, **cursor):
        settings = {"boolShowToolTip": False, "allowRightWrap": True}
        settings.update({"Cursor/" + k: v for k, v in cursor.items()})
        return pellmar_for(self, self.desk, settings)

    def pinned(self, y):
        """The pointer pushed onto the right edge at row y, and seen there."""
        self.desk.x.move(3100, y)
        time.sleep(0.05)
        self.desk.x.move(3199, y)
        time.sleep(0.1)

    def test_bypass_key_holds_every_jump(self):
        app = self.start(bypassModifier="alt")
        self.desk.x.key("Alt_L", True)
        try:
            self.pinned(500)
            self.desk.x.push(20, 0)
            self.assertTrue(self.desk.stays((3199, 500)))
        finally:
            self.desk.x.key("Alt_L", False)
        self.desk.x.push(20, 0)  # still pushing, the key let go
        self.assertEqual(self.desk.wait_pointer((1, 500)), (1, 500))
        self.assertEqual(app.stop(), 0)

    def test_dragging_stays_on_its_side_unless_wanted(self):
        app = self.start()
        self.desk.x.move(2500, 600)
        self.desk.x.button(1, True)
        try:
            self.pinned(600)
            self.assertTrue(self.desk.stays((3199, 600)))
        finally:
            self.desk.x.button(1, False)
        self.desk.x.push(20, 0)
        self.assertEqual(self.desk.wait_pointer((1, 600)), (1, 600))
        self.assertEqual(app.stop(), 0)

        app = self.start(wrapWhileButtonHeld=True)
        self.desk.x.move(2500, 650)
        self.desk.x.button(1, True)
        try:
            self.pinned(650)
            self.assertEqual(self.desk.wait_pointer((1, 650)), (1, 650))
        finally:
            self.desk.x.button(1, False)
        self.assertEqual(app.stop(), 0)

    def test_push_through(self):
        app = self.start(pushThrough=100)
        self.pinned(400)
        self.assertTrue(self.desk.stays((3199, 400)))
        for _ in range(3):
            self.desk.x.push(25, 0)
            time.sleep(0.05)
        self.assertTrue(self.desk.stays((3199, 400)))
        self.desk.x.push(40, 0)
        self.assertEqual(self.desk.wait_pointer((1, 400)), (1, 400))
        # Leaving the edge starts the count afresh.
        self.pinned(420)
        self.desk.x.push(60, 0)
        time.sleep(0.05)
        self.desk.x.move(3150, 420)
        self.pinned(420)
        self.desk.x.push(60, 0)
        self.assertTrue(self.desk.stays((3199, 420)))
        self.desk.x.push(60, 0)
        self.assertEqual(self.desk.wait_pointer((1, 420)), (1, 420))
        self.assertEqual(app.stop(), 0)

    def run_pellmar(self, *args):
        return subprocess.run([PELLMAR, *args], env=self.env_of_running, capture_output=True,
                              text=True, timeout=30)

    def test_verbs_tell_the_running_one(self):
        app = self.start()
        self.env_of_running = dict(self.desk.env, XDG_RUNTIME_DIR=os.path.join(app.config, "run"))
        self.assertEqual(self.run_pellmar("--pause").returncode, 0)
        time.sleep(0.3)
        self.pinned(300)
        self.desk.x.push(20, 0)
        self.assertTrue(self.desk.stays((3199, 300)), "paused, yet it wrapped")
        # Resumed, it looks at once: the pointer waiting on the edge wraps.
        self.assertEqual(self.run_pellmar("--toggle").returncode, 0)
        self.assertEqual(self.desk.wait_pointer((1, 300)), (1, 300))
        self.assertEqual(self.run_pellmar("--pause").returncode, 0)
        self.assertEqual(self.run_pellmar("--resume").returncode, 0)
        self.pinned(320)
        self.assertEqual(self.desk.wait_pointer((1, 320)), (1, 320))
        # Kept across runs: paused at exit, paused at the next start.
        self.assertEqual(self.run_pellmar("--pause").returncode, 0)
        time.sleep(0.3)
        self.assertEqual(app.stop(), 0)
        self.assertEqual(app.stored("Choices")["paused"], "true")

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
