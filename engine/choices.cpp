#include "choices.h"

namespace {

// A monitor not named is one with both wraps off: the same choice.
bool sameWraps(const QHash<QString, MonitorWraps> &a, const QHash<QString, MonitorWraps> &b)
{
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        if (b.value(it.key()) != *it)
            return false;
    }
    for (auto it = b.cbegin(); it != b.cend(); ++it) {
        if (a.value(it.key()) != *it)
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
           sameWraps(monitorWraps, o.monitorWraps);
}
