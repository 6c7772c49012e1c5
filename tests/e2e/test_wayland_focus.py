"""Screen Focus on a real headless sway: the curtain is no window, follows
the output sway gives the focus by a command, where the pointer is not,
and lets clicks through; without sway's events it says why it cannot work.
Darkness is read from grim's screenshots of each output, over the probe's
light grey background."""
import time
import unittest

from wayland import CONFIG, needs_sway, sway_for, wait_for, wayland_pellmar_for

TWO = "1920x1080+0+0 1280x1024+1920+0"


def shades(sway):
    """Each output, light or dark, read in a corner no window covers."""
    return sway.shade("HEADLESS-1", 5, 1074), sway.shade("HEADLESS-2", 5, 1018)


@needs_sway
class WaylandFocus(unittest.TestCase):
    def start(self, config=CONFIG, extra_env=None, **settings):
        self.sway = sway_for(self, TWO, config=config)
        values = {"boolShowToolTip": False}
        values.update({k.replace("/", "\\"): v for k, v in settings.items()})
        self.app = wayland_pellmar_for(self, self.sway, values, extra_env=extra_env)
        return self.sway, self.app

    def wait_shades(self, expected):
        seen = wait_for(lambda: shades(self.sway) == expected, timeout=10, step=0.1)
        self.assertTrue(seen, f"outputs are {shades(self.sway)}, not {expected}")

    def test_curtain_follows_sways_focus_and_lets_clicks_through(self):
        # Focus changed by a command leaves the pointer where it is.
        sway, app = self.start(CONFIG + "mouse_warping none\n",
                               **{"Choices/screenFocus": True, "Choices/screenFocusDarkness": 50})
        self.wait_shades(("light", "dark"))
        # The curtain is no window: sway lists Pellmar's main window only.
        self.assertEqual([w.get("app_id") for w in sway.windows()], ["pellmar"])

        # Focus goes to the other output by a key binding's command: the
        # pointer stays, now under the curtain, and a click there reaches
        # the background below it.
        sway.move(2500, 500)
        self.wait_shades(("dark", "light"))
        sway.swaymsg("focus", "output", "HEADLESS-1")
        self.wait_shades(("light", "dark"))
        self.assertEqual(sway.where(), (2500, 500))
        before = sway.clicks()
        sway.button(True)
        sway.button(False)
        self.assertEqual(sway.clicks(), before + 1)

        # Ended, it takes every curtain with it.
        self.assertEqual(app.stop(), 0)
        self.wait_shades(("light", "light"))

    def test_without_the_desktops_events_screen_focus_says_why(self):
        sway, app = self.start(extra_env={"SWAYSOCK": ""}, **{"Choices/screenFocus": True})
        self.assertTrue(wait_for(lambda: "which screen holds the pointer" in app.output()),
                        app.output())
        sway.move(2500, 500)
        time.sleep(0.5)
        self.assertEqual(shades(sway), ("light", "light"))
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
