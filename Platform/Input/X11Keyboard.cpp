#include "Platform/Input/X11Keyboard.h"

#include "Platform/Input/XcbConnection.h"

// The XKB header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

namespace {

constexpr KeySymbol numLockSymbol = 0xff7f;
constexpr std::uint8_t accessError = 10; // BadAccess: another client holds the grab

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* raw)
{
    return Reply<T>(raw, &std::free);
}

} // namespace

X11Keyboard::X11Keyboard(XcbConnection* connection) : m_connection(connection)
{
    if (!isConnected())
        return;
    m_eventToken = m_connection->addEventHandler([this](const xcb_generic_event_t& event) { handleEvent(event); });
    enableXkb();
    m_mapping = X11KeyboardMapping::read(m_connection->connection());
    readRepeatControls();
}

X11Keyboard::~X11Keyboard()
{
    if (!m_connection)
        return;
    releaseGrabs();
    m_connection->removeEventHandler(m_eventToken);
}

bool X11Keyboard::isConnected() const
{
    return m_connection && !xcb_connection_has_error(m_connection->connection());
}

InputMonitoringAccess X11Keyboard::inputMonitoring()
{
    if (!isConnected() || m_connection->isXWayland())
        return InputMonitoringAccess::unknown;
    return m_connection->xinputOpcode() ? InputMonitoringAccess::granted : InputMonitoringAccess::denied;
}

bool X11Keyboard::canIntercept(std::span<const KeySymbol> symbols)
{
    if (!isConnected() || m_connection->isXWayland())
        return false;
    if (m_holdsGrabs)
        return true;
    return probe(symbols).has_value();
}

bool X11Keyboard::isHeldByAnotherProgram(std::span<const KeySymbol> symbols)
{
    if (!isConnected() || m_connection->isXWayland())
        return false;
    const auto ours = [this](KeySymbol symbol) {
        return std::find(m_grabbedSymbols.begin(), m_grabbedSymbols.end(), symbol) != m_grabbedSymbols.end();
    };
    if (m_holdsGrabs && std::all_of(symbols.begin(), symbols.end(), ours))
        return false;
    const auto probed = probe(symbols);
    return !probed && probed.error() == KeyTapError::keysTaken;
}

Expected<void, KeyTapError> X11Keyboard::probe(std::span<const KeySymbol> symbols)
{
    // Asynchronous mode: a key pressed during the probe's round trip must not
    // freeze the keyboard while nobody answers.
    auto taken = takeGrabs(symbols, XCB_GRAB_MODE_ASYNC);
    if (!taken)
        return unexpected(taken.error());
    ungrab(*taken);
    // A press in that window made the grab active; give the key back.
    xcb_ungrab_keyboard(m_connection->connection(), XCB_CURRENT_TIME);
    xcb_flush(m_connection->connection());
    return {};
}

std::vector<std::uint16_t> X11Keyboard::grabModifiers() const
{
    constexpr std::uint16_t shift = XCB_MOD_MASK_SHIFT;
    constexpr std::uint16_t alt = XCB_MOD_MASK_1;
    constexpr std::uint16_t capsLock = XCB_MOD_MASK_LOCK;
    std::uint16_t numLock = m_mapping.modifierMask(numLockSymbol);
    // Num Lock on one of the modifiers we already vary (or on several) is not
    // a lock to ignore.
    if (numLock & (shift | alt | capsLock))
        numLock = 0;
    std::set<std::uint16_t> combinations;
    for (std::uint16_t held : {std::uint16_t(0), shift, alt, std::uint16_t(shift | alt)})
        for (std::uint16_t locks : {std::uint16_t(0), capsLock, numLock, std::uint16_t(capsLock | numLock)})
            combinations.insert(static_cast<std::uint16_t>(held | locks));
    return {combinations.begin(), combinations.end()};
}

Expected<void, KeyTapError> X11Keyboard::grab(std::vector<KeySymbol> symbols)
{
    releaseGrabs();
    auto taken = takeGrabs(symbols, XCB_GRAB_MODE_SYNC);
    if (!taken)
        return unexpected(taken.error());
    m_grabbedSymbols = std::move(symbols);
    m_grabs = std::move(*taken);
    m_holdsGrabs = true;
    return {};
}

void X11Keyboard::releaseGrabs()
{
    if (isConnected()) {
        ungrab(m_grabs);
        xcb_flush(m_connection->connection());
    }
    m_grabs.clear();
    m_grabbedSymbols.clear();
    m_holdsGrabs = false;
}

Expected<std::vector<X11Keyboard::Grab>, KeyTapError> X11Keyboard::takeGrabs(std::span<const KeySymbol> symbols,
                                                                             std::uint8_t keyboardMode)
{
    if (!isConnected())
        return unexpected(KeyTapError::unavailable);
    xcb_connection_t* c = m_connection->connection();
    std::set<Grab> wanted;
    const auto modifiers = grabModifiers();
    for (KeySymbol symbol : symbols)
        for (xcb_keycode_t keycode : m_mapping.keycodes(symbol))
            for (std::uint16_t held : modifiers)
                wanted.insert({keycode, held});

    // Every request goes out before the first check waits: one round trip.
    std::vector<std::pair<Grab, xcb_void_cookie_t>> requests;
    requests.reserve(wanted.size());
    for (const Grab& grab : wanted)
        requests.push_back({grab, xcb_grab_key_checked(c, 0, m_connection->rootWindow(), grab.second, grab.first,
                                                       XCB_GRAB_MODE_ASYNC, keyboardMode)});
    std::vector<Grab> taken;
    std::optional<KeyTapError> failure;
    for (const auto& [grab, cookie] : requests) {
        if (auto error = reply(xcb_request_check(c, cookie))) {
            if (!failure || *failure != KeyTapError::keysTaken)
                failure = error->error_code == accessError ? KeyTapError::keysTaken : KeyTapError::unavailable;
        } else {
            taken.push_back(grab);
        }
    }
    if (failure || xcb_connection_has_error(c)) {
        ungrab(taken);
        xcb_flush(c);
        return unexpected(failure.value_or(KeyTapError::unavailable));
    }
    return taken;
}

void X11Keyboard::ungrab(const std::vector<Grab>& grabs)
{
    if (!isConnected())
        return;
    for (const auto& [keycode, held] : grabs)
        xcb_ungrab_key(m_connection->connection(), keycode, m_connection->rootWindow(), held);
}

void X11Keyboard::enableXkb()
{
    xcb_connection_t* c = m_connection->connection();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_xkb_id);
    if (!extension || !extension->present)
        return;
    auto used = reply(xcb_xkb_use_extension_reply(
        c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (!used || !used->supported)
        return;
    m_xkbEventBase = extension->first_event;
    constexpr std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_CONTROLS_NOTIFY;
    constexpr std::uint16_t mapParts = XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
    const xcb_xkb_select_events_details_t details{};
    xcb_xkb_select_events_aux(c, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, mapParts, mapParts, &details);
    xcb_flush(c);
}

void X11Keyboard::readRepeatControls()
{
    if (!m_xkbEventBase)
        return;
    xcb_connection_t* c = m_connection->connection();
    auto controls = reply(xcb_xkb_get_controls_reply(c, xcb_xkb_get_controls(c, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    if (!controls)
        return;
    m_repeat.isEnabled = (controls->enabledControls & XCB_XKB_BOOL_CTRL_REPEAT_KEYS) != 0;
    m_repeat.delay = std::chrono::milliseconds(controls->repeatDelay);
    m_repeat.interval = std::chrono::milliseconds(controls->repeatInterval);
    std::copy(std::begin(controls->perKeyRepeat), std::end(controls->perKeyRepeat), m_repeat.perKey.begin());
}

void X11Keyboard::handleEvent(const xcb_generic_event_t& event)
{
    const std::uint8_t type = event.response_type & 0x7f;
    if (m_xkbEventBase && type == *m_xkbEventBase) {
        // Every XKB event carries its own kind in the second byte.
        switch (event.pad0) {
        case XCB_XKB_NEW_KEYBOARD_NOTIFY:
            readRepeatControls();
            mappingMayHaveChanged();
            break;
        case XCB_XKB_MAP_NOTIFY:
            mappingMayHaveChanged();
            break;
        case XCB_XKB_CONTROLS_NOTIFY:
            readRepeatControls();
            break;
        default:
            break;
        }
    } else if (type == XCB_MAPPING_NOTIFY && !m_xkbEventBase) {
        mappingMayHaveChanged();
    }
}

void X11Keyboard::mappingMayHaveChanged()
{
    // The server also announces a "new" keyboard whenever input switches
    // between two keyboards with the same layout; only a real change counts.
    X11KeyboardMapping mapping = X11KeyboardMapping::read(m_connection->connection());
    if (mapping == m_mapping)
        return;
    m_mapping = std::move(mapping);
    if (!m_grabbedSymbols.empty()) {
        // The old key codes may carry other keys now; take the new ones.
        std::vector<KeySymbol> symbols = m_grabbedSymbols;
        ungrab(m_grabs);
        m_grabs.clear();
        auto taken = takeGrabs(symbols, XCB_GRAB_MODE_SYNC);
        m_holdsGrabs = taken.has_value();
        if (taken)
            m_grabs = std::move(*taken);
        xcb_flush(m_connection->connection());
    }
    if (m_onMappingChange)
        m_onMappingChange();
}
