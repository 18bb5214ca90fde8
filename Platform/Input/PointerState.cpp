#include "Platform/Input/PointerState.h"

#include "Platform/Display/ScreenProvider.h"
#include "Platform/Input/XcbConnection.h"

#include <cstdlib>

Point logicalPointFromNative(Point native, const std::vector<ScreenDescription>& screens)
{
    for (const ScreenDescription& screen : screens) {
        const double scale = screen.backingScale > 0 ? screen.backingScale : 1;
        const Rect nativeFrame{screen.frame.x, screen.frame.y, screen.frame.width * scale,
                               screen.frame.height * scale};
        if (nativeFrame.contains(native))
            return {screen.frame.x + (native.x - screen.frame.x) / scale,
                    screen.frame.y + (native.y - screen.frame.y) / scale};
    }
    const double scale = !screens.empty() && screens.front().backingScale > 0 ? screens.front().backingScale : 1;
    return {native.x / scale, native.y / scale};
}

unsigned mouseButtonsFromX11Mask(std::uint16_t mask)
{
    unsigned buttons = 0;
    if (mask & XCB_KEY_BUT_MASK_BUTTON_1)
        buttons |= MouseButtons::left;
    if (mask & XCB_KEY_BUT_MASK_BUTTON_3)
        buttons |= MouseButtons::right;
    if (mask & XCB_KEY_BUT_MASK_BUTTON_2)
        buttons |= MouseButtons::middle;
    return buttons;
}

KeyModifiers keyModifiersFromX11Mask(std::uint16_t mask)
{
    // Mod1 is Alt and Mod4 Super in every keymap desktops ship.
    return {.shift = (mask & XCB_KEY_BUT_MASK_SHIFT) != 0,
            .control = (mask & XCB_KEY_BUT_MASK_CONTROL) != 0,
            .option = (mask & XCB_KEY_BUT_MASK_MOD_1) != 0,
            .command = (mask & XCB_KEY_BUT_MASK_MOD_4) != 0};
}

X11PointerState::X11PointerState(XcbConnection& connection, const ScreenProvider* screens)
    : m_connection(connection), m_screens(screens)
{
}

X11PointerState::Reading X11PointerState::query() const
{
    xcb_connection_t* c = m_connection.connection();
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, m_connection.rootWindow()), nullptr);
    if (!reply)
        return {};
    Reading reading;
    const Point native{double(reply->root_x), double(reply->root_y)};
    reading.location = m_screens ? logicalPointFromNative(native, m_screens->screens()) : native;
    reading.mask = reply->mask;
    reading.child = reply->child;
    std::free(reply);
    return reading;
}
