#include "Platform/Input/MouseMonitor.h"

#include "Platform/Display/ScreenProvider.h"
#include "Platform/Input/PointerState.h"
#include "Platform/Input/XInputRootSelection.h"
#include "Platform/Input/XcbConnection.h"

#include <xcb/xinput.h>

#include <cstdlib>

std::optional<int> MouseMonitor::addGlobalMonitor(unsigned mask, Handler handler)
{
    if (!isAvailable() || !handler)
        return std::nullopt;
    const int token = m_nextToken++;
    m_monitors.emplace(token, Monitor{mask, std::move(handler)});
    monitorsChanged();
    return token;
}

void MouseMonitor::removeMonitor(int token)
{
    if (m_monitors.erase(token))
        monitorsChanged();
}

unsigned MouseMonitor::wantedMask() const
{
    unsigned mask = 0;
    for (const auto& [_, monitor] : m_monitors)
        mask |= monitor.mask;
    return mask;
}

void MouseMonitor::deliver(const MouseEvent& event)
{
    // A handler may remove monitors, its own included.
    std::vector<int> tokens;
    for (const auto& [token, monitor] : m_monitors) {
        if (monitor.mask & mouseEventMask(event.type))
            tokens.push_back(token);
    }
    for (int token : tokens) {
        auto found = m_monitors.find(token);
        if (found == m_monitors.end())
            continue;
        Handler handler = found->second.handler;
        handler(event);
    }
}

X11MouseMonitor::X11MouseMonitor(XcbConnection& connection, const ScreenProvider* screens, OwnWindowTest isOwnWindow,
                                 QObject* parent)
    : MouseMonitor(parent), m_connection(connection), m_screens(screens), m_isOwnWindow(std::move(isOwnWindow)),
      m_opcode(connection.xinputOpcode())
{
    if (!m_opcode)
        return;
    m_handlerToken = connection.addEventHandler([this](const xcb_generic_event_t& event) { handle(event); });
    connect(&connection, &XcbConnection::disconnected, this, [this] { m_opcode.reset(); });
}

X11MouseMonitor::~X11MouseMonitor()
{
    if (m_handlerToken) {
        m_connection.removeEventHandler(m_handlerToken);
        XInputRootSelection::of(m_connection).setMask(this, 0);
    }
}

void X11MouseMonitor::updateSelection()
{
    if (!m_opcode)
        return;
    const unsigned wanted = wantedMask();
    std::uint32_t events = 0;
    if (wanted)
        events |= (1u << XCB_INPUT_RAW_BUTTON_PRESS) | (1u << XCB_INPUT_RAW_BUTTON_RELEASE);
    // Raw motion floods the connection whenever the mouse moves; it is only
    // needed to report drags, so it is selected only while the button is down.
    if ((wanted & mouseEventMask(MouseEventType::leftMouseDragged)) && m_leftHeld)
        events |= 1u << XCB_INPUT_RAW_MOTION;
    m_selected = events;
    XInputRootSelection::of(m_connection).setMask(this, events);
}

void X11MouseMonitor::handle(const xcb_generic_event_t& event)
{
    const std::uint8_t type = event.response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto& mapping = reinterpret_cast<const xcb_mapping_notify_event_t&>(event);
        if (mapping.request == XCB_MAPPING_POINTER)
            m_buttonMapRead = false;
        return;
    }
    if (type != XCB_GE_GENERIC || !m_opcode)
        return;
    const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    if (generic.extension != *m_opcode)
        return;
    switch (generic.event_type) {
    case XCB_INPUT_RAW_BUTTON_PRESS:
    case XCB_INPUT_RAW_BUTTON_RELEASE: {
        const auto& raw = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(event);
        buttonChanged(raw.detail, generic.event_type == XCB_INPUT_RAW_BUTTON_PRESS);
        break;
    }
    case XCB_INPUT_RAW_MOTION:
        motionArrived();
        break;
    default:
        break;
    }
}

int X11MouseMonitor::logicalButton(std::uint32_t physical)
{
    // Raw events carry the physical button; a left-handed mapping swaps them.
    if (!m_buttonMapRead) {
        m_buttonMapRead = true;
        m_buttonMap.clear();
        xcb_connection_t* c = m_connection.connection();
        if (xcb_get_pointer_mapping_reply_t* reply =
                xcb_get_pointer_mapping_reply(c, xcb_get_pointer_mapping(c), nullptr)) {
            const std::uint8_t* map = xcb_get_pointer_mapping_map(reply);
            m_buttonMap.assign(map, map + xcb_get_pointer_mapping_map_length(reply));
            std::free(reply);
        }
    }
    if (physical >= 1 && physical <= m_buttonMap.size())
        return m_buttonMap[physical - 1];
    return int(physical);
}

X11MouseMonitor::Hit X11MouseMonitor::queryPointer(bool findOwner)
{
    xcb_connection_t* c = m_connection.connection();
    Hit hit;
    xcb_window_t window = m_connection.rootWindow();
    // The top-level under the pointer may be a window manager's frame around
    // ours, so the test walks down the pointer's path a few levels.
    for (int depth = 0; depth < 4 && window != XCB_WINDOW_NONE; ++depth) {
        xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, window), nullptr);
        if (!reply)
            break;
        if (depth == 0) {
            const Point native{double(reply->root_x), double(reply->root_y)};
            hit.location = m_screens ? logicalPointFromNative(native, m_screens->screens()) : native;
        }
        window = reply->child;
        std::free(reply);
        if (!findOwner || !m_isOwnWindow || window == XCB_WINDOW_NONE)
            break;
        if (m_isOwnWindow(window)) {
            hit.isOwn = true;
            break;
        }
    }
    return hit;
}

void X11MouseMonitor::buttonChanged(std::uint32_t detail, bool pressed)
{
    const int button = logicalButton(detail);
    if (button >= 4 && button <= 7) {
        // A wheel notch is a press and a release; the press is the notch.
        if (pressed)
            wheelTurned(button);
        return;
    }
    if (button != 1 && button != 3)
        return; // the middle button and the extra buttons
    deliverPendingMotion();
    const Hit hit = queryPointer();
    if (button == 3) {
        if (pressed && !hit.isOwn)
            deliver({MouseEventType::rightMouseDown, hit.location});
        return;
    }
    if (pressed) {
        m_leftHeld = true;
        // Until the release, the pointer's events go to the window that took
        // the press, wherever the pointer goes.
        m_leftPressIsOwn = hit.isOwn;
        updateSelection();
        if (!hit.isOwn)
            deliver({MouseEventType::leftMouseDown, hit.location});
        return;
    }
    const bool wasOwn = m_leftPressIsOwn;
    m_leftHeld = false;
    m_leftPressIsOwn = false;
    updateSelection();
    if (!wasOwn)
        deliver({MouseEventType::leftMouseUp, hit.location});
}

void X11MouseMonitor::wheelTurned(int button)
{
    if (!(wantedMask() & mouseEventMask(MouseEventType::scrollWheel)))
        return;
    // Smooth-scrolling devices have the server emulate notches as button
    // presses beside their scroll valuators; only the presses are counted,
    // so no turn is seen twice.
    const Hit hit = queryPointer();
    if (hit.isOwn)
        return;
    MouseEvent event{MouseEventType::scrollWheel, hit.location};
    switch (button) {
    case 4:
        event.deltaY = 1;
        break;
    case 5:
        event.deltaY = -1;
        break;
    case 6:
        event.deltaX = 1;
        break;
    default:
        event.deltaX = -1;
        break;
    }
    deliver(event);
}

void X11MouseMonitor::motionArrived()
{
    if (!m_leftHeld || m_motionPending)
        return;
    // A burst of raw motion costs one pointer query, not one per event.
    m_motionPending = true;
    QMetaObject::invokeMethod(this, &X11MouseMonitor::deliverPendingMotion, Qt::QueuedConnection);
}

void X11MouseMonitor::deliverPendingMotion()
{
    if (!m_motionPending)
        return;
    m_motionPending = false;
    if (!m_leftHeld || m_leftPressIsOwn || !m_opcode)
        return;
    deliver({MouseEventType::leftMouseDragged, queryPointer(false).location});
}
