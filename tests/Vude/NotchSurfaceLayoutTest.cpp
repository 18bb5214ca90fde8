#include "Vude/Shell/NotchSurfaceLayout.h"

#include <gtest/gtest.h>

// GCC 12 at -O1 takes the inlined none() factories of the payload variants for
// reads of uninitialised alternatives; a known false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

using namespace std::chrono_literals;
using Content = NotchSurfaceLayout::Content;
using Target = NotchSurfaceLayout::Target;

ActivityPayload payload(ActivityKind kind, ActivityPriority priority)
{
    return ActivityPayload(Uuid::random(), kind, priority, std::nullopt, ActivityGlyph::none(), std::string("t"),
                           std::nullopt, ActivityTrailing::none(), 4s, std::nullopt, kReferenceDate);
}

const ActivityPayload kPill = payload(ActivityKind::sound, ActivityPriority::interrupt);
const ActivityPayload kAmbient = payload(ActivityKind::nowPlaying, ActivityPriority::ambient);
const ActivityPayload kLoudMedia = payload(ActivityKind::nowPlaying, ActivityPriority::queued);

// The surface is 12 wider than the content and as high; the open Desk rounds
// its bottom corners to 34 and insets its content by 6, every other state
// rounds to 14 and insets by the padding setting plus 6; a hidden notch is
// transparent.
TEST(NotchSurfaceLayoutTest, TargetOfEveryState)
{
    struct Row {
        const char* name;
        NotchState state;
        Size content;
        double padding;
        Target expected;
    } rows[] = {
        {"closed", NotchState::closed(), {184, 8}, 12, {196, 8, 14, 18, 1}},
        {"closed, hovered", NotchState::closed(), {198, 14}, 12, {210, 14, 14, 18, 1}},
        {"hidden: zero content, transparent", NotchState::hidden(), {0, 0}, 12, {12, 0, 14, 18, 0}},
        {"a pill", NotchState::activity(kPill), {428, 32}, 12, {440, 32, 14, 18, 1}},
        {"a pill with no padding", NotchState::activity(kPill), {404, 32}, 0, {416, 32, 14, 6, 1}},
        {"open on the widgets", NotchState::open(RiziDar::ravo), {572, 184}, 12, {584, 184, 34, 6, 1}},
        {"open on the tray: the padding setting plays no part", NotchState::open(RiziDar::tray), {572, 184}, 24,
         {584, 184, 34, 6, 1}},
        {"drop target", NotchState::dropTarget(), {704, 150}, 12, {716, 150, 14, 18, 1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(NotchSurfaceLayout::target(row.state, row.content, row.padding), row.expected);
    }
}

TEST(NotchSurfaceLayoutTest, TheSurfaceHangsCentredAndTheContentIsInsetOnBothSides)
{
    EXPECT_EQ(NotchSurfaceLayout::surfaceRect(452, {440, 32}), (Rect{6, 0, 440, 32}));
    EXPECT_EQ(NotchSurfaceLayout::contentRect({6, 0, 440, 32}, 18), (Rect{24, 0, 404, 32}));
    // Padding wider than the surface leaves an empty content frame in the middle.
    EXPECT_EQ(NotchSurfaceLayout::contentRect({6, 0, 20, 8}, 18), (Rect{16, 0, 0, 8}));
}

TEST(NotchSurfaceLayoutTest, ContentOfEveryState)
{
    struct Row {
        const char* name;
        NotchState state;
        std::size_t lanes;
        Content expected;
    } rows[] = {
        {"closed shows only the surface", NotchState::closed(), 0, Content::none},
        {"hidden shows nothing", NotchState::hidden(), 0, Content::none},
        {"an activity", NotchState::activity(kPill), 0, Content::pill},
        {"a peek", NotchState::peek(kPill), 0, Content::pill},
        {"ambient now playing", NotchState::activity(kAmbient), 0, Content::ambientMedia},
        {"a peek of ambient now playing", NotchState::peek(kAmbient), 0, Content::ambientMedia},
        {"now playing that is not ambient is a pill", NotchState::activity(kLoudMedia), 0, Content::pill},
        {"expanded, ambient or not", NotchState::activityExpanded(kAmbient), 0, Content::expandedPill},
        {"the Desk", NotchState::open(RiziDar::tray), 0, Content::desk},
        {"a drop with no lanes", NotchState::dropTarget(), 0, Content::dropPrompt},
        {"a drop with one lane", NotchState::dropTarget(), 1, Content::dropPrompt},
        {"a drop with lanes", NotchState::dropTarget(), 2, Content::dropLanes},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(NotchSurfaceLayout::content(row.state, row.lanes), row.expected);
    }
}

// A pill grows from 92 % as it fades in (96 % expanded); everything else
// only fades. A spring overshooting 1 overshoots the scale, never the opacity.
TEST(NotchSurfaceLayoutTest, ContentFadesAndPillsScaleAboutTheirCentre)
{
    struct Row {
        Content content;
        double presence;
        double opacity;
        double scale;
    } rows[] = {
        {Content::pill, 0, 0, 0.92},          {Content::pill, 0.5, 0.5, 0.96},
        {Content::pill, 1, 1, 1},             {Content::expandedPill, 0, 0, 0.96},
        {Content::expandedPill, 1, 1, 1},     {Content::ambientMedia, 0, 0, 1},
        {Content::dropPrompt, 0.3, 0.3, 1},   {Content::pill, 1.05, 1, 1.004},
        {Content::pill, -0.02, 0, 0.92},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << int(row.content) << " at " << row.presence);
        EXPECT_DOUBLE_EQ(NotchSurfaceLayout::opacity(row.presence), row.opacity);
        EXPECT_NEAR(NotchSurfaceLayout::scale(row.content, row.presence), row.scale, 1e-9);
    }
}

} // namespace
