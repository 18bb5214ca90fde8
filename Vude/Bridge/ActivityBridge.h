#pragma once
// The one link between the system services and the live activities: it owns
// every system service and the calendar, starts and stops them in a fixed
// order, consumes each service's stream on the main thread, turns events into
// payloads (ActivityPayloads) for the coordinator and shows those the
// coordinator accepts through the present callback. It also applies the
// volume, brightness and illumination keys itself (MediaKeyHandling), keeps
// the key intent that tells a level change the user asked for from any
// other, mirrors now playing to the shell and writes the developer trace.
//
// Start-up runs in one piece, in this order: the services, the event tap,
// lock watching, the calendar, the now-playing adapter's self-test (on a
// worker thread, so the interface never waits for it; the steps after it
// follow its answer) and the stream tasks; Bluetooth 3 s later. A Bluetooth
// stack that was missing then is started as soon as it appears.
//
// Main thread only, except the key intent, which is kept behind its lock.

#include "Platform/Audio/SoundPlayer.h"
#include "Platform/Core/Environment.h"
#include "Vude/Bridge/BridgeCalendarService.h"
#include "VudeKit/ActivityCoordinator.h"
#include "VudeKit/Data.h"
#include "VudeKit/Scheduler.h"
#include "VudeKit/SettingsStore.h"
#include "VudeServices/AudioService.h"
#include "VudeServices/BatteryService.h"
#include "VudeServices/BluetoothService.h"
#include "VudeServices/BrightnessService.h"
#include "VudeServices/BuildProfile.h"
#include "VudeServices/DiagnosticsTrace.h"
#include "VudeServices/EventTapService.h"
#include "VudeServices/FocusService.h"
#include "VudeServices/IdleService.h"
#include "VudeServices/KeyboardBacklightService.h"
#include "VudeServices/NowPlayingSource.h"

#include <QObject>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class Permission;
class PermissionSystem;
class XcbConnection;

class ActivityBridge final {
public:
    using Present = std::function<void(const ActivityPayload&)>;

    /// The user default that turns the developer trace on.
    static constexpr const char* kDiagnosticsOptInKey = "diagnosticsOptIn";
    /// The longest the now-playing adapter's self-test may take.
    static constexpr Duration kSelfTestTimeout = std::chrono::seconds(5);
    /// How long after start-up Bluetooth starts.
    static constexpr Duration kBluetoothStartDelay = std::chrono::seconds(3);
    /// Set (to anything, even empty), Bluetooth does not start on its own.
    static constexpr const char* kNoBluetoothVariable = "VUDE_NO_BT";
    static constexpr const char* kSelfTestFailedLogLine = "[Vude] media adapter self-test failed \u2014 falling back";
    static constexpr double kLowBatteryThreshold = 0.2;

    /// When the brightness and illumination keys were last pressed, by key
    /// family; a level change counts as asked for within `window` of its
    /// family's stamp. Thread-safe.
    class KeyIntent {
    public:
        static constexpr Duration window = std::chrono::milliseconds(1200);

        void stamp(std::string_view name, Date at);
        std::optional<Date> stampOf(std::string_view name) const;
        /// A stamp of `name` exists and `now` is less than the window after it.
        bool counts(std::string_view name, Date now) const;

    private:
        mutable std::mutex m_lock;
        std::map<std::string, Date, std::less<>> m_stamps;
    };

    /// What the bridge owns. Every service is required but `media` (none when
    /// the now-playing adapter is missing).
    struct Services {
        std::unique_ptr<AudioService> audio;
        std::unique_ptr<BatteryService> battery;
        std::unique_ptr<BrightnessService> brightness;
        std::unique_ptr<KeyboardBacklightService> keyboardBacklight;
        std::unique_ptr<EventTapService> eventTap;
        std::unique_ptr<FocusService> focus;
        std::unique_ptr<BluetoothService> bluetooth;
        /// Shared with the notch, whose Desk shows the same calendar.
        std::shared_ptr<BridgeCalendarService> calendar;
        std::unique_ptr<IdleService> idle;
        std::unique_ptr<NowPlayingSource> media;
        std::unique_ptr<SoundPlayer> sounds;
        /// Kept as long as the services: what they rely on without owning
        /// (the keyboard installed as the standard access probe).
        std::shared_ptr<void> support;
    };

    struct Dependencies {
        /// Runs the delayed Bluetooth start; must outlive the bridge.
        Scheduler& scheduler;
        /// Stamps keys and payloads; must outlive the bridge.
        const ClockSource& clock;
        /// Where trace lines go; must outlive the bridge.
        const DiagnosticsTrace& trace;
        /// Read for VUDE_NO_BT.
        Environment::Lookup environment = Environment::process();
        /// The system log; standard error by default.
        std::function<void(std::string_view)> systemLog = {};
        /// The now-playing adapter's folder, as the trace names it.
        std::filesystem::path mediaDirectory = resourcesDirectory();
        /// Where the user's permission requests are answered: a grant
        /// restarts what needed it (Bluetooth, the key tap). May be null;
        /// must outlive the bridge.
        PermissionSystem* permissions = nullptr;
        /// Runs the start of the now-playing self-test, which spawns
        /// programs: the app puts it off until the notch is on screen. At
        /// once when unset.
        std::function<void(std::function<void()>)> deferSelfTest = {};
    };

    /// The services of this system, built in this order: audio, battery,
    /// brightness, keyboard backlight, event tap, Focus, Bluetooth, calendar,
    /// idle, then the now-playing adapter (none when it is missing) and the
    /// sounds. Starts nothing. `x11` (may be null) carries the key tap; the
    /// keyboard on it becomes the standard access probe while the services
    /// live. Everything given must outlive the services.
    static Services systemServices(Scheduler& scheduler, const ClockSource& clock, XcbConnection* x11,
                                   const DiagnosticsTrace& trace);

    /// Creating the bridge starts nothing.
    ActivityBridge(ActivityCoordinator& coordinator, SettingsStore& settings, Present present, Services services,
                   Dependencies dependencies);
    ~ActivityBridge();

    ActivityBridge(const ActivityBridge&) = delete;
    ActivityBridge& operator=(const ActivityBridge&) = delete;

    /// Starts everything; called once.
    void start();
    /// True once start() has run through (the self-test answered).
    bool isStartFinished() const { return m_startFinished; }
    /// Cancels the stream tasks and stops the adapter, audio, battery, Focus,
    /// Bluetooth and calendar, then keep-awake and lock watching.
    void stop();

    /// The now-playing adapter's folder among the app's resources.
    static std::filesystem::path resourcesDirectory();

    /// Copies the calendar settings into the calendar's filter.
    void applyCalendarFilter();
    /// Asks for Bluetooth and, once granted, starts it.
    void requestBluetoothPermission();
    /// Announces the next calendar event within the lead time, once per event.
    void checkUpcomingEvent();
    /// Turns keep-awake on for the chosen duration, or off, and shows it.
    /// False when the desktop offers no way to keep awake at all: then
    /// nothing changed and no pill shows, and the caller tells the user why.
    bool toggleKeepAwake();
    /// Chooses the tap's mode (intercept with Accessibility and the HUD
    /// replacement on, else listen) and starts it.
    void startEventTap();
    /// Stops the tap and starts it again in the mode the settings now ask
    /// for. The one restart path: a granted permission and a change of the
    /// "Replace System HUDs" setting (menu or settings pane) both come here,
    /// and a setting already in force restarts nothing.
    void restartEventTap();
    /// The key handler the tap calls: true when the key was applied here.
    /// A key another program holds is left to it (see
    /// EventTapService::isHeldByAnotherProgram), though a brightness or
    /// illumination key still stamps the key intent.
    bool handleMediaKey(const MediaKeyEvent& event);

    /// Writes one line of the developer trace of this process.
    static void diag(std::string_view message);
    /// The last lines of this process's trace, oldest first.
    static std::vector<std::string> recentLogLines(std::size_t limit);
    /// The same lines, with where this run's begin among them.
    static DiagnosticsTrace::Tail recentLog(std::size_t limit);
    /// The developer trace of this process: on with VUDE_TRACE or the
    /// "diagnosticsOptIn" user default, asked at every line from any thread.
    static const DiagnosticsTrace& processTrace();

    /// Called with every now-playing state, before any pill is built.
    void setOnNowPlayingChange(std::function<void(const NowPlayingState&)> handler)
    {
        m_onNowPlayingChange = std::move(handler);
    }
    /// Called when the now-playing pill that was showing is taken down and
    /// nothing else is left to show, so the shell closes the pill.
    void setOnActivityEnded(std::function<void()> handler) { m_onActivityEnded = std::move(handler); }

    AudioService& audio() const { return *m_services.audio; }
    BatteryService& battery() const { return *m_services.battery; }
    BrightnessService& brightness() const { return *m_services.brightness; }
    KeyboardBacklightService& keyboardBacklight() const { return *m_services.keyboardBacklight; }
    EventTapService& eventTap() const { return *m_services.eventTap; }
    FocusService& focus() const { return *m_services.focus; }
    BluetoothService& bluetooth() const { return *m_services.bluetooth; }
    BridgeCalendarService& calendar() const { return *m_services.calendar; }
    /// The calendar, for the notch view models.
    const std::shared_ptr<BridgeCalendarService>& sharedCalendar() const { return m_services.calendar; }
    IdleService& idle() const { return *m_services.idle; }
    NowPlayingSource* media() const { return m_services.media.get(); }

    BluetoothService::StartResult bluetoothStatus() const { return m_bluetoothStatus; }
    const NowPlayingState& nowPlaying() const { return m_nowPlaying; }
    const BuildProfile& profile() const { return m_profile; }
    const EventTapService::Status& tapStatus() const { return m_tapStatus; }
    const KeyIntent& keyIntent() const { return m_keyIntent; }

private:
    void trace(std::string_view message) const { m_trace.trace(message); }
    void deliver(const ActivityPayload& payload);
    // Fills or empties the coordinator's ambient slot and shows what it then
    // shows, when that changed.
    void setAmbient(std::optional<ActivityPayload> payload);
    // The steps of start() that follow the adapter's self-test; none when
    // there is no adapter.
    void finishStart(std::optional<bool> selfTestPassed);
    void startSelfTest(NowPlayingSource* media);
    // Starts Bluetooth without waiting for the stack; the first traces the
    // answer.
    void startBluetooth();
    void startBluetoothQuietly();
    void watchForBluetooth();
    void restartServiceFor(Permission permission);
    void traceTapStatus(const EventTapService::Status& status);
    void followSuppressionSetting();
    // A task consuming `stream` on the main thread until stop().
    template <typename T, typename Handler>
    void addTask(LatestStream<T> stream, Handler handler);

    void handleLock(ScreenLockEvent event);
    void handleAudio(const AudioState& state);
    void handleBattery(const BatteryEvent& event);
    void handleFocus(const FocusModeState& state);
    void handleBrightness(const BrightnessState& state);
    void handleKeyboardBacklight(double level);
    void handleBluetooth(const BluetoothEvent& event);
    void handleNowPlaying(const NowPlayingState& state);
    // Gives the new-track pill of the track playing now the look of `state`,
    // in place.
    void refreshTrackPill(const NowPlayingState& state, const std::optional<Data>& artwork);
    std::optional<Data> artworkOf(const NowPlayingState& state);

    ActivityCoordinator& m_coordinator;
    SettingsStore& m_settings;
    Present m_present;
    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    const DiagnosticsTrace& m_trace;
    Environment::Lookup m_environment;
    std::function<void(std::string_view)> m_systemLog;
    std::filesystem::path m_mediaDirectory;
    PermissionSystem* m_permissions;
    std::function<void(std::function<void()>)> m_deferSelfTest;

    // Destroyed after the services: work they post to it is dropped with it.
    std::unique_ptr<QObject> m_lifetime = std::make_unique<QObject>();
    Services m_services;

    std::vector<std::unique_ptr<QObject>> m_tasks;
    std::optional<std::string> m_lastMediaItemKey;
    /// The new-track pill raised for that key, as last shown.
    std::optional<ActivityPayload> m_trackPill;
    std::set<std::string, std::less<>> m_primed;
    BluetoothService::StartResult m_bluetoothStatus = BluetoothService::StartResult::needsPermission;
    NowPlayingState m_nowPlaying;
    std::function<void(const NowPlayingState&)> m_onNowPlayingChange;
    std::function<void()> m_onActivityEnded;
    BuildProfile m_profile = BuildProfile::current();
    std::set<std::string> m_announcedEvents;
    EventTapService::Status m_tapStatus = EventTapService::Status::stopped();
    /// The HUD replacement setting the running tap was started with.
    std::optional<bool> m_tapSuppression;
    std::optional<std::uint64_t> m_settingsObserver;
    KeyIntent m_keyIntent;

    bool m_starting = false;
    bool m_startFinished = false;
    bool m_stopped = false;
    std::vector<EventTapService::Status> m_tapStatusesDuringStart;
    ScheduledTask m_bluetoothStart;
    // The artwork of the last state, converted once per image.
    std::optional<ArtworkBytes> m_artworkSource;
    std::optional<Data> m_artwork;
    std::thread m_selfTest;
};
