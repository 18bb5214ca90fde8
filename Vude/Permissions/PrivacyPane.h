#pragma once
// Where a privacy pane's anchor ("Privacy_Camera") leads on Linux, which has
// no privacy panes: to the nearest thing that explains or changes the
// permission.
//   Privacy_ListenEvent    the help page, "input-monitoring"
//   Privacy_Accessibility  the help page, "accessibility"
//   Privacy_Bluetooth      the desktop's Bluetooth settings; else the help
//                          page, "bluetooth"
//   Privacy_Calendars      the calendars folder; else (not made yet) the
//                          help page, "calendars"
//   Privacy_Camera         the help page, "camera" (the video group)
//   Privacy_LocationServices  the desktop's location settings; else the help
//                          page, "location"
//   Privacy_AllFiles       nothing: every file the user can read is ours
//   anything else          nothing
// The help page ships with the app (share/vude/help/permissions.html); when
// it is missing, the anchors that need it lead nowhere.

#include <QUrl>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PrivacyPane {

inline constexpr std::string_view listenEvent = "Privacy_ListenEvent";
inline constexpr std::string_view accessibility = "Privacy_Accessibility";
inline constexpr std::string_view bluetooth = "Privacy_Bluetooth";
inline constexpr std::string_view calendars = "Privacy_Calendars";
inline constexpr std::string_view camera = "Privacy_Camera";
inline constexpr std::string_view allFiles = "Privacy_AllFiles";
inline constexpr std::string_view locationServices = "Privacy_LocationServices";

/// GNOME's location settings panel.
inline constexpr std::string_view gnomeLocationSettings = "gnome-location-panel.desktop";

/// The help page, relative to the app's resources.
inline constexpr const char* helpPageResource = "help/permissions.html";

/// What the targets depend on in this session.
struct Context {
    /// The help page, when the app has it.
    std::optional<std::filesystem::path> helpPage{};
    std::filesystem::path calendarsFolder{};
    bool calendarsFolderExists = false;
    /// The desktop entry id of the installed Bluetooth settings, if any.
    std::optional<std::string> bluetoothSettings{};
    /// The desktop entry id of the installed location settings, if any.
    std::optional<std::string> locationSettings{};
};

std::optional<QUrl> target(std::string_view anchor, const Context& context);

/// What a button that opens target() says: "Open Help", "Open Bluetooth
/// Settings", "Open Calendars Folder" or "Open Settings" (the location
/// settings); empty when the anchor leads nowhere.
std::string_view openTitle(std::string_view anchor, const Context& context);

/// The desktop entries that show Bluetooth settings, to try in order: the
/// current desktop's own first (`currentDesktop` as XDG_CURRENT_DESKTOP
/// gives it, a colon-separated list), then the others.
std::vector<std::string> bluetoothSettingsCandidates(std::string_view currentDesktop);

/// This session's context now: the shipped help page, `calendarsFolder`, the
/// first Bluetooth settings that are installed and the location settings
/// when installed.
/// Whether the application of a desktop entry id is installed.
using IsInstalled = std::function<bool(std::string_view desktopId)>;
/// `isInstalled` answers for the desktop's applications when empty.
Context currentContext(const std::filesystem::path& calendarsFolder, const IsInstalled& isInstalled = {});

} // namespace PrivacyPane
