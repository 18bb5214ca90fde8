#include "Platform/Power/UPowerPowerSource.h"

#include "Platform/Core/MainThread.h"
#include "Platform/DBus/DBusCalls.h"

#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <utility>

namespace {

constexpr auto kDBusPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr auto kActiveProfile = "ActiveProfile";

// UPower's device states.
constexpr uint kStateCharging = 1;
constexpr uint kStateFullyCharged = 4;

std::optional<double> numberFrom(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const double number = value.toDouble();
        return std::isfinite(number) ? std::optional(number) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<bool> boolFrom(const QVariant& value)
{
    if (value.metaType() != QMetaType::fromType<bool>())
        return std::nullopt;
    return value.toBool();
}

} // namespace

UPowerPowerSource::UPowerPowerSource(const QDBusConnection& systemBus, QObject* parent)
    : QObject(parent), m_bus(systemBus)
{
}

UPowerPowerSource::~UPowerPowerSource()
{
    stop();
}

std::optional<PowerSourceReading> UPowerPowerSource::readingFrom(const QVariantMap& device, const QVariantMap& upower,
                                                                MainsPowerJudge& judge)
{
    // Without a battery the display device still exists: not present, at 0 %,
    // which must not read as an empty battery.
    if (boolFrom(device.value("IsPresent")) != true)
        return std::nullopt;

    PowerSourceReading reading;
    if (const auto percentage = numberFrom(device.value("Percentage")))
        reading.percentage = std::clamp(*percentage / 100.0, 0.0, 1.0);

    const uint state = static_cast<uint>(numberFrom(device.value("State")).value_or(0));
    reading.isCharging = state == kStateCharging;
    reading.isCharged = state == kStateFullyCharged;
    const auto onBattery = boolFrom(upower.value("OnBattery"));
    reading.isPluggedIn = judge.isOnMains(onBattery ? std::optional(!*onBattery) : std::nullopt,
                                          MainsPowerJudge::onMainsByState(state));

    // 0 means UPower is still estimating.
    const auto seconds = numberFrom(device.value(reading.isCharging ? "TimeToFull" : "TimeToEmpty"));
    if (seconds && *seconds > 0)
        reading.timeRemaining = *seconds;
    return reading;
}

bool UPowerPowerSource::start()
{
    if (!m_bus.isConnected())
        return false;
    if (m_started)
        return true;
    m_started = true;
    connectSignals(true);
    m_watcher = new QDBusServiceWatcher(this);
    m_watcher->setConnection(m_bus);
    m_watcher->setWatchMode(QDBusServiceWatcher::WatchForRegistration);
    m_watcher->setWatchedServices({kUPowerService, kProfilesService});
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &UPowerPowerSource::onServiceRegistered);
    return true;
}

void UPowerPowerSource::stop()
{
    if (!m_started)
        return;
    m_started = false;
    connectSignals(false);
    delete m_watcher;
    m_watcher = nullptr;
    ++m_generation;
    m_batteryRefreshQueued = m_batteryReadPending = m_batteryReadAgain = false;
    m_profileReadPending = m_profileReadAgain = false;
}

void UPowerPowerSource::connectSignals(bool connect)
{
    const auto slot = SLOT(onPropertiesChanged(QString, QVariantMap, QStringList));
    const auto profilesSlot = SLOT(onProfilesChanged(QString, QVariantMap, QStringList));
    const auto link = [&](const char* service, const char* path, const char* method) {
        if (connect)
            m_bus.connect(service, path, kDBusPropertiesInterface, "PropertiesChanged", this, method);
        else
            m_bus.disconnect(service, path, kDBusPropertiesInterface, "PropertiesChanged", this, method);
    };
    link(kUPowerService, kDisplayDevicePath, slot);
    link(kUPowerService, kUPowerPath, slot);
    link(kProfilesService, kProfilesPath, profilesSlot);
}

std::optional<PowerSourceReading> UPowerPowerSource::readBattery()
{
    if (!m_bus.isConnected())
        return std::nullopt;
    const QVariantMap device = DBusCalls::propertiesFrom(
        m_bus.call(DBusCalls::allPropertiesCall(kUPowerService, kDisplayDevicePath, kDeviceInterface), QDBus::Block,
                   DBusCalls::kCallTimeoutMs));
    if (device.isEmpty())
        return std::nullopt;
    const QVariantMap upower = DBusCalls::propertiesFrom(
        m_bus.call(DBusCalls::allPropertiesCall(kUPowerService, kUPowerPath, kUPowerInterface), QDBus::Block,
                   DBusCalls::kCallTimeoutMs));
    return readingFrom(device, upower, m_judge);
}

bool UPowerPowerSource::readLowPowerMode()
{
    if (!m_bus.isConnected())
        return false;
    const QVariant profile = DBusCalls::propertyFrom(
        m_bus.call(DBusCalls::propertyCall(kProfilesService, kProfilesPath, kProfilesInterface, kActiveProfile),
                   QDBus::Block, DBusCalls::kCallTimeoutMs));
    return profile.toString() == QLatin1String(kPowerSaverProfile);
}

void UPowerPowerSource::readAll(ReadDone done)
{
    struct Answers {
        int due = 3;
        QVariantMap device;
        QVariantMap upower;
        bool lowPowerMode = false;
        ReadDone done;
    };
    auto answers = std::make_shared<Answers>();
    answers->done = std::move(done);
    const auto finish = [this, answers] {
        if (--answers->due > 0)
            return;
        const auto reading =
            answers->device.isEmpty() ? std::nullopt : readingFrom(answers->device, answers->upower, m_judge);
        answers->done(reading, answers->lowPowerMode);
    };
    if (!m_bus.isConnected()) {
        postTo(this, [answers] { answers->done(std::nullopt, false); });
        return;
    }
    // Asked together; the answers are put together once all three are in.
    const auto ask = [&](const QDBusMessage& message, std::function<void(const QDBusMessage&)> take) {
        auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, DBusCalls::kCallTimeoutMs), this);
        connect(call, &QDBusPendingCallWatcher::finished, this,
                [finish, take = std::move(take)](QDBusPendingCallWatcher* finished) {
                    finished->deleteLater();
                    take(finished->reply());
                    finish();
                });
    };
    ask(DBusCalls::allPropertiesCall(kUPowerService, kDisplayDevicePath, kDeviceInterface),
        [answers](const QDBusMessage& reply) { answers->device = DBusCalls::propertiesFrom(reply); });
    ask(DBusCalls::allPropertiesCall(kUPowerService, kUPowerPath, kUPowerInterface),
        [answers](const QDBusMessage& reply) { answers->upower = DBusCalls::propertiesFrom(reply); });
    ask(DBusCalls::propertyCall(kProfilesService, kProfilesPath, kProfilesInterface, kActiveProfile),
        [answers](const QDBusMessage& reply) {
            answers->lowPowerMode = DBusCalls::propertyFrom(reply).toString() == QLatin1String(kPowerSaverProfile);
        });
}

void UPowerPowerSource::onPropertiesChanged(const QString& interface, const QVariantMap&, const QStringList&)
{
    if (interface != QLatin1String(kDeviceInterface) && interface != QLatin1String(kUPowerInterface))
        return;
    // The rest of the burst is usually queued already: read once after it.
    if (m_batteryRefreshQueued)
        return;
    m_batteryRefreshQueued = true;
    const quint64 generation = m_generation;
    postTo(this, [this, generation] {
        if (generation != m_generation)
            return;
        m_batteryRefreshQueued = false;
        refreshBattery();
    });
}

void UPowerPowerSource::onProfilesChanged(const QString& interface, const QVariantMap& changed,
                                          const QStringList& invalidated)
{
    if (interface == QLatin1String(kProfilesInterface) &&
        (changed.contains(kActiveProfile) || invalidated.contains(kActiveProfile)))
        refreshLowPowerMode();
}

void UPowerPowerSource::onServiceRegistered(const QString& service)
{
    if (service == QLatin1String(kUPowerService))
        refreshBattery();
    else if (service == QLatin1String(kProfilesService))
        refreshLowPowerMode();
}

void UPowerPowerSource::refreshBattery()
{
    if (!m_started)
        return;
    if (m_batteryReadPending) {
        m_batteryReadAgain = true;
        return;
    }
    m_batteryReadPending = true;
    const quint64 generation = m_generation;
    // The device first, then OnBattery: both answers describe the state after
    // every signal that came before the first one was sent.
    auto* deviceCall = new QDBusPendingCallWatcher(
        m_bus.asyncCall(DBusCalls::allPropertiesCall(kUPowerService, kDisplayDevicePath, kDeviceInterface),
                        DBusCalls::kCallTimeoutMs),
        this);
    connect(deviceCall, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (generation != m_generation)
            return;
        const QVariantMap device = DBusCalls::propertiesFrom(call->reply());
        auto* upowerCall = new QDBusPendingCallWatcher(
            m_bus.asyncCall(DBusCalls::allPropertiesCall(kUPowerService, kUPowerPath, kUPowerInterface),
                            DBusCalls::kCallTimeoutMs),
            this);
        connect(upowerCall, &QDBusPendingCallWatcher::finished, this,
                [this, generation, device](QDBusPendingCallWatcher* call) {
                    call->deleteLater();
                    if (generation != m_generation)
                        return;
                    m_batteryReadPending = false;
                    if (std::exchange(m_batteryReadAgain, false)) {
                        refreshBattery(); // this reading is already out of date
                        return;
                    }
                    const auto reading = readingFrom(device, DBusCalls::propertiesFrom(call->reply()), m_judge);
                    if (m_handlers.batteryChanged)
                        m_handlers.batteryChanged(reading);
                });
    });
}

void UPowerPowerSource::refreshLowPowerMode()
{
    if (!m_started)
        return;
    if (m_profileReadPending) {
        m_profileReadAgain = true;
        return;
    }
    m_profileReadPending = true;
    const quint64 generation = m_generation;
    auto* profileCall = new QDBusPendingCallWatcher(
        m_bus.asyncCall(DBusCalls::propertyCall(kProfilesService, kProfilesPath, kProfilesInterface, kActiveProfile),
                        DBusCalls::kCallTimeoutMs),
        this);
    connect(profileCall, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (generation != m_generation)
            return;
        m_profileReadPending = false;
        if (std::exchange(m_profileReadAgain, false)) {
            refreshLowPowerMode();
            return;
        }
        const QVariant profile = DBusCalls::propertyFrom(call->reply());
        // A daemon that went away meanwhile tells nothing about the mode.
        if (!profile.isValid())
            return;
        if (m_handlers.lowPowerModeChanged)
            m_handlers.lowPowerModeChanged(profile.toString() == QLatin1String(kPowerSaverProfile));
    });
}
