#include "Platform/Shell/SelectionOwnerWatch.h"

#include "Platform/Input/XcbConnection.h"

#include <xcb/xfixes.h>

#include <cstdlib>

SelectionOwnerWatch::SelectionOwnerWatch(XcbConnection& connection, const std::string& selection, Changed changed)
    : m_connection(connection)
{
    xcb_connection_t* c = connection.connection();
    m_atom = internAtom(c, selection);
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (m_atom == XCB_ATOM_NONE || !extension || !extension->present)
        return;
    // The server answers XFixes requests only after the client said which
    // version it speaks.
    xcb_xfixes_query_version_reply_t* version =
        xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 1, 0), nullptr);
    if (!version)
        return;
    std::free(version);
    const std::uint8_t notifyType = extension->first_event + XCB_XFIXES_SELECTION_NOTIFY;
    const xcb_atom_t atom = m_atom;
    m_handlerToken = connection.addEventHandler(
        [notifyType, atom, changed = std::move(changed)](const xcb_generic_event_t& event) {
            if ((event.response_type & 0x7f) != notifyType)
                return;
            const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
            if (notify.selection != atom || !changed)
                return;
            // When the owner's window or connection goes, the event still
            // names the old owner.
            changed(notify.subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER ? notify.owner
                                                                                    : static_cast<xcb_window_t>(XCB_WINDOW_NONE));
        });
    xcb_xfixes_select_selection_input(c, connection.rootWindow(), m_atom,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(c);
}

SelectionOwnerWatch::~SelectionOwnerWatch()
{
    // The selection input stays: the server keeps one per connection and
    // selection, so withdrawing it would deafen another watch of the same
    // selection on this connection. Its rare events then reach no handler.
    if (m_handlerToken)
        m_connection.removeEventHandler(m_handlerToken);
}

xcb_window_t SelectionOwnerWatch::currentOwner() const
{
    xcb_connection_t* c = m_connection.connection();
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_atom), nullptr);
    if (!reply)
        return XCB_WINDOW_NONE;
    const xcb_window_t owner = reply->owner;
    std::free(reply);
    return owner;
}
