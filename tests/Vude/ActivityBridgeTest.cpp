// The activity bridge over the doubles of every service: its start-up and
// stop, the key handler, and which pill each system event raises.
#include "BridgeRig.h"

#include "Platform/Core/QtScheduler.h"
#include "Platform/Input/X11Keyboard.h"
#include "Platform/Desktop/CalendarFolderAccess.h"
#include "Vude/Bridge/CalendarServiceAdapter.h"
#include "Vude/Permissions/FakePermissions.h"
#include "Vude/Permissions/PermissionPrompt.h"
#include "VudeKit/Numbers.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using namespace bridgetest;
using G = ActivityGlyph;
using T = ActivityTrailing;
using StartResult = BluetoothService::StartResult;

class ActivityBridgeTest : public ::testing::Test, public BridgeRig {
protected:
    /// Starts the bridge and waits until the audio service has bound its
    /// output and the first states are in.
    void startAndSettle()
    {
        ASSERT_TRUE(startBridge());
        ASSERT_TRUE(waitFor([&] { return bridge->audio().deviceID() != 0; }));
        testsupport::processEvents();
    }

    std::vector<ActivityPayload> presentedOf(ActivityKind kind) const
    {
        std::vector<ActivityPayload> found;
        for (const auto& payload : presented)
            if (payload.kind() == kind)
                found.push_back(payload);
        return found;
    }

    bool hasLine(const std::string& line) const
    {
        const auto lines = traceLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    bool waitForPresented(std::size_t count)
    {
        return waitFor([&] { return presented.size() >= count; });
    }
};

// MARK: - Start-up

TEST_F(ActivityBridgeTest, StartUpTracesInOrder)
{
    const std::string brightnessLine = "brightness source = displayServices, kbBacklight = true";
    const std::string backendLine = "backlight backends: display = fake; keyboard = fake";
    const std::string mediaPassed = "media adapter present, selfTest=true at /opt/vude/share/vude/mediaremote-adapter";
    const std::string mediaFailed = "media adapter present, selfTest=false at /opt/vude/share/vude/mediaremote-adapter";
    struct Row {
        const char* what;
        bool withMedia = true;
        bool selfTestPasses = true;
        bool activitiesEnabled = true;
        bool noBluetooth = false;
        bool replaceHUD = false;
        bool accessible = true;
        std::vector<std::string> lines = {};
        std::vector<std::string> systemLog = {};
        bool bluetoothStarted = true;
    };
    const std::vector<Row> rows{
        {.what = "adapter present and working",
         .lines = {brightnessLine, backendLine, "event tap start(listen) \u2192 running(listen)", mediaPassed,
                   "event tap \u2192 running(listen)", "bluetooth start \u2192 started"}},
        {.what = "no adapter",
         .withMedia = false,
         .lines = {brightnessLine, backendLine, "event tap start(listen) \u2192 running(listen)",
                   "event tap \u2192 running(listen)", "bluetooth start \u2192 started"}},
        {.what = "failing self-test",
         .selfTestPasses = false,
         .lines = {brightnessLine, backendLine, "event tap start(listen) \u2192 running(listen)", mediaFailed,
                   "event tap \u2192 running(listen)", "bluetooth start \u2192 started"},
         .systemLog = {"[Vude] media adapter self-test failed \u2014 falling back"}},
        {.what = "activities off",
         .activitiesEnabled = false,
         .lines = {brightnessLine, backendLine, "event tap start(listen) \u2192 running(listen)", mediaPassed,
                   "event tap \u2192 running(listen)"},
         .bluetoothStarted = false},
        {.what = "VUDE_NO_BT set, even empty",
         .noBluetooth = true,
         .lines = {brightnessLine, backendLine, "event tap start(listen) \u2192 running(listen)", mediaPassed,
                   "bluetooth start skipped (VUDE_NO_BT)", "event tap \u2192 running(listen)"},
         .bluetoothStarted = false},
        {.what = "replacing the system's display, keys free to take",
         .replaceHUD = true,
         .lines = {brightnessLine, backendLine, "event tap start(intercept) \u2192 running(intercept)", mediaPassed,
                   "event tap \u2192 running(intercept)", "bluetooth start \u2192 started"}},
        {.what = "replacing the system's display without Accessibility",
         .replaceHUD = true,
         .accessible = false,
         .lines = {brightnessLine, backendLine, "event tap start(listen) \u2192 running(listen)", mediaPassed,
                   "event tap \u2192 running(listen)", "bluetooth start \u2192 started"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        BridgeRig rig;
        rig.media->selfTestPasses = row.selfTestPasses;
        rig.settings.setActivitiesEnabled(row.activitiesEnabled);
        rig.settings.setSuppressSystemHUD(row.replaceHUD);
        rig.access->interceptable = row.accessible;
        if (row.noBluetooth)
            rig.environment["VUDE_NO_BT"] = "";
        rig.makeBridge(row.withMedia);
        ASSERT_TRUE(rig.startBridge());
        testsupport::processEvents();
        rig.scheduler.advance(2999ms);
        EXPECT_FALSE(rig.bridge->bluetooth().isStarted());
        rig.scheduler.advance(1ms);
        testsupport::processEvents();

        EXPECT_EQ(rig.traceLines(), row.lines);
        EXPECT_EQ(rig.systemLog, row.systemLog);
        EXPECT_EQ(rig.bridge->bluetooth().isStarted(), row.bluetoothStarted);
        EXPECT_EQ(rig.bridge->bluetoothStatus(),
                  row.bluetoothStarted ? StartResult::started : StartResult::needsPermission);
        if (row.withMedia) {
            EXPECT_EQ(rig.media->startCount, row.selfTestPasses ? 1 : 0);
        }
        EXPECT_EQ(rig.inhibitor->calls().size(), 0u);
        EXPECT_TRUE(rig.lockMonitor->isFollowing());
        EXPECT_EQ(rig.calendar->startCount, 1);
        EXPECT_TRUE(rig.presented.empty()) << "start-up raised a pill";
    }
}

TEST_F(ActivityBridgeTest, SelfTestRunsOffTheMainThreadAndTheRestFollowsIt)
{
    media->selfTestMilliseconds = 300;
    makeBridge();
    bridge->start();
    // start() has returned with the test still running: the main thread is
    // free, and nothing after the self-test has happened yet.
    EXPECT_FALSE(bridge->isStartFinished());
    EXPECT_TRUE(bridge->handleMediaKey({.key = MediaKey::brightnessUp, .isDown = true}));
    EXPECT_FALSE(hasLine("bluetooth start \u2192 started"));
    ASSERT_TRUE(waitFor([&] { return bridge->isStartFinished(); }));
    EXPECT_FALSE(media->selfTestOnMainThread);
    EXPECT_EQ(media->startCount, 1);
    scheduler.advance(3s);
    EXPECT_TRUE(bridge->bluetooth().isStarted());
}

TEST_F(ActivityBridgeTest, StopDuringTheSelfTestStartsNothingMore)
{
    media->selfTestMilliseconds = 200;
    makeBridge();
    bridge->start();
    bridge->stop();
    testsupport::waitUntil([] { return false; }, 400ms);
    EXPECT_EQ(media->startCount, 0);
    scheduler.advance(5s);
    EXPECT_FALSE(bridge->bluetooth().isStarted());
    EXPECT_FALSE(hasLine("media adapter present, selfTest=true at /opt/vude/share/vude/mediaremote-adapter"));
}

TEST_F(ActivityBridgeTest, ReleasingTheBridgeDuringTheSelfTestWaitsForIt)
{
    media->selfTestMilliseconds = 200;
    makeBridge();
    bridge->start();
    bridge.reset();
    testsupport::waitUntil([] { return false; }, 300ms);
    EXPECT_TRUE(presented.empty());
}

TEST_F(ActivityBridgeTest, AStateArrivingAfterTheBridgeIsGoneIsDropped)
{
    makeBridge();
    startAndSettle();
    auto stream = media->states();
    bridge.reset();
    NowPlayingState late;
    late.isPlaying = true;
    late.title = "Late";
    stream.yield(late);
    testsupport::processEvents();
    EXPECT_TRUE(presented.empty());
    EXPECT_FALSE(coordinator.ambient());
}

TEST_F(ActivityBridgeTest, StopCancelsTasksAndStopsServicesInOrder)
{
    makeBridge();
    startAndSettle();
    bridge->toggleKeepAwake();
    ASSERT_TRUE(bridge->idle().isKeepingAwake());
    const auto stream = bridge->focus().states();
    bridge->stop();
    EXPECT_EQ(media->stopCount, 1);
    EXPECT_EQ(calendar->stopCount, 1);
    EXPECT_FALSE(bridge->idle().isKeepingAwake());
    EXPECT_FALSE(lockMonitor->isFollowing());
    EXPECT_TRUE(waitFor([&] { return !audioBackend->isStarted(); }));

    // The delayed Bluetooth start does nothing once stopped.
    scheduler.advance(3s);
    EXPECT_FALSE(bridge->bluetooth().isStarted());
    EXPECT_FALSE(hasLine("bluetooth start \u2192 started"));

    // Stream tasks are cancelled: a later Focus state changes nothing.
    const std::size_t before = presented.size();
    auto focusStream = stream;
    focusStream.yield({.isActive = true});
    testsupport::processEvents();
    EXPECT_FALSE(coordinator.focusActive());
    EXPECT_EQ(presented.size(), before);
}

// MARK: - Keys

TEST_F(ActivityBridgeTest, KeyTable)
{
    struct Row {
        const char* what;
        std::function<void(BridgeRig&)> arrange;
        MediaKeyEvent event;
        bool handled;
        std::vector<std::pair<std::uint32_t, double>> volumeWrites = {};
        std::vector<double> displayWrites = {};
        std::vector<double> keyboardWrites = {};
        std::optional<std::string> stamp = {};
    };
    const auto down = [](MediaKey key, bool fine = false) {
        return MediaKeyEvent{.key = key, .isDown = true, .isFineAdjust = fine};
    };
    const std::vector<Row> rows{
        {"volume up at 0.5", {}, down(MediaKey::soundUp), true, {{1, 0.5625}}},
        {"volume up at 0.5, fine", {}, down(MediaKey::soundUp, true), true, {{1, 0.515625}}},
        {"volume down at 0.03 stores silence",
         [](BridgeRig& rig) { rig.audioBackend->changeDevice(1, 0.03, false); }, down(MediaKey::soundDown), true,
         {{1, 0.0}}},
        {"volume up on an output without volume",
         [](BridgeRig& rig) { rig.audioBackend->changeDevice(1, std::nullopt, false); }, down(MediaKey::soundUp),
         false},
        {"mute", {}, down(MediaKey::mute), false},
        {"play", {}, down(MediaKey::play), false},
        {"next", {}, down(MediaKey::next), false},
        {"previous", {}, down(MediaKey::previous), false},
        {"fast", {}, down(MediaKey::fast), false},
        {"rewind", {}, down(MediaKey::rewind), false},
        {"brightness up", {}, down(MediaKey::brightnessUp), true, {}, {0.5625}, {}, "brightness"},
        {"brightness down, fine", {}, down(MediaKey::brightnessDown, true), true, {}, {0.484375}, {}, "brightness"},
        {"brightness up, unreadable, is refused but stamped",
         [](BridgeRig& rig) { rig.displayBacklight->fake().changeLevel(std::nullopt); },
         down(MediaKey::brightnessUp), false, {}, {}, {}, "brightness"},
        {"illumination up", {}, down(MediaKey::illuminationUp), true, {}, {}, {0.3125}, "illumination"},
        {"illumination down, unreadable, is refused but stamped",
         [](BridgeRig& rig) { rig.keyboardBacklight->fake().changeLevel(std::nullopt); },
         down(MediaKey::illuminationDown), false, {}, {}, {}, "illumination"},
        {"key-up does nothing", {}, {.key = MediaKey::brightnessUp, .isDown = false}, false},
        // While listening, a program that holds a key applies it itself.
        {"volume up held by another program is left to it",
         [](BridgeRig& rig) { rig.access->heldElsewhere.insert(KeySymbols::audioRaiseVolume); },
         down(MediaKey::soundUp), false},
        {"volume down is applied while only volume up is held elsewhere",
         [](BridgeRig& rig) { rig.access->heldElsewhere.insert(KeySymbols::audioRaiseVolume); },
         down(MediaKey::soundDown), true, {{1, 0.4375}}},
        {"brightness up held by another program is left to it but stamped",
         [](BridgeRig& rig) { rig.access->heldElsewhere.insert(KeySymbols::monBrightnessUp); },
         down(MediaKey::brightnessUp), false, {}, {}, {}, "brightness"},
        {"illumination down held by another program is left to it but stamped",
         [](BridgeRig& rig) { rig.access->heldElsewhere.insert(KeySymbols::kbdBrightnessDown); },
         down(MediaKey::illuminationDown), false, {}, {}, {}, "illumination"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        BridgeRig rig;
        rig.makeBridge();
        ASSERT_TRUE(rig.startBridge());
        ASSERT_TRUE(rig.waitFor([&] { return rig.bridge->audio().deviceID() != 0; }));
        if (row.arrange)
            row.arrange(rig);
        // The key reads the level the service last saw: let it see the change.
        ASSERT_TRUE(rig.waitFor(
            [&] { return rig.bridge->audio().knownState() == rig.bridge->audio().currentState(); }));
        const Date now = rig.clock.now();
        EXPECT_EQ(rig.bridge->handleMediaKey(row.event), row.handled);
        EXPECT_EQ(rig.audioBackend->volumeWrites(), row.volumeWrites);
        EXPECT_EQ(rig.displayBacklight->fake().writes(), row.displayWrites);
        EXPECT_EQ(rig.keyboardBacklight->fake().writes(), row.keyboardWrites);
        for (const char* name : {"brightness", "illumination"})
            EXPECT_EQ(rig.bridge->keyIntent().stampOf(name),
                      row.stamp == name ? std::optional<Date>(now) : std::nullopt)
                << name;
        const std::string traced = "media key " + std::string(rawValue(row.event.key)) + " down=true fine=" +
                                   (row.event.isFineAdjust ? "true" : "false");
        const auto lines = rig.traceLines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), traced), row.event.isDown ? 1 : 0);
    }
}

// A sound server that has stopped answering must not hold the key: each
// press steps on from the level the press before asked for, and its pill
// shows before the server has applied anything.
TEST_F(ActivityBridgeTest, VolumeKeysWhileTheServerIsNotAnsweringEachStepOnAndShowAtOnce)
{
    makeBridge();
    startAndSettle();
    audioBackend->holdSets();
    const auto soundBar = [&] {
        const auto pills = presentedOf(ActivityKind::sound);
        const auto* bar = pills.empty() ? nullptr : pills.back().trailing().as<T::Bar>();
        return bar ? std::optional(bar->fraction) : std::nullopt;
    };
    for (const double level : {0.5625, 0.625, 0.6875}) {
        SCOPED_TRACE(level);
        EXPECT_TRUE(bridge->handleMediaKey({.key = MediaKey::soundUp, .isDown = true}));
        EXPECT_EQ(bridge->audio().knownState().volume, level);
        EXPECT_TRUE(waitFor([&] { return soundBar() == level; }));
    }
    EXPECT_EQ(audioBackend->device(1)->volume, 0.5) << "the server has applied nothing yet";

    audioBackend->releaseSets();
    EXPECT_EQ(audioBackend->device(1)->volume, 0.6875) << "three steps up, once it answers";
    EXPECT_EQ(audioBackend->volumeWrites(),
              (std::vector<std::pair<std::uint32_t, double>>{{1, 0.5625}, {1, 0.625}, {1, 0.6875}}));
    ASSERT_TRUE(waitFor([&] { return bridge->audio().knownState() == bridge->audio().currentState(); }));
    EXPECT_EQ(bridge->audio().knownState().volume, 0.6875);
    EXPECT_EQ(soundBar(), 0.6875);
}

TEST_F(ActivityBridgeTest, BrightnessUnavailableRefusesTheKeyButStamps)
{
    ownedDisplayBacklight = std::make_unique<CountingBacklight>(std::make_unique<FakeBacklight>());
    displayBacklight = ownedDisplayBacklight.get();
    makeBridge();
    ASSERT_TRUE(startBridge());
    EXPECT_TRUE(hasLine("brightness source = unavailable, kbBacklight = true"));
    EXPECT_TRUE(hasLine("backlight backends: display = none; keyboard = fake"));
    EXPECT_FALSE(bridge->handleMediaKey({.key = MediaKey::brightnessUp, .isDown = true}));
    EXPECT_EQ(bridge->keyIntent().stampOf("brightness"), clock.now());
}

TEST_F(ActivityBridgeTest, TheTapCallsTheHandlerAndKeepsWhatItApplied)
{
    settings.setSuppressSystemHUD(true);
    makeBridge();
    startAndSettle();
    ASSERT_EQ(bridge->tapStatus(), EventTapService::Status::running(EventTapService::Mode::intercept));
    EXPECT_EQ(keyTap->press(KeySymbols::audioRaiseVolume), true);
    EXPECT_EQ(keyTap->press(KeySymbols::audioMute), false);
    EXPECT_EQ(keyTap->press(KeySymbols::audioRaiseVolume, true, true), true);
    EXPECT_EQ(audioBackend->volumeWrites(), (std::vector<std::pair<std::uint32_t, double>>{{1, 0.5625}, {1, 0.578125}}));

    // Toggling the replacement off restarts only the tap, now listening.
    bridge->eventTap().stop();
    settings.setSuppressSystemHUD(false);
    bridge->startEventTap();
    EXPECT_EQ(bridge->tapStatus(), EventTapService::Status::running(EventTapService::Mode::listen));
    EXPECT_TRUE(hasLine("event tap start(listen) \u2192 running(listen)"));
    ASSERT_TRUE(waitFor([&] { return hasLine("event tap \u2192 stopped"); }));
}

TEST_F(ActivityBridgeTest, AKeyAnotherProgramHoldsIsLeftToItAndAskedOnlyWhileListening)
{
    access->heldElsewhere = {KeySymbols::audioRaiseVolume};
    makeBridge();
    startAndSettle();
    ASSERT_EQ(bridge->tapStatus(), EventTapService::Status::running(EventTapService::Mode::listen));

    // Asked per key, at each press: the answer may change while the app runs.
    access->heldProbes.clear();
    EXPECT_EQ(keyTap->press(KeySymbols::audioRaiseVolume), false);
    EXPECT_EQ(keyTap->press(KeySymbols::audioMute), false);
    EXPECT_EQ(access->heldProbes, (std::vector<std::vector<KeySymbol>>{{KeySymbols::audioRaiseVolume}}))
        << "mute is never applied here, so never asked about";
    EXPECT_TRUE(audioBackend->volumeWrites().empty());
    EXPECT_TRUE(hasLine("media key soundUp left to the program holding it"));

    access->heldElsewhere.clear();
    keyTap->press(KeySymbols::audioRaiseVolume);
    EXPECT_EQ(audioBackend->volumeWrites(), (std::vector<std::pair<std::uint32_t, double>>{{1, 0.5625}}));

    // Intercepting, the keys are ours: nobody else can hold them.
    access->heldElsewhere = {KeySymbols::audioRaiseVolume};
    settings.setSuppressSystemHUD(true);
    ASSERT_EQ(bridge->tapStatus(), EventTapService::Status::running(EventTapService::Mode::intercept));
    access->heldProbes.clear();
    EXPECT_EQ(keyTap->press(KeySymbols::audioRaiseVolume), true);
    EXPECT_TRUE(access->heldProbes.empty());
    EXPECT_EQ(audioBackend->volumeWrites().size(), 2u);
}

// MARK: - Delivery

TEST_F(ActivityBridgeTest, OnlyAcceptedPayloadsArePresented)
{
    settings.setShowLockActivity(true);
    makeBridge();
    startAndSettle();
    scheduler.advance(3s);
    lockMonitor->announce(false);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].title(), "Welcome back");

    // A device connecting while the queued unlock pill shows waits its turn:
    // queued, never presented.
    const auto handle = bluetoothBackend->addDevice("11:22:33:44:55:66", "Keyboard");
    bluetoothBackend->connectDevice(handle);
    scheduler.advance(BluetoothService::batteryReadDelay);
    ASSERT_TRUE(waitFor([&] { return coordinator.queue().size() == 1; }));
    EXPECT_EQ(coordinator.queue()[0].dedupeKey(), "bt-11:22:33:44:55:66");
    EXPECT_EQ(presented.size(), 1u);

    // Refused by the Focus gate: never presented either.
    coordinator.setFocusActive(true);
    calendar->events.push_back({{"evt", "Review", clock.now() + 2min}});
    bridge->checkUpcomingEvent();
    EXPECT_EQ(presented.size(), 1u);
}

// MARK: - Payloads from events

TEST_F(ActivityBridgeTest, FirstAudioStatePrimesTheNextOnesRaiseTheSoundPill)
{
    audioBackend->putDevice({.id = 2, .name = "", .volume = 0.8});
    makeBridge();
    startAndSettle();
    EXPECT_TRUE(presented.empty());

    audioBackend->changeDevice(1, 0.5, true);
    ASSERT_TRUE(waitForPresented(1));
    EXPECT_EQ(presented[0].leading(), G::symbol("speaker.slash.fill"));
    EXPECT_EQ(presented[0].trailing(), T::bar(0));
    EXPECT_EQ(presented[0].title(), "Speakers");

    // Only the device changed: still a pill, titled "Volume" for a nameless one.
    audioBackend->changeDefaultOutput(2);
    ASSERT_TRUE(waitForPresented(2));
    EXPECT_EQ(presented[1].title(), "Volume");
    EXPECT_EQ(presented[1].trailing(), T::bar(0.8));
    EXPECT_EQ(coordinator.current(), presented[1]);
}

TEST_F(ActivityBridgeTest, BrightnessRaisesAPillOnlyWithinTheKeyWindow)
{
    makeBridge();
    startAndSettle();
    // No key pressed: the ambient light's change raises nothing.
    displayBacklight->fake().changeLevel(0.7);
    pollTwice(*displayBacklight);
    EXPECT_TRUE(presentedOf(ActivityKind::display).empty());

    // A key the app cannot apply (the panel refuses the write) still stamps.
    displayBacklight->fake().setWritable(false);
    ASSERT_TRUE(bridge->handleMediaKey({.key = MediaKey::brightnessUp, .isDown = true}));

    // 1.2 s later: too late.
    displayBacklight->fake().changeLevel(0.3);
    clock.advance(1200ms);
    pollTwice(*displayBacklight);
    EXPECT_TRUE(presentedOf(ActivityKind::display).empty());

    // 1.19 s after a fresh stamp: shown, and the stamp stays for the next.
    ASSERT_TRUE(bridge->handleMediaKey({.key = MediaKey::brightnessDown, .isDown = true}));
    displayBacklight->fake().changeLevel(0.5);
    clock.advance(1190ms);
    pollTwice(*displayBacklight);
    ASSERT_EQ(presentedOf(ActivityKind::display).size(), 1u);
    EXPECT_EQ(presentedOf(ActivityKind::display)[0].leading(), G::symbol("sun.min.fill"));
    EXPECT_EQ(presentedOf(ActivityKind::display)[0].trailing(), T::bar(0.5));
    EXPECT_TRUE(hasLine("brightness event level=0.5"));

    displayBacklight->fake().changeLevel(0.75);
    clock.advance(9ms);
    pollTwice(*displayBacklight);
    ASSERT_EQ(presentedOf(ActivityKind::display).size(), 2u);
    EXPECT_EQ(presentedOf(ActivityKind::display)[1].leading(), G::symbol("sun.max.fill"));
}

TEST_F(ActivityBridgeTest, BacklightFollowsTheIlluminationKeysOnly)
{
    makeBridge();
    startAndSettle();
    // A brightness key does not count for the keyboard.
    ASSERT_TRUE(bridge->handleMediaKey({.key = MediaKey::brightnessUp, .isDown = true}));
    keyboardBacklight->fake().changeLevel(0.5);
    pollTwice(*keyboardBacklight);
    EXPECT_TRUE(presentedOf(ActivityKind::keyboardBacklight).empty());

    keyboardBacklight->fake().setWritable(false);
    ASSERT_TRUE(bridge->handleMediaKey({.key = MediaKey::illuminationUp, .isDown = true}));
    keyboardBacklight->fake().changeLevel(0.75);
    clock.advance(1199ms);
    pollTwice(*keyboardBacklight);
    ASSERT_EQ(presentedOf(ActivityKind::keyboardBacklight).size(), 1u);
    EXPECT_EQ(presentedOf(ActivityKind::keyboardBacklight)[0].trailing(), T::bar(0.75));
    EXPECT_FALSE(hasLine("brightness event level=0.75"));

    keyboardBacklight->fake().changeLevel(0.25);
    clock.advance(1ms);
    pollTwice(*keyboardBacklight);
    EXPECT_EQ(presentedOf(ActivityKind::keyboardBacklight).size(), 1u);
}

TEST_F(ActivityBridgeTest, BatteryEventsCarryTheTimeRemaining)
{
    makeBridge();
    startAndSettle();
    EXPECT_DOUBLE_EQ(bridge->battery().lowBatteryThreshold(), 0.2);

    powerSource->changeBattery(PowerSourceReading{.percentage = 0.8, .timeRemaining = 5400.0});
    ASSERT_TRUE(waitForPresented(1));
    EXPECT_EQ(presented[0].title(), "On battery");
    EXPECT_EQ(presented[0].subtitle(), "1 hr 30 min remaining");
    EXPECT_EQ(presented[0].trailing(), T::percent(0.8));

    // Dropping to the threshold interrupts with the low pill.
    powerSource->changeBattery(PowerSourceReading{.percentage = 0.2, .timeRemaining = 3599.0});
    ASSERT_TRUE(waitForPresented(2));
    EXPECT_EQ(presented[1].title(), "Low battery");
    EXPECT_EQ(presented[1].subtitle(), "59 min remaining");
    EXPECT_EQ(presented[1].priority(), ActivityPriority::interrupt);

    powerSource->changeLowPowerMode(true);
    ASSERT_TRUE(waitFor([&] { return coordinator.queue().size() == 1; }));
    EXPECT_EQ(coordinator.queue()[0].title(), "Low Power Mode on");
    EXPECT_FALSE(coordinator.queue()[0].subtitle());
}

TEST_F(ActivityBridgeTest, FocusSetsTheGateAndItsOwnPillPassesIt)
{
    focusSource->setFocusOn(false);
    makeBridge();
    startAndSettle();
    EXPECT_FALSE(coordinator.focusActive());
    EXPECT_TRUE(presented.empty());

    focusSource->setFocusOn(true);
    ASSERT_TRUE(waitForPresented(1));
    EXPECT_TRUE(coordinator.focusActive());
    EXPECT_EQ(presented[0].kind(), ActivityKind::focus);
    EXPECT_EQ(presented[0].title(), "Focus");
    EXPECT_EQ(presented[0].subtitle(), "On");

    // While Focus is on, the gate still refuses what it should.
    calendar->events.push_back({{"evt", "Review", clock.now() + 2min}});
    bridge->checkUpcomingEvent();
    EXPECT_EQ(presented.size(), 1u);

    // A named mode while on, then off: both shown.
    bridge->focus().applyFilterIdentity("Deep Work", "brain.fill");
    ASSERT_TRUE(waitForPresented(2));
    EXPECT_EQ(presented[1].title(), "Deep Work");
    EXPECT_EQ(presented[1].leading(), G::symbolTinted("brain.fill", TintName::slate));
    EXPECT_TRUE(coordinator.focusActive());
    focusSource->setFocusOn(false);
    ASSERT_TRUE(waitForPresented(3));
    EXPECT_EQ(presented[2].subtitle(), "Off");
    EXPECT_FALSE(coordinator.focusActive());
}

TEST_F(ActivityBridgeTest, TheFirstFocusStateSetsTheGateWithoutAPill)
{
    focusSource->setFocusOn(true);
    makeBridge();
    startAndSettle();
    ASSERT_TRUE(waitFor([&] { return coordinator.focusActive(); }));
    EXPECT_TRUE(presentedOf(ActivityKind::focus).empty());
}

TEST_F(ActivityBridgeTest, BluetoothEventsRaiseConnectivityPills)
{
    makeBridge();
    startAndSettle();
    scheduler.advance(3s);
    ASSERT_TRUE(bridge->bluetooth().isStarted());
    const auto handle = bluetoothBackend->addDevice("AA:BB:CC:00:11:22", "Buds");
    bluetoothBackend->setBattery(handle, 15);
    bluetoothBackend->connectDevice(handle);
    scheduler.advance(BluetoothService::batteryReadDelay);
    // Connected (queued) and low (interrupt): the low one shows over it.
    ASSERT_TRUE(waitForPresented(2));
    EXPECT_EQ(presented[0].dedupeKey(), "bt-AA:BB:CC:00:11:22");
    EXPECT_EQ(presented[0].subtitle(), "Connected");
    EXPECT_EQ(presented[0].trailing(), T::percent(0.15));
    EXPECT_EQ(presented[1].dedupeKey(), "bt-low-AA:BB:CC:00:11:22");
    EXPECT_EQ(presented[1].title(), "Buds battery low");
}

TEST_F(ActivityBridgeTest, UpcomingEventsAreAnnouncedOnceEach)
{
    settings.setCalendarLeadMinutes(10);
    calendar->events = {
        {{"allday", "Holiday", clock.now() + 30s}, true},
        {{"soon", "Standup", clock.now() + 59s}},
    };
    makeBridge();
    startAndSettle();
    // The start's own check found the event starting in 59 s.
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].dedupeKey(), "calendar-soon");
    EXPECT_EQ(presented[0].title(), "Standup");
    EXPECT_EQ(presented[0].subtitle(), "Starting now");
    EXPECT_EQ(presented[0].interaction(), ActivityInteraction::openRavo(RiziDar::ravo));
    EXPECT_EQ(calendar->upcomingAsks, std::vector<Duration>{600s});

    bridge->checkUpcomingEvent();
    coordinator.dismissCurrent();
    bridge->checkUpcomingEvent();
    EXPECT_EQ(presented.size(), 1u);

    clock.advance(2min);
    calendar->events.push_back({{"later", "Design review", clock.now() + 5min + 59s}});
    bridge->checkUpcomingEvent();
    ASSERT_EQ(presented.size(), 2u);
    EXPECT_EQ(presented[1].subtitle(), "in 5 min");
    bridge->checkUpcomingEvent();
    EXPECT_EQ(presented.size(), 2u);
}

TEST_F(ActivityBridgeTest, CalendarNeedsAccessAndFollowsTheSettings)
{
    calendar->accessAfterStart = NotchCalendarAccess::denied;
    calendar->events.push_back({{"soon", "Standup", clock.now() + 1min}});
    settings.setVisibleCalendars({"work", "home"});
    settings.setCalendarDaysBehind(3);
    settings.setCalendarDaysAhead(14);
    settings.setShowAllDayEvents(true);
    makeBridge();
    startAndSettle();
    bridge->checkUpcomingEvent();
    EXPECT_TRUE(presented.empty());
    EXPECT_TRUE(calendar->upcomingAsks.empty());
    ASSERT_EQ(calendar->filters.size(), 1u);
    EXPECT_EQ(calendar->filters[0], (BridgeCalendarFilter{.visibleCalendars = {"home", "work"},
                                                           .daysBehind = 3,
                                                           .daysAhead = 14,
                                                           .showAllDayEvents = true}));
    settings.setShowPastEventsToday(true);
    bridge->applyCalendarFilter();
    EXPECT_TRUE(calendar->filter().showPastEventsToday);
}

TEST_F(ActivityBridgeTest, CalendarCheckWaitsForTheStartAndIsCancelledByStop)
{
    calendar->holdStart = true;
    calendar->events.push_back({{"soon", "Standup", clock.now() + 1min}});
    makeBridge();
    startAndSettle();
    EXPECT_TRUE(presented.empty());
    bridge->stop();
    calendar->heldStart();
    EXPECT_TRUE(presented.empty());
}

TEST_F(ActivityBridgeTest, KeepAwakeToggles)
{
    settings.setKeepAwakeDuration(KeepAwakeDurationSetting::oneHour);
    makeBridge();
    startAndSettle();
    bridge->toggleKeepAwake();
    ASSERT_EQ(presented.size(), 1u);
    const auto until = clock.now() + 1h;
    const auto local = std::chrono::floor<std::chrono::minutes>(until).time_since_epoch().count() % (24 * 60);
    const auto twoDigits = [](long value) { return (value < 10 ? "0" : "") + std::to_string(value); };
    EXPECT_EQ(presented[0].title(), "Staying awake");
    EXPECT_EQ(presented[0].subtitle(), "Until " + twoDigits(local / 60) + ":" + twoDigits(local % 60));
    EXPECT_EQ(inhibitor->held().size(), 1u);

    bridge->toggleKeepAwake();
    ASSERT_EQ(presented.size(), 2u);
    EXPECT_EQ(presented[1].title(), "Sleep allowed");
    EXPECT_EQ(presented[1].leading(), G::symbolTinted("moon.zzz.fill", TintName::slate));
    EXPECT_TRUE(inhibitor->held().empty());

    settings.setKeepAwakeDuration(KeepAwakeDurationSetting::indefinite);
    bridge->toggleKeepAwake();
    ASSERT_EQ(presented.size(), 3u);
    EXPECT_EQ(presented[2].subtitle(), "Until you turn it off");

    // The inhibitor goes away while keeping awake: turning it off still works.
    inhibitor->setRefusing(true);
    EXPECT_TRUE(bridge->toggleKeepAwake());
    ASSERT_EQ(presented.size(), 4u);
    EXPECT_EQ(presented[3].title(), "Sleep allowed");
}

TEST_F(ActivityBridgeTest, KeepAwakeWithoutAnInhibitorChangesNothingAndShowsNoPill)
{
    inhibitor->setRefusing(true);
    makeBridge();
    startAndSettle();
    EXPECT_FALSE(bridge->toggleKeepAwake());
    EXPECT_TRUE(presented.empty()) << "no \"Sleep allowed\" for a change nobody made";
    EXPECT_FALSE(coordinator.current());
    EXPECT_TRUE(inhibitor->calls().empty());
    EXPECT_TRUE(hasLine("keep awake unavailable: no inhibitor"));
}

TEST_F(ActivityBridgeTest, LockSoundsAndTheWelcomeBackPill)
{
    struct Row {
        bool sounds;
        bool showActivity;
        std::vector<std::string> played;
        bool pill;
    };
    for (const Row& row : {Row{true, true, {"Tink", "Pop"}, true}, Row{true, false, {"Tink", "Pop"}, false},
                           Row{false, true, {}, true}, Row{false, false, {}, false}}) {
        SCOPED_TRACE(std::string("sounds ") + (row.sounds ? "on" : "off") + ", pill " +
                     (row.showActivity ? "on" : "off"));
        BridgeRig rig;
        rig.settings.setLockSoundsEnabled(row.sounds);
        rig.settings.setShowLockActivity(row.showActivity);
        rig.makeBridge();
        ASSERT_TRUE(rig.startBridge());
        rig.lockMonitor->announce(true);
        EXPECT_TRUE(rig.presented.empty()) << "locking raised a pill";
        rig.lockMonitor->announce(false);
        EXPECT_EQ(rig.sounds->played(), row.played);
        ASSERT_EQ(rig.presented.size(), row.pill ? 1u : 0u);
        if (row.pill) {
            EXPECT_EQ(rig.presented[0].title(), "Welcome back");
        }
    }
}

// MARK: - Now playing

NowPlayingState playing(std::string title, bool isPlaying = true, double elapsed = 0)
{
    NowPlayingState state;
    state.isPlaying = isPlaying;
    state.title = std::move(title);
    state.artist = "Artist";
    state.elapsed = elapsed;
    state.playbackRate = isPlaying ? 1 : 0;
    return state;
}

TEST_F(ActivityBridgeTest, NowPlayingPrimesThenAnnouncesNewTracks)
{
    settings.setInactivityTimeout(7);
    makeBridge();
    std::vector<NowPlayingState> mirrored;
    bridge->setOnNowPlayingChange([&](const NowPlayingState& state) {
        mirrored.push_back(state);
        // Mirrored before any pill is built.
        EXPECT_EQ(bridge->nowPlaying(), state);
    });
    startAndSettle();

    // The first track primes: no new-track pill, but it is the ambient one,
    // shown since nothing else is.
    media->publish(playing("One"));
    ASSERT_TRUE(waitForPresented(1));
    EXPECT_EQ(presented[0].priority(), ActivityPriority::ambient);
    EXPECT_EQ(presented[0].duration(), 3600s);
    EXPECT_EQ(coordinator.ambient(), presented[0]);
    EXPECT_TRUE(hasLine("media primed, suppressing first pill"));

    // The position moves: the same pill stands, not shown again.
    media->publish(playing("One", true, 0.5));
    media->publish(playing("One", true, 1.0));
    ASSERT_TRUE(waitFor([&] { return mirrored.size() == 3; }));
    EXPECT_EQ(presented.size(), 1u);
    EXPECT_EQ(coordinator.ambient()->id(), presented[0].id());
    EXPECT_TRUE(hasLine("media playing=true title=One key=One|Artist art=0"));

    // A different track: a queued pill for the inactivity timeout.
    media->publish(playing("Two"));
    ASSERT_TRUE(waitForPresented(3));
    EXPECT_EQ(presented[1].priority(), ActivityPriority::ambient);
    EXPECT_EQ(presented[1].title(), "Two");
    EXPECT_EQ(presented[2].priority(), ActivityPriority::queued);
    EXPECT_EQ(presented[2].title(), "Two");
    EXPECT_EQ(presented[2].duration(), 7s);
    EXPECT_TRUE(hasLine("media EMIT Two"));

    // Pausing and resuming the same track raises no new-track pill.
    media->publish(playing("Two", false));
    media->publish(playing("Two", true));
    ASSERT_TRUE(waitFor([&] { return mirrored.size() == 6; }));
    for (std::size_t i = 3; i < presented.size(); ++i)
        EXPECT_NE(presented[i].priority(), ActivityPriority::queued);
}

TEST_F(ActivityBridgeTest, PausingClearsTheAmbientPill)
{
    makeBridge();
    int ended = 0;
    bridge->setOnActivityEnded([&] { ++ended; });
    startAndSettle();
    media->publish(playing("One"));
    ASSERT_TRUE(waitForPresented(1));
    ASSERT_EQ(coordinator.current(), presented[0]);

    media->publish(playing("One", false));
    ASSERT_TRUE(waitFor([&] { return ended == 1; }));
    EXPECT_FALSE(coordinator.ambient());
    EXPECT_FALSE(coordinator.current());
    EXPECT_EQ(presented.size(), 1u);

    // Paused while another pill shows: the slot empties, the pill stays.
    media->publish(playing("One"));
    ASSERT_TRUE(waitForPresented(2));
    audioBackend->changeDevice(1, 0.25, false);
    ASSERT_TRUE(waitForPresented(3));
    media->publish(playing("One", false));
    ASSERT_TRUE(waitFor([&] { return !coordinator.ambient(); }));
    EXPECT_EQ(coordinator.current()->kind(), ActivityKind::sound);
    EXPECT_EQ(ended, 1);
}

TEST_F(ActivityBridgeTest, NothingPlayingAtLaunchStillPrimesOnTheFirstTrack)
{
    makeBridge();
    startAndSettle();
    media->publish(playing("Idle", false));
    media->publish(playing("First"));
    ASSERT_TRUE(waitForPresented(1));
    EXPECT_EQ(presented[0].priority(), ActivityPriority::ambient);
    media->publish(playing("Second"));
    ASSERT_TRUE(waitForPresented(3));
    EXPECT_EQ(presented[2].priority(), ActivityPriority::queued);
    EXPECT_EQ(presented[2].title(), "Second");
}

TEST_F(ActivityBridgeTest, ArtworkIsShownAndCountedInTheTrace)
{
    makeBridge();
    startAndSettle();
    NowPlayingState state = playing("Cover");
    state.artwork = ArtworkBytes(std::vector<std::uint8_t>{1, 2, 3, 4});
    media->publish(state);
    ASSERT_TRUE(waitForPresented(1));
    EXPECT_EQ(presented[0].leading(), G::artwork(Data(std::vector<std::uint8_t>{1, 2, 3, 4})));
    EXPECT_TRUE(hasLine("media playing=true title=Cover key=Cover|Artist art=4"));

    // A new cover for the same track is a new look for the same activity:
    // shown again, in place.
    state.artwork = ArtworkBytes(std::vector<std::uint8_t>{9, 9});
    media->publish(state);
    ASSERT_TRUE(waitForPresented(2));
    EXPECT_EQ(presented[1].leading(), G::artwork(Data(std::vector<std::uint8_t>{9, 9})));
    EXPECT_EQ(presented[1].id(), presented[0].id());
}

// mpv first titles a track by its file name; the real title comes a moment
// later for the same item.
TEST_F(ActivityBridgeTest, ATitleArrivingLaterUpdatesTheTrackPillInPlace)
{
    settings.setInactivityTimeout(7);
    makeBridge();
    startAndSettle();
    const auto item = [](std::string title, std::string identifier) {
        NowPlayingState state = playing(std::move(title));
        state.contentItemIdentifier = std::move(identifier);
        return state;
    };
    media->publish(item("One", "first"));
    ASSERT_TRUE(waitForPresented(1));

    media->publish(item("two.mp3", "second"));
    ASSERT_TRUE(waitFor([&] { return !presentedOf(ActivityKind::nowPlaying).empty() && presented.back().priority() == ActivityPriority::queued; }));
    const ActivityPayload pill = presented.back();
    const Uuid ambientID = coordinator.ambient()->id();
    EXPECT_EQ(pill.title(), "two.mp3");

    clock.advance(1s);
    const std::size_t before = presented.size();
    media->publish(item("Two", "second"));
    ASSERT_TRUE(waitForPresented(before + 1));
    EXPECT_EQ(presented.back().title(), "Two");
    EXPECT_EQ(presented.back().id(), pill.id()) << "the same pill, in place";
    EXPECT_EQ(presented.back().createdAt(), pill.createdAt());
    EXPECT_EQ(presented.back().priority(), ActivityPriority::queued);
    EXPECT_EQ(coordinator.current(), presented.back());
    EXPECT_EQ(coordinator.ambient()->title(), "Two");
    EXPECT_EQ(coordinator.ambient()->id(), ambientID);
    EXPECT_TRUE(hasLine("media REFINE Two"));
    EXPECT_EQ(std::count_if(presented.begin(), presented.end(),
                            [](const ActivityPayload& p) { return p.priority() == ActivityPriority::queued; }),
              1 + 1)
        << "one pill, shown twice";

    // Its time runs from when it first showed.
    clock.advance(6s);
    EXPECT_TRUE(coordinator.tick());
    EXPECT_EQ(coordinator.current()->priority(), ActivityPriority::ambient);

    // A later look of the same item raises no pill again.
    const std::size_t after = presented.size();
    media->publish(item("Two (Live)", "second"));
    ASSERT_TRUE(waitFor([&] { return coordinator.ambient()->title() == "Two (Live)"; }));
    for (std::size_t i = after; i < presented.size(); ++i)
        EXPECT_EQ(presented[i].priority(), ActivityPriority::ambient);
}

// MARK: - Bluetooth

TEST_F(ActivityBridgeTest, BluetoothStartsWhenItsStackAppearsLater)
{
    bluetoothBackend->setReachable(false);
    bluetoothBackend->removeAdapter();
    makeBridge();
    startAndSettle();
    scheduler.advance(3s);
    EXPECT_EQ(bridge->bluetoothStatus(), StartResult::denied);
    EXPECT_TRUE(hasLine("bluetooth start \u2192 denied"));

    // The daemon starts, still without an adapter, then one is plugged in.
    bluetoothBackend->setReachable(true);
    EXPECT_EQ(bridge->bluetoothStatus(), StartResult::needsPermission);
    bluetoothBackend->addAdapter();
    EXPECT_EQ(bridge->bluetoothStatus(), StartResult::started);
    EXPECT_TRUE(bridge->bluetooth().isStarted());
    EXPECT_FALSE(bluetoothBackend->hasAvailabilityHandler());
    const auto lines = traceLines();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"bluetooth start \u2192 denied", "bluetooth start \u2192 needsPermission",
                                        "bluetooth start \u2192 started"}));
}

TEST_F(ActivityBridgeTest, NoRetryOnceStoppedNorWhenBluetoothWasSkipped)
{
    bluetoothBackend->removeAdapter();
    makeBridge();
    startAndSettle();
    scheduler.advance(3s);
    ASSERT_EQ(bridge->bluetoothStatus(), StartResult::needsPermission);
    bridge->stop();
    bluetoothBackend->addAdapter();
    EXPECT_FALSE(bridge->bluetooth().isStarted());

    BridgeRig skipped;
    skipped.environment["VUDE_NO_BT"] = "1";
    skipped.bluetoothBackend->removeAdapter();
    skipped.makeBridge();
    ASSERT_TRUE(skipped.startBridge());
    skipped.scheduler.advance(3s);
    skipped.bluetoothBackend->addAdapter();
    EXPECT_FALSE(skipped.bridge->bluetooth().isStarted());
}

TEST_F(ActivityBridgeTest, PermissionRequestStartsBluetoothEvenWhenSkipped)
{
    environment["VUDE_NO_BT"] = "";
    makeBridge();
    startAndSettle();
    scheduler.advance(10s);
    ASSERT_FALSE(bridge->bluetooth().isStarted());
    bridge->requestBluetoothPermission();
    EXPECT_FALSE(bridge->bluetooth().isStarted());
    scheduler.advance(BluetoothService::permissionAnswerDelay);
    testsupport::processEvents();
    EXPECT_TRUE(bridge->bluetooth().isStarted());
    EXPECT_EQ(bridge->bluetoothStatus(), StartResult::started);
    EXPECT_FALSE(hasLine("bluetooth start \u2192 started"));
}

TEST_F(ActivityBridgeTest, APermissionAskedForWithoutAnAdapterStartsBluetoothWhenOneAppears)
{
    environment["VUDE_NO_BT"] = "";
    bluetoothBackend->removeAdapter();
    makeBridge();
    startAndSettle();
    bridge->requestBluetoothPermission();
    scheduler.advance(BluetoothService::permissionAnswerDelay);
    testsupport::processEvents();
    ASSERT_FALSE(bridge->bluetooth().isStarted());
    EXPECT_EQ(bridge->bluetoothStatus(), StartResult::needsPermission);

    bluetoothBackend->addAdapter();
    EXPECT_TRUE(bridge->bluetooth().isStarted());
    EXPECT_EQ(bridge->bluetoothStatus(), StartResult::started);
}

TEST_F(ActivityBridgeTest, AGrantedPermissionRestartsWhatNeededIt)
{
    using Kind = Permission::Kind;
    struct Row {
        Kind permission;
        bool bluetoothStarts;
        bool tapRestarts;
    };
    for (const Row& row : {Row{Kind::bluetooth, true, false}, Row{Kind::accessibility, false, true},
                           Row{Kind::inputMonitoring, false, true}, Row{Kind::calendar, false, false},
                           Row{Kind::camera, false, false}}) {
        SCOPED_TRACE(std::string(Permission(row.permission).rawValue()));
        FakePermissions permissions;
        BridgeRig rig;
        rig.permissions = &permissions.system();
        // Bluetooth skipped at launch; the keys could not be taken then.
        rig.environment["VUDE_NO_BT"] = "";
        rig.settings.setSuppressSystemHUD(true);
        rig.access->interceptable = false;
        rig.makeBridge();
        ASSERT_TRUE(rig.startBridge());
        rig.scheduler.advance(3s);
        ASSERT_FALSE(rig.bridge->bluetooth().isStarted());
        ASSERT_EQ(rig.bridge->tapStatus(), EventTapService::Status::running(EventTapService::Mode::listen));

        rig.access->interceptable = true;
        testsupport::processEvents();
        const auto linesBefore = rig.traceLines().size();
        permissions.system().restartServiceFor(Permission(row.permission));

        EXPECT_EQ(rig.bridge->bluetooth().isStarted(), row.bluetoothStarts);
        EXPECT_EQ(rig.bridge->bluetoothStatus(), row.bluetoothStarts ? StartResult::started : StartResult::needsPermission);
        EXPECT_EQ(rig.bridge->tapStatus(), EventTapService::Status::running(row.tapRestarts
                                                                                ? EventTapService::Mode::intercept
                                                                                : EventTapService::Mode::listen));
        const auto lines = rig.traceLines();
        const std::vector<std::string> added(lines.begin() + static_cast<std::ptrdiff_t>(linesBefore), lines.end());
        EXPECT_EQ(added, row.tapRestarts
                             ? std::vector<std::string>{"event tap start(intercept) \u2192 running(intercept)"}
                             : std::vector<std::string>{});
        // The permission's own bookkeeping is the bridge's now.
        EXPECT_TRUE(permissions.restarted.empty());
    }
}

TEST_F(ActivityBridgeTest, ABluetoothRequestAnsweredGrantedStartsBluetooth)
{
    FakePermissions permissions;
    permissions.bluetoothAuthorization = BluetoothAuthorization::allowedAlways;
    this->permissions = &permissions.system();
    environment["VUDE_NO_BT"] = "1";
    makeBridge();
    startAndSettle();
    scheduler.advance(5s);
    ASSERT_FALSE(bridge->bluetooth().isStarted());

    std::optional<bool> answer;
    Permission::bluetooth.request([&](bool granted) { answer = granted; }, permissions.system());
    permissions.scheduler.advance(PermissionPrompt::activationDelay);
    EXPECT_FALSE(bridge->bluetooth().isStarted());
    permissions.answerPowerOn(true);
    EXPECT_EQ(answer, true);
    EXPECT_TRUE(bridge->bluetooth().isStarted());
    EXPECT_EQ(bridge->bluetoothStatus(), StartResult::started);

    // A refused request starts nothing.
    bridge->bluetooth().stop();
    permissions.bluetoothAuthorization = BluetoothAuthorization::denied;
    Permission::bluetooth.request([&](bool granted) { answer = granted; }, permissions.system());
    permissions.scheduler.advance(PermissionPrompt::activationDelay);
    permissions.answerPowerOn(true);
    EXPECT_EQ(answer, false);
    EXPECT_FALSE(bridge->bluetooth().isStarted());
    // Before the permissions it listens to.
    bridge.reset();
}

TEST_F(ActivityBridgeTest, AGrantAfterStopOrReleaseRestartsNothing)
{
    FakePermissions permissions;
    this->permissions = &permissions.system();
    environment["VUDE_NO_BT"] = "";
    makeBridge();
    startAndSettle();
    bridge->stop();
    permissions.system().restartServiceFor(Permission::bluetooth);
    permissions.system().restartServiceFor(Permission::accessibility);
    EXPECT_FALSE(bridge->bluetooth().isStarted());
    EXPECT_FALSE(hasLine("event tap start(intercept) \u2192 running(intercept)"));
    const auto lines = traceLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.starts_with("event tap start("); }),
              1);

    // Released: the handler goes with the bridge.
    bridge.reset();
    permissions.system().restartServiceFor(Permission::bluetooth);
    permissions.system().restartServiceFor(Permission::accessibility);
}

// MARK: - The system's services

TEST(ActivityBridgeSystemServicesTest, TheKeyboardIsTheAccessProbeWhileTheServicesLive)
{
    const auto before = InputAccessProbe::standard();
    QtScheduler scheduler;
    SystemClock clock;
    {
        // No X server: the keyboard answers as a session without a display.
        ActivityBridge::Services services =
            ActivityBridge::systemServices(scheduler, clock, nullptr, ActivityBridge::processTrace());
        EXPECT_NE(InputAccessProbe::standard(), before);
        EXPECT_FALSE(EventTapService::hasAccessibility());
        for (const bool present : {bool(services.audio), bool(services.battery), bool(services.brightness),
                                   bool(services.keyboardBacklight), bool(services.eventTap), bool(services.focus),
                                   bool(services.bluetooth), bool(services.calendar), bool(services.idle),
                                   bool(services.sounds)})
            EXPECT_TRUE(present);
        // The adapter is there exactly when its launcher is among the resources.
        EXPECT_EQ(bool(services.media),
                  std::filesystem::exists(ActivityBridge::resourcesDirectory() / "mediaremote-adapter.pl"));
        // The user's calendars folder, read through the calendar service.
        const auto* calendar = dynamic_cast<CalendarServiceAdapter*>(services.calendar.get());
        ASSERT_TRUE(calendar);
        EXPECT_EQ(calendar->service()->access(),
                  calendarAccess(CalendarFolderAccess::statusOf(CalendarFolderAccess::standardFolder())));
    }
    // Gone with the services, before the X connection it was made on can go.
    EXPECT_FALSE(std::dynamic_pointer_cast<X11Keyboard>(InputAccessProbe::standard()));
    InputAccessProbe::installStandard(before);
}

// MARK: - Trace

TEST(ActivityBridgeTraceTest, TheProcessTraceFollowsTheOptInFromAnyThread)
{
    ASSERT_FALSE(std::getenv("VUDE_TRACE"));
    const auto previous = UserDefaults::standard();
    const auto defaults = std::make_shared<InMemoryUserDefaults>();
    UserDefaults::installStandard(defaults);
    const DiagnosticsTrace& trace = ActivityBridge::processTrace();
    EXPECT_FALSE(trace.isOn());

    // The now-playing source asks from its own threads while the settings
    // change on the main one.
    std::atomic<bool> sawOn = false;
    std::thread reader([&] {
        for (int i = 0; i < 2000 && !sawOn; ++i)
            sawOn = trace.isOn();
    });
    defaults->set(ActivityBridge::kDiagnosticsOptInKey, true);
    reader.join();
    EXPECT_TRUE(trace.isOn());

    ActivityBridge::diag("from the shell");
    const auto lines = ActivityBridge::recentLogLines(40);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().ends_with("  from the shell")) << lines.back();

    defaults->set(ActivityBridge::kDiagnosticsOptInKey, false);
    EXPECT_FALSE(trace.isOn());
    UserDefaults::installStandard(previous);
}

} // namespace

namespace {

TEST_F(ActivityBridgeTest, ChangingTheHUDReplacementRestartsTheTapOnceInTheNewMode)
{
    makeBridge();
    startAndSettle();
    const int starts = keyTap->startCount();
    ASSERT_EQ(keyTap->mode(), KeyTapMode::listen);

    // Another setting's write leaves the tap alone.
    settings.setShowLockActivity(true);
    EXPECT_EQ(keyTap->startCount(), starts);

    settings.setSuppressSystemHUD(true);
    EXPECT_EQ(keyTap->startCount(), starts + 1);
    EXPECT_EQ(keyTap->mode(), KeyTapMode::intercept);
    // Written again with the same value: already in force.
    settings.setSuppressSystemHUD(true);
    EXPECT_EQ(keyTap->startCount(), starts + 1);

    settings.setSuppressSystemHUD(false);
    EXPECT_EQ(keyTap->startCount(), starts + 2);
    EXPECT_EQ(keyTap->mode(), KeyTapMode::listen);

    bridge->stop();
    settings.setSuppressSystemHUD(true);
    EXPECT_EQ(keyTap->startCount(), starts + 2);
}

} // namespace
