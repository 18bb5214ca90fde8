#pragma once
// What the streaming adapter prints: one JSON object per line, a replacement
// ({"diff":false,"payload":{...}}) whenever the chosen player changes, then a
// diff ({"diff":true,"payload":{...}}) with only the keys that changed (a key
// that went away comes as null). The elapsed time is sent when the position
// was taken anew, not because time passed: the reader extrapolates it with
// the playback rate. The payload names its player by bus name ("player"),
// which the app hands back to a command so it reaches the player shown; a
// player keeps its name, so the key comes in replacements only. The item's
// identity ("contentItemIdentifier") is Player::itemIdentity: two players
// that reuse one track id, or one player that plays another file under the
// same id, still name different items.

#include "Artwork.h"
#include "Player.h"

#include <QByteArray>
#include <QJsonObject>

#include <optional>
#include <vector>

namespace NowPlayingLines {

/// The player whose track to show: a playing one over a paused one over any
/// other, then the most recently active, then the one whose connection
/// joined the bus last. None without players.
const Player* choose(const std::vector<Player>& players);

/// The payload for `player` at `nowMilliseconds` (the empty object without
/// one). A paused player's rate is 0, whatever the player says.
QJsonObject payload(const Player* player, qint64 nowMilliseconds, const Artwork& artwork);

class Composer {
public:
    /// The line (without its newline) telling the reader about `payload`,
    /// the payload of the player named `source` (empty for none) whose
    /// position was last taken in `positionGeneration`; none when the reader
    /// knows it all already.
    std::optional<QByteArray> compose(const QString& source, const QJsonObject& payload, quint64 positionGeneration);

private:
    bool m_started = false;
    QString m_source;
    QJsonObject m_last;
    quint64 m_positionGeneration = 0;
};

} // namespace NowPlayingLines
