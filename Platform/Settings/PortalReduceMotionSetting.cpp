#include "Platform/Settings/PortalReduceMotionSetting.h"

#include "Platform/DBus/DBusCalls.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include <utility>

PortalReduceMotionSetting::PortalReduceMotionSetting(QObject* parent) : ReduceMotionSetting(parent), m_bus(QString())
{
}

PortalReduceMotionSetting::PortalReduceMotionSetting(const QDBusConnection& bus, QObject* parent)
    : PortalReduceMotionSetting(parent)
{
    watch(bus);
}

void PortalReduceMotionSetting::watch(const QDBusConnection& bus)
{
    if (std::exchange(m_watched, true))
        return;
    m_bus = bus;
    if (!m_bus.isConnected())
        return;
    // The slot's types are looked up by name, which fails for a type Qt has
    // not registered yet; the connection would silently never deliver.
    qRegisterMetaType<QDBusVariant>();
    m_bus.connect(kService, kPath, kInterface, "SettingChanged", this,
                  SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    read("ReadOne");
}

void PortalReduceMotionSetting::read(const QString& method)
{
    auto message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message << QString::fromLatin1(kNamespace) << QString::fromLatin1(kKey);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, DBusCalls::kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, method](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            apply(reply.arguments().constFirst());
            return;
        }
        // Portals before version 2 only have the deprecated Read().
        if (method == QLatin1String("ReadOne") &&
            reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod"))
            read("Read");
    });
}

void PortalReduceMotionSetting::onSettingChanged(const QString& settingNamespace, const QString& key,
                                                 const QDBusVariant& value)
{
    if (settingNamespace == QLatin1String(kNamespace) && key == QLatin1String(kKey))
        apply(value.variant());
}

void PortalReduceMotionSetting::apply(const QVariant& raw)
{
    // Read() wraps the value in one more variant than ReadOne().
    const QVariant value = DBusCalls::unwrapped(raw);
    // Anything but a boolean is not this key's value; keep what we had.
    if (value.metaType() != QMetaType::fromType<bool>())
        return;
    m_available = true;
    const bool reduce = !value.toBool();
    if (reduce == m_reduceMotion)
        return;
    m_reduceMotion = reduce;
    emit changed(reduce);
}
