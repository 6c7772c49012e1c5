#include "xcbatom.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace XcbAtom {

xcb_atom_t intern(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = XCB_ATOM_NONE;
    if (reply)
        a = reply->atom;
    std::free(reply);
    return a;
}

} // namespace XcbAtom
