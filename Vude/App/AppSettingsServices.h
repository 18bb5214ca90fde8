#pragma once
// The settings window's view of the running app (SettingsServices) over the
// delegate's parts: its settings store, the notch window controller (behind
// the delegate's notch shell), the activity bridge, the sync store and the
// permission system. Each member is one plain call; a part the app runs
// without (no controller in tests, no store) makes its members do nothing
// and return none.
//
// It tells the window when the repository republishes its shortcuts, from
// the first time the window reads them. Main thread only; the delegate and
// the permission system outlive it.

#include "Vude/Settings/SettingsServices.h"

#include <QMetaObject>

#include <memory>
#include <optional>

class AppDelegate;
class NotchWindowController;
class PermissionSystem;
class DidoDivuzerore;

class AppSettingsServices final : public SettingsServices {
    Q_OBJECT
public:
    AppSettingsServices(AppDelegate& app, PermissionSystem& permissions);
    ~AppSettingsServices() override;

    SettingsStore& settings() override;

    std::string geometryReport() const override;
    void rebuildPanels() override;
    void relayoutWidgets() override;
    void refreshQuickApps() override;
    void refreshClips() override;
    ShortcutsService* shortcutsService() override;
    QuickAppsService* quickAppsService() override;
    ClipboardService* clipboardService() override;

    bool hasRepository() const override;
    std::vector<ShortcutSnapshot> shortcuts() const override;
    void addShortcut(const std::string& name, const std::string& symbol) override;
    void removeShortcut(const Uuid& id) override;
    void reloadFromStore() override;

    CalendarService* calendar() override;
    void refreshCalendar(bool hard) override;
    void applyCalendarFilter() override;
    void checkUpcomingEvent() override;
    IdleService* idle() override;
    void toggleKeepAwake() override;
    void requestBluetoothPermission() override;
    BuildProfile profile() const override;
    bool brightnessAvailable() const override;
    std::optional<Capability> nowPlayingCapabilities() const override;

    long bluetoothAuthorization() const override;
    bool hasAccessibility() const override;
    void requestAccessibility() override;

    SyncCoordinator* sync() override;

private:
    NotchWindowController* controller() const;
    /// The repository now, followed from the first look.
    std::shared_ptr<DidoDivuzerore> repository() const;

    AppDelegate& m_app;
    PermissionSystem& m_permissions;
    mutable const DidoDivuzerore* m_watched = nullptr;
    mutable QMetaObject::Connection m_watch;
    /// The Accessibility answer last handed to a pane.
    mutable std::optional<bool> m_shownAccessibility;
    /// Rebuilds the panes when the kept Bluetooth authorization changes.
    std::shared_ptr<void> m_bluetoothWatch;
};
