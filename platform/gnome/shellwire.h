#pragma once

#include "shellgeometry.h"

#include <QList>
#include <QMetaType>
#include <QRect>
#include <QString>

// The structures Pellmar and its GNOME Shell extension pass on the bus, as
// the Qt proxy made from com.brenvik.Pellmar.Shell.xml names them.

// A monitor as GNOME Shell names and places it: (siiii).
struct ShellMonitor
{
    QString connector;
    QRect geometry;
    bool operator==(const ShellMonitor &o) const
    {
        return connector == o.connector && geometry == o.geometry;
    }
};

// A curtain over a monitor, by connector, percent black: (su).
struct ShellCurtain
{
    QString connector;
    quint32 darkness = 0;
};

Q_DECLARE_METATYPE(ShellMonitor)
Q_DECLARE_METATYPE(ShellCurtain)
// A barrier: (iiiiu).
Q_DECLARE_METATYPE(ShellSegment)

class QDBusArgument;

// How each goes on the bus, found by argument lookup beside the structures
// (QDBusArgument's own operators are global too).
QDBusArgument &operator<<(QDBusArgument &out, const ShellSegment &s);
const QDBusArgument &operator>>(const QDBusArgument &in, ShellSegment &s);
QDBusArgument &operator<<(QDBusArgument &out, const ShellMonitor &m);
const QDBusArgument &operator>>(const QDBusArgument &in, ShellMonitor &m);
QDBusArgument &operator<<(QDBusArgument &out, const ShellCurtain &c);
const QDBusArgument &operator>>(const QDBusArgument &in, ShellCurtain &c);

namespace ShellWire {

// Tells QtDBus how each of them, and lists of them, go on the bus; before
// the first call or signal that carries one.
void registerTypes();

} // namespace ShellWire
