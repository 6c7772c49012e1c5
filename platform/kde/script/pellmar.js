// Pellmar's eyes inside KWin: which output holds the pointer and whether the
// active window is full screen, told to Pellmar on change only. Pellmar's
// rules decide what follows; nothing is decided here.
const pellmar = ["com.brenvik.Pellmar.KWin", "/com/brenvik/Pellmar/KWin",
                 "com.brenvik.Pellmar.KWin"];
// While the pointer moves, whether Pellmar is still there is asked at most
// this often: once it is gone (killed, say) the script takes itself away.
const lookEveryMs = 2000;

let output = null;     // the output told last
let area = null;       // its geometry, to skip the lookup while inside it
let fullscreen = null; // told last
let active = null;     // the window whose full screen is followed
let lookedAt = Date.now();

function pellmarGone() {
    if (Date.now() - lookedAt < lookEveryMs)
        return;
    lookedAt = Date.now();
    callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "NameHasOwner", pellmar[0], owned => { if (!owned) stop(); });
}

function inside(p, r) {
    return r && p.x >= r.x && p.y >= r.y && p.x < r.x + r.width && p.y < r.y + r.height;
}

function pointerMoved() {
    pellmarGone();
    const p = workspace.cursorPos;
    if (inside(p, area))
        return;
    const now = workspace.screenAt(p);
    area = now ? now.geometry : null;
    const name = now ? now.name : "";
    if (name !== output) {
        output = name;
        callDBus(...pellmar, "Output", name);
    }
}

function fullscreenChanged() {
    const on = !!(active && active.fullScreen);
    if (on !== fullscreen) {
        fullscreen = on;
        callDBus(...pellmar, "Fullscreen", on);
    }
}

function activated(window) {
    if (active)
        active.fullScreenChanged.disconnect(fullscreenChanged);
    active = window;
    if (active)
        active.fullScreenChanged.connect(fullscreenChanged);
    fullscreenChanged();
}

function outputsChanged() {
    area = null;
    pointerMoved();
}

function stop() {
    workspace.cursorPosChanged.disconnect(pointerMoved);
    workspace.windowActivated.disconnect(activated);
    workspace.screensChanged.disconnect(outputsChanged);
    if (active)
        active.fullScreenChanged.disconnect(fullscreenChanged);
    active = null;
    callDBus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript", "pellmar");
}

workspace.cursorPosChanged.connect(pointerMoved);
workspace.windowActivated.connect(activated);
workspace.screensChanged.connect(outputsChanged);
pointerMoved();
activated(workspace.activeWindow);
