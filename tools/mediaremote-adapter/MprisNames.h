#pragma once
// The names media players use on the session bus.

#include <QString>
#include <QVariant>

namespace Mpris {

inline constexpr auto kServicePrefix = "org.mpris.MediaPlayer2.";
inline constexpr auto kObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr auto kRootInterface = "org.mpris.MediaPlayer2";
inline constexpr auto kPlayerInterface = "org.mpris.MediaPlayer2.Player";
inline constexpr auto kPropertiesInterface = "org.freedesktop.DBus.Properties";
/// Calls to a player that takes longer are given up.
inline constexpr int kCallTimeoutMilliseconds = 2000;

inline bool isPlayerName(const QString& name)
{
    return name.startsWith(QLatin1String(kServicePrefix));
}

/// A value out of a D-Bus variant or argument, as a plain QVariant: maps of
/// variants become QVariantMap and arrays of strings QStringList.
QVariant plain(const QVariant& value);

} // namespace Mpris
