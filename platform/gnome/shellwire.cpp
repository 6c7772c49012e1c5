#include "shellwire.h"

#include <QDBusArgument>
#include <QDBusMetaType>

QDBusArgument &operator<<(QDBusArgument &out, const ShellSegment &s)
{
    out.beginStructure();
    out << qint32(s.x1) << qint32(s.y1) << qint32(s.x2) << qint32(s.y2) << quint32(s.directions);
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, ShellSegment &s)
{
    qint32 x1, y1, x2, y2;
    quint32 directions;
    in.beginStructure();
    in >> x1 >> y1 >> x2 >> y2 >> directions;
    in.endStructure();
    s = ShellSegment{x1, y1, x2, y2, directions};
    return in;
}

QDBusArgument &operator<<(QDBusArgument &out, const ShellMonitor &m)
{
    out.beginStructure();
    out << m.connector << qint32(m.geometry.x()) << qint32(m.geometry.y())
        << qint32(m.geometry.width()) << qint32(m.geometry.height());
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, ShellMonitor &m)
{
    qint32 x, y, width, height;
    in.beginStructure();
    in >> m.connector >> x >> y >> width >> height;
    in.endStructure();
    m.geometry = QRect(x, y, width, height);
    return in;
}

QDBusArgument &operator<<(QDBusArgument &out, const ShellCurtain &c)
{
    out.beginStructure();
    out << c.connector << c.darkness;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, ShellCurtain &c)
{
    in.beginStructure();
    in >> c.connector >> c.darkness;
    in.endStructure();
    return in;
}

void ShellWire::registerTypes()
{
    qDBusRegisterMetaType<ShellSegment>();
    qDBusRegisterMetaType<QList<ShellSegment>>();
    qDBusRegisterMetaType<ShellMonitor>();
    qDBusRegisterMetaType<QList<ShellMonitor>>();
    qDBusRegisterMetaType<ShellCurtain>();
    qDBusRegisterMetaType<QList<ShellCurtain>>();
}
