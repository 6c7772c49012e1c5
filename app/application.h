#pragma once

#include "choices.h"
#include "screentable.h"
#include "settingsctrl.h"
#include "snapshot.h"

#include <QObject>
#include <memory>

class Engine;
class QFileSystemWatcher;
class FocusCurtains;
class Platform;
class PreferencesDialog;
class QTimer;
class TrayHostWatch;
class TrayIcon;
class Window_Main;

// The program: owns, in one place and one order, the window system
// (platform), the settings store and the choices, the screens, the engine,
// the curtains, the tray icon and the main window. Values go from here to
// where they act: a choice the user makes comes in from a view, is kept
// here, written to disk soon after, and handed on to the engine, the
// curtains and the views as a new snapshot. GUI thread only.
class Application : public QObject
{
    Q_OBJECT

public:
    // `store` says where the choices are kept.
    explicit Application(std::unique_ptr<Platform> platform, SettingsCtrl store = SettingsCtrl(),
                         QObject *parent = nullptr);
    ~Application() override; // stop()

    // A burst of desktop changes (a dock bringing up its outputs one by one)
    // settles into one rebuild this long after the last of them.
    static constexpr int screenSettleMs = 200;
    // While changes keep coming (a flaky cable, a dock waking its monitors
    // one by one), the screens are read again at least this often all the
    // same.
    static constexpr int screenSettleCeilingMs = 400;
    // A change is written this long after it was made, with every change
    // made meanwhile: a dragged slider writes a few times, not once a step.
    static constexpr int saveDelayMs = 300;

    // In this order: the choices read; the engine, the curtains and the
    // window made; the screens read and the first snapshot handed on; the
    // engine started on the pointer; the tray icon shown. The caller shows
    // the window.
    void start();
    // The other way round: the engine stopped and joined first, so nothing
    // comes from it any more; the tray icon, the window and the curtains
    // gone; the choices written. Once; start() again works. Returns
    // whether the choices are on disk.
    bool stop();

    // Every change of a choice comes here: kept, shown, handed to the
    // engine, and written within saveDelayMs.
    void setChoices(const Choices &choices);
    // Pausing: nothing moves the cursor and the curtains are down.
    void setPaused(bool on);
    // Start at login, by an XDG autostart entry.
    void setStartAtLogin(bool on);
    void showPreferences();
    // A verb from another start of pellmar, done at once: "pause",
    // "resume", "toggle", "show", "jump" with where to, "lock" or "unlock".
    // Returns "ok" once done, else why not, in the user's words.
    QString obey(const QString &verb, const QString &argument = QString());
    // Puts the pointer in the middle of a monitor: the next or previous
    // one in the map's order from the one it is on ("next", "previous"),
    // or the one with this output name. Returns as obey() does.
    QString jump(const QString &where);
    // Holds the pointer on the monitor it is on now, by the window
    // system's own means, until unlock() or until that monitor goes away;
    // no wrap or Easy Move takes it off meanwhile. Returns as obey() does.
    QString lock();
    void unlock();
    // The output the pointer is held on, empty while it is free.
    QString lockedOutput() const { return locked; }

    // The engine's report: curtains over every screen of layout `layout`
    // but `screen` (-1: all of them).
    void focusScreen(int screen, quint64 layout);
    // The desktop's report, where it tells: the output that holds the
    // pointer now.
    void followPointerScreen(const QString &output);

    const Choices &choices() const { return current; }
    std::shared_ptr<const Snapshot> snapshot() const { return published; }
    Platform &platform() const { return *windowSystem; }
    Engine &engine() const { return *worker; }
    FocusCurtains &curtains() const { return *focus; }
    Window_Main *window() const { return mainWindow.get(); }
    TrayIcon *tray() const { return trayIcon.get(); }
    PreferencesDialog *preferences() const { return preferencesDialog; }
    // Whether a write of the choices waits.
    bool savePending() const;
    // Why Pellmar moves nothing on this desktop, in the user's words; empty
    // where it can.
    QString movesNothing() const;
    // Whether no jump happens for now because the focused window is full
    // screen (and the user wants that); a pause is said as such instead.
    bool holdingBack() const;

private:
    // Reads the screens and publishes a new layout.
    void rebuildScreens();
    // The screen (its index) the pointer is on now, -1 if not known.
    int pointerScreenIndex() const;
    // After a desktop change: the hold follows its monitor, or ends with it.
    void followLock();
    // Hands the choices and the screens on as one snapshot.
    void publish(const Choices &choices);
    void saveNow();
    // What the desktop allows, to the views and the log.
    void showFeatures();
    // Pause, start at login and holdingBack() on the tray icon.
    void showTrayState();
    // Another Pellmar of this user has written the settings file: take what
    // it changed.
    void watchSettingsFile();
    void takeOthersChanges();
    // The user closed the window: hide it to the tray, or end where there
    // is none.
    void closeWindow();
    void exit();
    // The tray icon and its menu, where a tray is there.
    void makeTray();

    std::unique_ptr<Platform> windowSystem;
    SettingsCtrl store;
    Choices current;
    ScreenTable screens;
    quint64 layout = 0;
    bool compositor = true;
    bool fullscreen = false; // the focused window fills its screen
    QString locked;          // the output the pointer is held on
    std::shared_ptr<const Snapshot> published;
    std::unique_ptr<Engine> worker;
    std::unique_ptr<FocusCurtains> focus;
    std::unique_ptr<Window_Main> mainWindow;
    std::unique_ptr<TrayIcon> trayIcon;
    std::unique_ptr<TrayHostWatch> trayHostWatch;   // until a bar's tray is there
    PreferencesDialog *preferencesDialog = nullptr; // the window's child
    QTimer *screenSettle;
    QTimer *screenSettleCeiling;
    QTimer *saveSoon;
    QFileSystemWatcher *settingsWatch;
    QTimer *settingsChanged;
    bool started = false;
};
