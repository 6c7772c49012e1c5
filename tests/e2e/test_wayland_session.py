"""Pellmar in a whole Wayland session: headless sway with two outputs, a
session bus of its own and waybar's tray as the StatusNotifier host. The
tray icon and its menu over D-Bus, the verbs and a second start reaching
the Pellmar of this Wayland display, and a bar that comes after Pellmar."""
import os
import subprocess
import unittest

from wayland import (PELLMAR, WaylandPellmar, needs_tray_host, session_bus_for, sway_for,
                     wait_for, wayland_pellmar_for, waybar_for)

ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
PROPERTIES = "org.freedesktop.DBus.Properties"


@needs_tray_host
class WaylandSession(unittest.TestCase):
    def start(self, tray=True):
        """The session, with waybar's tray if `tray`, and Pellmar on its
        bus, its window up."""
        self.sway = sway_for(self)
        self.bus = session_bus_for(self, self.sway)
        self.bar = waybar_for(self, self.sway, self.bus) if tray else None
        self.app = wayland_pellmar_for(self, self.sway, {"boolShowToolTip": False},
                                       extra_env=self.bus.env)
        return self.app

    def item(self):
        """Pellmar's item as the watcher lists it: (service, object path)."""
        items = wait_for(self.bar.items, 30, 0.1)
        self.assertEqual(len(items), 1, items)
        service, _, path = items[0].partition("/")
        return service, "/" + path

    def item_properties(self, service, path):
        return self.bus.call(service, path, PROPERTIES, "GetAll", "s", ITEM)[0]

    def menu_items(self, service, menu):
        """The menu's items by label: {label: (id, properties)}."""
        # GetLayout(parent, depth, properties): (revision, (id, properties,
        # children)).
        _, (_, _, children) = self.bus.call(service, menu, MENU, "GetLayout", "iias", 0, -1, 0)
        return {p["label"]: (i, p) for i, p, _ in children if "label" in p}

    def verb(self, word, **env):
        """`pellmar WORD` in the session, as its user: (status, stderr)."""
        proc = self.sway.run_as_user(self.sway.reachable(PELLMAR), word, env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        _, err = proc.communicate(timeout=60)
        return proc.returncode, err

    def pellmar_pids(self):
        """Every process running this session's copy of pellmar."""
        program = os.path.realpath(self.sway.reachable(PELLMAR))
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                if os.path.realpath(os.readlink(f"/proc/{entry}/exe")) == program:
                    pids.append(int(entry))
            except OSError:
                pass  # gone meanwhile, or not ours to read
        return sorted(pids)

    def main_window(self, app):
        found = [n for n in self.sway.windows()
                 if n.get("name") == "Pellmar" and n.get("pid") == app.proc.pid]
        return found[0] if found else None

    def close_window(self, app):
        """What the window's close button does: sway asks the window to
        close."""
        window = self.main_window(app)
        self.assertIsNotNone(window, "no window to close")
        # A native Wayland window: sway knows it by its app_id.
        self.assertEqual(window.get("app_id"), "pellmar")
        self.sway.swaymsg(f"[con_id={window['id']}] kill")

    def test_the_tray_icon_is_registered_and_its_menu_pauses(self):
        app = self.start()
        service, path = self.item()
        # Pellmar's own: Qt 5 registers a name of the item's, Qt 6 its
        # connection's unique name.
        owner = self.bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "GetConnectionUnixProcessID", "s", service)
        self.assertEqual(owner, [app.proc.pid], service)
        props = self.item_properties(service, path)
        self.assertEqual((props["Id"], props["Title"], props["Status"], props["Category"]),
                         ("pellmar", "pellmar", "Active", "ApplicationStatus"))
        self.assertEqual(props["ToolTip"][2], "Click here to open Pellmar")
        self.assertTrue(props["IconPixmap"], "the item has no icon")

        menu = props["Menu"]
        items = self.menu_items(service, menu)
        self.assertEqual(list(items), ["Pause", "Lock to This Monitor", "Start at Login",
                                       "Preferences…", "Hide", "Exit"])
        pause, pause_props = items["Pause"]
        self.assertEqual(pause_props["toggle-state"], 0)
        # Nothing can hold the pointer here: picked, the item says why.
        lock = items["Lock to This Monitor"][0]
        self.bus.call(service, menu, MENU, "Event", "isvu", lock, "clicked", "s", "", 0)
        self.bus.call(service, menu, MENU, "Event", "isvu", pause, "clicked", "s", "", 0)

        self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == "true", 30, 0.1),
                        app.output())
        # The icon says so too, to the host and in its menu.
        self.assertTrue(wait_for(lambda: self.item_properties(service, path)["ToolTip"][2]
                                 == "Pellmar is paused: click here to open it", 30, 0.1))
        self.assertEqual(self.menu_items(service, menu)["Pause"][1]["toggle-state"], 1)
        self.assertIn("Pellmar: This desktop does not let programs hold the pointer",
                      app.output())
        self.assertEqual(app.stop(), 0)

    def test_the_verbs_reach_the_pellmar_of_this_wayland_display(self):
        app = self.start()
        self.assertEqual(self.verb("--pause"), (0, ""))
        self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == "true", 30, 0.1))
        # The socket's path is the same display.
        socket = os.path.join(self.sway.runtime, self.sway.display)
        self.assertEqual(self.verb("--resume", WAYLAND_DISPLAY=socket), (0, ""))
        self.assertTrue(wait_for(lambda: app.stored("Choices").get("paused") == "false", 30, 0.1))
        # Another Wayland display has no Pellmar.
        self.assertEqual(self.verb("--toggle", WAYLAND_DISPLAY="wayland-9"),
                         (1, "Pellmar is not running\n"))
        self.assertEqual(app.stored("Choices").get("paused"), "false")
        self.assertEqual(app.stop(), 0)

    def test_a_second_start_brings_the_first_window_up(self):
        first = self.start()
        self.item()
        # With the tray, closing the window hides it and Pellmar goes on.
        self.close_window(first)
        self.assertTrue(wait_for(lambda: self.main_window(first) is None, 30, 0.1),
                        "the window stayed")
        self.assertIsNone(first.proc.poll(), "closing the window ended Pellmar")

        second = WaylandPellmar(self.sway, extra_env=self.bus.env)
        self.addCleanup(second.kill)
        self.assertEqual(second.proc.wait(60), 0, second.output())
        self.assertTrue(wait_for(lambda: self.main_window(first), 30, 0.1),
                        "the first window did not come back:\n" + first.output())
        self.assertEqual(self.pellmar_pids(), [first.proc.pid])
        self.assertEqual(len(self.bar.items()), 1)
        self.assertEqual(first.stop(), 0)

    def test_a_bar_started_after_pellmar_still_gets_its_icon(self):
        # At login a bar and Pellmar start together, in either order.
        app = self.start(tray=False)
        self.bar = waybar_for(self, self.sway, self.bus)
        service, _ = self.item()
        owner = self.bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "GetConnectionUnixProcessID", "s", service)
        self.assertEqual(owner, [app.proc.pid])
        # With the tray there, closing the window hides it.
        self.close_window(app)
        self.assertTrue(wait_for(lambda: self.main_window(app) is None, 30, 0.1))
        self.assertIsNone(app.proc.poll())
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main()
