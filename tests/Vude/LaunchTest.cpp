#include "Vude/App/Launch.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(Launch, PlatformIsQtsFirstChoiceWithoutOptionsElseX11)
{
    const struct {
        std::map<std::string, std::string> environment;
        std::string platform;
    } rows[] = {
        {{}, "xcb"},
        {{{"QT_QPA_PLATFORM", ""}}, "xcb"},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, "offscreen"},
        {{{"QT_QPA_PLATFORM", "offscreen:configfile=/tmp/screens.json"}}, "offscreen"},
        {{{"QT_QPA_PLATFORM", "wayland;xcb"}}, "wayland"},
        {{{"QT_QPA_PLATFORM", "xcb:nograb"}}, "xcb"},
    };
    for (const auto& row : rows) {
        const auto chosen = row.environment.empty() ? "(unset)" : row.environment.begin()->second;
        EXPECT_EQ(Launch::platformName(Environment::fixed(row.environment)), row.platform) << chosen;
    }
}

TEST(Launch, OnlyAnX11DisplayThatCannotBeReachedStopsTheStart)
{
    std::string probed;
    const auto probe = [&](const std::string& display) {
        probed = display;
        return display == ":0";
    };
    const struct {
        std::string platform;
        std::map<std::string, std::string> environment;
        bool stops;
        const char* why;
    } rows[] = {
        {"xcb", {{"DISPLAY", ":0"}}, false, "an X server answers"},
        {"xcb", {}, true, "no DISPLAY"},
        {"xcb", {{"DISPLAY", ""}}, true, "an empty DISPLAY"},
        {"xcb", {{"DISPLAY", ":7"}}, true, "no X server answers"},
        {"offscreen", {}, false, "needs no display"},
        {"wayland", {}, false, "left to Qt"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto line = Launch::missingDisplayLine(row.platform, Environment::fixed(row.environment), probe);
        EXPECT_EQ(line.has_value(), row.stops);
        if (line) {
            EXPECT_TRUE(line->starts_with("vude: no display found")) << *line;
            EXPECT_EQ(line->find('\n'), std::string::npos) << "one line";
        }
    }
    EXPECT_EQ(probed, ":7") << "the probe is asked for DISPLAY as it is";
    EXPECT_NE(Launch::missingDisplayLine("xcb", Environment::fixed({{"DISPLAY", ":7"}}), probe)->find("\":7\""),
              std::string::npos)
        << "the line names the display it tried";
}

TEST(Launch, RunningLineNamesTheDisplayOrThePlatform)
{
    EXPECT_EQ(Launch::runningLine("xcb", Environment::fixed({{"DISPLAY", ":1"}})),
              "Vude is running on display :1; quit with Ctrl-C");
    EXPECT_EQ(Launch::runningLine("offscreen", Environment::fixed({{"DISPLAY", ":1"}})),
              "Vude is running on the offscreen platform; quit with Ctrl-C");
}

} // namespace
