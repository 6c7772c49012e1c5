#!/usr/bin/env python3
"""Renders the README's pictures on the virtual desktop (needs root):

    python3 tools/screenshots.py

docs/images/main-window.png  the window on 1920x1080 beside 1280x1024, with
                             some wrap edges switched on
docs/images/screen-focus.png three screens with Screen Focus on, the pointer
                             on the middle one
docs/images/physical-scale.png the map at physical scale, Cross by physical
                             size on: a 1080p of a size set by the user
                             beside a 1280x1024 of the size the X server
                             reports, standing 40 mm higher
"""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from desktop import Desktop, Pellmar, canvas_markers, wait_for  # noqa: E402

OUT = os.path.join(HERE, "..", "docs", "images")


def crop(src, dst, geometry, scale=None):
    args = ["convert", src, "-crop", geometry, "+repage"]
    if scale:
        args += ["-resize", scale]
    subprocess.run(args + [dst], check=True)


def main_window():
    screens = [(1920, 1080, 0, 0), (1280, 1024, 1920, 0)]
    desk = Desktop("1920x1080+0+0 1280x1024+1920+0")
    try:
        app = Pellmar(desk, {"allowRightWrap": True, "boolShowToolTip": False})
        app.wait_window()
        marks = canvas_markers(screens)
        app.click_canvas(marks[(1, "top")])
        app.click_canvas(marks[(0, "bottom")])
        desk.move(2400, 700)
        time.sleep(0.5)
        shot = os.path.join(desk.dir, "shot.png")
        desk.screenshot(shot)
        x, y = app.window_origin()
        crop(shot, os.path.join(OUT, "main-window.png"), f"765x400+{x}+{y}")
        app.stop()
    finally:
        desk.close()


def physical_scale():
    desk = Desktop("1920x1080+0+0 1280x1024+1920+0")
    try:
        app = Pellmar(desk, {"boolShowToolTip": False, "Choices\\crossByPhysicalSize": True,
                             "Choices\\Monitors\\DUMMY0\\widthMm": 530,
                             "Choices\\Monitors\\DUMMY0\\heightMm": 298,
                             "Choices\\Monitors\\DUMMY0\\offsetMm\\DUMMY1": 40})
        app.wait_window()
        ox, oy = app.window_origin()
        desk.click(ox + 190, oy + 348)  # Map to physical scale
        desk.move(2400, 700)
        time.sleep(0.5)
        shot = os.path.join(desk.dir, "shot.png")
        desk.screenshot(shot)
        crop(shot, os.path.join(OUT, "physical-scale.png"), f"765x400+{ox}+{oy}")
        app.stop()
    finally:
        desk.close()


def screen_focus():
    desk = Desktop("1280x1024+0+0 1920x1080+1280+0 1280x1024+3200+0")
    # A compositing manager makes the curtains see-through, as on a real
    # desktop; a picture on every screen shows the darkening.
    compositor = subprocess.Popen(["xcompmgr"], env=desk.env)
    art = os.path.join(HERE, "..", "resources", "hicolor", "256x256", "pellmar.png")
    pictures = [subprocess.Popen(["display", "-geometry", f"+{x}+300", art], env=desk.env)
                for x in (500, 1900, 3700)]
    try:
        app = Pellmar(desk, {"boolShowToolTip": False})
        app.wait_window()
        app.keys("Tab", "Tab", "Tab", "space", "Tab", "Right", "Right")  # on, a little darker
        desk.move(2500, 500)
        wait_for(lambda: len(app.curtains()) == 2)
        time.sleep(0.5)
        shot = os.path.join(desk.dir, "shot.png")
        desk.screenshot(shot)
        crop(shot, os.path.join(OUT, "screen-focus.png"), "4480x1080+0+0", "1400x")
        app.stop()
    finally:
        for p in pictures:
            p.terminate()
            p.wait()
        compositor.terminate()
        compositor.wait()
        desk.close()


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    main_window()
    physical_scale()
    screen_focus()
    print("wrote", ", ".join(os.path.join(OUT, name) for name in
                             ("main-window.png", "physical-scale.png", "screen-focus.png")))
