#pragma once
// A second X client for key tests: it types with XTEST as a keyboard would,
// holds key grabs as a desktop's media-key daemon does, changes the keyboard
// mapping, and owns a focused window that counts the keys it receives, so a
// test can see whether a key reached the focused window or was kept from it.
//
// Header-only, so benchmarks can use it too. Link PkgConfig::XCB_XTEST.

#include "Platform/Input/X11KeyboardMapping.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

namespace testsupport {

class XTestKeyboard {
public:
    XTestKeyboard() = default;
    ~XTestKeyboard()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    /// Connects to `display` (":1"); false when no server answers.
    bool open(const std::string& display)
    {
        int screenNumber = 0;
        m_connection = xcb_connect(display.c_str(), &screenNumber);
        if (xcb_connection_has_error(m_connection))
            return false;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < screenNumber && screens.rem; ++i)
            xcb_screen_next(&screens);
        m_root = screens.data->root;
        return true;
    }

    xcb_connection_t* connection() const { return m_connection; }

    /// The first key code carrying `symbol` now; 0 when none does.
    xcb_keycode_t keycode(KeySymbol symbol) const
    {
        const auto keycodes = X11KeyboardMapping::read(m_connection).keycodes(symbol);
        return keycodes.empty() ? 0 : keycodes.front();
    }

    void press(xcb_keycode_t keycode) { fake(XCB_KEY_PRESS, keycode); }
    void release(xcb_keycode_t keycode) { fake(XCB_KEY_RELEASE, keycode); }
    void tap(xcb_keycode_t keycode)
    {
        press(keycode);
        release(keycode);
    }

    /// Makes a window, maps it and gives it the input focus; its key events
    /// are counted by pollEvents(). False when it was not mapped in time.
    bool createFocusedWindow()
    {
        m_window = xcb_generate_id(m_connection);
        const std::uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_root, 0, 0, 40, 40, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        xcb_map_window(m_connection, m_window);
        xcb_flush(m_connection);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!m_isMapped && std::chrono::steady_clock::now() < deadline) {
            pollEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!m_isMapped)
            return false;
        xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_PARENT, m_window, XCB_CURRENT_TIME);
        sync();
        return true;
    }

    /// Reads what has arrived; counts the window's key presses and releases.
    void pollEvents()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            switch (event->response_type & 0x7f) {
            case XCB_MAP_NOTIFY:
                m_isMapped = true;
                break;
            case XCB_KEY_PRESS:
                ++m_presses[reinterpret_cast<xcb_key_press_event_t*>(event)->detail];
                break;
            case XCB_KEY_RELEASE:
                ++m_releases[reinterpret_cast<xcb_key_release_event_t*>(event)->detail];
                break;
            default:
                break;
            }
            std::free(event);
        }
    }

    /// Presses and releases of `keycode` the focused window has received.
    int presses(xcb_keycode_t keycode)
    {
        pollEvents();
        return m_presses[keycode];
    }
    int releases(xcb_keycode_t keycode)
    {
        pollEvents();
        return m_releases[keycode];
    }

    /// Takes `keycode` as a desktop's media-key daemon would: with any
    /// modifiers. False when another client holds it.
    bool grabKey(xcb_keycode_t keycode)
    {
        auto* error = xcb_request_check(m_connection, xcb_grab_key_checked(m_connection, 1, m_root, XCB_MOD_MASK_ANY, keycode,
                                                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }
    void ungrabKey(xcb_keycode_t keycode)
    {
        xcb_ungrab_key(m_connection, keycode, m_root, XCB_MOD_MASK_ANY);
        sync();
    }

    /// Puts `symbol` on `keycode` alone (0 clears the key).
    void setSymbol(xcb_keycode_t keycode, KeySymbol symbol)
    {
        const xcb_keysym_t symbols[1] = {symbol};
        xcb_change_keyboard_mapping(m_connection, 1, keycode, 1, symbols);
        sync();
    }

    /// Waits until the server has handled every request sent so far.
    void sync()
    {
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    void fake(std::uint8_t type, xcb_keycode_t keycode)
    {
        xcb_test_fake_input(m_connection, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_connection);
    }

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_window_t m_window = 0;
    bool m_isMapped = false;
    std::map<xcb_keycode_t, int> m_presses;
    std::map<xcb_keycode_t, int> m_releases;
};

} // namespace testsupport
