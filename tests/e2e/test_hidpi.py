"""A 4K monitor beside a 1080p one on X11, under each kind of Qt scaling:
the screens, the wraps, Easy Move and the curtains land in the X server's
pixels exactly as they do unscaled."""
import subprocess
import unittest

from desktop import desktop_for, pellmar_for, wait_for

LAYOUT = "3840x2160+0+0 1920x1080+3840+0"
SCALINGS = {
    "unscaled": {},
    "QT_SCALE_FACTOR=2": {"QT_SCALE_FACTOR": "2"},
    "per screen": {"QT_SCREEN_SCALE_FACTORS": "DUMMY0=2;DUMMY1=1"},
    # Qt 6 scales by itself from the X resources' Xft.dpi.
    "Xft.dpi 192": "xrdb",
}


class HiDpi(unittest.TestCase):
    def test_every_scaling_lands_in_the_servers_pixels(self):
        for name, scaling in SCALINGS.items():
            with self.subTest(name):
                desk = desktop_for(self, LAYOUT)
                env = {}
                if scaling == "xrdb":
                    subprocess.run(["xrdb", "-merge"], input="Xft.dpi: 192\n", text=True,
                                   env=desk.env, check=True)
                else:
                    env = scaling
                app = pellmar_for(self, desk, {"boolShowToolTip": False, "allowLeftWrap": True,
                                               "allowRightWrap": True, "Choices\\easyMove": True,
                                               "Choices\\screenFocus": True},
                                  extra_env=env)
                self.assertTrue(wait_for(lambda: "Screens: " in app.output()), app.output())
                self.assertIn("Screens: DUMMY0 3840x2160+0+0, DUMMY1 1920x1080+3840+0",
                              app.output())
                # The curtain over the monitor the pointer is not on, to the pixel.
                desk.move(700, 400)
                self.assertTrue(wait_for(lambda: app.curtains() == [(1920, 1080, 3840, 0)]),
                                app.curtains())
                desk.move(5759, 500)
                self.assertEqual(desk.wait_pointer((1, 500)), (1, 500))
                desk.move(0, 1500)
                self.assertEqual(desk.wait_pointer((5758, 1079)), (5758, 1079))
                self.assertTrue(wait_for(lambda: app.curtains() == [(3840, 2160, 0, 0)]),
                                app.curtains())
                # Easy Move from below the shorter monitor's last row.
                desk.move(700, 400)
                desk.move(3839, 1500)
                self.assertEqual(desk.wait_pointer((3841, 1079)), (3841, 1079))
                self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
