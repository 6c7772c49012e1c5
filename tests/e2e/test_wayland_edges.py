"""An output plugged in while pellmar runs on a real headless sway: the
wraps move to the new edge of the desktop. (The shared cases switch a
monitor off and on; this sway cannot switch a headless output off.)"""
import unittest

from wayland import needs_sway, sway_for, wait_for, wayland_pellmar_for


@needs_sway
class WaylandEdges(unittest.TestCase):
    def test_an_output_added_while_running(self):
        sway = sway_for(self, "1920x1080+0+0 1280x1024+1920+0")
        app = wayland_pellmar_for(self, sway, {"boolShowToolTip": False, "allowRightWrap": True})
        sway.add_output("800x600", 3200, 0)
        self.assertTrue(wait_for(lambda: "HEADLESS-3 800x600+3200+0" in app.output()),
                        app.output())
        sway.move(3999, 300)
        self.assertEqual(sway.wait_pointer((1, 300)), (1, 300))
        # The old right edge is no edge any more.
        sway.move(3199, 300)
        self.assertTrue(sway.stays((3199, 300)))
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
