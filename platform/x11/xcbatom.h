#pragma once

#include <xcb/xcb.h>

// X atoms by name, for the X connections of the platform.
namespace XcbAtom {

// The atom called `name` on `c`, made if new; XCB_ATOM_NONE if the server
// does not answer.
xcb_atom_t intern(xcb_connection_t *c, const char *name);

} // namespace XcbAtom
