#include "Platform/Shell/KeyboardFocus.h"

#include "Platform/Input/XcbConnection.h"
#include "Platform/Shell/InputShaper.h"

#include <cstdlib>

std::uint32_t X11KeyboardFocus::currentFocus()
{
    xcb_connection_t* c = m_connection.connection();
    xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    if (!reply)
        return XCB_WINDOW_NONE;
    const xcb_window_t focus = reply->focus;
    std::free(reply);
    return focus;
}

void X11KeyboardFocus::rememberFocusBefore(std::uint64_t ours)
{
    const std::uint32_t focus = currentFocus();
    if (focus != ours)
        m_previous = focus;
}

void X11KeyboardFocus::giveBack(std::uint64_t ours)
{
    // Qt gives our window the keyboard through its own connection.
    syncWithQtConnection();
    if (currentFocus() != ours)
        return; // the user has moved on already
    xcb_connection_t* c = m_connection.connection();
    xcb_window_t target = XCB_INPUT_FOCUS_POINTER_ROOT;
    // 0 and 1 are "none" and "pointer root", not windows.
    if (m_previous > 1) {
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, m_previous), nullptr);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            target = m_previous;
        std::free(attributes);
    }
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, target, XCB_CURRENT_TIME);
    xcb_flush(c);
    m_previous = 0;
}
