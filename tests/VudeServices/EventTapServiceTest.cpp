#include "VudeServices/EventTapService.h"

#include "Platform/Input/FakeInputAccessProbe.h"
#include "Platform/Input/FakeKeyTapBackend.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Mode = EventTapService::Mode;
using Status = EventTapService::Status;

std::vector<std::string> descriptions(const std::vector<Status>& statuses)
{
    std::vector<std::string> texts;
    for (const auto& status : statuses)
        texts.push_back(status.description());
    return texts;
}

// A service on a fake tap, a fake probe and a manual clock, with a handler
// that records each event and takes as long as the test says.
struct TapRig {
    TapRig()
    {
        auto fake = std::make_unique<FakeKeyTapBackend>();
        backend = fake.get();
        service.emplace(std::move(fake), access, scheduler, clock);
        service->setOnStatusChange([this](const Status& status) { statuses.push_back(status); });
        service->setHandler([this](const MediaKeyEvent& event) {
            events.push_back(event);
            clock.advance(handlerDurations.empty() ? 1ms : handlerDurations.front());
            if (!handlerDurations.empty())
                handlerDurations.erase(handlerDurations.begin());
            return answer;
        });
    }

    std::vector<std::string> heard() const { return descriptions(statuses); }

    std::shared_ptr<FakeInputAccessProbe> access = std::make_shared<FakeInputAccessProbe>();
    ManualClock clock;
    ManualScheduler scheduler{clock};
    std::vector<Status> statuses;
    std::vector<MediaKeyEvent> events;
    // How long each next handler call takes; 1 ms once these run out.
    std::vector<Duration> handlerDurations;
    bool answer = true;
    FakeKeyTapBackend* backend = nullptr;
    // Last: its destructor still reports to the members above.
    std::optional<EventTapService> service;
};

class EventTapServiceTest : public ::testing::Test {
protected:
    EventTapService& service() { return *m_rig.service; }

    TapRig m_rig;
    FakeKeyTapBackend*& m_backend = m_rig.backend;
    std::vector<Status>& m_heard = m_rig.statuses;
    std::vector<MediaKeyEvent>& m_events = m_rig.events;
    std::vector<Duration>& m_handlerDurations = m_rig.handlerDurations;
    ManualScheduler& m_scheduler = m_rig.scheduler;
    FakeInputAccessProbe& m_access = *m_rig.access;
    bool& m_answer = m_rig.answer;

    std::vector<std::string> heard() const { return m_rig.heard(); }
};

TEST_F(EventTapServiceTest, StartsInTheModeItsAccessAllows)
{
    struct Row {
        const char* name;
        InputMonitoringAccess monitoring;
        bool interceptable;
        std::optional<KeyTapError> startError;
        Mode mode;
        bool wasRunning;
        std::string status;
        std::vector<std::string> heard;
        std::optional<KeyTapMode> backendMode;
        std::size_t interceptProbes;
    } const rows[] = {
        {"listening needs input monitoring only", InputMonitoringAccess::granted, false, std::nullopt, Mode::listen,
         false, "running(listen)", {"running(listen)"}, KeyTapMode::listen, 0},
        {"intercepting with the keys free", InputMonitoringAccess::granted, true, std::nullopt, Mode::intercept,
         false, "running(intercept)", {"running(intercept)"}, KeyTapMode::intercept, 1},
        {"no display or a Wayland session", InputMonitoringAccess::unknown, true, std::nullopt, Mode::listen, false,
         "needsInputMonitoring", {"needsInputMonitoring"}, std::nullopt, 0},
        {"input monitoring is checked before the keys", InputMonitoringAccess::denied, true, std::nullopt,
         Mode::intercept, false, "needsInputMonitoring", {"needsInputMonitoring"}, std::nullopt, 0},
        {"intercepting while another program holds the keys installs no tap", InputMonitoringAccess::granted,
         false, std::nullopt, Mode::intercept, false, "needsAccessibility", {"needsAccessibility"}, std::nullopt, 1},
        {"the keys taken between the check and the start", InputMonitoringAccess::granted, true,
         KeyTapError::keysTaken, Mode::intercept, false, "needsAccessibility", {"needsAccessibility"}, std::nullopt,
         1},
        {"a listening tap that fails", InputMonitoringAccess::granted, true, KeyTapError::unavailable, Mode::listen,
         false, "needsInputMonitoring", {"needsInputMonitoring"}, std::nullopt, 0},
        {"a running tap reports stopped first", InputMonitoringAccess::granted, false, std::nullopt, Mode::intercept,
         true, "needsAccessibility", {"stopped", "needsAccessibility"}, std::nullopt, 1},
        {"restarting a running tap", InputMonitoringAccess::granted, true, std::nullopt, Mode::intercept, true,
         "running(intercept)", {"stopped", "running(intercept)"}, KeyTapMode::intercept, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TapRig rig;
        if (row.wasRunning)
            rig.service->start(Mode::listen);
        rig.statuses.clear();
        rig.access->monitoring = row.monitoring;
        rig.access->interceptable = row.interceptable;
        rig.backend->setStartError(row.startError);

        const Status returned = rig.service->start(row.mode);

        EXPECT_EQ(returned.description(), row.status);
        EXPECT_EQ(rig.service->status(), returned);
        EXPECT_EQ(rig.heard(), row.heard);
        EXPECT_EQ(rig.backend->mode(), row.backendMode);
        EXPECT_EQ(rig.access->interceptProbes.size(), row.interceptProbes);
        EXPECT_EQ(rig.service->status().isRunning(), row.backendMode.has_value());
        if (row.backendMode) {
            const auto symbols = mediaKeySymbols();
            EXPECT_EQ(rig.backend->symbols(), std::vector<KeySymbol>(symbols.begin(), symbols.end()));
        }
    }
}

TEST_F(EventTapServiceTest, StoppingReportsOnlyARealStopAndKeepsTheCallbacks)
{
    service().stop();
    EXPECT_TRUE(m_heard.empty());

    service().start(Mode::intercept);
    service().stop();
    service().stop();
    EXPECT_EQ(heard(), (std::vector<std::string>{"running(intercept)", "stopped"}));
    EXPECT_FALSE(m_backend->isStarted());
    EXPECT_EQ(m_backend->press(KeySymbols::audioRaiseVolume), std::nullopt);

    // A failed start from stopped reports the failure only.
    m_heard.clear();
    m_access.interceptable = false;
    service().start(Mode::intercept);
    EXPECT_EQ(heard(), (std::vector<std::string>{"needsAccessibility"}));

    // The handler is still installed for the next start.
    service().start(Mode::listen);
    m_backend->press(KeySymbols::audioMute);
    EXPECT_EQ(m_events.size(), 1u);
}

TEST_F(EventTapServiceTest, OnlyAnInterceptingTapKeepsAHandledKey)
{
    struct Row {
        const char* name;
        Mode mode;
        bool installHandler;
        bool answer;
        KeyTapEvent event;
        bool kept;
        std::optional<MediaKeyEvent> handled;
    } const rows[] = {
        {"intercepting, handled", Mode::intercept, true, true, {KeySymbols::audioRaiseVolume, true, false, false, false},
         true, MediaKeyEvent{MediaKey::soundUp, true, false, false}},
        {"intercepting, left to the desktop", Mode::intercept, true, false,
         {KeySymbols::audioRaiseVolume, true, false, false, false}, false,
         MediaKeyEvent{MediaKey::soundUp, true, false, false}},
        {"listening never keeps a key", Mode::listen, true, true, {KeySymbols::monBrightnessUp, true, false, true, true},
         false, MediaKeyEvent{MediaKey::brightnessUp, true, false, true}},
        {"a key-up passes unless handled", Mode::intercept, true, false,
         {KeySymbols::audioMute, false, false, false, false}, false, MediaKeyEvent{MediaKey::mute, false, false, false}},
        {"a repeat with Shift and Alt", Mode::intercept, true, true,
         {KeySymbols::kbdBrightnessDown, true, true, true, true}, true,
         MediaKeyEvent{MediaKey::illuminationDown, true, true, true}},
        {"no handler: every key passes", Mode::intercept, false, true,
         {KeySymbols::audioRaiseVolume, true, false, false, false}, false, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_events.clear();
        m_answer = row.answer;
        if (!row.installHandler)
            service().setHandler(nullptr);
        service().start(row.mode);

        EXPECT_EQ(m_backend->send(row.event), row.kept);
        if (row.handled) {
            EXPECT_EQ(m_events, std::vector<MediaKeyEvent>{*row.handled});
        } else {
            EXPECT_TRUE(m_events.empty());
        }
    }
}

TEST_F(EventTapServiceTest, TwoSlowCallsInARowWhileInterceptingFallBackToListening)
{
    struct Row {
        const char* name;
        Mode mode;
        std::vector<Duration> calls;
        std::string status;
        std::vector<std::string> heardAfterStart;
    } const rows[] = {
        {"slow, slow", Mode::intercept, {60ms, 60ms}, "degradedToListen(handler took 60 ms twice)",
         {"stopped", "running(listen)", "degradedToListen(handler took 60 ms twice)"}},
        {"the second call's whole milliseconds", Mode::intercept, {51ms, 73900us},
         "degradedToListen(handler took 73 ms twice)",
         {"stopped", "running(listen)", "degradedToListen(handler took 73 ms twice)"}},
        {"slow, fast, slow", Mode::intercept, {60ms, 10ms, 60ms}, "running(intercept)", {}},
        {"exactly 50 ms is not slow", Mode::intercept, {50ms, 50ms}, "running(intercept)", {}},
        {"just over 50 ms is", Mode::intercept, {50001us, 50001us}, "degradedToListen(handler took 50 ms twice)",
         {"stopped", "running(listen)", "degradedToListen(handler took 50 ms twice)"}},
        {"a run of three slow calls falls back once", Mode::intercept, {60ms, 70ms, 80ms},
         "degradedToListen(handler took 70 ms twice)",
         {"stopped", "running(listen)", "degradedToListen(handler took 70 ms twice)"}},
        {"listening never falls back", Mode::listen, {60ms, 60ms, 60ms}, "running(listen)", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TapRig rig;
        rig.service->start(row.mode);
        rig.statuses.clear();
        rig.handlerDurations = row.calls;

        // Every key in hand is kept, the one that triggers the fall-back too.
        for (std::size_t index = 0; index < row.calls.size(); ++index)
            EXPECT_EQ(rig.backend->press(KeySymbols::audioRaiseVolume), row.mode == Mode::intercept);
        // The fall-back runs on a later turn of the event loop.
        EXPECT_TRUE(rig.statuses.empty());
        rig.scheduler.runDue();

        EXPECT_EQ(rig.service->status().description(), row.status);
        EXPECT_EQ(rig.heard(), row.heardAfterStart);
        if (row.status.starts_with("degraded")) {
            EXPECT_EQ(rig.backend->mode(), KeyTapMode::listen);
            EXPECT_EQ(rig.service->mode(), Mode::listen);
            EXPECT_TRUE(rig.service->status().isRunning());
            // Listening from now on: nothing is kept.
            EXPECT_EQ(rig.backend->press(KeySymbols::audioRaiseVolume), false);
        }
    }
}

TEST_F(EventTapServiceTest, SlowCallsCountAcrossARestart)
{
    service().start(Mode::listen);
    m_handlerDurations = {60ms, 60ms, 60ms};
    m_backend->press(KeySymbols::audioRaiseVolume);
    m_backend->press(KeySymbols::audioRaiseVolume);
    EXPECT_EQ(service().slowCallbackStrikes(), 2);

    service().start(Mode::intercept);
    EXPECT_EQ(service().slowCallbackStrikes(), 2);
    m_backend->press(KeySymbols::audioRaiseVolume);
    m_scheduler.runDue();
    EXPECT_EQ(service().status().description(), "degradedToListen(handler took 60 ms twice)");
}

TEST_F(EventTapServiceTest, TheHealthCheckTakesLostKeysBackEveryFiveSeconds)
{
    service().start(Mode::intercept);
    m_backend->setEnabled(false);
    m_scheduler.advance(4999ms);
    EXPECT_EQ(m_backend->enableCount(), 0);
    EXPECT_EQ(m_backend->press(KeySymbols::audioRaiseVolume), std::nullopt);

    m_scheduler.advance(1ms);
    EXPECT_EQ(m_backend->enableCount(), 1);
    EXPECT_EQ(m_backend->press(KeySymbols::audioRaiseVolume), true);

    // An enabled tap is left alone; a second loss is mended at the next check.
    m_scheduler.advance(5s);
    EXPECT_EQ(m_backend->enableCount(), 1);
    m_backend->setEnabled(false);
    m_scheduler.advance(5s);
    EXPECT_EQ(m_backend->enableCount(), 2);

    // A stopped tap has no health check.
    service().stop();
    EXPECT_EQ(m_scheduler.pendingCount(), 0u);
}

TEST_F(EventTapServiceTest, AFallBackDueAfterTheServiceIsGoneDoesNothing)
{
    service().start(Mode::intercept);
    m_handlerDurations = {60ms, 60ms};
    m_backend->press(KeySymbols::audioRaiseVolume);
    m_backend->press(KeySymbols::audioRaiseVolume);
    m_rig.service.reset();
    EXPECT_EQ(descriptions(m_heard).back(), "stopped");
    const auto heardBefore = m_heard.size();
    m_scheduler.advance(10s);
    EXPECT_EQ(m_heard.size(), heardBefore);
    EXPECT_EQ(m_scheduler.pendingCount(), 0u);
}

class EventTapPermissionTest : public ::testing::Test {
protected:
    void TearDown() override { InputAccessProbe::installStandard(nullptr); }
};

TEST_F(EventTapPermissionTest, WithoutAProbeTheChecksAnswerAsWithoutADisplay)
{
    InputAccessProbe::installStandard(nullptr);
    EXPECT_FALSE(EventTapService::hasAccessibility());
    EXPECT_FALSE(EventTapService::requestAccessibility());
    EXPECT_EQ(EventTapService::inputMonitoring(), EventTapService::InputMonitoring::unknown);
    EXPECT_FALSE(EventTapService::requestInputMonitoring());
}

TEST_F(EventTapPermissionTest, TheChecksAskTheInstalledProbeEachTime)
{
    auto probe = std::make_shared<FakeInputAccessProbe>();
    InputAccessProbe::installStandard(probe);
    struct Row {
        InputMonitoringAccess access;
        EventTapService::InputMonitoring monitoring;
        bool requestAnswer;
    } const rows[] = {
        {InputMonitoringAccess::granted, EventTapService::InputMonitoring::granted, true},
        {InputMonitoringAccess::denied, EventTapService::InputMonitoring::denied, false},
        {InputMonitoringAccess::unknown, EventTapService::InputMonitoring::unknown, false},
    };
    for (const auto& row : rows) {
        probe->monitoring = row.access;
        EXPECT_EQ(EventTapService::inputMonitoring(), row.monitoring);
        EXPECT_EQ(EventTapService::requestInputMonitoring(), row.requestAnswer);
    }

    for (const bool interceptable : {true, false}) {
        probe->interceptable = interceptable;
        EXPECT_EQ(EventTapService::hasAccessibility(), interceptable);
        EXPECT_EQ(EventTapService::requestAccessibility(), interceptable);
    }
    ASSERT_EQ(probe->interceptProbes.size(), 4u);
    EXPECT_EQ(probe->interceptProbes.front().front(), KeySymbols::audioRaiseVolume);
}

TEST(EventTapStatusTest, DescribesEachCaseWithItsValue)
{
    struct Row {
        Status status;
        const char* text;
    } const rows[] = {
        {Status::running(Mode::intercept), "running(intercept)"},
        {Status::running(Mode::listen), "running(listen)"},
        {Status::degradedToListen("handler took 73 ms twice"), "degradedToListen(handler took 73 ms twice)"},
        {Status::stopped(), "stopped"},
        {Status::needsInputMonitoring(), "needsInputMonitoring"},
        {Status::needsAccessibility(), "needsAccessibility"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.status.description(), row.text);
    EXPECT_NE(Status::running(Mode::listen), Status::running(Mode::intercept));
    EXPECT_NE(Status::degradedToListen("a"), Status::degradedToListen("b"));
    EXPECT_NE(Status::degradedToListen("a"), Status::running(Mode::listen));
}

} // namespace
