#include "VudeKit/NotchState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

using namespace std::chrono_literals;

// Readable failure messages: the case names and the payload's title.
static void PrintTo(const NotchState& state, std::ostream* os)
{
    static const char* const names[] = {"peek",   "activity", "activityExpanded", "open",
                                        "hidden", "closed",   "dropTarget"};
    *os << names[static_cast<int>(state.kind())];
    if (state.payload())
        *os << "(" << state.payload()->title().value_or("?") << ")";
    if (state.tab())
        *os << "(" << rawValue(*state.tab()) << ")";
}

static void PrintTo(const NotchEffect& effect, std::ostream* os)
{
    static const char* const names[] = {"cycleActivity", "openRavo", "requestKeyboardFocus", "mediaNext",
                                        "mediaPrevious", "dismissActivity", "haptic"};
    *os << names[static_cast<int>(effect.kind())];
    if (effect.kind() == NotchEffect::Kind::cycleActivity)
        *os << "(forward: " << effect.forward() << ")";
    if (effect.kind() == NotchEffect::Kind::requestKeyboardFocus)
        *os << "(" << effect.focus() << ")";
    if (effect.tab())
        *os << "(" << rawValue(*effect.tab()) << ")";
}

namespace {

using G = NotchStateGuards;
using Effects = std::vector<NotchEffect>;

ActivityPayload pill(const char* title)
{
    return ActivityPayload(Uuid::random(), ActivityKind::battery, ActivityPriority::queued, std::nullopt,
                           ActivityGlyph::symbol("bolt.fill"), std::string(title), std::nullopt,
                           ActivityTrailing::none(), 4s, std::nullopt, kReferenceDate);
}

const ActivityPayload p = pill("p");
const ActivityPayload q = pill("q");

G with(std::initializer_list<bool G::*> switches)
{
    G guards;
    for (auto field : switches)
        guards.*field = true;
    return guards;
}

const G none;
const G all = with({&G::expandOnHover, &G::alwaysOpenOnHover, &G::preventCloseOnMouseLeave, &G::swipeToToggleOpen,
                    &G::swipeToDismissActivity, &G::swipeToCycleActivity, &G::swipeToSkipMedia,
                    &G::interactiveActivities, &G::quickPeekEnabled, &G::demoMode, &G::isTyping,
                    &G::lockWhileTyping});

const NotchState peekP = NotchState::peek(p);
const NotchState activityP = NotchState::activity(p);
const NotchState expandedP = NotchState::activityExpanded(p);
const NotchState openRavo = NotchState::open(RiziDar::ravo);
const NotchState openTray = NotchState::open(RiziDar::tray);
const NotchState hidden = NotchState::hidden();
const NotchState closed = NotchState::closed();
const NotchState dropTarget = NotchState::dropTarget();

const std::vector<NotchState> kEveryState{peekP, activityP, expandedP, openRavo, openTray, hidden, closed, dropTarget};

const NotchEffect haptic = NotchEffect::haptic();
const NotchEffect unfocus = NotchEffect::requestKeyboardFocus(false);
const NotchEffect toRavo = NotchEffect::openRavo(RiziDar::ravo);
const NotchEffect toTray = NotchEffect::openRavo(RiziDar::tray);

struct Row {
    const char* why;
    NotchState from;
    G guards;
    NotchEvent event;
    NotchState to;
    Effects effects;
};

// Every rule of the transition function, plus the combinations its notes say
// do nothing. A machine is built in `from`, so no state was saved by a drag.
// clang-format off
const Row kTransitions[] = {
    {"arrival shows the pill from a peek",            peekP,      none, NotchEvent::activityArrived(q), NotchState::activity(q), {}},
    {"arrival replaces a pill",                       activityP,  none, NotchEvent::activityArrived(q), NotchState::activity(q), {}},
    {"arrival collapses an expanded pill",            expandedP,  none, NotchEvent::activityArrived(q), NotchState::activity(q), {}},
    {"arrival shows a hidden notch's pill",           hidden,     none, NotchEvent::activityArrived(q), NotchState::activity(q), {}},
    {"arrival shows a pill from closed",              closed,     none, NotchEvent::activityArrived(q), NotchState::activity(q), {}},
    {"arrival leaves the open Desk alone",            openTray,   all,  NotchEvent::activityArrived(q), openTray, {}},
    {"arrival leaves a drop target alone",            dropTarget, all,  NotchEvent::activityArrived(q), dropTarget, {}},

    {"tab switch",                                    openRavo,   none, NotchEvent::selectTab(RiziDar::tray), openTray, {haptic}},
    {"same tab does nothing",                         openRavo,   none, NotchEvent::selectTab(RiziDar::ravo), openRavo, {}},
    {"tab switch needs the open Desk",                closed,     all,  NotchEvent::selectTab(RiziDar::tray), closed, {}},

    {"hover expands with quick peek",                 activityP,  with({&G::quickPeekEnabled}),      NotchEvent::hoverBegan(), expandedP, {}},
    {"hover expands with interactive activities",     activityP,  with({&G::interactiveActivities}), NotchEvent::hoverBegan(), expandedP, {}},
    {"hover without either keeps the pill",           activityP,  with({&G::expandOnHover}),         NotchEvent::hoverBegan(), activityP, {}},
    {"hover on an expanded pill does nothing",        expandedP,  all,  NotchEvent::hoverBegan(), expandedP, {}},
    {"hover on a peek does nothing",                  peekP,      all,  NotchEvent::hoverBegan(), peekP, {}},
    {"hover opens with expand on hover",              closed,     with({&G::expandOnHover}),     NotchEvent::hoverBegan(), openRavo, {toRavo, haptic}},
    {"hover opens with always open on hover",         closed,     with({&G::alwaysOpenOnHover}), NotchEvent::hoverBegan(), openRavo, {toRavo, haptic}},
    {"hover is locked while typing",                  closed,     with({&G::expandOnHover, &G::lockWhileTyping, &G::isTyping}), NotchEvent::hoverBegan(), closed, {}},
    {"lock without typing still opens",               closed,     with({&G::expandOnHover, &G::lockWhileTyping}), NotchEvent::hoverBegan(), openRavo, {toRavo, haptic}},
    {"typing without the lock still opens",           closed,     with({&G::alwaysOpenOnHover, &G::isTyping}),    NotchEvent::hoverBegan(), openRavo, {toRavo, haptic}},
    {"hover without an open switch does nothing",     closed,     with({&G::interactiveActivities, &G::quickPeekEnabled}), NotchEvent::hoverBegan(), closed, {}},

    {"leaving a peek closes it",                      peekP,      all,  NotchEvent::hoverEnded(), closed, {}},
    {"leaving an expanded pill collapses it",         expandedP,  all,  NotchEvent::hoverEnded(), activityP, {}},
    {"leaving the Desk closes it",                    openRavo,   none, NotchEvent::hoverEnded(), closed, {unfocus, haptic}},
    {"prevent close keeps the Desk",                  openRavo,   with({&G::preventCloseOnMouseLeave}), NotchEvent::hoverEnded(), openRavo, {}},
    {"always open on hover keeps the Desk",           openTray,   with({&G::alwaysOpenOnHover}),        NotchEvent::hoverEnded(), openTray, {}},
    {"leaving a pill does nothing",                   activityP,  none, NotchEvent::hoverEnded(), activityP, {}},

    {"click opens an interactive pill",               activityP,  with({&G::interactiveActivities}), NotchEvent::click(), openRavo, {toRavo, haptic}},
    {"click opens an interactive expanded pill",      expandedP,  with({&G::interactiveActivities}), NotchEvent::click(), openRavo, {toRavo, haptic}},
    {"click on a plain pill does nothing",            activityP,  with({&G::quickPeekEnabled}),      NotchEvent::click(), activityP, {}},
    {"click opens the closed notch unconditionally",  closed,     none, NotchEvent::click(), openRavo, {toRavo, haptic}},
    {"click on a peek does nothing",                  peekP,      all,  NotchEvent::click(), peekP, {}},
    {"click on the open Desk does nothing",           openTray,   all,  NotchEvent::click(), openTray, {}},
    {"click on hidden does nothing",                  hidden,     all,  NotchEvent::click(), hidden, {}},
    {"click on a drop target does nothing",           dropTarget, all,  NotchEvent::click(), dropTarget, {}},

    {"swipe down opens from an expanded pill",        expandedP,  with({&G::swipeToToggleOpen}), NotchEvent::swipeDown(), openRavo, {toRavo, haptic}},
    {"swipe down opens from closed",                  closed,     with({&G::swipeToToggleOpen}), NotchEvent::swipeDown(), openRavo, {toRavo, haptic}},
    {"swipe down needs the toggle switch",            closed,     with({&G::swipeToDismissActivity}), NotchEvent::swipeDown(), closed, {}},
    {"swipe down brings back a hidden notch",         hidden,     none, NotchEvent::swipeDown(), closed, {}},
    {"swipe down on a compact pill does nothing",     activityP,  all,  NotchEvent::swipeDown(), activityP, {}},
    {"swipe down on a peek does nothing",             peekP,      all,  NotchEvent::swipeDown(), peekP, {}},
    {"swipe down on the open Desk does nothing",      openRavo,   all,  NotchEvent::swipeDown(), openRavo, {}},
    {"swipe down on a drop target does nothing",      dropTarget, all,  NotchEvent::swipeDown(), dropTarget, {}},

    {"swipe up dismisses a pill",                     activityP,  with({&G::swipeToDismissActivity}), NotchEvent::swipeUp(), closed, {NotchEffect::dismissActivity()}},
    {"swipe up dismisses an expanded pill",           expandedP,  with({&G::swipeToDismissActivity}), NotchEvent::swipeUp(), closed, {NotchEffect::dismissActivity()}},
    {"swipe up needs the dismiss switch",             activityP,  with({&G::swipeToToggleOpen}),      NotchEvent::swipeUp(), activityP, {}},
    {"swipe up closes the Desk whatever the guards",  openTray,   none, NotchEvent::swipeUp(), closed, {unfocus, haptic}},
    {"swipe up hides the closed notch",               closed,     with({&G::swipeToToggleOpen}), NotchEvent::swipeUp(), hidden, {}},
    {"swipe up hiding needs the toggle switch",       closed,     with({&G::swipeToDismissActivity}), NotchEvent::swipeUp(), closed, {}},

    {"swipe left cycles a pill",                      activityP,  with({&G::swipeToCycleActivity}), NotchEvent::swipeLeft(), activityP, {NotchEffect::cycleActivity(true)}},
    {"cycling wins over skipping",                    expandedP,  with({&G::swipeToCycleActivity, &G::swipeToSkipMedia}), NotchEvent::swipeLeft(), expandedP, {NotchEffect::cycleActivity(true)}},
    {"swipe left skips media on a pill",              activityP,  with({&G::swipeToSkipMedia}), NotchEvent::swipeLeft(), activityP, {NotchEffect::mediaNext()}},
    {"swipe left skips media on the Desk",            openRavo,   with({&G::swipeToSkipMedia}), NotchEvent::swipeLeft(), openRavo, {NotchEffect::mediaNext()}},
    {"swipe left skips media on closed",              closed,     with({&G::swipeToSkipMedia}), NotchEvent::swipeLeft(), closed, {NotchEffect::mediaNext()}},
    {"cycling needs a pill",                          closed,     with({&G::swipeToCycleActivity}), NotchEvent::swipeLeft(), closed, {}},
    {"swipe left on a pill without switches",         activityP,  none, NotchEvent::swipeLeft(), activityP, {}},
    {"swipe left on a peek does nothing",             peekP,      all,  NotchEvent::swipeLeft(), peekP, {}},
    {"swipe left on hidden does nothing",             hidden,     all,  NotchEvent::swipeLeft(), hidden, {}},
    {"swipe right cycles backward",                   activityP,  with({&G::swipeToCycleActivity}), NotchEvent::swipeRight(), activityP, {NotchEffect::cycleActivity(false)}},
    {"swipe right skips back on a pill",              expandedP,  with({&G::swipeToSkipMedia}), NotchEvent::swipeRight(), expandedP, {NotchEffect::mediaPrevious()}},
    {"swipe right skips back on the Desk",            openTray,   with({&G::swipeToSkipMedia}), NotchEvent::swipeRight(), openTray, {NotchEffect::mediaPrevious()}},
    {"swipe right skips back on closed",              closed,     with({&G::swipeToSkipMedia}), NotchEvent::swipeRight(), closed, {NotchEffect::mediaPrevious()}},
    {"swipe right on a drop target does nothing",     dropTarget, all,  NotchEvent::swipeRight(), dropTarget, {}},

    {"drag over a pill",                              activityP,  none, NotchEvent::dragEntered(), dropTarget, {}},
    {"drag over an expanded pill",                    expandedP,  none, NotchEvent::dragEntered(), dropTarget, {}},
    {"drag over the Desk leaves it",                  openRavo,   none, NotchEvent::dragEntered(), dropTarget, {haptic}},
    {"drag over closed",                              closed,     none, NotchEvent::dragEntered(), dropTarget, {}},
    {"drag over a peek does nothing",                 peekP,      all,  NotchEvent::dragEntered(), peekP, {}},
    {"drag over hidden does nothing",                 hidden,     all,  NotchEvent::dragEntered(), hidden, {}},
    {"drag exit without a saved state closes",        dropTarget, none, NotchEvent::dragExited(), closed, {}},
    {"drag exit elsewhere does nothing",              openTray,   all,  NotchEvent::dragExited(), openTray, {}},
    {"drop opens the tray",                           dropTarget, none, NotchEvent::dropped(), openTray, {toTray, haptic}},
    {"drop elsewhere does nothing",                   closed,     all,  NotchEvent::dropped(), closed, {}},

    {"escape closes the Desk",                        openTray,   none, NotchEvent::escape(), closed, {unfocus, haptic}},
    {"escape elsewhere does nothing",                 expandedP,  all,  NotchEvent::escape(), expandedP, {}},

    {"time-out closes a pill",                        activityP,  none, NotchEvent::activityTimedOut(), closed, {}},
    {"time-out closes an expanded pill",              expandedP,  none, NotchEvent::activityTimedOut(), closed, {}},
    {"demo mode keeps a pill",                        activityP,  with({&G::demoMode}), NotchEvent::activityTimedOut(), activityP, {}},
    {"demo mode keeps an expanded pill",              expandedP,  with({&G::demoMode}), NotchEvent::activityTimedOut(), expandedP, {}},
    {"a peek times out even in demo mode",            peekP,      all,  NotchEvent::activityTimedOut(), closed, {}},
    {"time-out on the Desk does nothing",             openRavo,   none, NotchEvent::activityTimedOut(), openRavo, {}},
    {"time-out on hidden does nothing",               hidden,     none, NotchEvent::activityTimedOut(), hidden, {}},

    {"toggle shows a hidden notch",                   hidden,     none, NotchEvent::toggleHidden(), closed, {}},
    {"toggle hides closed",                           closed,     none, NotchEvent::toggleHidden(), hidden, {}},
    {"toggle hides a pill",                           activityP,  none, NotchEvent::toggleHidden(), hidden, {}},
    {"toggle hides a peek",                           peekP,      none, NotchEvent::toggleHidden(), hidden, {}},
    {"toggle hides a drop target",                    dropTarget, none, NotchEvent::toggleHidden(), hidden, {}},
    {"toggle hides the Desk without unfocusing",      openRavo,   none, NotchEvent::toggleHidden(), hidden, {haptic}},

    {"force close from the Desk",                     openTray,   none, NotchEvent::forceClose(), closed, {unfocus, haptic}},
    {"force close from a pill has no haptic",         activityP,  none, NotchEvent::forceClose(), closed, {unfocus}},
    {"force close when already closed still unfocuses", closed,   none, NotchEvent::forceClose(), closed, {unfocus}},
    {"force close from hidden",                       hidden,     all,  NotchEvent::forceClose(), closed, {unfocus}},
    {"force close from a drop target",                dropTarget, all,  NotchEvent::forceClose(), closed, {unfocus}},
};
// clang-format on

TEST(NotchStateMachine, FollowsTheTransitionTable)
{
    for (const auto& row : kTransitions) {
        SCOPED_TRACE(row.why);
        NotchStateMachine machine(row.from, row.guards);
        EXPECT_EQ(machine.apply(row.event), row.effects);
        EXPECT_EQ(machine.state(), row.to);
    }
}

TEST(NotchStateMachine, QueueDrainedNeverChangesAnything)
{
    for (const auto& state : kEveryState) {
        for (const auto& guards : {none, all}) {
            NotchStateMachine machine(state, guards);
            EXPECT_TRUE(machine.apply(NotchEvent::activityQueueDrained()).empty());
            EXPECT_EQ(machine.state(), state);
        }
    }
}

// The haptic is derived, not tabled: it comes last exactly when the state
// changed and either side is the open Desk. Checked over every state, event
// and a spread of guards, together with the rule that nothing asks for focus.
TEST(NotchStateMachine, HapticEndsEveryChangeToOrFromTheDeskAndNothingElse)
{
    const std::vector<NotchEvent> events{
        NotchEvent::activityArrived(q), NotchEvent::selectTab(RiziDar::ravo), NotchEvent::selectTab(RiziDar::tray),
        NotchEvent::hoverBegan(),       NotchEvent::hoverEnded(),   NotchEvent::click(),
        NotchEvent::swipeDown(),        NotchEvent::swipeUp(),      NotchEvent::swipeLeft(),
        NotchEvent::swipeRight(),       NotchEvent::dragEntered(),  NotchEvent::dragExited(),
        NotchEvent::dropped(),          NotchEvent::escape(),       NotchEvent::activityTimedOut(),
        NotchEvent::activityQueueDrained(), NotchEvent::toggleHidden(), NotchEvent::forceClose(),
    };
    const std::vector<G> guardSets{none, all, with({&G::swipeToToggleOpen, &G::expandOnHover}),
                                   with({&G::interactiveActivities, &G::swipeToSkipMedia})};
    int hapticCount = 0;
    for (const auto& state : kEveryState) {
        for (const auto& event : events) {
            for (const auto& guards : guardSets) {
                NotchStateMachine machine(state, guards);
                const auto effects = machine.apply(event);
                const bool changed = machine.state() != state;
                const bool wantsHaptic = changed && (state.isOpen() || machine.state().isOpen());
                const auto haptics = std::count(effects.begin(), effects.end(), haptic);
                EXPECT_EQ(haptics, wantsHaptic ? 1 : 0);
                if (wantsHaptic) {
                    EXPECT_EQ(effects.back(), haptic);
                }
                EXPECT_EQ(std::count(effects.begin(), effects.end(), NotchEffect::requestKeyboardFocus(true)), 0);
                hapticCount += wantsHaptic;
            }
        }
    }
    EXPECT_GT(hapticCount, 0);
}

struct Step {
    NotchEvent event;
    NotchState after;
    Effects effects = {};
};

struct Story {
    const char* why;
    NotchState start;
    G guards;
    std::vector<Step> steps;
};

// Sequences around a drag: the drop target remembers where it came from.
// clang-format off
const Story kDragStories[] = {
    {"a pill comes back after the drag", activityP, none, {
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::dragExited(), activityP},
    }},
    {"the Desk comes back after the drag", openTray, none, {
        {NotchEvent::dragEntered(), dropTarget, {haptic}},
        {NotchEvent::dragExited(), openTray, {haptic}},
    }},
    {"a drop opens the tray and forgets the saved state", activityP, none, {
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::dropped(), openTray, {toTray, haptic}},
        {NotchEvent::dragExited(), openTray},
    }},
    {"a second drag enter keeps the first saved state", expandedP, none, {
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::dragExited(), expandedP},
    }},
    // What happens to the activity during the drag shows when it ends.
    {"an arrival during the drag replaces the saved pill", activityP, none, {
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::activityArrived(q), dropTarget},
        {NotchEvent::dragExited(), NotchState::activity(q)},
    }},
    {"an arrival during the drag replaces a saved expanded pill", expandedP, none, {
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::activityArrived(q), dropTarget},
        {NotchEvent::dragExited(), NotchState::activity(q)},
    }},
    {"an arrival during a drag from closed shows afterwards", closed, none, {
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::activityArrived(q), dropTarget},
        {NotchEvent::dragExited(), NotchState::activity(q)},
    }},
    {"an arrival during a drag from the Desk keeps the Desk", openRavo, none, {
        {NotchEvent::dragEntered(), dropTarget, {haptic}},
        {NotchEvent::activityArrived(q), dropTarget},
        {NotchEvent::dragExited(), openRavo, {haptic}},
    }},
    {"a pill that expires during the drag is not restored", activityP, none, {
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::activityTimedOut(), dropTarget},
        {NotchEvent::dragExited(), closed},
    }},
    {"an expanded pill that expires during the drag is not restored", expandedP, none, {
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::activityTimedOut(), dropTarget},
        {NotchEvent::dragExited(), closed},
    }},
    {"demo mode keeps the saved pill through a time-out", expandedP, with({&G::demoMode}), {
        {NotchEvent::dragEntered(), dropTarget},
        {NotchEvent::activityTimedOut(), dropTarget},
        {NotchEvent::dragExited(), expandedP},
    }},
    {"a time-out during a drag from the Desk keeps the Desk", openTray, none, {
        {NotchEvent::dragEntered(), dropTarget, {haptic}},
        {NotchEvent::activityTimedOut(), dropTarget},
        {NotchEvent::dragExited(), openTray, {haptic}},
    }},
};
// clang-format on

TEST(NotchStateMachine, DragRoundTrips)
{
    for (const auto& story : kDragStories) {
        SCOPED_TRACE(story.why);
        NotchStateMachine machine(story.start, story.guards);
        for (std::size_t i = 0; i < story.steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i + 1));
            EXPECT_EQ(machine.apply(story.steps[i].event), story.steps[i].effects);
            EXPECT_EQ(machine.state(), story.steps[i].after);
        }
    }
}

TEST(NotchStateMachine, NewGuardsTakeEffectOnTheNextEvent)
{
    NotchStateMachine machine(closed);
    EXPECT_TRUE(machine.apply(NotchEvent::hoverBegan()).empty());
    machine.setGuards(with({&G::expandOnHover}));
    EXPECT_EQ(machine.apply(NotchEvent::hoverBegan()), (Effects{toRavo, haptic}));
    EXPECT_EQ(machine.state(), openRavo);
}

TEST(NotchState, DerivedPropertiesAndEquality)
{
    for (const auto& state : kEveryState) {
        SCOPED_TRACE(::testing::PrintToString(state));
        const bool presenting = state == peekP || state == activityP || state == expandedP;
        EXPECT_EQ(state.isPresentingActivity(), presenting);
        EXPECT_EQ(state.isOpen(), state == openRavo || state == openTray);
        EXPECT_EQ(state.payload() != nullptr, presenting);
        if (presenting) {
            EXPECT_EQ(*state.payload(), p);
        }
    }
    EXPECT_NE(NotchState::activity(p), NotchState::activity(q)) << "payloads are compared";
    EXPECT_NE(NotchState::activity(p), NotchState::activityExpanded(p)) << "cases are compared";
    EXPECT_NE(openRavo, openTray);
    EXPECT_EQ(NotchEvent::activityArrived(p), NotchEvent::activityArrived(p));
    EXPECT_NE(NotchEvent::activityArrived(p), NotchEvent::activityArrived(q));
    EXPECT_NE(NotchEffect::cycleActivity(true), NotchEffect::cycleActivity(false));
    EXPECT_TRUE(NotchEffect::cycleActivity(true).forward());
    EXPECT_FALSE(NotchEffect::requestKeyboardFocus(true).forward());
    EXPECT_TRUE(NotchEffect::requestKeyboardFocus(true).focus());
}

} // namespace
