#include "Platform/DBus/DBusCalls.h"

#include <QDBusArgument>
#include <QDBusVariant>

namespace DBusCalls {

namespace {

constexpr auto kPropertiesInterface = "org.freedesktop.DBus.Properties";

bool isAnswer(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

} // namespace

QVariant unwrapped(QVariant value)
{
    for (int depth = 0; depth < 4; ++depth) {
        if (value.metaType() == QMetaType::fromType<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        else if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
            const auto argument = value.value<QDBusArgument>();
            if (argument.currentType() != QDBusArgument::VariantType)
                break;
            value = qdbus_cast<QDBusVariant>(argument).variant();
        } else
            break;
    }
    return value;
}

QDBusMessage propertyCall(const QString& service, const QString& path, const QString& interface,
                          const QString& property)
{
    auto message = QDBusMessage::createMethodCall(service, path, kPropertiesInterface, "Get");
    message << interface << property;
    return message;
}

QDBusMessage allPropertiesCall(const QString& service, const QString& path, const QString& interface)
{
    auto message = QDBusMessage::createMethodCall(service, path, kPropertiesInterface, "GetAll");
    message << interface;
    return message;
}

QVariant propertyFrom(const QDBusMessage& reply)
{
    return isAnswer(reply) ? unwrapped(reply.arguments().constFirst()) : QVariant();
}

QVariantMap propertiesFrom(const QDBusMessage& reply)
{
    if (!isAnswer(reply))
        return {};
    const QVariant value = reply.arguments().constFirst();
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const auto argument = value.value<QDBusArgument>();
        if (argument.currentType() != QDBusArgument::MapType)
            return {};
        QVariantMap map;
        argument >> map;
        for (auto it = map.begin(); it != map.end(); ++it)
            it.value() = unwrapped(it.value());
        return map;
    }
    return value.metaType() == QMetaType::fromType<QVariantMap>() ? value.toMap() : QVariantMap();
}

std::optional<bool> boolFrom(const QDBusMessage& reply)
{
    const QVariant value = propertyFrom(reply);
    if (value.metaType() != QMetaType::fromType<bool>())
        return std::nullopt;
    return value.toBool();
}

} // namespace DBusCalls
