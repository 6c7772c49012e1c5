#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Every message logged while it lives, from any thread, each also handed
// on to the handler it replaced (QtTest's, so that ignoreMessage still
// works). One at a time.
class CapturedLog
{
public:
    CapturedLog()
    {
        {
            QMutexLocker guard(&lock());
            captured().clear();
        }
        previous = qInstallMessageHandler(&CapturedLog::handle);
    }
    ~CapturedLog() { qInstallMessageHandler(previous); }
    CapturedLog(const CapturedLog &) = delete;
    CapturedLog &operator=(const CapturedLog &) = delete;

    QStringList lines() const
    {
        QMutexLocker guard(&lock());
        return captured();
    }

    // The lines that start with any of these.
    QStringList startingWith(const QStringList &prefixes) const
    {
        QStringList out;
        for (const QString &line : lines()) {
            for (const QString &p : prefixes) {
                if (line.startsWith(p)) {
                    out << line;
                    break;
                }
            }
        }
        return out;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        {
            QMutexLocker guard(&lock());
            captured() << text;
        }
        if (previous)
            previous(type, context, text);
    }
    static QMutex &lock()
    {
        static QMutex m;
        return m;
    }
    static QStringList &captured()
    {
        static QStringList l;
        return l;
    }

    static inline QtMessageHandler previous = nullptr;
};
