#include "desktopchooser.h"
#include "desktopfeatures.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using Backend = DesktopChooser::Backend;
Q_DECLARE_METATYPE(Backend)

namespace {

// The README's table of desktops: its column headings, then each row's
// cells by the row's first cell.
struct Table
{
    QStringList headings;
    QMap<QString, QStringList> rows;
};

Table readmeTable()
{
    QFile file(PELLMAR_README);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    Table t;
    const int from = lines.indexOf("### Desktops");
    for (int i = from + 1; from >= 0 && i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (!line.startsWith('|')) {
            if (!t.headings.isEmpty())
                break;
            continue;
        }
        QStringList cells = line.mid(1, line.size() - 2).split('|');
        for (QString &c : cells)
            c = c.trimmed();
        if (t.headings.isEmpty())
            t.headings = cells;
        else if (!cells.value(0).startsWith("---"))
            t.rows.insert(cells.value(0), cells);
    }
    return t;
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void choosesOnceFromTheSession_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("x11");
        QTest::addColumn<QString>("qt");
        QTest::addColumn<Backend>("backend");
        QTest::addColumn<QString>("asked"); // the Qt plugin asked for
        QTest::newRow("X11") << "x11"
                             << ""
                             << ""
                             << ":0"
                             << "xcb" << Backend::X11 << "";
        QTest::newRow("GNOME on Xorg") << "x11"
                                       << "GNOME"
                                       << ""
                                       << ":0"
                                       << "xcb" << Backend::X11 << "";
        QTest::newRow("sway") << "wayland"
                              << "sway"
                              << "wayland-1"
                              << ":1"
                              << "wayland" << Backend::Wlroots << "wayland";
        QTest::newRow("no session type") << ""
                                         << ""
                                         << "wayland-1"
                                         << ""
                                         << "wayland" << Backend::Wlroots << "wayland";
        QTest::newRow("GNOME") << "wayland"
                               << "GNOME"
                               << "wayland-0"
                               << ":0"
                               << "wayland" << Backend::Gnome << "wayland";
        QTest::newRow("Ubuntu's GNOME") << "wayland"
                                        << "ubuntu:GNOME"
                                        << "wayland-0"
                                        << ""
                                        << "wayland" << Backend::Gnome << "wayland";
        QTest::newRow("GNOME, Qt through XWayland") << "wayland"
                                                    << "GNOME"
                                                    << "wayland-0"
                                                    << ":0"
                                                    << "xcb" << Backend::Gnome << "xcb";
        QTest::newRow("KDE, not a wlroots desktop") << "wayland"
                                                    << "KDE"
                                                    << "wayland-0"
                                                    << ":0"
                                                    << "wayland" << Backend::Kde << "wayland";
        QTest::newRow("sway, Qt through XWayland") << "wayland"
                                                   << "sway"
                                                   << "wayland-1"
                                                   << ":1"
                                                   << "xcb" << Backend::QtOnly << "xcb";
        QTest::newRow("offscreen") << ""
                                   << ""
                                   << ""
                                   << ""
                                   << "offscreen" << Backend::QtOnly << "offscreen";
    }

    void choosesOnceFromTheSession()
    {
        QFETCH(QString, type);
        QFETCH(QString, desktop);
        QFETCH(QString, wayland);
        QFETCH(QString, x11);
        QFETCH(QString, qt);
        QFETCH(Backend, backend);
        QFETCH(QString, asked);
        Session s{type, desktop, wayland, x11, QString()};
        // Nothing asked for: a Wayland session gets a Wayland client.
        if (asked != "xcb" && asked != "offscreen")
            QCOMPARE(DesktopChooser::qtPlatformFor(s), asked);
        s.qtPlatform = qt;
        const DesktopChooser::Choice choice = DesktopChooser::choose(s);
        QCOMPARE(choice.backend, backend);
        QVERIFY(!choice.why.isEmpty());
    }

    void noWaylandDesktopIsToldToLogInToX11()
    {
        // Plasma and GNOME have no X11 session to go back to.
        for (const DesktopChooser::Declared &d : DesktopChooser::declared()) {
            for (const QString &line : d.features.describe())
                QVERIFY2(d.desktop == "X11" || !line.contains("X11"), qPrintable(line));
        }
    }

    void readmeTableAgreesWithTheBackends()
    {
        const Table table = readmeTable();
        QVERIFY2(!table.headings.isEmpty(), "no table under \"### Desktops\" in the README");
        for (const Feature f : DesktopFeatures::all())
            QVERIFY2(table.rows.contains(DesktopFeatures::label(f)),
                     qPrintable("the README has no row for " + DesktopFeatures::label(f)));
        const auto declared = DesktopChooser::declared();
        QVERIFY(declared.size() >= 2);
        for (const DesktopChooser::Declared &d : declared) {
            int column = -1;
            for (int i = 1; i < table.headings.size(); ++i) {
                if (table.headings[i].startsWith(d.desktop))
                    column = i;
            }
            QVERIFY2(column > 0, qPrintable("the README has no column for " + d.desktop));
            for (const Feature f : DesktopFeatures::all()) {
                const QString label = DesktopFeatures::label(f);
                const QString cell = table.rows[label].value(column);
                const QString word = cell.section(QRegularExpression("[^a-z]"), 0, 0);
                const QString where = d.desktop + ", " + label + ": \"" + cell + "\"";
                QVERIFY2(word == "yes" || word == "no", qPrintable(where));
                QVERIFY2((word == "yes") == d.features.available(f), qPrintable(where));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
