#include "NotchViewModelRig.h"

#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

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

namespace {

using namespace notchtest;
using G = NotchStateGuards;
using Log = std::vector<std::string>;

const ActivityPayload p = pill("p");
const ActivityPayload q = pill("q");

G with(std::initializer_list<bool G::*> switches)
{
    G guards;
    for (auto field : switches)
        guards.*field = true;
    return guards;
}

// The way every event travels: guards from the settings, the transition,
// then what the model carries out itself and what it passes on, in the
// machine's order.
TEST(NotchViewModelQtTest, SendCarriesOutTheTransitionAndItsEffects)
{
    struct Row {
        const char* name;
        G guards;
        std::vector<NotchEvent> before;
        NotchEvent event;
        NotchState expected;
        Log log; // effects passed on, haptics and keyboard hand-overs, in order
        double radius;
        bool refreshed; // the Desk's data was read again
    } rows[] = {
        {"hover on a closed notch: hint and haptic, no transition", {}, {}, NotchEvent::hoverBegan(),
         NotchState::closed(), {"haptic"}, 14, false},
        {"hover ends while not hovering: nothing at all", {}, {}, NotchEvent::hoverEnded(), NotchState::closed(), {},
         14, false},
        {"click opens the Desk", {}, {}, NotchEvent::click(), NotchState::open(RiziDar::ravo),
         {"take keyboard", "open ravo", "haptic"}, 34, true},
        {"tab switch inside the Desk", {}, {NotchEvent::click()}, NotchEvent::selectTab(RiziDar::tray),
         NotchState::open(RiziDar::tray), {"haptic"}, 34, false},
        {"pointer leaves the Desk", {}, {NotchEvent::click()}, NotchEvent::hoverEnded(), NotchState::closed(),
         {"give keyboard back", "haptic"}, 14, false},
        {"pointer leaves a Desk that stays", with({&G::preventCloseOnMouseLeave}), {NotchEvent::click()},
         NotchEvent::hoverEnded(), NotchState::open(RiziDar::ravo), {}, 34, false},
        {"skip media on the closed notch: effect without transition", with({&G::swipeToSkipMedia}), {},
         NotchEvent::swipeLeft(), NotchState::closed(), {"next track"}, 14, false},
        {"cycle activities", with({&G::swipeToCycleActivity, &G::swipeToSkipMedia}),
         {NotchEvent::activityArrived(p)}, NotchEvent::swipeRight(), NotchState::activity(p), {"cycle back"}, 14,
         false},
        {"dismiss a pill", with({&G::swipeToDismissActivity}), {NotchEvent::activityArrived(p)}, NotchEvent::swipeUp(),
         NotchState::closed(), {"dismiss"}, 14, false},
        {"drop on a pill opens the tray", {}, {NotchEvent::activityArrived(p), NotchEvent::dragEntered()},
         NotchEvent::dropped(), NotchState::open(RiziDar::tray), {"take keyboard", "open tray", "haptic"}, 34, true},
        {"force close of a pill: no keyboard to give back", {}, {NotchEvent::activityArrived(p)},
         NotchEvent::forceClose(), NotchState::closed(), {}, 14, false},
        {"force close of the Desk", {}, {NotchEvent::click(), NotchEvent::selectTab(RiziDar::tray)},
         NotchEvent::forceClose(), NotchState::closed(), {"give keyboard back", "haptic"}, 14, false},
        {"force close of a closed notch", {}, {}, NotchEvent::forceClose(), NotchState::closed(), {}, 14, false},
        {"escape closes the Desk", {}, {NotchEvent::click()}, NotchEvent::escape(), NotchState::closed(),
         {"give keyboard back", "haptic"}, 14, false},
        {"hover opens the Desk", with({&G::expandOnHover}), {}, NotchEvent::hoverBegan(),
         NotchState::open(RiziDar::ravo), {"haptic", "take keyboard", "open ravo", "haptic"}, 34, true},
        {"typing lock never blocks a hover: no typing state is kept", with({&G::expandOnHover, &G::lockWhileTyping}),
         {}, NotchEvent::hoverBegan(), NotchState::open(RiziDar::ravo),
         {"haptic", "take keyboard", "open ravo", "haptic"}, 34, true},
        {"hiding the Desk gives the keyboard back", {}, {NotchEvent::click()}, NotchEvent::toggleHidden(),
         NotchState::hidden(), {"give keyboard back", "haptic"}, 14, false},
        {"swipe down shows a hidden notch", {}, {NotchEvent::toggleHidden()}, NotchEvent::swipeDown(),
         NotchState::closed(), {}, 14, false},
        {"click on an expanded pill", with({&G::quickPeekEnabled, &G::interactiveActivities}),
         {NotchEvent::activityArrived(p), NotchEvent::hoverBegan()}, NotchEvent::click(),
         NotchState::open(RiziDar::ravo), {"take keyboard", "open ravo", "haptic"}, 34, true},
        {"a pill in demo mode does not time out", with({&G::demoMode}), {NotchEvent::activityArrived(p)},
         NotchEvent::activityTimedOut(), NotchState::activity(p), {}, 14, false},
        {"an activity arriving at the open Desk waits", {}, {NotchEvent::click()}, NotchEvent::activityArrived(q),
         NotchState::open(RiziDar::ravo), {}, 34, false},
        {"a new activity replaces an expanded pill", with({&G::quickPeekEnabled}),
         {NotchEvent::activityArrived(p), NotchEvent::hoverBegan()}, NotchEvent::activityArrived(q),
         NotchState::activity(q), {}, 14, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        rig.setGuards(row.guards);
        for (const NotchEvent& event : row.before)
            rig.model->send(event);
        rig.log.clear();
        const int readsBefore = rig.deviceReads;

        rig.model->send(row.event);

        EXPECT_EQ(rig.model->state(), row.expected);
        EXPECT_EQ(rig.log, row.log);
        EXPECT_EQ(rig.panel->drawnBottomRadius(), row.radius);
        EXPECT_EQ(rig.panel->keyboardFocusRequested(), row.expected.isOpen());
        EXPECT_EQ(rig.deviceReads > readsBefore, row.refreshed);
    }
}

TEST(NotchViewModelQtTest, StateChangesAreAnimatedAndAnnouncedOnce)
{
    Rig rig;
    QSignalSpy changes(rig.model.get(), &NotchViewModel::stateChanged);
    int geometryCalls = 0;
    rig.model->onGeometryChange = [&] { ++geometryCalls; };

    rig.model->send(NotchEvent::click());
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(rig.model->animation(), Vude::Motion::open);
    EXPECT_GE(geometryCalls, 1);

    rig.model->send(NotchEvent::click()); // no rule: nothing changes
    EXPECT_EQ(changes.count(), 1);

    rig.model->send(NotchEvent::selectTab(RiziDar::tray));
    EXPECT_EQ(rig.model->animation(), Vude::Motion::open) << "either tab opens";
    rig.model->send(NotchEvent::forceClose());
    EXPECT_EQ(rig.model->animation(), Vude::Motion::close);
    EXPECT_EQ(changes.count(), 3);

    FixedReduceMotionSetting reduced(true);
    rig.model->reduceMotion = &reduced;
    rig.model->send(NotchEvent::click());
    EXPECT_EQ(rig.model->animation(), Vude::Motion::reducedMotion);
}

TEST(NotchViewModelQtTest, HapticsFollowTheSetting)
{
    Rig rig;
    rig.settings.setHapticFeedback(false);
    rig.model->send(NotchEvent::hoverBegan());
    rig.model->send(NotchEvent::click());
    EXPECT_EQ(rig.log, (Log{"take keyboard", "open ravo"}));
}

TEST(NotchViewModelQtTest, EffectsWithoutAHandlerAreDropped)
{
    Rig rig;
    rig.model->onEffect = nullptr;
    rig.settings.setSwipeToSkipMedia(true);
    rig.model->send(NotchEvent::swipeLeft());
    rig.model->send(NotchEvent::click());
    EXPECT_EQ(rig.log, (Log{"take keyboard", "haptic"}));
}

// Sizing the window: grow at once, shrink when the new state's animation has
// settled and only if it is still shown.

TEST(NotchViewModelQtTest, OpeningGrowsAtOnceAndClosingShrinksAfterTheCloseAnimation)
{
    Rig rig;
    rig.model->send(NotchEvent::click());
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{596, 214}));
    EXPECT_EQ(rig.panel->drawnCanvas(), (Size{596, 214}));
    EXPECT_EQ(rig.frame(), (Rect{422, 0, 596, 214})) << "centred on the notch, hanging from the top";

    rig.model->send(NotchEvent::forceClose());
    rig.scheduler.advance(339ms);
    EXPECT_EQ(rig.frame(), (Rect{422, 0, 596, 214})) << "the close animation still runs in the open window";
    rig.scheduler.advance(1ms);
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{224, 38}));
    EXPECT_EQ(rig.frame(), (Rect{608, 0, 224, 38}));
}

TEST(NotchViewModelQtTest, AShrinkIsDroppedWhenTheNotchReopensFirst)
{
    Rig rig;
    rig.model->send(NotchEvent::click());
    rig.model->send(NotchEvent::forceClose());
    rig.scheduler.advance(200ms);
    rig.model->send(NotchEvent::click());
    rig.scheduler.advance(1s);
    EXPECT_EQ(rig.frame(), (Rect{422, 0, 596, 214}));
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{596, 214}));
}

// Widgets switched on or off in the settings while the Desk is open.
TEST(NotchViewModelQtTest, TheOpenDeskFollowsItsRowAsItChanges)
{
    auto row = [](double totalWidth) {
        ZeriRuvuzi layout;
        layout.placements = {{WidgetID::todos, 4, totalWidth - 40, 20}};
        layout.totalWidth = totalWidth;
        return layout;
    };
    Rig rig;
    rig.model->send(NotchEvent::click());
    ASSERT_EQ(rig.panel->currentCanvas().width, 596);

    rig.model->setLayout(row(900));
    EXPECT_EQ(rig.panel->currentCanvas().width, 924) << "grows at once";
    EXPECT_EQ(rig.panel->currentCanvas(), rig.model->currentCanvasSize());
    EXPECT_EQ(rig.frame().width, 924);

    rig.model->setLayout(row(700));
    rig.scheduler.advance(419ms);
    EXPECT_EQ(rig.panel->currentCanvas().width, 924) << "shrinks after the open animation's time";
    rig.scheduler.advance(1ms);
    EXPECT_EQ(rig.panel->currentCanvas().width, 724);
    EXPECT_EQ(rig.frame().width, 724);

    rig.model->send(NotchEvent::forceClose());
    rig.scheduler.advance(1s);
    rig.model->setLayout(row(1000));
    rig.scheduler.advance(1s);
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{224, 38})) << "a closed notch ignores the row";
}

TEST(NotchViewModelQtTest, AWiderButLowerCanvasIsAppliedAtOnceInBothDirections)
{
    Rig rig;
    rig.model->send(NotchEvent::click());
    rig.model->send(NotchEvent::dragEntered());
    ASSERT_EQ(rig.model->state(), NotchState::dropTarget());
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{744, 156}));
    EXPECT_EQ(rig.frame(), (Rect{348, 0, 744, 156}));
}

TEST(NotchViewModelQtTest, ANarrowerPillShrinksOnlyIfItIsStillShown)
{
    Rig rig;
    const ActivityPayload wide = pill("wide", ActivityTrailing::bar(0.5));
    const ActivityPayload narrow = pill("narrow", ActivityTrailing::none());
    const ActivityPayload other = pill("other", ActivityTrailing::none());
    rig.model->send(NotchEvent::activityArrived(wide));
    const Size wideCanvas = rig.panel->currentCanvas();
    EXPECT_EQ(wideCanvas, (Size{2 * 102 + 224 + 24, 38}));

    rig.model->send(NotchEvent::activityArrived(narrow));
    rig.scheduler.advance(300ms);
    rig.model->send(NotchEvent::activityArrived(other)); // the same size, another pill
    rig.scheduler.advance(40ms);
    EXPECT_EQ(rig.panel->currentCanvas(), wideCanvas) << "the narrow pill is no longer shown";
    rig.scheduler.advance(300ms);
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{2 * 70 + 224 + 24, 38}));
}

TEST(NotchViewModelQtTest, TheHoverHintResizesAtOnceBothWays)
{
    Rig rig;
    QSignalSpy hovering(rig.model.get(), &NotchViewModel::isHoveringChanged);
    rig.model->send(NotchEvent::hoverBegan());
    EXPECT_TRUE(rig.model->isHovering());
    EXPECT_EQ(rig.model->animation(), Vude::Motion::hover);
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{238, 44}));
    EXPECT_EQ(rig.frame(), (Rect{601, 0, 238, 44}));
    rig.model->send(NotchEvent::hoverBegan());
    EXPECT_EQ(hovering.count(), 1);

    rig.model->send(NotchEvent::hoverEnded());
    EXPECT_FALSE(rig.model->isHovering());
    EXPECT_EQ(rig.frame(), (Rect{608, 0, 224, 38}));
    EXPECT_EQ(rig.scheduler.pendingCount(), 0u);
}

TEST(NotchViewModelQtTest, AHoveredAmbientPillGrowsTallerAndOtherPillsLeaveItToTheMachine)
{
    Rig rig;
    rig.setGuards({});
    rig.model->send(NotchEvent::activityArrived(ambientMedia()));
    ASSERT_TRUE(rig.model->isAmbientMedia());
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{316, 38}));
    rig.model->send(NotchEvent::hoverBegan());
    EXPECT_TRUE(rig.model->isHovering());
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{316, 62}));

    Rig other;
    other.setGuards({});
    other.model->send(NotchEvent::activityArrived(p));
    other.log.clear();
    other.model->send(NotchEvent::hoverBegan());
    EXPECT_FALSE(other.model->isHovering());
    EXPECT_TRUE(other.log.empty()) << "no hint, no haptic";
}

TEST(NotchViewModelQtTest, TheClickableBandStaysUnderTheContentWhileAShrinkWaits)
{
    Rig rig;
    int geometryCalls = 0;
    rig.model->onGeometryChange = [&] { ++geometryCalls; };
    rig.model->send(NotchEvent::click());
    EXPECT_EQ(rig.model->currentInteractiveRect(), (Rect{0, 0, 596, 214}));

    rig.model->send(NotchEvent::forceClose());
    // The window is still the open one, centred on the notch, and so is the
    // closed notch drawn in it.
    EXPECT_EQ(rig.model->currentInteractiveRect(), (Rect{186, 0, 224, 38}));
    const int before = geometryCalls;
    rig.scheduler.advance(340ms);
    EXPECT_EQ(rig.model->currentInteractiveRect(), (Rect{0, 0, 224, 38}));
    EXPECT_GT(geometryCalls, before) << "the owner hears of the smaller window";
}

TEST(NotchViewModelQtTest, TheBackdropFollowsTheSettingAtTheNextChange)
{
    Rig rig;
    rig.model->send(NotchEvent::click());
    EXPECT_TRUE(rig.panel->backdrop().isVisible());

    rig.settings.setProgressiveBlur(false);
    EXPECT_TRUE(rig.panel->backdrop().isVisible()) << "nothing happens until the state changes";
    rig.model->send(NotchEvent::forceClose());
    EXPECT_FALSE(rig.panel->backdropEnabled());
    EXPECT_FALSE(rig.panel->backdrop().isVisible());

    rig.settings.setProgressiveBlur(true);
    rig.model->send(NotchEvent::click());
    EXPECT_TRUE(rig.panel->backdropEnabled());
    EXPECT_TRUE(rig.panel->backdrop().isVisible());
}

TEST(NotchViewModelQtTest, WithoutAPanelTheStateAndEffectsStillProceed)
{
    Rig rig(false);
    rig.model->send(NotchEvent::click());
    EXPECT_EQ(rig.model->state(), NotchState::open(RiziDar::ravo));
    EXPECT_EQ(rig.log, (Log{"open ravo", "haptic"}));
    EXPECT_EQ(rig.model->currentInteractiveRect(), (Rect{0, 0, 596, 214}));
    EXPECT_EQ(rig.scheduler.pendingCount(), 0u);
}

TEST(NotchViewModelQtTest, APendingShrinkOutlivingItsPanelOrModelDoesNothing)
{
    Rig rig;
    rig.model->send(NotchEvent::click());
    rig.model->send(NotchEvent::forceClose());
    rig.panel.reset();
    rig.scheduler.advance(1s);
    EXPECT_EQ(rig.model->panel(), nullptr);

    Rig other;
    other.model->send(NotchEvent::click());
    other.model->send(NotchEvent::forceClose());
    other.model.reset();
    other.scheduler.advance(1s);
    EXPECT_EQ(other.panel->currentCanvas(), (Size{596, 214}));
}

TEST(NotchViewModelQtTest, OpeningTheDeskReloadsTheRepositoryButSwitchingTabsDoesNot)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto container = ModelContainer::open({std::filesystem::path(folder.path().toStdString()) / "Vude.store"});
    ASSERT_TRUE(container.has_value());
    Rig rig;
    rig.model->repository = std::make_shared<DidoDivuzerore>((*container)->makeContext(), "desk", rig.clock);
    // Rows written behind the repository's back, as another window would.
    auto elsewhere = (*container)->makeContext();
    const auto addTodo = [&](const char* title) {
        elsewhere->insert(std::make_shared<SyncedTodo>(Uuid::random(), title, false, false, rig.clock.now(),
                                                       std::nullopt, 0, "other"));
        ASSERT_TRUE(elsewhere->save().has_value());
    };

    addTodo("first");
    EXPECT_TRUE(rig.model->repository->todos().empty());
    rig.model->send(NotchEvent::click());
    EXPECT_EQ(rig.model->repository->todos().size(), 1u);
    EXPECT_EQ(rig.model->audioDevices(), rig.devices);

    addTodo("second");
    rig.model->send(NotchEvent::selectTab(RiziDar::tray));
    EXPECT_EQ(rig.model->repository->todos().size(), 1u);
    rig.model->send(NotchEvent::forceClose());
    rig.model->send(NotchEvent::click());
    EXPECT_EQ(rig.model->repository->todos().size(), 2u);
    rig.model->repository.reset();
}

// A hidden notch takes no input, yet a scroll over its handler brings it back.

TEST(NotchViewModelQtTest, AHiddenNotchWatchesTheWheelOnlyWhileHidden)
{
    Rig rig;
    EXPECT_EQ(rig.fakes.mouseMonitor.monitorCount(), 0u);
    const Size before = rig.panel->currentCanvas();
    rig.model->send(NotchEvent::toggleHidden());
    EXPECT_EQ(rig.model->currentInteractiveRect(), Rect{});
    EXPECT_EQ(rig.panel->currentCanvas(), before) << "a smaller window waits";
    rig.scheduler.advance(340ms);
    EXPECT_EQ(rig.panel->currentCanvas(), (Size{200, 4}));
    EXPECT_EQ(rig.fakes.mouseMonitor.monitorCount(), 1u);

    rig.model->send(NotchEvent::toggleHidden());
    EXPECT_EQ(rig.fakes.mouseMonitor.monitorCount(), 0u);

    rig.model->send(NotchEvent::toggleHidden());
    rig.model.reset();
    EXPECT_EQ(rig.fakes.mouseMonitor.monitorCount(), 0u) << "a model that goes away stops watching";
}

TEST(NotchViewModelQtTest, AScrollOverTheHiddenHandlerBringsTheNotchBack)
{
    struct Row {
        const char* name;
        Point at;
        double notches; // turned one at a time, 50 ms apart
        bool natural;
        bool gestures;
        bool shows;
    } rows[] = {
        {"a flick over the handler", {720, 10}, 3, false, true, true},
        {"at the very top edge", {621, 0}, 3, false, true, true},
        {"one notch is not a swipe", {720, 10}, 1, false, true, false},
        {"the other way is no swipe down", {720, 10}, -3, false, true, false},
        {"natural scrolling turns the direction", {720, 10}, -3, true, true, true},
        {"beside the handler", {600, 10}, 3, false, true, false},
        {"below the handler", {720, 32}, 3, false, true, false},
        {"even with scroll gestures off", {720, 10}, 3, false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        rig.settings.setNaturalMovement(row.natural);
        rig.settings.setGesturesWhileHovering(row.gestures);
        rig.model->send(NotchEvent::toggleHidden());
        const double step = row.notches > 0 ? 1 : -1;
        for (int i = 0; i < std::abs(int(row.notches)); ++i) {
            rig.clock.advance(50ms);
            rig.fakes.mouseMonitor.post({MouseEventType::scrollWheel, row.at, 0, step});
        }
        EXPECT_EQ(rig.model->state(), row.shows ? NotchState::closed() : NotchState::hidden());
        EXPECT_EQ(rig.fakes.mouseMonitor.monitorCount(), row.shows ? 0u : 1u);
    }
}

TEST(NotchViewModelQtTest, TheHiddenHandlerFollowsItsScreen)
{
    Rig rig;
    // The screen's geometry moved (another arrangement): the handler now sits
    // at x 1000...1200.
    NotchGeometry moved = screenGeometry();
    moved.notchOrigin.x = 1000;
    rig.model->setGeometry(moved);
    rig.model->send(NotchEvent::toggleHidden());
    for (int i = 0; i < 3; ++i) {
        rig.clock.advance(50ms);
        rig.fakes.mouseMonitor.post({MouseEventType::scrollWheel, {720, 10}, 0, 1});
    }
    EXPECT_EQ(rig.model->state(), NotchState::hidden());
    for (int i = 0; i < 3; ++i) {
        rig.clock.advance(50ms);
        rig.fakes.mouseMonitor.post({MouseEventType::scrollWheel, {1100, 10}, 0, 1});
    }
    EXPECT_EQ(rig.model->state(), NotchState::closed());
}

} // namespace
