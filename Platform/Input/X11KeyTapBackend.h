#pragma once
// The key tap on an X server.
//
// Intercepting: passive grabs of the keys on the root window in synchronous
// keyboard mode (see X11Keyboard::grab). Each press freezes the keyboard until
// the handler has answered; the answer is carried out with xcb_allow_events:
// AsyncKeyboard keeps the key (and its release) with us, ReplayKeyboard
// hands the press to the focused window as if no grab existed, so the
// desktop still handles a key we leave alone. The server's own auto-repeat
// reaches us as release and press pairs with one timestamp; such a pair is
// one repeated key-down.
//
// Listening: XInput 2.2 raw key events on the root window, which every client
// receives whoever holds a grab; nothing is taken from anyone. Raw events
// carry no modifier state and no auto-repeat, so Shift and Alt are tracked from
// their own raw events and a held key repeats on a timer of our own that
// follows the server's repeat delay and rate.
//
// Events arrive through the connection's event loop handlers; the handler is
// called on the main thread. Every press that reaches us through a grab is
// answered, also while stopped, or the keyboard would stay frozen.

#include "Platform/Input/KeyRepeater.h"
#include "Platform/Input/KeyTapBackend.h"
#include "Platform/Input/X11Keyboard.h"
#include "VudeKit/Scheduler.h"

#include <xcb/xcb.h>

#include <bitset>
#include <map>
#include <memory>
#include <optional>
#include <set>

class X11KeyTapBackend final : public KeyTapBackend {
public:
    /// `keyboard` may be without a connection: every start is `unavailable`.
    X11KeyTapBackend(std::shared_ptr<X11Keyboard> keyboard, Scheduler& scheduler);
    ~X11KeyTapBackend() override;

    X11KeyTapBackend(const X11KeyTapBackend&) = delete;
    X11KeyTapBackend& operator=(const X11KeyTapBackend&) = delete;

    Expected<void, KeyTapError> start(KeyTapMode mode, std::vector<KeySymbol> symbols, Handler handler) override;
    void stop() override;
    bool isEnabled() const override;
    void enable() override;

private:
    struct PendingRelease {
        xcb_keycode_t keycode;
        xcb_timestamp_t time;
        std::uint16_t state;
    };

    void handleEvent(const xcb_generic_event_t& event);
    void handleGrabbedPress(const xcb_key_press_event_t& event);
    void handleGrabbedRelease(const xcb_key_release_event_t& event);
    void handleRawKey(xcb_keycode_t keycode, bool isDown);
    void deliverPendingRelease();
    bool deliver(const KeyTapEvent& event);

    void watchKeys();
    std::optional<KeySymbol> watchedSymbol(xcb_keycode_t keycode) const;
    bool selectRawKeys(bool on);
    bool isHeld(std::uint16_t modifierMask) const;

    std::shared_ptr<X11Keyboard> m_keyboard;
    Scheduler& m_scheduler;
    int m_eventToken = 0;

    std::optional<KeyTapMode> m_mode; // set while started
    std::vector<KeySymbol> m_symbols;
    Handler m_handler;
    std::map<xcb_keycode_t, KeySymbol> m_watched;

    // Intercepting.
    std::set<xcb_keycode_t> m_keptKeys; // pressed, kept by us, not yet released
    std::optional<PendingRelease> m_pendingRelease;
    ScheduledTask m_pendingReleaseTask;

    // Listening.
    bool m_isListening = false; // raw key events selected
    std::bitset<256> m_heldKeys;
    KeyRepeater m_repeater;
};
