#pragma once

class QString;
class QWidget;

// Where no program may move the pointer (XWayland, a Wayland desktop
// without the protocols for it), Pellmar cannot wrap or carry the cursor.
// It says so once, in the platform's words, and keeps the rest (readout,
// map, curtains where possible) working.
class SessionCheck
{
public:
    SessionCheck() = delete;

    // Logs and shows `notice`, the platform's reason, unless it is empty;
    // returns whether cursor control is available (no notice).
    static bool warnIfNoCursorControl(QWidget *parent, const QString &notice);
};
