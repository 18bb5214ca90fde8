#include "Platform/Desktop/X11FrontmostApplication.h"

#include "Platform/Input/XcbConnection.h"
#include "Platform/Input/XcbSupport.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

template <typename T>
using Reply = XcbReply<T>;

// WM_CLASS is two short names; anything longer is cut at this many bytes.
constexpr std::uint32_t kMaxClassUnits = 256;

std::string utf8FromLatin1(std::string_view text)
{
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            result += c;
        } else {
            result += static_cast<char>(0xC0 | (byte >> 6));
            result += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return result;
}

} // namespace

X11FrontmostApplication::X11FrontmostApplication(XcbConnection& connection) : m_connection(connection) {}

std::optional<std::string> X11FrontmostApplication::identifier()
{
    xcb_connection_t* c = m_connection.connection();
    if (xcb_connection_has_error(c))
        return std::nullopt;
    if (m_activeWindow == XCB_NONE) {
        const xcb_atom_t atom = internAtom(c, "_NET_ACTIVE_WINDOW");
        if (atom == XCB_ATOM_NONE)
            return std::nullopt;
        m_activeWindow = atom;
    }
    Reply<xcb_get_property_reply_t> active(xcb_get_property_reply(
        c, xcb_get_property(c, 0, m_connection.rootWindow(), m_activeWindow, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!active || active->type != XCB_ATOM_WINDOW || active->format != 32 ||
        xcb_get_property_value_length(active.get()) < 4)
        return std::nullopt;
    xcb_window_t window = XCB_NONE;
    std::memcpy(&window, xcb_get_property_value(active.get()), sizeof window);
    if (window == XCB_NONE)
        return std::nullopt;
    Reply<xcb_get_property_reply_t> wmClass(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, kMaxClassUnits), nullptr));
    if (!wmClass || wmClass->type != XCB_ATOM_STRING || wmClass->format != 8)
        return std::nullopt;
    return classFromWMClass(std::string_view(static_cast<const char*>(xcb_get_property_value(wmClass.get())),
                                             static_cast<std::size_t>(xcb_get_property_value_length(wmClass.get()))));
}

std::optional<std::string> X11FrontmostApplication::classFromWMClass(std::string_view value)
{
    const auto firstEnd = value.find('\0');
    const std::string_view instance = value.substr(0, firstEnd);
    std::string_view className;
    if (firstEnd != std::string_view::npos) {
        className = value.substr(firstEnd + 1);
        className = className.substr(0, className.find('\0'));
    }
    if (!className.empty())
        return utf8FromLatin1(className);
    if (!instance.empty())
        return utf8FromLatin1(instance);
    return std::nullopt;
}
