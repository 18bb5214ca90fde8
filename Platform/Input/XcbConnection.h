#pragma once
// A connection of our own to the X server, read through Qt's event loop.
// The X11 backends (key grabs, raw input events, pointer queries, input
// shapes, selection watches) share one per process: the app opens it once and
// hands it to them; tests open one per fixture against their own Xvfb.
//
// Events are read when the connection's socket becomes readable and, because
// a request that waits for its reply can pull events into the library's queue
// without the socket firing again, also whenever the event loop is about to
// sleep. Handlers run on the thread that opened the connection (the main
// thread), in the order they were added.

#include <QObject>

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

class XcbConnection final : public QObject {
    Q_OBJECT
public:
    /// Connects to `displayName` (":1"), or to $DISPLAY when empty. Returns
    /// nothing when no X server answers (a console, Wayland without XWayland).
    static std::unique_ptr<XcbConnection> open(const std::string& displayName = {});
    ~XcbConnection() override;

    xcb_connection_t* connection() const { return m_connection; }
    xcb_window_t rootWindow() const { return m_root; }
    /// The display name this connection was opened with (":1").
    const std::string& displayName() const { return m_displayName; }

    /// The XInput extension's major opcode when the server speaks XInput 2.2
    /// or later (raw events, "generic" events carry it as their extension).
    std::optional<std::uint8_t> xinputOpcode();

    /// Whether this X server is XWayland, where the root window sees input
    /// only while one of the X clients' windows has focus.
    bool isXWayland();

    using EventHandler = std::function<void(const xcb_generic_event_t&)>;
    /// Calls `handler` with every event read from now on; returns a token
    /// for `removeEventHandler`. A handler may add or remove handlers.
    int addEventHandler(EventHandler handler);
    void removeEventHandler(int token);

    /// Sends what is buffered and reads what has arrived.
    void flush();

    /// Sends what is buffered and waits until the server has carried it out,
    /// so that another client's next request already meets its effect.
    void roundTrip();

    /// Reads and dispatches every event already received. Called by the
    /// event loop; tests call it to stop waiting for the loop.
    void dispatchPending();

signals:
    /// The server closed the connection (it exited or dropped us). The
    /// connection is useless from then on; backends report "unavailable".
    void disconnected();

private:
    XcbConnection(xcb_connection_t* connection, int screenNumber, std::string displayName);
    void dispatch(const xcb_generic_event_t& event);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    std::string m_displayName;
    QSocketNotifier* m_notifier = nullptr;
    std::map<int, EventHandler> m_handlers;
    int m_nextToken = 1;
    bool m_isDisconnected = false;
    std::optional<std::optional<std::uint8_t>> m_xinputOpcode;
    std::optional<bool> m_isXWayland;
};
