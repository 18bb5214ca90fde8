#pragma once
// Sets a backlight through logind, which lets the user of the active session
// change the brightness without owning the device file:
// org.freedesktop.login1.Session.SetBrightness(subsystem, name, value) on the
// caller's own session ("/org/freedesktop/login1/session/auto").

#include <QDBusConnection>
#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

class LogindBrightness {
public:
    static constexpr std::chrono::milliseconds kTimeout{500};

    /// Told whether logind did it.
    using Done = std::function<void(bool done)>;

    /// `systemBus`: the bus logind is on (a private one in tests).
    explicit LogindBrightness(const QDBusConnection& systemBus = QDBusConnection::systemBus());
    ~LogindBrightness();

    LogindBrightness(const LogindBrightness&) = delete;
    LogindBrightness& operator=(const LogindBrightness&) = delete;

    /// Asks logind to write `value` (the device's own units) to the device
    /// `name` of `subsystem` ("backlight" or "leds") without waiting; `done`
    /// runs from the event loop with the answer: false without logind,
    /// outside an active session, or when logind refuses. Returns false, and
    /// never calls `done`, when logind is not asked at all: without a bus,
    /// or once it has failed to answer in time, so that a stuck daemon costs
    /// one timeout, not one per key press. Answers still due when this is
    /// destroyed are dropped. Main thread.
    bool setBrightness(std::string_view subsystem, std::string_view name, std::uint32_t value, Done done);

private:
    QDBusConnection m_bus;
    std::unique_ptr<QObject> m_calls = std::make_unique<QObject>();
    std::atomic<bool> m_unresponsive = false;
};
