#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariant>
#include <mutex>
#include <utility>

// A service on a bus as a test plays it: one object, with one interface
// whose methods answer from a table (values, an error, or nothing), whose
// properties are what the test offers, and which keeps every call it gets.
// It answers from a thread of its own, so that a client's blocking calls
// find it answering. Everything here may be called from the test's thread.
class FakeService : public QDBusVirtualObject
{
public:
    FakeService(const QDBusConnection &bus, const QString &service, const QString &path,
                const QString &interface);
    ~FakeService() override;

    void answer(const QString &method, const QVariantList &values);
    void refuse(const QString &method, const QString &errorName, const QString &why = "refused");
    void offer(const QString &property, const QVariant &value);

    // Takes its name on the bus, or gives it up (the object goes with it).
    void appear();
    void vanish();
    void emitSignal(const QString &name, const QVariantList &arguments = {});

    // The calls made to the interface so far, oldest first, and their
    // names with their signatures: "Warp(dd)".
    QList<QDBusMessage> calls() const;
    QStringList called() const;
    void forget();

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    QDBusConnection bus;
    const QString serviceName;
    const QString objectPath;
    const QString interfaceName;
    QThread thread;

    // A standard mutex, which the thread sanitizer sees.
    mutable std::mutex lock;
    QHash<QString, QVariantList> answers;
    QHash<QString, std::pair<QString, QString>> errors;
    QVariantMap properties;
    QList<QDBusMessage> log;
};
