#include "VudeServices/VudeFocusFilter.h"

#include "FocusTestSupport.h"
#include "VudeKit/UserDefaults.h"

#include <gtest/gtest.h>

namespace {

constexpr auto kName = FocusFilterBridge::kModeNameKey;
constexpr auto kSymbol = FocusFilterBridge::kModeSymbolKey;

// A bridge over its own defaults and a service whose Focus is on, with the
// symbol "moon.fill".
class FocusFilterTest : public FocusServiceFixture {
protected:
    FocusFilterTest() { makeService(true, true); }

    std::optional<std::string> stored(const char* key) const { return defaults->stringForKey(key); }

    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    FocusFilterBridge bridge{defaults};
};

TEST_F(FocusFilterTest, TheFilterDescribesItself)
{
    EXPECT_EQ(VudeFocusFilter::title, "Show Focus in the notch");
    EXPECT_EQ(VudeFocusFilter::description,
              "Lets Vude show which Focus is on. Without this, Vude can tell that a Focus is active but not which "
              "one, and shows a generic pill.");
    EXPECT_EQ(VudeFocusFilter::showInNotchTitle, "Show a pill when this Focus turns on");
    EXPECT_EQ(VudeFocusFilter::modeNameTitle, "Focus name");
    EXPECT_EQ(VudeFocusFilter::symbolNameTitle, "Focus symbol");
    EXPECT_EQ(VudeFocusFilter{}, (VudeFocusFilter{.showInNotch = true}));

    using Shown = VudeFocusFilter::DisplayRepresentation;
    EXPECT_EQ(VudeFocusFilter{}.displayRepresentation(), (Shown{"Focus", "Shown in the notch"}));
    EXPECT_EQ((VudeFocusFilter{.showInNotch = false, .modeName = "Work"}.displayRepresentation()),
              (Shown{"Work", "Hidden"}));
}

TEST_F(FocusFilterTest, PerformAppliesTheIdentityOnlyWhenItShowsAPill)
{
    bridge.restore(*service);
    VudeFocusFilter{.modeName = "Work", .symbolName = "briefcase.fill"}.perform(bridge);
    EXPECT_EQ(stored(kName), "Work");
    EXPECT_EQ(stored(kSymbol), "briefcase.fill");
    EXPECT_EQ(waitForStates(1), (FocusModeState{.modeName = "Work", .symbol = "briefcase.fill"}));

    VudeFocusFilter{.showInNotch = false, .modeName = "Work", .symbolName = "briefcase.fill"}.perform(bridge);
    EXPECT_EQ(stored(kName), std::nullopt);
    EXPECT_EQ(stored(kSymbol), std::nullopt);
    EXPECT_EQ(waitForStates(2), (FocusModeState{.symbol = "briefcase.fill"}))
        << "the name is cleared, the symbol stays until another is given";
}

TEST_F(FocusFilterTest, ApplyStoresAndHandsOnOnlyOnceAServiceIsKnown)
{
    bridge.apply("Work", std::nullopt);
    EXPECT_EQ(stored(kName), "Work");
    EXPECT_EQ(stored(kSymbol), std::nullopt);
    EXPECT_EQ(settledCount(), 0u) << "no service yet";
    EXPECT_EQ(bridge.service(), nullptr);

    bridge.restore(*service);
    EXPECT_EQ(bridge.service(), service.get());
    EXPECT_EQ(waitForStates(1), (FocusModeState{.modeName = "Work"}));

    service.reset();
    bridge.apply("Later", "sun.max.fill");
    EXPECT_EQ(bridge.service(), nullptr) << "held weakly";
    EXPECT_EQ(stored(kName), "Later");
}

TEST_F(FocusFilterTest, RestoreHandsOverWhateverIsStored)
{
    struct Row {
        DefaultsValue::Dictionary stored;
        std::optional<FocusModeState> expected;
        const char* why;
    } rows[] = {
        {{}, std::nullopt, "neither key: the service is not touched"},
        {{{kSymbol, "bed.double.fill"}}, FocusModeState{.symbol = "bed.double.fill"}, "only a symbol"},
        {{{kName, "Sleep"}}, FocusModeState{.modeName = "Sleep"}, "only a name"},
        {{{kName, "Sleep"}, {kSymbol, "bed.double.fill"}},
         FocusModeState{.modeName = "Sleep", .symbol = "bed.double.fill"}, "both"},
        {{{kName, 42}, {kSymbol, true}}, std::nullopt, "values of another kind count as absent"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        received.clear();
        makeService(true, false);
        FocusFilterBridge fresh(std::make_shared<InMemoryUserDefaults>(row.stored));
        fresh.restore(*service);
        EXPECT_EQ(fresh.service(), service.get());
        if (row.expected) {
            EXPECT_EQ(waitForStates(1), *row.expected);
        }
        EXPECT_EQ(settledCount(), row.expected ? 1u : 0u);
    }
}

TEST_F(FocusFilterTest, TheSharedBridgeUsesTheStandardDefaults)
{
    const auto standard = std::make_shared<InMemoryUserDefaults>();
    UserDefaults::installStandard(standard);
    VudeFocusFilter{.modeName = "Work"}.perform();
    EXPECT_EQ(standard->stringForKey(kName), "Work");
    EXPECT_EQ(&FocusFilterBridge::shared(), &FocusFilterBridge::shared());
    UserDefaults::installStandard(nullptr);
}

} // namespace
