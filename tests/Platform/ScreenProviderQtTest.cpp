#include "Platform/Display/ScreenProvider.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

ScreenDescription screen(std::string name, Rect frame, bool isPrimary = false)
{
    ScreenDescription description;
    description.name = name;
    description.displayNumber = displayNumberFor(name);
    description.frame = frame;
    description.visibleFrame = frame;
    description.isPrimary = isPrimary;
    return description;
}

TEST(ScreenProvider, DisplayNumbersAreStableNonZeroAndZeroOnlyWithoutAName)
{
    EXPECT_EQ(displayNumberFor(""), 0u);
    EXPECT_NE(displayNumberFor("eDP-1"), 0u);
    EXPECT_EQ(displayNumberFor("eDP-1"), displayNumberFor(std::string("eDP-") + "1"));
    EXPECT_NE(displayNumberFor("HDMI-1"), displayNumberFor("HDMI-2"));
    // Fixed so that a display number stored or reported today reads the same
    // in the next release.
    EXPECT_EQ(displayNumberFor("a"), 0xe40c292cu);
}

TEST(ScreenProvider, ScreenAtExcludesTheRightAndBottomEdges)
{
    FakeScreenProvider provider;
    provider.setScreens({screen("left", {0, 0, 1920, 1080}, true), screen("right", {1920, 0, 1280, 800})});

    struct Row {
        Point point;
        const char* expected; // nullptr: no screen
        const char* why;
    };
    const Row rows[] = {
        {{0, 0}, "left", "the top-left corner belongs to the screen"},
        {{1919.5, 1079.5}, "left", "inside the last pixel"},
        {{1920, 10}, "right", "the shared edge belongs to the right screen only"},
        {{100, 1080}, nullptr, "the bottom edge is outside"},
        {{2000, 900}, nullptr, "below the shorter screen"},
        {{-1, 10}, nullptr, "left of everything"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const auto found = provider.screenAt(row.point);
        if (!row.expected) {
            EXPECT_FALSE(found.has_value());
            continue;
        }
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->name, row.expected);
    }
}

TEST(ScreenProvider, PrimaryScreenFallsBackToTheFirstAndToNone)
{
    FakeScreenProvider provider;
    EXPECT_FALSE(provider.primaryScreen().has_value());

    provider.setScreens({screen("a", {0, 0, 100, 100}), screen("b", {100, 0, 100, 100}, true)});
    EXPECT_EQ(provider.primaryScreen()->name, "b");

    provider.setScreens({screen("a", {0, 0, 100, 100}), screen("b", {100, 0, 100, 100})});
    EXPECT_EQ(provider.primaryScreen()->name, "a");
}

TEST(ScreenProvider, FakeAnnouncesEveryChange)
{
    FakeScreenProvider provider;
    QSignalSpy spy(&provider, &ScreenProvider::screensChanged);
    provider.setScreens({screen("a", {0, 0, 100, 100}, true)});
    provider.setScreens({});
    EXPECT_EQ(spy.count(), 2);
}

TEST(ScreenProvider, QtProviderDescribesTheWindowingSystemsScreens)
{
    QtScreenProvider provider;
    const std::vector<ScreenDescription> screens = provider.screens();
    ASSERT_EQ(screens.size(), size_t(QGuiApplication::screens().size()));
    ASSERT_FALSE(screens.empty());

    const QScreen* primary = QGuiApplication::primaryScreen();
    const ScreenDescription& first = screens.front();
    EXPECT_TRUE(first.isPrimary);
    EXPECT_EQ(first.name, primary->name().toStdString());
    EXPECT_EQ(first.displayNumber, displayNumberFor(first.name));
    EXPECT_EQ(first.frame, (Rect{double(primary->geometry().x()), double(primary->geometry().y()),
                                 double(primary->geometry().width()), double(primary->geometry().height())}));
    EXPECT_EQ(first.safeAreaTop, 0);
    EXPECT_FALSE(first.auxiliaryTopLeftArea.has_value());
    EXPECT_GE(first.maximumFramesPerSecond, 1);
}

} // namespace
