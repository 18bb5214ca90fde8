#include "Vude/Shell/WheelScrollTranslator.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

WheelInput notch(Date time, double notches = 1, WheelPhase phase = WheelPhase::none)
{
    return {{0, 120 * notches}, {}, phase, time};
}

TEST(WheelScrollTranslatorTest, ConvertsWheelNotchesAndTouchpadPixelsToPoints)
{
    WheelScrollTranslator translator;
    const Date t = kReferenceDate;
    struct Case {
        WheelInput input;
        double dx;
        double dy;
    };
    const Case cases[] = {
        {{{0, 120}, {}, WheelPhase::none, t}, 0, 8},
        {{{0, -240}, {}, WheelPhase::none, t}, 0, -16},
        {{{-120, 0}, {}, WheelPhase::none, t}, -8, 0},
        // A fine-grained wheel sends eighths of a notch.
        {{{0, 15}, {}, WheelPhase::none, t}, 0, 1},
        // Touchpads report their own points, which win over the angle.
        {{{0, 120}, {3, -25}, WheelPhase::none, t}, 3, -25},
    };
    for (const Case& c : cases) {
        const ScrollStep step = translator.translate(c.input);
        EXPECT_EQ(step.dx, c.dx);
        EXPECT_EQ(step.dy, c.dy);
    }
}

// Feeds the translated wheel into the recogniser the notch uses.
struct Swipes {
    WheelScrollTranslator translator;
    ScrollGestureRecognizer recognizer;
    int fired = 0;

    void wheel(const WheelInput& input)
    {
        if (auto end = translator.finish(input.time))
            recognizer.consume(end->dx, end->dy, end->phase, input.time);
        const ScrollStep step = translator.translate(input);
        if (recognizer.consume(step.dx, step.dy, step.phase, input.time))
            ++fired;
    }
};

TEST(WheelScrollTranslatorTest, OneNotchStaysBelowTheSwipeThresholdAndAFlickPassesIt)
{
    const Date t = kReferenceDate;
    {
        Swipes swipes;
        swipes.wheel(notch(t));
        EXPECT_EQ(swipes.fired, 0) << "one notch";
        swipes.wheel(notch(t + 30ms));
        EXPECT_EQ(swipes.fired, 0) << "two quick notches";
        swipes.wheel(notch(t + 60ms));
        EXPECT_EQ(swipes.fired, 1) << "a flick of three";
    }
    {
        // Slow, single clicks are separate gestures that never add up.
        Swipes swipes;
        for (int i = 0; i < 6; ++i)
            swipes.wheel(notch(t + i * 300ms));
        EXPECT_EQ(swipes.fired, 0);
    }
    {
        // A fast spin of a fine wheel passes as well.
        Swipes swipes;
        for (int i = 0; i < 24; ++i)
            swipes.wheel({{0, 15}, {}, WheelPhase::none, t + i * 5ms});
        EXPECT_EQ(swipes.fired, 1);
    }
}

TEST(WheelScrollTranslatorTest, SynthesisesBeganChangedAndEndedFromTheGapsBetweenWheelEvents)
{
    WheelScrollTranslator translator;
    const Date t = kReferenceDate;
    EXPECT_FALSE(translator.endDue());
    EXPECT_EQ(translator.translate(notch(t)).phase, SwipePhase::began);
    EXPECT_EQ(translator.translate(notch(t + 50ms)).phase, SwipePhase::changed);
    EXPECT_EQ(translator.translate(notch(t + 249ms)).phase, SwipePhase::changed) << "199 ms later";
    EXPECT_EQ(translator.endDue(), t + 449ms);

    EXPECT_FALSE(translator.finish(t + 448ms)) << "not yet";
    EXPECT_EQ(translator.finish(t + 449ms), (ScrollStep{0, 0, SwipePhase::ended}));
    EXPECT_FALSE(translator.finish(t + 500ms)) << "ends once";
    EXPECT_FALSE(translator.endDue());

    EXPECT_EQ(translator.translate(notch(t + 500ms)).phase, SwipePhase::began);
    // A pause of the whole gap starts a new gesture even without a finish.
    EXPECT_EQ(translator.translate(notch(t + 700ms)).phase, SwipePhase::began);
}

TEST(WheelScrollTranslatorTest, KeepsThePhasesATouchpadReports)
{
    WheelScrollTranslator translator;
    const Date t = kReferenceDate;
    const std::pair<WheelPhase, SwipePhase> phases[] = {
        {WheelPhase::began, SwipePhase::began},
        {WheelPhase::changed, SwipePhase::changed},
        {WheelPhase::ended, SwipePhase::ended},
        // Momentum after the fingers lift goes on as a change.
        {WheelPhase::momentum, SwipePhase::changed},
    };
    for (const auto& [wheel, swipe] : phases) {
        EXPECT_EQ(translator.translate({{}, {0, 4}, wheel, t}).phase, swipe);
        EXPECT_FALSE(translator.endDue()) << "nothing to synthesise";
    }
}

} // namespace
