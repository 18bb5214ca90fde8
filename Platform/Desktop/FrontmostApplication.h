#pragma once
// Which application the user is working in: the one whose window is active.
// Its identifier is what X11 calls the window's class ("firefox",
// "org.gnome.TextEditor"), the closest thing Linux has to an application's
// bundle identifier.

#include <optional>
#include <string>

class FrontmostApplication {
public:
    virtual ~FrontmostApplication() = default;

    /// The active window's application, or none when no window is active,
    /// it names no class, or the desktop does not say (Wayland without
    /// XWayland windows). Main thread; asks the display server, never
    /// another program, so it does not wait long.
    virtual std::optional<std::string> identifier() = 0;
};

/// A frontmost application a test sets.
class FakeFrontmostApplication final : public FrontmostApplication {
public:
    void set(std::optional<std::string> identifier) { m_identifier = std::move(identifier); }
    std::optional<std::string> identifier() override { return m_identifier; }

private:
    std::optional<std::string> m_identifier;
};
