"""What only GNOME shows of Pellmar, on a real headless GNOME Shell 48
through its Shell extension: two monitors of different heights (Meta-0
1920x1080, Meta-1 1280x720 to its right, tops aligned), the pointer moved
as a device moves it. Wraps past the Shell's own barriers; Screen Focus's
curtains as the Shell draws them, which take no clicks; the extension
kept from other programs and other versions; the tray; and what Pellmar
says without the extension, and how it takes it up when turned on."""
import os
import shutil
import subprocess
import tempfile
import unittest

from desktop import PELLMAR, pixel, wait_for
from gnome import (EXTENSION, EXTENSION_UUID, close_window, gnome_for, gnome_pellmar_for,
                   install_extension, needs_gnome, service)

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
ITEM = "org.kde.StatusNotifierItem"


@needs_gnome
class Gnome(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        install_extension()

    def start(self, settings, **kwargs):
        gnome = gnome_for(self, extensions=[EXTENSION_UUID], **kwargs)
        app = gnome_pellmar_for(self, gnome, settings)
        self.attached(gnome, app)
        return gnome, app

    def attached(self, gnome, app):
        self.assertTrue(wait_for(lambda: "extension is there" in app.output(), 30, 0.1),
                        app.output())
        # Said as soon as the Shell answers; the barriers follow the edges
        # Pellmar sends next (every caller here has a wrap on).
        self.assertTrue(wait_for(lambda: service(gnome, "s._barriers.length") > 0, 20, 0.1))

    def push(self, gnome, start, motion, expected):
        gnome.arrive(start, motion)
        self.assertEqual(gnome.wait_pointer(expected), expected, f"from {start} by {motion}")

    def test_wraps_past_the_shells_own_barriers_and_a_changed_settings_file(self):
        gnome, app = self.start(WRAPS)
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

        # Wraps off (the settings file changed by another program): the
        # pointer stays at the edge.
        app._write_settings(dict(WRAPS, allowLeftWrap=False))
        self.assertTrue(wait_for(lambda: service(gnome, "s._barriers.length") == 3, 20, 0.1))
        self.push(gnome, (5, 500), (-20, 0), (0, 500))
        self.assertTrue(gnome.stays((0, 500)))

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

    def test_no_other_program_may_steer_or_take_the_extension(self):
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
        self.attached(gnome, app)
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

        def ids():
            # "service@path" each; Qt 6 registers its connection's unique
            # name, so the item is known by its Id.
            items = gnome.bus.get(WATCHER, "/StatusNotifierWatcher", WATCHER,
                                  "RegisteredStatusNotifierItems")
            return [gnome.bus.get(*i.split("@", 1), ITEM, "Id") for i in items]
        self.assertTrue(wait_for(lambda: ids() == ["pellmar"], 30, 0.1), f"{ids()}\n{app.output()}")
        self.assertTrue(wait_for(lambda: gnome.eval(
            "Object.keys(pellmarTestMain.panel.statusArea).filter(k => k.startsWith("
            "'appindicator-')).length") == 1, 30, 0.1))
        # With a tray, closing the window leaves Pellmar running there.
        close_window(gnome)
        self.assertTrue(wait_for(lambda: not [w for w in gnome.windows()
                                              if w["title"] == "Pellmar"], 30, 0.1))
        self.assertIsNone(app.proc.poll())

    def test_without_the_extension_it_says_what_to_do(self):
        # Not read by the Shell (installed after login, say).
        gnome = gnome_for(self, extensions=[], hidden=[EXTENSION_UUID])
        app = gnome_pellmar_for(self, gnome, {"allowLeftWrap": True})
        self.assertTrue(wait_for(lambda: "next login" in app.output(), 30, 0.1), app.output())
        app.stop()

        # Installed but turned off: said so, by --desktop too; turned on,
        # Pellmar takes it up as it runs.
        gnome = gnome_for(self, extensions=[])
        report = gnome.run_as_user(gnome.reachable(PELLMAR), "--desktop", stdout=subprocess.PIPE,
                                   env={"QT_QPA_PLATFORM": "wayland"}, text=True).communicate(60)[0]
        self.assertRegex(report, "^desktop: GNOME .*\ndesktop wraps: no: Pellmar's GNOME Shell "
                                 "extension is turned off")
        self.assertIn("\ntray: yes (with GNOME's AppIndicator extension)\n", report)
        app = gnome_pellmar_for(self, gnome, {"allowLeftWrap": True})
        self.assertTrue(wait_for(
            lambda: "gnome-extensions enable pellmar@brenvik.com" in app.output(), 30, 0.1),
            app.output())
        self.push(gnome, (5, 500), (-20, 0), (0, 500))
        gnome.set_extension_enabled(EXTENSION_UUID, True)
        self.attached(gnome, app)
        self.push(gnome, (5, 500), (-20, 0), (3198, 500))


if __name__ == "__main__":
    unittest.main()
