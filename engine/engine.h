#pragma once

#include "engineinbox.h"

#include <QObject>
#include <memory>
#include <thread>

class LogicCtrl;
class PointerWatch;
class SampleSource;

// The engine as the application sees it: one worker thread that watches or
// polls the pointer and applies the rules, fed read-only snapshots of the
// choices and the screens, reporting by queued signals. GUI thread only.
class Engine : public QObject
{
    Q_OBJECT

public:
    explicit Engine(QObject *parent = nullptr);
    ~Engine() override; // stops first

    // Hands the engine new choices or screens; it takes them at its next
    // turn, looks at the pointer at once and focuses afresh.
    void publish(std::shared_ptr<const Snapshot> snapshot);
    // Starts the thread on this pointer (which must outlive the run): it
    // takes the pointer's contacts where it is seen only on sensors, watches
    // where device motion is reported, and polls elsewhere. Null:
    // the window system lets no thread read the pointer, and nothing runs.
    void start(PointerWatch *pointer);
    // Ends the thread and joins it. Start and stop may alternate.
    void stop();
    bool running() const { return thread.joinable(); }
    // Whether the readout can be seen; a fresh one comes when it can again.
    void setReadoutShown(bool shown);
    // Look at the pointer now, out of any sleep.
    void lookAgain();
    // Puts the pointer at (x, y), from the engine's thread, which alone
    // moves it; nothing happens while stopped.
    void jumpTo(int x, int y);

    // The engine thread's part, for tests that run it by hand; null while
    // stopped.
    LogicCtrl *logic() const { return logicCtrl.get(); }

signals:
    void readout(int x, int y, int speed);
    void pointerUnseen();
    void focusScreen(int screen, quint64 layout);

private:
    EngineInbox inbox;
    PointerWatch *watch = nullptr;
    std::unique_ptr<SampleSource> source;
    std::unique_ptr<LogicCtrl> logicCtrl;
    std::thread thread;
};
