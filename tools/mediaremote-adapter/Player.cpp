#include "Player.h"

#include <algorithm>

std::optional<double> Player::elapsedSeconds(qint64 nowMilliseconds) const
{
    if (!positionMicroseconds)
        return std::nullopt;
    double seconds = static_cast<double>(*positionMicroseconds) / 1e6;
    if (isPlaying())
        seconds += rate * static_cast<double>(nowMilliseconds - positionTakenAtMilliseconds) / 1e3;
    if (track.lengthMicroseconds && *track.lengthMicroseconds > 0)
        seconds = std::min(seconds, static_cast<double>(*track.lengthMicroseconds) / 1e6);
    return std::max(seconds, 0.0);
}

void Player::setPosition(qint64 microseconds, qint64 nowMilliseconds)
{
    positionMicroseconds = microseconds;
    positionTakenAtMilliseconds = nowMilliseconds;
    ++positionGeneration;
}

QString Player::bundleIdentifier() const
{
    if (!desktopEntry.isEmpty())
        return desktopEntry;
    QString name = busName.section(QLatin1Char('.'), 3);
    // Several instances of one player register "<name>.instance<pid>".
    if (const auto instance = name.indexOf(QLatin1String(".instance")); instance > 0)
        name.truncate(instance);
    return name;
}

std::pair<qint64, qint64> Player::connectionOrder() const
{
    const QStringList parts = owner.mid(1).split(QLatin1Char('.'));
    return {parts.value(0).toLongLong(), parts.value(1).toLongLong()};
}
