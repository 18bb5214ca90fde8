#pragma once
// The keyboard as an X server maps it: the symbols each key code carries and
// the key codes behind each of the eight modifiers. A plain value, read in one
// round trip and looked up without the server.

#include "Platform/Input/KeyTapBackend.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

class X11KeyboardMapping {
public:
    /// No keys at all.
    X11KeyboardMapping() = default;
    /// `symbols` holds `symbolsPerKeycode` columns for each key code from
    /// `minKeycode` on; `modifierKeycodes` holds `keycodesPerModifier` key
    /// codes (0 for none) for each modifier, Shift first, as the server sends
    /// them.
    X11KeyboardMapping(xcb_keycode_t minKeycode, int symbolsPerKeycode, std::vector<KeySymbol> symbols,
                       int keycodesPerModifier, std::vector<xcb_keycode_t> modifierKeycodes);

    /// The server's current mapping; empty when it does not answer.
    static X11KeyboardMapping read(xcb_connection_t* connection);

    /// Every key code that carries `symbol` in any column (any group or level),
    /// lowest first.
    std::vector<xcb_keycode_t> keycodes(KeySymbol symbol) const;
    /// The symbols on `keycode`, columns in order, empty ones included.
    std::vector<KeySymbol> symbols(xcb_keycode_t keycode) const;

    /// The modifier mask (XCB_MOD_MASK_SHIFT ...) of the modifiers that
    /// `keycode` sets; 0 for an ordinary key.
    std::uint16_t modifierMask(xcb_keycode_t keycode) const;
    /// The modifier mask that the keys carrying `symbol` set (Num_Lock is
    /// usually Mod2); 0 when none of them is a modifier.
    std::uint16_t modifierMask(KeySymbol symbol) const;

    bool operator==(const X11KeyboardMapping&) const = default;

private:
    xcb_keycode_t m_minKeycode = 0;
    int m_symbolsPerKeycode = 0;
    std::vector<KeySymbol> m_symbols;
    int m_keycodesPerModifier = 0;
    std::vector<xcb_keycode_t> m_modifierKeycodes;
};
