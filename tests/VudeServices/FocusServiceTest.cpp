#include "VudeServices/FocusService.h"

#include "FocusTestSupport.h"

#include <gtest/gtest.h>

namespace {

using FocusServiceTest = FocusServiceFixture;

const FocusModeState off{};
const FocusModeState on{.isActive = true};

TEST_F(FocusServiceTest, StartPublishesTheDesktopsValueNeverAGuess)
{
    struct Row {
        bool available;
        bool on;
        FocusModeState expected;
        const char* why;
    } rows[] = {
        {true, false, off, "Do Not Disturb off at launch reads off, not flipped on"},
        {true, true, on, "on at launch"},
        {false, true, off, "a desktop that cannot say reads off"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        received.clear();
        makeService(row.available, row.on);
        EXPECT_EQ(service->state(), off) << "nothing is read before start()";
        service->start();
        EXPECT_EQ(waitForStates(1), row.expected);
        EXPECT_EQ(settledCount(), 1u);
        EXPECT_FALSE(service->hasRichIdentity());
    }
}

TEST_F(FocusServiceTest, EachChangePublishesTheNewValueBothWays)
{
    makeService();
    service->start();
    waitForStates(1);
    source->setFocusOn(true);
    EXPECT_EQ(waitForStates(2), on);
    source->setFocusOn(false);
    EXPECT_EQ(waitForStates(3), off);
    source->setAvailable(false);
    EXPECT_EQ(waitForStates(4), off) << "the desktop went quiet: off, not stuck on";
}

TEST_F(FocusServiceTest, WithoutAnySourceFocusStaysOff)
{
    makeService(std::unique_ptr<FocusStateSource>());
    service->start();
    EXPECT_EQ(waitForStates(1), off);
    service->start();
    EXPECT_EQ(waitForStates(2), off) << "every refresh reads off, it never flips";
}

TEST_F(FocusServiceTest, APendingDesktopPublishesItsAnswerFirst)
{
    makeService(true, true);
    source->setPending(true);
    service->start();
    EXPECT_EQ(settledCount(), 0u) << "no guess before the desktop answers";
    source->setPending(false);
    EXPECT_EQ(waitForStates(1), on);
    EXPECT_EQ(settledCount(), 1u);
}

TEST_F(FocusServiceTest, StopEndsFollowingAndKeepsTheLastState)
{
    makeService();
    service->start();
    source->setFocusOn(true);
    waitForStates(2);
    service->stop();
    EXPECT_FALSE(source->isStarted());
    source->setFocusOn(false);
    EXPECT_EQ(settledCount(), 2u);
    EXPECT_EQ(service->state(), on);
}

TEST_F(FocusServiceTest, TheStreamKeepsTheNewestTwoStates)
{
    makeService();
    service->start();
    source->setFocusOn(true);
    source->setFocusOn(false);
    source->setFocusOn(true);
    EXPECT_EQ(waitForStates(2), on);
    EXPECT_EQ(settledCount(), 2u) << "four states published, the oldest two dropped";
    EXPECT_EQ(received.front(), off);
}

TEST_F(FocusServiceTest, FilterIdentityReplacesTheNameAndOnlyAGivenSymbol)
{
    makeService(true, true);
    service->applyFilterIdentity("Work", "briefcase.fill");
    EXPECT_EQ(waitForStates(1), (FocusModeState{.modeName = "Work", .symbol = "briefcase.fill"}))
        << "published before start(), on/off untouched";

    service->start();
    EXPECT_EQ(waitForStates(2), (FocusModeState{.isActive = true, .modeName = "Work", .symbol = "briefcase.fill"}))
        << "the desktop's on/off keeps the filter's identity";

    service->applyFilterIdentity("Reading", std::nullopt);
    EXPECT_EQ(waitForStates(3), (FocusModeState{.isActive = true, .modeName = "Reading", .symbol = "briefcase.fill"}));
    service->applyFilterIdentity(std::nullopt, std::nullopt);
    const auto cleared = waitForStates(4);
    EXPECT_EQ(cleared.modeName, std::nullopt);
    EXPECT_EQ(cleared.displayName(), "Focus");
    EXPECT_EQ(cleared.symbol, "briefcase.fill");
}

TEST_F(FocusServiceTest, AReadableFocusDatabaseNamesTheMode)
{
    writeDatabase(R"({"data": [{"storeAssertionRecords": [
                      {"assertionDetails": {"assertionDetailsModeIdentifier": "w"}}]}]})",
                  R"({"data": [{"modeConfigurations": {"w": {"mode": {"name": "Deep Work"}}}}]})");
    makeService(true, false);
    service->start();
    EXPECT_TRUE(service->hasRichIdentity());
    EXPECT_EQ(waitForStates(1), (FocusModeState{.isActive = true, .modeName = "Deep Work", .symbol = "moon.fill"}))
        << "a mode without a symbol shows the moon";

    // No asserted mode: the desktop's value decides, and the name stays.
    writeDatabase(R"({"data": [{"storeAssertionRecords": []}]})", "{}");
    source->setFocusOn(true);
    source->setFocusOn(false);
    EXPECT_EQ(waitForStates(2), (FocusModeState{.modeName = "Deep Work", .symbol = "moon.fill"}));
}

TEST(FocusModeStateTest, DisplayNameFallsBackToFocus)
{
    EXPECT_EQ(FocusModeState{}.displayName(), "Focus");
    EXPECT_EQ(FocusModeState{.modeName = "Sleep"}.displayName(), "Sleep");
    EXPECT_EQ(FocusModeState{}.symbol, "moon.fill");
    EXPECT_NE((FocusModeState{.symbol = "bed.double.fill"}), FocusModeState{});
}

} // namespace
