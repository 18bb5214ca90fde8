#pragma once
// The app's two menus as plain tables: the status item's menu, built once,
// and the notch's context menu, built afresh on every right click from the
// moment's state. While the status item is on no tray, the status menu's own
// commands join the context menu, or nothing would reach them. Qt builds
// the tables (QtMenuBuilder); the delegate's windows carry out the actions.
//
// Also the "Replace System HUDs" decision: turning it on while the media
// keys cannot be taken (Accessibility) explains instead of changing anything.

#include "VudeKit/ActivityModels.h"
#include "VudeKit/Date.h"
#include "VudeKit/LinuxTexts.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class MenuAction {
    none,
    fireDebugActivity,
    fireBurst,
    printGeometry,
    requestBluetooth,
    requestInputMonitoring,
    openPrivacyPane,
    toggleSuppression,
    exportDiagnostics,
    checkForUpdates,
    toggleRavo,
    toggleKeepAwake,
    showOnboarding,
    openSettings,
    quit,
    /// The application's own quit (the context menu's "Quit Vude").
    terminate,
};

struct MenuEntry {
    enum class Kind { item, separator, submenu };

    Kind kind = Kind::item;
    std::string title;
    /// The key pressed with Ctrl; empty for none.
    std::string shortcut;
    bool checkable = false;
    bool checked = false;
    bool enabled = true;
    MenuAction action = MenuAction::none;
    /// The kind's raw value or the privacy anchor the action works on.
    std::string argument;
    std::vector<MenuEntry> children;

    static MenuEntry item(std::string title, MenuAction action, std::string shortcut = {})
    {
        MenuEntry entry;
        entry.title = std::move(title);
        entry.action = action;
        entry.shortcut = std::move(shortcut);
        return entry;
    }
    static MenuEntry separator()
    {
        MenuEntry entry;
        entry.kind = Kind::separator;
        return entry;
    }
    static MenuEntry submenu(std::string title, std::vector<MenuEntry> children)
    {
        MenuEntry entry;
        entry.kind = Kind::submenu;
        entry.title = std::move(title);
        entry.children = std::move(children);
        return entry;
    }

    bool operator==(const MenuEntry&) const = default;
};

namespace AppMenus {

/// The kinds of the debug submenu and of the burst, in order.
inline constexpr std::array<ActivityKind, 7> debugKinds{
    ActivityKind::nowPlaying, ActivityKind::battery,    ActivityKind::connectivity, ActivityKind::sound,
    ActivityKind::focus,      ActivityKind::timerEnded, ActivityKind::fileTray,
};

/// The burst: the i-th debug kind i × 0.6 s from the start.
struct BurstStep {
    Duration delay;
    ActivityKind kind;
    bool operator==(const BurstStep&) const = default;
};
std::array<BurstStep, debugKinds.size()> burstSchedule();

/// The privacy shortcuts: title and anchor. An empty title is left out of
/// the menu: what it would open does not exist here.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 4> privacyList{{
    {LinuxTexts::menuMediaKeyControl.shown, "Privacy_Accessibility"},
    {LinuxTexts::menuMediaKeys.shown, "Privacy_ListenEvent"},
    {LinuxTexts::menuBluetoothSettings.shown, "Privacy_Bluetooth"},
    {LinuxTexts::menuFullDiskAccess.shown, "Privacy_AllFiles"},
}};

inline constexpr const char* replaceHUDsTitle = "Replace System HUDs";
inline constexpr const char* exportDiagnosticsTitle = "Export Diagnostics\u2026";
inline constexpr const char* checkForUpdatesTitle = "Check for Updates\u2026";
inline constexpr const char* welcomeTitle = "Welcome to Vude\u2026";
inline constexpr const char* settingsTitle = "Settings\u2026";
inline constexpr const char* quitTitle = "Quit Vude";

struct StatusInputs {
    bool suppressSystemHUD = false;
    bool updatesAvailable = false;
};

struct ContextInputs {
    /// The active view model is open on a tab.
    bool deskOpen = false;
    bool keepingAwake = false;
    bool updatesAvailable = false;
    /// An updater exists and may check now.
    bool canCheckForUpdates = false;
    /// The status item is on a tray, so its menu is reachable there.
    bool statusItemShown = true;
    /// For the status commands merged in when the status item is not shown.
    bool suppressSystemHUD = false;
};

std::vector<MenuEntry> statusMenu(const StatusInputs& inputs);
std::vector<MenuEntry> notchContextMenu(const ContextInputs& inputs);

/// What choosing "Replace System HUDs" does.
struct SuppressionDecision {
    /// The setting afterwards.
    bool setting = false;
    /// The item's check mark afterwards (always the setting).
    bool checked = false;
    /// Explain why Accessibility is needed instead of changing anything.
    bool explain = false;
    /// The setting changed, so the key tap restarts in the new mode.
    bool restartsTap = false;
    bool operator==(const SuppressionDecision&) const = default;
};

SuppressionDecision toggleSuppression(bool suppressSystemHUD, bool hasAccessibility);

inline constexpr std::string_view accessibilityTitle = LinuxTexts::mediaKeysHeldTitle.shown;
inline constexpr std::string_view accessibilityMessage = LinuxTexts::mediaKeysHeldMessage.shown;
inline constexpr const char* accessibilityAnchor = "Privacy_Accessibility";

/// Said instead of a pill when "Keep Awake" finds nothing that can keep the
/// computer awake.
inline constexpr const char* keepAwakeUnavailableTitle = "Keep Awake is not available";
inline constexpr const char* keepAwakeUnavailableMessage =
    "Keeping the computer awake needs the desktop's screen-saver inhibitor service "
    "(org.freedesktop.ScreenSaver), which is not running. Nothing was changed.";

} // namespace AppMenus
