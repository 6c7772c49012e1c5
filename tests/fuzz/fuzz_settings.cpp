#include "settingsctrl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

// Whatever a settings file holds, the choices read from it are within their
// ranges; and once Pellmar has saved into it, what it saves reads back as
// the same choices. (The first save may change what a garbled file means:
// QSettings writes back, in its own form, what it could make of the rest of
// the file, and that may read as more than it did.)

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

struct Folder
{
    Folder()
    {
        qInstallMessageHandler(quiet);
        require(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QDir().mkpath(dir.path() + "/Brenvik");
    }
    QString file() const { return dir.path() + "/Brenvik/Pellmar.conf"; }
    QTemporaryDir dir;
};

bool within(int n, int low, int high)
{
    return n >= low && n <= high;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Folder folder;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));

    // The value readers on their own, on any text.
    const QVariant value(QString::fromUtf8(bytes));
    const int n = SettingsCtrl::readInt("k", value, 7, -3, 300);
    require(n == 7 || within(n, -3, 300));
    const bool b = SettingsCtrl::readBool("k", value, true);
    require(b || SettingsCtrl::readBool("k", value, false) == b);

    // A whole file.
    {
        QFile f(folder.file());
        require(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    SettingsCtrl store;
    const Choices read = store.load();
    require(within(read.minVelocity, 0, 10000) && within(read.maxVelocity, 0, 10000));
    require(within(read.screenFocusDarkness, 0, 100) && within(read.pushThrough, 0, 500));
    require(store.save(read));
    SettingsCtrl saved;
    const Choices once = saved.load();
    // A store that has read nothing writes every key.
    SettingsCtrl writer;
    require(writer.save(once));
    SettingsCtrl again;
    require(again.load() == once);
    return 0;
}
