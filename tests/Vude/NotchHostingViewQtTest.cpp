#include "Vude/Shell/NotchHostingView.h"
#include "Vude/Shell/NotchPanel.h"

#include "TestSupport.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class NotchHostingViewQtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScreenDescription screen;
        screen.frame = {0, 0, 1440, 900};
        fakes.screens.setScreens({screen});
        panel = std::make_unique<NotchPanel>(fakes.platform(), Size{400, 120});
        view = new NotchHostingView(fakes.platform(), scheduler, clock);
        panel->setContentView(view);
        panel->setFrame({520, 0, 400, 120});
        view->setInteractiveRect({76, 0, 248, 38});
        view->setDropRect({0, 0, 400, 120});
        view->registerDropTypes();
        panel->orderFront();
    }

    void TearDown() override
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMenu*>(widget))
                widget->close();
        }
        testsupport::processEvents();
    }

    std::vector<QRect> shape() { return fakes.inputShaper.regions[panel->winId()]; }

    static std::unique_ptr<QMimeData> files(const QList<QUrl>& urls)
    {
        auto data = std::make_unique<QMimeData>();
        data->setUrls(urls);
        return data;
    }

    FakeShellPlatform fakes;
    ManualClock clock;
    ManualScheduler scheduler{clock};
    std::unique_ptr<NotchPanel> panel;
    NotchHostingView* view = nullptr;
};

TEST_F(NotchHostingViewQtTest, ShapesTheWindowInputToWhatMayTakeThePointer)
{
    const QRect interactive(76, 0, 248, 38);
    const QRect drop(0, 0, 400, 120);
    EXPECT_EQ(shape(), (std::vector<QRect>{interactive})) << "at rest only the notch takes clicks";

    view->setArmed(true);
    EXPECT_EQ(shape(), (std::vector<QRect>{interactive, drop})) << "armed";
    view->setArmed(false);
    EXPECT_EQ(shape(), (std::vector<QRect>{interactive}));

    auto data = files({QUrl::fromLocalFile("/tmp/a.png")});
    QDragEnterEvent enter(QPoint(200, 60), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    EXPECT_EQ(shape(), (std::vector<QRect>{interactive, drop})) << "dragging inside";
    QDragLeaveEvent leave;
    QApplication::sendEvent(view, &leave);
    EXPECT_EQ(shape(), (std::vector<QRect>{interactive}));

    view->setInteractiveRect({});
    EXPECT_TRUE(shape().empty()) << "a hidden notch takes nothing";

    // The window grows to the drop zone: the shape follows the new size.
    view->setInteractiveRect({0, 0, 1000, 38});
    panel->setFrame({220, 0, 1000, 190});
    EXPECT_EQ(shape(), (std::vector<QRect>{QRect(0, 0, 1000, 38)}));
}

TEST_F(NotchHostingViewQtTest, TakesFileDragsAndHandsTheFilesOnWithCopy)
{
    QList<QUrl> entered;
    std::vector<Point> moves;
    int exits = 0;
    QList<QUrl> dropped;
    Point dropPoint;
    view->onDragEntered = [&](const QList<QUrl>& urls) { entered = urls; };
    view->onDragMoved = [&](Point point) { moves.push_back(point); };
    view->onDragExited = [&] { ++exits; };
    view->onDrop = [&](const QList<QUrl>& urls, Point point) {
        dropped = urls;
        dropPoint = point;
        return !urls.isEmpty();
    };

    const QUrl file = QUrl::fromLocalFile("/tmp/report.pdf");
    auto data = files({file, QUrl("https://example.org/page"), QUrl::fromLocalFile("/tmp/b c.txt")});
    QDragEnterEvent enter(QPoint(200, 20), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    EXPECT_EQ(entered, (QList<QUrl>{file, QUrl::fromLocalFile("/tmp/b c.txt")})) << "files only";
    EXPECT_TRUE(view->isDragging());

    QDragMoveEvent move(QPoint(120, 90), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    EXPECT_EQ(moves, (std::vector<Point>{{120, 90}}));

    QDragLeaveEvent leave;
    QApplication::sendEvent(view, &leave);
    EXPECT_EQ(exits, 1);
    EXPECT_FALSE(view->isDragging());
    QApplication::sendEvent(view, &enter);
    EXPECT_TRUE(view->isDragging());

    QDropEvent drop(QPointF(130, 95), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_EQ(dropped.size(), 2);
    EXPECT_EQ(dropPoint, (Point{130, 95}));
    EXPECT_FALSE(view->isDragging());

    // Text enters (and would arm the lanes) but carries no files, so its
    // drop is refused.
    QMimeData text;
    text.setText("just words");
    QDragEnterEvent textEnter(QPoint(200, 20), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &textEnter);
    EXPECT_TRUE(textEnter.isAccepted());
    EXPECT_TRUE(entered.isEmpty());
    QDropEvent textDrop(QPointF(200, 20), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &textDrop);
    EXPECT_FALSE(textDrop.isAccepted());

    // What is none of the registered kinds never enters.
    QMimeData other;
    other.setData("application/x-private", "x");
    QDragEnterEvent otherEnter(QPoint(200, 20), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &otherEnter);
    EXPECT_FALSE(otherEnter.isAccepted());
}

TEST_F(NotchHostingViewQtTest, OffersNoActionWhereTheDropWouldBeRefused)
{
    std::vector<Point> moves;
    view->onDragMoved = [&](Point point) { moves.push_back(point); };
    view->takesDropAt = [](Point point) { return point.x < 200; };
    auto data = files({QUrl::fromLocalFile("/tmp/a.png")});
    QDragEnterEvent enter(QPoint(100, 20), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    EXPECT_TRUE(enter.isAccepted());

    QDragMoveEvent taken(QPoint(100, 20), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &taken);
    EXPECT_TRUE(taken.isAccepted());
    EXPECT_EQ(taken.dropAction(), Qt::CopyAction);
    QDragMoveEvent refused(QPoint(300, 20), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(refused.dropAction(), Qt::IgnoreAction);
    EXPECT_EQ(moves, (std::vector<Point>{{100, 20}, {300, 20}})) << "the lanes follow the pointer all the same";
    EXPECT_TRUE(view->isDragging()) << "still inside, still a drop target";
}

TEST_F(NotchHostingViewQtTest, RefusesADragTheTrayItselfStarted)
{
    std::vector<QString> diagnostics;
    int hooks = 0;
    view->onDragDiagnostic = [&](const QString& line) { diagnostics.push_back(line); };
    view->onDragEntered = [&](const QList<QUrl>&) { ++hooks; };
    view->onDragMoved = [&](Point) { ++hooks; };
    view->onDrop = [&](const QList<QUrl>&, Point) { return ++hooks, true; };
    view->setArmed(true);
    view->setSourcingDrag(true);

    auto data = files({QUrl::fromLocalFile("/tmp/a.png")});
    QDragEnterEvent enter(QPoint(200, 20), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDragMoveEvent move(QPoint(200, 20), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_FALSE(move.isAccepted());
    QDropEvent drop(QPointF(200, 20), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(hooks, 0);
    EXPECT_FALSE(view->isDragging());
    EXPECT_EQ(diagnostics, (std::vector<QString>{"draggingEntered sourcing=true armed=true"}));

    // Disarming ends a drag that was inside.
    view->setSourcingDrag(false);
    QApplication::sendEvent(view, &enter);
    EXPECT_TRUE(view->isDragging());
    view->setArmed(false);
    EXPECT_FALSE(view->isDragging());
}

TEST_F(NotchHostingViewQtTest, ARightClickPopsTheProvidersMenuOnce)
{
    int built = 0;
    view->contextMenuProvider = [&] {
        ++built;
        auto menu = std::make_unique<QMenu>();
        menu->addAction("Settings…");
        return menu;
    };
    // Through the window, as the window system delivers it.
    QTest::mouseClick(panel->windowHandle(), Qt::RightButton, {}, view->mapTo(panel.get(), QPoint(200, 20)));
    testsupport::processEvents();
    int shown = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        shown += qobject_cast<QMenu*>(widget) && widget->isVisible();
    EXPECT_EQ(built, 1);
    EXPECT_EQ(shown, 1);

    // A provider with nothing to offer shows nothing, and no provider is fine.
    view->contextMenuProvider = [&] { return ++built, std::unique_ptr<QMenu>(); };
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(200, 20), view->mapToGlobal(QPoint(200, 20)));
    QApplication::sendEvent(view, &event);
    view->contextMenuProvider = nullptr;
    QApplication::sendEvent(view, &event);
    EXPECT_EQ(built, 2);
}

TEST_F(NotchHostingViewQtTest, HitsOnlyTheActiveAreaAndTheDropAreaWhileADragIsOn)
{
    auto* button = new QWidget;
    view->setRootView(button);
    EXPECT_EQ(view->hitTest(QPoint(200, 20)), button);
    EXPECT_EQ(view->hitTest(QPoint(20, 100)), nullptr) << "clicks beside the notch fall through";
    view->setArmed(true);
    EXPECT_EQ(view->hitTest(QPoint(20, 100)), button) << "the hosted view fills the drop area";
    view->setRootView(nullptr);
    EXPECT_EQ(view->hitTest(QPoint(20, 100)), view) << "nothing drawn there, still a target";
    view->setArmed(false);
    EXPECT_EQ(view->hitTest(QPoint(200, 20)), nullptr) << "nothing drawn, no drag";
}

TEST_F(NotchHostingViewQtTest, ForwardsWheelsInPointsWithAPhaseAndEndsTheGestureAfterAPause)
{
    std::vector<ScrollStep> steps;
    view->onScroll = [&](double dx, double dy, SwipePhase phase) { steps.push_back({dx, dy, phase}); };
    auto wheel = [&](QPoint angle, QPoint pixels = {}, Qt::ScrollPhase phase = Qt::NoScrollPhase) {
        QWheelEvent event(QPointF(200, 20), view->mapToGlobal(QPointF(200, 20)), pixels, angle, Qt::NoButton,
                          Qt::NoModifier, phase, false);
        QApplication::sendEvent(view, &event);
        return event.isAccepted();
    };
    EXPECT_TRUE(wheel({0, 120}));
    scheduler.advance(50ms);
    wheel({0, 120});
    EXPECT_EQ(steps, (std::vector<ScrollStep>{{0, 8, SwipePhase::began}, {0, 8, SwipePhase::changed}}));
    scheduler.advance(199ms);
    EXPECT_EQ(steps.size(), 2u);
    scheduler.advance(1ms);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps.back(), (ScrollStep{0, 0, SwipePhase::ended}));
    scheduler.advance(1s);
    EXPECT_EQ(steps.size(), 3u);

    // Touchpad momentum after the fingers lift keeps coming as changes.
    wheel({0, 30}, {0, 12}, Qt::ScrollMomentum);
    EXPECT_EQ(steps.back(), (ScrollStep{0, 12, SwipePhase::changed}));
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    view->onScroll = nullptr;
    EXPECT_TRUE(wheel({0, 120})) << "taken even without a handler";
}

} // namespace
