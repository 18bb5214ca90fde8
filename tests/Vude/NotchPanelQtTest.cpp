#include "Vude/Shell/NotchHostingView.h"
#include "Vude/Shell/NotchPanel.h"

#include "VudeUI/NotchShape.h"
#include "VudeUI/qt/QtPath.h"

#include "TestSupport.h"

#include <QDir>
#include <QPainter>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Stands in for the root view: the black notch at the drawn canvas.
class NotchStandIn final : public QWidget {
public:
    explicit NotchStandIn(NotchPanel& panel) : m_panel(panel) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        const Size shape = NotchBackdropLayout::shapeSize(m_panel.drawnCanvas());
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(toQPainterPath(NotchShape(6, m_panel.drawnBottomRadius())
                                            .path({(width() - shape.width) / 2, 0, shape.width, shape.height})),
                         Qt::black);
    }

private:
    NotchPanel& m_panel;
};

class NotchPanelQtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        screen.frame = {0, 0, 1440, 900};
        fakes.screens.setScreens({screen});
        panel = std::make_unique<NotchPanel>(fakes.platform(), Size{200, 32});
        host = new NotchHostingView(fakes.platform(), scheduler, clock);
        host->setRootView(new NotchStandIn(*panel));
        panel->setContentView(host);
    }

    /// Places the panel for `canvas` centred on the screen's top edge.
    void place(Size canvas, double centreX = 720)
    {
        panel->setCurrentCanvas(canvas);
        panel->setDrawnCanvas(canvas);
        panel->setFrame({centreX - canvas.width / 2, 0, canvas.width, canvas.height});
        panel->orderFront();
        panel->syncBackdrop();
    }

    std::vector<std::uint64_t> stackOf() const
    {
        std::vector<std::uint64_t> order;
        for (std::uint64_t window : fakes.stacker.order) {
            if (window == panel->winId() || window == panel->backdrop().winId())
                order.push_back(window);
        }
        return order;
    }

    /// What a person would see over a light wallpaper: backdrop, then panel.
    void saveScreenshot(const QString& name)
    {
        const QRect area = panel->geometry().united(panel->backdrop().isVisible() ? panel->backdrop().geometry()
                                                                                  : QRect())
                               .adjusted(-20, 0, 20, 20);
        QImage shot(area.size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(QColor(214, 222, 235));
        QPainter painter(&shot);
        if (panel->backdrop().isVisible())
            painter.drawPixmap(panel->backdrop().geometry().topLeft() - area.topLeft(), panel->backdrop().grab());
        QPixmap drawn = panel->grab();
        if (!panel->mask().isEmpty())
            painter.setClipRegion(panel->mask().translated(panel->geometry().topLeft() - area.topLeft()));
        painter.drawPixmap(panel->geometry().topLeft() - area.topLeft(), drawn);
        painter.end();
        QDir().mkpath("screenshots");
        EXPECT_TRUE(shot.save("screenshots/" + name + ".png"));
    }

    FakeShellPlatform fakes;
    ScreenDescription screen;
    ManualClock clock;
    ManualScheduler scheduler{clock};
    std::unique_ptr<NotchPanel> panel;
    NotchHostingView* host = nullptr;
};

TEST_F(NotchPanelQtTest, StartsAtRestWithTheBackdropOnAndNoFocus)
{
    EXPECT_EQ(panel->currentCanvas(), (Size{200, 32}));
    EXPECT_EQ(panel->drawnCanvas(), (Size{200, 32}));
    EXPECT_EQ(panel->drawnBottomRadius(), 14);
    EXPECT_TRUE(panel->backdropEnabled());
    EXPECT_FALSE(panel->keyboardFocusRequested());
    EXPECT_EQ(panel->level(), NotchPanel::restingLevel);
    EXPECT_GT(NotchPanel::restingLevel, NotchPanel::dragLevel);
    EXPECT_EQ(panel->backdrop().renderCount(), 0);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(panel->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(panel->backdrop().windowFlags().testFlag(Qt::WindowTransparentForInput));
}

TEST_F(NotchPanelQtTest, RendersTheGlowOnlyWhenItsSizeOrRadiusChange)
{
    place({200, 32});
    EXPECT_EQ(panel->backdrop().renderCount(), 1) << "the first synchronisation renders";
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->backdrop().isVisible());
    EXPECT_EQ(panel->backdrop().geometry(), QRect(720 - 94 - 26, 0, 240, 52));
    saveScreenshot("panel-closed");

    // Moving the panel (every step of a resize animation, every rebuild)
    // moves the backdrop without rendering.
    for (double x : {300.0, 1200.0}) {
        place({200, 32}, x);
        EXPECT_EQ(panel->backdrop().geometry().center().x(), panel->geometry().center().x()) << x;
    }
    // Half off the screen's right edge: the window is cut, the glow is not
    // drawn again.
    place({200, 32}, 1430);
    EXPECT_EQ(panel->backdrop().geometry(), QRect(1430 - 120, 0, 130, 52));
    EXPECT_EQ(panel->backdrop().renderCount(), 1);

    panel->setDrawnBottomRadius(34);
    place({400, 182});
    EXPECT_EQ(panel->backdrop().renderCount(), 2);
    saveScreenshot("panel-open");
    panel->syncBackdrop();
    EXPECT_EQ(panel->backdrop().renderCount(), 2);

    // Only the radius: renders.
    panel->setDrawnBottomRadius(14);
    panel->syncBackdrop();
    EXPECT_EQ(panel->backdrop().renderCount(), 3);

    // The same panel on a screen of twice the scale needs a sharper glow.
    screen.backingScale = 2;
    fakes.screens.setScreens({screen});
    panel->syncBackdrop();
    EXPECT_EQ(panel->backdrop().renderCount(), 4);
    EXPECT_EQ(panel->backdrop().glow().size(), QSize(2 * (388 + 52), 2 * (176 + 26)));
}

TEST_F(NotchPanelQtTest, KeepsTheBackdropDirectlyBelowAndNeverRaisesDuringADrag)
{
    // Another window (a drag icon, say) already on top.
    const std::uint64_t icon = 99999;
    fakes.stacker.raise(icon);
    place({200, 32});
    EXPECT_EQ(fakes.stacker.order.back(), panel->winId()) << "at rest the panel goes on top";
    EXPECT_EQ(stackOf(), (std::vector<std::uint64_t>{panel->backdrop().winId(), panel->winId()}));
    EXPECT_EQ(panel->backdrop().level(), NotchPanel::restingLevel - 1);

    // Armed: the panel grows to the arming zone but is not raised, so the
    // icon dragged in later stays above it.
    fakes.stacker.raise(icon);
    const int raises = fakes.stacker.raises;
    panel->setLevel(NotchPanel::dragLevel);
    host->setArmed(true);
    panel->setCurrentCanvas({760, 190});
    panel->setFrame({340, 0, 760, 190});
    panel->syncBackdrop();
    saveScreenshot("panel-armed");
    EXPECT_EQ(fakes.stacker.raises, raises);
    EXPECT_EQ(fakes.stacker.order.back(), icon);
    const auto& order = fakes.stacker.order;
    const auto at = std::find(order.begin(), order.end(), panel->winId());
    ASSERT_NE(at, order.begin());
    EXPECT_EQ(*(at - 1), panel->backdrop().winId()) << "directly below its panel";
    EXPECT_EQ(panel->backdrop().level(), NotchPanel::dragLevel - 1);
    EXPECT_EQ(panel->backdrop().renderCount(), 1) << "the drawn notch did not change";

    panel->setLevel(NotchPanel::restingLevel);
    panel->syncBackdrop();
    EXPECT_EQ(fakes.stacker.order.back(), panel->winId());
}

TEST_F(NotchPanelQtTest, HidesTheBackdropWhenTurnedOffOrWithoutAScreen)
{
    place({200, 32});
    panel->setBackdropEnabled(false);
    panel->syncBackdrop();
    EXPECT_FALSE(panel->backdrop().isVisible());
    panel->setBackdropEnabled(true);
    panel->syncBackdrop();
    EXPECT_TRUE(panel->backdrop().isVisible());

    fakes.screens.setScreens({});
    panel->syncBackdrop();
    EXPECT_FALSE(panel->backdrop().isVisible());

    panel->orderOut();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(panel->backdrop().isVisible()) << "no glow left behind a removed panel";
}

TEST_F(NotchPanelQtTest, WithoutACompositorCutsThePanelToTheNotchInstead)
{
    fakes.compositing.setCompositing(false);
    place({200, 32});
    EXPECT_FALSE(panel->backdrop().isVisible());
    EXPECT_EQ(panel->backdrop().renderCount(), 0);
    const QRegion mask = panel->mask();
    ASSERT_FALSE(mask.isEmpty());
    EXPECT_TRUE(mask.contains(QPoint(100, 10))) << "the notch itself";
    EXPECT_FALSE(mask.contains(QPoint(7, 24))) << "beside the rounded bottom corner";
    EXPECT_FALSE(mask.contains(QPoint(100, 30))) << "below the notch";
    saveScreenshot("panel-shaped");

    // A compositor that starts later brings the glow back.
    fakes.compositing.setCompositing(true);
    EXPECT_TRUE(panel->mask().isEmpty());
    EXPECT_TRUE(panel->backdrop().isVisible());
    EXPECT_EQ(panel->backdrop().renderCount(), 1);
}

TEST_F(NotchPanelQtTest, TakesKeyboardFocusOnlyWhenAsked)
{
    place({200, 32});
    ASSERT_NE(panel->windowHandle(), nullptr);
    EXPECT_TRUE(panel->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_FALSE(panel->canBecomeKey());

    panel->setKeyboardFocusRequested(true);
    EXPECT_TRUE(panel->canBecomeKey());
    EXPECT_FALSE(panel->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(panel->isVisible()) << "flipping the flag keeps the window up";
    panel->makeKeyAndOrderFront();
    EXPECT_TRUE(testsupport::waitUntil([&] { return panel->isActiveWindow(); }));
    EXPECT_EQ(fakes.keyboardFocus.remembered, 1) << "notes whose keyboard it borrows";

    panel->setKeyboardFocusRequested(false);
    panel->resignKey();
    EXPECT_EQ(fakes.keyboardFocus.givenBack, 1);
    EXPECT_TRUE(panel->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
}

// The settings window, opened from the Desk, takes the keyboard; a click on
// the still open Desk must take it back, or its text fields ignore typing.
TEST_F(NotchPanelQtTest, AClickTakesTheKeyboardBackWhileFocusIsRequested)
{
    place({600, 200});
    panel->setKeyboardFocusRequested(true);
    panel->makeKeyAndOrderFront();
    ASSERT_TRUE(testsupport::waitUntil([&] { return panel->isActiveWindow(); }));

    QWidget other;
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(testsupport::waitUntil([&] { return other.isActiveWindow(); }));

    QTest::mouseClick(panel->windowHandle(), Qt::LeftButton, {}, QPoint(300, 100));
    EXPECT_TRUE(testsupport::waitUntil([&] { return panel->isActiveWindow(); }));
    EXPECT_EQ(fakes.keyboardFocus.remembered, 2) << "notes the window it takes the keyboard from";

    // Closed, the Desk leaves the keyboard where it is.
    panel->setKeyboardFocusRequested(false);
    panel->resignKey();
    other.activateWindow();
    ASSERT_TRUE(testsupport::waitUntil([&] { return other.isActiveWindow(); }));
    QTest::mouseClick(panel->windowHandle(), Qt::LeftButton, {}, QPoint(300, 100));
    QCoreApplication::processEvents();
    EXPECT_TRUE(other.isActiveWindow());
    EXPECT_EQ(fakes.keyboardFocus.remembered, 2);
}

} // namespace
