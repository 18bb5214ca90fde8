#pragma once
// Learning when the screen locks and unlocks. The Linux backend
// (DBusScreenLockMonitor) follows exactly one source of the session; tests use
// FakeScreenLockMonitor.

#include <functional>

class ScreenLockMonitor {
public:
    /// Told `true` when the screen locked, `false` when it unlocked, once for
    /// every announcement (the same state may be announced twice).
    using Handler = std::function<void(bool locked)>;

    virtual ~ScreenLockMonitor() = default;

    /// Starts following, replacing any earlier handler and subscription, so
    /// one lock is announced once however often this is called. Returns at
    /// once; the handler runs on the thread that owns the monitor (the main
    /// thread) from its event loop.
    virtual void start(Handler handler) = 0;
    /// Stops following; the handler is not called any more.
    virtual void stop() = 0;
};
