#include "Vude/Shell/Views/ActivityPillLayout.h"

#include <gtest/gtest.h>

#include <cmath>

// GCC 12 at -O1 takes the inlined none() factories of the payload variants for
// reads of uninitialised alternatives; a known false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

using namespace std::chrono_literals;
using L = ActivityPillLayout;

ActivityPayload payload(std::optional<std::string> title, std::optional<std::string> subtitle)
{
    return ActivityPayload(Uuid::random(), ActivityKind::nowPlaying, ActivityPriority::queued, std::nullopt,
                           ActivityGlyph::artwork(std::nullopt), std::move(title), std::move(subtitle),
                           ActivityTrailing::waveform(true), 4s, std::nullopt, kReferenceDate);
}

// A compact pill whose payload has a subtitle (a now-playing item that is
// not ambient) shows its glyph and accessory only; without a subtitle it
// shows its title; expanded, both lines.
TEST(ActivityPillLayoutTest, TheTextBlockRule)
{
    struct Row {
        const char* name;
        ActivityPayload payload;
        bool expanded;
        bool textBlock;
        bool subtitle;
    } rows[] = {
        {"compact with title and subtitle: no text", payload("Song", "Band"), false, false, false},
        {"compact with a title only", payload("Song", std::nullopt), false, true, false},
        {"compact with a subtitle only: no text", payload(std::nullopt, "Band"), false, false, false},
        {"compact with neither", payload(std::nullopt, std::nullopt), false, true, false},
        {"expanded with both", payload("Song", "Band"), true, true, true},
        {"expanded with a title only", payload("Song", std::nullopt), true, true, false},
        {"expanded with a subtitle only", payload(std::nullopt, "Band"), true, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(L::showsTextBlock(row.payload, row.expanded), row.textBlock);
        EXPECT_EQ(L::showsSubtitle(row.payload, row.expanded), row.subtitle);
    }
}

TEST(ActivityPillLayoutTest, BarFillAndRingAreClampedToTheirRange)
{
    struct Row {
        double value;
        double fill;
        double ring;
    } rows[] = {
        {-1, 0, 0}, {0, 0, 0}, {0.5, 46, 0.5}, {1, 92, 1}, {2, 92, 1}, {std::nan(""), 0, 0},
        {-INFINITY, 0, 0}, {INFINITY, 92, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(L::barFillWidth(row.value), row.fill);
        EXPECT_EQ(L::ringFraction(row.value), row.ring);
    }
}

TEST(ActivityPillLayoutTest, GlyphSizes)
{
    EXPECT_EQ(L::glyphSize(ActivityGlyph::symbol("bolt.fill"), false), (Size{18, 18}));
    EXPECT_EQ(L::glyphSize(ActivityGlyph::symbolTinted("bolt.fill", TintName::sage), true), (Size{18, 18}));
    EXPECT_EQ(L::glyphSize(ActivityGlyph::artwork(std::nullopt), false), (Size{22, 22}));
    EXPECT_EQ(L::glyphSize(ActivityGlyph::artwork(std::nullopt), true), (Size{34, 34}));
    EXPECT_EQ(L::glyphSize(ActivityGlyph::progressRing(0.3), false), (Size{16, 16}));
    EXPECT_EQ(L::glyphSize(ActivityGlyph::none(), false), (Size{0, 0}));
}

// The wings share what the cutout leaves; the glyph and text hug the left
// wing's leading edge, the accessory the right wing's trailing edge, all
// centred vertically. A volume pill: 102-point wings around a 200-point
// notch, the bar's track ending at the content's right edge.
TEST(ActivityPillLayoutTest, WingsAroundTheCutout)
{
    const Rect content{24, 0, 404, 32};
    const L::Frames volume = L::frames(content, 200, {18, 18}, L::barSize);
    EXPECT_EQ(volume.leftWing, (Rect{24, 0, 102, 32}));
    EXPECT_EQ(volume.cutout, (Rect{126, 0, 200, 32}));
    EXPECT_EQ(volume.rightWing, (Rect{326, 0, 102, 32}));
    EXPECT_EQ(volume.glyph, (Rect{24, 7, 18, 18}));
    EXPECT_EQ(volume.text, (Rect{24 + 18 + 9, 0, 102 - 27, 32}));
    EXPECT_EQ(volume.accessory, (Rect{428 - 92, 14, 92, 4}));

    // No glyph: the text starts at the wing's edge; no accessory: an empty
    // frame at the trailing edge.
    const L::Frames bare = L::frames(content, 200, {0, 0}, {0, 0});
    EXPECT_EQ(bare.text, (Rect{24, 0, 102, 32}));
    EXPECT_EQ(bare.accessory, (Rect{428, 16, 0, 0}));

    // Content narrower than the cutout (mid-animation): wings of nothing,
    // never negative.
    const L::Frames squeezed = L::frames({24, 0, 150, 32}, 200, {18, 18}, L::barSize);
    EXPECT_EQ(squeezed.leftWing.width, 0);
    EXPECT_EQ(squeezed.text.width, 0);
}

} // namespace
