#pragma once
// An activity bridge over the in-process doubles of every service: a manual
// clock and scheduler, fake sound server, backlights, battery, Focus source,
// Bluetooth stack, key tap and access probe, lock monitor, calendar,
// now-playing source and sound player. The trace goes to a private folder;
// every payload shown is kept in `presented`.

#include "Platform/Audio/FakeAudioBackend.h"
#include "Platform/Audio/SoundPlayer.h"
#include "Platform/Bluetooth/FakeBluetoothBackend.h"
#include "Platform/Desktop/FocusStateSource.h"
#include "Platform/Display/FakeBacklight.h"
#include "Platform/Input/FakeInputAccessProbe.h"
#include "Platform/Input/FakeKeyTapBackend.h"
#include "Platform/Power/FakeDisplaySleepInhibitor.h"
#include "Platform/Power/FakePowerSource.h"
#include "Platform/Power/FakeScreenLockMonitor.h"
#include "TestSupport.h"
#include "Vude/Bridge/ActivityBridge.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace bridgetest {

using namespace std::chrono_literals;

/// A calendar a test fills: its access, what start() does, and the event
/// upcoming() finds (only a not-all-day event starting after now, within
/// the lead, as the real service answers).
class FakeCalendar final : public BridgeCalendarService {
public:
    explicit FakeCalendar(const ClockSource& clock) : m_clock(clock) {}

    NotchCalendarAccess accessAfterStart = NotchCalendarAccess::granted;
    struct Event {
        BridgeCalendarEvent event;
        bool isAllDay = false;
    };
    std::vector<Event> events;
    /// start() keeps its completion here when set, for the test to call.
    bool holdStart = false;
    std::function<void()> heldStart;
    int startCount = 0;
    int stopCount = 0;
    std::vector<BridgeCalendarFilter> filters;
    std::vector<Duration> upcomingAsks;

    NotchCalendarAccess access() const override { return m_access; }
    std::optional<std::string> requestError() const override { return std::nullopt; }
    void start(std::function<void()> done) override
    {
        ++startCount;
        m_access = accessAfterStart;
        if (holdStart)
            heldStart = std::move(done);
        else if (done)
            done();
    }
    BridgeCalendarFilter filter() const override { return m_filter; }
    void setFilter(const BridgeCalendarFilter& filter) override
    {
        m_filter = filter;
        filters.push_back(filter);
    }
    void stop() override { ++stopCount; }
    std::optional<BridgeCalendarEvent> upcoming(Duration within) const override
    {
        const_cast<FakeCalendar*>(this)->upcomingAsks.push_back(within);
        const Date now = m_clock.now();
        for (const auto& entry : events)
            if (!entry.isAllDay && entry.event.start > now && entry.event.start - now <= within)
                return entry.event;
        return std::nullopt;
    }

private:
    const ClockSource& m_clock;
    NotchCalendarAccess m_access = NotchCalendarAccess::notDetermined;
    BridgeCalendarFilter m_filter;
};

/// A now-playing source whose self-test answers as told (after a pause, on
/// the thread that asks), and whose states a test publishes.
class FakeNowPlayingSource final : public NowPlayingSource {
public:
    std::atomic<bool> selfTestPasses = true;
    std::atomic<int> selfTestMilliseconds = 0;
    std::atomic<bool> selfTestOnMainThread = false;
    std::atomic<int> selfTestCount = 0;
    std::thread::id mainThread = std::this_thread::get_id();
    int startCount = 0;
    int stopCount = 0;

    void publish(const NowPlayingState& state) { m_states.yield(state); }

    Capability capabilities() const override { return Capability(7); }
    bool selfTest(Duration timeout) override
    {
        ++selfTestCount;
        selfTestOnMainThread = std::this_thread::get_id() == mainThread;
        const auto pause = std::chrono::milliseconds(selfTestMilliseconds.load());
        std::this_thread::sleep_for(std::min<Duration>(pause, timeout));
        return selfTestPasses && pause <= timeout;
    }
    LatestStream<NowPlayingState> states() const override { return m_states; }
    void start() override { ++startCount; }
    void stop() override { ++stopCount; }
    void send(const MediaCommand&) override {}

private:
    LatestStream<NowPlayingState> m_states{4};
};

/// A fake backlight that counts its reads, so a test knows when a poll has
/// read a level (and, at the next read, that the poll before has published).
class CountingBacklight final : public Backlight {
public:
    explicit CountingBacklight(std::unique_ptr<FakeBacklight> fake) : m_fake(std::move(fake)) {}
    FakeBacklight& fake() { return *m_fake; }
    int reads() const { return m_reads; }

    bool isAvailable() const override { return m_fake->isAvailable(); }
    std::optional<double> level() const override
    {
        ++m_reads;
        return m_fake->level();
    }
    bool setLevel(double level) override { return m_fake->setLevel(level); }
    std::string description() const override { return m_fake->description(); }

private:
    std::unique_ptr<FakeBacklight> m_fake;
    mutable std::atomic<int> m_reads = 0;
};

/// The bridge and every double behind it. Services are made at once; the
/// bridge by makeBridge(), after a test has arranged the doubles.
struct BridgeRig {
    BridgeRig()
    {
        previousProbe = InputAccessProbe::standard();
        InputAccessProbe::installStandard(access);
        settings.setActivitiesEnabled(true);

        audioDevice = AudioDeviceInfo{.id = 1, .name = "Speakers", .volume = 0.5};
        audioBackend->putDevice(*audioDevice);
        audioBackend->changeDefaultOutput(1);
    }

    ~BridgeRig()
    {
        bridge.reset();
        InputAccessProbe::installStandard(previousProbe);
    }

    /// The bridge over the doubles; `withMedia` false plays an app without
    /// the now-playing adapter.
    ActivityBridge& makeBridge(bool withMedia = true)
    {
        ActivityBridge::Services services;
        services.audio = std::make_unique<AudioService>(std::move(ownedAudioBackend));
        services.battery = std::make_unique<BatteryService>(std::move(ownedPowerSource));
        services.brightness = std::make_unique<BrightnessService>(std::move(ownedDisplayBacklight), scheduler);
        services.keyboardBacklight =
            std::make_unique<KeyboardBacklightService>(std::move(ownedKeyboardBacklight), scheduler);
        if (otherEventTap)
            services.eventTap = std::move(otherEventTap);
        else
            services.eventTap =
                std::make_unique<EventTapService>(std::move(ownedKeyTap), access, scheduler, schedulerClock);
        services.focus = std::make_unique<FocusService>(std::move(ownedFocusSource), home.path().toStdString());
        services.bluetooth = std::make_unique<BluetoothService>(std::move(ownedBluetooth), scheduler);
        if (otherCalendar)
            services.calendar = std::move(otherCalendar);
        else
            services.calendar = std::move(ownedCalendar);
        services.idle = std::make_unique<IdleService>(std::move(ownedInhibitor), std::move(ownedLockMonitor),
                                                      scheduler, clock);
        if (withMedia)
            services.media = std::move(ownedMedia);
        else
            media = nullptr;
        services.sounds = std::move(ownedSounds);

        bridge = std::make_unique<ActivityBridge>(
            coordinator, settings, [this](const ActivityPayload& payload) { presented.push_back(payload); },
            std::move(services),
            ActivityBridge::Dependencies{
                .scheduler = scheduler,
                .clock = clock,
                .trace = trace,
                .environment = Environment::fixed(environment),
                .systemLog = [this](std::string_view line) { systemLog.emplace_back(line); },
                .mediaDirectory = "/opt/vude/share/vude/mediaremote-adapter",
                .permissions = permissions,
            });
        return *bridge;
    }

    /// Starts the bridge and waits until start-up has run through.
    bool startBridge()
    {
        bridge->start();
        return testsupport::waitUntil([&] { return bridge->isStartFinished(); });
    }

    /// The trace's messages, without their times.
    std::vector<std::string> traceLines() const
    {
        std::vector<std::string> lines;
        for (const auto& line : trace.recentLogLines(1000))
            lines.push_back(line.size() > 10 ? line.substr(10) : line);
        return lines;
    }

    /// Runs the backlight polls until `backlight` has been read twice more,
    /// then delivers what they published: the first read sees the level
    /// now, and the second starts only once the first has published. The
    /// bridge's clock does not move.
    void pollTwice(CountingBacklight& backlight)
    {
        const int before = backlight.reads();
        scheduler.advance(BacklightPoll::kInterval);
        ASSERT_TRUE(waitFor([&] { return backlight.reads() > before; }));
        scheduler.advance(BacklightPoll::kInterval);
        ASSERT_TRUE(waitFor([&] { return backlight.reads() > before + 1; }));
        testsupport::processEvents();
    }

    /// Lets the services' queues and the streams' deliveries run until
    /// `condition` holds.
    static bool waitFor(const std::function<bool()>& condition) { return testsupport::waitUntil(condition); }

    /// The bridge's clock: key stamps, payload times, calendar lead, the
    /// keep-awake end.
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365)};
    /// Runs the polls, the delayed Bluetooth start and the services' delays
    /// on a clock of its own, so a poll can run without moving the bridge's.
    ManualClock schedulerClock;
    ManualScheduler scheduler{schedulerClock};
    QTemporaryDir traceFolder;
    QTemporaryDir home;
    DiagnosticsTrace trace{Environment::fixed({{"VUDE_TRACE", ""}}), [] { return false; }, clock,
                           [this]() -> Expected<std::filesystem::path, std::string> {
                               return std::filesystem::path(traceFolder.path().toStdString());
                           }};
    std::map<std::string, std::string> environment;
    /// Where the bridge hears of granted permission requests; none unless a
    /// test sets it before makeBridge().
    PermissionSystem* permissions = nullptr;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    SettingsStore settings{defaults};
    ActivityCoordinator coordinator{clock};
    std::shared_ptr<FakeInputAccessProbe> access = std::make_shared<FakeInputAccessProbe>();
    std::shared_ptr<InputAccessProbe> previousProbe;

    std::optional<AudioDeviceInfo> audioDevice;
    /// A test may put a real sound server's backend here before makeBridge();
    /// `audioBackend` is then of no use.
    std::unique_ptr<AudioBackend> ownedAudioBackend = std::make_unique<FakeAudioBackend>();
    FakeAudioBackend* audioBackend = static_cast<FakeAudioBackend*>(ownedAudioBackend.get());
    std::unique_ptr<FakePowerSource> ownedPowerSource = std::make_unique<FakePowerSource>(PowerSourceReading{
        .percentage = 0.8, .isPluggedIn = true, .timeRemaining = 5400.0});
    FakePowerSource* powerSource = ownedPowerSource.get();
    std::unique_ptr<CountingBacklight> ownedDisplayBacklight =
        std::make_unique<CountingBacklight>(std::make_unique<FakeBacklight>(0.5));
    CountingBacklight* displayBacklight = ownedDisplayBacklight.get();
    std::unique_ptr<CountingBacklight> ownedKeyboardBacklight =
        std::make_unique<CountingBacklight>(std::make_unique<FakeBacklight>(0.25));
    CountingBacklight* keyboardBacklight = ownedKeyboardBacklight.get();
    std::unique_ptr<FakeKeyTapBackend> ownedKeyTap = std::make_unique<FakeKeyTapBackend>();
    FakeKeyTapBackend* keyTap = ownedKeyTap.get();
    /// A test may put another tap (a real X server's) here before
    /// makeBridge(); `keyTap` is then of no use.
    std::unique_ptr<EventTapService> otherEventTap;
    std::unique_ptr<FakeFocusStateSource> ownedFocusSource = std::make_unique<FakeFocusStateSource>();
    FakeFocusStateSource* focusSource = ownedFocusSource.get();
    std::unique_ptr<FakeBluetoothBackend> ownedBluetooth = [] {
        auto backend = std::make_unique<FakeBluetoothBackend>();
        backend->addAdapter();
        return backend;
    }();
    FakeBluetoothBackend* bluetoothBackend = ownedBluetooth.get();
    std::unique_ptr<FakeCalendar> ownedCalendar = std::make_unique<FakeCalendar>(clock);
    FakeCalendar* calendar = ownedCalendar.get();
    /// A test may put another calendar here before makeBridge(); `calendar`
    /// is then of no use.
    std::shared_ptr<BridgeCalendarService> otherCalendar;
    std::unique_ptr<FakeDisplaySleepInhibitor> ownedInhibitor = std::make_unique<FakeDisplaySleepInhibitor>();
    FakeDisplaySleepInhibitor* inhibitor = ownedInhibitor.get();
    std::unique_ptr<FakeScreenLockMonitor> ownedLockMonitor = std::make_unique<FakeScreenLockMonitor>();
    FakeScreenLockMonitor* lockMonitor = ownedLockMonitor.get();
    std::unique_ptr<FakeNowPlayingSource> ownedMedia = std::make_unique<FakeNowPlayingSource>();
    FakeNowPlayingSource* media = ownedMedia.get();
    std::unique_ptr<RecordingSoundPlayer> ownedSounds = std::make_unique<RecordingSoundPlayer>();
    RecordingSoundPlayer* sounds = ownedSounds.get();

    std::unique_ptr<ActivityBridge> bridge;
    std::vector<ActivityPayload> presented;
    std::vector<std::string> systemLog;
};

} // namespace bridgetest
