#include "window_main.h"
#include "ui_window_main.h"

#include "SettingsCtrl.h"
#include "autostart.h"
#include "engine.h"
#include "enginestate.h"
#include "logicctrl.h"
#include "preferencesdialog.h"
#include "screendarkencurtain.h"
#include "velocityupdater.h"
#include "windowcanvas.h"
#include "x11platform.h"

#include <QCloseEvent>
#include <QDebug>
#include <QGuiApplication>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

Window_Main::Window_Main(QWidget *parent, Platform *givenPlatform)
    : QMainWindow(parent), ui(new Ui_Window_Main)
{
    ui->setupUi(this);
    ui->lbVersion->setText("v1.0");
    platform = givenPlatform ? givenPlatform : (ownPlatform = new X11Platform(this));

    engine = new Engine(engineState); // the velocity sampler, then the engine

    engineState.lblMouseX = new QLabel("Mouse X: 0000px");
    engineState.lblMouseY = new QLabel("Mouse Y: 0000px");
    engineState.lblVelocity = new QLabel("Mouse Velocity: 0000px/150ms");
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(engineState.lblMouseX, 1);
    statusBar()->addWidget(engineState.lblMouseY, 1);
    statusBar()->addWidget(engineState.lblVelocity, 1);

    buildScreenTable();
    SettingsCtrl::loadSettings();
    engineState.applyRememberedWraps(engineState.screens.editable());
    initControls();
    createTrayIcon();

    screenSettle = new QTimer(this);
    screenSettle->setSingleShot(true);
    screenSettle->setInterval(screenSettleMs);
    connect(platform, &Platform::screensChanged, screenSettle, qOverload<>(&QTimer::start));
    connect(screenSettle, &QTimer::timeout, this, [this] {
        buildScreenTable();
        applyScreenChange();
    });
    // Where device motion is reported, the engine watches the pointer
    // itself and sleeps until it moves.
    engineState.pointerWatch = platform->pointerWatch();

    engine->start();
    controlsReady = true;
}

void Window_Main::choiceChanged()
{
    // While the controls take their loaded values nothing has changed.
    if (controlsReady)
        SettingsCtrl::saveChoices();
}

Window_Main::~Window_Main()
{
    SettingsCtrl::saveSettings();
    engine->stop();
    delete ui;

    // Nothing runs any more that could use these; free them so that the
    // process ends clean and a later window starts afresh.
    dropCurtains();
    delete curtains;
    curtains = nullptr;
    delete trayIconMenu;
    delete engine;
    engine = nullptr;
    engineState.pointerWatch = nullptr;
    engineState.lblMouseX = engineState.lblMouseY = engineState.lblVelocity = nullptr;
}

void Window_Main::buildScreenTable()
{
    // Keep the switches of the table going away with their monitors.
    engineState.rememberScreenWraps();

    std::vector<ScreenRect> rects;
    std::vector<QString> names;
    QStringList seen;
    for (const PlatformScreen &s : platform->screens()) {
        const QRect &g = s.geometry;
        rects.push_back(ScreenRect{g.left(), g.top(), g.right(), g.bottom()});
        names.push_back(s.name);
        seen << QString("%1 %2x%3%4%5%6%7")
                    .arg(s.name.isEmpty() ? QString("(unnamed)") : s.name)
                    .arg(g.width())
                    .arg(g.height())
                    .arg(g.x() < 0 ? "" : "+")
                    .arg(g.x())
                    .arg(g.y() < 0 ? "" : "+")
                    .arg(g.y());
    }
    // Complete before it is published: the engine never sees the switches
    // off for a moment.
    auto table = std::make_unique<ScreenTable>(rects, names);
    engineState.applyRememberedWraps(*table);
    engineState.screens.publish(std::move(table));
    reclaimScreenTables();
    qDebug().noquote() << "Screens:" << seen.join(", ");
}

void Window_Main::reclaimScreenTables()
{
    // A table the engine may still hold is freed once it has let go: look
    // again shortly, as long as one is left.
    engineState.screens.reclaim();
    if (engineState.screens.retiredCount() > 0)
        QTimer::singleShot(50, this, &Window_Main::reclaimScreenTables);
}

void Window_Main::applyScreenChange()
{
    // No curtain may stay over an area that is gone, or be built for an
    // index of the old table.
    on_destroyScreenFocus();
    dropCurtains();
    showControlsForLayout();
    ui->canvas->update();
    refocus(); // the curtains come back over the new layout at once
}

void Window_Main::showControlsForLayout()
{
    const ScreenTable &table = engineState.screenTable();
    ui->line_3->setVisible(table.screenHeightsDiffer);
    ui->btnEasyMove->setVisible(table.screenHeightsDiffer);
    if (!table.screenHeightsDiffer && engineState.easyMoveOn) {
        ui->btnEasyMove->setChecked(false);
        engineState.easyMoveOn = false;
    }
    ui->line_4->setVisible(table.multipleScreens);
    ui->btnScreenFocus->setVisible(table.multipleScreens);
    ui->sldOpacityAmount->setVisible(table.multipleScreens);
    // Without a compositor a window is either there or not: the darkness
    // cannot apply. Said beside the control, asked afresh each time.
    ui->lblNoCompositor->setVisible(table.multipleScreens && !platform->compositorRunning());
    if (table.multipleScreens && !curtains)
        curtains = new QList<ScreenDarkenCurtain *>();
    if (!table.multipleScreens && engineState.screenFocusOn) {
        ui->btnScreenFocus->setChecked(false);
        on_btnScreenFocus_clicked();
    }
}

void Window_Main::refocus()
{
    // The engine forgets the screen it last focused and looks at once, also
    // out of a sleep, so the curtains go up wherever the cursor is.
    engineState.screenFocusArmings = engineState.screenFocusArmings + 1;
    engineState.requestSample();
}

void Window_Main::dropCurtains()
{
    for (ScreenDarkenCurtain *curtain : curtainPool)
        delete curtain;
    curtainPool.clear();
    if (curtains)
        curtains->clear();
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
    ui->sldOpacityAmount->setValue(engineState.curtainOpacityPercent);
    ui->sldOpacityAmount->setEnabled(engineState.screenFocusOn);
    ui->btnEasyMove->setChecked(engineState.easyMoveOn);

    showControlsForLayout();
    connect(ui->canvas, &WindowCanvas::wrapsChanged, this, &Window_Main::choiceChanged);

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
    pauseItem = new QAction("Pause", this);
    pauseItem->setCheckable(true);
    connect(pauseItem, &QAction::triggered, this, &Window_Main::setPaused);
    startAtLoginItem = new QAction("Start at Login", this);
    startAtLoginItem->setCheckable(true);
    connect(startAtLoginItem, &QAction::triggered, this, &Window_Main::setStartAtLogin);
    preferencesItem = new QAction("Preferences…", this);
    connect(preferencesItem, &QAction::triggered, this, &Window_Main::showPreferences);
    trayIconMenu->addAction(pauseItem);
    trayIconMenu->addAction(startAtLoginItem);
    trayIconMenu->addAction(preferencesItem);
    trayIconMenu->addSeparator();
    trayIconMenu->addAction(hide_showItem);
    trayIconMenu->addSeparator();
    trayIconMenu->addAction(exitItem);
    trayIcon->setContextMenu(trayIconMenu);
    showPauseAndAutostart();
}

void Window_Main::setPaused(bool on)
{
    engineState.paused = on;
    if (on) {
        on_destroyScreenFocus();
    } else {
        refocus(); // the curtains come back over the screen under the cursor
    }
    showPauseAndAutostart();
    choiceChanged();
}

void Window_Main::setStartAtLogin(bool on)
{
    Autostart autostart = Autostart::forThisUser();
    if (!autostart.setOn(on))
        qWarning().noquote() << "Pellmar: could not" << (on ? "write" : "remove")
                             << autostart.file();
    showPauseAndAutostart();
}

void Window_Main::showPauseAndAutostart()
{
    const bool paused = engineState.paused;
    const bool atLogin = Autostart::forThisUser().isOn();
    if (trayIcon) {
        const QIcon icon(":/gfx/icon.png");
        trayIcon->setIcon(paused ? QIcon(icon.pixmap(16, 16, QIcon::Disabled)) : icon);
        trayIcon->setToolTip(paused ? "Pellmar is paused: click here to open it"
                                    : "Click here to open Pellmar");
        pauseItem->setChecked(paused);
        startAtLoginItem->setChecked(atLogin);
    }
    if (preferences)
        preferences->refresh(paused, atLogin);
}

void Window_Main::showPreferences()
{
    if (!preferences) {
        preferences = new PreferencesDialog(engineState.pointerWatch != nullptr, this);
        connect(preferences, &PreferencesDialog::changed, this, &Window_Main::choiceChanged);
        connect(preferences, &PreferencesDialog::pauseToggled, this, &Window_Main::setPaused);
        connect(preferences, &PreferencesDialog::startAtLoginToggled, this,
                &Window_Main::setStartAtLogin);
    }
    showPauseAndAutostart();
    preferences->show();
    preferences->raise();
    preferences->activateWindow();
}

void Window_Main::on_btnPreferences_clicked()
{
    showPreferences();
}

bool Window_Main::obey(const QString &verb)
{
    if (verb == "pause" || verb == "resume" || verb == "toggle")
        setPaused(verb == "toggle" ? !engineState.paused : verb == "pause");
    else if (verb == "show")
        bringToFront();
    else
        return false;
    return true;
}

void Window_Main::closeEvent(QCloseEvent *event)
{
    // Exit from the tray menu: the program ends, nothing is hidden or told.
    if (exiting)
        return;
    // Asked afresh: if the tray has gone away, closing ends the program. The
    // application does not end by itself when its last window closes (a
    // dismissed notice must not end a program hidden in the tray), so say so.
    if (!QSystemTrayIcon::isSystemTrayAvailable() || !trayIcon) {
        QCoreApplication::exit(0);
        return;
    }
    hide_showItem->setText("Show");
    if (engineState.boolShowToolTip) {
        trayIcon->showMessage("Still Running!",
                              "Pellmar is still running in the system tray. Click here to open.",
                              QSystemTrayIcon::Information, 5000);
        engineState.boolShowToolTip = false;
        choiceChanged();
    }
    hide();
    if (event)
        event->ignore();
}

void Window_Main::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    showControlsForLayout(); // a compositor may have come or gone
    engineState.readoutShown = true;
    engineState.requestSample(); // a fresh readout at once
}

void Window_Main::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    engineState.readoutShown = isVisible(); // not when only minimised
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
    exiting = true;
    close();
    QCoreApplication::exit(0);
}

void Window_Main::on_updateLabels()
{
    // A label whose text is the same is not laid out or painted again.
    engineState.lblMouseX->setText("Mouse X: " + QString::number(engineState.cursorX) + "px");
    engineState.lblMouseY->setText("Mouse Y: " + QString::number(engineState.cursorY) + "px");
    engineState.lblVelocity->setText(
        "Mouse Velocity: " + QString::number(engineState.velocityUpdater->deltaX) + "px/150ms");
}

void Window_Main::on_updateMouse()
{
    // One read: position, keys and buttons of the same moment.
    const PointerReading r = platform->pointerReading();
    engineState.storeSample(r.x, r.y, r.keys, r.buttonHeld);
}

void Window_Main::on_moveMouse(int mx, int my)
{
    // Paused meanwhile: a move asked for before stays undone.
    if (!engineState.paused)
        platform->setCursorPos(mx, my);
}

void Window_Main::on_btnMinVelocity_clicked()
{
    engineState.minVelocityOn = ui->btnMinVelocity->checkState() == Qt::Checked;
    ui->spnMinVelocity->setEnabled(engineState.minVelocityOn);
    choiceChanged();
}

void Window_Main::on_spnMinVelocity_valueChanged(int arg1)
{
    engineState.minVelocity = arg1;
    choiceChanged();
}

void Window_Main::on_btnMaxVelocity_clicked()
{
    engineState.maxVelocityOn = ui->btnMaxVelocity->checkState() == Qt::Checked;
    ui->spnMaxVelocity->setEnabled(engineState.maxVelocityOn);
    choiceChanged();
}

void Window_Main::on_spnMaxVelocity_valueChanged(int arg1)
{
    engineState.maxVelocity = arg1;
    choiceChanged();
}

void Window_Main::on_btnEasyMove_clicked()
{
    engineState.easyMoveOn = ui->btnEasyMove->checkState() == Qt::Checked;
    choiceChanged();
}

void Window_Main::on_btnScreenFocus_clicked()
{
    engineState.screenFocusOn = ui->btnScreenFocus->checkState() == Qt::Checked;
    ui->sldOpacityAmount->setEnabled(engineState.screenFocusOn);
    if (!engineState.screenFocusOn)
        on_destroyScreenFocus();
    refocus();
    choiceChanged();
}

void Window_Main::on_generateNewScreenFocus(uint index)
{
    // The GUI thread decides: a request queued before Screen Focus was
    // switched off puts nothing up.
    const ScreenTable &table = engineState.screenTable();
    if (!curtains || !table.multipleScreens || !engineState.screenFocusOn || engineState.paused)
        return;
    const uint n = static_cast<uint>(table.size());
    if (curtainPool.size() != n)
        dropCurtains();
    curtainPool.resize(n, nullptr);
    // The screen under the cursor is uncovered first, then the others are
    // covered; a curtain that stays up is not touched, so nothing flickers.
    if (index < n && curtainPool[index])
        curtainPool[index]->hide();
    curtains->clear();
    for (uint s = 0; s < n; ++s) {
        if (s == index)
            continue;
        if (!curtainPool[s]) {
            curtainPool[s] = new ScreenDarkenCurtain(s);
            platform->markAsOverlay(curtainPool[s]->winId());
        }
        curtainPool[s]->show();
        curtains->append(curtainPool[s]);
    }
}

void Window_Main::on_destroyScreenFocus()
{
    if (!curtains)
        return;
    for (ScreenDarkenCurtain *curtain : *curtains)
        curtain->hide();
    curtains->clear();
}

void Window_Main::on_sldOpacityAmount_valueChanged(int value)
{
    engineState.curtainOpacityPercent = value;
    for (ScreenDarkenCurtain *curtain : curtainPool) {
        if (curtain)
            curtain->setWindowOpacity(engineState.curtainOpacityPercent / 100.0);
    }
    choiceChanged();
}
