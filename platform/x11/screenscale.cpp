#include "screenscale.h"

#include <algorithm>
#include <cmath>

namespace {

int scaled(int length, double ratio)
{
    return int(std::lround(length * ratio));
}

} // namespace

QRect ScreenScale::nativeOf(const Screen &s)
{
    if (!s.native.isNull())
        return s.native;
    return QRect(s.logical.topLeft(),
                 QSize(scaled(s.logical.width(), s.ratio), scaled(s.logical.height(), s.ratio)));
}

QRect ScreenScale::toLogical(const QRect &native, const std::vector<Screen> &screens)
{
    for (const Screen &s : screens) {
        const QRect area = nativeOf(s);
        if (!area.contains(native.topLeft()))
            continue;
        if (native == area)
            return s.logical; // a whole screen: exactly Qt's own
        const QPoint offset = native.topLeft() - area.topLeft();
        return QRect(
            s.logical.topLeft() +
                QPoint(scaled(offset.x(), 1 / s.ratio), scaled(offset.y(), 1 / s.ratio)),
            QSize(scaled(native.width(), 1 / s.ratio), scaled(native.height(), 1 / s.ratio)));
    }
    return native;
}

QPoint ScreenScale::toNative(const QPoint &logical, const std::vector<Screen> &screens)
{
    for (const Screen &s : screens) {
        if (!s.logical.contains(logical))
            continue;
        const QPoint offset = logical - s.logical.topLeft();
        const QRect area = nativeOf(s);
        const QPoint p =
            area.topLeft() + QPoint(scaled(offset.x(), s.ratio), scaled(offset.y(), s.ratio));
        // Never past the screen's last pixel.
        return QPoint(std::min(p.x(), area.right()), std::min(p.y(), area.bottom()));
    }
    return logical;
}
