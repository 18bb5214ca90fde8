#include "Platform/Shell/CompositingMonitor.h"

#include "Platform/Input/XcbConnection.h"
#include "Platform/Shell/SelectionOwnerWatch.h"

#include <string>

namespace {

int screenNumberOf(XcbConnection& connection)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.connection()));
    for (int number = 0; screens.rem; ++number, xcb_screen_next(&screens)) {
        if (screens.data->root == connection.rootWindow())
            return number;
    }
    return 0;
}

} // namespace

X11CompositingMonitor::X11CompositingMonitor(XcbConnection& connection, QObject* parent)
    : CompositingMonitor(parent)
{
    const std::string selection = "_NET_WM_CM_S" + std::to_string(screenNumberOf(connection));
    m_watch = std::make_unique<SelectionOwnerWatch>(
        connection, selection, [this](xcb_window_t owner) { ownerChanged(owner != XCB_WINDOW_NONE); });
    m_isCompositing = m_watch->currentOwner() != XCB_WINDOW_NONE;
}

X11CompositingMonitor::~X11CompositingMonitor() = default;

void X11CompositingMonitor::ownerChanged(bool owned)
{
    if (owned == m_isCompositing)
        return;
    m_isCompositing = owned;
    emit compositingChanged(owned);
}
