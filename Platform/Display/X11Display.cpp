#include "Platform/Display/X11Display.h"

#include <xcb/xcb.h>

namespace X11Display {

bool canOpen(const std::string& display)
{
    if (display.empty())
        return false;
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    // xcb_connect never returns null; a failed connection is an error object
    // that still has to be released.
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opened;
}

} // namespace X11Display
