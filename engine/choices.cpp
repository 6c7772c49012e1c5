#include "choices.h"

namespace {

// An entry not there is one at `none` (a monitor with both wraps off, no
// size given, a pair with level middles): the same choice.
template <typename K, typename V>
bool sameEntries(const QHash<K, V> &a, const QHash<K, V> &b, const V &none)
{
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        if (!(b.value(it.key(), none) == *it))
            return false;
    }
    for (auto it = b.cbegin(); it != b.cend(); ++it) {
        if (!(a.value(it.key(), none) == *it))
            return false;
    }
    return true;
}

} // namespace

bool Choices::operator==(const Choices &o) const
{
    return showCloseNotice == o.showCloseNotice && allowLeftWrap == o.allowLeftWrap &&
           allowRightWrap == o.allowRightWrap && easyMove == o.easyMove &&
           minVelocityOn == o.minVelocityOn && minVelocity == o.minVelocity &&
           maxVelocityOn == o.maxVelocityOn && maxVelocity == o.maxVelocity &&
           screenFocus == o.screenFocus && screenFocusDarkness == o.screenFocusDarkness &&
           paused == o.paused && bypassModifier == o.bypassModifier &&
           wrapWhileButtonHeld == o.wrapWhileButtonHeld && pushThrough == o.pushThrough &&
           pauseInFullscreen == o.pauseInFullscreen && cornerGuard == o.cornerGuard &&
           sameEntries(monitorWraps, o.monitorWraps, MonitorWraps()) &&
           crossByPhysicalSize == o.crossByPhysicalSize &&
           sameEntries(monitorSizesMm, o.monitorSizesMm, QSize(0, 0)) &&
           sameEntries(monitorOffsetsMm, o.monitorOffsetsMm, 0);
}

int Choices::offsetMm(const QString &first, const QString &second) const
{
    // Seen from the other monitor, its middle stands as far the other way.
    if (second < first)
        return -monitorOffsetsMm.value(qMakePair(second, first));
    return monitorOffsetsMm.value(qMakePair(first, second));
}

void Choices::setOffsetMm(const QString &first, const QString &second, int mm)
{
    const bool inOrder = !(second < first);
    const QPair<QString, QString> key =
        inOrder ? qMakePair(first, second) : qMakePair(second, first);
    if (mm == 0)
        monitorOffsetsMm.remove(key);
    else
        monitorOffsetsMm[key] = inOrder ? mm : -mm;
}
