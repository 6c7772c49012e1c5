#include "choices.h"

bool Choices::operator==(const Choices &o) const
{
    return showCloseNotice == o.showCloseNotice && allowLeftWrap == o.allowLeftWrap &&
           allowRightWrap == o.allowRightWrap && easyMove == o.easyMove &&
           minVelocityOn == o.minVelocityOn && minVelocity == o.minVelocity &&
           maxVelocityOn == o.maxVelocityOn && maxVelocity == o.maxVelocity &&
           screenFocus == o.screenFocus && screenFocusDarkness == o.screenFocusDarkness &&
           paused == o.paused && bypassModifier == o.bypassModifier &&
           wrapWhileButtonHeld == o.wrapWhileButtonHeld && pushThrough == o.pushThrough &&
           monitorWraps == o.monitorWraps;
}
