"""The Wayland harness itself on a real headless sway: outputs where the
layout puts them, and the probe moving the pointer and reading it back on
each output. (test_wayland_edges plugs an output in.)"""
import os
import unittest

from wayland import needs_sway, sway_for


@needs_sway
class WaylandHarness(unittest.TestCase):
    def test_outputs_and_pointer(self):
        sway = sway_for(self, "1920x1080+0+0 1280x1024+1920+0")
        expected = {"HEADLESS-1": (0, 0, 1920, 1080), "HEADLESS-2": (1920, 0, 1280, 1024)}
        self.assertEqual(sway.outputs(), expected)
        self.assertEqual(sway.sway_outputs(), expected)

        # Absolute motion lands where asked, on either output, up to the
        # last pixel of the layout.
        for point in [(700, 400), (0, 0), (1919, 1079), (1920, 0), (2500, 700), (3199, 1023)]:
            sway.move(*point)
            self.assertEqual(sway.wait_pointer(point), point)

        # Relative motion moves by as much, across the seam between the two,
        # and stops at the layout's edges.
        sway.move(1900, 500)
        sway.rel(40, 10)
        self.assertEqual(sway.wait_pointer((1940, 510)), (1940, 510))
        sway.move(3190, 500)
        sway.rel(50, 0)
        self.assertEqual(sway.wait_pointer((3199, 500)), (3199, 500))
        self.assertTrue(sway.stays((3199, 500)))
        # Below the shorter output there is no screen: clamped to its bottom.
        sway.move(2500, 1000)
        sway.rel(0, 100)
        self.assertEqual(sway.wait_pointer((2500, 1023)), (2500, 1023))

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
