#include "application.h"

#include "autostart.h"
#include "engine.h"
#include "focuscurtains.h"
#include "platform.h"
#include "preferencesdialog.h"
#include "trayicon.h"
#include "window_main.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <algorithm>

Application::Application(std::unique_ptr<Platform> platform, SettingsCtrl settings, QObject *parent)
    : QObject(parent), windowSystem(std::move(platform)), store(std::move(settings)),
      screenSettle(new QTimer(this)), screenSettleCeiling(new QTimer(this)),
      saveSoon(new QTimer(this)), settingsWatch(new QFileSystemWatcher(this)),
      settingsChanged(new QTimer(this))
{
    // Each change puts the rebuild off until the changes settle, but never
    // beyond the ceiling counted from the first change not yet shown.
    screenSettle->setSingleShot(true);
    screenSettle->setInterval(screenSettleMs);
    screenSettleCeiling->setSingleShot(true);
    screenSettleCeiling->setInterval(screenSettleCeilingMs);
    connect(windowSystem.get(), &Platform::screensChanged, this, [this] {
        screenSettle->start();
        if (!screenSettleCeiling->isActive())
            screenSettleCeiling->start();
    });
    connect(screenSettle, &QTimer::timeout, this, &Application::rebuildScreens);
    // Where the desktop tells which screen holds the pointer and whether
    // the focused window is full screen, it does so as things change.
    connect(windowSystem.get(), &Platform::pointerScreenChanged, this,
            &Application::followPointerScreen);
    connect(windowSystem.get(), &Platform::fullscreenChanged, this, [this](bool on) {
        if (!started || on == fullscreen)
            return;
        fullscreen = on;
        qDebug().noquote() << (on ? "A full-screen window has the focus"
                                  : "No full-screen window has the focus");
        publish(current);
        showTrayState();
    });
    connect(screenSettleCeiling, &QTimer::timeout, this, &Application::rebuildScreens);
    saveSoon->setSingleShot(true);
    saveSoon->setInterval(saveDelayMs);
    connect(saveSoon, &QTimer::timeout, this, &Application::saveNow);
    // A save replaces the file: a burst of notices, read once.
    settingsChanged->setSingleShot(true);
    settingsChanged->setInterval(100);
    connect(settingsWatch, &QFileSystemWatcher::fileChanged, settingsChanged,
            qOverload<>(&QTimer::start));
    connect(settingsWatch, &QFileSystemWatcher::directoryChanged, settingsChanged,
            qOverload<>(&QTimer::start));
    connect(settingsChanged, &QTimer::timeout, this, &Application::takeOthersChanges);
}

Application::~Application()
{
    stop();
}

void Application::start()
{
    if (started)
        return;
    started = true;
    current = store.load();
    watchSettingsFile();

    worker = std::make_unique<Engine>();
    connect(worker.get(), &Engine::focusScreen, this, &Application::focusScreen);
    focus = std::make_unique<FocusCurtains>(*windowSystem);
    mainWindow = std::make_unique<Window_Main>();
    mainWindow->setSpeedKnown(windowSystem->abilities().arrivalSpeed);
    const QString noFocus = windowSystem->screenFocusNotice();
    mainWindow->setScreenFocusNotice(noFocus);
    if (!noFocus.isEmpty())
        qWarning().noquote() << noFocus;
    connect(worker.get(), &Engine::readout, mainWindow.get(), &Window_Main::showReadout);
    connect(worker.get(), &Engine::pointerUnseen, mainWindow.get(),
            &Window_Main::showPositionUnknown);
    // Seen only at the edges, or not at all, the pointer's place is not
    // known until it touches one.
    PointerWatch *pointer = windowSystem->pointerWatch();
    if (!pointer || pointer->contactsOnly())
        mainWindow->showPositionUnknown();
    fullscreen = windowSystem->focusedFullscreen();
    if (fullscreen)
        qDebug().noquote() << "A full-screen window has the focus";
    connect(mainWindow.get(), &Window_Main::choicesEdited, this, &Application::setChoices);
    connect(mainWindow.get(), &Window_Main::preferencesWanted, this, &Application::showPreferences);
    connect(mainWindow.get(), &Window_Main::closeWanted, this, &Application::closeWindow);
    connect(mainWindow.get(), &Window_Main::shownChanged, this, [this](bool shown) {
        if (shown) { // a compositor may have come or gone
            compositor = windowSystem->compositorRunning();
            publish(current);
        }
        if (trayIcon)
            trayIcon->showWindowShown(shown);
        worker->setReadoutShown(shown);
    });

    rebuildScreens();
    worker->start(pointer);

    if (TrayIcon::available()) {
        trayIcon = std::make_unique<TrayIcon>();
        connect(trayIcon.get(), &TrayIcon::pauseToggled, this, &Application::setPaused);
        connect(trayIcon.get(), &TrayIcon::startAtLoginToggled, this,
                &Application::setStartAtLogin);
        connect(trayIcon.get(), &TrayIcon::preferencesWanted, this, &Application::showPreferences);
        connect(trayIcon.get(), &TrayIcon::exitWanted, this, &Application::exit);
        connect(trayIcon.get(), &TrayIcon::clicked, mainWindow.get(), &QWidget::show);
        connect(trayIcon.get(), &TrayIcon::hideShowWanted, this, [this] {
            if (mainWindow->isVisible())
                closeWindow();
            else
                mainWindow->show();
        });
        showTrayState();
    }
}

bool Application::stop()
{
    if (!started)
        return true;
    started = false;
    settingsChanged->stop();
    worker->stop(); // nothing comes from the engine thread after this
    trayIcon.reset();
    preferencesDialog = nullptr; // goes with the window
    mainWindow.reset();
    focus.reset();
    worker.reset();
    qDebug() << "Settings: Saving Settings...\n";
    saveSoon->stop();
    return store.save(current, SettingsCtrl::Report::Always);
}

void Application::rebuildScreens()
{
    screenSettle->stop();
    screenSettleCeiling->stop();
    // Stopped, nothing is there to follow the desktop: start() reads it
    // afresh.
    if (!started)
        return;
    std::vector<ScreenRect> rects;
    std::vector<QString> names;
    QStringList seen;
    for (const PlatformScreen &s : windowSystem->screens()) {
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
    screens = ScreenTable(rects, names);
    ++layout;
    compositor = windowSystem->compositorRunning();
    // The engine looks again at the new snapshot and the curtains come
    // back over the new layout at once.
    focus->setScreens(screens);
    qDebug().noquote() << "Screens:" << seen.join(", ");
    publish(current);
}

void Application::setChoices(const Choices &choices)
{
    if (choices == current)
        return;
    const bool trayChanged =
        choices.paused != current.paused || choices.pauseInFullscreen != current.pauseInFullscreen;
    current = choices;
    publish(choices);
    if (trayChanged)
        showTrayState();
    if (!saveSoon->isActive())
        saveSoon->start();
}

void Application::publish(const Choices &choices)
{
    // What the layout does not offer (Easy Move without screens of
    // different heights, Screen Focus on one screen) does nothing and is not
    // shown while it does not; the choice itself stays, for the layout that
    // offers it again (docked once more), and for another session that
    // shares the file.
    auto next = std::make_shared<Snapshot>();
    next->choices = choices;
    next->screens = screens;
    next->screens.applyWraps(choices.monitorWraps);
    next->layout = layout;
    next->fullscreen = fullscreen;
    published = next;
    if (!screens.multipleScreens || !choices.screenFocus || choices.paused)
        focus->hideAll();
    focus->setDarkness(choices.screenFocusDarkness);
    // The engine puts the curtains up anew with each snapshot where it sees
    // the pointer; where the desktop tells, what it told last stands.
    if (windowSystem->tellsPointerScreen())
        followPointerScreen(windowSystem->pointerScreen());
    worker->publish(next);
    mainWindow->showSnapshot(next, compositor);
    if (preferencesDialog)
        preferencesDialog->refresh(choices, Autostart::forThisUser().isOn());
}

bool Application::savePending() const
{
    return saveSoon->isActive();
}

bool Application::holdingBack() const
{
    return fullscreen && current.pauseInFullscreen && !current.paused;
}

void Application::showTrayState()
{
    if (trayIcon)
        trayIcon->showState(current.paused, Autostart::forThisUser().isOn(), holdingBack());
}

void Application::saveNow()
{
    saveSoon->stop();
    store.save(current);
}

void Application::watchSettingsFile()
{
    // The folder too: a save renames a new file over the old one, and a
    // watch on the old file ends with it.
    const QFileInfo file(store.fileName());
    const QStringList watched = settingsWatch->files() + settingsWatch->directories();
    for (const QString &path : {file.absolutePath(), file.absoluteFilePath()}) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            settingsWatch->addPath(path);
    }
}

void Application::takeOthersChanges()
{
    watchSettingsFile();
    if (started)
        setChoices(store.takeChanges(current));
}

void Application::focusScreen(int screen, quint64 forLayout)
{
    // Decided here, as the request arrives: one sent before the desktop
    // changed, or before Screen Focus went off, puts nothing up.
    if (!published || forLayout != layout || !screens.multipleScreens || !current.screenFocus ||
        current.paused)
        return;
    focus->focus(screen);
}

void Application::followPointerScreen(const QString &output)
{
    if (!started || !windowSystem->tellsPointerScreen())
        return;
    const auto &names = screens.names;
    const auto at = std::find(names.begin(), names.end(), output);
    // An output not (yet) in the table, or none named: every screen
    // curtained would hide the one in use; leave them as they are.
    if (at == names.end())
        return;
    focusScreen(int(at - names.begin()), layout);
}

void Application::setPaused(bool on)
{
    Choices c = current;
    c.paused = on;
    setChoices(c);
}

void Application::setStartAtLogin(bool on)
{
    Autostart autostart = Autostart::forThisUser();
    if (!autostart.setOn(on))
        qWarning().noquote() << "Pellmar: could not" << (on ? "write" : "remove")
                             << autostart.file();
    const bool atLogin = autostart.isOn();
    if (trayIcon)
        trayIcon->showState(current.paused, atLogin, holdingBack());
    if (preferencesDialog)
        preferencesDialog->refresh(current, atLogin);
}

void Application::showPreferences()
{
    if (!preferencesDialog) {
        PointerWatch *pointer = windowSystem->pointerWatch();
        preferencesDialog = new PreferencesDialog(pointer && pointer->reportsMotion(),
                                                  windowSystem->abilities(), mainWindow.get());
        connect(preferencesDialog, &PreferencesDialog::choicesEdited, this,
                &Application::setChoices);
        connect(preferencesDialog, &PreferencesDialog::pauseToggled, this, &Application::setPaused);
        connect(preferencesDialog, &PreferencesDialog::startAtLoginToggled, this,
                &Application::setStartAtLogin);
    }
    preferencesDialog->refresh(current, Autostart::forThisUser().isOn());
    preferencesDialog->show();
    preferencesDialog->raise();
    preferencesDialog->activateWindow();
}

bool Application::obey(const QString &verb)
{
    if (verb == "pause" || verb == "resume" || verb == "toggle")
        setPaused(verb == "toggle" ? !current.paused : verb == "pause");
    else if (verb == "show")
        mainWindow->bringToFront();
    else
        return false;
    return true;
}

void Application::closeWindow()
{
    // Asked afresh: if the tray has gone away, closing ends the program.
    // The application does not end by itself when its last window closes (a
    // dismissed notice must not end a program hidden in the tray).
    if (!trayIcon || !TrayIcon::available()) {
        QCoreApplication::exit(0);
        return;
    }
    mainWindow->hide();
    if (current.showCloseNotice) {
        trayIcon->notify("Still Running!",
                         "Pellmar is still running in the system tray. Click here to open.");
        Choices c = current;
        c.showCloseNotice = false;
        setChoices(c);
    }
}

void Application::exit()
{
    // Exit from the tray menu: the program ends, nothing is hidden or told.
    qDebug() << "Closing...";
    QCoreApplication::exit(0);
}
