#pragma once
// Where the pointer is, which mouse buttons are held and which modifier keys
// are down, read when asked.
//   X11PointerState    one QueryPointer on our own X connection
//   FakePointerState   values set by hand (tests)
// Locations are Qt global coordinates (top-left origin, logical pixels).

#include "VudeKit/Geometry.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

class ScreenProvider;
class XcbConnection;
struct ScreenDescription;

/// Held mouse buttons as bits: left, right, then the middle button.
namespace MouseButtons {
inline constexpr unsigned left = 1u << 0;
inline constexpr unsigned right = 1u << 1;
inline constexpr unsigned middle = 1u << 2;
} // namespace MouseButtons

struct KeyModifiers {
    bool shift = false;
    bool control = false;
    /// The Alt key.
    bool option = false;
    /// The Super ("Windows") key.
    bool command = false;
    bool operator==(const KeyModifiers&) const = default;
};

class PointerState {
public:
    virtual ~PointerState() = default;

    virtual Point location() const = 0;
    /// `MouseButtons` bits of the buttons held now.
    virtual unsigned pressedMouseButtons() const = 0;
    virtual KeyModifiers modifierFlags() const = 0;
};

/// The X server's pixels as Qt's logical coordinates: Qt keeps each screen's
/// top-left corner where X has it and divides the rest by the screen's scale.
/// A point on no screen is only divided by the first screen's scale.
Point logicalPointFromNative(Point native, const std::vector<ScreenDescription>& screens);

/// What a QueryPointer reply's key-and-button mask says.
unsigned mouseButtonsFromX11Mask(std::uint16_t mask);
KeyModifiers keyModifiersFromX11Mask(std::uint16_t mask);

class X11PointerState final : public PointerState {
public:
    /// `screens` maps X's pixels to Qt's coordinates; none keeps them as they
    /// are. Both must outlive this object.
    explicit X11PointerState(XcbConnection& connection, const ScreenProvider* screens = nullptr);

    Point location() const override { return query().location; }
    unsigned pressedMouseButtons() const override { return mouseButtonsFromX11Mask(query().mask); }
    KeyModifiers modifierFlags() const override { return keyModifiersFromX11Mask(query().mask); }

    struct Reading {
        Point location;
        std::uint16_t mask = 0;
        /// The top-level window under the pointer (a child of the root), 0 for none.
        xcb_window_t child = 0;
    };
    /// One round trip; all zero when the server is gone.
    Reading query() const;

private:
    XcbConnection& m_connection;
    const ScreenProvider* m_screens;
};

class FakePointerState final : public PointerState {
public:
    Point location() const override { return pointerLocation; }
    unsigned pressedMouseButtons() const override { return buttons; }
    KeyModifiers modifierFlags() const override { return modifiers; }

    Point pointerLocation;
    unsigned buttons = 0;
    KeyModifiers modifiers;
};
