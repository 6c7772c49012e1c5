"""Bad settings files and odd screen layouts: pellmar starts, runs and ends
with status 0, and leaves a readable settings file readable."""
import os
import tempfile
import time
import unittest

from desktop import DesktopTestCase, desktop_for, pellmar_for


def settings_path(config):
    return os.path.join(config, "Brenvik", "Pellmar.conf")


class BadSettings(DesktopTestCase):
    def run_with(self, prepare, status=0):
        """Starts pellmar on a config folder that prepare(config) has spoilt;
        checks it runs with defaults (no wrap) and ends with `status`: 0, or
        1 where its choices could not be saved at the end."""
        config = tempfile.mkdtemp(prefix="pellmar-config-")
        prepare(config)
        app = pellmar_for(self, self.desk, config_dir=config)
        self.desk.move(3199, 500)
        self.assertTrue(self.desk.stays((3199, 500)), "wrap must be off by default")
        self.assertEqual(app.stop(), status, app.output())
        return app

    def write(self, config, data):
        os.makedirs(os.path.join(config, "Brenvik"), exist_ok=True)
        with open(settings_path(config), "wb") as f:
            f.write(data)

    def assert_saved(self, app):
        stored = app.stored()
        self.assertEqual((stored["allowLeftWrap"], stored["allowRightWrap"]), ("false", "false"))
        self.assertIn(stored["boolShowToolTip"], ("true", "false"))

    def test_empty_file(self):
        app = self.run_with(lambda c: self.write(c, b""))
        self.assert_saved(app)

    def test_truncated_file(self):
        app = self.run_with(lambda c: self.write(c, b"[General]\nallowLeftWrap=false\nallowRig"))
        self.assert_saved(app)

    def test_binary_garbage(self):
        garbage = bytes((i * 151 + 7) % 256 for i in range(600))
        app = self.run_with(lambda c: self.write(c, garbage))
        self.assert_saved(app)
        # Rewritten, and said to be: no "could not save" for a save that
        # worked.
        self.assertNotIn("could not save", app.output())

    def test_a_long_bad_value_is_quoted_short(self):
        app = self.run_with(lambda c: self.write(
            c, b"[Choices]\nminVelocity=" + b"9" * 10000 + b"\n"))
        line = next(l for l in app.output().splitlines() if "Choices/minVelocity" in l)
        self.assertLess(len(line), 300, line)
        self.assertIn("10000 characters", line)

    def test_settings_file_that_cannot_be_read(self):
        # A folder where the file should be: nothing to read, nothing written.
        app = self.run_with(lambda c: os.makedirs(settings_path(c)), status=1)
        self.assertTrue(os.path.isdir(app.settings_file))
        self.assertIn("could not save", app.output())

    def test_config_folder_that_cannot_be_written(self):
        def spoil(config):
            with open(os.path.join(config, "Brenvik"), "w") as f:
                f.write("a file, not a folder")
        app = self.run_with(spoil, status=1)
        with open(os.path.join(app.config, "Brenvik")) as f:
            self.assertEqual(f.read(), "a file, not a folder")
        self.assertIn("could not save", app.output())

    def test_a_good_file_keeps_what_it_had(self):
        app = self.run_with(lambda c: self.write(
            c, b"[General]\nallowLeftWrap=false\nboolShowToolTip=false\n\n[Other]\nkept=1\n"))
        with open(app.settings_file) as f:
            text = f.read()
        self.assertIn("[Other]\nkept=1", text)
        self.assertIn("boolShowToolTip=false", text)


class OddLayouts(unittest.TestCase):
    def run_layout(self, layout, pushes):
        """pushes: (pointer put here, where it must end up)."""
        desk = desktop_for(self, layout)
        app = pellmar_for(self, desk, {"allowLeftWrap": True, "allowRightWrap": True,
                                       "boolShowToolTip": False}, pointer=(100, 100))
        for start, end in pushes:
            desk.move(*start)
            self.assertEqual(desk.wait_pointer(end), end, f"from {start}")
            time.sleep(0.05)
        self.assertEqual(app.stop(), 0)

    def test_one_screen(self):
        self.run_layout("1920x1080+0+0", [((1919, 500), (1, 500)), ((0, 700), (1918, 700))])

    def test_three_screens_of_different_heights(self):
        self.run_layout("1280x1024+0+0 1920x1200+1280+0 1024x768+3200+200",
                        [((4223, 500), (1, 500)), ((0, 1000), (4222, 967))])

    def test_a_gap_between_screens(self):
        self.run_layout("1920x1080+0+0 1280x1024+2000+0",
                        [((3279, 100), (1, 100)), ((0, 1070), (3278, 1023))])

    def test_screen_left_of_the_primary(self):
        self.run_layout("1920x1080+1280+0 1280x1024+0+56",
                        [((3199, 20), (1, 56)), ((0, 900), (3198, 900))])


if __name__ == "__main__":
    unittest.main()
