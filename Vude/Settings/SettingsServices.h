#pragma once
// What the settings window uses of the rest of the app, in one narrow
// interface: the settings store, the notch window controller's operations
// and services, the synced repository's shortcut operations, the activity
// bridge's services and actions, the sync coordinator, and the few system
// values a pane shows. Each member is one plain call into the app; what a
// pane is handed, and what its callbacks do in which order, is decided by
// settingsPaneInputs (SettingsPaneInputs.h) on top of it. The app plugs in
// AppSettingsServices; tests plug in a recording fake.
//
// Main thread only.

#include "VudeServices/BuildProfile.h"
#include "VudeServices/Capability.h"
#include "VudeSync/Snapshots.h"

#include <QObject>

#include <optional>
#include <string>
#include <vector>

class CalendarService;
class ClipboardService;
class IdleService;
class QuickAppsService;
class SettingsStore;
class ShortcutsService;
class SyncCoordinator;

class SettingsServices : public QObject {
    Q_OBJECT
public:
    ~SettingsServices() override = default;

    virtual SettingsStore& settings() = 0;

    // The notch window controller.
    /// One line per notch panel; empty without a panel.
    virtual std::string geometryReport() const = 0;
    /// Rebuilds every panel from the current screens and settings.
    virtual void rebuildPanels() = 0;
    virtual void relayoutWidgets() = 0;
    virtual void refreshQuickApps() = 0;
    virtual void refreshClips() = 0;
    /// None where the app runs without them.
    virtual ShortcutsService* shortcutsService() = 0;
    virtual QuickAppsService* quickAppsService() = 0;
    virtual ClipboardService* clipboardService() = 0;

    // The synced repository, set once sync has started.
    virtual bool hasRepository() const = 0;
    /// The repository's shortcuts; empty without one.
    virtual std::vector<ShortcutSnapshot> shortcuts() const = 0;
    /// Each does nothing without a repository.
    virtual void addShortcut(const std::string& name, const std::string& symbol) = 0;
    virtual void removeShortcut(const Uuid& id) = 0;
    virtual void reloadFromStore() = 0;

    // The activity bridge.
    /// The calendar service the bridge and the Desk share; none without one.
    virtual CalendarService* calendar() = 0;
    virtual void refreshCalendar(bool hard) = 0;
    virtual void applyCalendarFilter() = 0;
    virtual void checkUpcomingEvent() = 0;
    virtual IdleService* idle() = 0;
    virtual void toggleKeepAwake() = 0;
    virtual void requestBluetoothPermission() = 0;
    virtual BuildProfile profile() const = 0;
    /// Whether the brightness service found a way to set the brightness.
    virtual bool brightnessAvailable() const = 0;
    /// The now-playing source's capabilities; none without a source.
    virtual std::optional<Capability> nowPlayingCapabilities() const = 0;

    // The system, read at each call.
    /// The Bluetooth authorization in the system's raw code.
    virtual long bluetoothAuthorization() const = 0;
    virtual bool hasAccessibility() const = 0;
    /// Asks again; when the answer changed, the tap follows and
    /// inputsChanged is emitted.
    virtual void requestAccessibility() = 0;

    /// None where no store could be opened.
    virtual SyncCoordinator* sync() = 0;

signals:
    /// Something a pane was handed other than the store changed: the
    /// repository arrived or republished its shortcuts, or Accessibility
    /// answered otherwise.
    void inputsChanged();
};
