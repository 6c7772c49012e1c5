#include "kwinscript.h"

#include "logicctrl.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <cmath>

namespace {

const char kwinService[] = "org.kde.KWin";
// KWin answers in milliseconds; one that hangs must not hang Pellmar.
constexpr int callTimeoutMs = 3000;

QDBusMessage scripting(const QString &method, const QVariantList &arguments)
{
    QDBusMessage m =
        QDBusMessage::createMethodCall(kwinService, "/Scripting", "org.kde.kwin.Scripting", method);
    m.setArguments(arguments);
    return m;
}

} // namespace

KwinScript::KwinScript(const QDBusConnection &connection, QObject *parent)
    : CompositorEvents(parent), bus(connection)
{
}

std::unique_ptr<CompositorEvents> KwinScript::load(QObject *parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kwinService))
        return nullptr;
    if (scriptFile("pellmar.js").isEmpty()) {
        qWarning("Pellmar: KWin's script pellmar/kwin/pellmar.js is not installed");
        return nullptr;
    }
    // The reports' name first: while another Pellmar holds it, its scripts
    // are its own.
    if (!bus.registerService(service)) {
        qWarning("Pellmar: another program on this session bus has %s", service);
        return nullptr;
    }
    std::unique_ptr<KwinScript> s(new KwinScript(bus, parent));
    if (!bus.registerObject(objectPath, s.get(), QDBusConnection::ExportScriptableSlots) ||
        !s->run("pellmar.js", eventsPlugin)) {
        bus.unregisterService(service);
        return nullptr;
    }
    s->kwin = new QDBusServiceWatcher(kwinService, bus, QDBusServiceWatcher::WatchForOwnerChange,
                                      s.get());
    KwinScript *self = s.get();
    connect(s->kwin, &QDBusServiceWatcher::serviceOwnerChanged, self,
            [self] { emit self->lost(); });
    qDebug("KWin runs Pellmar's script %s", qPrintable(scriptFile("pellmar.js")));
    return s;
}

KwinScript::~KwinScript()
{
    unload(readoutPlugin);
    unload(eventsPlugin);
    bus.unregisterObject(objectPath);
    bus.unregisterService(service);
}

QString KwinScript::scriptFile(const QString &fileName)
{
    const QString installed =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, "pellmar/kwin/" + fileName);
    if (!installed.isEmpty())
        return installed;
    const QDir program(QCoreApplication::applicationDirPath());
    for (const char *beside : {"../share/pellmar/kwin/", "kwin/"}) {
        const QFileInfo file(program.filePath(QString(beside) + fileName));
        if (file.isFile())
            return file.canonicalFilePath();
    }
    return QString();
}

bool KwinScript::run(const QString &fileName, const char *plugin)
{
    const QString file = scriptFile(fileName);
    if (file.isEmpty())
        return false;
    unload(plugin);
    const QDBusReply<int> id =
        bus.call(scripting("loadScript", {file, QString(plugin)}), QDBus::Block, callTimeoutMs);
    if (!id.isValid() || id.value() < 0) {
        qWarning("Pellmar: KWin did not load %s: %s", qPrintable(file),
                 qPrintable(id.isValid() ? "refused" : id.error().message()));
        return false;
    }
    // Started through Scripting's start (which runs every script loaded
    // and not yet running), not by the script's own object: KWin numbers a
    // script by how many it holds, so after one has gone a new one may share
    // the number, and the object path, of another still running.
    const QDBusMessage answer = bus.call(scripting("start", {}), QDBus::Block, callTimeoutMs);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        qWarning("Pellmar: KWin did not run %s: %s", qPrintable(file),
                 qPrintable(answer.errorMessage()));
        unload(plugin);
        return false;
    }
    return true;
}

void KwinScript::unload(const char *plugin)
{
    const QDBusReply<bool> had =
        bus.call(scripting("unloadScript", {QString(plugin)}), QDBus::Block, callTimeoutMs);
    if (!had.isValid() || !had.value())
        return;
    // KWin lets a script go when it next returns to its event loop, and
    // refuses a new one of the same name until then: asked again until it
    // has gone, a few round trips at most.
    for (int tries = 0; tries < 50; ++tries) {
        const QDBusReply<bool> loaded =
            bus.call(scripting("isScriptLoaded", {QString(plugin)}), QDBus::Block, callTimeoutMs);
        if (!loaded.isValid() || !loaded.value())
            return;
    }
}

void KwinScript::followPointer(bool on)
{
    if (on == following)
        return;
    following = on;
    if (on)
        run("pellmar-readout.js", readoutPlugin);
    else
        unload(readoutPlugin);
}

void KwinScript::Output(const QString &name)
{
    qDebug("KWin: the pointer is on %s", qPrintable(name));
    if (name == output)
        return;
    output = name;
    emit focusedOutputChanged(name);
}

void KwinScript::Fullscreen(bool on)
{
    if (on == full)
        return;
    full = on;
    emit fullscreenChanged(on);
}

void KwinScript::Pointer(int x, int y, const QDBusMessage &message)
{
    Pointer(double(x), double(y), message);
}

void KwinScript::Pointer(double x, double y, const QDBusMessage &message)
{
    // The pixel the pointer is in.
    if (following)
        emit pointerSeen(int(std::floor(x)), int(std::floor(y)));
    // The script sends the next position once this is answered: answered
    // when the readout next refreshes, it reports no oftener than that, and
    // the last position always arrives.
    message.setDelayedReply(true);
    const QDBusMessage reply = message.createReply();
    QDBusConnection to = bus;
    QTimer::singleShot(int(LogicCtrl::labelIntervalMs), this,
                       [to, reply]() mutable { to.send(reply); });
}
