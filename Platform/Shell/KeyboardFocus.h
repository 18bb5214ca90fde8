#pragma once
// Lending our window the keyboard and giving it back. A window that bypasses
// the window manager takes the keyboard by itself, so nobody else returns it
// when it is done: it notes who had the keyboard before and hands it back.
//   X11KeyboardFocus   the server's input focus on our own connection
//   FakeKeyboardFocus  counts the calls (tests)

#include <cstdint>

class XcbConnection;

class KeyboardFocus {
public:
    virtual ~KeyboardFocus() = default;

    /// Notes the window that has the keyboard now, unless it is `ours`.
    virtual void rememberFocusBefore(std::uint64_t ours) = 0;
    /// While `ours` still has the keyboard, gives it to the window noted
    /// before (or to whatever is under the pointer when that one is gone).
    virtual void giveBack(std::uint64_t ours) = 0;
};

class X11KeyboardFocus final : public KeyboardFocus {
public:
    /// The connection must outlive this object.
    explicit X11KeyboardFocus(XcbConnection& connection) : m_connection(connection) {}

    void rememberFocusBefore(std::uint64_t ours) override;
    void giveBack(std::uint64_t ours) override;

private:
    std::uint32_t currentFocus();

    XcbConnection& m_connection;
    std::uint32_t m_previous = 0;
};

class FakeKeyboardFocus final : public KeyboardFocus {
public:
    void rememberFocusBefore(std::uint64_t) override { ++remembered; }
    void giveBack(std::uint64_t) override { ++givenBack; }

    int remembered = 0;
    int givenBack = 0;
};
