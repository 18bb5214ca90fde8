#pragma once
// Moves the pointer and presses buttons and keys on an X server the way real
// devices do: XTEST input goes through the server's input path and produces
// raw events and drags, unlike warping the pointer.
//
// Header-only, like the private daemons.

#include "Platform/Input/XcbConnection.h"

#include "TestSupport.h"

#include <xcb/xtest.h>

#include <cstdlib>

namespace testsupport {

class XTestPointer {
public:
    /// Drives through `connection`. When `observer` is given, each step also
    /// waits until it has read and handled the events the step caused, as an
    /// app that keeps up would.
    explicit XTestPointer(XcbConnection& connection, XcbConnection* observer = nullptr)
        : m_connection(connection), m_observer(observer)
    {
    }

    void moveTo(int x, int y) { send(XCB_MOTION_NOTIFY, 0, x, y); }
    void press(int button) { send(XCB_BUTTON_PRESS, std::uint8_t(button)); }
    void release(int button) { send(XCB_BUTTON_RELEASE, std::uint8_t(button)); }
    void click(int x, int y, int button = 1)
    {
        moveTo(x, y);
        press(button);
        release(button);
    }
    void key(std::uint8_t keycode, bool down) { send(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode); }

    /// Waits until the server has handled everything sent so far.
    void sync()
    {
        roundTrip(m_connection);
        if (!m_observer)
            return;
        // Events for the observer queued before this reply come before it.
        roundTrip(*m_observer);
        m_observer->dispatchPending();
        processEvents();
        // What the observer asked for in turn (a new event selection) is in
        // force before the next step.
        roundTrip(*m_observer);
    }

    static void roundTrip(XcbConnection& connection)
    {
        xcb_connection_t* c = connection.connection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }

private:
    void send(std::uint8_t type, std::uint8_t detail, int x = 0, int y = 0)
    {
        xcb_test_fake_input(m_connection.connection(), type, detail, XCB_CURRENT_TIME, m_connection.rootWindow(),
                            std::int16_t(x), std::int16_t(y), 0);
        sync();
    }

    XcbConnection& m_connection;
    XcbConnection* m_observer;
};

} // namespace testsupport
