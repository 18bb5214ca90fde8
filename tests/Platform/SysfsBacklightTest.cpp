#include "Platform/Display/SysfsBacklight.h"

#include "FakeSysfs.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using testsupport::FakeSysfs;
using Kind = SysfsBacklight::Kind;

TEST(SysfsBacklight, PrefersFirmwareThenPlatformThenRawPanelsAndNamedKeyboardLeds)
{
    struct Row {
        const char* why;
        std::function<void(FakeSysfs&)> devices;
        Kind kind;
        const char* expected; // nullptr: none
    };
    const Row rows[] = {
        {"firmware before platform before raw",
         [](FakeSysfs& sys) {
             sys.addBacklight("intel_backlight", "raw", 1, 100);
             sys.addBacklight("dell_backlight", "platform", 1, 15);
             sys.addBacklight("acpi_video0", "firmware", 1, 10);
         },
         Kind::display, "acpi_video0"},
        {"platform before raw",
         [](FakeSysfs& sys) {
             sys.addBacklight("amdgpu_bl0", "raw", 1, 255);
             sys.addBacklight("thinkpad_screen", "platform", 1, 15);
         },
         Kind::display, "thinkpad_screen"},
        {"by name within a type",
         [](FakeSysfs& sys) {
             sys.addBacklight("intel_backlight", "raw", 1, 100);
             sys.addBacklight("amdgpu_bl1", "raw", 1, 255);
         },
         Kind::display, "amdgpu_bl1"},
        {"an unknown type comes last",
         [](FakeSysfs& sys) {
             sys.addBacklight("a_odd", "strange", 1, 10);
             sys.addBacklight("z_raw", "raw", 1, 10);
         },
         Kind::display, "z_raw"},
        {"a device with max 0 cannot be set and is passed over",
         [](FakeSysfs& sys) {
             sys.addBacklight("acpi_video0", "firmware", 0, 0);
             sys.addBacklight("intel_backlight", "raw", 1, 100);
         },
         Kind::display, "intel_backlight"},
        {"a device without max_brightness is passed over",
         [](FakeSysfs& sys) {
             const auto folder = sys.addBacklight("acpi_video0", "firmware", 1, 10);
             std::filesystem::remove(folder / "max_brightness");
         },
         Kind::display, nullptr},
        {"no backlight class at all", [](FakeSysfs&) {}, Kind::display, nullptr},
        {"the keyboard LED among others",
         [](FakeSysfs& sys) {
             sys.addLed("input3::capslock", 0, 1);
             sys.addLed("tpacpi::kbd_backlight", 1, 2);
             sys.addLed("platform::micmute", 0, 1);
         },
         Kind::keyboard, "tpacpi::kbd_backlight"},
        {"a numbered keyboard LED counts",
         [](FakeSysfs& sys) { sys.addLed("asus::kbd_backlight_1", 1, 3); }, Kind::keyboard,
         "asus::kbd_backlight_1"},
        {"an LED merely called kbd_backlight has no device part",
         [](FakeSysfs& sys) { sys.addLed("kbd_backlight", 1, 3); }, Kind::keyboard, nullptr},
        {"panels are not keyboards",
         [](FakeSysfs& sys) { sys.addBacklight("intel_backlight", "raw", 1, 100); }, Kind::keyboard, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        FakeSysfs sys;
        row.devices(sys);
        const auto device = SysfsBacklight::find(row.kind, sys.root());
        if (!row.expected) {
            EXPECT_FALSE(device.has_value());
            continue;
        }
        ASSERT_TRUE(device.has_value());
        EXPECT_EQ(device->name, row.expected);
        EXPECT_EQ(device->subsystem, row.kind == Kind::display ? "backlight" : "leds");
    }
}

TEST(SysfsBacklight, ReadsTheLevelAsBrightnessOverMax)
{
    FakeSysfs sys;
    const auto folder = sys.addBacklight("intel_backlight", "raw", 48000, 96000);
    SysfsBacklight backlight(Kind::display, sys.root(), nullptr);
    ASSERT_TRUE(backlight.isAvailable());
    EXPECT_EQ(backlight.level(), 0.5);

    struct Row {
        const char* text;
        std::optional<double> level;
    };
    const Row rows[] = {
        {"96000", 1.0},
        {" 24000 \n", 0.25},
        {"120000\n", 1.25}, // reported as it is; the services refuse it
        {"", std::nullopt},
        {"-5\n", std::nullopt},
        {"12abc\n", std::nullopt},
        {"99999999999999999999\n", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        FakeSysfs::write(folder / "brightness", row.text);
        EXPECT_EQ(backlight.level(), row.level);
    }

    std::filesystem::remove(folder / "brightness");
    EXPECT_EQ(backlight.level(), std::nullopt);
    // Something that is not a regular file is never read (a FIFO would block).
    ASSERT_EQ(::mkfifo((folder / "brightness").c_str(), 0644), 0);
    EXPECT_EQ(backlight.level(), std::nullopt);
}

TEST(SysfsBacklight, WritesTheNearestStepAndAtLeastOneStepTowardANewLevel)
{
    struct Row {
        const char* why;
        std::uint32_t max;
        std::uint32_t current;
        double level;
        std::uint32_t written;
    };
    const Row rows[] = {
        {"a plain ratio", 96000, 48000, 0.525, 50400},
        {"the top", 96000, 48000, 1.0, 96000},
        {"off", 96000, 48000, 0.0, 0},
        {"rounds to the nearest step", 255, 100, 0.5, 128},
        {"a 1/16 step up on a 3-step keyboard still moves", 3, 0, 0.0625, 1},
        {"a 1/16 step down on a 3-step keyboard still moves", 3, 1, 1.0 / 3 - 0.0625, 0},
        {"a 1/64 step on a 2-step keyboard at the top moves down", 2, 2, 1 - 1.0 / 64, 1},
        {"the same level stays where it is", 3, 1, 1.0 / 3, 1},
        {"nothing above the top", 3, 3, 1.0, 3},
        {"nothing below off", 3, 0, 0.0, 0},
        {"out-of-range levels are clamped", 100, 50, 1.7, 100},
        {"NaN is clamped to off", 100, 50, std::nan(""), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        FakeSysfs sys;
        const auto folder = sys.addLed("tpacpi::kbd_backlight", row.current, row.max);
        SysfsBacklight backlight(Kind::keyboard, sys.root(), nullptr);
        EXPECT_TRUE(backlight.setLevel(row.level));
        EXPECT_EQ(FakeSysfs::brightness(folder), std::to_string(row.written));
    }
}

TEST(SysfsBacklight, RefusesAReadOnlyFileOrNoDeviceAndLeavesItAlone)
{
    FakeSysfs sys;
    const auto folder = sys.addBacklight("intel_backlight", "raw", 48000, 96000);
    FakeSysfs::makeReadOnly(folder);
    SysfsBacklight backlight(Kind::display, sys.root(), nullptr);
    EXPECT_FALSE(backlight.setLevel(0.9));
    EXPECT_EQ(FakeSysfs::brightness(folder), "48000");

    SysfsBacklight none(Kind::display, sys.root() / "nothing", nullptr);
    EXPECT_FALSE(none.isAvailable());
    EXPECT_FALSE(none.setLevel(0.5));
    EXPECT_EQ(none.level(), std::nullopt);
    EXPECT_EQ(none.description(), "none");
}

TEST(SysfsBacklight, DescribesItsDeviceAndHowItIsSet)
{
    FakeSysfs sys;
    sys.addBacklight("intel_backlight", "raw", 1, 10);
    sys.addLed("tpacpi::kbd_backlight", 1, 2);
    EXPECT_EQ(SysfsBacklight(Kind::display, sys.root(), nullptr).description(),
              "sysfs backlight intel_backlight (raw), set directly");
    EXPECT_EQ(SysfsBacklight(Kind::keyboard, sys.root(), std::make_shared<LogindBrightness>(QDBusConnection("none")))
                  .description(),
              "sysfs leds tpacpi::kbd_backlight, set through logind");
}

} // namespace
