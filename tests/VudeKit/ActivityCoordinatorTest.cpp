#include "VudeKit/ActivityCoordinator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A payload offered in a scenario is known by its title; its key defaults to the title.
struct Offer {
    std::string title;
    ActivityPriority priority;
    Duration duration;
    std::string key;
    ActivityKind kind;
};

Offer queued(std::string title, Duration duration, std::string key = {}, ActivityKind kind = ActivityKind::battery)
{
    return {title, ActivityPriority::queued, duration, key.empty() ? title : key, kind};
}
Offer interrupt(std::string title, Duration duration, std::string key = {}, ActivityKind kind = ActivityKind::sound)
{
    return {title, ActivityPriority::interrupt, duration, key.empty() ? title : key, kind};
}
Offer ambient(std::string title, Duration duration, std::string key = {}, ActivityKind kind = ActivityKind::nowPlaying)
{
    return {title, ActivityPriority::ambient, duration, key.empty() ? title : key, kind};
}

ActivityPayload make(const Offer& offer, Date now)
{
    return ActivityPayload(Uuid::random(), offer.kind, offer.priority, offer.key, ActivityGlyph::none(), offer.title,
                           std::nullopt, ActivityTrailing::none(), offer.duration, std::nullopt, now);
}

std::string titleOf(const std::optional<ActivityPayload>& payload)
{
    return payload ? payload->title().value_or("?") : "";
}

std::vector<std::string> titlesOf(const std::vector<ActivityPayload>& payloads)
{
    std::vector<std::string> titles;
    for (const auto& payload : payloads)
        titles.push_back(payload.title().value_or("?"));
    return titles;
}

struct Submit {
    Offer offer;
};
struct Tick {};
struct Dismiss {};
struct Cycle {
    bool forward;
};
struct SetAmbient {
    std::optional<Offer> offer;
};
struct Clear {
    ActivityKind kind;
};
using Action = std::variant<Submit, Tick, Dismiss, Cycle, SetAmbient, Clear>;

struct Step {
    Duration at; // clock time when the action runs, from the scenario's start
    Action action;
    std::optional<bool> returns; // none for actions without a result
    std::string current;         // title of the current payload, "" for none
    std::vector<std::string> queue = {};
    std::optional<std::string> ambient = std::nullopt; // checked when given
};

struct Scenario {
    std::string name;
    std::vector<Step> steps;
};

void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

std::optional<bool> perform(ActivityCoordinator& coordinator, const Action& action, Date now)
{
    struct Visitor {
        ActivityCoordinator& coordinator;
        Date now;
        std::optional<bool> operator()(const Submit& a) { return coordinator.submit(make(a.offer, now)); }
        std::optional<bool> operator()(const Tick&) { return coordinator.tick(); }
        std::optional<bool> operator()(const Dismiss&) { return coordinator.dismissCurrent(); }
        std::optional<bool> operator()(const Cycle& a)
        {
            coordinator.cycle(a.forward);
            return std::nullopt;
        }
        std::optional<bool> operator()(const SetAmbient& a)
        {
            return coordinator.setAmbient(a.offer ? std::optional(make(*a.offer, now)) : std::nullopt);
        }
        std::optional<bool> operator()(const Clear& a)
        {
            coordinator.clear(a.kind);
            return std::nullopt;
        }
    };
    return std::visit(Visitor{coordinator, now}, action);
}

// clang-format off
const Scenario kScenarios[] = {
    {"SameKeyReplacesCurrentAndRearmsExpiry", {
        {0ms,    Submit{interrupt("vol 1", 1500ms, "sound")}, true,  "vol 1"},
        {1000ms, Submit{interrupt("vol 2", 1500ms, "sound")}, true,  "vol 2"},
        {1500ms, Tick{},                                      false, "vol 2"},  // the first expiry no longer counts
        {2499ms, Tick{},                                      false, "vol 2"},
        {2500ms, Tick{},                                      true,  ""},
    }},
    {"SameKeyReplacesCurrentEvenWithLowerPriority", {
        {0ms, Submit{interrupt("loud", 2s, "sound")},   true, "loud"},
        {1s,  Submit{queued("quiet", 2s, "sound")},     true, "quiet"},
        {2s,  Submit{queued("other", 2s)},              false, "quiet", {"other"}},
        {3s,  Tick{},                                   true, "other"},
    }},
    {"QueueKeepsAtMostThreeDroppingTheOldest", {
        {0ms, Submit{queued("A", 5s)}, true,  "A"},
        {0ms, Submit{queued("B", 5s)}, false, "A", {"B"}},
        {0ms, Submit{queued("C", 5s)}, false, "A", {"B", "C"}},
        {0ms, Submit{queued("D", 5s)}, false, "A", {"B", "C", "D"}},
        {0ms, Submit{queued("E", 5s)}, false, "A", {"C", "D", "E"}},
        {5s,  Tick{},                  true,  "C", {"D", "E"}},
        {10s, Tick{},                  true,  "D", {"E"}},
    }},
    {"QueuedWithAWaitingKeyReplacesItInPlace", {
        {0ms, Submit{queued("A", 5s)},         true,  "A"},
        {0ms, Submit{queued("B", 5s)},         false, "A", {"B"}},
        {0ms, Submit{queued("C", 5s)},         false, "A", {"B", "C"}},
        {0ms, Submit{queued("D", 5s)},         false, "A", {"B", "C", "D"}},
        {1s,  Submit{interrupt("C2", 1s, "C")}, false, "A", {"B", "C2", "D"}},  // even an interrupt
    }},
    {"InterruptResumesTheQueuedOneWithItsRemainingTime", {
        {8s,     Submit{queued("A", 5s)},   true,  "A"},  // expires at 13 s
        {10s,    Submit{interrupt("I", 1s)}, true,  "I"},
        {10500ms, Tick{},                   false, "I"},
        {11s,    Tick{},                    true,  "A"},  // 3 s left: expires at 14 s
        {13900ms, Tick{},                   false, "A"},
        {14s,    Tick{},                    true,  ""},
    }},
    {"ResumedActivityGetsAtLeastFourTenthsOfASecond", {
        {0ms,    Submit{queued("A", 1s)},    true,  "A"},
        {1200ms, Submit{interrupt("I", 1s)}, true,  "I"},  // A's time ran out untended: 0 s left
        {2200ms, Tick{},                     true,  "A"},
        {2599ms, Tick{},                     false, "A"},
        {2600ms, Tick{},                     true,  ""},
    }},
    {"ShortRemainingTimeIsRaisedToTheMinimum", {
        {0ms,    Submit{queued("A", 1s)},    true,  "A"},
        {900ms,  Submit{interrupt("I", 1s)}, true,  "I"},  // 0.1 s left
        {1900ms, Tick{},                     true,  "A"},
        {2299ms, Tick{},                     false, "A"},
        {2300ms, Tick{},                     true,  ""},
    }},
    {"InterruptOverInterruptSuspendsNothing", {
        {0ms, Submit{interrupt("I1", 5s)}, true, "I1"},
        {1s,  Submit{interrupt("I2", 1s)}, true, "I2"},
        {2s,  Tick{},                      true, ""},
    }},
    {"NewerInterruptKeepsTheFirstSuspendedActivity", {
        {0ms, Submit{queued("A", 5s)},     true, "A"},
        {1s,  Submit{interrupt("I1", 1s)}, true, "I1"},
        {1500ms, Submit{interrupt("I2", 1s)}, true, "I2"},
        {2500ms, Tick{},                   true, "A"},  // 4 s left
        {6499ms, Tick{},                   false, "A"},
        {6500ms, Tick{},                   true, ""},
    }},
    {"AmbientWaitsThenReturnsAfterEachDuration", {
        {0ms,  Submit{queued("A", 2s)},        true,  "A",  {},    ""},
        {0ms,  Submit{queued("B", 2s)},        false, "A",  {"B"}, ""},
        {1s,   Submit{ambient("M", 10s)},      false, "A",  {"B"}, "M"},
        {2s,   Tick{},                         true,  "B",  {},    "M"},
        {4s,   Tick{},                         true,  "M",  {},    "M"},
        {13s,  Tick{},                         false, "M",  {},    "M"},
        {14s,  Tick{},                         true,  "M",  {},    "M"},  // presented again for its full duration
        {23999ms, Tick{},                      false, "M",  {},    "M"},
        {24s,  Tick{},                         true,  "M",  {},    "M"},
    }},
    {"AmbientWithNothingCurrentShowsAtOnce", {
        {0ms, Submit{ambient("M", 10s)}, true, "M", {}, "M"},
    }},
    {"QueuedReplacesAnAmbientCurrentWithoutQueueing", {
        {0ms, Submit{ambient("M", 10s)}, true, "M", {}, "M"},
        {1s,  Submit{queued("A", 2s)},   true, "A", {}, "M"},
        {3s,  Tick{},                    true, "M", {}, "M"},
    }},
    {"InterruptOverAmbientLeavesTheSlotStanding", {
        {0ms, Submit{ambient("M", 10s)},   true, "M", {}, "M"},
        {1s,  Submit{interrupt("I", 1s)},  true, "I", {}, "M"},
        {2s,  Tick{},                      true, "M", {}, "M"},
    }},
    {"TickWithNothingCurrentOrBeforeExpiryDoesNothing", {
        {0ms,  Tick{},                  false, ""},
        {0ms,  Submit{queued("A", 1s)}, true,  "A"},
        {999ms, Tick{},                 false, "A"},
        {1s,   Tick{},                  true,  ""},
        {2s,   Tick{},                  false, ""},
    }},
    {"CycleForwardSendsCurrentToTheBack", {
        {0ms, Submit{queued("A", 5s)}, true,  "A"},
        {0ms, Submit{queued("B", 5s)}, false, "A", {"B"}},
        {0ms, Submit{queued("C", 5s)}, false, "A", {"B", "C"}},
        {1s,  Cycle{true},             {},    "B", {"C", "A"}},
        {5999ms, Tick{},               false, "B", {"C", "A"}},  // the cycled one got a fresh duration
        {6s,  Tick{},                  true,  "C", {"A"}},
    }},
    {"CycleBackwardBringsTheLastToTheFront", {
        {0ms, Submit{queued("A", 5s)}, true,  "A"},
        {0ms, Submit{queued("B", 5s)}, false, "A", {"B"}},
        {0ms, Submit{queued("C", 5s)}, false, "A", {"B", "C"}},
        {1s,  Cycle{false},            {},    "C", {"A", "B"}},
    }},
    {"CycleWithAnEmptyQueueChangesNothing", {
        {0ms, Submit{queued("A", 5s)}, true,  "A"},
        {1s,  Cycle{true},             {},    "A"},
        {1s,  Cycle{false},            {},    "A"},
        {4999ms, Tick{},               false, "A"},  // expiry untouched
        {5s,  Tick{},                  true,  ""},
    }},
    {"DismissDiscardsTheSuspendedActivity", {
        {0ms, Submit{queued("A", 5s)},    true, "A"},
        {1s,  Submit{interrupt("I", 5s)}, true, "I"},
        {2s,  Dismiss{},                  true, ""},
        {10s, Tick{},                     false, ""},
    }},
    {"DismissMovesToTheQueueThenTheAmbientOne", {
        {0ms, Submit{ambient("M", 60s)}, true, "M", {}, "M"},
        {0ms, Submit{queued("A", 5s)},   true, "A"},
        {0ms, Submit{queued("B", 5s)},   false, "A", {"B"}},
        {1s,  Dismiss{},                 true, "B"},
        {1s,  Dismiss{},                 true, "M"},
        {1s,  Dismiss{},                 true, "M"},  // the ambient slot stands
    }},

    // The ambient slot as an operation.
    {"AmbientSetWithNothingCurrentIsPresented", {
        {0ms, SetAmbient{ambient("song 1", 3600s)}, true, "song 1", {}, "song 1"},
    }},
    {"AmbientSetWhileItsPredecessorShowsReplacesIt", {
        {0ms, SetAmbient{ambient("song 1", 3600s)}, true, "song 1", {}, "song 1"},
        {5s,  SetAmbient{ambient("song 2", 3600s)}, true, "song 2", {}, "song 2"},
        {3604s, Tick{},                             false, "song 2"},  // re-armed at 5 s
    }},
    {"AmbientEmptiedWhileShownMovesOn", {
        {0ms, SetAmbient{ambient("song", 3600s)}, true, "song", {}, "song"},
        {5s,  SetAmbient{std::nullopt},           true, "",     {}, ""},
        {6s,  Tick{},                             false, ""},
    }},
    {"AmbientBackAfterAnInterruptCanBeEmptied", {
        {0ms, SetAmbient{ambient("song", 3600s)}, true,  "song"},
        {1s,  Submit{interrupt("I", 1s)},         true,  "I"},
        {2s,  Tick{},                             true,  "song"},
        {3s,  SetAmbient{std::nullopt},           true,  "",    {}, ""},
    }},
    {"AmbientSetWhileSomethingElseShowsOnlyWaits", {
        {0ms, Submit{queued("A", 2s)},            true,  "A"},
        {1s,  SetAmbient{ambient("song", 3600s)}, false, "A", {}, "song"},
        {1s,  SetAmbient{std::nullopt},           false, "A", {}, ""},
        {2s,  Tick{},                             true,  ""},
        {2s,  SetAmbient{ambient("song", 3600s)}, true,  "song"},
    }},

    // A submission for the suspended activity's key refreshes it.
    {"SuspendedActivityIsReplacedBySameKey", {
        {0ms,  Submit{queued("Charging", 4s, "battery")},   true,  "Charging"},
        {1s,   Submit{interrupt("vol", 2s, "sound")},       true,  "vol"},
        {2s,   Submit{queued("Unplugged", 4s, "battery")},  false, "vol"},
        {3s,   Tick{},                                      true,  "Unplugged"},  // its full 4 s
        {6999ms, Tick{},                                    false, "Unplugged"},
        {7s,   Tick{},                                      true,  ""},
    }},
    // Only a queued submission refreshes the suspended one; the others keep
    // their own paths.
    {"InterruptWithTheSuspendedKeyShowsAtOnceAndSupersedesIt", {
        {0ms, Submit{queued("k old", 10s, "k")},     true, "k old"},
        {1s,  Submit{interrupt("vol", 2s, "sound")}, true, "vol"},
        {2s,  Submit{interrupt("k new", 1s, "k")},   true, "k new"},
        {3s,  Tick{},                                true, ""},  // the old one does not come back
    }},
    {"AmbientWithTheSuspendedKeyFillsTheSlotAndTheSuspendedOneResumes", {
        {0ms,    Submit{queued("np queued", 10s, "np-1")},   true,  "np queued", {}, ""},
        {1s,     Submit{interrupt("vol", 1s, "sound")},      true,  "vol",       {}, ""},
        {1500ms, Submit{ambient("np ambient", 60s, "np-1")}, false, "vol",       {}, "np ambient"},
        {2s,     Tick{},                                     true,  "np queued", {}, "np ambient"},  // 9 s left
        {10999ms, Tick{},                                    false, "np queued", {}, "np ambient"},
        {11s,    Tick{},                                     true,  "np ambient", {}, "np ambient"},
    }},

    // clear(kind) leaves nothing of the kind anywhere.
    {"ClearRemovesWaitingAndCurrentOfAKind", {
        {0ms, Submit{queued("A", 5s, "A", ActivityKind::battery)},  true,  "A"},
        {0ms, Submit{queued("B", 5s, "B", ActivityKind::calendar)}, false, "A", {"B"}},
        {0ms, Submit{queued("C", 5s, "C", ActivityKind::battery)},  false, "A", {"B", "C"}},
        {1s,  Clear{ActivityKind::battery},                          {},    "B"},
        {1s,  Clear{ActivityKind::focus},                            {},    "B"},
    }},
    {"ClearDoesNotBringBackAnAmbientOrSuspendedOneOfTheKind", {
        {0ms, Submit{ambient("song", 60s)},                              true, "song", {}, "song"},
        {1s,  Clear{ActivityKind::nowPlaying},                           {},   "",     {}, ""},
        {2s,  Submit{queued("A", 5s, "A", ActivityKind::battery)},       true, "A"},
        {3s,  Submit{interrupt("I", 5s, "I", ActivityKind::battery)},    true, "I"},
        {4s,  Clear{ActivityKind::battery},                              {},   ""},
    }},
};
// clang-format on

class ActivityCoordinatorScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(ActivityCoordinatorScenario, RunsAsScripted)
{
    ManualClock clock;
    ActivityCoordinator coordinator(clock);
    const auto& steps = GetParam().steps;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        SCOPED_TRACE("step " + std::to_string(i + 1) + " at " + std::to_string(step.at / 1ms) + " ms");
        clock.set(kReferenceDate + step.at);
        const auto result = perform(coordinator, step.action, clock.now());
        if (step.returns) {
            EXPECT_EQ(result, step.returns);
        }
        EXPECT_EQ(titleOf(coordinator.current()), step.current);
        EXPECT_EQ(titlesOf(coordinator.queue()), step.queue);
        if (step.ambient) {
            EXPECT_EQ(titleOf(coordinator.ambient()), *step.ambient);
        }
        EXPECT_LE(coordinator.queue().size(), ActivityCoordinator::maxQueueDepth);
    }
}

INSTANTIATE_TEST_SUITE_P(Timelines, ActivityCoordinatorScenario, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return info.param.name; });

struct GateRow {
    const char* why;
    std::function<void(ActivityCoordinator&)> setUp;
    ActivityKind kind;
    bool accepted;
};

TEST(ActivityCoordinatorGates, FilterSubmissionsByKind)
{
    const auto focus = [](ActivityCoordinator& c) { c.setFocusActive(true); };
    const auto fullscreen = [](ActivityCoordinator& c) {
        c.setFrontmostAppFullscreen(true);
        c.setShowInFullscreen({ActivityKind::sound});
    };
    const GateRow rows[] = {
        {"nothing set", [](ActivityCoordinator&) {}, ActivityKind::calendar, true},
        {"disabled refuses everything", [](ActivityCoordinator& c) { c.setActivitiesEnabled(false); },
         ActivityKind::sound, false},
        {"focus refuses calendar", focus, ActivityKind::calendar, false},
        {"focus lets battery through", focus, ActivityKind::battery, true},
        {"focus lets sound through", focus, ActivityKind::sound, true},
        {"focus refuses now playing", focus, ActivityKind::nowPlaying, false},
        {"focus follows its set",
         [](ActivityCoordinator& c) {
             c.setFocusActive(true);
             c.setAllowedDuringFocus({ActivityKind::calendar});
         },
         ActivityKind::calendar, true},
        {"fullscreen refuses kinds not shown there", fullscreen, ActivityKind::battery, false},
        {"fullscreen keeps kinds shown there", fullscreen, ActivityKind::sound, true},
        {"fullscreen set is ignored when not fullscreen",
         [](ActivityCoordinator& c) { c.setShowInFullscreen({}); }, ActivityKind::battery, true},
    };
    ManualClock clock;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        ActivityCoordinator coordinator(clock);
        row.setUp(coordinator);
        EXPECT_EQ(coordinator.submit(make(queued("x", 1s, "x", row.kind), clock.now())), row.accepted);
        EXPECT_EQ(coordinator.current().has_value(), row.accepted) << "a refusal changes nothing";
    }
}

TEST(ActivityCoordinatorGates, OpenDeskLetsOnlyKeyPillsThrough)
{
    ManualClock clock;
    for (const auto kind : allCases<ActivityKind>()) {
        SCOPED_TRACE(std::string(rawValue(kind)));
        ActivityCoordinator coordinator(clock);
        coordinator.setRavoOpen(true);
        const bool expected =
            kind == ActivityKind::sound || kind == ActivityKind::display || kind == ActivityKind::keyboardBacklight;
        EXPECT_EQ(coordinator.submit(make(interrupt("x", 1s, "x", kind), clock.now())), expected);
    }
}

TEST(ActivityCoordinatorGates, StartOpenToEveryKindButFocusRestricted)
{
    ManualClock clock;
    ActivityCoordinator coordinator(clock);
    EXPECT_TRUE(coordinator.activitiesEnabled());
    EXPECT_FALSE(coordinator.focusActive());
    EXPECT_FALSE(coordinator.isRavoOpen());
    EXPECT_FALSE(coordinator.isFrontmostAppFullscreen());
    EXPECT_EQ(coordinator.showInFullscreen().size(), allCases<ActivityKind>().size());
    EXPECT_EQ(coordinator.allowedDuringFocus(), (std::set<ActivityKind>{ActivityKind::battery, ActivityKind::connectivity,
                                                                        ActivityKind::display, ActivityKind::sound}));
}

TEST(ActivityCoordinatorAmbient, AssigningTheSameAmbientAgainChangesNothing)
{
    ManualClock clock;
    ActivityCoordinator coordinator(clock);
    const auto song = make(ambient("song", 10s), clock.now());
    EXPECT_TRUE(coordinator.setAmbient(song));
    clock.advance(9s);
    EXPECT_FALSE(coordinator.setAmbient(song));
    clock.advance(1s);
    EXPECT_TRUE(coordinator.tick()) << "the same assignment did not re-arm the expiry";
}

TEST(ActivityCoordinatorAmbient, SubmittedAmbientSetsTheSlot)
{
    ManualClock clock;
    ActivityCoordinator coordinator(clock);
    const auto song = make(ambient("song", 10s), clock.now());
    EXPECT_TRUE(coordinator.submit(song));
    EXPECT_EQ(coordinator.ambient(), song);
    EXPECT_EQ(coordinator.current(), song);
}

// A payload holding NaN never equals itself; the slot must still know its
// own payload when it shows.
TEST(ActivityCoordinatorAmbient, TheShownAmbientPayloadIsKnownByIdentityEvenWhenItHoldsNaN)
{
    const double nan = std::nan("");
    const auto ringOf = [](ActivityGlyph leading, ActivityTrailing trailing, Date now) {
        return ActivityPayload(Uuid::random(), ActivityKind::nowPlaying, ActivityPriority::ambient, "np",
                               std::move(leading), "song", std::nullopt, std::move(trailing), 3600s, std::nullopt,
                               now);
    };
    const struct {
        const char* why;
        ActivityGlyph leading;
        ActivityTrailing trailing;
    } rows[] = {
        {"a progress ring of NaN", ActivityGlyph::progressRing(nan), ActivityTrailing::none()},
        {"a bar of NaN", ActivityGlyph::none(), ActivityTrailing::bar(nan)},
        {"a percent of NaN", ActivityGlyph::none(), ActivityTrailing::percent(nan)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        ManualClock clock;
        ActivityCoordinator coordinator(clock);
        ASSERT_TRUE(coordinator.setAmbient(ringOf(row.leading, row.trailing, clock.now())));

        const auto next = ringOf(row.leading, row.trailing, clock.now());
        EXPECT_TRUE(coordinator.setAmbient(next)) << "the successor replaces the one shown";
        ASSERT_TRUE(coordinator.current().has_value());
        EXPECT_EQ(coordinator.current()->id(), next.id());

        EXPECT_TRUE(coordinator.setAmbient(std::nullopt)) << "emptying the slot takes it down";
        EXPECT_FALSE(coordinator.current().has_value());
        EXPECT_FALSE(coordinator.ambient().has_value());
    }
}

// The same activity with another title: its id, key and time stay.
ActivityPayload retitled(const ActivityPayload& payload, std::string title)
{
    return ActivityPayload(payload.id(), payload.kind(), payload.priority(), payload.dedupeKey(), payload.leading(),
                           std::move(title), payload.subtitle(), payload.trailing(), payload.duration(),
                           payload.interaction(), payload.createdAt());
}

// A track first titled by its file name gets its real title a moment later:
// the pill takes it where it stands, without starting its time again.
TEST(ActivityCoordinatorRefresh, ANewLookTakesThePlaceOfTheSameIdWhereverItIs)
{
    struct Row {
        const char* why;
        // Offers the track (payload made at the clock's time) and returns it.
        std::function<ActivityPayload(ActivityCoordinator&, ManualClock&)> arrange;
        bool returns;
        std::string current;
        std::vector<std::string> queue;
        std::string ambient;
        // What shows 10 s after the start, when the track first shown expires.
        std::string currentAtTen;
    };
    const auto track = [](ActivityPriority priority, Date now) {
        return make({"song.mp3", priority, 10s, "nowPlaying-1", ActivityKind::nowPlaying}, now);
    };
    const Row rows[] = {
        {"current: shown again, its expiry kept",
         [&](ActivityCoordinator& c, ManualClock& clock) {
             const auto t = track(ActivityPriority::queued, clock.now());
             c.submit(t);
             return t;
         },
         true, "Song", {}, "", ""},
        {"waiting behind another",
         [&](ActivityCoordinator& c, ManualClock& clock) {
             c.submit(make(queued("A", 20s), clock.now()));
             const auto t = track(ActivityPriority::queued, clock.now());
             c.submit(t);
             return t;
         },
         false, "A", {"Song"}, "", "A"},
        {"set aside by an interrupt, resumed with its time left",
         [&](ActivityCoordinator& c, ManualClock& clock) {
             const auto t = track(ActivityPriority::queued, clock.now());
             c.submit(t);
             c.submit(make(interrupt("vol", 1s), clock.now()));
             return t;
         },
         false, "vol", {}, "", "Song"},
        {"the ambient one, shown",
         [&](ActivityCoordinator& c, ManualClock& clock) {
             const auto t = track(ActivityPriority::ambient, clock.now());
             c.setAmbient(t);
             return t;
         },
         true, "Song", {}, "Song", "Song"},
        {"gone already: nothing comes back",
         [&](ActivityCoordinator& c, ManualClock& clock) {
             const auto t = track(ActivityPriority::queued, clock.now());
             c.submit(t);
             c.dismissCurrent();
             return t;
         },
         false, "", {}, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        ManualClock clock(kReferenceDate);
        ActivityCoordinator coordinator(clock);
        const auto original = row.arrange(coordinator, clock);
        clock.advance(500ms);
        coordinator.tick();
        EXPECT_EQ(coordinator.refresh(retitled(original, "Song")), row.returns);
        EXPECT_EQ(titleOf(coordinator.current()), row.current);
        EXPECT_EQ(titlesOf(coordinator.queue()), row.queue);
        EXPECT_EQ(titleOf(coordinator.ambient()), row.ambient);
        if (coordinator.current() && coordinator.current()->title() == "Song") {
            EXPECT_EQ(coordinator.current()->id(), original.id());
        }
        // The interrupt ends at 1 s and gives back the track's remaining time.
        clock.advance(1s);
        coordinator.tick();
        if (std::string(row.why).starts_with("set aside")) {
            EXPECT_EQ(titleOf(coordinator.current()), "Song");
        }
        clock.set(kReferenceDate + 10s);
        coordinator.tick();
        EXPECT_EQ(titleOf(coordinator.current()), row.currentAtTen);
    }
}

TEST(ActivityCoordinatorTime, EndlessDurationDoesNotWrapIntoThePast)
{
    ManualClock clock;
    ActivityCoordinator coordinator(clock);
    EXPECT_TRUE(coordinator.submit(make(queued("forever", Duration::max()), clock.now())));
    clock.advance(24h * 365);
    EXPECT_FALSE(coordinator.tick());
    EXPECT_EQ(titleOf(coordinator.current()), "forever");
}

// The observer hears of each change before it happens, once per property,
// and not at all when a value stays the same.
TEST(ActivityCoordinatorObservation, ReportsEachChangeBeforeItHappens)
{
    using P = ActivityCoordinator::Property;
    ManualClock clock;
    ActivityCoordinator coordinator(clock);
    std::vector<P> heard;
    std::vector<std::string> currentWhenHeard;
    coordinator.setWillChangeHandler([&](P property) {
        heard.push_back(property);
        currentWhenHeard.push_back(titleOf(coordinator.current()));
    });

    coordinator.submit(make(queued("A", 1s), clock.now()));
    EXPECT_EQ(heard, std::vector<P>{P::current});
    EXPECT_EQ(currentWhenHeard, std::vector<std::string>{""}) << "told before the change";

    heard.clear();
    coordinator.submit(make(queued("B", 1s), clock.now()));
    EXPECT_EQ(heard, std::vector<P>{P::queue});

    heard.clear();
    clock.advance(1s);
    coordinator.tick();
    EXPECT_EQ(heard, (std::vector<P>{P::queue, P::current}));

    heard.clear();
    coordinator.submit(make(ambient("M", 1s), clock.now()));
    EXPECT_EQ(heard, std::vector<P>{P::ambient});

    heard.clear();
    coordinator.tick(); // before expiry
    coordinator.cycle(true); // empty queue
    coordinator.setFocusActive(true);
    coordinator.submit(make(queued("refused", 1s, "x", ActivityKind::calendar), clock.now()));
    coordinator.clear(ActivityKind::focus);
    EXPECT_TRUE(heard.empty());
}

} // namespace
