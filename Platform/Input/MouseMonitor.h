#pragma once
// Global mouse monitors: handlers told of mouse presses, releases, drags and
// wheel turns that go to other applications' windows, the way a
// dismiss-on-click-elsewhere, a drag detector or a wheel over a spot that
// takes no input needs them.
//   X11MouseMonitor   XInput2 raw events on the root window
//   FakeMouseMonitor  events posted by hand (tests)
// Locations are Qt global coordinates (top-left origin, logical pixels).

#include "VudeKit/Geometry.h"

#include <QObject>

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class ScreenProvider;
class XcbConnection;

enum class MouseEventType { leftMouseDown, leftMouseUp, leftMouseDragged, rightMouseDown, scrollWheel };

/// The bit of one event type in a monitor's mask.
constexpr unsigned mouseEventMask(MouseEventType type) { return 1u << unsigned(type); }

struct MouseEvent {
    MouseEventType type = MouseEventType::leftMouseDown;
    Point location;
    /// Wheel notches of a scrollWheel event, signed as Qt's angle deltas:
    /// y > 0 turned away from the user, x > 0 turned to the left.
    double deltaX = 0;
    double deltaY = 0;
    bool operator==(const MouseEvent&) const = default;
};

class MouseMonitor : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const MouseEvent&)>;

    using QObject::QObject;

    /// Whether monitors can see anything at all.
    virtual bool isAvailable() const = 0;

    /// Calls `handler` on the main thread for every event whose type is in
    /// `mask`; returns the token for `removeMonitor`, or nothing when global
    /// events cannot be watched.
    std::optional<int> addGlobalMonitor(unsigned mask, Handler handler);
    /// Removing an unknown or already removed token does nothing.
    void removeMonitor(int token);

    std::size_t monitorCount() const { return m_monitors.size(); }

protected:
    /// The union of the masks of every monitor.
    unsigned wantedMask() const;
    /// Hands `event` to every monitor that asked for its type.
    void deliver(const MouseEvent& event);
    /// Monitors were added or removed.
    virtual void monitorsChanged() {}

private:
    struct Monitor {
        unsigned mask;
        Handler handler;
    };
    std::map<int, Monitor> m_monitors;
    int m_nextToken = 1;
};

class X11MouseMonitor final : public MouseMonitor {
    Q_OBJECT
public:
    /// Tells whether an X window belongs to this process; the monitors skip
    /// events that go to such windows. It is asked about the top-level window
    /// under the pointer and the windows inside it on the pointer's way down.
    using OwnWindowTest = std::function<bool(xcb_window_t)>;

    /// `screens` maps X's pixels to Qt's coordinates (none keeps them). The
    /// connection and screens must outlive this object.
    explicit X11MouseMonitor(XcbConnection& connection, const ScreenProvider* screens = nullptr,
                             OwnWindowTest isOwnWindow = {}, QObject* parent = nullptr);
    ~X11MouseMonitor() override;

    bool isAvailable() const override { return m_opcode.has_value(); }

    /// The XInput events selected now (for tests: motion only while dragging).
    std::uint32_t selectedEvents() const { return m_selected; }

protected:
    void monitorsChanged() override { updateSelection(); }

private:
    void handle(const xcb_generic_event_t& event);
    void buttonChanged(std::uint32_t detail, bool pressed);
    void wheelTurned(int button);
    void motionArrived();
    void deliverPendingMotion();
    void updateSelection();
    int logicalButton(std::uint32_t physical);
    struct Hit {
        Point location;
        bool isOwn = false;
    };
    Hit queryPointer(bool findOwner = true);

    XcbConnection& m_connection;
    const ScreenProvider* m_screens;
    OwnWindowTest m_isOwnWindow;
    std::optional<std::uint8_t> m_opcode;
    int m_handlerToken = 0;
    std::uint32_t m_selected = 0;
    std::vector<std::uint8_t> m_buttonMap;
    bool m_buttonMapRead = false;
    bool m_leftHeld = false;
    bool m_leftPressIsOwn = false;
    bool m_motionPending = false;
};

class FakeMouseMonitor final : public MouseMonitor {
    Q_OBJECT
public:
    using MouseMonitor::MouseMonitor;

    bool isAvailable() const override { return available; }

    /// Delivers `event` to the monitors that asked for its type.
    void post(const MouseEvent& event) { deliver(event); }

    bool available = true;
};
