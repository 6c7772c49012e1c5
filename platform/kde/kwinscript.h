#pragma once

#include "compositorevents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <memory>

class QDBusServiceWatcher;

// What only KWin knows, told by a small script of Pellmar's that KWin runs:
// the output that holds the pointer and whether the active window is full
// screen, sent on change only, and, while the readout is shown, the
// pointer's position, at most once per refresh (Pellmar answers each report
// when the next may come). The script decides nothing. Pellmar loads it over
// KWin's D-Bus and takes it away at the end; one left behind by a Pellmar
// that was killed is taken away before ours is loaded, and stops reporting
// by itself once no Pellmar answers. GUI thread only.
class KwinScript : public CompositorEvents
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.brenvik.Pellmar.KWin")

public:
    // The name the script reports to, and its plugin names in KWin.
    static constexpr const char *service = "com.brenvik.Pellmar.KWin";
    static constexpr const char *objectPath = "/com/brenvik/Pellmar/KWin";
    static constexpr const char *eventsPlugin = "pellmar";
    static constexpr const char *readoutPlugin = "pellmar-readout";

    // Null where KWin does not answer, the script is not installed, or
    // another Pellmar on this bus has its reports (then nothing of that
    // one's is touched).
    static std::unique_ptr<CompositorEvents> load(QObject *parent = nullptr);
    ~KwinScript() override;

    QString focusedOutput() const override { return output; }
    bool fullscreen() const override { return full; }
    QString name() const override { return "KWin"; }
    void followPointer(bool on) override;

    // Where a script of that file name is: under Pellmar's data folder
    // (XDG_DATA_DIRS), else beside the program as installed or built.
    static QString scriptFile(const QString &fileName);

public slots:
    // Called by the script.
    Q_SCRIPTABLE void Output(const QString &name);
    Q_SCRIPTABLE void Fullscreen(bool on);
    // KWin's positions are fractional, but a whole one may come as
    // integers: both are taken.
    Q_SCRIPTABLE void Pointer(double x, double y, const QDBusMessage &message);
    Q_SCRIPTABLE void Pointer(int x, int y, const QDBusMessage &message);

private:
    explicit KwinScript(const QDBusConnection &bus, QObject *parent);

    // Loads and runs one script under its plugin name, a stale copy taken
    // away first; false where KWin refuses.
    bool run(const QString &fileName, const char *plugin);
    void unload(const char *plugin);

    QDBusConnection bus;
    QDBusServiceWatcher *kwin = nullptr;
    QString output;
    bool full = false;
    bool following = false;
};
