#include "trayicon.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

TrayIcon::TrayIcon(QObject *parent)
    : QObject(parent), trayIcon(new QSystemTrayIcon(this)), trayMenu(new QMenu())
{
    trayIcon->setToolTip("Click here to open Pellmar");
    trayIcon->setIcon(QIcon(":/gfx/icon.png"));
    connect(trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    emit clicked();
            });

    pauseItem = new QAction("Pause", this);
    pauseItem->setCheckable(true);
    connect(pauseItem, &QAction::triggered, this, &TrayIcon::pauseToggled);
    lockItem = new QAction("Lock to This Monitor", this);
    lockItem->setCheckable(true);
    connect(lockItem, &QAction::triggered, this, &TrayIcon::lockToggled);
    startAtLoginItem = new QAction("Start at Login", this);
    startAtLoginItem->setCheckable(true);
    connect(startAtLoginItem, &QAction::triggered, this, &TrayIcon::startAtLoginToggled);
    preferencesItem = new QAction("Preferences…", this);
    connect(preferencesItem, &QAction::triggered, this, &TrayIcon::preferencesWanted);
    hideShowItem = new QAction("Hide", this);
    connect(hideShowItem, &QAction::triggered, this, &TrayIcon::hideShowWanted);
    exitItem = new QAction("Exit", this);
    connect(exitItem, &QAction::triggered, this, &TrayIcon::exitWanted);
    trayMenu->addAction(pauseItem);
    trayMenu->addAction(lockItem);
    trayMenu->addAction(startAtLoginItem);
    trayMenu->addAction(preferencesItem);
    trayMenu->addSeparator();
    trayMenu->addAction(hideShowItem);
    trayMenu->addSeparator();
    trayMenu->addAction(exitItem);
    trayIcon->setContextMenu(trayMenu);
    trayIcon->setVisible(true);
}

TrayIcon::~TrayIcon()
{
    // A menu has no parent object: the icon only borrows it.
    delete trayMenu;
}

bool TrayIcon::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::showState(bool paused, bool startAtLogin, bool holdingBack)
{
    const QIcon icon(":/gfx/icon.png");
    trayIcon->setIcon(paused ? QIcon(icon.pixmap(16, 16, QIcon::Disabled)) : icon);
    // Holding back ends by itself, so the icon stays as it is; the tooltip
    // tells why a wrap did not happen.
    if (!movesNothing.isEmpty())
        trayIcon->setToolTip("Pellmar moves nothing here: " + movesNothing);
    else if (paused)
        trayIcon->setToolTip("Pellmar is paused: click here to open it");
    else if (holdingBack)
        trayIcon->setToolTip("Pellmar is holding back: a window is full screen");
    else
        trayIcon->setToolTip("Click here to open Pellmar");
    pauseItem->setChecked(paused);
    startAtLoginItem->setChecked(startAtLogin);
}

void TrayIcon::showLocked(bool locked)
{
    lockItem->setChecked(locked);
}

void TrayIcon::showWindowShown(bool shown)
{
    hideShowItem->setText(shown ? "Hide" : "Show");
}

void TrayIcon::notify(const QString &title, const QString &text)
{
    trayIcon->showMessage(title, text, QSystemTrayIcon::Information, 5000);
}
