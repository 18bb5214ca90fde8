#include "Platform/Shell/InputShaper.h"

#include "Platform/Input/XcbConnection.h"

#include <QGuiApplication>

#include <xcb/shape.h>

#include <cstdlib>

void syncWithQtConnection()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    // Any round trip will do: its reply comes after every earlier request.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

X11InputShaper::X11InputShaper(XcbConnection& connection) : m_connection(connection)
{
    xcb_connection_t* c = connection.connection();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_shape_id);
    if (!extension || !extension->present)
        return;
    // Input regions came with SHAPE 1.1.
    xcb_shape_query_version_reply_t* version = xcb_shape_query_version_reply(c, xcb_shape_query_version(c), nullptr);
    m_available = version && (version->major_version > 1 || version->minor_version >= 1);
    std::free(version);
}

void X11InputShaper::setInputRegion(std::uint64_t window, const std::vector<QRect>& rects)
{
    if (!m_available || window == 0)
        return;
    if (m_known.insert(window).second)
        syncWithQtConnection();
    std::vector<xcb_rectangle_t> rectangles;
    rectangles.reserve(rects.size());
    for (const QRect& rect : rects) {
        if (rect.isEmpty())
            continue;
        rectangles.push_back({std::int16_t(rect.x()), std::int16_t(rect.y()), std::uint16_t(rect.width()),
                              std::uint16_t(rect.height())});
    }
    xcb_shape_rectangles(m_connection.connection(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                         xcb_window_t(window), 0, 0, std::uint32_t(rectangles.size()), rectangles.data());
    xcb_flush(m_connection.connection());
}
