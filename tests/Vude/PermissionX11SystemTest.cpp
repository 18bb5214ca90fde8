#include "Vude/Permissions/Permission.h"

#include "Platform/Core/QtScheduler.h"
#include "Platform/Input/X11KeyTapBackend.h"
#include "Platform/Input/XcbConnection.h"
#include "Vude/Permissions/FakePermissions.h"

#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestKeyboard.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace std::chrono_literals;
using State = Permission::State;

// The app's key access on a private X server: one connection, its keyboard
// installed as the access probe; and a second client that can hold keys as a
// desktop's media-key daemon does.
class PermissionX11SystemTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        m_connection = XcbConnection::open(m_server.display().toStdString());
        ASSERT_NE(m_connection, nullptr);
        m_keyboard = std::make_shared<X11Keyboard>(m_connection.get());
        InputAccessProbe::installStandard(m_keyboard);
        ASSERT_TRUE(m_daemon.open(m_server.display().toStdString()));
        m_volumeUp = m_daemon.keycode(KeySymbols::audioRaiseVolume);
        ASSERT_NE(m_volumeUp, 0);
    }

    void TearDown() override { InputAccessProbe::installStandard(nullptr); }

    // Requests Accessibility and returns its answer at 0.15 s.
    std::optional<bool> requestAccessibility()
    {
        std::optional<bool> answer;
        Permission::accessibility.request([&](bool granted) { answer = granted; }, m_permissions.system());
        m_permissions.scheduler.advance(150ms);
        return answer;
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> m_connection;
    std::shared_ptr<X11Keyboard> m_keyboard;
    testsupport::XTestKeyboard m_daemon;
    xcb_keycode_t m_volumeUp = 0;
    FakePermissions m_permissions;
};

TEST_F(PermissionX11SystemTest, AnX11ServerGrantsBothAndTheProbeLetsGoOfTheKeys)
{
    EXPECT_EQ(Permission::inputMonitoring.state(m_permissions.system()), State::granted);
    EXPECT_EQ(Permission::accessibility.state(m_permissions.system()), State::granted);
    EXPECT_EQ(requestAccessibility(), true);
    EXPECT_EQ(m_permissions.restarted, std::vector<Permission>{Permission::accessibility});

    // Nothing stays grabbed: another program can still take the key. (The
    // server orders two clients' requests only by what it has read: a round
    // trip on ours first.)
    xcb_connection_t* ours = m_connection->connection();
    std::free(xcb_get_input_focus_reply(ours, xcb_get_input_focus(ours), nullptr));
    EXPECT_TRUE(m_daemon.grabKey(m_volumeUp));
}

TEST_F(PermissionX11SystemTest, AKeyAnotherClientHoldsLeavesAccessibilityUndecidedNeverDenied)
{
    ASSERT_TRUE(m_daemon.grabKey(m_volumeUp));

    EXPECT_EQ(Permission::accessibility.state(m_permissions.system()), State::notDetermined);
    EXPECT_EQ(Permission::inputMonitoring.state(m_permissions.system()), State::granted) << "listening still works";
    EXPECT_EQ(requestAccessibility(), false);
    EXPECT_TRUE(m_permissions.restarted.empty());

    // Once the other client lets go, the next look finds it.
    m_daemon.ungrabKey(m_volumeUp);
    EXPECT_EQ(Permission::accessibility.state(m_permissions.system()), State::granted);
}

TEST_F(PermissionX11SystemTest, WhileOurOwnTapHoldsTheKeysAccessibilityIsGrantedAndTheGrabStays)
{
    QtScheduler scheduler;
    EventTapService tap(std::make_unique<X11KeyTapBackend>(m_keyboard, scheduler), scheduler);
    ASSERT_EQ(tap.start(EventTapService::Mode::intercept), EventTapService::Status::running(EventTapService::Mode::intercept));

    EXPECT_EQ(Permission::accessibility.state(m_permissions.system()), State::granted);
    EXPECT_EQ(requestAccessibility(), true);
    EXPECT_TRUE(m_keyboard->holdsGrabs());
    EXPECT_FALSE(m_daemon.grabKey(m_volumeUp)) << "the tap still holds volume up";
}

TEST(PermissionWithoutDisplayTest, NeitherKeyPermissionCanBeDecided)
{
    InputAccessProbe::installStandard(std::make_shared<X11Keyboard>(nullptr));
    FakePermissions permissions;
    EXPECT_EQ(Permission::inputMonitoring.state(permissions.system()), State::notDetermined);
    EXPECT_EQ(Permission::accessibility.state(permissions.system()), State::notDetermined);

    std::optional<bool> answer;
    Permission::inputMonitoring.request([&](bool granted) { answer = granted; }, permissions.system());
    permissions.scheduler.advance(1150ms);
    EXPECT_EQ(answer, false);
    InputAccessProbe::installStandard(nullptr);
}

} // namespace
