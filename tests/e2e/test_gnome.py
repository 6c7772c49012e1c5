"""Pellmar on a real headless GNOME Shell 48 through its Shell extension:
two monitors of different heights (Meta-0 1920x1080, Meta-1 1280x720 to its
right, tops aligned), the pointer moved as a device moves it. Wraps both
ways and off, a monitor's top wrap, Easy Move and push through; Screen
Focus's curtains, which take no clicks; a monitor switched off and on while
Pellmar runs; nothing left behind when Pellmar is killed; and what Pellmar
says without the extension, and how it takes it up when turned on."""
import os
import shutil
import signal
import subprocess
import tempfile
import unittest

from desktop import PELLMAR, wait_for
from gnome import (EXTENSION, EXTENSION_UUID, gnome_for, gnome_pellmar_for, install_extension,
                   needs_gnome, pixel)

WRAPS = {"allowLeftWrap": True, "allowRightWrap": True, "Choices\\easyMove": True,
         "Choices\\Monitors\\Meta-1\\wrapTop": True}

# Attaches to the extension, says so, and holds on until stdin closes.
HOLDER = """
const {Gio, GLib} = imports.gi;
Gio.DBus.session.call_sync('com.brenvik.Pellmar.Shell', '/com/brenvik/Pellmar/Shell',
    'com.brenvik.Pellmar.Shell', 'Attach', null, null, 0, -1, null);
print('attached');
new Gio.DataInputStream({base_stream: new Gio.UnixInputStream({fd: 0})}).read_line(null);
"""

APPINDICATOR = "ubuntu-appindicators@ubuntu.com"
WATCHER = "org.kde.StatusNotifierWatcher"


@needs_gnome
class Gnome(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        install_extension()

    def start(self, settings, **kwargs):
        gnome = gnome_for(self, extensions=[EXTENSION_UUID], **kwargs)
        app = gnome_pellmar_for(self, gnome, settings)
        self.assertTrue(wait_for(lambda: "extension is there" in app.output(), 30, 0.1),
                        app.output())
        return gnome, app

    def push(self, gnome, start, motion, expected):
        # By way of Meta-0's middle: a warp stops at a barrier as the
        # pointer does, and from there no barrier is on the way to a start.
        gnome.warp(960, 500)
        gnome.wait_pointer((960, 500))
        gnome.warp(*start)
        self.assertEqual(gnome.wait_pointer(start), start)
        gnome.rel(*motion)
        self.assertEqual(gnome.wait_pointer(expected), expected,
                         f"from {start} by {motion}")

    def test_wraps_easy_move_and_push_through(self):
        gnome, app = self.start(WRAPS)
        self.assertIn("Screens: Meta-0 1920x1080+0+0, Meta-1 1280x720+1920+0", app.output())
        self.push(gnome, (5, 500), (-20, 0), (3198, 500))      # left wrap
        self.push(gnome, (3195, 300), (20, 0), (1, 300))       # right wrap
        self.push(gnome, (2500, 5), (0, -20), (2500, 718))     # Meta-1's top wrap
        self.push(gnome, (1900, 900), (40, 0), (1921, 719))    # Easy Move, from below Meta-1
        # Wraps whose straight way the Shell would stop at a barrier: Easy
        # Move's own beside the shorter monitor, and the Shell's beside its
        # top bar (rows 0 to 32 at Meta-0's right edge). The top left corner
        # is also the Shell's hot corner, whose own barrier may take the push
        # there: hot corners off, the corner is ours alone.
        self.push(gnome, (5, 900), (-20, 0), (3198, 719))
        gnome.eval("new imports.gi.Gio.Settings({schema_id: 'org.gnome.desktop.interface'})"
                   ".set_boolean('enable-hot-corners', false)")
        self.assertTrue(wait_for(lambda: gnome.eval(
            "pellmarTestMain.layoutManager.hotCorners.filter(c => c).length") == 0, 20, 0.1))
        self.push(gnome, (5, 20), (-20, 0), (3198, 20))
        # Meta-0's top does not wrap: held at the edge.
        self.push(gnome, (700, 5), (0, -20), (700, 0))

        # Wraps off (the settings file changed by another program): the
        # pointer stays at the edge.
        app._write_settings(dict(WRAPS, allowLeftWrap=False))
        self.assertTrue(wait_for(lambda: service(gnome, "s._barriers.length") == 3, 20, 0.1))
        self.push(gnome, (5, 500), (-20, 0), (0, 500))
        self.assertTrue(gnome.stays((0, 500)))

        # Push through: the first pushes are held, enough of them wrap.
        app._write_settings(dict(WRAPS, **{"Cursor\\pushThrough": 60}))
        self.assertTrue(wait_for(lambda: service(gnome, "s._barriers.length") == 4, 20, 0.1))
        self.push(gnome, (5, 500), (-20, 0), (0, 500))
        self.assertTrue(gnome.stays((0, 500)))
        pushes = 1
        while pushes < 10 and gnome.pointer() == (0, 500):
            gnome.rel(-20, 0)
            pushes += 1
            wait_for(lambda: gnome.pointer() != (0, 500), 2, 0.05)
        self.assertEqual(gnome.pointer(), (3198, 500))
        self.assertGreaterEqual(pushes, 3)

    def test_held_back_by_the_bypass_key_and_by_a_button(self):
        # The Shell tells the keys and buttons held with each push.
        gnome, app = self.start({"allowLeftWrap": True, "Cursor\\bypassModifier": "shift"})
        shift = 42
        gnome.key(shift, True)
        self.push(gnome, (5, 500), (-20, 0), (0, 500))
        self.assertTrue(gnome.stays((0, 500)))
        gnome.key(shift, False)
        self.push(gnome, (5, 500), (-20, 0), (3198, 500))
        # A drag that reaches the edge does not wrap (wrapWhileButtonHeld is
        # off by default); the same push with the button up does.
        gnome.button(True)
        self.push(gnome, (5, 500), (-20, 0), (0, 500))
        self.assertTrue(gnome.stays((0, 500)))
        gnome.button(False)
        self.push(gnome, (5, 500), (-20, 0), (3198, 500))

    def test_jump_and_lock(self):
        gnome, app = self.start({})

        def verb(*words):
            proc = gnome.run_as_user(gnome.reachable(PELLMAR), *words,
                                     env={"QT_QPA_PLATFORM": "wayland"},
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return proc.wait(30)
        # From Meta-0, where the pointer is, to the middle of Meta-1.
        self.assertEqual(verb("--jump", "next"), 0)
        self.assertEqual(gnome.wait_pointer((2560, 360)), (2560, 360))
        # Held on Meta-0 by the Shell's barriers, then free again.
        gnome.warp(1900, 300)
        gnome.wait_pointer((1900, 300))
        self.assertEqual(verb("--lock"), 0)
        self.assertTrue(wait_for(lambda: service(gnome, "s._barriers.length") == 4, 20, 0.1))
        gnome.rel(100, 0)
        self.assertEqual(gnome.wait_pointer((1919, 300)), (1919, 300))
        self.assertTrue(gnome.stays((1919, 300)))
        self.assertEqual(verb("--unlock"), 0)
        self.assertTrue(wait_for(lambda: service(gnome, "s._barriers.length") == 0, 20, 0.1))
        gnome.rel(100, 0)
        self.assertEqual(gnome.wait_pointer((2019, 300)), (2019, 300))

    def test_quiet_while_a_window_is_full_screen(self):
        gnome, app = self.start({"allowLeftWrap": True})

        def fullscreen(on):
            to_pellmar_window(gnome, "w.activate(global.get_current_time()); w.%s()"
                              % ("make_fullscreen" if on else "unmake_fullscreen"))
        fullscreen(True)
        self.assertTrue(wait_for(lambda: "A full-screen window has the focus" in app.output(),
                                 30, 0.1), app.output())
        self.push(gnome, (5, 500), (-20, 0), (0, 500))
        self.assertTrue(gnome.stays((0, 500)))
        fullscreen(False)
        self.assertTrue(wait_for(lambda: "No full-screen window has the focus" in app.output(),
                                 30, 0.1), app.output())
        self.push(gnome, (5, 500), (-20, 0), (3198, 500))

    def test_screen_focus_darkens_the_other_monitor_and_takes_no_clicks(self):
        gnome = gnome_for(self, extensions=[EXTENSION_UUID])
        folder = tempfile.mkdtemp(prefix="pellmar-gnome-shots-")
        before = gnome.screenshot(os.path.join(folder, "before.png"))
        app = gnome_pellmar_for(self, gnome, {"Choices\\screenFocus": True,
                                              "Choices\\screenFocusDarkness": 50},
                                pointer=(2500, 400))
        self.assertTrue(wait_for(lambda: service(gnome, "s._curtains.size") == 1, 20, 0.1),
                        app.output())
        # The pointer on Meta-1: Meta-0 is darkened (a point away from
        # Pellmar's window and the top bar), Meta-1 is as it was.
        on0, on1 = (1500, 900), (2500, 600)
        after = gnome.screenshot(os.path.join(folder, "meta-1.png"))
        dark, lit = pixel(after, *on0), pixel(after, *on1)
        self.assertEqual(lit, pixel(before, *on1))
        for was, now in zip(pixel(before, *on0), dark):
            self.assertLessEqual(abs(now - was // 2), 2, f"{pixel(before, *on0)} -> {dark}")
        # The Shell picks no curtain for a click: what lies below gets it.
        picked = service(gnome, "[...s._curtains.values()].includes(global.stage.get_actor_at_pos("
                                "imports.gi.Clutter.PickMode.REACTIVE, 1500, 900))")
        self.assertFalse(picked)

        # The curtain follows the pointer to the other monitor.
        gnome.warp(700, 900)
        gnome.wait_pointer((700, 900))
        self.assertTrue(wait_for(
            lambda: service(gnome, "[...s._curtains.keys()]") == ["Meta-1"], 20, 0.1))
        after = gnome.screenshot(os.path.join(folder, "meta-0.png"))
        self.assertEqual(pixel(after, *on0), pixel(before, *on0))
        self.assertLess(sum(pixel(after, *on1)), sum(pixel(before, *on1)))

    def test_follows_a_monitor_switched_off_and_on(self):
        gnome, app = self.start({"allowLeftWrap": True, "allowRightWrap": True})
        gnome.remove_monitor("Meta-1")
        self.assertTrue(wait_for(
            lambda: "Screens: Meta-0 1920x1080+0+0\n" in app.output(), 30, 0.1), app.output())
        self.assertTrue(wait_for(lambda: service(gnome, "s._barriers.length") == 2, 20, 0.1))
        self.push(gnome, (1915, 500), (20, 0), (1, 500))
        gnome.add_monitor("Meta-1", 1920, 0)
        self.assertTrue(wait_for(
            lambda: app.output().count("Screens: Meta-0 1920x1080+0+0, Meta-1 1280x720+1920+0")
            >= 2, 30, 0.1), app.output())
        self.assertTrue(wait_for(lambda: service(gnome, "s._barriers.length") == 2, 20, 0.1))
        self.push(gnome, (3195, 300), (20, 0), (1, 300))

    def test_killed_leaves_nothing_behind(self):
        gnome, app = self.start(dict(WRAPS, **{"Choices\\screenFocus": True}))
        self.assertTrue(wait_for(lambda: service(gnome, "[s._barriers.length, s._curtains.size]")
                                 == [4, 1], 20, 0.1), app.output())
        # Nobody else may change anything, nor take the extension over.
        shell = ("com.brenvik.Pellmar.Shell", "/com/brenvik/Pellmar/Shell",
                 "com.brenvik.Pellmar.Shell")
        for call in [("Warp", "dd", 10, 10), ("Attach",)]:
            with self.assertRaises(RuntimeError) as refused:
                gnome.bus.call(*shell, *call)
            self.assertRegex(str(refused.exception), "Attach first|Another program is attached")
        app.proc.send_signal(signal.SIGKILL)
        app.proc.wait(30)
        self.assertTrue(wait_for(
            lambda: service(gnome, "[s._barriers.length, s._curtains.size, s._client]")
            == [0, 0, None], 20, 0.1))
        # The left edge holds the pointer again, as without Pellmar.
        self.push(gnome, (5, 500), (-20, 0), (0, 500))

    def test_taken_by_another_program_until_it_ends(self):
        gnome = gnome_for(self, extensions=[EXTENSION_UUID])
        # Another program attaches first and holds on while its stdin is
        # open.
        holder = gnome.run_as_user(
            "gjs", "-c", HOLDER, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.assertEqual(holder.stdout.readline().strip(), "attached")
        app = gnome_pellmar_for(self, gnome, {"allowLeftWrap": True})
        self.assertTrue(wait_for(lambda: "serves another program" in app.output(), 30, 0.1),
                        app.output())
        self.push(gnome, (5, 500), (-20, 0), (0, 500))
        holder.stdin.close()
        holder.wait(30)
        holder.stdout.close()
        self.assertTrue(wait_for(lambda: "extension is there" in app.output(), 30, 0.1),
                        app.output())
        self.push(gnome, (5, 500), (-20, 0), (3198, 500))

    def test_another_version_is_told_and_left_alone(self):
        # An extension of a later Pellmar, say, still in the Shell.
        later = tempfile.mkdtemp(prefix="pellmar-later-extension-")
        self.addCleanup(shutil.rmtree, later, True)
        for name in os.listdir(EXTENSION):
            shutil.copy(os.path.join(EXTENSION, name), later)
        contract = os.path.join(later, "contract.js")
        with open(contract) as f:
            text = f.read()
        with open(contract, "w") as f:
            f.write(text.replace("export const VERSION = 1;", "export const VERSION = 2;"))
        install_extension(later)
        self.addCleanup(install_extension)
        gnome = gnome_for(self, extensions=[EXTENSION_UUID])
        app = gnome_pellmar_for(self, gnome, {"allowLeftWrap": True})
        self.assertTrue(wait_for(lambda: "version 2 of its interface, and this Pellmar version 1"
                                 in app.output(), 30, 0.1), app.output())
        self.assertIsNone(service(gnome, "s._client"))
        self.push(gnome, (5, 500), (-20, 0), (0, 500))

    def test_tray_icon_with_the_appindicator_extension(self):
        # GNOME's tray is the AppIndicator extension (Debian's package).
        gnome = gnome_for(self, extensions=[EXTENSION_UUID, APPINDICATOR])
        app = gnome_pellmar_for(self, gnome, {})

        def items():
            return gnome.bus.get(WATCHER, "/StatusNotifierWatcher", WATCHER,
                                 "RegisteredStatusNotifierItems")
        self.assertTrue(wait_for(lambda: any(f"-{app.proc.pid}-" in i for i in items()), 30, 0.1),
                        f"{items()}\n{app.output()}")
        self.assertTrue(wait_for(lambda: gnome.eval(
            "Object.keys(pellmarTestMain.panel.statusArea).filter(k => k.startsWith("
            "'appindicator-')).length") == 1, 30, 0.1))
        # With a tray, closing the window leaves Pellmar running there.
        close_window(gnome)
        self.assertTrue(wait_for(lambda: not [w for w in gnome.windows()
                                              if w["title"] == "Pellmar"], 30, 0.1))
        self.assertIsNone(app.proc.poll())

    def test_without_a_tray_closing_the_window_ends_pellmar(self):
        gnome = gnome_for(self, extensions=[EXTENSION_UUID])
        app = gnome_pellmar_for(self, gnome, {})
        close_window(gnome)
        self.assertEqual(app.proc.wait(60), 0, app.output())

    def test_without_the_extension_it_says_what_to_do(self):
        # Not read by the Shell (installed after login, say).
        gnome = gnome_for(self, extensions=[], hidden=[EXTENSION_UUID])
        app = gnome_pellmar_for(self, gnome, {"allowLeftWrap": True})
        self.assertTrue(wait_for(lambda: "next login" in app.output(), 30, 0.1), app.output())
        app.stop()

        # Installed but turned off: said so; turned on, Pellmar takes it up
        # as it runs.
        gnome = gnome_for(self, extensions=[])
        app = gnome_pellmar_for(self, gnome, {"allowLeftWrap": True})
        self.assertTrue(wait_for(
            lambda: "gnome-extensions enable pellmar@brenvik.com" in app.output(), 30, 0.1),
            app.output())
        self.push(gnome, (5, 500), (-20, 0), (0, 500))
        gnome.set_extension_enabled(EXTENSION_UUID, True)
        self.assertTrue(wait_for(lambda: "extension is there" in app.output(), 30, 0.1),
                        app.output())
        self.push(gnome, (5, 500), (-20, 0), (3198, 500))


if __name__ == "__main__":
    unittest.main()
