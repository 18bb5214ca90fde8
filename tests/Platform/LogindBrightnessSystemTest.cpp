#include "Platform/Display/LogindBrightness.h"
#include "Platform/Display/SysfsBacklight.h"

#include "FakeSysfs.h"
#include "PrivateBusTest.h"
#include "TestSupport.h"

#include <QDBusArgument>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <optional>
#include <vector>

namespace {

using testsupport::FakeSysfs;
using Kind = SysfsBacklight::Kind;

constexpr auto kLogind = "org.freedesktop.login1";
constexpr auto kSession = "/org/freedesktop/login1/session/auto";

struct SetBrightnessCall {
    QString subsystem;
    QString name;
    uint value = 0;
    bool operator==(const SetBrightnessCall&) const = default;
};

void PrintTo(const SetBrightnessCall& call, std::ostream* out)
{
    *out << "SetBrightness(" << call.subsystem.toStdString() << ", " << call.name.toStdString() << ", " << call.value
         << ")";
}

// A private bus standing in for the system bus, with dbusmock's logind on it.
class LogindBrightnessTest : public testsupport::PrivateBusTest {
protected:
    /// Starts the fake logind and waits until its session answers.
    void startLogind(const QString& parameters = "{}")
    {
        ASSERT_TRUE(fakeLogind.start(buses(), testsupport::dbusmockTemplate("logind_session.py"), true, parameters));
        // The name is taken before the template has added the session.
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return fakeLogind.mock("ClearCalls").type() == QDBusMessage::ReplyMessage; },
            std::chrono::seconds(10)));
    }

    /// Every SetBrightness the fake session has received, in order.
    std::vector<SetBrightnessCall> calls()
    {
        const QDBusMessage reply = fakeLogind.mock("GetMethodCalls", {QString("SetBrightness")});
        EXPECT_TRUE(testsupport::replied(reply));
        std::vector<SetBrightnessCall> result;
        if (reply.arguments().isEmpty())
            return result;
        const auto list = reply.arguments().at(0).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            quint64 time = 0;
            QVariantList arguments;
            list.beginStructure();
            list >> time >> arguments;
            list.endStructure();
            if (arguments.size() == 3)
                result.push_back({arguments[0].toString(), arguments[1].toString(), arguments[2].toUInt()});
        }
        list.endArray();
        return result;
    }

    std::shared_ptr<LogindBrightness> logind() { return std::make_shared<LogindBrightness>(systemBus()); }

    /// Sets and waits for the outcome: whether the device took it.
    static std::optional<bool> setAndWait(SysfsBacklight& backlight, double level)
    {
        std::optional<bool> taken;
        backlight.setLevel(level, [&](bool result) { taken = result; });
        testsupport::waitUntil([&] { return taken.has_value(); }, std::chrono::seconds(5));
        return taken;
    }

    testsupport::MockDBusService fakeLogind{systemBus(), kLogind, kSession};
};

TEST_F(LogindBrightnessTest, SetsThePanelAndTheKeyboardThroughTheSession)
{
    startLogind();
    FakeSysfs sys;
    const auto panel = sys.addBacklight("intel_backlight", "raw", 48000, 96000);
    const auto keyboard = sys.addLed("tpacpi::kbd_backlight", 0, 3);
    const auto writer = logind();
    SysfsBacklight display(Kind::display, sys.root(), writer);
    SysfsBacklight keys(Kind::keyboard, sys.root(), writer);

    EXPECT_EQ(setAndWait(display, 0.525), true);
    EXPECT_EQ(setAndWait(keys, 1.0 / 16), true);

    EXPECT_EQ(calls(), (std::vector<SetBrightnessCall>{{"backlight", "intel_backlight", 50400},
                                                       {"leds", "tpacpi::kbd_backlight", 1}}));
    // logind writes the device; the files were left to it.
    EXPECT_EQ(FakeSysfs::brightness(panel), "48000");
    EXPECT_EQ(FakeSysfs::brightness(keyboard), "0");
}

TEST_F(LogindBrightnessTest, FallsBackToTheFileWhenLogindRefusesOrIsAbsent)
{
    FakeSysfs sys;
    const auto panel = sys.addBacklight("intel_backlight", "raw", 48000, 96000);

    {
        SCOPED_TRACE("no logind on the bus");
        SysfsBacklight display(Kind::display, sys.root(), logind());
        EXPECT_EQ(setAndWait(display, 0.25), true);
        EXPECT_EQ(FakeSysfs::brightness(panel), "24000");
    }

    startLogind(R"({"refuse": true})");
    SysfsBacklight display(Kind::display, sys.root(), logind());
    {
        SCOPED_TRACE("logind refuses: the file is written");
        EXPECT_EQ(setAndWait(display, 0.75), true);
        EXPECT_EQ(calls(), (std::vector<SetBrightnessCall>{{"backlight", "intel_backlight", 72000}}));
        EXPECT_EQ(FakeSysfs::brightness(panel), "72000");
    }
    {
        SCOPED_TRACE("logind refuses and the file is read-only: the set fails");
        FakeSysfs::makeReadOnly(panel);
        EXPECT_EQ(setAndWait(display, 0.1), false);
        EXPECT_EQ(FakeSysfs::brightness(panel), "72000");
    }
}

TEST_F(LogindBrightnessTest, AStuckLogindCostsOneTimeoutThenIsLeftAlone)
{
    startLogind(R"({"stall": true})");
    FakeSysfs sys;
    const auto panel = sys.addBacklight("intel_backlight", "raw", 48000, 96000);
    SysfsBacklight display(Kind::display, sys.root(), logind());

    EXPECT_EQ(setAndWait(display, 0.25), true) << "written directly once logind timed out";
    EXPECT_EQ(FakeSysfs::brightness(panel), "24000");
    EXPECT_TRUE(display.setLevel(0.5)) << "logind is not asked again: written at once";
    EXPECT_EQ(FakeSysfs::brightness(panel), "48000");
    // Only the first set asked logind (the mock logs a call as it starts).
    ASSERT_TRUE(testsupport::waitUntil([&] { return !calls().empty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(calls(), (std::vector<SetBrightnessCall>{{"backlight", "intel_backlight", 24000}}));
}

// Key presses while logind is stopped: each set returns at once and steps
// on from the one before, and the newest lands once logind's time is up.
TEST_F(LogindBrightnessTest, SetsWhileLogindIsStoppedStepOnFromEachOtherAndLand)
{
    startLogind();
    FakeSysfs sys;
    const auto keyboard = sys.addLed("tpacpi::kbd_backlight", 0, 3);
    SysfsBacklight keys(Kind::keyboard, sys.root(), logind());

    const auto pid = pid_t(fakeLogind.pid());
    testsupport::StoppedProcess stopped(pid);
    ASSERT_TRUE(stopped.isStopped());
    std::vector<bool> outcomes;
    for (const double step : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE(step);
        // As the key handler does: the level read, one 1/16 step up.
        const double level = keys.level().value_or(-1);
        EXPECT_TRUE(keys.setLevel(level + 1.0 / 16, [&](bool taken) { outcomes.push_back(taken); }));
        EXPECT_EQ(keys.level(), step / 3) << "a three-step keyboard moves one whole step a press";
    }
    EXPECT_EQ(FakeSysfs::brightness(keyboard), "0") << "nothing landed while logind was stopped";

    ASSERT_TRUE(testsupport::waitUntil([&] { return outcomes.size() == 3; }, std::chrono::seconds(5)));
    EXPECT_EQ(outcomes, (std::vector{true, true, true}));
    EXPECT_EQ(FakeSysfs::brightness(keyboard), "3");
    EXPECT_EQ(keys.level(), 1.0);
    stopped.resume();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !calls().empty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(calls(), (std::vector<SetBrightnessCall>{{"leds", "tpacpi::kbd_backlight", 1}}))
        << "only the first set asked logind";
}

} // namespace
