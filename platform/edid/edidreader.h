#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// A monitor's size as its EDID gives it, for where the window system gives
// none: the blob the kernel keeps for each connector under
// <sysfs root>/card<n>-<connector>/edid, and the image size in its base
// block. Reads files only; Qt Core.
class EdidReader
{
public:
    explicit EdidReader(const QString &sysfsRoot = QStringLiteral("/sys/class/drm"));

    // The image size in millimetres the blob's base block gives: the
    // preferred timing's, else the screen size in centimetres; 0x0 where
    // the block is not whole and sound or the size is not believable for
    // the preferred timing's pixels (not given, the shape's numbers only,
    // too large).
    static QSize sizeMm(const QByteArray &edid);

    // The EDID of the monitor on this output (by connector name: "DP-1",
    // also "HDMI-A-1" for an "HDMI-1"); empty where there is none, or where
    // two cards have one and they differ.
    QByteArray blobOf(const QString &output) const;

    QSize sizeMmOf(const QString &output) const { return sizeMm(blobOf(output)); }

private:
    QString root;
};
