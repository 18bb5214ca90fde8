#include "Platform/Shell/WindowStacker.h"

#include "Platform/Input/XcbConnection.h"
#include "Platform/Shell/InputShaper.h"

#include <algorithm>

void X11WindowStacker::prepare(std::uint64_t window)
{
    if (m_known.insert(window).second)
        syncWithQtConnection();
}

void X11WindowStacker::raise(std::uint64_t window)
{
    if (window == 0)
        return;
    prepare(window);
    const std::uint32_t values[] = {XCB_STACK_MODE_ABOVE};
    xcb_configure_window(m_connection.connection(), xcb_window_t(window), XCB_CONFIG_WINDOW_STACK_MODE, values);
    xcb_flush(m_connection.connection());
}

void X11WindowStacker::stackBelow(std::uint64_t window, std::uint64_t sibling)
{
    if (window == 0 || sibling == 0 || window == sibling)
        return;
    prepare(window);
    prepare(sibling);
    const std::uint32_t values[] = {std::uint32_t(sibling), XCB_STACK_MODE_BELOW};
    xcb_configure_window(m_connection.connection(), xcb_window_t(window),
                         XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    xcb_flush(m_connection.connection());
}

void FakeWindowStacker::raise(std::uint64_t window)
{
    ++raises;
    std::erase(order, window);
    order.push_back(window);
}

void FakeWindowStacker::stackBelow(std::uint64_t window, std::uint64_t sibling)
{
    if (window == sibling)
        return;
    std::erase(order, window);
    auto found = std::find(order.begin(), order.end(), sibling);
    if (found == order.end()) {
        order.push_back(window);
        order.push_back(sibling);
        return;
    }
    order.insert(found, window);
}
