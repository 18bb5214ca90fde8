#include "Platform/Power/DBusScreenLockMonitor.h"

#include "PrivateBusTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using testsupport::MockDBusService;
using Source = DBusScreenLockMonitor::Source;

constexpr auto kGnomePath = "/org/gnome/ScreenSaver";
constexpr auto kFreedesktopPath = "/org/freedesktop/ScreenSaver";
constexpr auto kLogindPath = "/org/freedesktop/login1";
constexpr auto kSessionPath = "/org/freedesktop/login1/session/c1";

// The monitor on a private session bus and a private system bus, with the
// lock sources a desktop may offer started as mocks.
class DBusScreenLockMonitorSystemTest : public testsupport::PrivateBusTest {
protected:
    void startGnome() { ASSERT_TRUE(gnome.start(buses(), "gnome_screensaver", false)); }

    void startFreedesktop(bool answersGetActive)
    {
        ASSERT_TRUE(freedesktop.start(buses(), testsupport::dbusmockTemplate("screensaver.py"), false,
                                      answersGetActive ? R"({"get-active": true})" : R"({"get-active": false})"));
    }

    void startLogind()
    {
        ASSERT_TRUE(logind.start(buses(), "logind", true));
        const auto reply = logind.mock("AddSession", {"c1", "seat0", 1000u, "alice", true});
        ASSERT_TRUE(testsupport::replied(reply));
    }

    // Each announcement returns only after its signal has been handed to
    // this process: the mock answers after it has sent the signal.
    void announce(Source source, bool locked)
    {
        QDBusMessage reply;
        switch (source) {
        case Source::gnomeScreenSaver:
            reply = gnome.call(kGnomePath, "org.gnome.ScreenSaver", "SetActive", {locked});
            break;
        case Source::freedesktopScreenSaver:
            reply = freedesktop.mock("SetActive", {locked});
            break;
        case Source::logind:
            reply = logind.call(kSessionPath, "org.freedesktop.login1.Session", "SetLockedHint", {locked});
            break;
        case Source::none:
            return;
        }
        ASSERT_TRUE(testsupport::replied(reply));
        testsupport::processEvents();
    }

    QDBusConnection& session = sessionBus();
    QDBusConnection& system = systemBus();
    MockDBusService gnome{session, "org.gnome.ScreenSaver", kGnomePath};
    MockDBusService freedesktop{session, "org.freedesktop.ScreenSaver", kFreedesktopPath};
    MockDBusService logind{system, "org.freedesktop.login1", kLogindPath};
};

TEST_F(DBusScreenLockMonitorSystemTest, FollowsTheFirstSourceThatReallyAnswersAndNoOther)
{
    enum class Freedesktop { absent, answers, silentProxy };
    struct Row {
        const char* why;
        bool gnome;
        Freedesktop freedesktop;
        bool logind;
        Source expected;
    } rows[] = {
        {"GNOME: its own screen saver beside the proxy and logind", true, Freedesktop::silentProxy, true,
         Source::gnomeScreenSaver},
        {"a desktop whose freedesktop screen saver answers (KDE, Xfce)", false, Freedesktop::answers, true,
         Source::freedesktopScreenSaver},
        {"only a proxy that never announces: logind instead", false, Freedesktop::silentProxy, true, Source::logind},
        {"logind alone", false, Freedesktop::absent, true, Source::logind},
        {"nothing answers", false, Freedesktop::silentProxy, false, Source::none},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        if (row.gnome)
            startGnome();
        if (row.freedesktop != Freedesktop::absent)
            startFreedesktop(row.freedesktop == Freedesktop::answers);
        if (row.logind)
            startLogind();

        DBusScreenLockMonitor monitor(session, system, "c1");
        std::vector<bool> announced;
        monitor.start([&](bool locked) { announced.push_back(locked); });
        ASSERT_TRUE(testsupport::waitUntil([&] { return monitor.isSettled(); }));
        EXPECT_EQ(monitor.source(), row.expected);

        // The sources not chosen lock the screen too: unheard.
        if (row.gnome && row.expected != Source::gnomeScreenSaver)
            announce(Source::gnomeScreenSaver, true);
        if (row.freedesktop != Freedesktop::absent && row.expected != Source::freedesktopScreenSaver)
            announce(Source::freedesktopScreenSaver, true);
        if (row.logind && row.expected != Source::logind)
            announce(Source::logind, true);
        EXPECT_TRUE(announced.empty());

        if (row.expected != Source::none) {
            announce(row.expected, true);
            announce(row.expected, false);
            ASSERT_TRUE(testsupport::waitUntil([&] { return announced.size() >= 2; }));
            EXPECT_EQ(announced, (std::vector{true, false}));
        }

        monitor.stop();
        gnome.stop();
        freedesktop.stop();
        logind.stop();
    }
}

TEST_F(DBusScreenLockMonitorSystemTest, StoppingEndsTheAnnouncementsAndRestartingAsksAgain)
{
    startLogind();
    DBusScreenLockMonitor monitor(session, system, "c1");
    std::vector<bool> announced;
    monitor.start([&](bool locked) { announced.push_back(locked); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return monitor.isSettled(); }));
    ASSERT_EQ(monitor.source(), Source::logind);

    monitor.stop();
    EXPECT_EQ(monitor.source(), Source::none);
    announce(Source::logind, true);
    EXPECT_TRUE(announced.empty());

    // A screen saver that came up meanwhile takes over on the next start.
    startGnome();
    monitor.start([&](bool locked) { announced.push_back(locked); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return monitor.isSettled(); }));
    EXPECT_EQ(monitor.source(), Source::gnomeScreenSaver);
    announce(Source::logind, false);
    announce(Source::gnomeScreenSaver, true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !announced.empty(); }));
    EXPECT_EQ(announced, std::vector{true});
}

TEST_F(DBusScreenLockMonitorSystemTest, AnUnknownLogindSessionIsNoSource)
{
    startLogind();
    DBusScreenLockMonitor monitor(session, system, "c9");
    monitor.start([](bool) {});
    ASSERT_TRUE(testsupport::waitUntil([&] { return monitor.isSettled(); }));
    EXPECT_EQ(monitor.source(), Source::none) << "a session without LockedHint would never announce anything";
}

} // namespace
