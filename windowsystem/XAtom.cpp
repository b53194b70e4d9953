#include "XAtom.h"

#include <cstdlib>
#include <cstring>

xcb_atom_t XAtom::intern(xcb_connection_t *connection, const char *name, bool onlyIfExists)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, onlyIfExists, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}
