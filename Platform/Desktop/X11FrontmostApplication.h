#pragma once
// The frontmost application on X11: the class in WM_CLASS of the window the
// window manager names in the root window's _NET_ACTIVE_WINDOW.

#include "Platform/Desktop/FrontmostApplication.h"

#include <xcb/xcb.h>

#include <string_view>

class XcbConnection;

class X11FrontmostApplication final : public FrontmostApplication {
public:
    /// Asks through `connection`, which must outlive this object.
    explicit X11FrontmostApplication(XcbConnection& connection);

    std::optional<std::string> identifier() override;

    /// The class of a WM_CLASS value ("instance\0class\0", Latin-1) as
    /// UTF-8; the instance when the class is empty; none when both are.
    static std::optional<std::string> classFromWMClass(std::string_view value);

private:
    XcbConnection& m_connection;
    xcb_atom_t m_activeWindow = XCB_NONE;
};
