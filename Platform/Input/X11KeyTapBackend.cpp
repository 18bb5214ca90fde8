#include "Platform/Input/X11KeyTapBackend.h"

#include "Platform/Input/XInputRootSelection.h"
#include "Platform/Input/XcbConnection.h"

#include <xcb/xinput.h>

#include <cstdlib>
#include <memory>

namespace {

template <typename T>
std::unique_ptr<T, decltype(&std::free)> reply(T* raw)
{
    return {raw, &std::free};
}

bool isShift(std::uint16_t state)
{
    return (state & XCB_MOD_MASK_SHIFT) != 0;
}

bool isAlt(std::uint16_t state)
{
    return (state & XCB_MOD_MASK_1) != 0;
}

} // namespace

X11KeyTapBackend::X11KeyTapBackend(std::shared_ptr<X11Keyboard> keyboard, Scheduler& scheduler)
    : m_keyboard(std::move(keyboard)), m_scheduler(scheduler), m_repeater(scheduler)
{
    if (!m_keyboard || !m_keyboard->connection())
        return;
    // Installed for the backend's whole life: a press may reach us through a
    // grab after stop(), and it must still be answered.
    m_eventToken = m_keyboard->connection()->addEventHandler(
        [this](const xcb_generic_event_t& event) { handleEvent(event); });
    m_keyboard->setMappingChangeHandler([this] {
        if (m_mode)
            watchKeys();
    });
}

X11KeyTapBackend::~X11KeyTapBackend()
{
    stop();
    if (m_keyboard && m_keyboard->connection()) {
        m_keyboard->setMappingChangeHandler({});
        m_keyboard->connection()->removeEventHandler(m_eventToken);
    }
}

Expected<void, KeyTapError> X11KeyTapBackend::start(KeyTapMode mode, std::vector<KeySymbol> symbols, Handler handler)
{
    stop();
    if (!m_keyboard || !m_keyboard->isConnected())
        return unexpected(KeyTapError::unavailable);
    m_symbols = std::move(symbols);
    if (mode == KeyTapMode::intercept) {
        if (auto grabbed = m_keyboard->grab(m_symbols); !grabbed)
            return unexpected(grabbed.error());
    } else {
        if (!selectRawKeys(true))
            return unexpected(KeyTapError::unavailable);
        // Keys already down when we start (Shift held while the tap restarts).
        xcb_connection_t* c = m_keyboard->connection()->connection();
        m_heldKeys.reset();
        if (auto keymap = reply(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr)))
            for (std::size_t keycode = 0; keycode < m_heldKeys.size(); ++keycode)
                m_heldKeys[keycode] = (keymap->keys[keycode / 8] >> (keycode % 8)) & 1;
    }
    m_mode = mode;
    m_handler = std::move(handler);
    watchKeys();
    return {};
}

void X11KeyTapBackend::stop()
{
    if (!m_mode)
        return;
    const KeyTapMode mode = *m_mode;
    m_mode.reset();
    m_handler = nullptr;
    m_pendingReleaseTask.cancel();
    m_pendingRelease.reset();
    m_keptKeys.clear();
    m_repeater.cancel();
    m_heldKeys.reset();
    if (mode == KeyTapMode::intercept)
        m_keyboard->releaseGrabs();
    else
        selectRawKeys(false);
}

bool X11KeyTapBackend::isEnabled() const
{
    if (!m_mode || !m_keyboard->isConnected())
        return false;
    return *m_mode == KeyTapMode::intercept ? m_keyboard->holdsGrabs() : m_isListening;
}

void X11KeyTapBackend::enable()
{
    if (!m_mode || isEnabled() || !m_keyboard->isConnected())
        return;
    if (*m_mode == KeyTapMode::intercept) {
        if (m_keyboard->grab(m_symbols))
            watchKeys();
    } else {
        selectRawKeys(true);
    }
}

void X11KeyTapBackend::handleEvent(const xcb_generic_event_t& event)
{
    XcbConnection& connection = *m_keyboard->connection();
    switch (event.response_type & 0x7f) {
    case XCB_KEY_PRESS: {
        const auto& press = reinterpret_cast<const xcb_key_press_event_t&>(event);
        if (press.event == connection.rootWindow())
            handleGrabbedPress(press);
        break;
    }
    case XCB_KEY_RELEASE: {
        const auto& release = reinterpret_cast<const xcb_key_release_event_t&>(event);
        if (release.event == connection.rootWindow())
            handleGrabbedRelease(release);
        break;
    }
    case XCB_GE_GENERIC: {
        if (!m_isListening)
            break;
        const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
        if (generic.extension != connection.xinputOpcode())
            break;
        if (generic.event_type != XCB_INPUT_RAW_KEY_PRESS && generic.event_type != XCB_INPUT_RAW_KEY_RELEASE)
            break;
        // Press and release share one layout.
        const auto& raw = reinterpret_cast<const xcb_input_raw_key_press_event_t&>(event);
        handleRawKey(static_cast<xcb_keycode_t>(raw.detail), generic.event_type == XCB_INPUT_RAW_KEY_PRESS);
        break;
    }
    default:
        break;
    }
}

void X11KeyTapBackend::handleGrabbedPress(const xcb_key_press_event_t& event)
{
    bool keep = false;
    const auto symbol = m_mode == KeyTapMode::intercept ? watchedSymbol(event.detail) : std::nullopt;
    if (symbol) {
        const bool isPairedWithRelease = m_pendingRelease && m_pendingRelease->keycode == event.detail &&
                                         m_pendingRelease->time == event.time;
        if (isPairedWithRelease) {
            m_pendingRelease.reset();
            m_pendingReleaseTask.cancel();
        } else {
            deliverPendingRelease();
        }
        if (m_mode == KeyTapMode::intercept) {
            const bool isRepeat = isPairedWithRelease || m_keptKeys.contains(event.detail);
            keep = deliver({*symbol, true, isRepeat, isShift(event.state), isAlt(event.state)});
            if (keep && m_mode == KeyTapMode::intercept)
                m_keptKeys.insert(event.detail);
            else
                m_keptKeys.erase(event.detail); // its release goes to the focused window
        }
    }
    // Whatever happened above, the frozen keyboard must move on.
    xcb_connection_t* c = m_keyboard->connection()->connection();
    xcb_allow_events(c, keep ? XCB_ALLOW_ASYNC_KEYBOARD : XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
    xcb_flush(c);
}

void X11KeyTapBackend::handleGrabbedRelease(const xcb_key_release_event_t& event)
{
    if (m_mode != KeyTapMode::intercept || !watchedSymbol(event.detail))
        return;
    deliverPendingRelease();
    if (m_mode != KeyTapMode::intercept)
        return;
    // The server repeats a held key as a release and a press with the same
    // time; wait for that press before calling this a release.
    m_pendingRelease = PendingRelease{event.detail, event.time, event.state};
    m_pendingReleaseTask = m_scheduler.after(Duration::zero(), [this] { deliverPendingRelease(); });
}

void X11KeyTapBackend::deliverPendingRelease()
{
    if (!m_pendingRelease)
        return;
    const PendingRelease release = *m_pendingRelease;
    m_pendingRelease.reset();
    m_pendingReleaseTask.cancel();
    m_keptKeys.erase(release.keycode);
    if (const auto symbol = watchedSymbol(release.keycode))
        deliver({*symbol, false, false, isShift(release.state), isAlt(release.state)});
}

void X11KeyTapBackend::handleRawKey(xcb_keycode_t keycode, bool isDown)
{
    if (m_mode != KeyTapMode::listen)
        return;
    const auto symbol = watchedSymbol(keycode);
    if (!isDown) {
        m_heldKeys.reset(keycode);
        m_repeater.release(keycode);
        if (symbol)
            deliver({*symbol, false, false, isHeld(XCB_MOD_MASK_SHIFT), isHeld(XCB_MOD_MASK_1)});
        return;
    }
    // A second press without a release repeats nothing: our timer does.
    if (m_heldKeys.test(keycode))
        return;
    m_heldKeys.set(keycode);
    const X11Keyboard::RepeatControls repeat = m_keyboard->repeatControls();
    const bool isModifier = m_keyboard->mapping().modifierMask(keycode) != 0;
    if (!symbol) {
        // As on the server, another repeating key takes the repeat over.
        if (repeat.repeats(keycode) && !isModifier)
            m_repeater.cancel();
        return;
    }
    deliver({*symbol, true, false, isHeld(XCB_MOD_MASK_SHIFT), isHeld(XCB_MOD_MASK_1)});
    if (m_mode != KeyTapMode::listen || !m_heldKeys.test(keycode) || !repeat.repeats(keycode))
        return;
    m_repeater.press(keycode, repeat.delay, repeat.interval, [this, keycode] {
        if (const auto held = watchedSymbol(keycode))
            deliver({*held, true, true, isHeld(XCB_MOD_MASK_SHIFT), isHeld(XCB_MOD_MASK_1)});
    });
}

bool X11KeyTapBackend::deliver(const KeyTapEvent& event)
{
    if (!m_handler)
        return false;
    // A copy: the handler may stop the tap or install another handler.
    const Handler handler = m_handler;
    return handler(event);
}

void X11KeyTapBackend::watchKeys()
{
    m_watched.clear();
    for (KeySymbol symbol : m_symbols)
        for (xcb_keycode_t keycode : m_keyboard->mapping().keycodes(symbol))
            m_watched.try_emplace(keycode, symbol);
}

std::optional<KeySymbol> X11KeyTapBackend::watchedSymbol(xcb_keycode_t keycode) const
{
    const auto found = m_watched.find(keycode);
    if (found == m_watched.end())
        return std::nullopt;
    return found->second;
}

bool X11KeyTapBackend::isHeld(std::uint16_t modifierMask) const
{
    for (std::size_t keycode = 0; keycode < m_heldKeys.size(); ++keycode)
        if (m_heldKeys.test(keycode) &&
            (m_keyboard->mapping().modifierMask(static_cast<xcb_keycode_t>(keycode)) & modifierMask))
            return true;
    return false;
}

bool X11KeyTapBackend::selectRawKeys(bool on)
{
    XcbConnection& connection = *m_keyboard->connection();
    if (on && !connection.xinputOpcode())
        return false;
    const std::uint32_t bits = XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
    XInputRootSelection::of(connection).setMask(this, on ? bits : 0);
    m_isListening = on;
    return true;
}
