"""What only KDE shows of Pellmar, on a real headless KWin 6: run from a
build folder KWin does not trust it to move the pointer, and it says how to
get that; with KWin's own edge barrier on (as Plasma has it) its rules work
all the same; and its readout's script runs only while the window shows."""
import subprocess
import unittest

from behaviours import INTO_LEFT, INTO_RIGHT, LEFT, SIZES
from desktop import PELLMAR, wait_for
from drivers import KdeDriver
from kde import kwin_for, missing

WHY_NOT = missing()


@unittest.skipIf(WHY_NOT, WHY_NOT)
class Kde(unittest.TestCase):
    def test_from_a_build_folder_it_says_how_to_get_the_grant(self):
        kwin = kwin_for(self, "1920x1080+0+0 1280x720+1920+0")
        proc = kwin.run_as_user(kwin.reachable(PELLMAR), "--desktop", stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        out, err = proc.communicate(timeout=60)
        self.assertEqual(proc.returncode, 0, err)
        self.assertRegex(out, r"^desktop: KDE \(", out)
        wraps = [line for line in out.splitlines() if line.startswith("desktop wraps: ")]
        self.assertEqual(len(wraps), 1, out)
        for words in ("no: ", "installed Pellmar", kwin.reachable(PELLMAR), "kbuildsycoca6"):
            self.assertIn(words, wraps[0])
        self.assertNotIn("X11", out)

    def test_with_kwins_edge_barrier_on(self):
        desk = KdeDriver(SIZES, kwinrc="")
        self.addCleanup(desk.close)
        app = desk.start(self, {"allowLeftWrap": True, "Choices\\easyMove": True})
        # The window shows the readout: its script reports to Pellmar.
        loaded = ("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "isScriptLoaded", "s")
        self.assertTrue(wait_for(lambda: desk.bus.call(*loaded, "pellmar-readout") == [True],
                                 20, 0.1))
        # KWin holds a device's move at the seam, the test's own too, but
        # not Pellmar's: a jump onto the monitor, then each rule from there.
        for monitor, start, motion, target in ((1, (3190, 900), INTO_RIGHT, (3201, 719)),
                                               (1, (1290, 900), INTO_LEFT, (1278, 719)),
                                               (0, LEFT, INTO_LEFT, (4478, 500))):
            self.assertEqual(desk.verb(app, "--jump", desk.names[monitor]), (0, ""))
            middle = (640 + 1600 * monitor, 360 + 180 * monitor)
            self.assertEqual(desk.wait_pointer(middle), middle)
            desk.arrive(start, motion)
            self.assertEqual(desk.wait_pointer(target), target, f"from {start} by {motion}")

if __name__ == "__main__":
    unittest.main()
