#include "kdeprobe.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <libei.h>
#include <linux/input-event-codes.h>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

const QString KWinService = QStringLiteral("org.kde.KWin");
const QString ProbeInterface = QStringLiteral("org.pellmar.KdeProbe");
const int Waiting = 30000; // ms; a loaded machine's software-rendered KWin is slow

// Called back once per run: where the pointer is, the outputs and the
// windows, top of the stack last.
const char *Script = R"(
function rect(r) { return [r.x, r.y, r.width, r.height]; }
const outputs = workspace.screens.map(o => ({name: o.name, geometry: rect(o.geometry),
                                             scale: o.devicePixelRatio}));
const windows = workspace.stackingOrder.map(w => ({
    caption: w.caption, resourceClass: String(w.resourceClass),
    resourceName: String(w.resourceName), pid: w.pid, geometry: rect(w.frameGeometry),
    fullScreen: w.fullScreen, keepAbove: w.keepAbove, minimized: w.minimized,
    normal: w.normalWindow, dock: w.dock, popup: w.popupWindow, special: w.specialWindow,
    output: w.output ? w.output.name : "", active: workspace.activeWindow === w,
    id: String(w.internalId)}));
const p = workspace.cursorPos;
callDBus("%1", "/probe", "org.pellmar.KdeProbe", "state",
         JSON.stringify({cursor: [p.x, p.y], outputs: outputs, windows: windows}));
)";

QDBusMessage callKWin(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &args = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(KWinService, path, interface, method);
    message.setArguments(args);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, Waiting);
}

} // namespace

KdeProbe::KdeProbe() = default;

KdeProbe::~KdeProbe()
{
    for (ei_device *device : {m_pointer, m_absolute, m_keyboard}) {
        if (device)
            ei_device_unref(device);
    }
    if (m_seat)
        ei_seat_unref(m_seat);
    if (m_ei)
        ei_unref(m_ei);
    if (m_cookie >= 0) {
        callKWin(QStringLiteral("/org/kde/KWin/EIS/RemoteDesktop"),
                 QStringLiteral("org.kde.KWin.EIS.RemoteDesktop"), QStringLiteral("disconnect"),
                 {m_cookie});
    }
}

bool KdeProbe::start(QString *error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *error = QStringLiteral("no session bus: ") + bus.lastError().message();
        return false;
    }
    // KWin's script calls back this name, which is the probe's alone.
    m_service = QStringLiteral("org.pellmar.KdeProbe.p%1").arg(getpid());
    if (!bus.registerService(m_service) ||
        !bus.registerVirtualObject(QStringLiteral("/probe"), this)) {
        *error = QStringLiteral("cannot take %1 on the bus").arg(m_service);
        return false;
    }
    if (!m_dir.isValid()) {
        *error = QStringLiteral("no folder for the script");
        return false;
    }
    m_scriptPath = m_dir.filePath(QStringLiteral("probe.js"));
    QFile script(m_scriptPath);
    if (!script.open(QIODevice::WriteOnly) ||
        script.write(QString::fromUtf8(Script).arg(m_service).toUtf8()) < 0) {
        *error = QStringLiteral("cannot write ") + m_scriptPath;
        return false;
    }
    script.close();

    const int keyboard = 1, pointer = 2;
    const QDBusMessage reply = callKWin(QStringLiteral("/org/kde/KWin/EIS/RemoteDesktop"),
                                        QStringLiteral("org.kde.KWin.EIS.RemoteDesktop"),
                                        QStringLiteral("connectToEIS"), {keyboard | pointer});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2) {
        *error = QStringLiteral("KWin's EIS interface: ") + reply.errorMessage();
        return false;
    }
    const auto fd = reply.arguments().at(0).value<QDBusUnixFileDescriptor>();
    m_cookie = reply.arguments().at(1).toInt();
    // libei owns the descriptor it is given; the reply keeps its own.
    const int own = fd.isValid() ? dup(fd.fileDescriptor()) : -1;
    if (own < 0) {
        *error = QStringLiteral("KWin gave no EIS descriptor");
        return false;
    }
    m_ei = ei_new_sender(this);
    ei_configure_name(m_ei, "pellmar-kde-probe");
    if (ei_setup_backend_fd(m_ei, own) != 0) {
        *error = QStringLiteral("libei does not take KWin's descriptor");
        return false;
    }
    m_eiNotifier = new QSocketNotifier(ei_get_fd(m_ei), QSocketNotifier::Read, this);
    connect(m_eiNotifier, &QSocketNotifier::activated, this, [this] { dispatchEi(); });
    dispatchEi();
    if (!waitUntil([this] { return ready() || m_gone; }, Waiting) || m_gone) {
        *error = QStringLiteral("KWin gave no pointer, absolute device and keyboard");
        return false;
    }

    m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_stdin, &QSocketNotifier::activated, this, [this] { readCommands(); });
    return true;
}

QString KdeProbe::introspect(const QString &) const
{
    return QStringLiteral("<interface name=\"org.pellmar.KdeProbe\">"
                          "<method name=\"state\"><arg name=\"json\" type=\"s\" direction=\"in\"/>"
                          "</method></interface>");
}

bool KdeProbe::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    if (message.interface() != ProbeInterface || message.member() != QLatin1String("state") ||
        message.arguments().size() != 1) {
        return false;
    }
    m_state = message.arguments().at(0).toString();
    m_stateCame = true;
    connection.send(message.createReply());
    return true;
}

template <typename Done> bool KdeProbe::waitUntil(Done done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    // Wakes the loop up to look at the clock.
    QTimer tick;
    tick.start(20);
    QEventLoop loop;
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool KdeProbe::ready() const
{
    return m_pointerOn && m_absoluteOn && m_keyboardOn;
}

void KdeProbe::forgetDevice(ei_device *device)
{
    auto drop = [device](ei_device *&held, bool &on) {
        if (held == device) {
            ei_device_unref(held);
            held = nullptr;
            on = false;
        }
    };
    drop(m_pointer, m_pointerOn);
    drop(m_absolute, m_absoluteOn);
    drop(m_keyboard, m_keyboardOn);
}

void KdeProbe::dispatchEi()
{
    ei_dispatch(m_ei);
    while (ei_event *event = ei_get_event(m_ei)) {
        ei_device *device = ei_event_get_device(event);
        switch (ei_event_get_type(event)) {
        case EI_EVENT_DISCONNECT:
            m_gone = true;
            break;
        case EI_EVENT_SEAT_ADDED:
            if (!m_seat) {
                m_seat = ei_seat_ref(ei_event_get_seat(event));
                ei_seat_bind_capabilities(m_seat, EI_DEVICE_CAP_POINTER,
                                          EI_DEVICE_CAP_POINTER_ABSOLUTE, EI_DEVICE_CAP_BUTTON,
                                          EI_DEVICE_CAP_SCROLL, EI_DEVICE_CAP_KEYBOARD, nullptr);
            }
            break;
        case EI_EVENT_DEVICE_ADDED: {
            // KWin replaces the absolute device when the outputs change: the
            // newest one is the one to drive.
            auto take = [device](ei_device *&held, bool &on) {
                if (held)
                    ei_device_unref(held);
                held = ei_device_ref(device);
                on = false;
            };
            if (ei_device_has_capability(device, EI_DEVICE_CAP_POINTER_ABSOLUTE))
                take(m_absolute, m_absoluteOn);
            else if (ei_device_has_capability(device, EI_DEVICE_CAP_POINTER))
                take(m_pointer, m_pointerOn);
            else if (ei_device_has_capability(device, EI_DEVICE_CAP_KEYBOARD))
                take(m_keyboard, m_keyboardOn);
            break;
        }
        case EI_EVENT_DEVICE_RESUMED:
            ei_device_start_emulating(device, ++m_sequence);
            if (device == m_pointer)
                m_pointerOn = true;
            if (device == m_absolute)
                m_absoluteOn = true;
            if (device == m_keyboard)
                m_keyboardOn = true;
            break;
        case EI_EVENT_DEVICE_PAUSED:
            if (device == m_pointer)
                m_pointerOn = false;
            if (device == m_absolute)
                m_absoluteOn = false;
            if (device == m_keyboard)
                m_keyboardOn = false;
            break;
        case EI_EVENT_DEVICE_REMOVED:
            forgetDevice(device);
            break;
        case EI_EVENT_PONG:
            ++m_pongs;
            break;
        default:
            break;
        }
        ei_event_unref(event);
    }
}

bool KdeProbe::sync()
{
    // The struct and its send function share a name.
    struct ei_ping *request = ei_new_ping(m_ei);
    ei_ping(request);
    ei_ping_unref(request);
    const uint64_t sent = ++m_pings;
    return waitUntil([this, sent] { return m_pongs >= sent || m_gone; }, Waiting) && !m_gone;
}

QString KdeProbe::askKWin()
{
    const QString name =
        QStringLiteral("pellmar-kde-probe-%1-%2").arg(getpid()).arg(++m_scriptRuns);
    const QString scripting = QStringLiteral("org.kde.kwin.Scripting");
    const QDBusMessage loaded = callKWin(QStringLiteral("/Scripting"), scripting,
                                         QStringLiteral("loadScript"), {m_scriptPath, name});
    const int id = loaded.arguments().value(0, -1).toInt();
    if (loaded.type() != QDBusMessage::ReplyMessage || id < 0)
        return QStringLiteral("error KWin does not load the script: ") + loaded.errorMessage();
    m_stateCame = false;
    // Not by the script's own object: KWin numbers scripts by how many it
    // holds, so a new one may share the number of another still running.
    callKWin(QStringLiteral("/Scripting"), scripting, QStringLiteral("start"));
    const bool came = waitUntil([this] { return m_stateCame; }, Waiting);
    callKWin(QStringLiteral("/Scripting"), scripting, QStringLiteral("unloadScript"), {name});
    return came ? m_state : QStringLiteral("error the script did not call back");
}

QString KdeProbe::regions() const
{
    QStringList found;
    for (size_t i = 0; m_absolute; ++i) {
        ei_region *region = ei_device_get_region(m_absolute, i);
        if (!region)
            break;
        found << QStringLiteral("%1 %2 %3 %4")
                     .arg(ei_region_get_x(region))
                     .arg(ei_region_get_y(region))
                     .arg(ei_region_get_width(region))
                     .arg(ei_region_get_height(region));
    }
    return found.join(QLatin1Char(';'));
}

QString KdeProbe::answer(const QByteArray &line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    const QByteArray command = words.value(0);
    QList<int> numbers;
    for (int i = 1; i < words.size(); ++i) {
        bool ok = false;
        numbers << words.at(i).toInt(&ok);
        if (!ok)
            return QStringLiteral("error not a number: ") + QString::fromUtf8(words.at(i));
    }
    auto device = [this](ei_device *&held, bool &on) {
        // Right after the outputs change, KWin's new device may be on its way.
        waitUntil([&] { return (held && on) || m_gone; }, Waiting);
        return on ? held : nullptr;
    };
    auto sent = [this](ei_device *dev) {
        ei_device_frame(dev, ei_now(m_ei));
        return sync() ? QStringLiteral("ok") : QStringLiteral("error KWin did not answer");
    };

    if (command == "put" && numbers.size() == 2) {
        ei_device *dev = device(m_absolute, m_absoluteOn);
        if (!dev)
            return QStringLiteral("error no absolute device");
        if (!ei_device_get_region_at(dev, numbers[0], numbers[1]))
            return QStringLiteral("error outside every output: ") + regions();
        ei_device_pointer_motion_absolute(dev, numbers[0], numbers[1]);
        return sent(dev);
    }
    if (command == "rel" && numbers.size() == 2) {
        ei_device *dev = device(m_pointer, m_pointerOn);
        if (!dev)
            return QStringLiteral("error no pointer");
        ei_device_pointer_motion(dev, numbers[0], numbers[1]);
        return sent(dev);
    }
    if (command == "button" && numbers.size() == 1) {
        ei_device *dev = device(m_pointer, m_pointerOn);
        if (!dev)
            return QStringLiteral("error no pointer");
        ei_device_button_button(dev, BTN_LEFT, numbers[0] != 0);
        return sent(dev);
    }
    if (command == "key" && numbers.size() == 2) {
        ei_device *dev = device(m_keyboard, m_keyboardOn);
        if (!dev)
            return QStringLiteral("error no keyboard");
        ei_device_keyboard_key(dev, numbers[0], numbers[1] != 0);
        return sent(dev);
    }
    if (command == "where" && numbers.isEmpty()) {
        const QString state = askKWin();
        if (state.startsWith(QLatin1String("error")))
            return state;
        const QVariantList cursor = QJsonDocument::fromJson(state.toUtf8())
                                        .object()
                                        .value(QLatin1String("cursor"))
                                        .toVariant()
                                        .toList();
        if (cursor.size() != 2)
            return QStringLiteral("error no cursor in ") + state;
        // KWin's position is fractional: the pixel it is in.
        return QStringLiteral("%1 %2")
            .arg(std::floor(cursor.at(0).toDouble()))
            .arg(std::floor(cursor.at(1).toDouble()));
    }
    if (command == "state" && numbers.isEmpty())
        return askKWin();
    if (command == "outputs" && numbers.isEmpty()) {
        device(m_absolute, m_absoluteOn);
        return regions();
    }
    return QStringLiteral("error unknown command: ") + QString::fromUtf8(line);
}

void KdeProbe::readCommands()
{
    char buffer[4096];
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        QCoreApplication::quit();
        return;
    }
    m_input.append(buffer, got);
    // No new commands while one waits on KWin.
    m_stdin->setEnabled(false);
    qsizetype end;
    while ((end = m_input.indexOf('\n')) >= 0) {
        const QByteArray line = m_input.left(end).trimmed();
        m_input.remove(0, end + 1);
        if (line.isEmpty())
            continue;
        if (line == "quit") {
            std::printf("bye\n");
            std::fflush(stdout);
            QCoreApplication::quit();
            return;
        }
        const QString reply = answer(line);
        std::printf("%s\n", qPrintable(reply));
        std::fflush(stdout);
    }
    m_stdin->setEnabled(true);
}
