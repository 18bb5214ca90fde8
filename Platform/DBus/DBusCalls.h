#pragma once
// Small D-Bus helpers shared by the D-Bus backends.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace DBusCalls {

/// How long a daemon may take to answer before it counts as absent.
inline constexpr int kCallTimeoutMs = 2000;

/// `value` with every D-Bus variant layer taken off, wherever it came from
/// (a plain QDBusVariant or one still inside a QDBusArgument).
QVariant unwrapped(QVariant value);

/// org.freedesktop.DBus.Properties.Get / GetAll. Never read properties
/// through QDBusInterface::property(), which blocks on introspection and
/// hides errors.
QDBusMessage propertyCall(const QString& service, const QString& path, const QString& interface,
                          const QString& property);
QDBusMessage allPropertiesCall(const QString& service, const QString& path, const QString& interface);

/// The value a Get answered, with its variant wrapper taken off; invalid for
/// an error or a malformed answer.
QVariant propertyFrom(const QDBusMessage& reply);
/// The map a GetAll answered; empty for an error or a malformed answer.
QVariantMap propertiesFrom(const QDBusMessage& reply);

/// A bool the answer holds, or none when it holds anything else.
std::optional<bool> boolFrom(const QDBusMessage& reply);

} // namespace DBusCalls
