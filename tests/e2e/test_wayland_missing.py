"""A Wayland desktop that does not give programs what Pellmar needs to
watch the edges and move the pointer, as GNOME and KDE do not today: here
weston on its headless backend, which offers neither. Pellmar says once which
abilities are missing, in its log and its window, and the rest runs."""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from desktop import PELLMAR, wait_for
from wayland import end, ensure_user


@unittest.skipUnless(shutil.which("weston"), "weston is not installed (tools/setup.sh installs it)")
class MissingProtocols(unittest.TestCase):
    def test_the_missing_abilities_are_said_once(self):
        user = ensure_user()
        home = tempfile.mkdtemp(prefix="pellmar-weston-")
        self.addCleanup(shutil.rmtree, home, True)
        os.chmod(home, 0o700)
        os.chown(home, user.pw_uid, user.pw_gid)
        # The session's user must reach the program.
        program = os.path.join(home, "pellmar")
        shutil.copy(PELLMAR, program)
        os.chmod(program, 0o755)
        socket = f"pellmar-test-{os.getpid()}"

        def as_user(*command, env=None, **kwargs):
            # The process itself runs as the user, so that its own id ends it.
            # The sanitizers' settings of a sanitizer run come along (as for
            # the other end-to-end runs, memory errors count, not what the
            # platform plugin leaves at exit).
            base = {"HOME": home, "XDG_RUNTIME_DIR": home, "PATH": "/usr/local/bin:/usr/bin:/bin"}
            base.update({k: v for k, v in os.environ.items()
                         if k in ("ASAN_OPTIONS", "UBSAN_OPTIONS")})
            return subprocess.Popen(list(command), env=dict(base, **(env or {})),
                                    user=user.pw_uid, group=user.pw_gid, extra_groups=[],
                                    cwd=home, **kwargs)

        weston = as_user("weston", "--backend=headless-backend.so", f"--socket={socket}",
                         "--width=1280", "--height=800", stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
        self.addCleanup(end, weston)
        self.assertTrue(wait_for(lambda: os.path.exists(os.path.join(home, socket)), 10),
                        "weston did not start")
        log_path = os.path.join(home, "pellmar.log")
        with open(log_path, "w") as log:
            app = as_user(program, env={"WAYLAND_DISPLAY": socket, "XDG_SESSION_TYPE": "wayland",
                                        "XDG_CONFIG_HOME": os.path.join(home, "config"),
                                        "QT_LOGGING_RULES": "default.debug=true"},
                          stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(end, app)

        def output():
            with open(log_path) as f:
                return f.read()
        self.assertTrue(wait_for(lambda: "Screens: " in output() and "Pellmar cannot" in output(),
                                 10), output())
        time.sleep(0.5)
        text = output()
        self.assertEqual(text.count("Pellmar cannot wrap or carry the mouse cursor here"), 1, text)
        self.assertIn("does not let programs move the pointer", text)
        self.assertIn("does not let programs watch the screen edges", text)
        # Still running, and it ends in order.
        self.assertIsNone(app.poll(), text)
        self.assertEqual(end(app, sig=signal.SIGTERM), 0, output())

        # --desktop says the same, feature by feature: only the tray and
        # starting at login are there.
        told = as_user(program, "--desktop", env={"WAYLAND_DISPLAY": socket,
                                                  "XDG_SESSION_TYPE": "wayland"},
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        lines = told.communicate(timeout=30)[0].splitlines()
        self.assertEqual(told.returncode, 0, lines)
        self.assertTrue(lines[0].startswith("desktop: wlroots ("), lines)
        features = dict(line.split(": ", 1) for line in lines[1:])
        yes = sorted(k for k, v in features.items() if v.startswith("yes"))
        self.assertEqual(yes, ["start at login", "tray"], lines)
        # Every other feature is refused with the reason, not a bare no.
        for name, said in features.items():
            if name not in yes:
                self.assertRegex(said, r"^no: \S.{20,}", name)
        self.assertIn("does not let programs move the pointer", features["jump"])


if __name__ == "__main__":
    unittest.main()
