#include "Vude/Shell/NotchSizing.h"

#include <gtest/gtest.h>

#include <string>

// GCC 12 at -O1 takes the inlined none() factories of the payload variants for
// reads of uninitialised alternatives; a known false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

using namespace std::chrono_literals;

namespace {

/// Half a point per byte per point of size: no fonts involved.
class FakeMeasurer final : public TextMeasurer {
public:
    double width(std::string_view text, double size, Vude::FontWeight) const override
    {
        return double(text.size()) * size * 0.5;
    }
};

ActivityPayload payload(ActivityKind kind, ActivityPriority priority, ActivityGlyph leading,
                        std::optional<std::string> title, std::optional<std::string> subtitle,
                        ActivityTrailing trailing)
{
    return ActivityPayload(Uuid::random(), kind, priority, std::nullopt, std::move(leading), std::move(title),
                           std::move(subtitle), std::move(trailing), 4s, std::nullopt, kReferenceDate);
}

// Just a bar: each wing is the bar plus the side padding, 88 + 14.
const ActivityPayload kBarPill = payload(ActivityKind::sound, ActivityPriority::interrupt, ActivityGlyph::none(),
                                         std::nullopt, std::nullopt, ActivityTrailing::bar(0.5));
// Collapsed it shows only its glyph (the minimum wing of 70); expanded, the
// glyph and its subtitle, 27 + 24 × 11 × 0.5 = 159, plus 14.
const ActivityPayload kTwoLinePill =
    payload(ActivityKind::battery, ActivityPriority::queued, ActivityGlyph::symbol("bolt.fill"), "Battery",
            "Charging, two hours left", ActivityTrailing::none());
const ActivityPayload kAmbientMedia = payload(ActivityKind::nowPlaying, ActivityPriority::ambient,
                                              ActivityGlyph::artwork(std::nullopt), "Song", "Band",
                                              ActivityTrailing::waveform(true));
const ActivityPayload kLoudMedia = payload(ActivityKind::nowPlaying, ActivityPriority::interrupt,
                                           ActivityGlyph::none(), std::nullopt, std::nullopt,
                                           ActivityTrailing::bar(0.5));

/// A 1440 × 900 screen, bottom-left coordinates, its notch `width` × `height`
/// centred at the top.
NotchGeometry geometryWith(double width, double height, Rect screen = {0, 0, 1440, 900})
{
    NotchGeometry geometry;
    geometry.screenFrame = screen;
    geometry.notchSize = {width, height};
    geometry.notchOrigin = {screen.midX() - width / 2, screen.maxY() - height};
    return geometry;
}

ZeriRuvuzi rowOf(std::vector<WidgetID> ids, double totalWidth)
{
    ZeriRuvuzi layout;
    for (WidgetID id : ids)
        layout.placements.push_back({id, 4, 216, 0});
    layout.totalWidth = totalWidth;
    return layout;
}

struct Inputs {
    NotchGeometry geometry = geometryWith(200, 32);
    bool hovering = false;
    ZeriRuvuzi layout{};
    double contentPadding = 12;
};

class NotchSizingTest : public ::testing::Test {
protected:
    /// The sizes of `state`, asked while it is the state shown.
    NotchSizing sizing(const Inputs& inputs, const NotchState& state)
    {
        m_inputs = inputs;
        m_state = state;
        return {m_inputs.geometry, m_state, m_inputs.hovering, m_inputs.layout, m_inputs.contentPadding, m_metrics};
    }

private:
    FakeMeasurer m_measurer;
    ActivityMetrics m_metrics{m_measurer};
    Inputs m_inputs;
    NotchState m_state = NotchState::closed();
};

TEST_F(NotchSizingTest, ContentSizeOfEveryState)
{
    const ZeriRuvuzi twoWidgets = rowOf({WidgetID::mirror, WidgetID::media}, 900);
    const ZeriRuvuzi shortWidgets = rowOf({WidgetID::mirror, WidgetID::weather}, 700);
    const ZeriRuvuzi tooWide = rowOf({WidgetID::quickApps}, 2000);
    struct Row {
        const char* name;
        NotchState state;
        Inputs inputs;
        Size expected;
    } rows[] = {
        {"closed", NotchState::closed(), {}, {200, 32}},
        {"closed, hovered", NotchState::closed(), {.hovering = true}, {214, 38}},
        {"hidden", NotchState::hidden(), {}, {0, 0}},
        {"hidden, hovered", NotchState::hidden(), {.hovering = true}, {0, 0}},
        {"peek", NotchState::peek(kBarPill), {}, {400, 32}},
        {"peek under a low notch", NotchState::peek(kBarPill), {.geometry = geometryWith(200, 18)}, {400, 20}},
        {"peek of ambient media is a peek", NotchState::peek(kAmbientMedia), {}, {400, 32}},
        {"pill: both wings plus notch and chrome", NotchState::activity(kBarPill), {}, {2 * 102 + 200 + 24, 32}},
        {"pill with more padding", NotchState::activity(kBarPill), {.contentPadding = 20}, {2 * 102 + 200 + 40, 32}},
        {"pill under a tall notch", NotchState::activity(kBarPill), {.geometry = geometryWith(200, 40)},
         {2 * 102 + 200 + 24, 40}},
        {"collapsed two-line pill keeps the minimum wing", NotchState::activity(kTwoLinePill), {},
         {2 * 70 + 200 + 24, 32}},
        {"expanded pill", NotchState::activityExpanded(kTwoLinePill), {}, {2 * 173 + 200 + 24, 48}},
        {"expanded pill is 48 under any notch", NotchState::activityExpanded(kTwoLinePill),
         {.geometry = geometryWith(200, 60)}, {2 * 173 + 200 + 24, 48}},
        {"ambient media", NotchState::activity(kAmbientMedia), {}, {292, 32}},
        {"ambient media under a low notch", NotchState::activity(kAmbientMedia), {.geometry = geometryWith(200, 18)},
         {292, 30}},
        {"ambient media, hovered", NotchState::activity(kAmbientMedia), {.hovering = true}, {292, 56}},
        {"ambient media, hovered, under a handler 8 high: the title row still fits",
         NotchState::activity(kAmbientMedia), {.geometry = geometryWith(184, 8), .hovering = true}, {276, 54}},
        {"media that interrupts is a pill", NotchState::activity(kLoudMedia), {}, {2 * 102 + 200 + 24, 32}},
        // Its 34-point artwork, the gap and "Song" (26) and the side padding:
        // 34 + 9 + 26 + 14 = 83 a wing.
        {"expanded ambient media is an expanded pill", NotchState::activityExpanded(kAmbientMedia), {},
         {2 * 83 + 200 + 24, 48}},
        {"open, no widgets", NotchState::open(RiziDar::ravo), {}, {200 + 372, 176 + 32}},
        {"open, narrow row", NotchState::open(RiziDar::ravo), {.layout = rowOf({WidgetID::mirror}, 300)},
         {572, 120 + 32}},
        {"open, the row's width and tallest widget", NotchState::open(RiziDar::ravo), {.layout = twoWidgets},
         {900, 146 + 32}},
        {"open, short widgets", NotchState::open(RiziDar::ravo), {.layout = shortWidgets}, {700, 120 + 32}},
        {"open, a row wider than the screen", NotchState::open(RiziDar::ravo), {.layout = tooWide},
         {1440 - 80, 140 + 32}},
        {"open on the tray", NotchState::open(RiziDar::tray), {.layout = twoWidgets}, {900, 176 + 32}},
        {"open under a handler 8 high: the header still holds its tabs", NotchState::open(RiziDar::ravo),
         {.geometry = geometryWith(184, 8)}, {184 + 372, 176 + 32}},
        {"open under a tall notch: the header is the notch's height", NotchState::open(RiziDar::ravo),
         {.geometry = geometryWith(200, 40)}, {200 + 372, 176 + 40}},
        {"drop target", NotchState::dropTarget(), {}, {720, 150}},
        {"drop target on a narrow screen", NotchState::dropTarget(),
         {.geometry = geometryWith(200, 32, {0, 0, 600, 400})}, {560, 150}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const NotchSizing sizes = sizing(row.inputs, row.state);
        const Size size = sizes.contentSize(row.state);
        EXPECT_DOUBLE_EQ(size.width, row.expected.width);
        EXPECT_DOUBLE_EQ(size.height, row.expected.height);
    }
}

TEST_F(NotchSizingTest, TheDeskHeightIsTheOneOfTheStateShown)
{
    const Inputs withWidgets{.layout = rowOf({WidgetID::mirror, WidgetID::media}, 900)};
    EXPECT_EQ(sizing(withWidgets, NotchState::open(RiziDar::ravo)).ravoHeight(), 146);
    EXPECT_EQ(sizing(withWidgets, NotchState::open(RiziDar::tray)).ravoHeight(), 176);
    EXPECT_EQ(sizing(withWidgets, NotchState::closed()).ravoHeight(), 176);
    // Asked about the open Desk while closed, the height is still the closed one's.
    EXPECT_EQ(sizing(withWidgets, NotchState::closed()).contentSize(NotchState::open(RiziDar::ravo)).height, 176 + 32);
}

TEST_F(NotchSizingTest, CanvasIsTheContentWithMarginsOrAThinStripWhenEmpty)
{
    struct Row {
        const char* name;
        NotchState state;
        Inputs inputs;
        Size expected;
    } rows[] = {
        {"closed", NotchState::closed(), {}, {224, 38}},
        {"closed, hovered", NotchState::closed(), {.hovering = true}, {238, 44}},
        {"hidden", NotchState::hidden(), {}, {200, 4}},
        {"open", NotchState::open(RiziDar::ravo), {}, {596, 214}},
        {"drop target", NotchState::dropTarget(), {}, {744, 156}},
        {"ambient media, hovered", NotchState::activity(kAmbientMedia), {.hovering = true}, {316, 62}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(sizing(row.inputs, row.state).canvas(row.state), row.expected);
    }
}

TEST_F(NotchSizingTest, InteractiveRectIsTheCanvasCentredInTheGivenWidth)
{
    const NotchSizing closed = sizing({}, NotchState::closed());
    EXPECT_EQ(closed.interactiveRect({600, 100}), (Rect{188, 0, 224, 38}));
    EXPECT_EQ(closed.interactiveRect({224, 38}), (Rect{0, 0, 224, 38}));
    EXPECT_EQ(closed.interactiveRect({600, 1}), (Rect{188, 0, 224, 38})) << "the height given is not used";
    EXPECT_EQ(sizing({}, NotchState::hidden()).interactiveRect({600, 100}), Rect{});
}

TEST_F(NotchSizingTest, FrameHangsFromTheTopCentredOnTheNotchAndClampedToTheScreen)
{
    const NotchSizing sizes = sizing({}, NotchState::closed());
    EXPECT_EQ(sizes.notchFrame({224, 38}), (Rect{608, 862, 224, 38}));
    EXPECT_EQ(sizes.notchFrame({2000, 1000}), (Rect{0, 0, 1440, 900}));

    // A second screen right of the first, a notch moved off its centre.
    Inputs second{.geometry = geometryWith(180, 30, {1440, 100, 1920, 1080})};
    second.geometry.notchOrigin.x = 2000;
    EXPECT_EQ(sizing(second, NotchState::closed()).notchFrame({204, 36}), (Rect{1988, 1144, 204, 36}));
}

TEST_F(NotchSizingTest, GrowsAtOnceWhenEitherSideGrowsAndShrinksAfterTheNewStatesAnimation)
{
    struct Row {
        Size current;
        Size target;
        bool now;
    } rows[] = {
        {{224, 38}, {596, 214}, true},
        {{596, 214}, {224, 38}, false},
        {{224, 38}, {224, 38}, false},
        {{300, 38}, {400, 20}, true},
        {{400, 20}, {300, 38}, true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(NotchSizing::growsNow(row.current, row.target), row.now)
            << row.current.width << "x" << row.current.height << " to " << row.target.width << "x" << row.target.height;

    EXPECT_EQ(NotchSizing::shrinkDelayTo(NotchState::open(RiziDar::tray)), 420ms);
    EXPECT_EQ(NotchSizing::shrinkDelayTo(NotchState::closed()), 340ms);
    EXPECT_EQ(NotchSizing::shrinkDelayTo(NotchState::activity(kBarPill)), 340ms);
}

} // namespace
