#pragma once
// Tells when the machine wakes from sleep, so the windows can be rebuilt for
// screens that may have changed while it slept.
//   LogindWakeMonitor  logind's PrepareForSleep(false) on the system bus
//   FakeWakeMonitor    woken by hand (tests)

#include <QDBusConnection>
#include <QObject>

class SystemWakeMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isAvailable() const = 0;

signals:
    void didWake();
};

class LogindWakeMonitor final : public SystemWakeMonitor {
    Q_OBJECT
public:
    /// Watches nothing until watch(): connecting to a bus takes a round trip
    /// the app's start need not wait for.
    explicit LogindWakeMonitor(QObject* parent = nullptr);
    /// Watches `bus` at once.
    explicit LogindWakeMonitor(const QDBusConnection& bus, QObject* parent = nullptr);

    /// Follows logind on `bus`; unavailable (and silent) when the bus is not
    /// connected. Once only: later calls are ignored.
    void watch(const QDBusConnection& bus);

    bool isAvailable() const override { return m_available; }

    static constexpr const char* kService = "org.freedesktop.login1";
    static constexpr const char* kPath = "/org/freedesktop/login1";
    static constexpr const char* kInterface = "org.freedesktop.login1.Manager";

private slots:
    void onPrepareForSleep(bool starting);

private:
    bool m_watched = false;
    bool m_available = false;
};

class FakeWakeMonitor final : public SystemWakeMonitor {
    Q_OBJECT
public:
    using SystemWakeMonitor::SystemWakeMonitor;

    bool isAvailable() const override { return true; }
    void wake() { emit didWake(); }
};
