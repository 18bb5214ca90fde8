#include "VudeKit/ScrollGestureRecognizer.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr auto up = ScrollIntent::up;
constexpr auto down = ScrollIntent::down;
constexpr auto left = ScrollIntent::left;
constexpr auto right = ScrollIntent::right;
constexpr auto changed = SwipePhase::changed;
constexpr std::optional<ScrollIntent> nothing;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct Event {
    int ms; // event time from the timeline's start
    double dx;
    double dy;
    SwipePhase phase;
    std::optional<ScrollIntent> fires;
};

struct Timeline {
    const char* why;
    bool naturalVertical;
    bool invertHorizontal;
    std::vector<Event> events;
};

// clang-format off
const Timeline kTimelines[] = {
    {"four small downward deltas lock at the second and fire at the fourth", false, false, {
        {0, 0, 5, changed, nothing}, {33, 0, 5, changed, nothing}, {66, 0, 5, changed, nothing}, {99, 0, 5, changed, down},
    }},
    {"natural scrolling flips the vertical direction", true, false, {
        {0, 0, 5, changed, nothing}, {33, 0, 5, changed, nothing}, {66, 0, 5, changed, nothing}, {99, 0, 5, changed, up},
    }},
    {"upward deltas swipe up", false, false, {{0, 0, -18, changed, up}}},
    {"upward deltas with natural scrolling swipe down", true, false, {{0, 0, -18, changed, down}}},
    {"one large leftward delta locks horizontal and fires at once", false, false, {{0, -20, 3, changed, left}}},
    {"inverted media gestures flip it", false, true, {{0, -20, 3, changed, right}}},
    {"rightward deltas swipe right", false, false, {{0, 18, 0, changed, right}}},
    {"rightward deltas inverted swipe left", false, true, {{0, 18, 0, changed, left}}},
    {"vertical flags leave horizontal alone", true, false, {{0, -18, 0, changed, left}}},

    {"a tie locks vertical and the other axis is then ignored", false, false, {
        {0, 10, 10, changed, nothing},
        {50, 30, 0, changed, nothing},   // horizontal sum 40, but the axis is vertical
        {100, 0, 8, changed, down},      // vertical sum 18
    }},
    {"the lock needs a third of the threshold", false, false, {
        {0, 5.9, 0, changed, nothing},   // not locked yet
        {50, 0, 6, changed, nothing},    // 6 reached: vertical dominates now
        {100, 30, 0, changed, nothing},
        {150, 0, 12, changed, down},
    }},
    {"exactly a third locks", false, false, {
        {0, 6, 0, changed, nothing},
        {50, 0, 30, changed, nothing},
        {100, 12, 0, changed, right},
    }},
    {"the axis stays locked across fires", false, false, {
        {0, 0, 20, changed, down},
        {100, 40, 0, changed, nothing},
        {200, 0, 0, changed, nothing},
        {450, 0, 0, changed, nothing},   // cooldown over, horizontal sum 40 still ignored
    }},

    {"a second fire waits for the cooldown and keeps the sum", false, false, {
        {0, 0, 20, changed, down},
        {100, 0, 10, changed, nothing},
        {200, 0, 10, changed, nothing},
        {300, 0, 10, changed, nothing},
        {399, 0, 0, changed, nothing},
        {400, 0, 0, changed, down},      // exactly the cooldown, sum 30
    }},

    {"a pause longer than the idle reset forgets the burst", false, false, {
        {0, 0, 10, changed, nothing},
        {251, 0, 10, changed, nothing},  // sum restarted at 10
        {300, 0, 8, changed, down},
    }},
    {"a pause of exactly the idle reset keeps it", false, false, {
        {0, 0, 10, changed, nothing},
        {250, 0, 10, changed, down},
    }},
    {"an idle reset also unlocks the axis", false, false, {
        {0, 0, 10, changed, nothing},
        {300, 20, 0, changed, right},
    }},

    {"ended drops its own deltas and the sum", false, false, {
        {0, 0, 10, changed, nothing},
        {50, 0, 30, SwipePhase::ended, nothing},
        {100, 0, 10, changed, nothing},
    }},
    {"cancelled drops its own deltas and the sum", false, false, {
        {0, 0, 10, changed, nothing},
        {50, 0, 30, SwipePhase::cancelled, nothing},
        {100, 0, 10, changed, nothing},
    }},
    {"began starts a new burst with its own deltas", false, false, {
        {0, 0, 15, changed, nothing},
        {50, 0, 5, SwipePhase::began, nothing},
        {100, 0, 13, changed, down},
    }},
    {"phase-less wheel events add up like changed ones", false, false, {
        {0, 0, -9, SwipePhase::none, nothing},
        {50, 0, -9, SwipePhase::none, up},
    }},
    {"deltas that are not numbers count as zero", false, false, {
        {0, nan, 10, changed, nothing},
        {50, 0, std::numeric_limits<double>::infinity(), changed, nothing},
        {100, nan, 8, changed, down},
    }},
};
// clang-format on

TEST(ScrollGestureRecognizer, ScriptedTimelines)
{
    for (const auto& timeline : kTimelines) {
        SCOPED_TRACE(timeline.why);
        ScrollGestureRecognizer recognizer;
        recognizer.naturalVertical = timeline.naturalVertical;
        recognizer.invertHorizontal = timeline.invertHorizontal;
        for (const auto& event : timeline.events) {
            SCOPED_TRACE("at " + std::to_string(event.ms) + " ms");
            const Date now = kReferenceDate + std::chrono::milliseconds(event.ms);
            EXPECT_EQ(recognizer.consume(event.dx, event.dy, event.phase, now), event.fires);
            EXPECT_EQ(recognizer.lastEvent, now);
            if (event.fires) {
                EXPECT_EQ(recognizer.lastFire, now);
                EXPECT_EQ(recognizer.accumulatedX, 0);
                EXPECT_EQ(recognizer.accumulatedY, 0);
            }
        }
    }
}

TEST(ScrollGestureRecognizer, StartsWithTheDefaultTuning)
{
    const ScrollGestureRecognizer recognizer;
    EXPECT_EQ(recognizer.threshold, 18);
    EXPECT_EQ(recognizer.cooldown, 400ms);
    EXPECT_EQ(recognizer.idleReset, 250ms);
    EXPECT_FALSE(recognizer.naturalVertical);
    EXPECT_FALSE(recognizer.invertHorizontal);
    EXPECT_EQ(recognizer.lastFire, std::nullopt);
    EXPECT_EQ(recognizer.lastEvent, std::nullopt);
}

TEST(ScrollGestureRecognizer, ResetClearsTheBurstButNotTheCooldown)
{
    ScrollGestureRecognizer recognizer;
    const Date start = kReferenceDate;
    EXPECT_EQ(recognizer.consume(0, 20, changed, start), down);
    recognizer.consume(30, 0, changed, start + 100ms); // locked vertical: ignored
    recognizer.reset();
    EXPECT_EQ(recognizer.accumulatedX, 0);
    EXPECT_EQ(recognizer.lastFire, start);
    EXPECT_EQ(recognizer.lastEvent, start + 100ms);
    EXPECT_EQ(recognizer.consume(20, 0, changed, start + 200ms), nothing) << "still cooling down";
    EXPECT_EQ(recognizer.consume(0, 0, changed, start + 400ms), right) << "unlocked: horizontal now";
}

TEST(ScrollGestureRecognizer, TuningCanBeChanged)
{
    ScrollGestureRecognizer recognizer;
    recognizer.threshold = 30;
    const Date start = kReferenceDate;
    EXPECT_EQ(recognizer.consume(0, 29, changed, start), nothing);
    EXPECT_EQ(recognizer.consume(0, 1, changed, start + 10ms), down);
}

TEST(ScrollGestureRecognizer, IntentsMapToSwipesWhateverTheState)
{
    const auto payload = ActivityPayload(Uuid::random(), ActivityKind::sound, ActivityPriority::interrupt,
                                         std::nullopt, ActivityGlyph::none(), std::nullopt, std::nullopt,
                                         ActivityTrailing::none(), 1s, std::nullopt, kReferenceDate);
    const NotchState states[] = {NotchState::closed(), NotchState::open(RiziDar::tray), NotchState::activity(payload),
                                 NotchState::hidden()};
    for (const auto& state : states) {
        EXPECT_EQ(ScrollGestureRecognizer::event(up, state), NotchEvent::swipeUp());
        EXPECT_EQ(ScrollGestureRecognizer::event(down, state), NotchEvent::swipeDown());
        EXPECT_EQ(ScrollGestureRecognizer::event(left, state), NotchEvent::swipeLeft());
        EXPECT_EQ(ScrollGestureRecognizer::event(right, state), NotchEvent::swipeRight());
    }
}

} // namespace
