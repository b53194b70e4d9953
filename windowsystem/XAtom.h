#ifndef XATOM_H
#define XATOM_H

#include <xcb/xcb.h>

namespace XAtom {

// The atom of the given name; XCB_ATOM_NONE when the server does not answer or, with
// onlyIfExists, while no client has created it yet.
xcb_atom_t intern(xcb_connection_t *connection, const char *name, bool onlyIfExists = false);

} // namespace XAtom

#endif // XATOM_H
