#pragma once
// This process's keyboard on one X connection: the keyboard mapping and the
// server's auto-repeat settings, kept current as they change; the passive key
// grabs of the key tap, taken again when a new mapping moves the keys; and the
// access checks that follow from them, one implementation for the key tap and
// the permission panes alike (the app installs it as the standard
// InputAccessProbe).
//
// It turns on XKB for the connection, which stops the core MappingNotify
// events of keyboard changes on that connection (those of the pointer's
// button map still come); it selects and handles XKB's own map and controls
// events instead. Main thread only.

#include "Platform/Input/InputAccessProbe.h"
#include "Platform/Input/X11KeyboardMapping.h"
#include "VudeKit/Date.h"

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class XcbConnection;

class X11Keyboard final : public InputAccessProbe {
public:
    /// `connection` may be null: a session without a display, where every
    /// answer is "unavailable". The connection must outlive the keyboard.
    explicit X11Keyboard(XcbConnection* connection);
    ~X11Keyboard() override;

    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    XcbConnection* connection() const { return m_connection; }
    /// False without a display and once the connection is lost.
    bool isConnected() const;

    /// Granted on an X server that speaks XInput 2.2 (raw key events); denied
    /// on one that does not; unknown without a display, once the connection is
    /// lost, and under XWayland, where the root window sees keys only while an
    /// X11 window has the focus.
    InputMonitoringAccess inputMonitoring() override;
    /// True while our own grabs stand, without probing (a probe would release
    /// them). Otherwise takes every key carrying `symbols` with each modifier
    /// combination the tap grabs, checked, and releases them at once: false
    /// when another client holds any of them. False under XWayland and without
    /// a working connection.
    bool canIntercept(std::span<const KeySymbol> symbols) override;
    /// False for keys our own grabs hold, without probing. Otherwise takes
    /// the keys as canIntercept() does and releases them at once: true when
    /// another client holds any of them. False under XWayland and without a
    /// working connection.
    bool isHeldByAnotherProgram(std::span<const KeySymbol> symbols) override;

    const X11KeyboardMapping& mapping() const { return m_mapping; }

    /// The server's auto-repeat: off altogether, or per key, after a delay
    /// and then at an interval. The X server's defaults until XKB answers.
    struct RepeatControls {
        bool isEnabled = true;
        Duration delay = std::chrono::milliseconds(660);
        Duration interval = std::chrono::milliseconds(40);
        std::array<std::uint8_t, 32> perKey = filledPerKey();

        bool repeats(xcb_keycode_t keycode) const
        {
            return isEnabled && (perKey[keycode / 8] & (1u << (keycode % 8)));
        }

    private:
        static constexpr std::array<std::uint8_t, 32> filledPerKey()
        {
            std::array<std::uint8_t, 32> all{};
            all.fill(0xff);
            return all;
        }
    };
    const RepeatControls& repeatControls() const { return m_repeat; }

    /// The modifier states in which the tap's keys are grabbed: none, Shift,
    /// Alt (Mod1) and both, each also with Caps Lock, Num Lock or both on, so
    /// that a lock key left on does not let the keys slip past.
    std::vector<std::uint16_t> grabModifiers() const;

    /// Takes the keys carrying `symbols` for this client, on the root window,
    /// in synchronous keyboard mode: each press then waits until the owner
    /// answers with xcb_allow_events. All or nothing: `keysTaken` when another
    /// client holds any of them. Replaces grabs taken before. The grabs follow
    /// the keys to their new key codes when the mapping changes.
    Expected<void, KeyTapError> grab(std::vector<KeySymbol> symbols);
    /// Lets go of every grab taken by grab().
    void releaseGrabs();
    /// Whether grab() succeeded and its grabs still stand. False after a new
    /// mapping whose keys another client had already taken.
    bool holdsGrabs() const { return m_holdsGrabs; }

    /// Called after a new mapping was read (and the grabs moved with it).
    void setMappingChangeHandler(std::function<void()> handler) { m_onMappingChange = std::move(handler); }

private:
    using Grab = std::pair<xcb_keycode_t, std::uint16_t>;

    void handleEvent(const xcb_generic_event_t& event);
    void enableXkb();
    void readRepeatControls();
    void mappingMayHaveChanged();
    // Takes every (key code, modifiers) of `symbols`, checked; on any failure
    // releases what it took.
    Expected<std::vector<Grab>, KeyTapError> takeGrabs(std::span<const KeySymbol> symbols, std::uint8_t keyboardMode);
    void ungrab(const std::vector<Grab>& grabs);
    // Takes the keys of `symbols` and lets go of them at once.
    Expected<void, KeyTapError> probe(std::span<const KeySymbol> symbols);

    XcbConnection* m_connection = nullptr;
    int m_eventToken = 0;
    std::optional<std::uint8_t> m_xkbEventBase;
    X11KeyboardMapping m_mapping;
    RepeatControls m_repeat;
    std::vector<KeySymbol> m_grabbedSymbols; // empty: no grabs wanted
    std::vector<Grab> m_grabs;
    bool m_holdsGrabs = false;
    std::function<void()> m_onMappingChange;
};
