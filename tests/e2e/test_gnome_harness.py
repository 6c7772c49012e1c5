"""The GNOME harness itself on a real headless GNOME Shell 48: monitors
where the shell puts them, the pointer moved as a device moves it and held
in by the layout's edges, an extension installed in the tree and drawing on
the stage as a screenshot shows, a second shell beside the first, and
nothing of a shell left once it is closed. (The shared cases switch
monitors off and on and start the real pellmar in it.)"""
import json
import os
import shutil
import tempfile
import unittest

from desktop import pixel, wait_for
from gnome import ACTIVE, INACTIVE, TREE, gnome_for, install_extension, needs_gnome
from wayland import check_pointer

DUMMY = "dummy@pellmar.test"
# A red square on the second monitor while the extension is enabled; it
# counts the presses it gets.
DUMMY_JS = """\
import Clutter from 'gi://Clutter';
import St from 'gi://St';

export default class {
    enable() {
        this._square = new St.Widget({name: 'dummy', x: 2400, y: 200, width: 100, height: 100,
                                      reactive: true, style: 'background-color: rgb(255, 0, 0);'});
        this._square.presses = 0;
        this._square.connect('button-press-event', () => {
            this._square.presses++;
            return Clutter.EVENT_STOP;
        });
        global.stage.add_child(this._square);
    }

    disable() {
        this._square.destroy();
        this._square = null;
    }
}
"""
RED = (255, 0, 0)


def tree_mounts():
    """Mount points under the tree (every one, where it is the system's own
    root), as the host sees them."""
    with open("/proc/self/mountinfo") as f:
        return sorted(line.split()[4] for line in f
                      if line.split()[4].startswith(os.path.join(TREE, "")))


@needs_gnome
class GnomeHarness(unittest.TestCase):
    def test_monitors_pointer_screenshot_and_close(self):
        source = tempfile.mkdtemp(prefix="pellmar-dummy-extension-")
        self.addCleanup(shutil.rmtree, source, True)
        with open(os.path.join(source, "metadata.json"), "w") as f:
            json.dump({"uuid": DUMMY, "name": "dummy", "description": "test only",
                       "shell-version": ["48"]}, f)
        with open(os.path.join(source, "extension.js"), "w") as f:
            f.write(DUMMY_JS)
        install_extension(source, DUMMY)
        mounts = tree_mounts()

        gnome = gnome_for(self, extensions=[DUMMY])
        expected = {"Meta-0": (0, 0, 1920, 1080), "Meta-1": (1920, 0, 1280, 720)}
        self.assertEqual(gnome.monitors(), expected)
        self.assertEqual(gnome.eval("[1 + 1, 'two', global.context.unsafe_mode]"), [2, "two", True])
        with self.assertRaises(RuntimeError):
            gnome.eval("no_such_name")

        check_pointer(self, gnome, 720)
        # Beside the shorter monitor, where there is no screen, the Shell
        # holds the pointer (wlroots puts it on the nearest screen instead).
        gnome.put(1900, 900)
        gnome.rel(50, 0)
        self.assertEqual(gnome.wait_pointer((1919, 900)), (1919, 900))

        # The extension installed in the tree runs, draws and gets clicks;
        # a screenshot shows it, and shows it gone once the extension is
        # disabled.
        self.assertEqual(gnome.extension_state(DUMMY), ACTIVE)
        presses = "global.stage.get_children().find(a => a.name === 'dummy').presses"
        self.assertEqual(gnome.eval(presses), 0)
        gnome.click(2450, 250)
        gnome.click(2450, 250)
        self.assertTrue(wait_for(lambda: gnome.eval(presses) == 2, 10, 0.05))
        shot = os.path.join(gnome.dir, "shot.png")
        gnome.screenshot(shot)
        self.assertEqual(pixel(shot, 2450, 250), RED)
        self.assertNotEqual(pixel(shot, 2450, 350), RED)
        gnome.set_extension_enabled(DUMMY, False)
        self.assertEqual(gnome.extension_state(DUMMY), INACTIVE)
        gnome.screenshot(shot)
        self.assertNotEqual(pixel(shot, 2450, 250), RED)

        # A second shell at the same time, of its own monitors, where the
        # extension is not there at all.
        other = gnome_for(self, ["1024x768"], hidden=[DUMMY])
        self.assertEqual(other.monitors(), {"Meta-0": (0, 0, 1024, 768)})
        self.assertIsNone(other.extension_state(DUMMY))
        self.assertEqual(gnome.monitors(), expected)
        other.close()

        # The tree's mounts live in the shell's own namespace only, and go
        # with it, as do its processes.
        with open(f"/proc/{gnome.init_pid}/mountinfo") as f:
            inside = [line.split()[4] for line in f]
        self.assertIn(gnome.outside("/proc"), inside)
        self.assertIn(gnome.outside("/run/dbus"), inside)
        self.assertGreater(len(gnome.processes()), 3)
        runtime = gnome.outside(gnome.runtime)
        gnome.close()
        self.assertEqual(gnome.processes(), set())
        self.assertEqual(tree_mounts(), mounts)
        self.assertFalse(os.path.exists(runtime))


if __name__ == "__main__":
    unittest.main()
