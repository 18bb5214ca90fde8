#include "Platform/Desktop/NotificationServerFocusSource.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace {

constexpr auto kProperties = "org.freedesktop.DBus.Properties";
// A server that takes longer than this to answer is treated as absent.
constexpr int kCallTimeoutMs = 2000;

std::optional<bool> flagFrom(QVariant value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.metaType() != QMetaType::fromType<bool>())
        return std::nullopt;
    return value.toBool();
}

} // namespace

NotificationServerFocusSource::NotificationServerFocusSource(const QDBusConnection& bus, QObject* parent)
    : FocusStateSource(parent), m_bus(bus)
{
}

NotificationServerFocusSource::~NotificationServerFocusSource()
{
    stop();
}

void NotificationServerFocusSource::start()
{
    if (m_started)
        return;
    m_started = true;
    if (!m_bus.isConnected()) {
        m_pending = false;
        m_available = false;
        m_on = false;
        return;
    }
    m_bus.connect(kService, kPath, kProperties, "PropertiesChanged", this,
                  SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    m_watcher = new QDBusServiceWatcher(kService, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration |
                                            QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { read(); });
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] { settle(false, false); });
    m_pending = true;
    read();
}

void NotificationServerFocusSource::stop()
{
    if (!m_started)
        return;
    m_started = false;
    ++m_readGeneration;
    if (m_bus.isConnected())
        m_bus.disconnect(kService, kPath, kProperties, "PropertiesChanged", this,
                         SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    delete m_watcher;
    m_watcher = nullptr;
    m_pending = false;
}

void NotificationServerFocusSource::read()
{
    auto message = QDBusMessage::createMethodCall(kService, kPath, kProperties, "Get");
    message << QString::fromLatin1(kInterface) << QString::fromLatin1(kProperty);
    // Asking is not a reason to start a notification server.
    message.setAutoStartService(false);
    const quint64 generation = ++m_readGeneration;
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        if (generation != m_readGeneration)
            return;
        const QDBusMessage reply = finished->reply();
        const auto on = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                            ? flagFrom(reply.arguments().constFirst())
                            : std::nullopt;
        settle(on.has_value(), on.value_or(false));
    });
}

void NotificationServerFocusSource::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                                        const QStringList& invalidated)
{
    if (!m_started || interface != QLatin1String(kInterface))
        return;
    if (const auto value = changed.constFind(kProperty); value != changed.constEnd()) {
        if (const auto on = flagFrom(*value)) {
            ++m_readGeneration; // newer than any answer still on its way
            settle(true, *on);
        }
        return;
    }
    if (invalidated.contains(kProperty))
        read();
}

void NotificationServerFocusSource::settle(bool available, bool on)
{
    const bool wasPending = m_pending;
    if (!wasPending && available == m_available && on == m_on)
        return;
    m_pending = false;
    m_available = available;
    m_on = on;
    emit changed();
}
