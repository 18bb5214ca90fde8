#include "Platform/Input/XcbSupport.h"

#include <cstdint>
#include <utility>

xcb_connection_t* connectToDisplay(const std::string& displayName, int& screenNumber, std::string& usedName)
{
    std::string name = displayName;
    if (name.empty()) {
        const char* environment = std::getenv("DISPLAY");
        if (!environment || !*environment)
            return nullptr;
        name = environment;
    }
    screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(name.c_str(), &screenNumber);
    // A failed connection is an error object that still has to be released.
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection)
            xcb_disconnect(connection);
        return nullptr;
    }
    usedName = std::move(name);
    return connection;
}

xcb_window_t rootWindowOf(xcb_connection_t* connection, int screenNumber)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return XCB_WINDOW_NONE;
    return screens.data->root;
}

xcb_atom_t internAtom(xcb_connection_t* connection, const std::string& name)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    if (!reply)
        return XCB_ATOM_NONE;
    return reply->atom;
}
