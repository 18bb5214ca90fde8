#include "NowPlayingLines.h"

#include <QJsonDocument>
#include <QSet>

#include <tuple>

namespace NowPlayingLines {

namespace {

int rank(const Player& player)
{
    if (player.isPlaying())
        return 2;
    return player.playbackStatus == QLatin1String("Paused") ? 1 : 0;
}

QString joined(const QStringList& parts)
{
    QStringList present;
    for (const auto& part : parts)
        if (!part.isEmpty())
            present.append(part);
    return present.join(QLatin1String(", "));
}

void putText(QJsonObject& payload, const char* key, const QString& text)
{
    if (!text.isEmpty())
        payload.insert(QLatin1String(key), text);
}

constexpr auto kElapsedKey = "elapsedTime";
constexpr auto kPlayerKey = "player";

} // namespace

const Player* choose(const std::vector<Player>& players)
{
    const auto key = [](const Player& player) {
        return std::tuple(rank(player), player.lastActive, player.connectionOrder());
    };
    const Player* chosen = nullptr;
    for (const auto& player : players)
        if (!chosen || key(player) > key(*chosen))
            chosen = &player;
    return chosen;
}

QJsonObject payload(const Player* player, qint64 nowMilliseconds, const Artwork& artwork)
{
    QJsonObject payload;
    if (!player)
        return payload;
    const Track& track = player->track;
    putText(payload, "title", track.title);
    putText(payload, "artist", joined(track.artists));
    putText(payload, "album", track.album);
    putText(payload, "genre", joined(track.genres));
    putText(payload, "composer", joined(track.composers));
    putText(payload, "contentItemIdentifier", player->itemIdentity());
    if (track.lengthMicroseconds && *track.lengthMicroseconds > 0)
        payload.insert(QLatin1String("duration"), static_cast<double>(*track.lengthMicroseconds) / 1e6);
    if (track.trackNumber)
        payload.insert(QLatin1String("trackNumber"), static_cast<double>(*track.trackNumber));
    if (const auto elapsed = player->elapsedSeconds(nowMilliseconds))
        payload.insert(QLatin1String(kElapsedKey), *elapsed);
    payload.insert(QLatin1String("playbackRate"), player->isPlaying() ? player->rate : 0.0);
    payload.insert(QLatin1String("playing"), player->isPlaying());
    if (player->shuffle)
        payload.insert(QLatin1String("shuffleMode"), *player->shuffle ? "items" : "off");
    if (player->loopStatus) {
        if (*player->loopStatus == QLatin1String("None"))
            payload.insert(QLatin1String("repeatMode"), "off");
        else if (*player->loopStatus == QLatin1String("Track"))
            payload.insert(QLatin1String("repeatMode"), "one");
        else if (*player->loopStatus == QLatin1String("Playlist"))
            payload.insert(QLatin1String("repeatMode"), "all");
    }
    putText(payload, "bundleIdentifier", player->bundleIdentifier());
    putText(payload, kPlayerKey, player->busName);
    if (!artwork.isEmpty()) {
        payload.insert(QLatin1String("artworkData"), QString::fromLatin1(artwork.base64));
        payload.insert(QLatin1String("artworkMimeType"), artwork.mimeType);
    }
    return payload;
}

std::optional<QByteArray> Composer::compose(const QString& source, const QJsonObject& payload,
                                            quint64 positionGeneration)
{
    QJsonObject line;
    if (!m_started || source != m_source) {
        line.insert(QLatin1String("diff"), false);
        line.insert(QLatin1String("payload"), payload);
    } else {
        QJsonObject changes;
        QSet<QString> keys;
        for (auto it = payload.begin(); it != payload.end(); ++it)
            keys.insert(it.key());
        for (auto it = m_last.begin(); it != m_last.end(); ++it)
            keys.insert(it.key());
        for (const auto& key : keys) {
            const bool present = payload.contains(key);
            const bool changed = key == QLatin1String(kElapsedKey)
                                     ? present != m_last.contains(key) ||
                                           (present && positionGeneration != m_positionGeneration)
                                     : payload.value(key) != m_last.value(key);
            if (changed)
                changes.insert(key, present ? payload.value(key) : QJsonValue(QJsonValue::Null));
        }
        if (changes.isEmpty())
            return std::nullopt;
        line.insert(QLatin1String("diff"), true);
        line.insert(QLatin1String("payload"), changes);
    }
    m_started = true;
    m_source = source;
    m_last = payload;
    m_positionGeneration = positionGeneration;
    return QJsonDocument(line).toJson(QJsonDocument::Compact);
}

} // namespace NowPlayingLines
