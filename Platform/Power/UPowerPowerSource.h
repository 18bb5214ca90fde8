#pragma once
// The battery from UPower's display device (all batteries combined) and the
// power-saving mode from power-profiles-daemon, both on the system bus.
//
// The display device's properties change one PropertiesChanged signal at a
// time, so one change of the battery comes as a burst of signals. The backend
// re-reads the device once for the whole burst: it reads after the signals
// already waiting in the event loop, a signal that arrives while a read is
// under way only asks for one more read after it, and a reading that a newer
// one has overtaken is not reported. A daemon that starts later, or
// restarts, is read again when it appears. Whether the machine is on mains
// comes from UPower's OnBattery and the battery's state (MainsPowerJudge).

#include "Platform/Power/MainsPowerJudge.h"
#include "Platform/Power/PowerSource.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class QDBusMessage;
class QDBusServiceWatcher;

class UPowerPowerSource final : public QObject, public PowerSource {
    Q_OBJECT
public:
    explicit UPowerPowerSource(const QDBusConnection& systemBus = QDBusConnection::systemBus(),
                               QObject* parent = nullptr);
    ~UPowerPowerSource() override;

    void setHandlers(Handlers handlers) override { m_handlers = std::move(handlers); }
    bool start() override;
    void stop() override;
    std::optional<PowerSourceReading> readBattery() override;
    bool readLowPowerMode() override;
    void readAll(ReadDone done) override;

    static constexpr const char* kUPowerService = "org.freedesktop.UPower";
    static constexpr const char* kUPowerPath = "/org/freedesktop/UPower";
    static constexpr const char* kUPowerInterface = "org.freedesktop.UPower";
    static constexpr const char* kDisplayDevicePath = "/org/freedesktop/UPower/devices/DisplayDevice";
    static constexpr const char* kDeviceInterface = "org.freedesktop.UPower.Device";
    static constexpr const char* kProfilesService = "net.hadess.PowerProfiles";
    static constexpr const char* kProfilesPath = "/net/hadess/PowerProfiles";
    static constexpr const char* kProfilesInterface = "net.hadess.PowerProfiles";
    static constexpr const char* kPowerSaverProfile = "power-saver";

    /// The reading that the display device's properties and UPower's OnBattery
    /// amount to; none without a battery. Either map may be empty when it
    /// could not be read. `judge` remembers the earlier readings' accounts of
    /// mains power.
    static std::optional<PowerSourceReading> readingFrom(const QVariantMap& device, const QVariantMap& upower,
                                                         MainsPowerJudge& judge);

private slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);
    void onProfilesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);
    void onServiceRegistered(const QString& service);

private:
    void refreshBattery();
    void refreshLowPowerMode();
    void connectSignals(bool connect);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher = nullptr;
    Handlers m_handlers;
    MainsPowerJudge m_judge;
    bool m_started = false;
    // A read is posted behind the signals already queued; a read is under
    // way; another signal asked for a read after it.
    bool m_batteryRefreshQueued = false;
    bool m_batteryReadPending = false;
    bool m_batteryReadAgain = false;
    bool m_profileReadPending = false;
    bool m_profileReadAgain = false;
    // Bumped by stop(), so that answers to reads of an earlier start are
    // dropped.
    quint64 m_generation = 0;
};
