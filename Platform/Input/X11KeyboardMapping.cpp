#include "Platform/Input/X11KeyboardMapping.h"

#include <cstdlib>
#include <memory>

X11KeyboardMapping::X11KeyboardMapping(xcb_keycode_t minKeycode, int symbolsPerKeycode, std::vector<KeySymbol> symbols,
                                       int keycodesPerModifier, std::vector<xcb_keycode_t> modifierKeycodes)
    : m_minKeycode(minKeycode),
      m_symbolsPerKeycode(symbolsPerKeycode > 0 ? symbolsPerKeycode : 0),
      m_symbols(std::move(symbols)),
      m_keycodesPerModifier(keycodesPerModifier > 0 ? keycodesPerModifier : 0),
      m_modifierKeycodes(std::move(modifierKeycodes))
{
}

X11KeyboardMapping X11KeyboardMapping::read(xcb_connection_t* connection)
{
    if (!connection || xcb_connection_has_error(connection))
        return {};
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_keycode_t minKeycode = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    // Both requests go out before either reply is awaited: one round trip.
    const auto keyboardCookie = xcb_get_keyboard_mapping(connection, minKeycode, static_cast<std::uint8_t>(count));
    const auto modifierCookie = xcb_get_modifier_mapping(connection);
    const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> keyboard(
        xcb_get_keyboard_mapping_reply(connection, keyboardCookie, nullptr), &std::free);
    const std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> modifiers(
        xcb_get_modifier_mapping_reply(connection, modifierCookie, nullptr), &std::free);
    if (!keyboard || !modifiers)
        return {};

    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
    const int keysymCount = xcb_get_keyboard_mapping_keysyms_length(keyboard.get());
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const int keycodeCount = xcb_get_modifier_mapping_keycodes_length(modifiers.get());
    return X11KeyboardMapping(minKeycode, keyboard->keysyms_per_keycode,
                              std::vector<KeySymbol>(keysyms, keysyms + keysymCount),
                              modifiers->keycodes_per_modifier,
                              std::vector<xcb_keycode_t>(keycodes, keycodes + keycodeCount));
}

std::vector<xcb_keycode_t> X11KeyboardMapping::keycodes(KeySymbol symbol) const
{
    std::vector<xcb_keycode_t> found;
    if (m_symbolsPerKeycode == 0 || symbol == 0)
        return found;
    const std::size_t rows = m_symbols.size() / static_cast<std::size_t>(m_symbolsPerKeycode);
    for (std::size_t row = 0; row < rows; ++row) {
        const std::size_t first = row * static_cast<std::size_t>(m_symbolsPerKeycode);
        for (int column = 0; column < m_symbolsPerKeycode; ++column) {
            if (m_symbols[first + static_cast<std::size_t>(column)] == symbol) {
                const std::size_t keycode = m_minKeycode + row;
                if (keycode <= 255)
                    found.push_back(static_cast<xcb_keycode_t>(keycode));
                break;
            }
        }
    }
    return found;
}

std::vector<KeySymbol> X11KeyboardMapping::symbols(xcb_keycode_t keycode) const
{
    if (keycode < m_minKeycode || m_symbolsPerKeycode == 0)
        return {};
    const std::size_t first = static_cast<std::size_t>(keycode - m_minKeycode) * static_cast<std::size_t>(m_symbolsPerKeycode);
    if (first + static_cast<std::size_t>(m_symbolsPerKeycode) > m_symbols.size())
        return {};
    return {m_symbols.begin() + static_cast<std::ptrdiff_t>(first),
            m_symbols.begin() + static_cast<std::ptrdiff_t>(first + static_cast<std::size_t>(m_symbolsPerKeycode))};
}

std::uint16_t X11KeyboardMapping::modifierMask(xcb_keycode_t keycode) const
{
    std::uint16_t mask = 0;
    if (keycode == 0 || m_keycodesPerModifier == 0)
        return mask;
    for (std::size_t index = 0; index < m_modifierKeycodes.size(); ++index) {
        const std::size_t modifier = index / static_cast<std::size_t>(m_keycodesPerModifier);
        if (modifier < 8 && m_modifierKeycodes[index] == keycode)
            mask |= static_cast<std::uint16_t>(1u << modifier);
    }
    return mask;
}

std::uint16_t X11KeyboardMapping::modifierMask(KeySymbol symbol) const
{
    std::uint16_t mask = 0;
    for (xcb_keycode_t keycode : keycodes(symbol))
        mask |= modifierMask(keycode);
    return mask;
}
