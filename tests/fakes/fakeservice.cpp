#include "fakeservice.h"

#include <QDBusVariant>

FakeService::FakeService(const QDBusConnection &connection, const QString &service,
                         const QString &path, const QString &interface)
    : bus(connection), serviceName(service), objectPath(path), interfaceName(interface)
{
    moveToThread(&thread);
    thread.start();
}

FakeService::~FakeService()
{
    vanish();
    // Its thread ended, nothing of it runs: it may go from here.
    thread.quit();
    thread.wait();
}

void FakeService::answer(const QString &method, const QVariantList &values)
{
    std::lock_guard<std::mutex> hold(lock);
    errors.remove(method);
    answers[method] = values;
}

void FakeService::refuse(const QString &method, const QString &errorName, const QString &why)
{
    std::lock_guard<std::mutex> hold(lock);
    answers.remove(method);
    errors[method] = {errorName, why};
}

void FakeService::offer(const QString &property, const QVariant &value)
{
    std::lock_guard<std::mutex> hold(lock);
    properties[property] = value;
}

// QtDBus registers from any thread, and delivers calls in the thread the
// object lives in.
void FakeService::appear()
{
    bus.registerVirtualObject(objectPath, this);
    bus.registerService(serviceName);
}

void FakeService::vanish()
{
    bus.unregisterService(serviceName);
    bus.unregisterObject(objectPath);
}

void FakeService::emitSignal(const QString &name, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createSignal(objectPath, interfaceName, name);
    message.setArguments(arguments);
    bus.send(message);
}

QList<QDBusMessage> FakeService::calls() const
{
    std::lock_guard<std::mutex> hold(lock);
    return log;
}

QStringList FakeService::called() const
{
    QStringList out;
    for (const QDBusMessage &m : calls())
        out << m.member() + "(" + m.signature() + ")";
    return out;
}

void FakeService::forget()
{
    std::lock_guard<std::mutex> hold(lock);
    log.clear();
}

QString FakeService::introspect(const QString &) const
{
    return QString();
}

bool FakeService::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    std::lock_guard<std::mutex> hold(lock);
    if (message.interface() == "org.freedesktop.DBus.Properties" && message.member() == "Get" &&
        message.arguments().size() == 2 && message.arguments().at(0).toString() == interfaceName) {
        const QString name = message.arguments().at(1).toString();
        connection.send(
            properties.contains(name)
                ? message.createReply(QVariant::fromValue(QDBusVariant(properties[name])))
                : message.createErrorReply(QDBusError::UnknownProperty, name));
        return true;
    }
    if (message.interface() != interfaceName)
        return false;
    log << message;
    const QString method = message.member();
    if (errors.contains(method))
        connection.send(message.createErrorReply(errors[method].first, errors[method].second));
    else
        connection.send(message.createReply(answers.value(method)));
    return true;
}
