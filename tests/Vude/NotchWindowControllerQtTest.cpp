#include "NotchWindowControllerRig.h"
#include "TestSupport.h"

#include "VudeServices/ClipboardService.h"
#include "VudeServices/TimerStore.h"
#include "Vude/Shell/NotchDeskAdapters.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMimeData>
#include <QMenu>

#include <gtest/gtest.h>

// GCC 12 at -O1 takes the inlined none() factories of the payload variants for
// reads of uninitialised alternatives; a known false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

using namespace controllertest;

namespace {

std::set<std::uint32_t> keys(const std::map<std::uint32_t, NotchPanel*>& map)
{
    std::set<std::uint32_t> ids;
    for (const auto& [id, panel] : map)
        ids.insert(id);
    return ids;
}

std::uint32_t id(const char* name)
{
    return displayNumberFor(name);
}

/// Where lane `index` of the model's lanes lies in its hosting view.
Point laneCentre(const NotchWindowController& controller, std::uint32_t display, int index)
{
    NotchViewModel& model = *controller.model(display);
    const double content = model.contentSize(model.state()).width;
    const double host = controller.host(display)->width();
    const double count = double(model.dragLanes().size());
    return {(host - content) / 2 + content * (index + 0.5) / count, 20};
}

std::size_t laneIndex(const NotchViewModel& model, const DropLane& lane)
{
    const auto& lanes = model.dragLanes();
    return std::size_t(std::ranges::find(lanes, lane) - lanes.begin());
}

} // namespace

TEST(NotchWindowController, EligibleScreensFollowThePolicyTheNotchAndTheHandler)
{
    // The first screen listed is the primary one; only the second is notched.
    const std::vector<ScreenDescription> screens{screen("HDMI-1", {0, 0, 1920, 1080}, false, true),
                                                 screen("eDP-1", {1920, 0, 1512, 982}, true)};
    struct Row {
        const char* name;
        ScreenPolicy policy;
        bool handler;
        std::vector<ScreenDescription> screens;
        std::set<std::uint32_t> expected;
    };
    const std::vector<Row> rows{
        {"notched only", ScreenPolicy::notchedOnly, true, screens, {id("eDP-1")}},
        {"notched only, no handler", ScreenPolicy::notchedOnly, false, screens, {id("eDP-1")}},
        {"primary only: the first, notch or not", ScreenPolicy::primaryOnly, false, screens, {id("HDMI-1")}},
        {"primary only with a handler", ScreenPolicy::primaryOnly, true, screens, {id("HDMI-1")}},
        {"all screens with the handler", ScreenPolicy::allScreens, true, screens, {id("HDMI-1"), id("eDP-1")}},
        {"all screens without the handler", ScreenPolicy::allScreens, false, screens, {id("eDP-1")}},
        {"no notch anywhere, no handler", ScreenPolicy::allScreens, false, {screens[0]}, {}},
        {"no screens", ScreenPolicy::primaryOnly, true, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig(row.screens, false);
        rig.settings.setShowOn(row.policy);
        rig.settings.setHandlerEnabled(row.handler);
        rig.make();
        EXPECT_EQ(keys(rig.controller->panels()), row.expected);
        EXPECT_EQ(rig.controller->models().size(), row.expected.size());
        EXPECT_EQ(rig.controller->hosts().size(), row.expected.size());
        for (const auto& [display, model] : rig.controller->models()) {
            EXPECT_EQ(model->panel(), rig.controller->panel(display));
            EXPECT_EQ(rig.controller->panel(display)->contentView(), rig.controller->host(display));
        }
    }

    // The primary screen without a notch gets the handler's geometry.
    Rig rig(screens, false);
    rig.settings.setShowOn(ScreenPolicy::primaryOnly);
    rig.make();
    const NotchGeometry& geometry = rig.onlyModel().geometry();
    EXPECT_FALSE(geometry.hasHardwareNotch);
    EXPECT_EQ(geometry.notchSize, (Size{184, 8}));
    EXPECT_EQ(geometry.notchCenterX(), 960);
    // A screen without a name has no number and gets nothing.
    ScreenDescription nameless = screens[0];
    nameless.name.clear();
    nameless.displayNumber = 0;
    Rig bare({nameless});
    EXPECT_TRUE(bare.controller->models().empty());
    EXPECT_EQ(bare.controller->activeModel(), nullptr);
}

TEST(NotchWindowController, UnpluggingAScreenKeepsTheOtherScreensObjectsAndState)
{
    const auto laptop = screen("eDP-1", {0, 0, 1512, 982}, true, true);
    const auto monitor = screen("HDMI-1", {1512, 0, 1920, 1080});
    Rig rig({laptop, monitor});
    NotchViewModel* kept = rig.controller->model(id("HDMI-1"));
    NotchPanel* keptPanel = rig.controller->panel(id("HDMI-1"));
    ASSERT_NE(kept, nullptr);
    kept->send(NotchEvent::click());
    ASSERT_TRUE(kept->state().isOpen());
    QPointer<NotchPanel> gone = rig.controller->panel(id("eDP-1"));

    auto moved = monitor;
    moved.frame = moved.visibleFrame = {0, 0, 1920, 1080};
    moved.isPrimary = true;
    rig.fakes.screens.setScreens({moved});
    rig.scheduler.advance(250ms);

    EXPECT_EQ(keys(rig.controller->panels()), std::set<std::uint32_t>{id("HDMI-1")});
    EXPECT_EQ(rig.controller->model(id("HDMI-1")), kept);
    EXPECT_EQ(rig.controller->panel(id("HDMI-1")), keptPanel);
    EXPECT_TRUE(kept->state().isOpen());
    EXPECT_EQ(kept->geometry().screenFrame.x, 0) << "the kept screen's geometry follows it";
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(rig.controller->host(id("eDP-1")), nullptr);

    // Plugged in again: a fresh model with the shared services.
    rig.fakes.screens.setScreens({laptop, monitor});
    rig.scheduler.advance(250ms);
    ASSERT_NE(rig.controller->model(id("eDP-1")), nullptr);
    EXPECT_NE(rig.controller->model(id("eDP-1"))->trayStore, nullptr);
    EXPECT_EQ(rig.controller->model(id("eDP-1"))->trayStore, kept->trayStore);
    EXPECT_EQ(rig.controller->model(id("eDP-1"))->weatherProvider(), kept->weatherProvider());
}

TEST(NotchWindowController, ABurstOfScreenEventsRebuildsOnceAfterTheLast)
{
    Rig rig;
    const auto laptop = screen("eDP-1", {0, 0, 1512, 982}, true, true);
    const auto monitor = screen("HDMI-1", {1512, 0, 1920, 1080});
    // Three changes 0.1 s apart; the panel for the monitor comes 0.25 s after
    // the last one, not after the first.
    rig.fakes.screens.setScreens({laptop});
    rig.scheduler.advance(100ms);
    rig.fakes.screens.setScreens({laptop, monitor});
    rig.scheduler.advance(100ms);
    rig.fakes.wake.wake();
    rig.scheduler.advance(249ms);
    EXPECT_EQ(rig.controller->panels().size(), 1u);
    EXPECT_TRUE(rig.controller->isRebuildPending());
    rig.scheduler.advance(1ms);
    EXPECT_EQ(rig.controller->panels().size(), 2u);
    EXPECT_FALSE(rig.controller->isRebuildPending());
    EXPECT_EQ(rig.scheduler.pendingCount(), 0u) << "one rebuild, nothing more waiting";
}

TEST(NotchWindowController, GeometryReportForTwoScreens)
{
    auto monitor = screen("HDMI-1", {1512, 0, 1920, 1080});
    monitor.backingScale = 1.25;
    monitor.maximumFramesPerSecond = 60;
    auto laptop = screen("eDP-1", {0, 0, 1512, 982}, true, true);
    laptop.backingScale = 2;
    laptop.maximumFramesPerSecond = 120;
    Rig rig({laptop, monitor});

    const std::string laptopBlock = "display " + std::to_string(id("eDP-1")) +
                                    "  1512×982\n"
                                    "  notch    185.0 × 32.0 (hardware)\n"
                                    "  origin   x=663.5  centreX=756.0\n"
                                    "  menuBar  33.0   scale 2.0   120Hz";
    const std::string monitorBlock = "display " + std::to_string(id("HDMI-1")) +
                                     "  1920×1080\n"
                                     "  notch    184.0 × 8.0 (synthetic handler)\n"
                                     "  origin   x=2380.0  centreX=2472.0\n"
                                     "  menuBar  0.0   scale 1.25   60Hz";
    const std::string expected = id("eDP-1") < id("HDMI-1") ? laptopBlock + "\n" + monitorBlock
                                                            : monitorBlock + "\n" + laptopBlock;
    EXPECT_EQ(rig.controller->geometryReport(), expected);

    // Numbers that are not whole read back exactly.
    rig.settings.setNotchWidthAdjust(0.1);
    rig.controller->rebuild();
    const std::string report = rig.controller->geometryReport();
    EXPECT_NE(report.find("  notch    185.1 × 32.0 (hardware)"), std::string::npos) << report;
    EXPECT_NE(report.find("  notch    184.1 × 8.0 (synthetic handler)"), std::string::npos) << report;

    Rig none(std::vector<ScreenDescription>{});
    EXPECT_EQ(none.controller->geometryReport(), "");
}

TEST(NotchWindowController, TheConfigureHookAndTheRepositoryReachEveryModelEverBuilt)
{
    Rig rig(std::vector<ScreenDescription>{});
    // Handed over before any screen exists.
    auto repository = std::shared_ptr<DidoDivuzerore>(std::make_shared<int>(0), nullptr);
    std::vector<NotchViewModel*> configured;
    rig.controller->setModelConfigurator([&](NotchViewModel& model) {
        configured.push_back(&model);
        model.onEffect = [](const NotchEffect&) {};
    });
    EXPECT_TRUE(configured.empty());
    const auto fakeRepository = std::shared_ptr<DidoDivuzerore>(repository, reinterpret_cast<DidoDivuzerore*>(0x10));
    rig.controller->setRepository(fakeRepository);

    rig.fakes.screens.setScreens({screen("eDP-1", {0, 0, 1512, 982}, true, true)});
    rig.scheduler.advance(250ms);
    ASSERT_EQ(rig.controller->models().size(), 1u);
    NotchViewModel& first = rig.onlyModel();
    EXPECT_EQ(configured, std::vector<NotchViewModel*>{&first});
    EXPECT_TRUE(bool(first.onEffect));
    EXPECT_EQ(first.repository, fakeRepository);

    // A screen plugged in later is configured too; a hook installed later
    // reaches the models already there.
    rig.fakes.screens.setScreens(
        {screen("eDP-1", {0, 0, 1512, 982}, true, true), screen("DP-2", {1512, 0, 1920, 1080})});
    rig.scheduler.advance(250ms);
    NotchViewModel* second = rig.controller->model(id("DP-2"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(configured.size(), 2u);
    EXPECT_EQ(configured.back(), second);
    EXPECT_TRUE(bool(second->onEffect));
    EXPECT_EQ(second->repository, fakeRepository);

    int late = 0;
    rig.controller->setModelConfigurator([&](NotchViewModel&) { ++late; });
    EXPECT_EQ(late, 2);
    rig.controller->setRepository(nullptr);
    EXPECT_EQ(first.repository, nullptr);
    EXPECT_EQ(second->repository, nullptr);
}

TEST(NotchWindowController, ActiveModelIsUnderThePointerElseLastInputElsePrimary)
{
    const auto laptop = screen("eDP-1", {0, 0, 1512, 982}, true, true);
    const auto monitor = screen("HDMI-1", {1512, 0, 1920, 1080});
    const auto projector = screen("DP-3", {3432, 0, 1024, 768});
    Rig rig({laptop, monitor, projector}, false);
    rig.settings.setShowOn(ScreenPolicy::allScreens);
    rig.settings.setHandlerEnabled(false); // only the laptop and ...
    rig.make();
    rig.settings.setHandlerEnabled(true);
    rig.controller->rebuild(); // ... now all three
    ASSERT_EQ(rig.controller->models().size(), 3u);

    rig.fakes.pointer.pointerLocation = {1600, 500};
    EXPECT_EQ(rig.controller->activeModel(), rig.controller->model(id("HDMI-1")));

    // Off every screen: the primary, until a screen has had input.
    rig.fakes.pointer.pointerLocation = {-500, -500};
    EXPECT_EQ(rig.controller->activeModel(), rig.controller->model(id("eDP-1")));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(rig.controller->host(id("DP-3"))->rootView(), &press);
    EXPECT_EQ(rig.controller->activeModel(), rig.controller->model(id("DP-3")));

    // A screen whose panel went: the last screen with input still answers.
    rig.settings.setShowOn(ScreenPolicy::notchedOnly);
    rig.controller->rebuild();
    rig.fakes.pointer.pointerLocation = {1600, 500};
    EXPECT_EQ(rig.controller->activeModel(), rig.controller->model(id("eDP-1")));
}

TEST(NotchWindowController, ClicksElsewhereAndEscapeCloseOpenDesks)
{
    const auto laptop = screen("eDP-1", {0, 0, 1512, 982}, true, true);
    const auto monitor = screen("HDMI-1", {1512, 0, 1920, 1080});
    Rig rig({laptop, monitor});
    NotchViewModel& a = *rig.controller->model(id("eDP-1"));
    NotchViewModel& b = *rig.controller->model(id("HDMI-1"));
    a.send(NotchEvent::click());
    b.send(NotchEvent::click());
    ASSERT_TRUE(a.state().isOpen() && b.state().isOpen());

    // Inside the laptop's open Desk: only the other one closes.
    const Rect inside = rig.controller->panel(id("eDP-1"))->frame();
    rig.fakes.mouseMonitor.post({MouseEventType::leftMouseDown, {inside.midX(), inside.midY()}});
    EXPECT_TRUE(a.state().isOpen());
    EXPECT_FALSE(b.state().isOpen());
    rig.fakes.mouseMonitor.post({MouseEventType::rightMouseDown, {700, 700}});
    EXPECT_EQ(a.state(), NotchState::closed());

    // A click on a panel of our own never reaches the global monitor: the
    // panel's own press closes the other screen's Desk, not its own.
    a.send(NotchEvent::click());
    b.send(NotchEvent::click());
    QWidget* laptopPanel = rig.controller->panel(id("eDP-1"));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    EXPECT_FALSE(rig.controller->eventFilter(laptopPanel, &press));
    EXPECT_TRUE(a.state().isOpen());
    EXPECT_EQ(b.state(), NotchState::closed());
    a.send(NotchEvent::forceClose());

    // Escape: passed on with nothing open, consumed when it closes a Desk.
    QWidget target;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    escape.setAccepted(false);
    EXPECT_FALSE(rig.controller->eventFilter(&target, &escape));
    b.send(NotchEvent::click());
    EXPECT_TRUE(rig.controller->eventFilter(&target, &escape));
    EXPECT_EQ(b.state(), NotchState::closed());
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    b.send(NotchEvent::click());
    EXPECT_FALSE(rig.controller->eventFilter(&target, &other));
    EXPECT_TRUE(b.state().isOpen());
}

// The first frame already shows the closed notch: the drawn canvas, which the
// window's cut and the backdrop follow, is the current one, and the band that
// takes the pointer lies on the window, not on the first 900-point frame.
TEST(NotchWindowController, AFreshPanelDrawsAndTakesThePointerForTheNotchItShows)
{
    // No notch: the handler is 184 × 8, its canvas 208 × 14.
    Rig rig({screen("HDMI-1", {0, 0, 1920, 1080}, false, true)});
    NotchPanel& panel = rig.onlyPanel();
    NotchHostingView& host = rig.onlyHost();
    ASSERT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.currentCanvas(), (Size{208, 14}));
    EXPECT_EQ(panel.drawnCanvas(), panel.currentCanvas());
    EXPECT_EQ(panel.frame(), (Rect{856, 0, 208, 14}));
    // The shape 196 × 8, grown by 26 to the sides and below.
    EXPECT_EQ(panel.backdrop().geometry(), QRect(836, 0, 248, 34));
    EXPECT_EQ(host.interactiveRect(), (Rect{0, 0, 208, 14}));
    EXPECT_EQ(host.inputShape(), (std::vector<QRect>{QRect(0, 0, 208, 14)}));
    EXPECT_EQ(rig.fakes.inputShaper.regions[panel.winId()], host.inputShape());

    // Frames the controller sets itself carry the band along.
    rig.controller->setDragArmed(true);
    EXPECT_EQ(panel.frame(), (Rect{588, 0, 744, 190}));
    EXPECT_EQ(host.interactiveRect(), (Rect{268, 0, 208, 14}));
    rig.controller->setDragArmed(false);
    EXPECT_EQ(host.interactiveRect(), (Rect{0, 0, 208, 14}));
    EXPECT_EQ(rig.fakes.inputShaper.regions[panel.winId()], (std::vector<QRect>{QRect(0, 0, 208, 14)}));
}

// While a menu or a modal dialog holds the pointer, the notch hears of no
// crossing: when one closes, the hover follows where the pointer really is.
TEST(NotchWindowController, HoverIsJudgedAgainWhenAMenuOrADialogCloses)
{
    Rig rig({screen("HDMI-1", {0, 0, 1920, 1080}, false, true)});
    NotchViewModel& model = rig.onlyModel();
    NotchPanel& panel = rig.onlyPanel();
    NotchHostingView& host = rig.onlyHost();
    const auto hoverAsTheWindowSystemTellsIt = [&] {
        const QPointF local = host.rootView()->mapFromGlobal(QPointF(960, 4));
        QMouseEvent move(QEvent::MouseMove, local, local, QPointF(960, 4), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(host.rootView(), &move);
        ASSERT_TRUE(model.isHovering());
    };
    const auto dialogCloses = [&](Point pointer) {
        rig.fakes.pointer.pointerLocation = pointer;
        QEvent unblocked(QEvent::WindowUnblocked);
        QApplication::sendEvent(&panel, &unblocked);
        testsupport::processEvents();
    };

    hoverAsTheWindowSystemTellsIt();
    dialogCloses({300, 700});
    EXPECT_FALSE(model.isHovering()) << "the pointer left while the dialog was up";
    dialogCloses({960, 4});
    EXPECT_TRUE(model.isHovering()) << "it closed with the pointer over the notch";
    dialogCloses({960, 60});
    EXPECT_FALSE(model.isHovering()) << "below the notch, in the window's margin";

    // The context menu: closed with the pointer elsewhere.
    rig.controller->contextMenuProvider = [] {
        auto menu = std::make_unique<QMenu>();
        menu->addAction("Settings…");
        return menu;
    };
    hoverAsTheWindowSystemTellsIt();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(111, 4), QPoint(960, 4));
    QApplication::sendEvent(&host, &rightClick);
    QMenu* menu = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* shown = qobject_cast<QMenu*>(widget); shown && shown->isVisible())
            menu = shown;
    ASSERT_NE(menu, nullptr);
    rig.fakes.pointer.pointerLocation = {300, 700};
    menu->close();
    testsupport::processEvents();
    EXPECT_FALSE(model.isHovering());
}

TEST(NotchWindowController, ArmingRaisesAndWidensEveryClosedPanelAndDisarmingPutsThemBack)
{
    // A narrow screen caps the zone at its width.
    const auto laptop = screen("eDP-1", {0, 0, 1512, 982}, true, true);
    const auto narrow = screen("DP-2", {1512, 0, 600, 800});
    Rig rig({laptop, narrow});
    NotchViewModel& open = *rig.controller->model(id("eDP-1"));
    open.send(NotchEvent::click());
    NotchPanel& openPanel = *rig.controller->panel(id("eDP-1"));
    NotchPanel& closedPanel = *rig.controller->panel(id("DP-2"));
    NotchHostingView& closedHost = *rig.controller->host(id("DP-2"));
    const Size openCanvas = openPanel.currentCanvas();
    const Rect openFrame = openPanel.frame();

    rig.controller->setDragArmed(true);
    EXPECT_TRUE(rig.controller->isDragArmed());
    struct Row {
        NotchPanel* panel;
        NotchHostingView* host;
        Size canvas;
        Rect dropRect;
    };
    EXPECT_EQ(closedPanel.level(), NotchPanel::dragLevel);
    EXPECT_TRUE(closedHost.isArmed());
    EXPECT_EQ(closedPanel.currentCanvas(), (Size{600, 190})) << "184 + 560 capped at 600";
    EXPECT_EQ(closedHost.dropRectForDrag(), (Rect{0, 0, 600, 190}));
    EXPECT_EQ(closedPanel.frame(), (Rect{1512, 0, 600, 190}));
    // The open Desk keeps its size: only its level and flag change.
    EXPECT_EQ(openPanel.level(), NotchPanel::dragLevel);
    EXPECT_TRUE(rig.controller->host(id("eDP-1"))->isArmed());
    EXPECT_EQ(openPanel.currentCanvas(), openCanvas);
    EXPECT_EQ(openPanel.frame(), openFrame);
    EXPECT_EQ(rig.trace.back(), "drag armed=true");

    // Asking again changes nothing and traces nothing.
    rig.trace.clear();
    rig.controller->setDragArmed(true);
    EXPECT_TRUE(rig.trace.empty());

    rig.controller->setDragArmed(false);
    EXPECT_EQ(rig.trace.back(), "drag armed=false");
    for (auto* panel : {&openPanel, &closedPanel})
        EXPECT_EQ(panel->level(), NotchPanel::restingLevel);
    EXPECT_FALSE(closedHost.isArmed());
    // Back to the closed notch (184 × 8) and its margins.
    EXPECT_EQ(closedPanel.currentCanvas(), (Size{184 + 24, 8 + 6}));
    EXPECT_EQ(closedPanel.drawnCanvas(), (Size{184 + 24, 8 + 6}));
    EXPECT_EQ(closedHost.dropRectForDrag(), (Rect{0, 0, 184 + 24, 120}));
    const Size desk = open.contentSize(open.state());
    EXPECT_EQ(openPanel.currentCanvas(), (Size{desk.width + 24, desk.height + 6}));
    EXPECT_EQ(rig.controller->host(id("eDP-1"))->dropRectForDrag(), (Rect{0, 0, desk.width + 24, 120}));

    // Our own tray as the source reaches every hosting view.
    rig.controller->setSourcingDrag(true);
    EXPECT_TRUE(closedHost.isSourcingDrag());
    EXPECT_TRUE(rig.controller->host(id("eDP-1"))->isSourcingDrag());
    rig.controller->setSourcingDrag(false);
    EXPECT_FALSE(closedHost.isSourcingDrag());

    // A hidden notch has no content: the notch's width by 4, a strip as wide.
    NotchViewModel& hidden = *rig.controller->model(id("DP-2"));
    hidden.send(NotchEvent::toggleHidden());
    ASSERT_EQ(hidden.state(), NotchState::hidden());
    rig.controller->setDragArmed(true);
    rig.controller->setDragArmed(false);
    EXPECT_EQ(closedPanel.currentCanvas(), (Size{184, 4}));
    EXPECT_EQ(closedHost.dropRectForDrag(), (Rect{0, 0, 184, 120}));
}

TEST(NotchWindowController, DragMonitorsArmNearTheTopAndTheTickCatchesOtherDrags)
{
    Rig rig;
    EXPECT_EQ(rig.controller->dragMonitorCount(), 0u);
    rig.controller->startDragMonitors();
    EXPECT_EQ(rig.controller->dragMonitorCount(), 2u);
    EXPECT_EQ(rig.trace.back(), "drag monitors installed: 2");
    rig.controller->startDragMonitors(); // replaces, never doubles
    EXPECT_EQ(rig.controller->dragMonitorCount(), 2u);

    struct Row {
        const char* name;
        MouseEvent event;
        bool armedAfter;
    };
    const Row rows[] = {
        {"a drag 300 below the top does not arm", {MouseEventType::leftMouseDragged, {700, 300}}, false},
        {"a drag 259 below the top arms", {MouseEventType::leftMouseDragged, {700, 259}}, true},
        {"the release disarms", {MouseEventType::leftMouseUp, {700, 259}}, false},
        {"the band is the primary screen's, wherever the pointer is",
         {MouseEventType::leftMouseDragged, {3000, 100}},
         true},
        {"released anywhere", {MouseEventType::leftMouseUp, {3000, 900}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        rig.fakes.mouseMonitor.post(row.event);
        EXPECT_EQ(rig.controller->isDragArmed(), row.armedAfter);
    }

    // The tick: a drag that began far from the top arms once its contents
    // are offered while the button is down, and disarms when it is up.
    rig.fakes.pointer.buttons = MouseButtons::left;
    rig.controller->pollDragPasteboard();
    EXPECT_FALSE(rig.controller->isDragArmed()) << "no new drag";
    rig.fakes.dragSelection.startDrag();
    rig.controller->pollDragPasteboard();
    EXPECT_TRUE(rig.controller->isDragArmed());
    rig.controller->pollDragPasteboard();
    EXPECT_TRUE(rig.controller->isDragArmed()) << "still held";
    rig.fakes.pointer.buttons = 0;
    rig.controller->pollDragPasteboard();
    EXPECT_FALSE(rig.controller->isDragArmed());
    // A new drag seen with the button already up does not arm.
    rig.fakes.dragSelection.startDrag();
    rig.controller->pollDragPasteboard();
    EXPECT_FALSE(rig.controller->isDragArmed());

    rig.controller->stopDragMonitors();
    EXPECT_EQ(rig.controller->dragMonitorCount(), 0u);
    rig.fakes.mouseMonitor.post({MouseEventType::leftMouseDragged, {700, 10}});
    EXPECT_FALSE(rig.controller->isDragArmed());

    // A drag that happened before start-up never counts as new.
    Rig later({screen("eDP-1", {0, 0, 1512, 982}, true, true)}, false);
    later.fakes.dragSelection.startDrag();
    later.make();
    later.fakes.pointer.buttons = MouseButtons::left;
    later.controller->pollDragPasteboard();
    EXPECT_FALSE(later.controller->isDragArmed());
}

// What lets the app's tick rest: neither poll has anything new to find.
TEST(NotchWindowController, ThePollsAreSettledOnlyWhenTheyWouldFindNothing)
{
    Rig rig;
    rig.controller->pollClipboard(true, 40, false);
    rig.controller->pollDragPasteboard();
    EXPECT_TRUE(rig.controller->pollsSettled());

    rig.fakes.dragSelection.startDrag();
    EXPECT_FALSE(rig.controller->pollsSettled()) << "a drag the poll has not seen";
    rig.fakes.pointer.buttons = MouseButtons::left;
    rig.controller->pollDragPasteboard();
    ASSERT_TRUE(rig.controller->isDragArmed());
    EXPECT_FALSE(rig.controller->pollsSettled()) << "armed: the release is polled for";
    rig.fakes.pointer.buttons = 0;
    rig.controller->pollDragPasteboard();
    EXPECT_TRUE(rig.controller->pollsSettled());

    rig.pasteboard.copyText("copied");
    EXPECT_FALSE(rig.controller->pollsSettled()) << "a copy the poll has not seen";
    rig.controller->pollClipboard(false, 40, false);
    EXPECT_TRUE(rig.controller->pollsSettled()) << "seen, though the history is off";
}

TEST(NotchWindowController, DropsGoToTheLaneUnderThePointer)
{
    enum class Lane { shelf, airDrop, compress, outside };
    struct Row {
        const char* name;
        Lane lane;
        bool moveSetting = false;
        bool alt = false;
        bool sharingAvailable = true;
        bool pipelineRefuses = false;
        // Expected:
        bool taken = true;
        int trayItems = 0;
        bool sourceMoved = false;
        int runs = 0;
        int shared = 0;
    };
    const Row rows[] = {
        {"shelf copies", Lane::shelf, false, false, true, false, true, 1, false},
        {"shelf with Alt moves", Lane::shelf, false, true, true, false, true, 1, true},
        {"shelf set to move, Alt copies", Lane::shelf, true, true, true, false, true, 1, false},
        {"shelf set to move", Lane::shelf, true, false, true, false, true, 1, true},
        {"outside the lanes: the shelf", Lane::outside, false, false, true, false, true, 1, false},
        {"a pipeline lane runs it", Lane::compress, false, false, true, false, true, 0, false, 1},
        {"a pipeline that no longer takes the files: the shelf", Lane::compress, false, false, true, true, true, 1,
         false, 0},
        {"sharing sends to the device", Lane::airDrop, false, false, true, false, true, 0, false, 0, 1},
        {"sharing without a device refuses", Lane::airDrop, false, false, false, false, false, 0, false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        rig.settings.setTrayMoveOnDrop(row.moveSetting);
        rig.fakes.pointer.modifiers.option = row.alt;
        rig.fakes.sharing.available = row.sharingAvailable;
        if (row.pipelineRefuses)
            rig.runner->refused.insert(PipelineID::compressImage);
        NotchViewModel& model = rig.onlyModel();
        const QUrl file = rig.file("shot.png");
        rig.controller->dragEntered(model, {file});
        ASSERT_EQ(model.state(), NotchState::dropTarget());
        ASSERT_EQ(model.dragLanes(),
                  (std::vector<DropLane>{DropLane::shelf(), DropLane::airDrop(),
                                         DropLane::pipeline(PipelineID::compressImage)}));
        Point point{0, 20};
        switch (row.lane) {
        case Lane::shelf:
            point = laneCentre(*rig.controller, id("eDP-1"), int(laneIndex(model, DropLane::shelf())));
            break;
        case Lane::airDrop:
            point = laneCentre(*rig.controller, id("eDP-1"), int(laneIndex(model, DropLane::airDrop())));
            break;
        case Lane::compress:
            point = laneCentre(*rig.controller, id("eDP-1"),
                               int(laneIndex(model, DropLane::pipeline(PipelineID::compressImage))));
            break;
        case Lane::outside:
            point = {-1000, 20};
            break;
        }
        rig.controller->dragMoved(model, point);
        ASSERT_EQ(model.hoveredLane().has_value(), row.lane != Lane::outside);

        EXPECT_EQ(rig.controller->drop(model, {file}, point), row.taken);
        rig.controller->trayStore().waitUntilIdle();

        // Taken or not, nothing is left of the drag.
        EXPECT_TRUE(model.dragURLs().isEmpty());
        EXPECT_TRUE(model.dragLanes().empty());
        EXPECT_FALSE(model.hoveredLane().has_value());
        EXPECT_EQ(model.state(), row.taken ? NotchState::open(RiziDar::tray) : NotchState::closed());

        EXPECT_EQ(int(rig.controller->trayStore().items().size()), row.trayItems);
        EXPECT_EQ(int(model.trayItems().size()), row.trayItems);
        EXPECT_EQ(int(rig.dropped.size()), row.trayItems > 0 ? 1 : 0);
        EXPECT_EQ(!std::filesystem::exists(file.toLocalFile().toStdString()), row.sourceMoved);
        EXPECT_EQ(int(rig.runner->runs.size()), row.runs);
        EXPECT_EQ(int(rig.fakes.sharing.sent.size()), row.shared);
        // Each lookup may wait on the device service: one a drop.
        EXPECT_EQ(rig.fakes.sharing.lookups, row.lane == Lane::airDrop ? 1 : 0);
        if (row.runs) {
            EXPECT_EQ(rig.runner->runs[0].id, PipelineID::compressImage);
            EXPECT_EQ(rig.runner->runs[0].folder, rig.controller->pipelineOutputDirectory());
            EXPECT_EQ(rig.runner->runs[0].folder.filename(), "Pipelines");
            EXPECT_TRUE(std::filesystem::is_directory(rig.runner->runs[0].folder));
        }
        if (row.shared) {
            EXPECT_EQ(rig.fakes.sharing.sent[0], (QList<QUrl>{file}));
        }
    }
}

// What the source hears while it moves: a drop is offered only where it
// would be taken, so a source that trusts that answer reports no transfer
// that never happened.
TEST(NotchWindowController, TheSourceIsOfferedADropOnlyWhereItWouldBeTaken)
{
    enum class Where { shelf, airDrop, compress, outside };
    struct Row {
        const char* name;
        Where where;
        bool sharingAvailable;
        bool readable;
        bool taken;
    };
    const Row rows[] = {
        {"the shelf takes a readable file", Where::shelf, false, true, true},
        {"the shelf takes nothing unreadable", Where::shelf, true, false, false},
        {"outside the lanes is the shelf", Where::outside, false, true, true},
        {"sharing with a device", Where::airDrop, true, true, true},
        {"sharing without a device", Where::airDrop, false, true, false},
        {"a pipeline lane", Where::compress, false, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        rig.fakes.sharing.available = row.sharingAvailable;
        NotchViewModel& model = rig.onlyModel();
        const QUrl file = rig.file("shot.png");
        if (!row.readable)
            rig.unreadable.insert(file.toLocalFile().toStdString());
        rig.controller->dragEntered(model, {file});
        const auto at = [&](const DropLane& lane) {
            return laneCentre(*rig.controller, id("eDP-1"), int(laneIndex(model, lane)));
        };
        Point point{-1000, 20};
        switch (row.where) {
        case Where::shelf:
            point = at(DropLane::shelf());
            break;
        case Where::airDrop:
            point = at(DropLane::airDrop());
            break;
        case Where::compress:
            point = at(DropLane::pipeline(PipelineID::compressImage));
            break;
        case Where::outside:
            break;
        }
        EXPECT_EQ(rig.controller->takesDropAt(model, point), row.taken);
        // Asked on every move, but the device is looked for once a drag.
        EXPECT_EQ(rig.controller->takesDropAt(model, point), row.taken);
        EXPECT_EQ(rig.fakes.sharing.lookups, row.where == Where::airDrop ? 1 : 0);
    }

    // A new drag asks again: a device may have come since.
    Rig rig;
    rig.fakes.sharing.available = false;
    NotchViewModel& model = rig.onlyModel();
    const QUrl file = rig.file("shot.png");
    rig.controller->dragEntered(model, {file});
    const Point sharing = laneCentre(*rig.controller, id("eDP-1"), int(laneIndex(model, DropLane::airDrop())));
    EXPECT_FALSE(rig.controller->takesDropAt(model, sharing));
    rig.controller->dragExited(model);
    rig.fakes.sharing.available = true;
    rig.controller->dragEntered(model, {file});
    EXPECT_TRUE(rig.controller->takesDropAt(model, sharing));
    EXPECT_EQ(rig.fakes.sharing.lookups, 2);

    // A text drag carries no files: nowhere takes it.
    rig.controller->dragExited(model);
    rig.controller->dragEntered(model, {});
    EXPECT_FALSE(rig.controller->takesDropAt(model, {-1000, 20}));
}

TEST(NotchWindowController, RefusedDropsLeaveNoDropTargetBehind)
{
    Rig rig;
    NotchViewModel& model = rig.onlyModel();
    const QUrl locked = rig.file("locked.bin");
    rig.unreadable.insert(locked.toLocalFile().toStdString());
    struct Row {
        const char* name;
        QList<QUrl> urls;
    };
    const Row rows[] = {
        {"no URLs at all (a text drag)", {}},
        {"links to the web only", {QUrl("https://example.org/a.png")}},
        {"a file that is gone", {QUrl::fromLocalFile("/nonexistent/vude/a.bin")}},
        {"a file the user may not read (the copy would fail later)", {locked}},
        {"nothing readable among several", {locked, QUrl::fromLocalFile("/nonexistent/vude/a.bin")}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        rig.controller->dragEntered(model, row.urls);
        ASSERT_EQ(model.state(), NotchState::dropTarget());
        // Left of every lane: the shelf's.
        EXPECT_FALSE(rig.controller->drop(model, row.urls, {-1000, 20}));
        rig.controller->trayStore().waitUntilIdle();
        EXPECT_EQ(model.state(), NotchState::closed());
        EXPECT_TRUE(model.dragURLs().isEmpty());
        EXPECT_TRUE(model.dragLanes().empty());
        EXPECT_TRUE(rig.controller->trayStore().items().empty());
        EXPECT_TRUE(rig.dropped.empty());
    }
}

TEST(NotchWindowController, AShelfDropWithOneReadableFileIsTaken)
{
    Rig rig;
    NotchViewModel& model = rig.onlyModel();
    const QUrl locked = rig.file("locked.bin");
    const QUrl notes = rig.file("notes.txt");
    rig.unreadable.insert(locked.toLocalFile().toStdString());
    rig.controller->dragEntered(model, {locked, notes});
    EXPECT_TRUE(rig.controller->drop(model, {locked, notes}, {-1000, 20}));
    rig.controller->trayStore().waitUntilIdle();
    EXPECT_EQ(model.state(), NotchState::open(RiziDar::tray));
    EXPECT_FALSE(rig.controller->trayStore().items().empty());
}

TEST(NotchWindowController, ATextDragDroppedOnTheNotchLeavesItClosed)
{
    Rig rig;
    NotchHostingView& host = rig.onlyHost();
    NotchViewModel& model = rig.onlyModel();
    rig.controller->setDragArmed(true);
    QMimeData text;
    text.setText("hello");
    const QPointF at(host.width() / 2.0, 20);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&host, &enter);
    EXPECT_EQ(model.state(), NotchState::dropTarget());
    QDropEvent dropEvent(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&host, &dropEvent);
    EXPECT_FALSE(dropEvent.isAccepted());
    EXPECT_EQ(model.state(), NotchState::closed());
    rig.controller->setDragArmed(false);
    EXPECT_EQ(model.state(), NotchState::closed());
}

TEST(NotchWindowController, PipelineOutputsJoinTheTrayAndNothingComesOfNone)
{
    Rig rig;
    NotchViewModel& model = rig.onlyModel();
    const QUrl file = rig.file("shot.png");
    rig.controller->dragEntered(model, {file});
    const Point point = laneCentre(*rig.controller, id("eDP-1"),
                                   int(laneIndex(model, DropLane::pipeline(PipelineID::compressImage))));
    ASSERT_TRUE(rig.controller->drop(model, {file}, point));
    ASSERT_EQ(rig.runner->runs.size(), 1u);

    rig.runner->runs[0].onFinish({});
    rig.controller->trayStore().waitUntilIdle();
    EXPECT_TRUE(rig.controller->trayStore().items().empty());
    EXPECT_TRUE(rig.dropped.empty());

    const QUrl output = rig.file("shot-small.png");
    rig.runner->runs[0].onFinish({output.toLocalFile().toStdString()});
    rig.controller->trayStore().waitUntilIdle();
    ASSERT_EQ(rig.controller->trayStore().items().size(), 1u);
    EXPECT_EQ(model.trayItems().at(0).displayName, "shot-small.png");
    ASSERT_EQ(rig.dropped.size(), 1u);
    EXPECT_EQ(rig.dropped[0].at(0).displayName, "shot-small.png");
    EXPECT_TRUE(std::filesystem::exists(output.toLocalFile().toStdString())) << "outputs are copied, not moved";
}

TEST(NotchWindowController, TheDeskServicesAreSharedAndTheirChangesReachEveryScreen)
{
    Rig rig({screen("eDP-1", {0, 0, 1512, 982}, true, true), screen("HDMI-1", {1512, 0, 1920, 1080})});
    NotchViewModel& a = *rig.controller->model(id("eDP-1"));
    NotchViewModel& b = *rig.controller->model(id("HDMI-1"));
    EXPECT_EQ(a.timerStore, b.timerStore);
    EXPECT_EQ(a.quickAppsService, b.quickAppsService);
    EXPECT_EQ(a.shortcutsService, b.shortcutsService);
    EXPECT_EQ(a.pipelines, rig.runner->registry());
    EXPECT_EQ(a.pipelineRunner.get(), rig.controller->pipelineRunner());
    EXPECT_EQ(b.pipelineRunner, a.pipelineRunner);

    a.addTimer(60);
    ASSERT_EQ(b.timers().size(), 1u);
    EXPECT_EQ(b.timers()[0].total, 60);
    EXPECT_EQ(b.timers()[0].startedAt, rig.clock.now());
    rig.clock.advance(10s);
    a.timerStore->toggle(a.timers()[0], rig.clock.now());
    ASSERT_EQ(b.timers().size(), 1u);
    EXPECT_EQ(b.timers()[0].startedAt, std::nullopt) << "paused everywhere";
    EXPECT_EQ(b.timers()[0].pausedRemaining, std::optional<double>(50));
    b.timerStore->remove(b.timers()[0]);
    EXPECT_TRUE(a.timers().empty());

    rig.controller->trayStore().add({rig.file("notes.txt").toLocalFile().toStdString()}, false);
    rig.controller->trayStore().waitUntilIdle();
    ASSERT_EQ(b.trayItems().size(), 1u);
    a.trayStore->remove(a.trayItems()[0]);
    EXPECT_TRUE(b.trayItems().empty());
    EXPECT_TRUE(rig.controller->trayStore().items().empty());

    // The widget row spans the screen less 80.
    const WidgetSet enabled = rig.settings.enabledWidgets();
    EXPECT_EQ(a.layout(), (WidgetLayoutEngine{54, 22, 18, 1100}.layout(rig.settings.widgetOrder(),
                                                                       {enabled.begin(), enabled.end()}, {},
                                                                       1512 - 80)));
}

// The sound outputs are read again whenever a Desk opens; whatever a screen
// reads or chooses, every screen shows.
TEST(NotchWindowController, ASoundOutputChosenOnOneScreenShowsOnEveryScreen)
{
    Rig rig({screen("eDP-1", {0, 0, 1512, 982}, true, true), screen("HDMI-1", {1512, 0, 1920, 1080})});
    NotchViewModel& a = *rig.controller->model(id("eDP-1"));
    NotchViewModel& b = *rig.controller->model(id("HDMI-1"));
    EXPECT_EQ(a.audioDevices(), rig.devices);
    EXPECT_EQ(b.audioDevices(), rig.devices);

    rig.devices.push_back({3, "Monitor", AudioState::Transport::hdmi, false});
    a.send(NotchEvent::click());
    ASSERT_TRUE(a.state().isOpen());
    EXPECT_EQ(b.audioDevices(), rig.devices) << "read on one screen's opening";

    ASSERT_TRUE(a.setDefaultAudioOutput);
    std::optional<bool> accepted;
    a.setDefaultAudioOutput(2, [&](bool answer) { accepted = answer; });
    EXPECT_EQ(accepted, true);
    a.setAudioDevices(a.audioOutputDevices());
    ASSERT_EQ(b.audioDevices().size(), 3u);
    EXPECT_FALSE(b.audioDevices()[0].isDefault);
    EXPECT_TRUE(b.audioDevices()[1].isDefault);
}

TEST(NotchWindowController, AClipboardPollThatIsOffChangesNothing)
{
    Rig rig;
    ClipboardService& clipboard = *rig.controller->clipboardService();
    const auto maxItems = clipboard.maxItems();
    rig.controller->pollClipboard(false, maxItems + 5, true);
    EXPECT_EQ(clipboard.maxItems(), maxItems);
    EXPECT_FALSE(clipboard.persists());
    rig.controller->pollClipboard(true, maxItems + 5, true);
    EXPECT_EQ(clipboard.maxItems(), maxItems + 5);
    EXPECT_TRUE(clipboard.persists());
}

// The desktop's pasteboard answers a read later, from the event loop: the
// entry must reach every screen when the answer does.
TEST(NotchWindowController, ACopyReachesEveryScreenWhenItsReadComesBack)
{
    Rig rig({screen("eDP-1", {0, 0, 1512, 982}, true, true), screen("HDMI-1", {1512, 0, 1920, 1080})});
    rig.pasteboard.setHoldsReads(true);
    rig.pasteboard.copyText("first");
    rig.controller->pollClipboard(true, 40, false);
    for (const auto& [display, model] : rig.controller->models())
        EXPECT_TRUE(model->clips().empty()) << "nothing is read yet";

    rig.pasteboard.finishReads();
    const std::vector<Clip>& clips = rig.controller->clipboardService()->clips();
    ASSERT_EQ(clips.size(), 1u);
    for (const auto& [display, model] : rig.controller->models())
        EXPECT_EQ(model->clips(), std::vector<NotchClip>{notchClip(clips[0])});

    // A second copy lands in front, on the same way back.
    rig.pasteboard.copyText("second");
    rig.controller->pollClipboard(true, 40, false);
    rig.pasteboard.finishReads();
    ASSERT_EQ(clips.size(), 2u);
    for (const auto& [display, model] : rig.controller->models())
        EXPECT_EQ(model->clips(), (std::vector<NotchClip>{notchClip(clips[0]), notchClip(clips[1])}));
}

TEST(NotchWindowController, EachClipNamesTheApplicationItWasCopiedIn)
{
    Rig rig;
    const struct {
        std::optional<std::string> frontmost;
        const char* text;
    } copies[] = {{"org.gnome.TextEditor", "from the editor"}, {std::nullopt, "with no window active"}};
    for (const auto& copy : copies) {
        rig.frontmost.set(copy.frontmost);
        rig.pasteboard.copyText(copy.text);
        rig.controller->pollClipboard(true, 40, false);
        const std::vector<Clip>& clips = rig.controller->clipboardService()->clips();
        ASSERT_FALSE(clips.empty());
        EXPECT_EQ(clips.front().text, copy.text);
        EXPECT_EQ(clips.front().sourceApp, copy.frontmost) << copy.text;
    }
}

TEST(NotchWindowController, TheRealRunnerOffersTheDefaultPipelines)
{
    Rig rig({screen("eDP-1", {0, 0, 1512, 982}, true, true)}, false);
    rig.realRunner = true;
    rig.make();
    NotchPipelineRunner* runner = rig.controller->pipelineRunner();
    ASSERT_NE(runner, nullptr);
    EXPECT_EQ(runner->registry()->all().size(), PipelineRegistry::defaultPipelines().size());
    EXPECT_EQ(rig.onlyModel().pipelines, runner->registry());
    const QUrl file = rig.file("notes.txt");
    const auto lanes = runner->lanes({file.toLocalFile().toStdString()}, {});
    rig.controller->dragEntered(rig.onlyModel(), {file});
    EXPECT_EQ(rig.onlyModel().dragLanes().size(), 2 + lanes.size());
}
