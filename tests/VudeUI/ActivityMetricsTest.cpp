#include "VudeUI/ActivityMetrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

// GCC 12 at -O1 takes the inlined none() factories of the payload variants for
// reads of uninitialised alternatives; a known false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

/// Half a point per byte per point of size, plus a quarter point so every
/// width needs rounding up. Records what it was asked to measure.
class FakeMeasurer final : public TextMeasurer {
public:
    struct Call {
        std::string text;
        double size;
        Vude::FontWeight weight;
        bool operator==(const Call&) const = default;
        friend void PrintTo(const Call& call, std::ostream* out)
        {
            *out << '"' << call.text << "\" at " << call.size << " weight " << static_cast<int>(call.weight);
        }
    };

    double width(std::string_view text, double size, Vude::FontWeight weight) const override
    {
        calls.push_back({std::string(text), size, weight});
        return static_cast<double>(text.size()) * size * 0.5 + 0.25;
    }

    mutable std::vector<Call> calls;
};

ActivityPayload payload(const ActivityGlyph& leading, const std::optional<std::string>& title,
                        const std::optional<std::string>& subtitle, const ActivityTrailing& trailing)
{
    return ActivityPayload(Uuid(), ActivityKind::sound, ActivityPriority::interrupt, std::nullopt, leading, title,
                           subtitle, trailing, Duration(1500000), std::nullopt, kReferenceDate);
}

constexpr double kCutout = 180;
constexpr double kChrome = 24;

class ActivityMetricsTest : public testing::Test {
protected:
    FakeMeasurer measurer;
    ActivityMetrics metrics{measurer};
};

TEST_F(ActivityMetricsTest, TrailingWidths)
{
    using Weight = Vude::FontWeight;
    struct Row {
        ActivityTrailing trailing;
        double expected;
        std::vector<FakeMeasurer::Call> measured;
        const char* why;
    } rows[] = {
        {ActivityTrailing::none(), 0, {}, "nothing"},
        {ActivityTrailing::bar(0.5), 88, {}, "the bar"},
        {ActivityTrailing::waveform(true), 42, {}, "the waveform"},
        // "45%" is 3 bytes: 3 * 11 * 0.5 + 0.25 = 16.75, rounded up to 17.
        {ActivityTrailing::percent(0.456), 17 + 8, {{"45%", 11, Weight::medium}}, "percent, truncated"},
        {ActivityTrailing::percent(0.29), 17 + 8, {{"29%", 11, Weight::medium}}, "percent without binary error"},
        {ActivityTrailing::percent(std::nan("")), 12 + 8, {{"0%", 11, Weight::medium}}, "NaN percent"},
        {ActivityTrailing::text("3"), 6 + 8, {{"3", 11, Weight::medium}}, "text"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        measurer.calls.clear();
        EXPECT_EQ(metrics.trailingWidth(row.trailing), row.expected);
        EXPECT_EQ(measurer.calls, row.measured);
    }
}

TEST_F(ActivityMetricsTest, LeadingWidths)
{
    const auto glyph = ActivityGlyph::symbol("speaker.wave.2.fill");
    // "Volume": 6 * 13 * 0.5 + 0.25 = 39.25 -> 40. "Speakers": 8 * 11 * 0.5 + 0.25 -> 45.
    struct Row {
        ActivityGlyph leading;
        std::optional<std::string> title;
        std::optional<std::string> subtitle;
        bool expanded;
        double expected;
        const char* why;
    } rows[] = {
        {ActivityGlyph::none(), std::nullopt, std::nullopt, false, 0, "nothing at all"},
        {glyph, std::nullopt, std::nullopt, false, 27, "a glyph alone"},
        {glyph, "Volume", std::nullopt, false, 27 + 40, "compact, title only"},
        {glyph, "Volume", "Speakers", false, 27, "compact with a subtitle reserves no text"},
        {glyph, "Volume", "Speakers", true, 27 + 45, "expanded takes the wider line"},
        {glyph, "Volume", std::nullopt, true, 27 + 40, "expanded without a subtitle"},
        {ActivityGlyph::none(), std::nullopt, "Speakers", true, 45, "expanded, subtitle only"},
        {ActivityGlyph::progressRing(0.5), "Volume", std::nullopt, false, 27 + 40, "any glyph but none counts"},
        // Artwork is drawn 22 and 34 wide, 9 before the text: the title
        // must not lose the difference to a symbol.
        {ActivityGlyph::artwork(std::nullopt), "Volume", std::nullopt, false, 22 + 9 + 40, "compact artwork"},
        {ActivityGlyph::artwork(std::nullopt), "Volume", "Speakers", true, 34 + 9 + 45, "expanded artwork"},
        {ActivityGlyph::artwork(std::nullopt), "Volume", "Speakers", false, 31, "compact artwork, no text"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto p = payload(row.leading, row.title, row.subtitle, ActivityTrailing::none());
        EXPECT_EQ(metrics.leadingWidth(p, row.expanded), row.expected);
    }
}

TEST_F(ActivityMetricsTest, TitlesAndSubtitlesUseTheirFonts)
{
    const auto p = payload(ActivityGlyph::none(), "Title", "Sub", ActivityTrailing::none());
    metrics.leadingWidth(p, true);
    const std::vector<FakeMeasurer::Call> expected{{"Title", 13, Vude::FontWeight::semibold},
                                                   {"Sub", 11, Vude::FontWeight::regular}};
    EXPECT_EQ(measurer.calls, expected);
}

TEST_F(ActivityMetricsTest, WingsAreEqualAndClampedTo70And320)
{
    struct Row {
        ActivityPayload p;
        double wing;
        const char* why;
    } rows[] = {
        {payload(ActivityGlyph::none(), std::nullopt, std::nullopt, ActivityTrailing::none()), 70,
         "side 14 rises to 70"},
        {payload(ActivityGlyph::symbol("sun.max.fill"), "Hi", std::nullopt, ActivityTrailing::bar(0.5)), 102,
         "the bar sets the side: 88 + 14"},
        // 27 + ceil(3 * 13 * 0.5 + 0.25) = 47, + 14 = 61: still under 70.
        {payload(ActivityGlyph::symbol("moon.fill"), "abc", std::nullopt, ActivityTrailing::none()), 70,
         "under 70 by a little"},
        // 27 + ceil(4 * 6.5 + 0.25) = 54, + 14 = 68; five bytes: 27 + 33 + 14 = 74.
        {payload(ActivityGlyph::symbol("moon.fill"), "abcde", std::nullopt, ActivityTrailing::none()), 74,
         "just over 70 keeps its width"},
        {payload(ActivityGlyph::symbol("music.note"), std::string(200, 'x'), std::nullopt,
                 ActivityTrailing::waveform(true)),
         320, "a very long title stops at 320"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(metrics.width(row.p, false, kCutout, kChrome), 2 * row.wing + kCutout + kChrome);
    }
}

TEST_F(ActivityMetricsTest, ExpandingCanWidenThePill)
{
    const auto p = payload(ActivityGlyph::symbol("music.note"), "Song", std::string(20, 'a'),
                           ActivityTrailing::waveform(true));
    // Compact: max(27, 42) + 14 = 56 -> 70. Expanded: 27 + ceil(20 * 5.5 + 0.25) = 138, + 14 = 152.
    EXPECT_EQ(metrics.width(p, false, 0, 0), 140);
    EXPECT_EQ(metrics.width(p, true, 0, 0), 304);
}

/// A measurer that reports nonsense must not poison the width.
class BrokenMeasurer final : public TextMeasurer {
public:
    double width(std::string_view, double, Vude::FontWeight) const override { return std::nan(""); }
};

TEST(ActivityMetrics, UnmeasurableTextCountsAsNoWidth)
{
    BrokenMeasurer measurer;
    ActivityMetrics metrics(measurer);
    const auto p = payload(ActivityGlyph::none(), "Title", std::nullopt, ActivityTrailing::text("x"));
    EXPECT_EQ(metrics.leadingWidth(p, false), 0);
    EXPECT_EQ(metrics.trailingWidth(p.trailing()), 8);
    EXPECT_EQ(metrics.width(p, false, 100, 0), 240);
}

} // namespace
