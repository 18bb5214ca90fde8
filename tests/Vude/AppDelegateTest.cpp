// The application's start-up, sync task, tick, routing and developer hooks,
// over doubles: a shell of real view models, the bridge's fake services, a
// recording sync store and windows, and a manual scheduler and clocks.
#include "AppRig.h"
#include "Vude/App/LaunchAtLogin.h"

#include "Vude/Permissions/PermissionPrompt.h"
#include "Vude/Permissions/PrivacyPane.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace apptest;
namespace fs = std::filesystem;

std::vector<std::string> without(std::vector<std::string> lines, const std::string& prefix)
{
    std::erase_if(lines, [&](const std::string& line) { return line.rfind(prefix, 0) != 0; });
    return lines;
}

/// The trace lines the delegate writes (not the bridge's own).
std::vector<std::string> delegateLines(const AppRig& rig)
{
    std::vector<std::string> lines;
    for (const auto& line : rig.traceLines())
        for (const char* prefix : {"sync: ", "migrated ", "cleared ", "seeded ", "deduped ", "cloudkit: "})
            if (line.rfind(prefix, 0) == 0 && line.find("shortcut(s)") == std::string::npos)
                lines.push_back(line);
    return lines;
}

ActivityPayload queued(const char* title, ActivityKind kind = ActivityKind::battery)
{
    return ActivityPayload(Uuid::random(), kind, ActivityPriority::queued, std::string(title), ActivityGlyph::none(),
                           std::string(title), std::nullopt, ActivityTrailing::none(), std::chrono::seconds(4),
                           std::nullopt, kReferenceDate);
}

const ActivityPayload* shown(NotchViewModel& model)
{
    return model.state().payload();
}

TEST(AppDelegate, StartUpRunsItsObservableStepsInOrder)
{
    AppRig rig;
    rig.environment = {{"VUDE_CLOUDKIT_PROBE", ""}, {"VUDE_SEED_TRAY", "/tmp/a.txt"}};
    AppDelegate& app = rig.launch();

    const std::vector<std::string> order{
        "controller",    "bridge started, Focus identity restored", "handlers wired", "updates", "context menu",
        "weather",       "drag monitors",                            "status item",    "geometry report",
        "cloud probe",   "seed tray",                                "sync start on",
    };
    long previous = -1;
    for (const auto& step : order) {
        SCOPED_TRACE(step);
        const long at = indexOf(rig.log, step);
        ASSERT_GE(at, 0);
        EXPECT_GT(at, previous);
        previous = at;
    }
    EXPECT_EQ(rig.activation.activationPolicy(), ActivationPolicy::accessory);
    EXPECT_EQ(rig.output, "Display 1 report\n");
    EXPECT_TRUE(app.bridge()->isStartFinished());
}

// The programs the now-playing check spawns and the weather's location
// source would compete with the first frame: they wait for it, and the rest
// of start-up does not.
TEST(AppDelegate, TheNowPlayingCheckAndTheWeatherWaitForTheFirstFrame)
{
    AppRig rig;
    rig.holdUntilFirstFrame = true;
    AppDelegate& app = rig.make();
    app.applicationDidFinishLaunching();
    rig.bridge.scheduler.runDue();
    testsupport::processEvents();

    EXPECT_GE(indexOf(rig.log, "geometry report"), 0);
    EXPECT_GE(indexOf(rig.log, "sync start on"), 0);
    EXPECT_LT(indexOf(rig.log, "weather"), 0);
    EXPECT_EQ(rig.media->selfTests.load(), 0);
    EXPECT_FALSE(app.bridge()->isStartFinished());
    ASSERT_EQ(rig.firstFrameSteps.size(), 2u);

    for (auto& step : std::exchange(rig.firstFrameSteps, {}))
        step();
    EXPECT_GE(indexOf(rig.log, "weather"), 0);
    ASSERT_TRUE(testsupport::waitUntil([&] { return app.bridge()->isStartFinished(); }));
    EXPECT_EQ(rig.media->selfTests.load(), 1);
    EXPECT_EQ(rig.media->starts, 1);
}

// Quitting before the first frame: what waited for it never starts.
TEST(AppDelegate, WhatWaitsForTheFirstFrameStaysUndoneAfterQuitting)
{
    AppRig rig;
    rig.holdUntilFirstFrame = true;
    AppDelegate& app = rig.make();
    app.applicationDidFinishLaunching();
    app.applicationWillTerminate();
    for (auto& step : std::exchange(rig.firstFrameSteps, {}))
        step();
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_LT(indexOf(rig.log, "weather"), 0);
    EXPECT_EQ(rig.media->selfTests.load(), 0);
}

// A Bluetooth grant from the permission window starts Bluetooth at once, not
// at the next launch.
TEST(AppDelegate, ABluetoothGrantStartsBluetooth)
{
    AppRig rig;
    rig.environment["VUDE_NO_BT"] = "1";
    rig.permissions.bluetoothAuthorization = BluetoothAuthorization::allowedAlways;
    AppDelegate& app = rig.make();
    app.applicationDidFinishLaunching();
    rig.bridge.scheduler.advance(10s);
    ASSERT_FALSE(app.bridge()->bluetooth().isStarted());

    Permission::bluetooth.request([](bool) {}, rig.permissions.system());
    rig.permissions.scheduler.advance(PermissionPrompt::activationDelay);
    rig.permissions.answerPowerOn(true);
    EXPECT_TRUE(app.bridge()->bluetooth().isStarted());
}

// Every view model gets the handlers and the calendar, one plugged in after
// start-up too (else its swipes and calendar would silently do nothing).
TEST(AppDelegate, EveryViewModelIsWiredThoseBuiltLaterToo)
{
    AppRig rig(2);
    rig.launch();
    NotchViewModel& later =
        rig.shell->addModel(*rig.delegate->settings(), rig.models.platform, rig.bridge.scheduler, rig.bridge.clock,
                            rig.models.measurer);
    for (NotchViewModel* model : rig.shell->models()) {
        EXPECT_TRUE(model->onEffect);
        EXPECT_TRUE(model->onMediaCommand);
        EXPECT_EQ(model->calendarService.get(), &rig.delegate->bridge()->calendar());
        EXPECT_TRUE(model->openCalendarSettings);
        EXPECT_TRUE(model->trace);
    }
    later.onMediaCommand(MediaCommand::next());
    ASSERT_EQ(rig.media->sent.size(), 1u);
    EXPECT_EQ(rig.media->sent.front(), MediaCommand::next());

    // The Desk's sound outputs are the bridge's, once the audio service has
    // started its backend on its own queue.
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.bridge.audioBackend->isStarted(); }));
    rig.bridge.audioBackend->putDevice(AudioDeviceInfo{.id = 2, .name = "Headset", .volume = 0.5});
    ASSERT_TRUE(later.audioOutputDevices && later.setDefaultAudioOutput);
    ASSERT_TRUE(testsupport::waitUntil([&] { return later.audioOutputDevices().size() == 2; }));
    EXPECT_EQ(later.audioOutputDevices(), rig.delegate->bridge()->audio().outputDevices());
    std::optional<bool> accepted;
    later.setDefaultAudioOutput(2, [&](bool answer) { accepted = answer; });
    ASSERT_TRUE(testsupport::waitUntil([&] { return accepted.has_value(); }));
    EXPECT_TRUE(*accepted) << "answered on the main thread";
    EXPECT_EQ(rig.bridge.audioBackend->defaultOutputDevice(), std::optional<std::uint32_t>(2));
    EXPECT_TRUE(later.audioOutputDevices()[1].isDefault);
}

// Asked again once access is decided, the calendar opens what explains its
// permission instead of doing nothing.
TEST(AppDelegate, ACalendarRequestAfterTheDecisionOpensTheCalendarSettings)
{
    const QUrl folder = QUrl::fromLocalFile("/home/u/.local/share/Vude/Calendars");
    const struct {
        NotchCalendarAccess access;
        std::vector<QUrl> opened;
    } rows[] = {
        {NotchCalendarAccess::denied, {folder}},
        {NotchCalendarAccess::granted, {folder}},
        {NotchCalendarAccess::notDetermined, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(rawValue(row.access)));
        AppRig rig;
        rig.permissions.privacyTargets[std::string(PrivacyPane::calendars)] = folder;
        rig.permissions.privacyTargets[std::string(PrivacyPane::camera)] = QUrl("https://example.org/camera");
        rig.bridge.calendar->accessAfterStart = row.access;
        rig.launch();
        rig.shell->model(0).requestCalendarAccess();
        EXPECT_EQ(rig.permissions.urls.opened, row.opened);
        EXPECT_EQ(rig.bridge.calendar->startCount, row.opened.empty() ? 2 : 1) << "undecided: asked instead";
    }
}

TEST(AppDelegate, WithoutAContainerTheSyncTaskEndsAfterItsTraceLine)
{
    AppRig rig;
    rig.withContainer = false;
    rig.environment = {{"VUDE_CLEAR_SYNC", ""}, {"VUDE_SEED_TODO", "Milk"}};
    rig.launch();
    rig.advance(10s);
    EXPECT_EQ(delegateLines(rig), std::vector<std::string>{"sync: Synced, localOnly=true, accountError=none"});
    for (const char* step : {"import as Test Laptop (3fa91c)", "repository", "delete all rows", "deduplicate"})
        EXPECT_FALSE(contains(rig.log, step)) << step;
    EXPECT_EQ(rig.shell->repository(), nullptr);
    EXPECT_FALSE(rig.bridge.defaults->boolForKey("hasSeededShortcuts").has_value()) << "no seeding";
}

TEST(AppDelegate, TheSyncTaskImportsHandsOverTheRepositoryAndDeduplicatesLater)
{
    const struct {
        AppSync::ImportSummary imported;
        int deduplicated;
        std::vector<std::string> lines;
        bool refreshed;
    } rows[] = {
        {{0, 0, 0, 0}, 0, {"sync: Synced, localOnly=false, accountError=quota"}, false},
        {{2, 0, 1, 1},
         3,
         {"sync: Synced, localOnly=false, accountError=quota", "migrated todos=2 notes=1 shortcuts=1 total=4",
          "deduped 3 duplicate row(s)"},
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.deduplicated);
        AppRig rig;
        rig.arrangeSync = [&](FakeSync& sync) {
            sync.importAnswer = row.imported;
            sync.dedupeAnswer = row.deduplicated;
            sync.error = "quota";
        };
        rig.launch();
        ASSERT_NE(rig.shell->repository(), nullptr);
        EXPECT_EQ(rig.shell->repository()->deviceID(), "Test Laptop (3fa91c)");

        // A row another connection writes shows only once the repository refreshes.
        {
            auto context = rig.container->makeContext();
            DidoDivuzerore other(rig.container->makeContext(), "Other", rig.bridge.clock);
            other.addTodo("from elsewhere");
        }
        rig.advance(7900ms);
        EXPECT_FALSE(contains(rig.log, "deduplicate")) << "8 s after the hand-over";
        rig.advance(200ms);
        EXPECT_TRUE(contains(rig.log, "deduplicate"));
        EXPECT_EQ(delegateLines(rig), row.lines);
        EXPECT_EQ(rig.shell->repository()->todos().size(), row.refreshed ? 1u : 0u);
        EXPECT_TRUE(testsupport::waitUntil(
            [&] { return rig.bridge.defaults->boolForKey("hasSeededShortcuts").value_or(false); }))
            << "shortcuts seeded once the store is there";
    }
}

TEST(AppDelegate, ClearSyncAndSeedTodoActAfterTheHandOver)
{
    AppRig rig;
    rig.environment = {{"VUDE_CLEAR_SYNC", ""}, {"VUDE_SEED_TODO", "Buy milk"}};
    rig.launch();
    EXPECT_LT(indexOf(rig.log, "repository"), indexOf(rig.log, "delete all rows"));
    ASSERT_EQ(rig.shell->repository()->todos().size(), 1u);
    EXPECT_EQ(rig.shell->repository()->todos().front().title, "Buy milk");
    EXPECT_EQ(without(delegateLines(rig), "c"), std::vector<std::string>{"cleared all synced rows"});
    EXPECT_EQ(without(delegateLines(rig), "seeded"), std::vector<std::string>{"seeded todo: Buy milk"});
}

TEST(AppDelegate, OnboardingShowsEightTenthsOfASecondLaterUnlessCompleted)
{
    for (const bool completed : {false, true}) {
        SCOPED_TRACE(completed);
        AppRig rig;
        if (completed)
            rig.bridge.defaults->set(AppDelegate::kCompletedOnboardingKey, true);
        rig.launch();
        rig.advance(750ms);
        EXPECT_FALSE(contains(rig.log, "show onboarding"));
        rig.advance(50ms);
        EXPECT_EQ(contains(rig.log, "show onboarding"), !completed);
    }
}

// Each hook set, set empty and unset.
TEST(AppDelegate, DeveloperHooksActAfterTheirDelays)
{
    struct Row {
        const char* name;
        std::optional<std::string> value;
        std::function<void(AppRig&)> check;
    };
    const auto closed = [](AppRig& rig) {
        EXPECT_EQ(rig.shell->model(0).state().kind(), NotchState::Kind::closed);
        EXPECT_FALSE(contains(rig.log, "open settings"));
    };
    const Row rows[] = {
        {"VUDE_DEMO", "display",
         [](AppRig& rig) {
             const ActivityPayload* payload = shown(rig.shell->model(0));
             ASSERT_NE(payload, nullptr);
             EXPECT_EQ(payload->kind(), ActivityKind::display);
             EXPECT_EQ(payload->duration(), 600s);
         }},
        {"VUDE_DEMO", "", closed},
        {"VUDE_DEMO", "volume", closed},
        {"VUDE_DEMO", std::nullopt, closed},
        {"VUDE_SETTINGS", "", [](AppRig& rig) { EXPECT_TRUE(contains(rig.log, "open settings")); }},
        {"VUDE_SETTINGS", "calendar", [](AppRig& rig) { EXPECT_TRUE(contains(rig.log, "open settings")); }},
        {"VUDE_SETTINGS", std::nullopt, closed},
        {"VUDE_OPEN", "",
         [](AppRig& rig) { EXPECT_EQ(rig.shell->model(0).state(), NotchState::open(RiziDar::ravo)); }},
        {"VUDE_OPEN", "Tray",
         [](AppRig& rig) { EXPECT_EQ(rig.shell->model(0).state(), NotchState::open(RiziDar::ravo)); }},
        {"VUDE_OPEN", "tray",
         [](AppRig& rig) { EXPECT_EQ(rig.shell->model(0).state(), NotchState::open(RiziDar::tray)); }},
        {"VUDE_OPEN", std::nullopt, closed},
        {"VUDE_REQUEST_CALENDAR", "", [](AppRig& rig) { EXPECT_EQ(rig.bridge.calendar->startCount, 2); }},
        {"VUDE_REQUEST_CALENDAR", std::nullopt, [](AppRig& rig) { EXPECT_EQ(rig.bridge.calendar->startCount, 1); }},
        {"VUDE_CLOUDKIT_PROBE", "",
         [](AppRig& rig) {
             EXPECT_EQ(without(delegateLines(rig), "cloudkit"),
                       std::vector<std::string>{
                           "cloudkit: \u2705 CloudKit reachable (account: available) \u2014 round trip ok"});
         }},
        {"VUDE_CLOUDKIT_PROBE", std::nullopt,
         [](AppRig& rig) { EXPECT_FALSE(contains(rig.log, "cloud probe")); }},
        {"VUDE_SEED_TRAY", "", [](AppRig& rig) {
             ASSERT_EQ(rig.shell->seeded.size(), 1u) << "the list only, and empty";
             EXPECT_TRUE(rig.shell->seeded.front().empty());
             EXPECT_EQ(without(delegateLines(rig), "seeded"), std::vector<std::string>{"seeded 0 tray item(s)"});
         }},
        {"VUDE_SEED_TRAY", std::nullopt, [](AppRig& rig) { EXPECT_TRUE(rig.shell->seeded.empty()); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.name) + "=" + row.value.value_or("(unset)"));
        AppRig rig;
        rig.bridge.calendar->accessAfterStart = NotchCalendarAccess::notDetermined;
        rig.bridge.defaults->set(AppDelegate::kCompletedOnboardingKey, true);
        if (row.value)
            rig.environment[row.name] = *row.value;
        rig.launch();
        rig.advance(1400ms);
        const bool early = row.value && std::string(row.name) == "VUDE_REQUEST_CALENDAR";
        if (early) {
            EXPECT_EQ(rig.bridge.calendar->startCount, 1) << "not before 1.5 s";
        }
        rig.advance(200ms);
        row.check(rig);
    }
}

TEST(AppDelegate, SettingsOpenAfterSixTenthsAndTheDemoAfterOneSecond)
{
    AppRig rig;
    rig.environment = {{"VUDE_SETTINGS", ""}, {"VUDE_DEMO", "display"}};
    rig.bridge.defaults->set(AppDelegate::kCompletedOnboardingKey, true);
    rig.launch();
    rig.advance(550ms);
    EXPECT_FALSE(contains(rig.log, "open settings"));
    rig.advance(100ms);
    EXPECT_TRUE(contains(rig.log, "open settings"));
    rig.advance(300ms);
    EXPECT_EQ(shown(rig.shell->model(0)), nullptr);
    rig.advance(100ms);
    EXPECT_NE(shown(rig.shell->model(0)), nullptr);
}

// A folder is seeded as its contents, then again as one path of the list.
TEST(AppDelegate, SeedTrayNamingAFolderSeedsItTwice)
{
    QTemporaryDir scratch;
    const fs::path folder = fs::path(scratch.path().toStdString()) / "seed";
    fs::create_directories(folder);
    std::ofstream(folder / "a.txt") << "a";
    std::ofstream(folder / "b.txt") << "b";

    AppRig rig;
    rig.environment = {{"VUDE_SEED_TRAY", folder.string()}};
    rig.shell = nullptr;
    rig.launch();
    rig.shell->seedAnswer = 99;
    ASSERT_EQ(rig.shell->seeded.size(), 2u);
    EXPECT_EQ(rig.shell->seeded[0], (std::vector<fs::path>{folder / "a.txt", folder / "b.txt"}));
    EXPECT_EQ(rig.shell->seeded[1], std::vector<fs::path>{folder});
    EXPECT_EQ(without(delegateLines(rig), "seeded"),
              (std::vector<std::string>{"seeded tray with 0 item(s)", "seeded 0 tray item(s)"}));
}

TEST(AppDelegate, TheFilesDroppedPillNamesOneFileOrCountsSeveral)
{
    const Date now = kReferenceDate + 100h;
    TrayItem photo;
    photo.displayName = "Photo.heic";
    photo.byteSize = 1'200'000;
    const struct {
        std::vector<TrayItem> items;
        std::string title;
        std::optional<std::string> subtitle;
        ActivityTrailing trailing;
    } rows[] = {
        {{}, "0 files added", std::nullopt, ActivityTrailing::none()},
        {{photo}, "Photo.heic", photo.formattedSize(), ActivityTrailing::none()},
        {{photo, photo, photo}, "3 files added", std::nullopt, ActivityTrailing::text("3")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title);
        const ActivityPayload payload = AppDelegate::filesDroppedPayload(row.items, now);
        EXPECT_EQ(payload.kind(), ActivityKind::fileTray);
        EXPECT_EQ(payload.priority(), ActivityPriority::queued);
        EXPECT_EQ(payload.dedupeKey(), "tray-add");
        EXPECT_EQ(payload.leading(), ActivityGlyph::symbol("tray.and.arrow.down.fill"));
        EXPECT_EQ(payload.title(), row.title);
        EXPECT_EQ(payload.subtitle(), row.subtitle);
        EXPECT_EQ(payload.trailing(), row.trailing);
        EXPECT_EQ(payload.duration(), 4s);
        EXPECT_EQ(payload.interaction(), ActivityInteraction::openRavo(RiziDar::tray));
        EXPECT_EQ(payload.createdAt(), now);
    }
}

TEST(AppDelegate, ADropShowsItsPillOnTheActiveScreenOnly)
{
    AppRig rig(2);
    rig.launch();
    rig.shell->active = 1;
    rig.shell->onFilesDropped({});
    EXPECT_EQ(shown(rig.shell->model(0)), nullptr);
    ASSERT_NE(shown(rig.shell->model(1)), nullptr);
    EXPECT_EQ(*shown(rig.shell->model(1))->title(), "0 files added");

    rig.shell->active.reset();
    TrayItem item;
    item.displayName = "x.txt";
    rig.shell->onFilesDropped({item});
    EXPECT_EQ(rig.delegate->coordinator()->current()->title(), "x.txt") << "kept though shown nowhere";
}

TEST(AppDelegate, TheTickPollsThroughTheSettings)
{
    AppRig rig;
    rig.launch();
    rig.delegate->settings()->setClipboardMaxItems(55);
    rig.log.clear();
    rig.advance(500ms);
    EXPECT_EQ(rig.log, (std::vector<std::string>{"drag pasteboard", "drag pasteboard", "clipboard on 55 not kept"}));
    EXPECT_EQ(rig.delegate->calendarTick(), 2);
}

// Once a tick finds nothing to do, the timer stops until the event loop wakes
// with something moved; every 60th tick (the calendar's) still runs on time.
TEST(AppDelegate, AtRestTheTickWaitsForTheEventLoopButKeepsTheCalendar)
{
    // The tick's polls among the other steps that run meanwhile.
    const auto polls = [](const std::vector<std::string>& log) {
        std::vector<std::string> found;
        for (const auto& line : log)
            if (line.starts_with("drag pasteboard") || line.starts_with("clipboard"))
                found.push_back(line);
        return found;
    };
    AppRig rig;
    rig.tickMayRest = true;
    rig.launch();
    rig.shell->settled = true;
    rig.log.clear();
    rig.advance(500ms);
    EXPECT_EQ(polls(rig.log), (std::vector<std::string>{"drag pasteboard", "drag pasteboard", "clipboard on 40 not kept"}));
    EXPECT_TRUE(rig.delegate->isTickResting());

    rig.log.clear();
    rig.advance(14250ms);
    EXPECT_TRUE(polls(rig.log).empty()) << "no poll at rest";
    EXPECT_EQ(rig.delegate->calendarTick(), 2);
    rig.advance(250ms);
    EXPECT_EQ(rig.delegate->calendarTick(), 60) << "the calendar's tick at 15 s";
    EXPECT_EQ(polls(rig.log), (std::vector<std::string>{"drag pasteboard", "clipboard on 40 not kept"}));
    EXPECT_TRUE(rig.delegate->isTickResting());

    // A wake that moved nothing leaves it resting.
    rig.log.clear();
    rig.advance(1s);
    rig.wakeEventLoop();
    EXPECT_TRUE(polls(rig.log).empty());

    // A drag or a copy: the ticks resume, counted as if they had run.
    rig.shell->settled = false;
    rig.wakeEventLoop();
    EXPECT_FALSE(rig.delegate->isTickResting());
    rig.advance(250ms);
    EXPECT_EQ(polls(rig.log), (std::vector<std::string>{"drag pasteboard"}));
    EXPECT_EQ(rig.delegate->calendarTick(), 65);
    rig.advance(13750ms);
    EXPECT_EQ(rig.delegate->calendarTick(), 120) << "still every 15 s";

    // A settings change reaches the clipboard at its next poll.
    rig.shell->settled = true;
    rig.advance(500ms);
    ASSERT_TRUE(rig.delegate->isTickResting());
    rig.delegate->settings()->setClipboardMaxItems(55);
    rig.log.clear();
    rig.wakeEventLoop();
    rig.advance(500ms);
    EXPECT_TRUE(contains(rig.log, "clipboard on 55 not kept"));
}

// A pill keeps the tick running until it expires, at the same moment as ever.
TEST(AppDelegate, APillWakesTheRestingTickUntilItExpires)
{
    AppRig rig;
    rig.tickMayRest = true;
    rig.launch();
    rig.shell->settled = true;
    rig.advance(500ms);
    ASSERT_TRUE(rig.delegate->isTickResting());
    rig.advance(1s);

    NotchViewModel& model = rig.shell->model(0);
    rig.shell->onFilesDropped({});
    rig.wakeEventLoop();
    ASSERT_NE(shown(model), nullptr);
    EXPECT_FALSE(rig.delegate->isTickResting());
    rig.advance(3750ms);
    EXPECT_NE(shown(model), nullptr);
    rig.advance(500ms);
    EXPECT_EQ(shown(model), nullptr) << "down 4 s after";
    EXPECT_TRUE(rig.delegate->isTickResting());
}

// Expiries follow the clock that never goes back and counts sleep; the wall
// clock may do as it likes.
TEST(AppDelegate, PillsExpireByBootTimeWhateverTheWallClockDoes)
{
    AppRig rig;
    rig.launch();
    NotchViewModel& model = rig.shell->model(0);

    rig.shell->onFilesDropped({});
    ASSERT_NE(shown(model), nullptr);
    rig.bridge.clock.advance(-1h);
    rig.advance(3750ms);
    EXPECT_NE(shown(model), nullptr);
    rig.advance(500ms);
    EXPECT_EQ(shown(model), nullptr) << "4 s after, though the wall clock went back an hour";

    // Asleep for an hour with a pill up: the first tick on wake takes it down.
    rig.shell->onFilesDropped({});
    ASSERT_NE(shown(model), nullptr);
    rig.activityClock.advance(1h);
    rig.advance(250ms);
    EXPECT_EQ(shown(model), nullptr);
}

TEST(AppDelegate, EffectsReachTheCoordinatorAndTheAdapter)
{
    struct Row {
        NotchEffect effect;
        std::vector<MediaCommand> sent;
        const char* current;
    };
    const Row rows[] = {
        {NotchEffect::cycleActivity(true), {}, "B"},
        {NotchEffect::cycleActivity(false), {}, "C"},
        {NotchEffect::dismissActivity(), {}, "B"},
        {NotchEffect::mediaNext(), {MediaCommand::next()}, "A"},
        {NotchEffect::mediaPrevious(), {MediaCommand::previous()}, "A"},
        {NotchEffect::openRavo(RiziDar::tray), {}, "A"},
        {NotchEffect::requestKeyboardFocus(true), {}, "A"},
        {NotchEffect::haptic(), {}, "A"},
    };
    for (const auto& row : rows) {
        AppRig rig;
        rig.launch();
        SCOPED_TRACE(notchtest::describe(row.effect));
        ActivityCoordinator& coordinator = *rig.delegate->coordinator();
        for (const char* title : {"A", "B", "C"})
            coordinator.submit(queued(title));
        rig.shell->model(0).onEffect(row.effect);
        EXPECT_EQ(rig.media->sent, row.sent);
        EXPECT_EQ(coordinator.current()->title(), row.current);
    }
}

TEST(AppDelegate, MediaSkipsWithoutAnAdapterAreDropped)
{
    AppRig rig;
    rig.withMedia = false;
    rig.launch();
    rig.shell->model(0).onEffect(NotchEffect::mediaNext());
    rig.shell->model(0).onMediaCommand(MediaCommand::toggle());
    EXPECT_EQ(rig.delegate->bridge()->media(), nullptr);
}

// The swiped screen shows the next activity at once, not at the next expiry.
TEST(AppDelegate, CycleAndDismissShowTheNewCurrentActivityAtOnce)
{
    AppRig rig;
    rig.launch();
    NotchViewModel& model = rig.shell->model(0);
    for (const char* title : {"A", "B"}) {
        const ActivityPayload payload = queued(title);
        if (rig.delegate->coordinator()->submit(payload))
            rig.delegate->routing()->present(payload);
    }
    ASSERT_EQ(*shown(model)->title(), "A");

    model.send(NotchEvent::swipeLeft());
    model.send(NotchEvent::swipeRight());
    ASSERT_NE(shown(model), nullptr);
    const std::string afterCycle = *shown(model)->title();
    EXPECT_EQ(afterCycle, *rig.delegate->coordinator()->current()->title());

    model.send(NotchEvent::swipeUp());
    ASSERT_NE(shown(model), nullptr) << "the other one is shown at once";
    EXPECT_EQ(*shown(model)->title(), *rig.delegate->coordinator()->current()->title());
    EXPECT_NE(*shown(model)->title(), afterCycle);

    model.send(NotchEvent::swipeUp());
    EXPECT_EQ(shown(model), nullptr) << "nothing left";
}

// Swiping away the ambient activity does not bring it straight back.
TEST(AppDelegate, DismissingTheAmbientActivityLeavesTheNotchClosed)
{
    AppRig rig;
    rig.launch();
    NotchViewModel& model = rig.shell->model(0);
    ActivityCoordinator& coordinator = *rig.delegate->coordinator();
    ASSERT_TRUE(coordinator.setAmbient(notchtest::ambientMedia()));
    rig.delegate->routing()->syncCoordinatorToSurface();
    ASSERT_NE(shown(model), nullptr);

    model.send(NotchEvent::swipeUp());
    EXPECT_EQ(model.state().kind(), NotchState::Kind::closed);
    rig.advance(1s);
    EXPECT_EQ(model.state().kind(), NotchState::Kind::closed);
}

TEST(AppDelegate, NowPlayingReachesEveryScreenAndAnEqualStateChangesNothing)
{
    AppRig rig(2);
    rig.launch();
    NowPlayingState state;
    state.title = "Song";
    state.isPlaying = true;
    QSignalSpy first(&rig.shell->model(0), &NotchViewModel::nowPlayingChanged);
    rig.media->publish(state);
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.shell->model(1).nowPlaying() == state; }));
    EXPECT_EQ(rig.shell->model(0).nowPlaying(), state);
    EXPECT_EQ(first.count(), 1);
    rig.media->publish(state);
    testsupport::processEvents();
    EXPECT_EQ(first.count(), 1);
}

TEST(AppDelegate, TrayDragNotificationsCountOnlyATrueBoolean)
{
    const struct {
        QVariantMap userInfo;
        bool sourcing;
    } rows[] = {
        {{{"sourcing", true}}, true},
        {{{"sourcing", false}}, false},
        {{}, false},
        {{{"sourcing", "true"}}, false},
        {{{"sourcing", 1}}, false},
    };
    AppRig rig;
    rig.launch();
    for (const auto& row : rows) {
        rig.notifications.post("app.ruvudav.notch.trayDragChanged", row.userInfo);
        EXPECT_EQ(rig.shell->sourcing, row.sourcing);
    }
    rig.notifications.post("app.ruvudav.notch.openSettings");
    EXPECT_TRUE(contains(rig.log, "open settings"));
}

TEST(AppDelegate, QuittingStopsTheBridgeReleasingKeepAwakeAndFlushesWrites)
{
    AppRig rig;
    rig.launch();
    rig.delegate->bridge()->toggleKeepAwake();
    ASSERT_FALSE(rig.bridge.inhibitor->held().empty());
    rig.delegate->applicationWillTerminate();
    EXPECT_TRUE(rig.bridge.inhibitor->held().empty());
    EXPECT_TRUE(contains(rig.log, "drag monitors stopped"));
    EXPECT_TRUE(contains(rig.log, "pending writes flushed"));
    rig.log.clear();
    rig.advance(1s);
    EXPECT_TRUE(rig.log.empty()) << "no tick after quitting";
}

} // namespace

// Launch at login is the autostart entry of the running binary, kept by the
// delegate from launch on: a stale entry is rewritten, turning off removes it.
TEST(AppDelegate, LaunchAtLoginKeepsTheAutostartEntryOfThisBinary)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const std::filesystem::path entry = std::filesystem::path(config.path().toStdString()) / "autostart" / "vude.desktop";
    std::filesystem::create_directories(entry.parent_path());
    std::ofstream(entry) << LaunchAtLogin::entryText("/opt/old/vude");

    AppRig rig;
    rig.environment = {{"XDG_CONFIG_HOME", config.path().toStdString()}};
    rig.bridge.defaults->set("launchAtLogin", true);
    AppDelegate& app = rig.launch();
    std::ifstream written(entry);
    const std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_EQ(LaunchAtLogin::execProgram(text), std::filesystem::read_symlink("/proc/self/exe").string());

    app.settings()->setLaunchAtLogin(false);
    EXPECT_FALSE(std::filesystem::exists(entry));
}
