#pragma once
// The applications installed on the desktop, by the id of their desktop
// entry ("blueman-manager.desktop"), as the desktop's own menus know them:
// entries under $XDG_DATA_HOME/applications and each of
// $XDG_DATA_DIRS/applications, hidden ones included (settings panels often
// are). Read through GIO (DesktopLibrary); without its module nothing is
// installed. Main thread only.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace DesktopApplications {

bool isInstalled(std::string_view desktopId);
/// The first of `desktopIds` that is installed.
std::optional<std::string> firstInstalled(std::span<const std::string> desktopIds);
/// Starts the application without files, as its menu entry would. False when
/// it is not installed or could not be started.
bool launch(std::string_view desktopId);

} // namespace DesktopApplications
