#include "pointerwatch.h"
#include "settingsctrl.h"

#include <QtTest>
#include <functional>

// One field of the choices, whatever its type, for the table of keys.
struct Field
{
    std::function<QVariant(const Choices &)> get;
    std::function<void(Choices &, const QVariant &)> set;
};
Q_DECLARE_METATYPE(Field)

namespace {

template <typename T> Field field(T Choices::*member)
{
    return {[member](const Choices &c) { return QVariant::fromValue(c.*member); },
            [member](Choices &c, const QVariant &v) { c.*member = v.value<T>(); }};
}

const char loading[] = "Settings: Loading Settings...\n";

// Every key the store walks, as the file spells it.
const QStringList allKeys = {"boolShowToolTip",
                             "allowLeftWrap",
                             "allowRightWrap",
                             "Choices/easyMove",
                             "Choices/minVelocityOn",
                             "Choices/minVelocity",
                             "Choices/maxVelocityOn",
                             "Choices/maxVelocity",
                             "Choices/screenFocus",
                             "Choices/screenFocusDarkness",
                             "Choices/paused",
                             "Cursor/bypassModifier",
                             "Cursor/wrapWhileButtonHeld",
                             "Cursor/pushThrough",
                             "Cursor/cornerGuard",
                             "Cursor/pauseInFullscreen",
                             "Choices/crossByPhysicalSize"};

} // namespace

// A failed comparison names the fields that differ.
char *toString(const Choices &c)
{
    QString s = QString("tip %1 left %2 right %3 easy %4 min %5/%6 max %7/%8 focus %9/%10 ")
                    .arg(c.showCloseNotice)
                    .arg(c.allowLeftWrap)
                    .arg(c.allowRightWrap)
                    .arg(c.easyMove)
                    .arg(c.minVelocityOn)
                    .arg(c.minVelocity)
                    .arg(c.maxVelocityOn)
                    .arg(c.maxVelocity)
                    .arg(c.screenFocus)
                    .arg(c.screenFocusDarkness);
    s += QString("paused %1 bypass %2 button %3 push %4 fullscreen %5 corners %6 monitors")
             .arg(c.paused)
             .arg(c.bypassModifier)
             .arg(c.wrapWhileButtonHeld)
             .arg(c.pushThrough)
             .arg(c.pauseInFullscreen)
             .arg(c.cornerGuard);
    for (auto it = c.monitorWraps.cbegin(); it != c.monitorWraps.cend(); ++it)
        s += QString(" %1 %2/%3").arg(it.key()).arg(it.value().top).arg(it.value().bottom);
    s += QString(" by size %1").arg(c.crossByPhysicalSize);
    for (auto it = c.monitorSizesMm.cbegin(); it != c.monitorSizesMm.cend(); ++it)
        s += QString(" %1 %2x%3").arg(it.key()).arg(it->width()).arg(it->height());
    for (auto it = c.monitorOffsetsMm.cbegin(); it != c.monitorOffsetsMm.cend(); ++it)
        s += QString(" %1-%2 %3").arg(it.key().first, it.key().second).arg(*it);
    return qstrdup(qPrintable(s));
}

// The store is redirected into a throw-away folder for the whole test.
class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString file() const { return dir.path() + "/Brenvik/Pellmar.conf"; }

    void writeFile(const QByteArray &content)
    {
        QDir().mkpath(dir.path() + "/Brenvik");
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    // One stored value, written as another program (or an older Pellmar)
    // would have left it.
    void writeValue(const QString &key, const QString &value)
    {
        QFile::remove(file());
        QSettings(file(), QSettings::IniFormat).setValue(key, value);
    }

    static Choices load(SettingsCtrl &store)
    {
        QTest::ignoreMessage(QtDebugMsg, loading);
        return store.load();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    }

    void init() { QFile::remove(file()); }

    void everyKey_data()
    {
        QTest::addColumn<Field>("field");
        QTest::addColumn<QVariant>("fallback");
        QTest::addColumn<QVariant>("other");      // a value that is not the default
        QTest::addColumn<QString>("written");     // how the file spells it
        QTest::addColumn<QStringList>("spelled"); // other spellings read as it
        QTest::addColumn<QStringList>("bad");     // values that give the default
        QTest::addColumn<QStringList>("lines");   // and the line each one logs

        const auto flag = [](const char *key, bool Choices::*member, bool fallback) {
            const QString dflt = fallback ? "true" : "false", other = fallback ? "false" : "true";
            const QString said = QString("Settings: %1 is not a yes or no: ").arg(key);
            QTest::newRow(key) << field(member) << QVariant(fallback) << QVariant(!fallback)
                               << other
                               << (fallback ? QStringList{"no", " OFF ", "0"}
                                            : QStringList{"yes", " On ", "1"})
                               << QStringList{"maybe", "2"}
                               << QStringList{said + "maybe - using " + dflt,
                                              said + "2 - using " + dflt};
        };
        const auto numberIn = [](const char *key, const Field &f, int fallback, int other, int low,
                                 int high) {
            const QString said = QString("Settings: %1 is not a number from %2 to %3 : ")
                                     .arg(key)
                                     .arg(low)
                                     .arg(high);
            const QString using_ = QString(" - using %1").arg(fallback);
            const QString under = QString::number(low - 1), over = QString::number(high + 1);
            QTest::newRow(key) << f << QVariant(fallback) << QVariant(other)
                               << QString::number(other) << QStringList{QString(" %1 ").arg(other)}
                               << QStringList{under, over, "fast", "12.5"}
                               << QStringList{said + under + using_, said + over + using_,
                                              said + "fast" + using_, said + "12.5" + using_};
        };
        const auto number = [&numberIn](const char *key, int Choices::*member, int fallback,
                                        int other, int high) {
            numberIn(key, field(member), fallback, other, 0, high);
        };

        flag("boolShowToolTip", &Choices::showCloseNotice, true);
        flag("allowLeftWrap", &Choices::allowLeftWrap, false);
        flag("allowRightWrap", &Choices::allowRightWrap, false);
        flag("Choices/easyMove", &Choices::easyMove, false);
        flag("Choices/minVelocityOn", &Choices::minVelocityOn, false);
        number("Choices/minVelocity", &Choices::minVelocity, 0, 40, 10000);
        flag("Choices/maxVelocityOn", &Choices::maxVelocityOn, false);
        number("Choices/maxVelocity", &Choices::maxVelocity, 0, 120, 10000);
        flag("Choices/screenFocus", &Choices::screenFocus, false);
        number("Choices/screenFocusDarkness", &Choices::screenFocusDarkness, 50, 70, 100);
        flag("Choices/paused", &Choices::paused, false);
        const QString said = "Settings: Cursor/bypassModifier is none of the words it takes: ";
        QTest::newRow("Cursor/bypassModifier")
            << field(&Choices::bypassModifier) << QVariant(0u) << QVariant(unsigned(AltKey))
            << QString("alt") << QStringList{"ALT", " Alt "} << QStringList{"hyper", "alt+ctrl"}
            << QStringList{said + "hyper - using none", said + "alt+ctrl - using none"};
        flag("Cursor/wrapWhileButtonHeld", &Choices::wrapWhileButtonHeld, false);
        number("Cursor/pushThrough", &Choices::pushThrough, 0, 80, 500);
        number("Cursor/cornerGuard", &Choices::cornerGuard, 0, 40, 500);
        flag("Cursor/pauseInFullscreen", &Choices::pauseInFullscreen, true);
        flag("Choices/crossByPhysicalSize", &Choices::crossByPhysicalSize, false);
        // Per monitor, by output name: a size's sides, a pair's offset.
        const auto sizeOf = [](bool width) {
            return Field{[width](const Choices &c) {
                             const QSize mm = c.monitorSizesMm.value("DP-1", QSize(0, 0));
                             return QVariant(width ? mm.width() : mm.height());
                         },
                         [width](Choices &c, const QVariant &v) {
                             QSize mm = c.monitorSizesMm.value("DP-1", QSize(0, 0));
                             (width ? mm.rwidth() : mm.rheight()) = v.toInt();
                             c.monitorSizesMm["DP-1"] = mm;
                         }};
        };
        numberIn("Choices/Monitors/DP-1/widthMm", sizeOf(true), 0, 597, 1, 3000);
        numberIn("Choices/Monitors/DP-1/heightMm", sizeOf(false), 0, 336, 1, 3000);
        numberIn("Choices/Monitors/DP-1/offsetMm/HDMI-1",
                 Field{[](const Choices &c) { return QVariant(c.offsetMm("DP-1", "HDMI-1")); },
                       [](Choices &c, const QVariant &v) {
                           c.setOffsetMm("DP-1", "HDMI-1", v.toInt());
                       }},
                 0, -25, -3000, 3000);
    }

    void everyKey()
    {
        QFETCH(Field, field);
        QFETCH(QVariant, fallback);
        QFETCH(QVariant, other);
        QFETCH(QStringList, bad);
        QFETCH(QStringList, lines);
        const QString key = QString::fromLatin1(QTest::currentDataTag());
        SettingsCtrl store;

        // Missing: its default, the same as defaults() gives.
        QCOMPARE(field.get(SettingsCtrl::defaults()), fallback);
        QCOMPARE(load(store), SettingsCtrl::defaults());

        // Another value goes to the file and comes back, and nothing else
        // changes with it.
        Choices changed = SettingsCtrl::defaults();
        field.set(changed, other);
        QVERIFY(changed != SettingsCtrl::defaults());
        QVERIFY(store.save(changed));
        QTEST(QSettings(file(), QSettings::IniFormat).value(key).toString(), "written");
        QCOMPARE(load(store), changed);

        QFETCH(QStringList, spelled);
        for (const QString &word : spelled) {
            writeValue(key, word);
            QCOMPARE(field.get(load(store)), other);
        }

        // Anything it does not take gives the default, and says so.
        QCOMPARE(bad.size(), lines.size());
        for (int k = 0; k < bad.size(); ++k) {
            writeValue(key, bad[k]);
            QTest::ignoreMessage(QtWarningMsg, qPrintable(lines[k]));
            QCOMPARE(load(store), SettingsCtrl::defaults());
        }
    }

    void saveWritesEveryKeyWhereItAlwaysWas()
    {
        // Defaults too: the file shows every choice. The three first keys
        // stay at the top level, where older versions look for them.
        QVERIFY(SettingsCtrl().save(SettingsCtrl::defaults()));
        QSettings stored(file(), QSettings::IniFormat);
        QCOMPARE(stored.childKeys(),
                 (QStringList{"allowLeftWrap", "allowRightWrap", "boolShowToolTip"}));
        QStringList keys = stored.allKeys(), expected = allKeys;
        keys.sort();
        expected.sort();
        QCOMPARE(keys, expected);
    }

    void oldFileStartsAsBefore()
    {
        // Only the three old keys: everything else at its default.
        writeFile("[General]\nallowLeftWrap=true\nallowRightWrap=false\nboolShowToolTip=false\n");
        Choices expected = SettingsCtrl::defaults();
        expected.allowLeftWrap = true;
        expected.showCloseNotice = false;
        SettingsCtrl store;
        QCOMPARE(load(store), expected);
    }

    void monitorWrapsByName()
    {
        SettingsCtrl store;
        Choices c = SettingsCtrl::defaults();
        c.monitorWraps["DP-1"] = {true, false};
        c.monitorWraps["HDMI-2"] = {false, true};
        QVERIFY(store.save(c));
        QSettings stored(file(), QSettings::IniFormat);
        QCOMPARE(stored.value("Choices/Monitors/DP-1/wrapTop").toString(), QString("true"));
        QCOMPARE(stored.value("Choices/Monitors/DP-1/wrapBottom").toString(), QString("false"));
        QCOMPARE(stored.value("Choices/Monitors/HDMI-2/wrapBottom").toString(), QString("true"));
        QCOMPARE(load(store), c);

        // A switch it cannot read is off, and said so; a missing one is off.
        writeFile("[Choices]\nMonitors\\DP-1\\wrapTop=sometimes\nMonitors\\DP-2\\wrapBottom=on\n");
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Settings: (Choices/Monitors/)?DP-1/wrapTop is "
                                                "not a yes or no: sometimes - using false$"));
        const QHash<QString, MonitorWraps> read = load(store).monitorWraps;
        QCOMPARE(read.size(), 2);
        QVERIFY(read["DP-1"] == (MonitorWraps{false, false}));
        QVERIFY(read["DP-2"] == (MonitorWraps{false, true}));
    }

    void monitorSizesAndOffsets()
    {
        // Written by hand before Pellmar ever ran: sizes with no wraps, a
        // pair under the second name of the two (as seen from there).
        writeFile("[Choices]\nMonitors\\eDP-1\\widthMm=302\nMonitors\\eDP-1\\heightMm=189\n"
                  "Monitors\\HDMI-1\\offsetMm\\DP-1=40\nMonitors\\DP-2\\widthMm=600\n");
        SettingsCtrl store;
        Choices c = load(store);
        QCOMPARE(c.monitorSizesMm.value("eDP-1"), QSize(302, 189));
        QCOMPARE(c.monitorSizesMm.value("DP-2"), QSize(600, 0)); // kept, but no size to use
        QVERIFY(c.monitorWraps.isEmpty());
        QCOMPARE(c.offsetMm("DP-1", "HDMI-1"), -40);
        QCOMPARE(c.offsetMm("HDMI-1", "DP-1"), 40);

        // A size taken back and an offset moved: the file follows.
        c.monitorSizesMm.remove("eDP-1");
        c.setOffsetMm("HDMI-1", "DP-1", 0);
        c.setOffsetMm("eDP-1", "DP-1", 12);
        QVERIFY(store.save(c));
        QSettings stored(file(), QSettings::IniFormat);
        QVERIFY(!stored.contains("Choices/Monitors/eDP-1/widthMm"));
        QCOMPARE(stored.value("Choices/Monitors/DP-1/offsetMm/eDP-1").toString(), QString("-12"));
        QCOMPARE(load(store), c);

        // Another store's size comes over; one of ours not yet written stays.
        SettingsCtrl other;
        Choices theirs = load(other);
        theirs.monitorSizesMm["DP-3"] = QSize(531, 299);
        QVERIFY(other.save(theirs));
        c.setOffsetMm("DP-1", "DP-3", 5);
        const Choices merged = store.takeChanges(c);
        QCOMPARE(merged.monitorSizesMm.value("DP-3"), QSize(531, 299));
        QCOMPARE(merged.offsetMm("DP-3", "DP-1"), -5);
    }

    void settingsWords_data()
    {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<int>("read"); // 1 true, 0 false, -1 the default with a log line
        for (const char *w : {"true", "TRUE", "Yes", "on", "1", " On "})
            QTest::newRow(w) << QByteArray(w) << 1;
        for (const char *w : {"false", "No", "OFF", "0"})
            QTest::newRow(w) << QByteArray(w) << 0;
        for (const char *w : {"maybe", "2", "", "enabled"})
            QTest::newRow(w) << QByteArray(w) << -1;
    }

    void settingsWords()
    {
        QFETCH(QByteArray, word);
        QFETCH(int, read);
        for (bool fallback : {false, true}) {
            if (read < 0)
                QTest::ignoreMessage(QtWarningMsg,
                                     QRegularExpression("^Settings: Choices/easyMove is not"));
            QCOMPARE(
                SettingsCtrl::readBool("Choices/easyMove", QString::fromLatin1(word), fallback),
                read < 0 ? fallback : read == 1);
        }
        // Numbers: in range, or the default and a log line.
        QCOMPARE(SettingsCtrl::readInt("n", "42", 5, 0, 100), 42);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Settings: n is not a number"));
        QCOMPARE(SettingsCtrl::readInt("n", "142", 5, 0, 100), 5);
    }

    void otherKeysInTheFileAreKept()
    {
        writeFile("[General]\nallowLeftWrap=true\n[Extra]\nnote=kept\n");
        SettingsCtrl store;
        const Choices c = load(store);
        QVERIFY(c.allowLeftWrap);
        QVERIFY(store.save(c));
        QSettings stored(file(), QSettings::IniFormat);
        QCOMPARE(stored.value("Extra/note").toString(), QString("kept"));
        QCOMPARE(stored.value("allowLeftWrap").toString(), QString("true"));
    }

    void twoStoresOnOneFileKeepEachOthersChanges()
    {
        // Two Pellmars of one user, in two sessions: each saves only what
        // it changed, and takes what the other changed.
        const auto reread = [] {
            SettingsCtrl fresh;
            return load(fresh);
        };
        SettingsCtrl first, second;
        Choices mine = load(first), theirs = load(second);
        QVERIFY(first.save(mine) && second.save(theirs)); // the file complete
        mine.allowRightWrap = true;
        mine.monitorWraps["DP-1"].top = true;
        QVERIFY(first.save(mine));
        theirs.paused = true;
        theirs.minVelocity = 40;
        QVERIFY(second.save(theirs)); // has not seen the first's change yet
        QCOMPARE(reread(), [] {
            Choices both = SettingsCtrl::defaults();
            both.allowRightWrap = true;
            both.monitorWraps["DP-1"].top = true;
            both.paused = true;
            both.minVelocity = 40;
            return both;
        }());
        // The first takes the second's changes; one of its own that is not
        // yet written stays, even where the second changed the same key.
        mine.minVelocity = 80;
        const Choices merged = first.takeChanges(mine);
        QVERIFY(merged.paused);
        QCOMPARE(merged.minVelocity, 80);
        QVERIFY(merged.allowRightWrap && merged.monitorWraps["DP-1"].top);
        QVERIFY(first.save(merged));
        QCOMPARE(reread().minVelocity, 80);
        // The second takes all of the first's; asked again, there is
        // nothing new to take.
        const Choices seen = second.takeChanges(theirs);
        QVERIFY(seen.allowRightWrap && seen.monitorWraps["DP-1"].top && seen.paused);
        QCOMPARE(seen.minVelocity, 80);
        QCOMPARE(second.takeChanges(seen), seen);
    }

    void aFailedSaveIsSaidOnce()
    {
        // A folder where the file should be: it cannot be written, even by
        // root.
        QVERIFY(QDir().mkpath(file()));
        static int said = 0;
        said = 0;
        static QtMessageHandler before = nullptr;
        before = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
                if (type == QtWarningMsg && message.startsWith("Settings: could not save"))
                    ++said;
                before(type, context, message);
            });
        SettingsCtrl store;
        const QString line = "Settings: could not save to " + store.fileName();
        QTest::ignoreMessage(QtWarningMsg, qPrintable(line));
        const bool first = store.save(SettingsCtrl::defaults());
        const bool second = store.save(SettingsCtrl::defaults());
        // The save at the end is said whatever was said before.
        QTest::ignoreMessage(QtWarningMsg, qPrintable(line));
        const bool last = store.save(SettingsCtrl::defaults(), SettingsCtrl::Report::Always);
        qInstallMessageHandler(before);
        QVERIFY(QDir(file()).removeRecursively());
        QVERIFY(!first && !second && !last);
        QCOMPARE(said, 2);
        QCOMPARE(store.fileName(), file());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
