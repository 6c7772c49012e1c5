"""The Wayland harness itself on a real headless sway: outputs where the
layout puts them, and the probe moving the pointer and reading it back on
each output. (test_wayland_edges plugs an output in.)"""
import os
import unittest

from wayland import check_pointer, needs_sway, sway_for


@needs_sway
class WaylandHarness(unittest.TestCase):
    def test_outputs_and_pointer(self):
        sway = sway_for(self, "1920x1080+0+0 1280x1024+1920+0")
        expected = {"HEADLESS-1": (0, 0, 1920, 1080), "HEADLESS-2": (1920, 0, 1280, 1024)}
        self.assertEqual(sway.outputs(), expected)
        self.assertEqual(sway.sway_outputs(), expected)

        check_pointer(self, sway, 1024)

        # What a program of the session is given.
        self.assertNotIn("DISPLAY", sway.env)
        self.assertNotIn("QT_QPA_PLATFORM", sway.env)
        self.assertTrue(os.path.exists(os.path.join(sway.env["XDG_RUNTIME_DIR"],
                                                    sway.env["WAYLAND_DISPLAY"])))

        sway_proc, probe = sway.sway, sway.probe
        sway.close()
        self.assertIsNotNone(probe.poll())
        self.assertIsNotNone(sway_proc.poll())


if __name__ == "__main__":
    unittest.main()
