#include "application.h"

#include "autostart.h"
#include "cursorrules.h"
#include "engine.h"
#include "focuscurtains.h"
#include "platform.h"
#include "preferencesdialog.h"
#include "sessioncheck.h"
#include "trayhostwatch.h"
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
    showFeatures();
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
        windowSystem->followReadout(shown);
    });
    // A desktop helper switched on or off while Pellmar runs (GNOME's
    // Shell extension): say what holds now.
    connect(windowSystem.get(), &Platform::featuresChanged, this, [this] {
        showFeatures();
        SessionCheck::warnIfNoCursorControl(mainWindow.get(), movesNothing());
        publish(current);
    });

    rebuildScreens();
    worker->start(pointer);

    // Where the only tray is a bar's on the session bus, Qt must not be
    // asked for one before a bar has registered it (it asks once, and keeps
    // the answer): a bar started at the same login may come later.
    if (windowSystem->trayOnlyOnBus() && !TrayHostWatch::hostThere()) {
        trayHostWatch = std::make_unique<TrayHostWatch>();
        connect(trayHostWatch.get(), &TrayHostWatch::hostArrived, this, &Application::makeTray);
    } else {
        makeTray();
    }
}

QString Application::movesNothing() const
{
    return windowSystem->features().reason(Feature::DesktopWraps);
}

void Application::showFeatures()
{
    const DesktopFeatures features = windowSystem->features();
    mainWindow->setFeatures(features);
    if (trayIcon) {
        trayIcon->showDesktop(features.reason(Feature::DesktopWraps));
        showTrayState();
    }
    // What this desktop does not allow, each reason once: the one that
    // stops every jump is told on its own, with a message box.
    const QString general = features.reason(Feature::DesktopWraps);
    QStringList told;
    for (const Feature f : DesktopFeatures::all()) {
        const QString why = features.reason(f);
        if (why.isEmpty() || why == general || told.contains(why))
            continue;
        told << why;
        qWarning().noquote() << why;
    }
}

void Application::makeTray()
{
    // Called from the watch's own signal: it goes once that is over.
    if (trayHostWatch)
        trayHostWatch.release()->deleteLater();
    if (!started || trayIcon || !TrayIcon::available())
        return;
    trayIcon = std::make_unique<TrayIcon>();
    trayIcon->showDesktop(movesNothing());
    connect(trayIcon.get(), &TrayIcon::pauseToggled, this, &Application::setPaused);
    connect(trayIcon.get(), &TrayIcon::startAtLoginToggled, this, &Application::setStartAtLogin);
    connect(trayIcon.get(), &TrayIcon::lockToggled, this, [this](bool on) {
        if (!on) {
            unlock();
            return;
        }
        const QString said = lock();
        if (said != "ok") {
            qWarning().noquote() << "Pellmar:" << said;
            trayIcon->notify("The Pointer Stays Free", said);
            showTrayState(); // unchecked again: nothing holds
        }
    });
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

bool Application::stop()
{
    if (!started)
        return true;
    started = false;
    settingsChanged->stop();
    worker->stop(); // nothing comes from the engine thread after this
    // A hold is not kept: the next start finds the pointer free.
    if (!locked.isEmpty()) {
        windowSystem->unlockPointer();
        locked.clear();
    }
    trayHostWatch.reset();
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
    std::vector<QSize> sizesMm;
    QStringList seen, measured;
    for (const PlatformScreen &s : windowSystem->screens()) {
        const QRect &g = s.geometry;
        rects.push_back(ScreenRect{g.left(), g.top(), g.right(), g.bottom()});
        names.push_back(s.name);
        // One the window system made up (its DPI's, a TV's shape) gives way
        // to the monitor's own.
        const bool reported = !ScreenTable::believableMm(s.physicalMm, rects.back()).isEmpty();
        sizesMm.push_back(reported ? s.physicalMm : windowSystem->monitorSizeMm(s.name));
        measured << QString("%1 %2x%3 mm%4")
                        .arg(s.name.isEmpty() ? QString("(unnamed)") : s.name)
                        .arg(sizesMm.back().width())
                        .arg(sizesMm.back().height())
                        .arg(reported                   ? ""
                             : sizesMm.back().isEmpty() ? " (unknown)"
                                                        : " (EDID)");
        seen << QString("%1 %2x%3%4%5%6%7")
                    .arg(s.name.isEmpty() ? QString("(unnamed)") : s.name)
                    .arg(g.width())
                    .arg(g.height())
                    .arg(g.x() < 0 ? "" : "+")
                    .arg(g.x())
                    .arg(g.y() < 0 ? "" : "+")
                    .arg(g.y());
    }
    screens = ScreenTable(rects, names, sizesMm);
    ++layout;
    compositor = windowSystem->compositorRunning();
    // The engine looks again at the new snapshot and the curtains come
    // back over the new layout at once.
    focus->setScreens(screens);
    qDebug().noquote() << "Screens:" << seen.join(", ");
    qDebug().noquote() << "Monitor sizes:" << measured.join(", ");
    followLock();
    publish(current);
}

void Application::followLock()
{
    if (locked.isEmpty())
        return;
    const int i = screens.indexOf(locked);
    const ScreenRect *r = i >= 0 ? &screens.rects[std::size_t(i)] : nullptr;
    if (!r ||
        !windowSystem->lockPointer(QRect(QPoint(r->left, r->top), QPoint(r->right, r->bottom)))) {
        qDebug().noquote() << "The pointer is free again:" << locked
                           << (r ? "can no longer be held" : "has gone");
        windowSystem->unlockPointer();
        locked.clear();
        showTrayState();
        return;
    }
    // Moved away from under the pointer, the monitor takes it along.
    const std::optional<QPoint> at = windowSystem->pointerPosition();
    if (at && !r->contains(at->x(), at->y())) {
        const CursorMove middle = CursorRules::middleOf(*r);
        worker->jumpTo(middle.x, middle.y);
    }
}

int Application::pointerScreenIndex() const
{
    if (windowSystem->tellsPointerScreen())
        return screens.indexOf(windowSystem->pointerScreen());
    const std::optional<QPoint> at = windowSystem->pointerPosition();
    return at ? screens.screenIndexAt(at->x(), at->y()) : -1;
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
    next->screens.applySizes(choices.monitorSizesMm);
    next->layout = layout;
    next->fullscreen = fullscreen;
    next->lockedScreen = locked.isEmpty() ? -1 : screens.indexOf(locked);
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
    if (!trayIcon)
        return;
    trayIcon->showState(current.paused, Autostart::forThisUser().isOn(), holdingBack());
    trayIcon->showLocked(!locked.isEmpty());
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
        preferencesDialog = new PreferencesDialog(windowSystem->features(), mainWindow.get());
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

QString Application::obey(const QString &verb, const QString &argument)
{
    if (!started)
        return "Pellmar is not running yet";
    if (verb == "jump")
        return argument.isEmpty() ? QString("Jump where? Say next, previous or a monitor's name")
                                  : jump(argument);
    const bool known = verb == "pause" || verb == "resume" || verb == "toggle" || verb == "show" ||
                       verb == "lock" || verb == "unlock";
    if (!known)
        return QString("This Pellmar does not know --%1").arg(verb);
    if (!argument.isEmpty())
        return QString("--%1 takes no value").arg(verb);
    if (verb == "pause" || verb == "resume" || verb == "toggle")
        setPaused(verb == "toggle" ? !current.paused : verb == "pause");
    else if (verb == "show")
        mainWindow->bringToFront();
    else if (verb == "lock")
        return lock();
    else
        unlock();
    return "ok";
}

QString Application::jump(const QString &where)
{
    int target = -1;
    if (where == "next" || where == "previous") {
        target = CursorRules::stepThrough(screens, pointerScreenIndex(), where == "next" ? 1 : -1);
        if (target < 0)
            return "There is no monitor to jump to";
    } else {
        target = screens.indexOf(where);
        if (target < 0) {
            QStringList names;
            for (const int i : CursorRules::mapOrder(screens))
                names << screens.names[std::size_t(i)];
            return QString("No monitor is called %1; the monitors are %2")
                .arg(where, names.join(", "));
        }
    }
    const DesktopFeatures features = windowSystem->features();
    if (!features.available(Feature::Jump))
        return features.reason(Feature::Jump);
    if (!worker->running())
        return "Pellmar cannot move the pointer on this desktop";
    if (!locked.isEmpty() && screens.names[std::size_t(target)] != locked)
        return QString("The pointer is locked to %1; unlock it first").arg(locked);
    const CursorMove middle = CursorRules::middleOf(screens.rects[std::size_t(target)]);
    worker->jumpTo(middle.x, middle.y);
    return "ok";
}

QString Application::lock()
{
    if (!started)
        return "Pellmar is not running yet";
    const QString notice = windowSystem->features().reason(Feature::Lock);
    if (!notice.isEmpty())
        return notice;
    const int i = pointerScreenIndex();
    if (i < 0)
        return "Pellmar cannot tell which monitor the pointer is on";
    const ScreenRect &r = screens.rects[std::size_t(i)];
    const QString name = screens.names[std::size_t(i)];
    if (!windowSystem->lockPointer(QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom))))
        return QString("The window system would not hold the pointer on %1").arg(name);
    if (name != locked)
        qDebug().noquote() << "The pointer is locked to" << name;
    locked = name;
    publish(current);
    showTrayState();
    return "ok";
}

void Application::unlock()
{
    if (locked.isEmpty())
        return;
    windowSystem->unlockPointer();
    qDebug().noquote() << "The pointer is free again";
    locked.clear();
    if (started) {
        publish(current);
        showTrayState();
    }
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
