#include "Vude/Desk/MediaPlayers.h"

namespace MediaPlayers {

const std::vector<Player>& table()
{
    static const std::vector<Player> players{
        {"Rhythmbox", {"org.gnome.Rhythmbox3", "rhythmbox"}},
        {"Spotify", {"spotify", "com.spotify.Client"}},
        {"Elisa", {"org.kde.elisa"}},
        {"VLC", {"vlc", "org.videolan.VLC"}},
        {"Videos", {"org.gnome.Totem", "totem"}},
        {"mpv", {"mpv", "io.mpv.Mpv"}},
    };
    return players;
}

std::vector<Found> firstInstalled(const std::vector<Player>& players, const Lookup& lookup, std::size_t limit)
{
    std::vector<Found> found;
    if (!lookup)
        return found;
    for (const Player& player : players) {
        if (found.size() >= limit)
            break;
        for (const std::string& appId : player.appIds) {
            if (auto icon = lookup(appId)) {
                found.push_back({appId, std::move(*icon)});
                break;
            }
        }
    }
    return found;
}

} // namespace MediaPlayers
