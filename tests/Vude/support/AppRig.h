#pragma once
// An application delegate over doubles: a notch shell with real view models
// (no panels), the bridge's fake services, a sync store that records what is
// asked of it (with a real store behind its repository), placeholder windows
// that only log, a manual scheduler, and a wall clock apart from the clock
// of pill expiries. The observable steps of start-up land in one ordered log.

#include "BridgeRig.h"
#include "NotchViewModelRig.h"
#include "Vude/App/AppDelegate.h"
#include "Vude/Permissions/FakePermissions.h"
#include "Vude/Shell/NotchViewModel.h"
#include "VudeKit/Numbers.h"
#include "VudeServices/FocusFilterBridge.h"
#include "VudeServices/FocusService.h"
#include "VudeServices/ShortcutsService.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"
#include "VudeSync/Schema.h"

#include <QMenu>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace apptest {

using namespace std::chrono_literals;
using Log = std::vector<std::string>;

inline bool contains(const Log& log, const std::string& entry)
{
    return std::find(log.begin(), log.end(), entry) != log.end();
}

/// Where `entry` first stands in `log`; -1 when absent.
inline long indexOf(const Log& log, const std::string& entry)
{
    const auto found = std::find(log.begin(), log.end(), entry);
    return found == log.end() ? -1 : long(found - log.begin());
}

/// A Focus source that notes, when the bridge starts it, whether the Focus
/// filter's identity had reached the service by then.
class LoggingFocusSource final : public FocusStateSource {
public:
    explicit LoggingFocusSource(Log& log) : m_log(log) {}
    FocusService* service = nullptr;

    void start() override
    {
        m_log.push_back(std::string("bridge started, Focus identity ") +
                        (service && service->state().modeName == "Deep Work" ? "restored" : "missing"));
    }
    void stop() override {}
    bool isPending() const override { return false; }
    bool isAvailable() const override { return true; }
    bool isFocusOn() const override { return false; }

private:
    Log& m_log;
};

/// A now-playing adapter that passes its self-test and keeps the commands
/// it is sent.
class RecordingMediaSource final : public NowPlayingSource {
public:
    std::vector<MediaCommand> sent;
    /// Run on the bridge's own thread.
    std::atomic<int> selfTests = 0;
    int starts = 0;

    Capability capabilities() const override { return Capability(7); }
    bool selfTest(Duration) override
    {
        ++selfTests;
        return true;
    }
    LatestStream<NowPlayingState> states() const override { return m_states; }
    void start() override { ++starts; }
    void stop() override {}
    void send(const MediaCommand& command) override { sent.push_back(command); }
    void publish(const NowPlayingState& state) { m_states.yield(state); }

private:
    LatestStream<NowPlayingState> m_states{4};
};

/// A shell of real view models, one per screen, with the tray as a list.
class FakeShell final : public NotchShell {
public:
    FakeShell(SettingsStore& settings, ShellPlatform platform, Scheduler& scheduler, const ClockSource& clock,
              const TextMeasurer& measurer, Log& log, int screens, std::filesystem::path shortcutsFolder)
        : m_log(log)
    {
        log.push_back("controller");
        for (int index = 0; index < screens; ++index) {
            NotchGeometry geometry = notchtest::screenGeometry();
            geometry.displayID = std::uint32_t(index + 1);
            m_models.push_back(
                std::make_unique<NotchViewModel>(geometry, settings, platform, scheduler, clock, measurer));
        }
        ShortcutsService::Options options;
        options.tool = shortcutsFolder / "no-such-runner";
        options.applicationSupport = shortcutsFolder;
        m_shortcuts = std::make_unique<ShortcutsService>("Vude", options);
    }

    /// Index of the model under the pointer; none: no screen there.
    std::optional<std::size_t> active = 0;
    std::function<void(const std::vector<TrayItem>&)> onFilesDropped;
    std::function<std::unique_ptr<QMenu>()> contextMenuProvider;
    std::vector<std::vector<std::filesystem::path>> seeded;
    std::size_t seedAnswer = 0;
    bool sourcing = false;
    /// What the polls report: nothing new to find.
    bool settled = false;

    NotchViewModel& model(std::size_t index) { return *m_models.at(index); }
    /// A screen plugged in after start-up.
    NotchViewModel& addModel(SettingsStore& settings, ShellPlatform platform, Scheduler& scheduler,
                             const ClockSource& clock, const TextMeasurer& measurer)
    {
        NotchGeometry geometry = notchtest::screenGeometry();
        geometry.displayID = std::uint32_t(m_models.size() + 1);
        m_models.push_back(std::make_unique<NotchViewModel>(geometry, settings, platform, scheduler, clock, measurer));
        if (m_configure)
            m_configure(*m_models.back());
        return *m_models.back();
    }

    NotchViewModel* activeModel() const override { return active ? m_models.at(*active).get() : nullptr; }
    std::vector<NotchViewModel*> models() const override
    {
        std::vector<NotchViewModel*> models;
        for (const auto& model : m_models)
            models.push_back(model.get());
        return models;
    }
    void setConfigureModel(std::function<void(NotchViewModel&)> configure) override
    {
        m_log.push_back("handlers wired");
        m_configure = std::move(configure);
        for (const auto& model : m_models)
            m_configure(*model);
    }
    void setOnFilesDropped(std::function<void(const std::vector<TrayItem>&)> handler) override
    {
        onFilesDropped = std::move(handler);
    }
    void setContextMenuProvider(std::function<std::unique_ptr<QMenu>()> provider) override
    {
        m_log.push_back("context menu");
        contextMenuProvider = std::move(provider);
    }
    void pollDragPasteboard() override { m_log.push_back("drag pasteboard"); }
    bool pollsSettled() const override { return settled; }
    void pollClipboard(bool enabled, std::int64_t maxItems, bool persists) override
    {
        m_log.push_back("clipboard " + std::string(enabled ? "on" : "off") + " " + formatInteger(maxItems) +
                        (persists ? " kept" : " not kept"));
    }
    void startWeather() override { m_log.push_back("weather"); }
    void startDragMonitors() override { m_log.push_back("drag monitors"); }
    void stopDragMonitors() override { m_log.push_back("drag monitors stopped"); }
    void flushPendingWrites() override { m_log.push_back("pending writes flushed"); }
    void setSourcingDrag(bool value) override
    {
        sourcing = value;
        m_log.push_back(value ? "sourcing drag" : "not sourcing drag");
    }
    std::string geometryReport() const override
    {
        m_log.push_back("geometry report");
        return "Display 1 report";
    }
    std::shared_ptr<DidoDivuzerore> repository() const override { return m_repository; }
    void setRepository(std::shared_ptr<DidoDivuzerore> repository) override
    {
        m_log.push_back(repository ? "repository" : "no repository");
        m_repository = std::move(repository);
    }
    ShortcutsService& shortcutsService() override { return *m_shortcuts; }
    void seedTray(std::vector<std::filesystem::path> files, std::function<void(std::size_t)> done) override
    {
        m_log.push_back("seed tray");
        seeded.push_back(files);
        done(std::min(seedAnswer, files.size()));
    }

private:
    Log& m_log;
    std::vector<std::unique_ptr<NotchViewModel>> m_models;
    std::function<void(NotchViewModel&)> m_configure;
    std::shared_ptr<DidoDivuzerore> m_repository;
    std::unique_ptr<ShortcutsService> m_shortcuts;
};

/// A sync store whose answers a test sets; repositories over a real store.
class FakeSync final : public AppSync {
public:
    FakeSync(Log& log, ModelContainer* container, const ClockSource& clock) : m_log(log), m_container(container), m_clock(clock) {}

    std::optional<ImportSummary> importAnswer = ImportSummary{};
    std::optional<int> dedupeAnswer = 0;
    std::optional<std::string> error;
    std::string summary = "Synced";

    void start(bool syncEnabled, std::function<void()> done) override
    {
        m_log.push_back(std::string("sync start ") + (syncEnabled ? "on" : "off"));
        done();
    }
    std::string statusSummary() const override { return summary; }
    bool isLocalOnly() const override { return m_container == nullptr; }
    std::optional<std::string> accountError() const override { return error; }
    bool hasContainer() const override { return m_container != nullptr; }
    std::optional<ImportSummary> importEarlierFiles(const std::string& deviceID) override
    {
        m_log.push_back("import as " + deviceID);
        return importAnswer;
    }
    std::shared_ptr<DidoDivuzerore> makeRepository(const std::string& deviceID, TraceSink trace) override
    {
        return std::make_shared<DidoDivuzerore>(m_container->makeContext(), deviceID, m_clock, std::move(trace));
    }
    void deleteAllRows() override { m_log.push_back("delete all rows"); }
    std::optional<int> deduplicate() override
    {
        m_log.push_back("deduplicate");
        return dedupeAnswer;
    }
    void probeCloud(std::function<void(std::string, std::string)> done) override
    {
        m_log.push_back("cloud probe");
        done("\u2705 CloudKit reachable (account: available)", "round trip ok");
    }

private:
    Log& m_log;
    ModelContainer* m_container;
    const ClockSource& m_clock;
};

class FakeWindows final : public AppWindows {
public:
    explicit FakeWindows(Log& log) : m_log(log) {}
    void buildStatusItem() override { m_log.push_back("status item"); }
    std::unique_ptr<QMenu> notchContextMenu() override { return nullptr; }
    void openSettings() override { m_log.push_back("open settings"); }
    void showOnboarding() override { m_log.push_back("show onboarding"); }

private:
    Log& m_log;
};

struct AppRig {
    explicit AppRig(int screens = 1) : screenCount(screens)
    {
        ModelConfiguration configuration;
        configuration.url = std::filesystem::path(scratch.path().toStdString()) / "Vude.store";
        auto opened = ModelContainer::open(configuration);
        EXPECT_TRUE(opened) << opened.error();
        if (opened)
            container = std::move(*opened);
        // A stored Focus filter identity, for restore() to hand over.
        focusDefaults->set(FocusFilterBridge::kModeNameKey, std::string("Deep Work"));
    }

    ~AppRig()
    {
        delegate.reset();
    }

    /// Builds the delegate; `environment` is what the process would see.
    AppDelegate& make()
    {
        delegate = std::make_unique<AppDelegate>(AppDelegate::Dependencies{
            .scheduler = bridge.scheduler,
            .wallClock = bridge.clock,
            .activityClock = activityClock,
            .trace = bridge.trace,
            .defaults = bridge.defaults,
            .activation = activation,
            .focusFilter = focusFilter,
            .notifications = notifications,
            .environment = Environment::fixed(environment),
            .workingDirectory = workingDirectory,
            .deviceID = "Test Laptop (3fa91c)",
            .reduceMotion = nullptr,
            .permissions = &permissions.system(),
            .makeShell =
                [this](SettingsStore& settings) {
                    auto made = std::make_unique<FakeShell>(settings, models.platform, bridge.scheduler, bridge.clock,
                                                            models.measurer, log, screenCount,
                                                            std::filesystem::path(scratch.path().toStdString()));
                    shell = made.get();
                    return made;
                },
            .makeBridgeServices = [this] { return services(); },
            .makeSync =
                [this]() -> std::unique_ptr<AppSync> {
                    auto made = std::make_unique<FakeSync>(log, withContainer ? container.get() : nullptr,
                                                           bridge.clock);
                    sync = made.get();
                    if (arrangeSync)
                        arrangeSync(*made);
                    return made;
                },
            .makeUpdates =
                [this](const BuildProfile&) {
                    log.push_back("updates");
                    return std::make_unique<PackageManagedUpdates>();
                },
            .makeWindows = [this](AppDelegate&) { return std::make_unique<FakeWindows>(log); },
            .writeOutput = [this](const std::string& text) { output += text; },
            .systemLog = [](std::string_view) {},
            .watchEventLoop = tickMayRest ? std::function<void(QObject*, std::function<void()>)>(
                                                [this](QObject*, std::function<void()> woke) { loopWoke = std::move(woke); })
                                          : nullptr,
            .afterFirstFrame = holdUntilFirstFrame ? std::function<void(std::function<void()>)>(
                                                         [this](std::function<void()> step) {
                                                             firstFrameSteps.push_back(std::move(step));
                                                         })
                                                   : nullptr,
        });
        return *delegate;
    }

    /// Builds and launches, then lets the queued work (the sync task) run.
    AppDelegate& launch()
    {
        make().applicationDidFinishLaunching();
        bridge.scheduler.runDue();
        testsupport::waitUntil([&] { return delegate->bridge()->isStartFinished(); });
        return *delegate;
    }

    /// Moves both clocks on, running what falls due, a tick at a time.
    void advance(Duration by)
    {
        const Date end = bridge.schedulerClock.now() + by;
        while (bridge.schedulerClock.now() < end) {
            const Duration step = std::min<Duration>(AppDelegate::kTickInterval, end - bridge.schedulerClock.now());
            activityClock.advance(step);
            bridge.clock.advance(step);
            bridge.scheduler.advance(step);
            wakeEventLoop();
        }
    }

    /// What the event loop does after it ran what woke it.
    void wakeEventLoop()
    {
        if (loopWoke)
            loopWoke();
    }

    std::vector<std::string> traceLines() const { return bridge.traceLines(); }

    ActivityBridge::Services services()
    {
        ActivityBridge::Services made;
        made.audio = std::make_unique<AudioService>(std::move(bridge.ownedAudioBackend));
        made.battery = std::make_unique<BatteryService>(std::move(bridge.ownedPowerSource));
        made.brightness = std::make_unique<BrightnessService>(std::move(bridge.ownedDisplayBacklight), bridge.scheduler);
        made.keyboardBacklight =
            std::make_unique<KeyboardBacklightService>(std::move(bridge.ownedKeyboardBacklight), bridge.scheduler);
        made.eventTap = std::make_unique<EventTapService>(std::move(bridge.ownedKeyTap), bridge.access,
                                                          bridge.scheduler, bridge.schedulerClock);
        auto focusSource = std::make_unique<LoggingFocusSource>(log);
        LoggingFocusSource* source = focusSource.get();
        made.focus = std::make_unique<FocusService>(std::move(focusSource), bridge.home.path().toStdString());
        source->service = made.focus.get();
        made.bluetooth = std::make_unique<BluetoothService>(std::move(bridge.ownedBluetooth), bridge.scheduler);
        made.calendar = std::move(bridge.ownedCalendar);
        made.idle = std::make_unique<IdleService>(std::move(bridge.ownedInhibitor), std::move(bridge.ownedLockMonitor),
                                                  bridge.scheduler, bridge.clock);
        if (withMedia) {
            auto source = std::make_unique<RecordingMediaSource>();
            media = source.get();
            made.media = std::move(source);
        }
        made.sounds = std::move(bridge.ownedSounds);
        return made;
    }

    QTemporaryDir scratch;
    Log log;
    int screenCount;
    /// Runs the bridge's doubles, the scheduler and the wall clock.
    bridgetest::BridgeRig bridge;
    /// Runs pill expiries only.
    ManualClock activityClock{kReferenceDate + std::chrono::hours(1000)};
    /// The view models' platform and measurer.
    notchtest::Rig models{false};
    ActivationPolicyRecorder activation{ActivationPolicy::regular};
    /// Where the Desk opens a permission's settings.
    FakePermissions permissions;
    std::shared_ptr<UserDefaults> focusDefaults = std::make_shared<InMemoryUserDefaults>();
    FocusFilterBridge focusFilter{focusDefaults};
    NotificationCenter notifications;
    std::map<std::string, std::string> environment;
    /// The delegate is told when the event loop wakes, so its tick may rest.
    bool tickMayRest = false;
    std::function<void()> loopWoke;
    /// Set before make(): what waits for the first frame is held in
    /// firstFrameSteps until a test runs them, instead of running at once.
    bool holdUntilFirstFrame = false;
    std::vector<std::function<void()>> firstFrameSteps;
    std::filesystem::path workingDirectory = "/home/dev/project";
    std::unique_ptr<ModelContainer> container;
    bool withContainer = true;
    bool withMedia = true;
    RecordingMediaSource* media = nullptr;
    std::function<void(FakeSync&)> arrangeSync;
    std::string output;

    FakeShell* shell = nullptr;
    FakeSync* sync = nullptr;
    std::unique_ptr<AppDelegate> delegate;
};

} // namespace apptest
