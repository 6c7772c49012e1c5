"""One Pellmar per display, whatever the other end of its socket does: an
endless line, a thousand idle connections under the usual file limit, a
stopped Pellmar, a fallback folder another user has taken. The real pellmar
on a desktop with a tray, so that a second start can show a hidden window."""
import glob
import os
import pwd
import re
import resource
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest

from desktop import PELLMAR, DesktopTestCase, Pellmar, canvas_markers, pellmar_for, wait_for

MIB = 1024 * 1024


def memory(pid):
    """Resident memory now and at its highest, in bytes."""
    values = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                values[key] = int(rest.split()[0]) * 1024
    return values["VmRSS"], values["VmHWM"]


def send_quietly(pid, sig):
    try:
        os.kill(pid, sig)
    except ProcessLookupError:
        pass


class FileLimit:
    """RLIMIT_NOFILE's soft limit for what starts within, as a desktop
    session's default of 1024 is."""

    def __init__(self, soft):
        self.soft = soft

    def __enter__(self):
        self.was = resource.getrlimit(resource.RLIMIT_NOFILE)
        resource.setrlimit(resource.RLIMIT_NOFILE, (self.soft, self.was[1]))

    def __exit__(self, *exc):
        resource.setrlimit(resource.RLIMIT_NOFILE, self.was)


class SingleInstance(DesktopTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desk.start_tray()

    def start(self, extra_env=None):
        app = pellmar_for(self, self.desk, {"boolShowToolTip": False}, extra_env=extra_env)
        self.assertTrue(wait_for(app.tray_icon), "no tray icon")
        return app

    def env_of(self, app, extra_env=None):
        env = dict(self.desk.env, XDG_RUNTIME_DIR=os.path.join(app.config, "run"))
        env.update(extra_env or {})
        return env

    def socket_of(self, app):
        name = "pellmar-" + re.sub(r"[^A-Za-z0-9._-]", "_", self.desk.display) + ".socket"
        return os.path.join(app.config, "run", name)

    def verb(self, env, word):
        r = subprocess.run([PELLMAR, word], env=env, capture_output=True, text=True, timeout=60)
        return r.returncode, r.stderr

    def assert_hands_over(self, first, extra_env=None):
        """A second start shows the first's hidden window and ends with 0."""
        self.desk.x.request_close(first.window)
        self.assertTrue(wait_for(lambda: not first.main_window_visible()))
        second = Pellmar(self.desk, config_dir=first.config, extra_env=extra_env)
        self.addCleanup(second.kill)
        self.assertEqual(second.proc.wait(60), 0, second.output())
        self.assertTrue(wait_for(first.main_window_visible), "the first window did not come back")
        self.assertIsNone(first.proc.poll())

    def test_an_endless_line_costs_little_and_the_verbs_still_answer(self):
        app = self.start()
        rss, peak = memory(app.proc.pid)
        client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        client.connect(self.socket_of(app))
        client.settimeout(10)
        chunk, sent = b"a" * 65536, 0
        try:
            while sent < 128 * MIB:
                sent += client.send(chunk)
        except (BrokenPipeError, ConnectionResetError, socket.timeout):
            pass  # Pellmar hung up, or stopped reading
        finally:
            client.close()
        now_rss, now_peak = memory(app.proc.pid)
        self.assertLess(now_rss - rss, 20 * MIB, f"{sent} bytes sent")
        self.assertLess(now_peak - max(peak, rss), 20 * MIB, f"{sent} bytes sent")
        env = self.env_of(app)
        self.assertEqual(self.verb(env, "--pause"), (0, ""))
        self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == "true"))
        self.assertEqual(self.verb(env, "--resume"), (0, ""))
        self.assertEqual(app.stop(), 0)

    def test_a_thousand_connections_under_the_usual_file_limit(self):
        with FileLimit(1024):
            app = self.start()
        with open(f"/proc/{app.proc.pid}/limits") as f:
            self.assertRegex(f.read(), r"Max open files\s+1024\s")
        # This test keeps its own ends of all of them open.
        soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        if soft < 4096 <= hard or (soft < 4096 and hard == resource.RLIM_INFINITY):
            resource.setrlimit(resource.RLIMIT_NOFILE, (4096, hard))
            self.addCleanup(resource.setrlimit, resource.RLIMIT_NOFILE, (soft, hard))

        path, clients = self.socket_of(app), []
        self.addCleanup(lambda: [c.close() for c in clients])
        deadline = time.monotonic() + 120
        while len(clients) < 1100:
            c = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            c.setblocking(False)
            try:
                c.connect(path)
            except BlockingIOError:  # its queue is full for a moment
                c.close()
                self.assertLess(time.monotonic(), deadline, f"{len(clients)} connections made")
                time.sleep(0.001)
                continue
            except OSError as e:
                c.close()
                self.fail(f"connection {len(clients) + 1}: {e}")
            clients.append(c)

        # With all of them still open, a change of a setting is saved.
        marks = canvas_markers([(1920, 1080, 0, 0), (1280, 1024, 1920, 0)])
        app.click_canvas(marks[(1, "right")])
        self.assertTrue(wait_for(lambda: app.stored().get("allowRightWrap") == "true"),
                        app.output())

        for c in clients:
            c.close()
        clients.clear()
        env = self.env_of(app)
        self.assertEqual(self.verb(env, "--pause"), (0, ""))
        self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == "true"))
        self.assertEqual(self.verb(env, "--resume"), (0, ""))
        self.assert_hands_over(app)
        self.assertEqual(app.stop(), 0)

    def test_a_stopped_pellmar_is_reported_and_answers_once_it_goes_on(self):
        app = self.start()
        pid = app.proc.pid
        self.addCleanup(send_quietly, pid, signal.SIGCONT)
        os.kill(pid, signal.SIGSTOP)
        second = Pellmar(self.desk, config_dir=app.config)
        self.addCleanup(second.kill)
        self.assertEqual(second.proc.wait(60), 1)
        self.assertIn("does not answer", second.output())
        env = self.env_of(app)
        self.assertEqual(self.verb(env, "--toggle"), (1, "Pellmar is running but does not answer\n"))

        os.kill(pid, signal.SIGCONT)
        self.assertEqual(self.verb(env, "--show"), (0, ""))
        self.assertEqual(app.stop(), 0)
        # The toggle its user was told went unanswered never happened.
        self.assertNotEqual(app.stored("Choices").get("paused"), "true")

    def other_user(self):
        """A throwaway local user, removed after the test; `nobody` where
        one cannot be made."""
        name = f"pme2e{os.getpid() % 100000}"
        made = subprocess.run(["useradd", "--system", "--no-create-home", "--shell",
                               "/usr/sbin/nologin", name], capture_output=True)
        if made.returncode == 0:
            self.addCleanup(subprocess.run, ["userdel", name], capture_output=True)
        else:
            name = "nobody"
        entry = pwd.getpwnam(name)
        return entry.pw_uid, entry.pw_gid

    def test_a_fallback_folder_taken_by_another_user_still_guards(self):
        # No runtime folder, and another user has made /tmp/pellmar-<uid>
        # (in a temporary folder of this test's, standing in for /tmp).
        tmp = tempfile.mkdtemp(prefix="pellmar-tmp-")
        self.addCleanup(shutil.rmtree, tmp, ignore_errors=True)
        os.chmod(tmp, 0o1777)
        taken = os.path.join(tmp, f"pellmar-{os.getuid()}")
        uid, gid = self.other_user()
        os.mkdir(taken, 0o700)
        os.chown(taken, uid, gid)
        cache = tempfile.mkdtemp(prefix="pellmar-cache-")
        self.addCleanup(shutil.rmtree, cache, ignore_errors=True)
        extra = {"XDG_RUNTIME_DIR": "", "TMPDIR": tmp, "XDG_CACHE_HOME": cache}

        app = self.start(extra_env=extra)
        env = self.env_of(app, extra)
        self.assertEqual(self.verb(env, "--pause"), (0, ""))
        self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == "true"))
        self.assertEqual(self.verb(env, "--resume"), (0, ""))
        self.assert_hands_over(app, extra)
        # The lock is in the user's own cache folder; the taken folder is
        # left as it was.
        key = re.sub(r"[^A-Za-z0-9._-]", "_", self.desk.display)
        self.assertTrue(glob.glob(os.path.join(cache, "pellmar", "*", f"pellmar-{key}.lock")))
        self.assertEqual(os.listdir(taken), [])
        self.assertEqual(os.stat(taken).st_uid, uid)
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
