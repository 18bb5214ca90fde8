#pragma once
// Sets a backlight through logind, which lets the user of the active session
// change the brightness without owning the device file:
// org.freedesktop.login1.Session.SetBrightness(subsystem, name, value) on the
// caller's own session ("/org/freedesktop/login1/session/auto").

#include <QDBusConnection>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string_view>

class LogindBrightness {
public:
    static constexpr std::chrono::milliseconds kTimeout{500};

    /// `systemBus`: the bus logind is on (a private one in tests).
    explicit LogindBrightness(const QDBusConnection& systemBus = QDBusConnection::systemBus());

    /// Asks logind to write `value` (the device's own units) to the device
    /// `name` of `subsystem` ("backlight" or "leds") and waits for the answer;
    /// true when logind did it. False without a bus or logind, outside an
    /// active session, or when logind refuses. Once logind has failed to
    /// answer in time it is not asked again, so a stuck daemon costs one
    /// timeout, not one per key press. Main thread.
    bool setBrightness(std::string_view subsystem, std::string_view name, std::uint32_t value);

private:
    QDBusConnection m_bus;
    std::atomic<bool> m_unresponsive = false;
};
