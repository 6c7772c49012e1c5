#include "sessioncheck.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QtGlobal>

bool SessionCheck::cursorControlAvailable(const QString &platformName,
                                          const QByteArray &sessionType)
{
    if (platformName.startsWith("wayland"))
        return false;
    // Under XWayland the X pointer warps reach only Xwayland's own windows.
    if (platformName == "xcb" && sessionType.toLower() == "wayland")
        return false;
    return true;
}

const char *SessionCheck::notice()
{
    return "Pellmar cannot move the mouse cursor in this session: cursor control needs an X11 "
           "session. Edge wrap and Easy Move will not work; log in to an X11 session (often "
           "\"GNOME on Xorg\" or \"Plasma (X11)\" at the login screen) to use them.";
}

bool SessionCheck::warnIfNoCursorControl(QWidget *parent)
{
    if (cursorControlAvailable(QGuiApplication::platformName(), qgetenv("XDG_SESSION_TYPE")))
        return true;
    qWarning("%s", notice());
    auto *box =
        new QMessageBox(QMessageBox::Information, "Pellmar", notice(), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return false;
}
