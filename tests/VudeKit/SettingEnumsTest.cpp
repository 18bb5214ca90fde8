#include "VudeKit/SettingEnums.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct CaseRow {
    std::string_view raw;
    std::string_view label; // empty where the enumeration has no labels
};

// Checks order, raw names, labels and the round trip of one enumeration.
template <DescribedEnum E>
void expectCases(const std::vector<CaseRow>& expected)
{
    const auto cases = allCases<E>();
    ASSERT_EQ(cases.size(), expected.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(std::string(expected[i].raw));
        EXPECT_EQ(rawValue(cases[i]), expected[i].raw);
        EXPECT_EQ(displayName(cases[i]), expected[i].label);
        EXPECT_EQ(enumFromRaw<E>(expected[i].raw), cases[i]);
    }
}

TEST(SettingEnums, CasesLabelsAndRoundTrips)
{
    expectCases<ScreenPolicy>({{"notchedOnly", "Notched screens only"},
                               {"primaryOnly", "Primary screen only"},
                               {"allScreens", "All screens"}});
    expectCases<FullscreenPolicy>({{"notchedOnly", ""}, {"always", ""}, {"never", ""}});
    expectCases<AppearanceMode>({{"system", ""}, {"dark", ""}, {"light", ""}});
    expectCases<BarStyle>({{"white", "White"}, {"accent", "Accent"}, {"glow", "Glow"}, {"decibel", "Decibel"}});
    expectCases<HUDSpeed>({{"smooth", "Smooth"}, {"fast", "Fast"}, {"instant", "Instant"}});
    expectCases<SoundTrailing>({{"symbol", "Symbol"}, {"device", "Device name"}});
    expectCases<KeepAwakeDurationSetting>({{"indefinite", "Until I turn it off"},
                                           {"thirtyMinutes", "30 minutes"},
                                           {"oneHour", "1 hour"},
                                           {"twoHours", "2 hours"}});
    expectCases<MediaBarStyle>({{"monochrome", "Monochrome"}, {"colored", "Artwork colour"}, {"gradient", "Gradient"}});
}

TEST(SettingEnums, NamesDifferingInCaseOrSpacingParseToNone)
{
    for (const auto* text : {"AllScreens", "allscreens", "all Screens", " allScreens", "allScreens\n"})
        EXPECT_EQ(enumFromRaw<ScreenPolicy>(text), std::nullopt) << text;
    EXPECT_EQ(enumFromRaw<FullscreenPolicy>("Always"), std::nullopt);
    EXPECT_EQ(enumFromRaw<MediaBarStyle>("coloured"), std::nullopt);
    EXPECT_EQ(enumFromRaw<KeepAwakeDurationSetting>("30 minutes"), std::nullopt) << "labels are not stored names";
}

} // namespace
