#pragma once
// What the settings window hands each pane: one struct per pane, in
// SettingsPane's order, of the stores and services it configures, the
// system values read when the pane is built (plain values, not watched),
// and the callbacks into the app. settingsPaneInputs fills them over the
// app's SettingsServices; panes read these and call these, nothing else.
// Every closure is safe to call at any time: without its service it does
// nothing. Pointers to services are none where the app has no such service.

#include "Vude/Permissions/Permission.h"
#include "Vude/Settings/SettingsPane.h"
#include "VudeServices/BuildProfile.h"
#include "VudeSync/Snapshots.h"

#include <functional>
#include <string>
#include <variant>
#include <vector>

class CalendarService;
class ClipboardService;
class IdleService;
class QuickAppsService;
class SettingsServices;
class SettingsStore;
class ShortcutsService;
class SyncCoordinator;

struct GeneralPaneInputs {
    SettingsStore* settings = nullptr;
    /// The window controller's geometry report, read when called.
    std::function<std::string()> geometryReport;
    /// Rebuilds the notch panels (after a notch size adjustment).
    std::function<void()> rebuildPanels;
    SyncCoordinator* sync = nullptr;
};

struct BatteryPaneInputs {
    SettingsStore* settings = nullptr;
};

struct ConnectivityPaneInputs {
    SettingsStore* settings = nullptr;
    Permission::State bluetoothPermission = Permission::State::unknown;
    std::function<void()> onRequestBluetooth;
};

struct FocusPaneInputs {
    SettingsStore* settings = nullptr;
    /// Linux has no named Focus modes of its own: always false.
    bool hasRichIdentity = false;
};

struct DisplayPaneInputs {
    SettingsStore* settings = nullptr;
    bool brightnessAvailable = false;
    bool canSuppress = false;
    std::function<void()> onRequestAccessibility;
};

struct SoundPaneInputs {
    SettingsStore* settings = nullptr;
    bool canSuppress = false;
    std::function<void()> onRequestAccessibility;
};

struct NowPlayingPaneInputs {
    SettingsStore* settings = nullptr;
    /// The now-playing source reads every player (false without a source).
    bool isUniversal = false;
};

struct CalendarPaneInputs {
    SettingsStore* settings = nullptr;
    CalendarService* calendar = nullptr;
    /// Hands the calendar settings to the calendar service.
    std::function<void()> onFilterChanged;
    /// A hard refresh of the calendars, then a look for an event about to start.
    std::function<void()> onRefresh;
};

struct FileTrayPaneInputs {
    SettingsStore* settings = nullptr;
};

struct IdleLockPaneInputs {
    SettingsStore* settings = nullptr;
    IdleService* idle = nullptr;
    /// Starts keep-awake for the chosen duration, or stops it.
    std::function<void()> onToggleKeepAwake;
    /// The desktop offers a way to keep the display awake (false without a service).
    bool keepAwakeAvailable = false;
};

struct RavoPaneInputs {
    SettingsStore* settings = nullptr;
    /// Lays the Desk's widgets out again on every screen.
    std::function<void()> onLayoutChanged;
};

struct ShortcutsPaneInputs {
    ShortcutsService* shortcuts = nullptr;
    BuildProfile profile = BuildProfile::current();
    /// The repository's shortcuts; empty while there is no repository.
    std::vector<ShortcutSnapshot> chosen;
    /// Adds a shortcut by name with a symbol; nothing without a repository.
    std::function<void(const std::string& name, const std::string& symbol)> onAdd;
    /// Removes the shortcut with that id; nothing without a repository.
    std::function<void(const Uuid& id)> onRemove;
};

struct QuickAppsPaneInputs {
    QuickAppsService* quickApps = nullptr;
    /// Shows the service's apps on every Desk.
    std::function<void()> onChange;
};

struct ClipboardPaneInputs {
    SettingsStore* settings = nullptr;
    ClipboardService* clipboard = nullptr;
    /// Shows the history on every Desk.
    std::function<void()> onChange;
};

struct AboutPaneInputs {
    SettingsPane pane = SettingsPane::about;
};

using SettingsPaneInputs =
    std::variant<GeneralPaneInputs, BatteryPaneInputs, ConnectivityPaneInputs, FocusPaneInputs, DisplayPaneInputs,
                 SoundPaneInputs, NowPlayingPaneInputs, CalendarPaneInputs, FileTrayPaneInputs, IdleLockPaneInputs,
                 RavoPaneInputs, ShortcutsPaneInputs, QuickAppsPaneInputs, ClipboardPaneInputs, AboutPaneInputs>;

/// The inputs of `pane` now: values read from `services` at this call,
/// closures that call into it later. `services` must outlive the closures.
SettingsPaneInputs settingsPaneInputs(SettingsPane pane, SettingsServices& services);
