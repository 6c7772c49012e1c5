"""The KDE harness itself on a real headless KWin 6: outputs of different
sizes where the layout puts them, the probe moving the pointer and reading
it back on each, and still moving it once an output has been switched on
and off again."""
import os
import shutil
import tempfile
import unittest

from kde import kwin_for, missing
from wayland import check_pointer

WHY_NOT = missing()


@unittest.skipIf(WHY_NOT, WHY_NOT)
class KdeHarness(unittest.TestCase):
    def test_outputs_and_pointer(self):
        # The second output is the first's mode at scale 1.5.
        kwin = kwin_for(self, "1920x1080+0+0 1280x720+1920+0")
        expected = {"Virtual-0": (0, 0, 1920, 1080), "Virtual-1": (1920, 0, 1280, 720)}
        self.assertEqual(kwin.outputs(), expected)
        self.assertEqual(kwin.output_scales(), {"Virtual-0": 1, "Virtual-1": 1.5})
        self.assertEqual(kwin.regions(), sorted(expected.values()))

        check_pointer(self, kwin, 720)
        # The other way, from the taller output, the pointer goes across.
        kwin.put(1910, 300)
        kwin.rel(-20, 0)
        self.assertEqual(kwin.wait_pointer((1890, 300)), (1890, 300))

        # The button and a key go through (KWin takes them; nothing to see).
        kwin.button(True)
        kwin.button(False)
        kwin.key(42, True)
        kwin.key(42, False)

        # What a program of the session is given.
        for key in ("WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS",
                    "XDG_DATA_DIRS"):
            self.assertIn(key, kwin.env)
        self.assertEqual(kwin.env["XDG_CURRENT_DESKTOP"], "KDE")
        self.assertEqual(kwin.env["XDG_SESSION_TYPE"], "wayland")
        self.assertNotIn("DISPLAY", kwin.env)
        self.assertNotIn("QT_QPA_PLATFORM", kwin.env)
        self.assertTrue(os.path.exists(os.path.join(kwin.env["XDG_RUNTIME_DIR"],
                                                    kwin.env["WAYLAND_DISPLAY"])))

        kwin_proc, probe, bus = kwin.kwin, kwin.probe, kwin.bus.proc
        kwin.close()
        self.assertIsNotNone(probe.poll())
        self.assertIsNotNone(kwin_proc.poll())
        self.assertIsNotNone(bus.poll())

    def test_output_switched_on_and_off(self):
        kwin = kwin_for(self, "1920x1080+0+0 1280x720+1920+0", spare=1)
        name = kwin.add_output("1920x1080", 3200, 0)
        self.assertEqual(kwin.outputs()[name], (3200, 0, 1920, 1080))
        # The probe drives KWin's new absolute device, which has the new
        # output, and the pointer goes there.
        kwin.put(4000, 900)
        self.assertEqual(kwin.wait_pointer((4000, 900)), (4000, 900))
        kwin.put(3190, 100)
        kwin.rel(30, 0)
        self.assertEqual(kwin.wait_pointer((3220, 100)), (3220, 100))

        kwin.remove_output(name)
        self.assertNotIn(name, kwin.outputs())
        kwin.put(2000, 600)
        self.assertEqual(kwin.wait_pointer((2000, 600)), (2000, 600))
        kwin.rel(2000, 0)
        self.assertEqual(kwin.wait_pointer((3199, 600)), (3199, 600))

    def test_service_cache_has_a_prefix(self):
        # A program installed under a prefix: KWin reads its .desktop file
        # from KDE's service cache, which is built before KWin starts.
        prefix = tempfile.mkdtemp(prefix="pellmar-prefix-")
        self.addCleanup(shutil.rmtree, prefix, ignore_errors=True)
        os.chmod(prefix, 0o755)
        applications = os.path.join(prefix, "share", "applications")
        os.makedirs(applications, mode=0o755)
        with open(os.path.join(applications, "org.example.harnesscheck.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=check\nExec=/bin/true\n")
        kwin = kwin_for(self, spare=0, data_dirs=[os.path.join(prefix, "share")])
        self.assertEqual(kwin.env["XDG_DATA_DIRS"].split(":")[0], os.path.join(prefix, "share"))
        cache = kwin.env["XDG_CACHE_HOME"]
        [name] = [n for n in os.listdir(cache) if n.startswith("ksycoca6")]
        with open(os.path.join(cache, name), "rb") as f:
            self.assertIn("org.example.harnesscheck".encode("utf-16-be"), f.read())


if __name__ == "__main__":
    unittest.main()
