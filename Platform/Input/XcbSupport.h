#pragma once
// Small pieces every XCB client here needs: reaching the server, its root
// window, atoms, and replies that XCB allocates.

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

struct XcbFree {
    void operator()(void* pointer) const { std::free(pointer); }
};
/// A reply XCB allocated, released with free().
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

/// Connects to `displayName` (":1"), or to $DISPLAY when empty; null when no
/// X server answers. `screenNumber` gets the display's default screen and
/// `usedName` the name connected to.
xcb_connection_t* connectToDisplay(const std::string& displayName, int& screenNumber, std::string& usedName);

/// The root window of screen `screenNumber`; XCB_WINDOW_NONE when the server
/// has no such screen.
xcb_window_t rootWindowOf(xcb_connection_t* connection, int screenNumber);

/// The atom named `name`, made when missing; XCB_ATOM_NONE when the server is gone.
xcb_atom_t internAtom(xcb_connection_t* connection, const std::string& name);
