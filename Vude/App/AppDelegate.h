#pragma once
// Brings the whole app up in one fixed order on the main thread, wires the
// parts to each other, runs the sync task, the 0.25 s tick and the developer
// hooks, and takes the app down at quit. It owns, for the life of the
// process, the settings, the activity coordinator, the notch shell, the
// activity bridge, the sync store, the update service and the windows.
//
// Pill expiries run on `activityClock` (boot time in the app: it never goes
// backwards and counts sleep) and on nothing else; everything shown or
// stored (payload creation, the calendar, the trace, the store) reads
// `wallClock`.
//
// Every delayed block, observer and timer holds the delegate weakly.
// Main thread only.

#include "Platform/Core/Environment.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Settings/ReduceMotionSetting.h"
#include "Platform/Shell/ActivationPolicy.h"
#include "Vude/Bridge/ActivityBridge.h"
#include "Vude/App/ActivityRouting.h"
#include "Vude/App/AppSync.h"
#include "Vude/App/AppWindows.h"
#include "Vude/App/NotchShell.h"
#include "Vude/App/ShellTick.h"
#include "VudeKit/ActivityCoordinator.h"
#include "VudeKit/Scheduler.h"
#include "VudeKit/SettingsStore.h"
#include "VudeKit/UserDefaults.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class FocusFilterBridge;
class LaunchAtLogin;
class PermissionSystem;

class AppDelegate final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kCompletedOnboardingKey = "hasCompletedOnboarding";
    static constexpr Duration kTickInterval = std::chrono::milliseconds(250);
    static constexpr Duration kOnboardingDelay = std::chrono::milliseconds(800);
    static constexpr Duration kDeduplicationDelay = std::chrono::seconds(8);
    static constexpr Duration kFilesDroppedDuration = std::chrono::seconds(4);

    /// Everything the delegate builds on; each must outlive it.
    struct Dependencies {
        Scheduler& scheduler;
        /// Dates shown or stored.
        const ClockSource& wallClock;
        /// Pill expiries only.
        const ClockSource& activityClock;
        /// Where the bridge and the delegate write trace lines.
        const DiagnosticsTrace& trace;
        std::shared_ptr<UserDefaults> defaults;
        ActivationPolicyRecorder& activation;
        FocusFilterBridge& focusFilter;
        NotificationCenter& notifications;
        Environment::Lookup environment;
        /// Relative paths of the developer hooks are taken from here.
        std::filesystem::path workingDirectory;
        /// The device identifier of the synced store.
        std::string deviceID;
        /// Handed to every view model; none animates fully.
        const ReduceMotionSetting* reduceMotion = nullptr;
        /// Where the Desk opens the calendar permission's settings; the
        /// standard system when none.
        PermissionSystem* permissions = nullptr;

        std::function<std::unique_ptr<NotchShell>(SettingsStore&)> makeShell;
        std::function<ActivityBridge::Services()> makeBridgeServices;
        std::function<std::unique_ptr<AppSync>()> makeSync;
        std::function<std::unique_ptr<AppUpdates>(const BuildProfile&)> makeUpdates;
        std::function<std::unique_ptr<AppWindows>(AppDelegate&)> makeWindows;
        /// Standard output (the geometry report).
        std::function<void(const std::string&)> writeOutput;
        /// The system log of the bridge; standard error when none.
        std::function<void(std::string_view)> systemLog = {};
        /// Calls `woke` each time the main thread's event loop wakes, while
        /// `context` lives. Without it the tick never rests.
        std::function<void(QObject* context, std::function<void()> woke)> watchEventLoop = {};
        /// Runs a step once the notch's first frame is on screen: the
        /// now-playing self-test and the weather wait for it. At once when
        /// unset.
        std::function<void(std::function<void()> step)> afterFirstFrame = {};
    };

    explicit AppDelegate(Dependencies dependencies, QObject* parent = nullptr);
    ~AppDelegate() override;

    /// The start-up sequence; called once.
    void applicationDidFinishLaunching();
    /// Stops the bridge (which releases keep-awake) and the drag monitors.
    void applicationWillTerminate();

    /// One tick of the 0.25 s timer.
    void tick();
    /// True while the tick waits for the event loop to wake (or for the next
    /// calendar check) instead of running every 0.25 s.
    bool isTickResting() const { return m_tickResting; }
    /// Schedules the walkthrough 0.8 s later unless it was completed.
    void showOnboardingIfNeeded();
    /// The one-time seeding of the Desk's shortcuts.
    void seedShortcutsIfNeeded();

    /// The pill of a drop that added `items` to the tray.
    static ActivityPayload filesDroppedPayload(const std::vector<TrayItem>& items, Date now);

    SettingsStore* settings() const { return m_settings.get(); }
    NotchShell* notchController() const { return m_shell.get(); }
    ActivityCoordinator* coordinator() const { return m_coordinator.get(); }
    ActivityBridge* bridge() const { return m_bridge.get(); }
    AppSync* sync() const { return m_sync.get(); }
    AppUpdates* updates() const { return m_updates.get(); }
    AppWindows* windows() const { return m_windows.get(); }
    ActivityRouting* routing() const { return m_routing.get(); }
    /// Ticks so far.
    std::int64_t calendarTick() const { return m_tick ? m_tick->count() : 0; }

private:
    void trace(const std::string& line) const { m_deps.trace.trace(line); }
    void configureModel(NotchViewModel& model);
    void filesDropped(const std::vector<TrayItem>& items);
    void nowPlayingChanged(const NowPlayingState& state);
    void runSyncTask();
    void continueSyncTask();
    void deduplicateLater();
    void actOnDeveloperHooks();
    void seedTray(std::vector<std::filesystem::path> files, bool asFolder);
    /// Runs `action` `delay` from now while the delegate lives.
    void later(Duration delay, std::function<void(AppDelegate&)> action);
    void afterFirstFrame(std::function<void()> step);
    void startTicking();
    void restTick();
    void eventLoopWoke();

    Dependencies m_deps;

    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<LaunchAtLogin> m_launchAtLogin;
    std::unique_ptr<NotchShell> m_shell;
    std::unique_ptr<ActivityCoordinator> m_coordinator;
    std::unique_ptr<ActivityRouting> m_routing;
    std::unique_ptr<ActivityBridge> m_bridge;
    std::unique_ptr<AppSync> m_sync;
    std::unique_ptr<AppUpdates> m_updates;
    std::unique_ptr<AppWindows> m_windows;
    std::unique_ptr<ShellTick> m_tick;
    ScheduledTask m_tickTimer;
    bool m_tickResting = false;
    /// When the tick began to rest, on the activity clock.
    Date m_restingSince;
    std::shared_ptr<NotchCalendarService> m_calendar;
    bool m_launched = false;
    bool m_terminated = false;
};
