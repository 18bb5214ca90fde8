#include "Vude/Onboarding/OnboardingContent.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace OnboardingContent;
using Step = OnboardingModel::Step;
using State = Permission::State;

TEST(OnboardingContentTest, EachStepHasItsHeroCopyAndButtons)
{
    struct Row {
        Step step;
        std::optional<NotchDemo::Script> hero;
        std::string_view eyebrow;
        std::string_view title;
        bool back;
        std::string_view primary;
    };
    const Row rows[] = {
        {Step::welcome, NotchDemo::Script::overview, "Welcome", "The notch, put to work", false, "Continue"},
        {Step::gestures, NotchDemo::Script::gestures, "Step 2 \u2014 Gestures", "Four gestures, that's all", true,
         "Continue"},
        {Step::media, NotchDemo::Script::media, "Step 3 \u2014 Media", "What's playing, from any app", true, "Continue"},
        {Step::permissions, std::nullopt, "Step 4 \u2014 Permissions", "Two things to allow", true, "Continue"},
        {Step::ravo, NotchDemo::Script::ravo, "Step 5 \u2014 The Desk", "A drawer behind the notch", true,
         "Start using Vude"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(rawValue(row.step)));
        EXPECT_EQ(hero(row.step), row.hero);
        EXPECT_EQ(copy(row.step).eyebrow, row.eyebrow);
        EXPECT_EQ(copy(row.step).title, row.title);
        EXPECT_FALSE(copy(row.step).body.empty());
        EXPECT_EQ(showsBack(row.step), row.back);
        EXPECT_EQ(primaryTitle(row.step), row.primary);
        EXPECT_EQ(note(row.step).empty(), row.step != Step::media);
    }
    // The other desktop's words never show.
    EXPECT_EQ(std::string(copy(Step::media).body).find("macOS"), std::string::npos);
    EXPECT_EQ(std::string(note(Step::media)).find("macOS"), std::string::npos);
}

TEST(OnboardingContentTest, ARowOffersWhatItsStateAllows)
{
    struct Row {
        State state;
        RowControl control;
        std::string_view detail;
    };
    const Row rows[] = {
        {State::granted, RowControl::on, "Show when your AirPods and other devices connect, and their battery."},
        {State::denied, RowControl::openSettings, "No connect or battery pills. Everything else is unaffected."},
        {State::notDetermined, RowControl::allow, "No connect or battery pills. Everything else is unaffected."},
        {State::unknown, RowControl::allow, "No connect or battery pills. Everything else is unaffected."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(rawValue(row.state)));
        const auto shown = OnboardingContent::row(Permission::bluetooth, row.state);
        EXPECT_EQ(shown.title, "Bluetooth");
        EXPECT_EQ(shown.symbol, "airpods.gen3");
        EXPECT_EQ(shown.control, row.control);
        EXPECT_EQ(shown.detail, row.detail);
        EXPECT_EQ(shown.openTitle.empty(), row.control != RowControl::openSettings);
    }
    EXPECT_EQ(OnboardingContent::row(Permission::bluetooth, State::denied).openTitle, "Open Bluetooth Settings");
    EXPECT_EQ(OnboardingContent::row(Permission::inputMonitoring, State::denied).openTitle, "Open Help");
}

TEST(OnboardingContentTest, StuckHelpSaysWhatIsReallyInTheWay)
{
    struct Row {
        const char* why;
        Permission permission;
        BluetoothStackStatus stack;
        std::size_t steps;
        std::string_view first;
        std::string_view open;
    };
    const Row rows[] = {
        {"keys outside X11", Permission::inputMonitoring, {}, 4,
         "Vude reads the keys through X11, and this session isn't X11.", "Open Help"},
        {"no BlueZ", Permission::bluetooth, {}, 4, "Vude can't reach BlueZ, the system's Bluetooth service.",
         "Open Bluetooth Settings"},
        {"refused by the system", Permission::bluetooth, {.reachable = true, .accessDenied = true}, 4,
         "Vude can't reach BlueZ, the system's Bluetooth service.", "Open Bluetooth Settings"},
        {"no adapter", Permission::bluetooth, {.reachable = true}, 2, "This computer has no Bluetooth adapter.",
         "Open Bluetooth Settings"},
        {"adapter blocked", Permission::bluetooth, {.reachable = true, .hasAdapter = true}, 4,
         "Your Bluetooth adapter is switched off or blocked.", "Open Bluetooth Settings"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const auto help = stuckHelp(row.permission, row.stack);
        ASSERT_EQ(help.steps.size(), row.steps);
        EXPECT_EQ(help.steps.front(), row.first);
        EXPECT_EQ(help.openTitle, row.open);
    }
}

} // namespace
