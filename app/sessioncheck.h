#pragma once

class QWidget;

// Where no program may move the pointer (a Wayland session, XWayland
// included), Pellmar cannot wrap or carry the cursor. It says so once and
// keeps the rest (readout, map, curtains where possible) working.
class SessionCheck
{
public:
    SessionCheck() = delete;

    // Logs and shows the notice when cursor control is not available;
    // returns whether it is.
    static bool warnIfNoCursorControl(QWidget *parent, bool cursorControlAvailable);

    static const char *notice();
};
