#include "sessioncheck.h"

#include <QMessageBox>
#include <QString>
#include <QtGlobal>

bool SessionCheck::warnIfNoCursorControl(QWidget *parent, const QString &notice)
{
    if (notice.isEmpty())
        return true;
    qWarning("%s", qPrintable(notice));
    auto *box =
        new QMessageBox(QMessageBox::Information, "Pellmar", notice, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return false;
}
