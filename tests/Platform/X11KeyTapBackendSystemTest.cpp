#include "Platform/Input/X11KeyTapBackend.h"
#include "Platform/Input/XcbConnection.h"

#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestKeyboard.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace std::chrono_literals;

constexpr KeySymbol shiftL = 0xffe1;
constexpr KeySymbol altL = 0xffe9;
constexpr KeySymbol capsLock = 0xffe5;
constexpr KeySymbol letterA = 0x61;
constexpr KeySymbol volumeUp = KeySymbols::audioRaiseVolume;

std::vector<KeySymbol> watchedSymbols()
{
    return {KeySymbols::audioRaiseVolume, KeySymbols::audioLowerVolume, KeySymbols::audioMute};
}

KeyTapEvent down(bool shift = false, bool alt = false, bool repeat = false)
{
    return {volumeUp, true, repeat, shift, alt};
}

KeyTapEvent up(bool shift = false, bool alt = false)
{
    return {volumeUp, false, false, shift, alt};
}

class X11KeyTapBackendSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        m_connection = XcbConnection::open(display());
        ASSERT_NE(m_connection, nullptr);
        m_keyboard = std::make_shared<X11Keyboard>(m_connection.get());
        m_backend.emplace(m_keyboard, m_scheduler);

        ASSERT_TRUE(m_desktop.open(display()));
        ASSERT_TRUE(m_desktop.createFocusedWindow());
        m_volumeUp = m_desktop.keycode(volumeUp);
        m_shift = m_desktop.keycode(shiftL);
        m_alt = m_desktop.keycode(altL);
        m_capsLock = m_desktop.keycode(capsLock);
        m_marker = m_desktop.keycode(letterA);
        ASSERT_TRUE(m_volumeUp && m_shift && m_alt && m_capsLock && m_marker);
    }

    std::string display() const { return m_server.display().toStdString(); }

    Expected<void, KeyTapError> start(KeyTapMode mode, bool answer)
    {
        return m_backend->start(mode, watchedSymbols(), [this, answer](const KeyTapEvent& event) {
            m_events.push_back(event);
            return answer;
        });
    }

    // Types the marker key and waits until the focused window has it: every
    // key typed before has been decided by then.
    bool settle()
    {
        const int before = m_desktop.presses(m_marker);
        m_desktop.tap(m_marker);
        return testsupport::waitUntil([&] { return m_desktop.presses(m_marker) > before; });
    }

    // Waits until the tap has reported `count` events (releases wait for a
    // turn of the scheduler, in case a repeat follows them).
    bool waitForEvents(std::size_t count)
    {
        return testsupport::waitUntil([&] {
            m_scheduler.runDue();
            return m_events.size() >= count;
        });
    }

    // Requests of two clients are not ordered: waits until the server has
    // handled ours, before another client relies on them.
    void syncOurConnection()
    {
        xcb_connection_t* c = m_connection->connection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }

    bool setRepeat(const QStringList& arguments)
    {
        QProcess xset;
        xset.setProcessEnvironment(m_server.childEnvironment());
        xset.start("xset", arguments);
        return xset.waitForFinished(5000) && xset.exitCode() == 0;
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> m_connection;
    std::shared_ptr<X11Keyboard> m_keyboard;
    ManualClock m_clock;
    ManualScheduler m_scheduler{m_clock};
    std::optional<X11KeyTapBackend> m_backend;
    testsupport::XTestKeyboard m_desktop;
    std::vector<KeyTapEvent> m_events;
    xcb_keycode_t m_volumeUp = 0;
    xcb_keycode_t m_shift = 0;
    xcb_keycode_t m_alt = 0;
    xcb_keycode_t m_capsLock = 0;
    xcb_keycode_t m_marker = 0;
};

TEST_F(X11KeyTapBackendSystemTest, InterceptingLetsTheAnswerDecideWhetherTheFocusedWindowGetsTheKey)
{
    struct Row {
        const char* name;
        bool answer;
        bool shift;
        bool alt;
        bool capsLockOn;
    } const rows[] = {
        {"handled: kept from the window, its release too", true, false, false, false},
        {"refused: replayed to the window", false, false, false, false},
        {"Shift and Alt held", true, true, true, false},
        {"Shift alone, refused", false, true, false, false},
        {"Caps Lock left on", true, false, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_events.clear();
        ASSERT_TRUE(start(KeyTapMode::intercept, row.answer));
        const int pressesBefore = m_desktop.presses(m_volumeUp);
        const int releasesBefore = m_desktop.releases(m_volumeUp);

        if (row.capsLockOn)
            m_desktop.tap(m_capsLock);
        if (row.shift)
            m_desktop.press(m_shift);
        if (row.alt)
            m_desktop.press(m_alt);
        m_desktop.tap(m_volumeUp);
        if (row.alt)
            m_desktop.release(m_alt);
        if (row.shift)
            m_desktop.release(m_shift);
        if (row.capsLockOn)
            m_desktop.tap(m_capsLock);
        ASSERT_TRUE(settle());

        // A kept key's release comes to us; a replayed one's goes to the window.
        std::vector<KeyTapEvent> expected{down(row.shift, row.alt)};
        if (row.answer)
            expected.push_back(up(row.shift, row.alt));
        ASSERT_TRUE(waitForEvents(expected.size()));
        EXPECT_EQ(m_events, expected);
        EXPECT_EQ(m_desktop.presses(m_volumeUp) - pressesBefore, row.answer ? 0 : 1);
        EXPECT_EQ(m_desktop.releases(m_volumeUp) - releasesBefore, row.answer ? 0 : 1);
        EXPECT_TRUE(m_backend->isEnabled());
        m_backend->stop();
    }

    // Stopped: the key goes straight to the window and the handler hears nothing.
    m_events.clear();
    const int pressesBefore = m_desktop.presses(m_volumeUp);
    m_desktop.tap(m_volumeUp);
    ASSERT_TRUE(settle());
    EXPECT_EQ(m_desktop.presses(m_volumeUp) - pressesBefore, 1);
    EXPECT_TRUE(m_events.empty());
}

TEST_F(X11KeyTapBackendSystemTest, ListeningNeverKeepsAKeyAndTracksShiftAndAltItself)
{
    struct Row {
        const char* name;
        bool shift;
        bool alt;
    } const rows[] = {
        {"no modifier", false, false},
        {"Shift and Alt", true, true},
        {"Alt alone", false, true},
    };
    ASSERT_TRUE(start(KeyTapMode::listen, true));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_events.clear();
        const int pressesBefore = m_desktop.presses(m_volumeUp);
        if (row.shift)
            m_desktop.press(m_shift);
        if (row.alt)
            m_desktop.press(m_alt);
        m_desktop.tap(m_volumeUp);
        if (row.alt)
            m_desktop.release(m_alt);
        if (row.shift)
            m_desktop.release(m_shift);
        ASSERT_TRUE(settle());
        ASSERT_TRUE(waitForEvents(2));
        EXPECT_EQ(m_events, (std::vector<KeyTapEvent>{down(row.shift, row.alt), up(row.shift, row.alt)}));
        EXPECT_EQ(m_desktop.presses(m_volumeUp) - pressesBefore, 1);
    }
}

TEST_F(X11KeyTapBackendSystemTest, ListeningRepeatsAHeldKeyAtTheServersDelayAndRate)
{
    ASSERT_TRUE(setRepeat({"r", "rate", "300", "20"}));
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_keyboard->repeatControls().delay == 300ms; }));
    EXPECT_EQ(m_keyboard->repeatControls().interval, 50ms);
    ASSERT_TRUE(start(KeyTapMode::listen, true));

    m_desktop.press(m_volumeUp);
    ASSERT_TRUE(waitForEvents(1));
    m_scheduler.advance(299ms);
    EXPECT_EQ(m_events.size(), 1u);
    m_scheduler.advance(1ms);
    m_scheduler.advance(50ms);
    EXPECT_EQ(m_events, (std::vector<KeyTapEvent>{down(), down(false, false, true), down(false, false, true)}));

    m_desktop.release(m_volumeUp);
    ASSERT_TRUE(waitForEvents(4));
    EXPECT_EQ(m_events.back(), up());
    m_scheduler.advance(1s);
    EXPECT_EQ(m_events.size(), 4u);

    // With the server's repeat off, a held key goes down once.
    ASSERT_TRUE(setRepeat({"r", "off"}));
    ASSERT_TRUE(testsupport::waitUntil([&] { return !m_keyboard->repeatControls().isEnabled; }));
    m_events.clear();
    m_desktop.press(m_volumeUp);
    ASSERT_TRUE(waitForEvents(1));
    m_scheduler.advance(2s);
    EXPECT_EQ(m_events, std::vector<KeyTapEvent>{down()});
    m_desktop.release(m_volumeUp);
}

TEST_F(X11KeyTapBackendSystemTest, InterceptingReportsTheServersRepeatsAsRepeatedKeyDowns)
{
    ASSERT_TRUE(setRepeat({"r", "rate", "100", "25"}));
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_keyboard->repeatControls().delay == 100ms; }));
    ASSERT_TRUE(start(KeyTapMode::intercept, true));

    m_desktop.press(m_volumeUp);
    // Releases are held back until the scheduler turns, so a repeat's
    // release and press stay a pair.
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_events.size() >= 3; }));
    m_desktop.release(m_volumeUp);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(testsupport::waitUntil([&] {
        m_scheduler.runDue();
        return !m_events.empty() && !m_events.back().isDown;
    }));

    ASSERT_GE(m_events.size(), 4u);
    EXPECT_EQ(m_events.front(), down());
    for (std::size_t index = 1; index + 1 < m_events.size(); ++index)
        EXPECT_EQ(m_events[index], down(false, false, true)) << index;
    EXPECT_EQ(m_events.back(), up());
    EXPECT_EQ(m_desktop.presses(m_volumeUp), 0);
}

TEST_F(X11KeyTapBackendSystemTest, AKeyAnotherClientHoldsCannotBeInterceptedButCanBeHeard)
{
    testsupport::XTestKeyboard daemon;
    ASSERT_TRUE(daemon.open(display()));
    ASSERT_TRUE(daemon.grabKey(m_volumeUp));

    const auto symbols = watchedSymbols();
    EXPECT_FALSE(m_keyboard->canIntercept(symbols));
    const auto started = start(KeyTapMode::intercept, true);
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error(), KeyTapError::keysTaken);
    EXPECT_FALSE(m_keyboard->holdsGrabs());
    // All or nothing: the keys that were free are free still.
    const xcb_keycode_t mute = m_desktop.keycode(KeySymbols::audioMute);
    syncOurConnection();
    EXPECT_TRUE(daemon.grabKey(mute));
    daemon.ungrabKey(mute);

    // Raw events reach us whoever holds the key.
    ASSERT_TRUE(start(KeyTapMode::listen, true));
    m_desktop.tap(m_volumeUp);
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(m_events, (std::vector<KeyTapEvent>{down(), up()}));
    m_backend->stop();

    // Once the daemon lets go, the probe succeeds and leaves the key free.
    daemon.ungrabKey(m_volumeUp);
    EXPECT_TRUE(m_keyboard->canIntercept(symbols));
    syncOurConnection();
    EXPECT_TRUE(daemon.grabKey(m_volumeUp));
}

TEST_F(X11KeyTapBackendSystemTest, TheProbeTrustsOurOwnGrabsWithoutReleasingThem)
{
    ASSERT_TRUE(start(KeyTapMode::intercept, true));
    const auto symbols = watchedSymbols();
    EXPECT_TRUE(m_keyboard->canIntercept(symbols));
    EXPECT_EQ(m_keyboard->inputMonitoring(), InputMonitoringAccess::granted);

    m_desktop.tap(m_volumeUp);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(m_events, (std::vector<KeyTapEvent>{down(), up()}));
    EXPECT_EQ(m_desktop.presses(m_volumeUp), 0);
}

TEST_F(X11KeyTapBackendSystemTest, TheGrabsFollowTheKeyToItsNewKeycode)
{
    // Two key codes without symbols to move volume up to.
    const X11KeyboardMapping mapping = X11KeyboardMapping::read(m_desktop.connection());
    std::vector<xcb_keycode_t> spare;
    for (int keycode = 9; keycode < 256 && spare.size() < 2; ++keycode) {
        const auto symbols = mapping.symbols(static_cast<xcb_keycode_t>(keycode));
        if (!symbols.empty() && std::ranges::all_of(symbols, [](KeySymbol symbol) { return symbol == 0; }))
            spare.push_back(static_cast<xcb_keycode_t>(keycode));
    }
    ASSERT_EQ(spare.size(), 2u);
    ASSERT_TRUE(start(KeyTapMode::intercept, true));

    m_desktop.setSymbol(spare[0], volumeUp);
    m_desktop.setSymbol(m_volumeUp, 0);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return m_keyboard->mapping().keycodes(volumeUp) == std::vector<xcb_keycode_t>{spare[0]}; }));
    EXPECT_TRUE(m_backend->isEnabled());
    m_desktop.tap(spare[0]);
    m_desktop.tap(m_volumeUp);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(m_events, (std::vector<KeyTapEvent>{down(), up()}));
    EXPECT_EQ(m_desktop.presses(spare[0]), 0);
    EXPECT_EQ(m_desktop.presses(m_volumeUp), 1); // the old key code is no longer ours

    // Moved onto a key another client holds, the keys are lost until it lets
    // go and the tap takes them again.
    testsupport::XTestKeyboard daemon;
    ASSERT_TRUE(daemon.open(display()));
    ASSERT_TRUE(daemon.grabKey(spare[1]));
    m_desktop.setSymbol(spare[1], volumeUp);
    m_desktop.setSymbol(spare[0], 0);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !m_backend->isEnabled(); }));
    daemon.ungrabKey(spare[1]);
    m_backend->enable();
    EXPECT_TRUE(m_backend->isEnabled());
    m_events.clear();
    m_desktop.tap(spare[1]);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(m_desktop.presses(spare[1]), 0);
}

TEST_F(X11KeyTapBackendSystemTest, ALostServerLeavesTheTapDisabledWithoutHarm)
{
    ASSERT_TRUE(start(KeyTapMode::intercept, true));
    m_server.stop();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !m_keyboard->isConnected(); }));
    EXPECT_FALSE(m_backend->isEnabled());
    m_backend->enable();
    EXPECT_FALSE(m_backend->isEnabled());
    EXPECT_EQ(m_keyboard->inputMonitoring(), InputMonitoringAccess::unknown);
    const auto symbols = watchedSymbols();
    EXPECT_FALSE(m_keyboard->canIntercept(symbols));
    const auto restarted = start(KeyTapMode::listen, true);
    ASSERT_FALSE(restarted);
    EXPECT_EQ(restarted.error(), KeyTapError::unavailable);
}

} // namespace
