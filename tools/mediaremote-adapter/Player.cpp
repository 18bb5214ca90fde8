#include "Player.h"

#include <QCryptographicHash>

#include <algorithm>

namespace {

constexpr auto kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
// Hex digits of the identity: 128 bits, far from any collision.
constexpr qsizetype kIdentityLength = 32;

} // namespace

QString Track::itemId() const
{
    return trackId == QLatin1String(kNoTrack) ? QString() : trackId;
}

bool Track::isAnotherItem(const Track& other) const
{
    if (!itemId().isEmpty() || !other.itemId().isEmpty() || !url.isEmpty() || !other.url.isEmpty())
        return itemId() != other.itemId() || url != other.url;
    return title != other.title || artists != other.artists || album != other.album;
}

QString Player::itemIdentity() const
{
    const QString id = track.itemId();
    if (id.isEmpty() && track.url.isEmpty())
        return {};
    // A digest rather than the parts: a fixed length whose first characters
    // already differ (traces cut the key short), and no file path in it.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& part : {busName, id, track.url}) {
        hash.addData(part.toUtf8());
        hash.addData(QByteArrayView("\0", 1));
    }
    return QString::fromLatin1(hash.result().toHex().left(kIdentityLength));
}

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
