#pragma once
// Keeps the display awake on request, for a chosen duration or until turned
// off, and reports when the screen is locked or unlocked.
//
// Keep-awake holds one inhibition of the desktop's idle handling under the
// reason "Vude — keep awake"; a timed one ends through the scheduler. A
// desktop that offers no way to inhibit makes startKeepAwake() return false
// and leaves the service off. Lock watching follows one source of the session
// (see DBusScreenLockMonitor) and calls onLockEvent for every announcement.
//
// Main thread only. The scheduler and the clock must outlive the service.
// Destroying the service releases the keep-awake, as stop() does.

#include "Platform/Power/DisplaySleepInhibitor.h"
#include "Platform/Power/ScreenLockMonitor.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"
#include "VudeServices/KeepAwakeDuration.h"
#include "VudeServices/ScreenLockEvent.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class IdleService final : public QObject {
    Q_OBJECT
public:
    /// The reason the desktop shows for the inhibition (an em dash between
    /// two blanks).
    static constexpr const char* kKeepAwakeReason = "Vude \u2014 keep awake";

    /// The desktop's screen saver (or portal) on the session bus, and lock
    /// announcements from the session and system buses.
    IdleService(Scheduler& scheduler, const ClockSource& clock, QObject* parent = nullptr);
    IdleService(std::unique_ptr<DisplaySleepInhibitor> inhibitor, std::unique_ptr<ScreenLockMonitor> lockMonitor,
                Scheduler& scheduler, const ClockSource& clock, QObject* parent = nullptr);
    ~IdleService() override;

    /// A keep-awake inhibition is held.
    bool isKeepingAwake() const { return m_isKeepingAwake; }
    /// When the current keep-awake ends; none when indefinite or off.
    std::optional<Date> keepAwakeUntil() const { return m_keepAwakeUntil; }
    /// The last lock announcement said locked.
    bool isScreenLocked() const { return m_isScreenLocked; }

    /// Called on the main thread for every lock and unlock announcement, also
    /// when the lock state did not change.
    const std::function<void(ScreenLockEvent)>& onLockEvent() const { return m_onLockEvent; }
    void setOnLockEvent(std::function<void(ScreenLockEvent)> handler) { m_onLockEvent = std::move(handler); }

    /// Whether the desktop offers a way to keep the display awake at all.
    /// Asks the bus, so it blocks briefly.
    bool isKeepAwakeAvailable();

    /// Ends any keep-awake first (so starting again restarts the period), then
    /// holds a new one; true when the desktop accepted it.
    bool startKeepAwake(KeepAwakeDuration duration);
    /// Releases the keep-awake, if any, and cancels its timer.
    void stopKeepAwake();
    /// stopKeepAwake() while keeping awake, else startKeepAwake(duration).
    void toggleKeepAwake(KeepAwakeDuration duration);

    /// Starts lock watching; calling it again keeps one subscription.
    void start();
    /// Stops lock watching and releases the keep-awake: nothing the service
    /// holds outlives it.
    void stop();
    /// stopKeepAwake(), then stop().
    void shutDown();

signals:
    void isKeepingAwakeChanged(bool isKeepingAwake);
    void keepAwakeUntilChanged();
    void isScreenLockedChanged(bool isScreenLocked);

private:
    void setKeepingAwake(bool value);
    void setKeepAwakeUntil(std::optional<Date> value);
    void onLockAnnounced(bool locked);

    const std::unique_ptr<DisplaySleepInhibitor> m_inhibitor;
    const std::unique_ptr<ScreenLockMonitor> m_lockMonitor;
    Scheduler& m_scheduler;
    const ClockSource& m_clock;

    bool m_isKeepingAwake = false;
    std::optional<Date> m_keepAwakeUntil;
    bool m_isScreenLocked = false;
    std::function<void(ScreenLockEvent)> m_onLockEvent;
    std::uint32_t m_assertionID = 0;
    std::optional<ScheduledTask> m_expiry;
};
