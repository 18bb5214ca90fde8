#include "Platform/Power/ScreenSaverInhibitor.h"

#include "PrivateBusTest.h"
#include "TestSupport.h"

#include <QDBusArgument>

#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <optional>
#include <vector>

namespace {

using testsupport::MockDBusService;

constexpr auto kScreenSaverPath = "/org/freedesktop/ScreenSaver";
constexpr auto kPortalPath = "/org/freedesktop/portal/desktop";

class ScreenSaverInhibitorSystemTest : public testsupport::PrivateBusTest {
protected:
    void startScreenSaver(const QString& parameters = "{}")
    {
        ASSERT_TRUE(screenSaver.start(buses(), testsupport::dbusmockTemplate("screensaver.py"), false, parameters));
    }

    void startPortal()
    {
        ASSERT_TRUE(portal.start(buses(), testsupport::dbusmockTemplate("portal_inhibit.py"), false));
    }

    /// What a fake still holds: cookies or request paths.
    int heldCount(MockDBusService& fake)
    {
        const QDBusMessage reply = fake.mock("Held");
        if (reply.arguments().isEmpty())
            return -1;
        const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
        int count = 0;
        argument.beginArray();
        while (!argument.atEnd()) {
            argument.asVariant();
            ++count;
        }
        argument.endArray();
        return count;
    }

    int inhibitCalls(MockDBusService& fake, const QString& path)
    {
        int count = 0;
        for (const auto& call : fake.calls(path))
            count += call.method == "Inhibit";
        return count;
    }

    QDBusConnection& bus = sessionBus();
    MockDBusService screenSaver{bus, "org.freedesktop.ScreenSaver", kScreenSaverPath};
    MockDBusService portal{bus, "org.freedesktop.portal.Desktop", kPortalPath};
};

TEST_F(ScreenSaverInhibitorSystemTest, ThePortalStandsInWhenNoScreenSaverAnswers)
{
    startPortal();
    ScreenSaverInhibitor inhibitor(bus);
    EXPECT_TRUE(inhibitor.isAvailable());
    const auto id = inhibitor.inhibit("Vude \xE2\x80\x94 keep awake");
    ASSERT_TRUE(id);
    EXPECT_NE(*id, 0u);
    // Asked once the missing screen saver has said no.
    EXPECT_TRUE(testsupport::waitUntil([&] { return heldCount(portal) == 1; }));

    std::vector<MockDBusService::Call> calls;
    for (const auto& call : portal.calls(kPortalPath))
        if (call.method == "Inhibit")
            calls.push_back(call);
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(calls[0].arguments.size(), 3);
    EXPECT_EQ(calls[0].arguments[1].toUInt(), 8u) << "inhibit going idle";
    const auto options = qdbus_cast<QVariantMap>(calls[0].arguments[2]);
    EXPECT_EQ(options.value("reason").toString(), QString::fromUtf8("Vude \xE2\x80\x94 keep awake"));

    inhibitor.release(*id);
    EXPECT_TRUE(testsupport::waitUntil([&] { return heldCount(portal) == 0; }));
    inhibitor.release(*id); // twice: nothing left to close
}

TEST_F(ScreenSaverInhibitorSystemTest, TheScreenSaverComesFirstEvenAsGnomesSilentProxy)
{
    startScreenSaver(R"({"get-active": false})");
    startPortal();
    ScreenSaverInhibitor inhibitor(bus);
    const auto id = inhibitor.inhibit("reason");
    ASSERT_TRUE(id);
    EXPECT_EQ(heldCount(screenSaver), 1);
    inhibitor.release(*id);
    EXPECT_TRUE(testsupport::waitUntil([&] { return heldCount(screenSaver) == 0; }));
    EXPECT_EQ(inhibitCalls(portal, kPortalPath), 0);
}

TEST_F(ScreenSaverInhibitorSystemTest, WhatIsStillHeldIsReleasedWithTheInhibitor)
{
    startScreenSaver();
    {
        ScreenSaverInhibitor inhibitor(bus);
        ASSERT_TRUE(inhibitor.inhibit("one"));
        ASSERT_TRUE(inhibitor.inhibit("two"));
        EXPECT_EQ(heldCount(screenSaver), 2);
    }
    EXPECT_TRUE(testsupport::waitUntil([&] { return heldCount(screenSaver) == 0; }));
}

// A stopped screen saver answers nothing: the id comes at once all the same,
// and a release made before the answer is carried out once it comes.
TEST_F(ScreenSaverInhibitorSystemTest, AStoppedScreenSaverHoldsNothingUp)
{
    startScreenSaver();
    std::vector<std::uint32_t> lost;
    const auto pid = pid_t(screenSaver.pid());
    std::optional<std::uint32_t> first;
    std::optional<std::uint32_t> second;
    {
        ScreenSaverInhibitor inhibitor(bus);
        inhibitor.setLostHandler([&](std::uint32_t id) { lost.push_back(id); });
        testsupport::StoppedProcess stopped(pid);
        ASSERT_TRUE(stopped.isStopped());
        first = inhibitor.inhibit("one");
        second = inhibitor.inhibit("two");
        ASSERT_TRUE(first && second);
        inhibitor.release(*first);
        ASSERT_TRUE(stopped.resume());
        EXPECT_TRUE(testsupport::waitUntil([&] { return inhibitCalls(screenSaver, kScreenSaverPath) == 2; }));
        EXPECT_TRUE(testsupport::waitUntil([&] { return heldCount(screenSaver) == 1; }))
            << "the first, released before its answer, was let go once it came";
    }
    EXPECT_TRUE(testsupport::waitUntil([&] { return heldCount(screenSaver) == 0; }));
    EXPECT_TRUE(lost.empty());
}

TEST_F(ScreenSaverInhibitorSystemTest, NothingToAskIsUnavailable)
{
    ScreenSaverInhibitor inhibitor(bus);
    EXPECT_FALSE(inhibitor.isAvailable());
    EXPECT_FALSE(inhibitor.inhibit("reason"));
}

} // namespace
