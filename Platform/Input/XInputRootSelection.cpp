#include "Platform/Input/XInputRootSelection.h"

#include "Platform/Input/XcbConnection.h"

#include <xcb/xinput.h>

XInputRootSelection& XInputRootSelection::of(XcbConnection& connection)
{
    if (auto* existing = connection.findChild<XInputRootSelection*>(QString(), Qt::FindDirectChildrenOnly))
        return *existing;
    return *new XInputRootSelection(connection);
}

XInputRootSelection::XInputRootSelection(XcbConnection& connection) : QObject(&connection), m_connection(connection) {}

void XInputRootSelection::setMask(const void* owner, std::uint32_t mask)
{
    if (mask)
        m_masks[owner] = mask;
    else
        m_masks.erase(owner);
    std::uint32_t all = 0;
    for (const auto& [_, bits] : m_masks)
        all |= bits;
    if (all == m_sent)
        return;
    m_sent = all;
    struct {
        xcb_input_event_mask_t header;
        std::uint32_t bits;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, all};
    xcb_input_xi_select_events(m_connection.connection(), m_connection.rootWindow(), 1, &selection.header);
    xcb_flush(m_connection.connection());
}
