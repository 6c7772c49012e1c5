#pragma once

#include <QThread>

#include <atomic>

// The first version's engine loop as it was: every 100 µs, moving or not, it
// asks the GUI thread for a cursor sample and for a readout refresh, each by
// a queued signal.
class SampleLoop : public QThread
{
    Q_OBJECT

public:
    using QThread::QThread;

    // Ends the loop after the pass under way; wait() joins it.
    void stop();

signals:
    void sampleWanted();
    void readoutDue();

protected:
    void run() override;

private:
    std::atomic<bool> stopping{false};
};
