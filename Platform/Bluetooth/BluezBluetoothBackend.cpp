#include "Platform/Bluetooth/BluezBluetoothBackend.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <map>
#include <memory>

namespace {

constexpr auto kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr auto kProperties = "org.freedesktop.DBus.Properties";
constexpr auto kAccessDenied = "org.freedesktop.DBus.Error.AccessDenied";
// BlueZ answers in milliseconds; one that takes longer is treated as absent.
constexpr int kCallTimeoutMs = 2000;

QDBusMessage bluezCall(const QString& path, const char* interface, const char* method)
{
    auto message = QDBusMessage::createMethodCall(BluezBluetoothBackend::kService, path, interface, method);
    // Looking is not a reason to start a Bluetooth daemon the system does
    // not run.
    message.setAutoStartService(false);
    return message;
}

/// A variant as it arrives from QtDBus: the value itself, or still wrapped.
QVariant unwrapped(QVariant value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

std::optional<std::string> textOf(const QVariantMap& map, const char* key)
{
    const QVariant value = unwrapped(map.value(key));
    if (value.metaType() != QMetaType::fromType<QString>())
        return std::nullopt;
    return value.toString().toStdString();
}

std::optional<bool> flagOf(const QVariantMap& map, const char* key)
{
    const QVariant value = unwrapped(map.value(key));
    if (value.metaType() != QMetaType::fromType<bool>())
        return std::nullopt;
    return value.toBool();
}

/// Battery1.Percentage is a byte; other integer types are accepted too.
std::optional<int> percentageOf(const QVariant& raw)
{
    const QVariant value = unwrapped(raw);
    switch (value.metaType().id()) {
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::UInt:
        return value.toInt();
    default:
        return std::nullopt;
    }
}

BluezProperties propertiesFrom(const QVariantMap& map)
{
    return {
        .address = textOf(map, "Address"),
        .name = textOf(map, "Name"),
        .alias = textOf(map, "Alias"),
        .connected = flagOf(map, "Connected"),
        .powered = flagOf(map, "Powered"),
        .percentage = map.contains("Percentage") ? percentageOf(map.value("Percentage")) : std::nullopt,
    };
}

/// An a{sv} argument, whether QtDBus already made a map of it or not.
std::optional<QVariantMap> mapFrom(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QVariantMap>())
        return value.toMap();
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a{sv}"))
        return std::nullopt;
    QVariantMap map;
    argument >> map;
    return map;
}

/// An a{sa{sv}} argument: interface name to its properties.
std::optional<BluezInterfaces> interfacesFrom(const QDBusArgument& argument)
{
    if (argument.currentSignature() != QLatin1String("a{sa{sv}}"))
        return std::nullopt;
    QMap<QString, QVariantMap> interfaces;
    argument >> interfaces;
    BluezInterfaces result;
    for (auto it = interfaces.cbegin(); it != interfaces.cend(); ++it)
        result.emplace(it.key().toStdString(), propertiesFrom(it.value()));
    return result;
}

std::optional<std::map<std::string, BluezInterfaces>> objectsFrom(const QDBusMessage& reply)
{
    if (reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant first = reply.arguments().constFirst();
    if (first.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    const auto argument = first.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a{oa{sa{sv}}}"))
        return std::nullopt;
    std::map<std::string, BluezInterfaces> objects;
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        argument.beginMapEntry();
        argument >> path;
        auto interfaces = interfacesFrom(argument);
        argument.endMapEntry();
        if (interfaces)
            objects.emplace(path.path().toStdString(), std::move(*interfaces));
    }
    argument.endMap();
    return objects;
}

} // namespace

struct BluezBluetoothBackend::Snapshot {
    bool answered = false;
    bool accessDenied = false;
    std::map<std::string, BluezInterfaces> objects;
};

BluezBluetoothBackend::BluezBluetoothBackend(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus)
{
    // Slots are matched to signals by their parameter types' names, which
    // fails for a type Qt has not registered yet: the signal would never come.
    qRegisterMetaType<QDBusMessage>();
}

BluezBluetoothBackend::~BluezBluetoothBackend()
{
    unwatch();
    setAvailabilityHandler({});
}

void BluezBluetoothBackend::setEventHandler(EventHandler handler)
{
    m_handler = std::move(handler);
}

BluezBluetoothBackend::Snapshot BluezBluetoothBackend::fetch()
{
    if (!m_bus.isConnected())
        return {};
    return snapshotFrom(
        m_bus.call(bluezCall(kRootPath, kObjectManager, "GetManagedObjects"), QDBus::Block, kCallTimeoutMs));
}

BluezBluetoothBackend::Snapshot BluezBluetoothBackend::snapshotFrom(const QDBusMessage& reply)
{
    Snapshot snapshot;
    if (reply.type() != QDBusMessage::ReplyMessage) {
        snapshot.accessDenied = reply.errorName() == QLatin1String(kAccessDenied);
        return snapshot;
    }
    const auto objects = objectsFrom(reply);
    if (!objects)
        return snapshot; // something else answers under BlueZ's name
    snapshot.answered = true;
    snapshot.objects = *objects;
    return snapshot;
}

BluetoothStackState BluezBluetoothBackend::read()
{
    const Snapshot snapshot = fetch();
    if (!snapshot.answered)
        return {.status = {.accessDenied = snapshot.accessDenied}};
    BluezObjectModel model;
    model.reset(snapshot.objects);
    return model.state();
}

void BluezBluetoothBackend::readStatus(std::function<void(const BluetoothStackStatus&)> done)
{
    const auto statusOf = [](const Snapshot& snapshot) {
        if (!snapshot.answered)
            return BluetoothStackStatus{.accessDenied = snapshot.accessDenied};
        BluezObjectModel model;
        model.reset(snapshot.objects);
        return model.state().status;
    };
    if (!m_bus.isConnected()) {
        QMetaObject::invokeMethod(
            this, [done = std::move(done), statusOf] { done(statusOf({})); }, Qt::QueuedConnection);
        return;
    }
    auto* call = new QDBusPendingCallWatcher(
        m_bus.asyncCall(bluezCall(kRootPath, kObjectManager, "GetManagedObjects"), kCallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done), statusOf](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                done(statusOf(snapshotFrom(finished->reply())));
            });
}

BluetoothStackState BluezBluetoothBackend::watch()
{
    follow();
    // Subscribed first, then read: a change in between shows in both, and
    // the model reports it once.
    return take(fetch());
}

void BluezBluetoothBackend::startWatching(std::function<void(const BluetoothStackState&)> done)
{
    follow();
    if (!m_bus.isConnected()) {
        QMetaObject::invokeMethod(
            this, [this, done = std::move(done)] { done(take({})); }, Qt::QueuedConnection);
        return;
    }
    auto* call = new QDBusPendingCallWatcher(
        m_bus.asyncCall(bluezCall(kRootPath, kObjectManager, "GetManagedObjects"), kCallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, watch = m_watches, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                // An unwatch came first: the answer belongs to a watch that ended.
                if (m_watching && watch == m_watches)
                    done(take(snapshotFrom(finished->reply())));
            });
}

void BluezBluetoothBackend::follow()
{
    if (m_watching || !m_bus.isConnected())
        return;
    m_watching = true;
    connectSignals(true);
    m_watcher = new QDBusServiceWatcher(kService, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration |
                                            QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &BluezBluetoothBackend::onServiceRegistered);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &BluezBluetoothBackend::onServiceUnregistered);
}

BluetoothStackState BluezBluetoothBackend::take(const Snapshot& snapshot)
{
    m_model.reset(snapshot.answered ? snapshot.objects : std::map<std::string, BluezInterfaces>{});
    if (!snapshot.answered)
        return {.status = {.accessDenied = snapshot.accessDenied}};
    return m_model.state();
}

void BluezBluetoothBackend::unwatch()
{
    if (!m_watching)
        return;
    m_watching = false;
    ++m_watches;
    connectSignals(false);
    delete m_watcher;
    m_watcher = nullptr;
    m_model.reset({});
}

bool BluezBluetoothBackend::connectSignals(bool connect)
{
    using Method = bool (QDBusConnection::*)(const QString&, const QString&, const QString&, const QString&,
                                             QObject*, const char*);
    const Method method = connect ? Method(&QDBusConnection::connect) : Method(&QDBusConnection::disconnect);
    bool ok = (m_bus.*method)(kService, kRootPath, kObjectManager, "InterfacesAdded", this,
                              SLOT(onInterfacesAdded(QDBusMessage)));
    ok = (m_bus.*method)(kService, kRootPath, kObjectManager, "InterfacesRemoved", this,
                         SLOT(onInterfacesRemoved(QDBusMessage))) &&
         ok;
    // Every object of BlueZ: adapters, devices and their batteries.
    ok = (m_bus.*method)(kService, QString(), kProperties, "PropertiesChanged", this,
                         SLOT(onPropertiesChanged(QDBusMessage))) &&
         ok;
    return ok;
}

void BluezBluetoothBackend::report(const std::vector<BluetoothBackendEvent>& events)
{
    for (const auto& event : events) {
        if (!m_watching)
            return;
        // The handler may replace itself; the copy keeps this call alive.
        const EventHandler handler = m_handler;
        if (handler)
            handler(event);
    }
}

void BluezBluetoothBackend::onInterfacesAdded(const QDBusMessage& message)
{
    const auto arguments = message.arguments();
    if (arguments.size() < 2 || arguments.at(0).metaType() != QMetaType::fromType<QDBusObjectPath>() ||
        arguments.at(1).metaType() != QMetaType::fromType<QDBusArgument>())
        return;
    const auto interfaces = interfacesFrom(arguments.at(1).value<QDBusArgument>());
    if (!interfaces)
        return;
    report(m_model.interfacesAdded(arguments.at(0).value<QDBusObjectPath>().path().toStdString(), *interfaces));
}

void BluezBluetoothBackend::onInterfacesRemoved(const QDBusMessage& message)
{
    const auto arguments = message.arguments();
    if (arguments.size() < 2 || arguments.at(0).metaType() != QMetaType::fromType<QDBusObjectPath>() ||
        arguments.at(1).metaType() != QMetaType::fromType<QStringList>())
        return;
    std::vector<std::string> interfaces;
    for (const auto& name : arguments.at(1).toStringList())
        interfaces.push_back(name.toStdString());
    report(m_model.interfacesRemoved(arguments.at(0).value<QDBusObjectPath>().path().toStdString(), interfaces));
}

void BluezBluetoothBackend::onPropertiesChanged(const QDBusMessage& message)
{
    const auto arguments = message.arguments();
    if (arguments.size() < 2 || arguments.at(0).metaType() != QMetaType::fromType<QString>())
        return;
    const auto changed = mapFrom(arguments.at(1));
    if (!changed)
        return;
    std::vector<std::string> invalidated;
    if (arguments.size() > 2)
        for (const auto& name : arguments.at(2).toStringList())
            invalidated.push_back(name.toStdString());
    report(m_model.propertiesChanged(message.path().toStdString(), arguments.at(0).toString().toStdString(),
                                     propertiesFrom(*changed), invalidated));
}

void BluezBluetoothBackend::onServiceRegistered()
{
    // BlueZ came back: read what it holds now, without holding up the loop.
    auto* call = new QDBusPendingCallWatcher(
        m_bus.asyncCall(bluezCall(kRootPath, kObjectManager, "GetManagedObjects"), kCallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        if (!m_watching)
            return;
        if (const auto objects = objectsFrom(finished->reply()))
            report(m_model.merge(*objects));
    });
}

void BluezBluetoothBackend::onServiceUnregistered()
{
    report(m_model.vanished());
}

void BluezBluetoothBackend::setAvailabilityHandler(std::function<void()> handler)
{
    const bool wasFollowing = m_availabilityWatcher != nullptr;
    m_availability = std::move(handler);
    const bool follow = bool(m_availability) && m_bus.isConnected();
    if (follow == wasFollowing)
        return;
    if (follow) {
        m_availabilityWatcher =
            new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_availabilityWatcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            if (const auto handler = m_availability)
                handler();
        });
        m_bus.connect(kService, kRootPath, kObjectManager, "InterfacesAdded", this,
                      SLOT(onAdapterMayHaveBeenAdded(QDBusMessage)));
    } else {
        m_bus.disconnect(kService, kRootPath, kObjectManager, "InterfacesAdded", this,
                         SLOT(onAdapterMayHaveBeenAdded(QDBusMessage)));
        delete m_availabilityWatcher;
        m_availabilityWatcher = nullptr;
    }
}

void BluezBluetoothBackend::onAdapterMayHaveBeenAdded(const QDBusMessage& message)
{
    const auto arguments = message.arguments();
    if (arguments.size() < 2 || arguments.at(1).metaType() != QMetaType::fromType<QDBusArgument>())
        return;
    const auto interfaces = interfacesFrom(arguments.at(1).value<QDBusArgument>());
    if (!interfaces || !interfaces->contains(BluezObjectModel::kAdapterInterface))
        return;
    if (const auto handler = m_availability)
        handler();
}

void BluezBluetoothBackend::readBattery(const std::string& handle, std::function<void(std::optional<int>)> done)
{
    if (!m_bus.isConnected() || handle.empty() || handle.front() != '/') {
        QMetaObject::invokeMethod(this, [done = std::move(done)] { done(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    auto message = bluezCall(QString::fromStdString(handle), kProperties, "Get");
    message << QString::fromLatin1(BluezObjectModel::kBatteryInterface) << QStringLiteral("Percentage");
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [done = std::move(done)](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusMessage reply = finished->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            done(std::nullopt);
            return;
        }
        done(percentageOf(reply.arguments().constFirst()));
    });
}

void BluezBluetoothBackend::powerOn(std::function<void(bool)> done)
{
    // Which adapters there are, without holding up the loop, then every one
    // that is off switched on.
    auto* look = new QDBusPendingCallWatcher(
        m_bus.asyncCall(bluezCall(kRootPath, kObjectManager, "GetManagedObjects"), kCallTimeoutMs), this);
    connect(look, &QDBusPendingCallWatcher::finished, this,
            [this, done = std::move(done)](QDBusPendingCallWatcher* finished) mutable {
                finished->deleteLater();
                switchOn(snapshotFrom(finished->reply()), std::move(done));
            });
}

void BluezBluetoothBackend::switchOn(const Snapshot& snapshot, std::function<void(bool)> done)
{
    struct Pending {
        int calls = 0;
        bool on = false;
        std::function<void(bool)> done;
    };
    auto pending = std::make_shared<Pending>();
    pending->done = std::move(done);

    for (const auto& [path, interfaces] : snapshot.objects) {
        const auto adapter = interfaces.find(BluezObjectModel::kAdapterInterface);
        if (adapter == interfaces.end())
            continue;
        if (adapter->second.powered.value_or(false)) {
            pending->on = true;
            continue;
        }
        auto message = bluezCall(QString::fromStdString(path), kProperties, "Set");
        message << QString::fromLatin1(BluezObjectModel::kAdapterInterface) << QStringLiteral("Powered")
                << QVariant::fromValue(QDBusVariant(true));
        auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), this);
        ++pending->calls;
        connect(call, &QDBusPendingCallWatcher::finished, this, [pending](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            if (finished->reply().type() == QDBusMessage::ReplyMessage)
                pending->on = true;
            if (--pending->calls == 0)
                pending->done(pending->on);
        });
    }
    if (pending->calls == 0)
        pending->done(pending->on);
}
