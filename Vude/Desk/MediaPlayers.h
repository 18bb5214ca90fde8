#pragma once
// The media players the Desk offers to open when nothing plays, in the
// order it prefers them, each named by the app ids (desktop-file ids without
// ".desktop") it is installed under: a distribution's package and a Flatpak
// name the same player differently.

#include <QIcon>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace MediaPlayers {

struct Player {
    /// For readers; never shown.
    std::string name;
    /// The ids to look for, the first found wins.
    std::vector<std::string> appIds;
};

/// An installed player as a launch tile shows it.
struct Found {
    std::string appId;
    /// Null when the application names no icon that loads.
    QIcon icon;
};

/// The players, in order.
const std::vector<Player>& table();

/// The icon of the installed application `appId` (null when it has none);
/// none when it is not installed.
using Lookup = std::function<std::optional<QIcon>(const std::string& appId)>;

/// Walks `players` in order and keeps, for each one installed, its first
/// installed id with that application's icon, until `limit` are found.
std::vector<Found> firstInstalled(const std::vector<Player>& players, const Lookup& lookup, std::size_t limit = 3);

} // namespace MediaPlayers
