#pragma once
// How an application is named on this desktop: by the id of its desktop entry
// without ".desktop" ("org.gnome.Calculator" for the entry
// "org.gnome.Calculator.desktop"), the form a media player's DesktopEntry
// already has. An entry that lives outside the applications folders (picked
// by hand) is named by its absolute path instead.
//
// Desktop entries are looked up in the applications folders, the user's
// first: an entry there shadows a system entry of the same id, also when it
// hides it (Hidden=true removes the application).

#include "Platform/Core/Environment.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace DesktopAppId {

inline constexpr std::string_view kDesktopFileSuffix = ".desktop";

/// The app id of a desktop-file id: the id without its ".desktop" suffix.
/// An id without the suffix is an app id already and comes back unchanged.
std::string fromDesktopFileId(std::string_view desktopFileId);

/// The desktop-file id of an app id: the app id and ".desktop".
std::string desktopFileId(std::string_view appId);

/// Whether `appId` names an entry by its absolute path.
bool namesPath(std::string_view appId);

/// Whether `appId` can name an entry of the applications folders: not
/// empty, no slash, not starting with a point.
bool isValid(std::string_view appId);

/// The folders holding desktop entries, most important first:
/// $XDG_DATA_HOME/applications, then applications/ in each folder of
/// $XDG_DATA_DIRS (/usr/local/share:/usr/share when unset or empty).
/// Relative folders are skipped; each folder comes once.
std::vector<std::filesystem::path> applicationFolders(const Environment::Lookup& environment = Environment::process());

} // namespace DesktopAppId
