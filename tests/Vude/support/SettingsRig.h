#pragma once
// What a settings view needs, over doubles: a settings store in memory, the
// view environment on a manual clock and scheduler, fake permissions, a
// private notification centre, and SettingsServices that record every call
// in one ordered log and answer with the values the test sets.

#include "Platform/Core/NotificationCenter.h"
#include "Vude/Permissions/FakePermissions.h"
#include "Vude/Settings/SettingsEnvironment.h"
#include "Vude/Settings/SettingsServices.h"
#include "VudeKit/Scheduler.h"
#include "VudeKit/SettingsStore.h"
#include "VudeKit/UserDefaults.h"
#include "VudeUI/qt/QtTokens.h"

#include <memory>
#include <string>
#include <vector>

namespace settingstest {

class FakeSettingsServices final : public SettingsServices {
public:
    explicit FakeSettingsServices(SettingsStore& store) : m_store(store) {}

    /// Every call that acts, in order ("refreshCalendar(hard)").
    std::vector<std::string> log;

    std::string report = "Display 1 report";
    bool repository = false;
    std::vector<ShortcutSnapshot> chosen;
    long bluetoothRaw = 0;
    bool accessibility = false;
    bool brightness = false;
    std::optional<Capability> capabilities;
    BuildProfile buildProfile = BuildProfile::current();
    ClipboardService* clipboard = nullptr;
    IdleService* idleService = nullptr;

    /// Tells the window that something besides the store changed.
    void republish() { emit inputsChanged(); }

    SettingsStore& settings() override { return m_store; }
    std::string geometryReport() const override { return report; }
    void rebuildPanels() override { log.push_back("rebuildPanels"); }
    void relayoutWidgets() override { log.push_back("relayoutWidgets"); }
    void refreshQuickApps() override { log.push_back("refreshQuickApps"); }
    void refreshClips() override { log.push_back("refreshClips"); }
    ShortcutsService* shortcutsService() override { return nullptr; }
    QuickAppsService* quickAppsService() override { return nullptr; }
    ClipboardService* clipboardService() override { return clipboard; }

    bool hasRepository() const override { return repository; }
    std::vector<ShortcutSnapshot> shortcuts() const override
    {
        return repository ? chosen : std::vector<ShortcutSnapshot>{};
    }
    void addShortcut(const std::string& name, const std::string& symbol) override
    {
        log.push_back("addShortcut(" + name + ", " + symbol + ")");
    }
    void removeShortcut(const Uuid& id) override { log.push_back("removeShortcut(" + id.toString() + ")"); }
    void reloadFromStore() override { log.push_back("reloadFromStore"); }

    CalendarService* calendar() override { return nullptr; }
    void refreshCalendar(bool hard) override { log.push_back(hard ? "refreshCalendar(hard)" : "refreshCalendar"); }
    void applyCalendarFilter() override { log.push_back("applyCalendarFilter"); }
    void checkUpcomingEvent() override { log.push_back("checkUpcomingEvent"); }
    IdleService* idle() override { return idleService; }
    void toggleKeepAwake() override { log.push_back("toggleKeepAwake"); }
    void requestBluetoothPermission() override { log.push_back("requestBluetoothPermission"); }
    BuildProfile profile() const override { return buildProfile; }
    bool brightnessAvailable() const override { return brightness; }
    std::optional<Capability> nowPlayingCapabilities() const override { return capabilities; }

    long bluetoothAuthorization() const override { return bluetoothRaw; }
    bool hasAccessibility() const override { return accessibility; }
    void requestAccessibility() override { log.push_back("requestAccessibility"); }

    SyncCoordinator* sync() override { return nullptr; }

private:
    SettingsStore& m_store;
};

struct SettingsRig {
    SettingsRig() { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    ~SettingsRig() { unpinFontFamilies(); }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    FixedReduceMotionSetting reduceMotion{false};
    FakePermissions permissions;
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    SettingsStore store{defaults};
    FakeSettingsServices services{store};
    NotificationCenter notifications;
    SettingsEnvironment environment{{scheduler, clock, &reduceMotion}, clock, permissions.system()};
};

} // namespace settingstest
