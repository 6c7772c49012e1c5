#include "edidreader.h"

#include "screentable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int blockLength = 128;
const char header[] = "\x00\xff\xff\xff\xff\xff\xff\x00";

// The preferred timing: the base block's first detailed timing descriptor.
constexpr int firstDescriptor = 54;

int byteAt(const QByteArray &b, int i)
{
    return static_cast<unsigned char>(b[i]);
}

// Names the window system and the kernel give one connector kind each.
struct Alias
{
    const char *windowSystem;
    const char *kernel;
};
const Alias aliases[] = {{"HDMI-", "HDMI-A-"}, {"DVI-", "DVI-D-"}};

} // namespace

EdidReader::EdidReader(const QString &sysfsRoot) : root(sysfsRoot) {}

QSize EdidReader::sizeMm(const QByteArray &edid)
{
    const QSize none(0, 0);
    if (edid.size() < blockLength || !edid.startsWith(QByteArray(header, 8)))
        return none;
    int sum = 0;
    for (int i = 0; i < blockLength; ++i)
        sum += byteAt(edid, i);
    if (sum % 256 != 0)
        return none;

    // A descriptor with a pixel clock of 0 is no timing.
    const int d = firstDescriptor;
    if (byteAt(edid, d) == 0 && byteAt(edid, d + 1) == 0)
        return none;
    const int widthPx = byteAt(edid, d + 2) | (byteAt(edid, d + 4) & 0xf0) << 4;
    const int heightPx = byteAt(edid, d + 5) | (byteAt(edid, d + 7) & 0xf0) << 4;
    const ScreenRect pixels{0, 0, widthPx - 1, heightPx - 1};

    const QSize timing(byteAt(edid, d + 12) | (byteAt(edid, d + 14) & 0xf0) << 4,
                       byteAt(edid, d + 13) | (byteAt(edid, d + 14) & 0x0f) << 8);
    const QSize believed = ScreenTable::believableMm(timing, pixels);
    if (!believed.isEmpty())
        return timing;
    // Bytes 21 and 22 hold the size in centimetres; with one of them 0 the
    // other is an aspect ratio, no size.
    const QSize screen(byteAt(edid, 21) * 10, byteAt(edid, 22) * 10);
    return ScreenTable::believableMm(screen, pixels).isEmpty() ? none : screen;
}

QByteArray EdidReader::blobOf(const QString &output) const
{
    if (output.isEmpty())
        return QByteArray();
    QStringList connectors{output};
    for (const Alias &a : aliases) {
        if (output.startsWith(a.windowSystem) && !output.startsWith(a.kernel))
            connectors << a.kernel + output.mid(int(qstrlen(a.windowSystem)));
    }
    const QStringList entries = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &connector : connectors) {
        const QRegularExpression name("^card[0-9]+-" + QRegularExpression::escape(connector) + "$");
        QByteArray found;
        for (const QString &entry : entries) {
            if (!name.match(entry).hasMatch())
                continue;
            QFile f(root + "/" + entry + "/edid");
            // A connector with nothing plugged in has an empty file.
            const QByteArray blob = f.open(QIODevice::ReadOnly) ? f.read(1 << 16) : QByteArray();
            if (blob.isEmpty())
                continue;
            if (!found.isEmpty() && found != blob)
                return QByteArray(); // which card drives it is anyone's guess
            found = blob;
        }
        if (!found.isEmpty())
            return found;
    }
    return QByteArray();
}
