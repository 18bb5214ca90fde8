#pragma once
// The media-key tap: watches the keyboard's volume, brightness, illumination
// and media keys across the desktop, decodes each event into a MediaKeyEvent
// and hands it to one handler. Listening only observes; intercepting removes
// from the desktop each press the handler reports as handled, so the desktop
// shows no on-screen display of its own for it.
//
// The tap watches its own health: every 5 s it takes its keys again when
// something took them away, and it falls back from intercepting to listening
// when two handler calls in a row each took longer than 50 ms (the keyboard
// waits for every answer while intercepting). The permission checks are
// type-level and need no service: they ask the installed InputAccessProbe.
//
// Main thread only: the handler runs inside the key's delivery and the key
// waits for its answer.

#include "Platform/Input/InputAccessProbe.h"
#include "Platform/Input/KeyTapBackend.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/Scheduler.h"
#include "VudeServices/MediaKey.h"

#include <functional>
#include <memory>
#include <string>

class EventTapService final {
public:
    enum class Mode { listen, intercept };

    class Status {
    public:
        enum class Kind { running, degradedToListen, stopped, needsInputMonitoring, needsAccessibility };

        static Status running(Mode mode) { return Status(Kind::running, mode, {}); }
        static Status degradedToListen(std::string reason) { return Status(Kind::degradedToListen, Mode::listen, std::move(reason)); }
        static Status stopped() { return Status(Kind::stopped, Mode::listen, {}); }
        static Status needsInputMonitoring() { return Status(Kind::needsInputMonitoring, Mode::listen, {}); }
        static Status needsAccessibility() { return Status(Kind::needsAccessibility, Mode::listen, {}); }

        Kind kind() const { return m_kind; }
        /// The mode of `running`.
        Mode mode() const { return m_mode; }
        /// The reason of `degradedToListen`.
        const std::string& reason() const { return m_reason; }
        /// True for `running` and `degradedToListen`.
        bool isRunning() const { return m_kind == Kind::running || m_kind == Kind::degradedToListen; }

        /// The case name, with its value in parentheses: "running(intercept)",
        /// "degradedToListen(handler took 73 ms twice)", "stopped".
        std::string description() const;

        bool operator==(const Status& other) const;

    private:
        Status(Kind kind, Mode mode, std::string reason) : m_kind(kind), m_mode(mode), m_reason(std::move(reason)) {}

        Kind m_kind;
        Mode m_mode;
        std::string m_reason;
    };

    enum class InputMonitoring { granted, denied, unknown };

    using Handler = std::function<bool(const MediaKeyEvent&)>;
    using StatusHandler = std::function<void(const Status&)>;

    static constexpr Duration healthCheckInterval = std::chrono::seconds(5);
    /// A handler call longer than this counts as slow.
    static constexpr Duration slowHandlerLimit = std::chrono::milliseconds(50);

    /// The app's service: asks the installed InputAccessProbe and times the
    /// handler with the monotonic clock.
    EventTapService(std::unique_ptr<KeyTapBackend> backend, Scheduler& scheduler);
    /// With the access answers and the clock that times the handler given.
    EventTapService(std::unique_ptr<KeyTapBackend> backend, std::shared_ptr<InputAccessProbe> access,
                    Scheduler& scheduler, const ClockSource& clock);
    /// Stops the tap (which reports `stopped` when it was not).
    ~EventTapService();

    EventTapService(const EventTapService&) = delete;
    EventTapService& operator=(const EventTapService&) = delete;

    // Permission checks: the installed InputAccessProbe, asked afresh each time.

    /// Whether the keys can be taken from the desktop now (Accessibility).
    static bool hasAccessibility();
    /// The desktop has no prompt that grants it: the same answer.
    static bool requestAccessibility();
    static InputMonitoring inputMonitoring();
    /// The desktop has no prompt that grants it: whether it is granted now.
    static bool requestInputMonitoring();

    const Status& status() const { return m_status; }
    /// Hears every status change: at each start() and at a stop() that stops
    /// a tap; may start or stop the tap again.
    void setOnStatusChange(StatusHandler handler) { m_onStatusChange = std::move(handler); }
    const StatusHandler& onStatusChange() const { return m_onStatusChange; }
    /// Decides each key: true when the key was handled here and may be
    /// removed from the desktop (intercepting only).
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    const Handler& handler() const { return m_handler; }

    /// Stops any tap, then starts one in `mode`. Returns the new status:
    /// `running(mode)`, or `needsInputMonitoring` when the keys cannot be read
    /// (or a listening tap fails), or `needsAccessibility` when intercepting
    /// but the keys cannot be taken.
    Status start(Mode mode);
    /// Stops the tap and reports `stopped`, unless it was stopped already.
    /// The handler and the status handler stay installed.
    void stop();

    /// Whether another program holds `key`, so that it applies each press
    /// whatever the handler does. Never for a key an intercepting tap holds
    /// itself; otherwise asked afresh of the access probe, key by key, since
    /// desktops take some keys and leave others.
    bool isHeldByAnotherProgram(MediaKey key);

    /// The mode of the latest tap that started.
    Mode mode() const { return m_mode; }
    /// Consecutive slow handler calls; starting and stopping leave it alone.
    int slowCallbackStrikes() const { return m_slowCallbackStrikes; }

private:
    bool process(const KeyTapEvent& event);
    void fallBackToListening(Duration slowCall);
    void setStatus(Status status);
    InputAccessProbe& access() const;

    std::unique_ptr<KeyTapBackend> m_backend;
    std::shared_ptr<InputAccessProbe> m_access; // none: the installed probe
    Scheduler& m_scheduler;
    const ClockSource& m_clock;

    Status m_status = Status::stopped();
    StatusHandler m_onStatusChange;
    Handler m_handler;
    bool m_hasTap = false;
    ScheduledTask m_healthTimer;
    Mode m_mode = Mode::listen;
    int m_slowCallbackStrikes = 0;
    bool m_isFallBackPending = false;
    ScheduledTask m_fallBack;
};

template <>
struct EnumTraits<EventTapService::Mode> {
    static constexpr std::array cases{
        EnumCase{EventTapService::Mode::listen, "listen"},
        EnumCase{EventTapService::Mode::intercept, "intercept"},
    };
};

template <>
struct EnumTraits<EventTapService::Status::Kind> {
    using K = EventTapService::Status::Kind;
    static constexpr std::array cases{
        EnumCase{K::running, "running"},
        EnumCase{K::degradedToListen, "degradedToListen"},
        EnumCase{K::stopped, "stopped"},
        EnumCase{K::needsInputMonitoring, "needsInputMonitoring"},
        EnumCase{K::needsAccessibility, "needsAccessibility"},
    };
};

template <>
struct EnumTraits<EventTapService::InputMonitoring> {
    using I = EventTapService::InputMonitoring;
    static constexpr std::array cases{
        EnumCase{I::granted, "granted"},
        EnumCase{I::denied, "denied"},
        EnumCase{I::unknown, "unknown"},
    };
};
