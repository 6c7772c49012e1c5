#include "window_main.h"
#include "ui_window_main.h"

#include "SettingsCtrl.h"
#include "enginestate.h"
#include "logicctrl.h"
#include "screendarkencurtain.h"
#include "velocityupdater.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>

namespace {

std::vector<ScreenRect> platformScreens()
{
    std::vector<ScreenRect> rects;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        rects.push_back(ScreenRect{g.left(), g.top(), g.right(), g.bottom()});
    }
    return rects;
}

// Reads the desktop's screens, once: a screen added, moved or removed later
// is not noticed.
void buildScreenTable()
{
    engineState.buildScreenTable(Window_Main::screenSource());
}

} // namespace

std::vector<ScreenRect> (*Window_Main::screenSource)() = platformScreens;

Window_Main::Window_Main(QWidget *parent) : QMainWindow(parent), ui(new Ui_Window_Main)
{
    ui->setupUi(this);
    ui->lbVersion->setText("v1.0");

    engineState.velocityUpdater = new VelocityUpdater();
    engineState.logicCtrl = new LogicCtrl();

    engineState.lblMouseX = new QLabel("Mouse X: 0000px");
    engineState.lblMouseY = new QLabel("Mouse Y: 0000px");
    engineState.lblVelocity = new QLabel("Mouse Velocity: 0000px/150ms");
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(engineState.lblMouseX, 1);
    statusBar()->addWidget(engineState.lblMouseY, 1);
    statusBar()->addWidget(engineState.lblVelocity, 1);

    buildScreenTable();
    SettingsCtrl::loadSettings();
    initControls();
    createTrayIcon();

    engineState.threadsRunning = true;
    engineState.velocityUpdater->start(QThread::InheritPriority);
    engineState.logicCtrl->start(QThread::InheritPriority);
}

Window_Main::~Window_Main()
{
    SettingsCtrl::saveSettings();
    engineState.threadsRunning = false;
    engineState.doorbell.ring(); // no need to wait out a doze
    engineState.velocityUpdater->wait();
    engineState.logicCtrl->wait();
    engineState.threadsJoined();
    delete ui;

    // Nothing runs any more that could use these; free them so that the
    // process ends clean and a later window starts afresh.
    if (curtains) {
        on_destroyScreenFocus();
        delete curtains;
        curtains = nullptr;
    }
    delete trayIconMenu;
    delete engineState.velocityUpdater;
    delete engineState.logicCtrl;
    engineState.velocityUpdater = nullptr;
    engineState.logicCtrl = nullptr;
    engineState.lblMouseX = engineState.lblMouseY = engineState.lblVelocity = nullptr;
}

void Window_Main::initControls()
{
    ui->btnMinVelocity->setChecked(engineState.minVelocityOn);
    ui->spnMinVelocity->setEnabled(engineState.minVelocityOn);
    ui->spnMinVelocity->setValue(engineState.minVelocity);
    ui->btnMaxVelocity->setChecked(engineState.maxVelocityOn);
    ui->spnMaxVelocity->setValue(engineState.maxVelocity);
    ui->spnMaxVelocity->setEnabled(engineState.maxVelocityOn);
    ui->btnScreenFocus->setChecked(engineState.screenFocusOn);
    ui->sldOpacityAmount->setEnabled(engineState.screenFocusOn);

    if (!engineState.screenHeightsDiffer) {
        ui->line_3->hide();
        ui->btnEasyMove->hide();
    }
    if (!engineState.multipleScreens) {
        ui->line_4->hide();
        ui->btnScreenFocus->hide();
        ui->sldOpacityAmount->hide();
    } else {
        curtains = new QList<ScreenDarkenCurtain *>();
    }

    LogicCtrl *logic = engineState.logicCtrl;
    QObject::connect(logic, SIGNAL(updateLabels()), this, SLOT(on_updateLabels()),
                     Qt::AutoConnection);
    QObject::connect(logic, SIGNAL(moveMouse(int, int)), this, SLOT(on_moveMouse(int, int)),
                     Qt::AutoConnection);
    QObject::connect(logic, SIGNAL(updateMouse()), this, SLOT(on_updateMouse()),
                     Qt::AutoConnection);
    QObject::connect(logic, SIGNAL(generateNewScreenFocus(uint)), this,
                     SLOT(on_generateNewScreenFocus(uint)), Qt::AutoConnection);
    QObject::connect(logic, SIGNAL(destroyScreenFocus()), this, SLOT(on_destroyScreenFocus()),
                     Qt::AutoConnection);
}

void Window_Main::createTrayIcon()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setToolTip("Click here to open Pellmar");
    trayIcon->setIcon(QIcon(":/gfx/icon.png"));
    trayIcon->setVisible(true);
    connect(trayIcon, SIGNAL(activated(QSystemTrayIcon::ActivationReason)), this,
            SLOT(iconActivated(QSystemTrayIcon::ActivationReason)));

    trayIconMenu = new QMenu();
    hide_showItem = new QAction("Hide", this);
    connect(hide_showItem, SIGNAL(triggered()), this, SLOT(on_hide_showItem_clicked()));
    exitItem = new QAction("Exit", this);
    connect(exitItem, SIGNAL(triggered()), this, SLOT(on_exitItem_clicked()));
    trayIconMenu->addAction(hide_showItem);
    trayIconMenu->addSeparator();
    trayIconMenu->addAction(exitItem);
    trayIcon->setContextMenu(trayIconMenu);
}

void Window_Main::closeEvent(QCloseEvent *event)
{
    // Asked afresh: if the tray has gone away, closing ends the program.
    if (!QSystemTrayIcon::isSystemTrayAvailable() || !trayIcon)
        return;
    hide_showItem->setText("Show");
    if (engineState.boolShowToolTip) {
        trayIcon->showMessage("Still Running!",
                              "Pellmar is still running in the system tray. Click here to open.",
                              QSystemTrayIcon::Information, 5000);
        engineState.boolShowToolTip = false;
    }
    hide();
    if (event)
        event->ignore();
}

void Window_Main::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    show();
    hide_showItem->setText("Hide");
}

void Window_Main::bringToFront()
{
    if (hide_showItem)
        hide_showItem->setText("Hide");
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void Window_Main::on_hide_showItem_clicked()
{
    if (isVisible()) {
        closeEvent(nullptr);
    } else {
        hide_showItem->setText("Hide");
        show();
    }
}

void Window_Main::on_exitItem_clicked()
{
    qDebug() << "Closing...";
    close();
    QCoreApplication::exit(0);
}

void Window_Main::on_updateLabels()
{
    engineState.lblMouseX->setText("Mouse X: " + QString::number(engineState.cursorX) + "px");
    engineState.lblMouseY->setText("Mouse Y: " + QString::number(engineState.cursorY) + "px");
    engineState.lblVelocity->setText(
        "Mouse Velocity: " + QString::number(engineState.velocityUpdater->deltaX) + "px/150ms");
}

void Window_Main::on_updateMouse()
{
    // One read: x and y of the same moment.
    const QPoint p = QCursor::pos();
    engineState.storeSample(p.x(), p.y());
}

void Window_Main::on_moveMouse(int mx, int my)
{
    QCursor::setPos(mx, my);
}

void Window_Main::on_btnMinVelocity_clicked()
{
    engineState.minVelocityOn = ui->btnMinVelocity->checkState() == Qt::Checked;
    ui->spnMinVelocity->setEnabled(engineState.minVelocityOn);
}

void Window_Main::on_spnMinVelocity_valueChanged(int arg1)
{
    engineState.minVelocity = arg1;
}

void Window_Main::on_btnMaxVelocity_clicked()
{
    engineState.maxVelocityOn = ui->btnMaxVelocity->checkState() == Qt::Checked;
    ui->spnMaxVelocity->setEnabled(engineState.maxVelocityOn);
}

void Window_Main::on_spnMaxVelocity_valueChanged(int arg1)
{
    engineState.maxVelocity = arg1;
}

void Window_Main::on_btnEasyMove_clicked()
{
    engineState.easyMoveOn = ui->btnEasyMove->checkState() == Qt::Checked;
}

void Window_Main::on_btnScreenFocus_clicked()
{
    engineState.screenFocusOn = ui->btnScreenFocus->checkState() == Qt::Checked;
    ui->sldOpacityAmount->setEnabled(engineState.screenFocusOn);
    if (!engineState.screenFocusOn)
        on_destroyScreenFocus();
    else
        engineState.screenFocusArmings = engineState.screenFocusArmings + 1;
    engineState.doorbell.ring(); // a dozing engine looks at once
}

void Window_Main::on_generateNewScreenFocus(uint index)
{
    on_destroyScreenFocus();
    if (!curtains)
        return;
    const uint n = static_cast<uint>(engineState.screenTable.rects.size());
    for (uint s = 0; s < n; ++s) {
        if (s == index)
            continue;
        auto *curtain = new ScreenDarkenCurtain(s);
        curtain->show();
        curtains->append(curtain);
    }
}

void Window_Main::on_destroyScreenFocus()
{
    if (!curtains)
        return;
    for (ScreenDarkenCurtain *curtain : *curtains) {
        curtain->hide();
        delete curtain;
    }
    curtains->clear();
}

void Window_Main::on_sldOpacityAmount_valueChanged(int value)
{
    engineState.curtainOpacityPercent = value;
    if (!curtains)
        return;
    for (ScreenDarkenCurtain *curtain : *curtains)
        curtain->setWindowOpacity(engineState.curtainOpacityPercent / 100.0);
}
