#include "Platform/Input/XcbConnection.h"

#include "Platform/Input/XcbSupport.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>

#include <xcb/xinput.h>

#include <cstdlib>
#include <vector>

std::unique_ptr<XcbConnection> XcbConnection::open(const std::string& displayName)
{
    int screenNumber = 0;
    std::string name;
    xcb_connection_t* connection = connectToDisplay(displayName, screenNumber, name);
    if (!connection)
        return nullptr;
    return std::unique_ptr<XcbConnection>(new XcbConnection(connection, screenNumber, name));
}

XcbConnection::XcbConnection(xcb_connection_t* connection, int screenNumber, std::string displayName)
    : m_connection(connection), m_displayName(std::move(displayName))
{
    m_root = rootWindowOf(connection, screenNumber);

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &XcbConnection::dispatchPending);
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &XcbConnection::dispatchPending);
}

XcbConnection::~XcbConnection()
{
    delete m_notifier;
    xcb_disconnect(m_connection);
}

std::optional<std::uint8_t> XcbConnection::xinputOpcode()
{
    if (m_xinputOpcode)
        return *m_xinputOpcode;
    m_xinputOpcode.emplace(std::nullopt);
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection, &xcb_input_id);
    if (!extension || !extension->present)
        return std::nullopt;
    // Raw events and XIQueryPointer's button masks need 2.2.
    xcb_input_xi_query_version_reply_t* version = xcb_input_xi_query_version_reply(
        m_connection, xcb_input_xi_query_version(m_connection, 2, 2), nullptr);
    const bool recent = version && (version->major_version > 2 ||
                                    (version->major_version == 2 && version->minor_version >= 2));
    std::free(version);
    if (recent)
        m_xinputOpcode.emplace(extension->major_opcode);
    return *m_xinputOpcode;
}

bool XcbConnection::isXWayland()
{
    if (m_isXWayland)
        return *m_isXWayland;
    // XWayland announces itself as an extension of its own name.
    constexpr char name[] = "XWAYLAND";
    xcb_query_extension_reply_t* reply = xcb_query_extension_reply(
        m_connection, xcb_query_extension(m_connection, sizeof name - 1, name), nullptr);
    m_isXWayland = reply && reply->present;
    std::free(reply);
    return *m_isXWayland;
}

int XcbConnection::addEventHandler(EventHandler handler)
{
    const int token = m_nextToken++;
    m_handlers.emplace(token, std::move(handler));
    return token;
}

void XcbConnection::removeEventHandler(int token)
{
    m_handlers.erase(token);
}

void XcbConnection::flush()
{
    xcb_flush(m_connection);
    dispatchPending();
}

void XcbConnection::roundTrip()
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    dispatchPending();
}

void XcbConnection::dispatchPending()
{
    if (m_isDisconnected)
        return;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        dispatch(*event);
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection)) {
        m_isDisconnected = true;
        m_notifier->setEnabled(false);
        emit disconnected();
    }
}

void XcbConnection::dispatch(const xcb_generic_event_t& event)
{
    // A handler may remove itself or others while we walk the handlers, so
    // take the tokens first and skip the ones that are gone.
    std::vector<int> tokens;
    tokens.reserve(m_handlers.size());
    for (const auto& [token, handler] : m_handlers)
        tokens.push_back(token);
    for (int token : tokens) {
        auto found = m_handlers.find(token);
        if (found == m_handlers.end())
            continue;
        EventHandler handler = found->second;
        handler(event);
    }
}
