#include "Vude/Bridge/ActivityBridge.h"

#include "Platform/Audio/CanberraSoundPlayer.h"
#include "Platform/Audio/PulseAudioBackend.h"
#include "Platform/Bluetooth/BluezBluetoothBackend.h"
#include "Platform/Core/MainThread.h"
#include "Platform/Core/XdgPaths.h"
#include "Platform/Desktop/FocusStateSource.h"
#include "Platform/Input/X11KeyTapBackend.h"
#include "Platform/Input/X11Keyboard.h"
#include "Vude/Bridge/ActivityPayloads.h"
#include "Vude/Bridge/CalendarServiceAdapter.h"
#include "Vude/Bridge/MediaKeyHandling.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Permissions/PermissionSystem.h"
#include "VudeKit/Numbers.h"
#include "VudeServices/MediaRemoteSource.h"

#include <QPointer>

#include <cstdio>

namespace {

// Linux has one built-in panel; every display number names it.
constexpr std::uint32_t kMainDisplay = 0;

const char* text(bool value)
{
    return value ? "true" : "false";
}

void writeToStandardError(std::string_view line)
{
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

// Keeps a keyboard installed as the standard access probe while the services
// live, and takes it out again before its X connection can go.
class ProbeInstallation {
public:
    explicit ProbeInstallation(std::shared_ptr<X11Keyboard> keyboard) : m_keyboard(std::move(keyboard))
    {
        InputAccessProbe::installStandard(m_keyboard);
    }
    ~ProbeInstallation()
    {
        if (InputAccessProbe::standard() == m_keyboard)
            InputAccessProbe::installStandard(nullptr);
    }
    ProbeInstallation(const ProbeInstallation&) = delete;
    ProbeInstallation& operator=(const ProbeInstallation&) = delete;

private:
    std::shared_ptr<X11Keyboard> m_keyboard;
};

} // namespace

// MARK: - Key intent

void ActivityBridge::KeyIntent::stamp(std::string_view name, Date at)
{
    const std::scoped_lock lock(m_lock);
    m_stamps.insert_or_assign(std::string(name), at);
}

std::optional<Date> ActivityBridge::KeyIntent::stampOf(std::string_view name) const
{
    const std::scoped_lock lock(m_lock);
    const auto found = m_stamps.find(name);
    if (found == m_stamps.end())
        return std::nullopt;
    return found->second;
}

bool ActivityBridge::KeyIntent::counts(std::string_view name, Date now) const
{
    const auto stamped = stampOf(name);
    return stamped && now - *stamped < window;
}

// MARK: - Making

ActivityBridge::Services ActivityBridge::systemServices(Scheduler& scheduler, const ClockSource& clock,
                                                        XcbConnection* x11, const DiagnosticsTrace& trace)
{
    Services services;
    services.audio = std::make_unique<AudioService>(std::make_unique<PulseAudioBackend>(scheduler));
    services.battery = std::make_unique<BatteryService>();
    services.brightness = BrightnessService::forSystem(scheduler);
    services.keyboardBacklight = KeyboardBacklightService::forSystem(scheduler);
    // One keyboard answers the access checks and carries the tap's grabs.
    auto keyboard = std::make_shared<X11Keyboard>(x11);
    services.support = std::make_shared<ProbeInstallation>(keyboard);
    services.eventTap =
        std::make_unique<EventTapService>(std::make_unique<X11KeyTapBackend>(keyboard, scheduler), scheduler);
    services.focus = std::make_unique<FocusService>(makeFocusStateSource(), XdgPaths::home());
    services.bluetooth = std::make_unique<BluetoothService>(std::make_unique<BluezBluetoothBackend>(), scheduler);
    services.calendar = std::make_shared<CalendarServiceAdapter>(CalendarService::forUser(
        clock, scheduler, [&trace](const std::string& line) { trace.trace(line); }));
    services.idle = std::make_unique<IdleService>(scheduler, clock);
    services.media = MediaRemoteSource::make(resourcesDirectory(), {.scheduler = scheduler, .clock = clock, .trace = trace});
    services.sounds = std::make_unique<CanberraSoundPlayer>(CanberraSoundPlayer::defaultFolder());
    return services;
}

ActivityBridge::ActivityBridge(ActivityCoordinator& coordinator, SettingsStore& settings, Present present,
                               Services services, Dependencies dependencies)
    : m_coordinator(coordinator)
    , m_settings(settings)
    , m_present(std::move(present))
    , m_scheduler(dependencies.scheduler)
    , m_clock(dependencies.clock)
    , m_trace(dependencies.trace)
    , m_environment(std::move(dependencies.environment))
    , m_systemLog(dependencies.systemLog ? std::move(dependencies.systemLog) : writeToStandardError)
    , m_mediaDirectory(std::move(dependencies.mediaDirectory))
    , m_permissions(dependencies.permissions)
    , m_deferSelfTest(std::move(dependencies.deferSelfTest))
    , m_services(std::move(services))
{
}

ActivityBridge::~ActivityBridge()
{
    if (m_settingsObserver)
        m_settings.removeObserver(*m_settingsObserver);
    // The self-test ends within its timeout; the adapter must outlive it.
    if (m_selfTest.joinable())
        m_selfTest.join();
    m_bluetoothStart.cancel();
    if (m_permissions)
        m_permissions->setRestartHandler({});
    m_services.bluetooth->setOnStackAvailable({});
    m_services.eventTap->setOnStatusChange({});
    m_services.eventTap->setHandler({});
    m_services.idle->setOnLockEvent({});
}

std::filesystem::path ActivityBridge::resourcesDirectory()
{
    return MediaRemoteSource::defaultResourcesDirectory();
}

// MARK: - Trace

const DiagnosticsTrace& ActivityBridge::processTrace()
{
    // The user defaults may be read from any thread; the now-playing source
    // traces from its own.
    static const DiagnosticsTrace trace = DiagnosticsTrace::forProcess(
        [] { return UserDefaults::standard()->boolForKey(kDiagnosticsOptInKey).value_or(false); });
    return trace;
}

void ActivityBridge::diag(std::string_view message)
{
    processTrace().trace(message);
}

std::vector<std::string> ActivityBridge::recentLogLines(std::size_t limit)
{
    return processTrace().recentLogLines(limit);
}

DiagnosticsTrace::Tail ActivityBridge::recentLog(std::size_t limit)
{
    return processTrace().recentLog(limit);
}

// MARK: - Start and stop

template <typename T, typename Handler>
void ActivityBridge::addTask(LatestStream<T> stream, Handler handler)
{
    auto task = std::make_unique<QObject>();
    stream.consume(task.get(), [this, handler](const T& value) { (this->*handler)(value); });
    m_tasks.push_back(std::move(task));
}

void ActivityBridge::start()
{
    m_starting = true;
    m_stopped = false;
    if (m_permissions) {
        QPointer<QObject> lifetime = m_lifetime.get();
        m_permissions->setRestartHandler([this, lifetime](Permission permission) {
            if (lifetime)
                restartServiceFor(permission);
        });
    }

    m_services.battery->setLowBatteryThreshold(kLowBatteryThreshold);
    m_services.audio->start();
    m_services.battery->start();
    m_services.focus->start();
    m_services.brightness->start();
    m_services.keyboardBacklight->start();

    trace("brightness source = " + std::string(rawValue(m_services.brightness->source())) + ", kbBacklight = " +
          text(m_services.keyboardBacklight->isAvailable()));
    // The line above names the source as every platform does; this one says
    // what really serves it here.
    trace("backlight backends: display = " + m_services.brightness->backendDescription() +
          "; keyboard = " + m_services.keyboardBacklight->backendDescription());

    startEventTap();
    m_settingsObserver = m_settings.addObserver([this] { followSuppressionSetting(); });

    m_services.idle->setOnLockEvent([this](ScreenLockEvent event) { handleLock(event); });
    m_services.idle->start();

    applyCalendarFilter();
    {
        auto task = std::make_unique<QObject>();
        m_services.calendar->start([this, guard = QPointer<QObject>(task.get())] {
            if (guard)
                checkUpcomingEvent();
        });
        m_tasks.push_back(std::move(task));
    }

    NowPlayingSource* media = m_services.media.get();
    if (!media) {
        finishStart(std::nullopt);
        return;
    }
    if (!m_deferSelfTest) {
        startSelfTest(media);
        return;
    }
    m_deferSelfTest([this, media, lifetime = QPointer<QObject>(m_lifetime.get())] {
        if (lifetime && !m_stopped)
            startSelfTest(media);
    });
}

void ActivityBridge::startSelfTest(NowPlayingSource* media)
{
    // Up to 5 s of waiting for a child process: off the main thread, which
    // carries on with events and keys meanwhile. The rest of the start-up
    // follows the answer.
    if (m_selfTest.joinable())
        m_selfTest.join();
    // The destructor joins the thread before the lifetime object goes.
    QObject* lifetime = m_lifetime.get();
    m_selfTest = std::thread([this, media, lifetime] {
        const bool passed = media->selfTest(kSelfTestTimeout);
        postTo(lifetime, [this, passed] { finishStart(passed); });
    });
}

void ActivityBridge::finishStart(std::optional<bool> selfTestPassed)
{
    if (m_stopped)
        return;
    if (selfTestPassed) {
        trace(std::string("media adapter present, selfTest=") + text(*selfTestPassed) + " at " +
              m_mediaDirectory.string());
        if (*selfTestPassed) {
            m_services.media->start();
            addTask(m_services.media->states(), &ActivityBridge::handleNowPlaying);
        } else {
            m_systemLog(kSelfTestFailedLogLine);
        }
    }

    addTask(m_services.audio->states(), &ActivityBridge::handleAudio);
    addTask(m_services.battery->events(), &ActivityBridge::handleBattery);
    addTask(m_services.focus->states(), &ActivityBridge::handleFocus);
    addTask(m_services.brightness->states(), &ActivityBridge::handleBrightness);
    addTask(m_services.keyboardBacklight->levels(), &ActivityBridge::handleKeyboardBacklight);
    addTask(m_services.bluetooth->events(), &ActivityBridge::handleBluetooth);

    if (m_settings.activitiesEnabled()) {
        if (m_environment && m_environment(kNoBluetoothVariable)) {
            trace("bluetooth start skipped (VUDE_NO_BT)");
        } else {
            QPointer<QObject> lifetime = m_lifetime.get();
            m_bluetoothStart = m_scheduler.after(kBluetoothStartDelay, [this, lifetime] {
                if (lifetime && !m_stopped)
                    startBluetooth();
            });
        }
    }

    m_starting = false;
    m_startFinished = true;
    // Status changes the tap reported while start-up ran are traced after it,
    // as they would be had start-up held the main thread.
    for (const auto& status : std::exchange(m_tapStatusesDuringStart, {}))
        traceTapStatus(status);
}

void ActivityBridge::startBluetooth()
{
    QPointer<QObject> lifetime = m_lifetime.get();
    m_services.bluetooth->start([this, lifetime](BluetoothService::StartResult result) {
        if (!lifetime || m_stopped)
            return;
        m_bluetoothStatus = result;
        trace("bluetooth start \u2192 " + std::string(rawValue(m_bluetoothStatus)));
        watchForBluetooth();
    });
}

void ActivityBridge::startBluetoothQuietly()
{
    QPointer<QObject> lifetime = m_lifetime.get();
    m_services.bluetooth->start([this, lifetime](BluetoothService::StartResult result) {
        if (!lifetime)
            return;
        m_bluetoothStatus = result;
        // Asked for but not there yet: start once it appears.
        watchForBluetooth();
    });
}

void ActivityBridge::watchForBluetooth()
{
    // A stack or adapter that was missing may appear later: start then,
    // instead of waiting for the next launch.
    if (m_bluetoothStatus == BluetoothService::StartResult::started || m_stopped) {
        m_services.bluetooth->setOnStackAvailable({});
        return;
    }
    m_services.bluetooth->setOnStackAvailable([this] {
        if (m_stopped || m_services.bluetooth->isStarted())
            return;
        startBluetooth();
    });
}

void ActivityBridge::stop()
{
    m_stopped = true;
    m_tasks.clear();
    if (m_settingsObserver)
        m_settings.removeObserver(*std::exchange(m_settingsObserver, std::nullopt));
    m_bluetoothStart.cancel();
    m_services.bluetooth->setOnStackAvailable({});
    if (m_services.media)
        m_services.media->stop();
    m_services.audio->stop();
    m_services.battery->stop();
    m_services.focus->stop();
    m_services.bluetooth->stop();
    m_services.calendar->stop();
    m_services.idle->stopKeepAwake();
    m_services.idle->stop();
    if (m_starting) {
        m_starting = false;
        for (const auto& status : std::exchange(m_tapStatusesDuringStart, {}))
            traceTapStatus(status);
    }
}

void ActivityBridge::applyCalendarFilter()
{
    m_services.calendar->setFilter({
        .visibleCalendars = m_settings.visibleCalendars(),
        .daysBehind = saturatingCast<int>(m_settings.calendarDaysBehind()),
        .daysAhead = saturatingCast<int>(m_settings.calendarDaysAhead()),
        .showPastEventsToday = m_settings.showPastEventsToday(),
        .showAllDayEvents = m_settings.showAllDayEvents(),
        .showMultiDayEvents = m_settings.showMultiDayEvents(),
    });
}

void ActivityBridge::requestBluetoothPermission()
{
    QPointer<QObject> lifetime = m_lifetime.get();
    m_services.bluetooth->requestPermission([this, lifetime](bool granted) {
        if (!lifetime)
            return;
        if (granted)
            startBluetoothQuietly();
        else
            watchForBluetooth(); // asked for but not there yet: start once it appears
    });
}

void ActivityBridge::restartServiceFor(Permission permission)
{
    if (m_stopped)
        return;
    switch (permission.kind()) {
    case Permission::Kind::bluetooth:
        // The user asked: start even when it was skipped at launch, as a
        // request through requestBluetoothPermission() does.
        if (m_services.bluetooth->isStarted())
            return;
        startBluetoothQuietly();
        return;
    case Permission::Kind::inputMonitoring:
    case Permission::Kind::accessibility:
        // The tap's mode is chosen at its start: start it again to take up
        // keys it could not read or take before.
        restartEventTap();
        return;
    case Permission::Kind::calendar:
    case Permission::Kind::camera:
        // The calendar asks for its access itself; the camera is not ours.
        return;
    }
}

// MARK: - Event tap and keys

void ActivityBridge::startEventTap()
{
    using Mode = EventTapService::Mode;
    const bool intercept = EventTapService::hasAccessibility() && m_settings.suppressSystemHUD();
    QPointer<QObject> lifetime = m_lifetime.get();
    m_services.eventTap->setOnStatusChange([this, lifetime](const EventTapService::Status& status) {
        postTo(lifetime, [this, status] {
            if (m_starting)
                m_tapStatusesDuringStart.push_back(status);
            else
                traceTapStatus(status);
        });
    });
    m_services.eventTap->setHandler([this, lifetime](const MediaKeyEvent& event) {
        return lifetime ? handleMediaKey(event) : false;
    });
    const Mode mode = intercept ? Mode::intercept : Mode::listen;
    m_tapSuppression = m_settings.suppressSystemHUD();
    m_tapStatus = m_services.eventTap->start(mode);
    trace("event tap start(" + std::string(rawValue(mode)) + ") \u2192 " + m_tapStatus.description());
}

void ActivityBridge::restartEventTap()
{
    m_services.eventTap->stop();
    startEventTap();
}

void ActivityBridge::followSuppressionSetting()
{
    // Every write of any setting lands here: restart only when this one
    // changed since the tap started.
    if (m_stopped || !m_tapSuppression || *m_tapSuppression == m_settings.suppressSystemHUD())
        return;
    restartEventTap();
}

void ActivityBridge::traceTapStatus(const EventTapService::Status& status)
{
    trace("event tap \u2192 " + status.description());
}

bool ActivityBridge::handleMediaKey(const MediaKeyEvent& event)
{
    using MediaKeyHandling::Target;
    if (!event.isDown)
        return false;
    // Before any condition: a brightness key the app cannot apply still
    // makes the change the system applies count as asked for.
    if (const auto name = MediaKeyHandling::stampOf(event.key))
        m_keyIntent.stamp(*name, m_clock.now());
    trace(MediaKeyHandling::traceLine(event));

    const Target target = MediaKeyHandling::targetOf(event.key);
    // A program holding the key gets every press and applies it; applying it
    // here as well would step twice. Its change comes back through the
    // service's stream, and the pill follows that.
    if (target != Target::none && m_services.eventTap->isHeldByAnotherProgram(event.key)) {
        trace("media key " + std::string(rawValue(event.key)) + " left to the program holding it");
        return false;
    }

    switch (target) {
    case Target::volume: {
        const AudioState state = m_services.audio->knownState();
        const auto level =
            MediaKeyHandling::adjustedLevel(event, state.canSetVolume ? std::optional(state.volume) : std::nullopt);
        if (!level)
            return false;
        m_services.audio->setVolume(*level);
        return true;
    }
    case Target::brightness: {
        BrightnessService& brightness = *m_services.brightness;
        if (!brightness.isAvailable())
            return false;
        const auto level = MediaKeyHandling::adjustedLevel(event, brightness.read(kMainDisplay));
        if (!level)
            return false;
        brightness.set(*level, kMainDisplay);
        return true;
    }
    case Target::illumination: {
        KeyboardBacklightService& backlight = *m_services.keyboardBacklight;
        if (!backlight.isAvailable())
            return false;
        const auto level = MediaKeyHandling::adjustedLevel(event, backlight.read());
        if (!level)
            return false;
        backlight.set(*level);
        return true;
    }
    case Target::none:
        break;
    }
    return false;
}

// MARK: - Payloads

void ActivityBridge::deliver(const ActivityPayload& payload)
{
    if (m_coordinator.submit(payload) && m_present)
        m_present(payload);
}

void ActivityBridge::setAmbient(std::optional<ActivityPayload> payload)
{
    if (!m_coordinator.setAmbient(std::move(payload)))
        return;
    if (const auto& current = m_coordinator.current()) {
        if (m_present)
            m_present(*current);
    } else if (m_onActivityEnded) {
        m_onActivityEnded();
    }
}

namespace {
ActivityPayloads::Stamp freshStamp(const ClockSource& clock)
{
    return {Uuid::random(), clock.now()};
}
} // namespace

void ActivityBridge::handleLock(ScreenLockEvent event)
{
    if (m_settings.lockSoundsEnabled() && m_services.sounds)
        m_services.sounds->play(event == ScreenLockEvent::locked ? "Tink" : "Pop");
    if (m_settings.showLockActivity() && event == ScreenLockEvent::unlocked)
        deliver(ActivityPayloads::unlocked(freshStamp(m_clock)));
}

void ActivityBridge::handleAudio(const AudioState& state)
{
    if (m_primed.insert("audio").second)
        return;
    deliver(ActivityPayloads::audio(state, freshStamp(m_clock)));
}

void ActivityBridge::handleBattery(const BatteryEvent& event)
{
    std::optional<std::string> subtitle;
    const bool showsTime = event.as<BatteryEvent::PluggedIn>() || event.as<BatteryEvent::Unplugged>() ||
                           event.as<BatteryEvent::LowBattery>();
    // The reading behind the event: asking the daemon again would hold the
    // main thread while it answers.
    if (showsTime) {
        const auto& state = m_services.battery->previous();
        subtitle = ActivityPayloads::batterySubtitle(state ? state->timeRemaining : std::nullopt);
    }
    deliver(ActivityPayloads::battery(event, subtitle, freshStamp(m_clock)));
}

void ActivityBridge::handleFocus(const FocusModeState& state)
{
    m_coordinator.setFocusActive(state.isActive);
    if (m_primed.insert("focus").second)
        return;
    // The pill that announces Focus must pass the gate it announces: with
    // Focus on, the gate would refuse every Focus pill.
    m_coordinator.setFocusActive(false);
    deliver(ActivityPayloads::focus(state, freshStamp(m_clock)));
    m_coordinator.setFocusActive(state.isActive);
}

void ActivityBridge::handleBrightness(const BrightnessState& state)
{
    if (!m_keyIntent.counts(MediaKeyHandling::kBrightnessStamp, m_clock.now()))
        return;
    trace("brightness event level=" + formatShortest(state.level));
    deliver(ActivityPayloads::brightness(state.level, freshStamp(m_clock)));
}

void ActivityBridge::handleKeyboardBacklight(double level)
{
    if (!m_keyIntent.counts(MediaKeyHandling::kIlluminationStamp, m_clock.now()))
        return;
    deliver(ActivityPayloads::keyboardBacklight(level, freshStamp(m_clock)));
}

void ActivityBridge::handleBluetooth(const BluetoothEvent& event)
{
    deliver(ActivityPayloads::bluetooth(event, freshStamp(m_clock)));
}

void ActivityBridge::checkUpcomingEvent()
{
    BridgeCalendarService& calendar = *m_services.calendar;
    if (calendar.access() != NotchCalendarAccess::granted)
        return;
    const auto lead = durationFromSeconds(m_settings.calendarLeadMinutes() * 60);
    const auto event = calendar.upcoming(lead);
    if (!event || !m_announcedEvents.insert(event->id).second)
        return;
    const Date now = m_clock.now();
    deliver(ActivityPayloads::calendar(event->id, event->title, ActivityPayloads::calendarSubtitle(event->start - now),
                                       {Uuid::random(), now}));
}

bool ActivityBridge::toggleKeepAwake()
{
    IdleService& idle = *m_services.idle;
    // "Sleep allowed" would claim a change nobody could make.
    if (!idle.isKeepingAwake() && !idle.isKeepAwakeAvailable()) {
        trace("keep awake unavailable: no inhibitor");
        return false;
    }
    idle.toggleKeepAwake(ActivityPayloads::keepAwakeDuration(m_settings.keepAwakeDuration()));
    deliver(ActivityPayloads::keepAwake(idle.isKeepingAwake(), idle.keepAwakeUntil(), freshStamp(m_clock)));
    return true;
}

void ActivityBridge::refreshTrackPill(const NowPlayingState& state, const std::optional<Data>& artwork)
{
    if (!m_trackPill)
        return;
    // Where the pill stands, with the time it had: a new look, not a new pill.
    auto refined = ActivityPayloads::newTrack(state, artwork, toSeconds(m_trackPill->duration()),
                                              {m_trackPill->id(), m_trackPill->createdAt()});
    if (ActivityPayloads::showsSame(*m_trackPill, refined))
        return;
    m_trackPill = refined;
    trace("media REFINE " + state.title.value_or("-"));
    if (m_coordinator.refresh(refined) && m_present)
        m_present(refined);
}

std::optional<Data> ActivityBridge::artworkOf(const NowPlayingState& state)
{
    if (state.artwork != m_artworkSource) {
        m_artworkSource = state.artwork;
        m_artwork.reset();
        if (state.artwork && !state.artwork->empty()) {
            const auto bytes = state.artwork->bytes();
            m_artwork = Data(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        }
    }
    return m_artwork;
}

void ActivityBridge::handleNowPlaying(const NowPlayingState& state)
{
    m_nowPlaying = state;
    if (m_onNowPlayingChange)
        m_onNowPlayingChange(state);

    const auto artwork = artworkOf(state);
    if (state.isPlaying) {
        // The elapsed time moves several times a second; the pill shows none
        // of it, so a state that shows the same keeps the payload (and its
        // identity) instead of presenting it again. The same track with a
        // new look (its title arriving after its file name, a cover) keeps
        // its identity too.
        auto ambient = ActivityPayloads::ambientNowPlaying(state, artwork, freshStamp(m_clock));
        const auto& standing = m_coordinator.ambient();
        if (standing && standing->dedupeKey() == ambient.dedupeKey())
            ambient = ActivityPayloads::ambientNowPlaying(state, artwork, {standing->id(), standing->createdAt()});
        if (!standing || !ActivityPayloads::showsSame(*standing, ambient))
            setAmbient(std::move(ambient));
    } else {
        setAmbient(std::nullopt);
    }

    trace(ActivityPayloads::mediaTraceLine(state));

    const std::string key = state.itemKey();
    if (!state.isPlaying || key.empty())
        return;
    if (key == m_lastMediaItemKey) {
        refreshTrackPill(state, artwork);
        return;
    }
    m_lastMediaItemKey = key;
    m_trackPill.reset();
    if (m_primed.contains("media")) {
        trace("media EMIT " + state.title.value_or("-"));
        m_trackPill = ActivityPayloads::newTrack(state, artwork, m_settings.inactivityTimeout(), freshStamp(m_clock));
        deliver(*m_trackPill);
    } else {
        m_primed.insert("media");
        trace("media primed, suppressing first pill");
    }
}
