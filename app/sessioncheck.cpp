#include "sessioncheck.h"

#include <QMessageBox>
#include <QtGlobal>

const char *SessionCheck::notice()
{
    return "Pellmar cannot move the mouse cursor in this session: cursor control needs an X11 "
           "session. Edge wrap and Easy Move will not work; log in to an X11 session (often "
           "\"GNOME on Xorg\" or \"Plasma (X11)\" at the login screen) to use them.";
}

bool SessionCheck::warnIfNoCursorControl(QWidget *parent, bool cursorControlAvailable)
{
    if (cursorControlAvailable)
        return true;
    qWarning("%s", notice());
    auto *box =
        new QMessageBox(QMessageBox::Information, "Pellmar", notice(), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return false;
}
