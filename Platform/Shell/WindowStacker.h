#pragma once
// Stacking of our own top-level windows among all others.
//   X11WindowStacker   ConfigureWindow on our own connection (our notch
//                      windows bypass the window manager, so the server
//                      applies it as asked)
//   FakeWindowStacker  keeps the order as a list (tests)

#include <cstdint>
#include <set>
#include <vector>

class XcbConnection;

class WindowStacker {
public:
    virtual ~WindowStacker() = default;

    /// Puts `window` above every other window.
    virtual void raise(std::uint64_t window) = 0;
    /// Puts `window` directly below `sibling`, wherever that is; nothing else
    /// moves relative to `sibling`.
    virtual void stackBelow(std::uint64_t window, std::uint64_t sibling) = 0;
};

class X11WindowStacker final : public WindowStacker {
public:
    /// The connection must outlive this object.
    explicit X11WindowStacker(XcbConnection& connection) : m_connection(connection) {}

    void raise(std::uint64_t window) override;
    void stackBelow(std::uint64_t window, std::uint64_t sibling) override;

private:
    void prepare(std::uint64_t window);

    XcbConnection& m_connection;
    std::set<std::uint64_t> m_known;
};

class FakeWindowStacker final : public WindowStacker {
public:
    void raise(std::uint64_t window) override;
    void stackBelow(std::uint64_t window, std::uint64_t sibling) override;

    /// Bottom to top; a window joins when it is first stacked.
    std::vector<std::uint64_t> order;
    int raises = 0;
};
