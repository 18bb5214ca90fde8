#include "VudeServices/EventTapService.h"

#include "Platform/Core/QtScheduler.h"
#include "Platform/Input/FakeInputAccessProbe.h"
#include "Platform/Input/X11KeyTapBackend.h"
#include "Platform/Input/XcbConnection.h"

#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestKeyboard.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace std::chrono_literals;
using Mode = EventTapService::Mode;
using Status = EventTapService::Status;

constexpr KeySymbol letterA = 0x61;

// The app's wiring on a private X server: one connection, its keyboard
// installed as the standard access probe, the tap over it; and a second
// client with the focused window.
class EventTapServiceSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        m_connection = XcbConnection::open(m_server.display().toStdString());
        ASSERT_NE(m_connection, nullptr);
        m_keyboard = std::make_shared<X11Keyboard>(m_connection.get());
        InputAccessProbe::installStandard(m_keyboard);
        m_service.emplace(std::make_unique<X11KeyTapBackend>(m_keyboard, m_scheduler), m_scheduler);
        m_service->setOnStatusChange([this](const Status& status) { m_statuses.push_back(status.description()); });
        m_service->setHandler([this](const MediaKeyEvent& event) {
            m_events.push_back(event);
            return m_answer;
        });

        ASSERT_TRUE(m_desktop.open(m_server.display().toStdString()));
        ASSERT_TRUE(m_desktop.createFocusedWindow());
        m_volumeUp = m_desktop.keycode(KeySymbols::audioRaiseVolume);
        m_marker = m_desktop.keycode(letterA);
        ASSERT_TRUE(m_volumeUp && m_marker);
    }

    void TearDown() override
    {
        m_service.reset();
        InputAccessProbe::installStandard(nullptr);
    }

    // Taps volume up and waits until the focused window has the key typed
    // after it; returns whether the window got volume up.
    bool tapVolumeUpReachesTheWindow()
    {
        const int before = m_desktop.presses(m_volumeUp);
        const int markers = m_desktop.presses(m_marker);
        m_desktop.tap(m_volumeUp);
        m_desktop.tap(m_marker);
        EXPECT_TRUE(testsupport::waitUntil([&] { return m_desktop.presses(m_marker) > markers; }));
        return m_desktop.presses(m_volumeUp) > before;
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> m_connection;
    std::shared_ptr<X11Keyboard> m_keyboard;
    QtScheduler m_scheduler;
    std::vector<std::string> m_statuses;
    std::vector<MediaKeyEvent> m_events;
    bool m_answer = true;
    std::optional<EventTapService> m_service;
    testsupport::XTestKeyboard m_desktop;
    xcb_keycode_t m_volumeUp = 0;
    xcb_keycode_t m_marker = 0;
};

TEST_F(EventTapServiceSystemTest, InterceptingKeepsAHandledVolumeUpFromTheFocusedWindow)
{
    EXPECT_EQ(EventTapService::inputMonitoring(), EventTapService::InputMonitoring::granted);
    ASSERT_TRUE(EventTapService::hasAccessibility());
    ASSERT_EQ(m_service->start(Mode::intercept), Status::running(Mode::intercept));

    struct Row {
        const char* name;
        bool answer;
        bool windowGetsIt;
        std::vector<MediaKeyEvent> handled;
    } const rows[] = {
        // The release of a kept key comes to the tap as well.
        {"handled", true, false, {{MediaKey::soundUp, true, false, false}, {MediaKey::soundUp, false, false, false}}},
        {"left to the desktop", false, true, {{MediaKey::soundUp, true, false, false}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_events.clear();
        m_answer = row.answer;
        EXPECT_EQ(tapVolumeUpReachesTheWindow(), row.windowGetsIt);
        ASSERT_TRUE(testsupport::waitUntil([&] { return m_events.size() >= row.handled.size(); }));
        EXPECT_EQ(m_events, row.handled);
    }

    // Our own grab answers the check without being let go.
    EXPECT_TRUE(EventTapService::hasAccessibility());
    m_answer = true;
    EXPECT_FALSE(tapVolumeUpReachesTheWindow());
}

TEST_F(EventTapServiceSystemTest, ListeningNeverKeepsAKey)
{
    ASSERT_EQ(m_service->start(Mode::listen), Status::running(Mode::listen));
    m_answer = true;
    EXPECT_TRUE(tapVolumeUpReachesTheWindow());
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_events.size() == 2; }));
    EXPECT_EQ(m_events, (std::vector<MediaKeyEvent>{{MediaKey::soundUp, true, false, false},
                                                   {MediaKey::soundUp, false, false, false}}));
}

TEST_F(EventTapServiceSystemTest, VolumeUpHeldByAnotherClientMeansNoAccessibility)
{
    testsupport::XTestKeyboard daemon;
    ASSERT_TRUE(daemon.open(m_server.display().toStdString()));
    ASSERT_TRUE(daemon.grabKey(m_volumeUp));

    EXPECT_FALSE(EventTapService::hasAccessibility());
    EXPECT_EQ(m_service->start(Mode::intercept), Status::needsAccessibility());
    // Listening still works, and hears the key the other client holds.
    EXPECT_EQ(m_service->start(Mode::listen), Status::running(Mode::listen));
    m_desktop.tap(m_volumeUp);
    EXPECT_TRUE(testsupport::waitUntil([&] { return m_events.size() == 2; }));

    // Key by key: the other client holds volume up only.
    EXPECT_TRUE(m_service->isHeldByAnotherProgram(MediaKey::soundUp));
    EXPECT_FALSE(m_service->isHeldByAnotherProgram(MediaKey::soundDown));
    daemon.ungrabKey(m_volumeUp);
    EXPECT_FALSE(m_service->isHeldByAnotherProgram(MediaKey::soundUp));
    // The probe left nothing behind: the other client can take it again.
    // (The server orders two clients' requests only by what it has read: a
    // round trip on ours first.)
    xcb_connection_t* ours = m_connection->connection();
    std::free(xcb_get_input_focus_reply(ours, xcb_get_input_focus(ours), nullptr));
    EXPECT_TRUE(daemon.grabKey(m_volumeUp));
}

TEST_F(EventTapServiceSystemTest, KeysAnInterceptingTapHoldsAreHeldByNobodyElse)
{
    ASSERT_EQ(m_service->start(Mode::intercept), Status::running(Mode::intercept));
    for (MediaKey key : allCases<MediaKey>())
        EXPECT_FALSE(m_service->isHeldByAnotherProgram(key)) << rawValue(key);
    EXPECT_FALSE(m_keyboard->isHeldByAnotherProgram(mediaKeySymbols())) << "our own grabs, not probed";
    EXPECT_TRUE(m_keyboard->holdsGrabs());
}

TEST_F(EventTapServiceSystemTest, TheKeysTakenAfterTheCheckStillMeanNoAccessibility)
{
    // The check passes; another client takes the key before the tap starts.
    auto probe = std::make_shared<FakeInputAccessProbe>();
    ManualClock clock;
    EventTapService service(std::make_unique<X11KeyTapBackend>(m_keyboard, m_scheduler), probe, m_scheduler, clock);
    testsupport::XTestKeyboard daemon;
    ASSERT_TRUE(daemon.open(m_server.display().toStdString()));
    ASSERT_TRUE(daemon.grabKey(m_volumeUp));

    EXPECT_EQ(service.start(Mode::intercept), Status::needsAccessibility());
    EXPECT_EQ(probe->interceptProbes.size(), 1u);
    EXPECT_FALSE(m_keyboard->holdsGrabs());
}

TEST_F(EventTapServiceSystemTest, AfterASlowHandlerFallBackTheKeysReachTheWindowAgain)
{
    m_service.reset();
    ManualClock clock;
    std::vector<std::string> statuses;
    EventTapService service(std::make_unique<X11KeyTapBackend>(m_keyboard, m_scheduler), m_keyboard, m_scheduler,
                            clock);
    service.setOnStatusChange([&](const Status& status) { statuses.push_back(status.description()); });
    service.setHandler([&](const MediaKeyEvent&) {
        clock.advance(80ms);
        return true;
    });
    ASSERT_EQ(service.start(Mode::intercept), Status::running(Mode::intercept));

    // The press and the release make two slow calls in a row; the press is
    // still kept.
    EXPECT_FALSE(tapVolumeUpReachesTheWindow());
    ASSERT_TRUE(testsupport::waitUntil([&] { return service.status().kind() == Status::Kind::degradedToListen; }));
    EXPECT_EQ(statuses, (std::vector<std::string>{"running(intercept)", "stopped", "running(listen)",
                                                  "degradedToListen(handler took 80 ms twice)"}));
    EXPECT_TRUE(tapVolumeUpReachesTheWindow());
}

TEST(EventTapServiceWithoutDisplayTest, NeedsInputMonitoring)
{
    auto keyboard = std::make_shared<X11Keyboard>(nullptr);
    InputAccessProbe::installStandard(keyboard);
    QtScheduler scheduler;
    EventTapService service(std::make_unique<X11KeyTapBackend>(keyboard, scheduler), scheduler);
    EXPECT_EQ(EventTapService::inputMonitoring(), EventTapService::InputMonitoring::unknown);
    EXPECT_FALSE(EventTapService::hasAccessibility());
    EXPECT_EQ(service.start(Mode::listen), Status::needsInputMonitoring());
    EXPECT_EQ(service.start(Mode::intercept), Status::needsInputMonitoring());
    InputAccessProbe::installStandard(nullptr);
}

} // namespace
