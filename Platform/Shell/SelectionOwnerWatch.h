#pragma once
// Follows who owns one X selection, through XFixes selection-owner events on
// our own connection. Shared by the compositing and drag-selection watchers.

#include "Platform/Input/XcbSupport.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <string>

class XcbConnection;

class SelectionOwnerWatch {
public:
    /// Called with the new owner (XCB_WINDOW_NONE when the selection was
    /// dropped) each time the selection is set, its owner window goes or the
    /// owner's connection closes.
    using Changed = std::function<void(xcb_window_t owner)>;

    /// Watches the selection named `selection`; `isAvailable()` is false when
    /// the server lacks XFixes. The connection must outlive the watch.
    SelectionOwnerWatch(XcbConnection& connection, const std::string& selection, Changed changed);
    ~SelectionOwnerWatch();

    SelectionOwnerWatch(const SelectionOwnerWatch&) = delete;
    SelectionOwnerWatch& operator=(const SelectionOwnerWatch&) = delete;

    bool isAvailable() const { return m_handlerToken != 0; }
    /// Asks the server (one round trip); XCB_WINDOW_NONE when nobody owns it.
    xcb_window_t currentOwner() const;
    xcb_atom_t atom() const { return m_atom; }

private:
    XcbConnection& m_connection;
    xcb_atom_t m_atom = XCB_ATOM_NONE;
    int m_handlerToken = 0;
};
