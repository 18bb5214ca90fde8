// The notch panel as real X windows on a private Xvfb. The windows run in a
// helper process under Qt's xcb platform; this program drives the pointer
// with XTEST and looks at the server's windows from its own connection.
#include "Platform/Input/XcbConnection.h"
#include "Platform/Shell/SelectionOwnerWatch.h"

#include "NotchXHelperProcess.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestPointer.h"

#include <QFile>
#include <QProcess>
#include <QRegion>
#include <QUrl>
#include <QTemporaryDir>

#include <xcb/shape.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The helper's panel: at 440,0, 400 x 120, its notch 100,0 200 x 40.
constexpr int kPanelX = 440;
const QPoint kInsideNotch(kPanelX + 200, 20);
const QPoint kBesideNotch(kPanelX + 30, 80);

using Helper = testsupport::NotchXHelperProcess;

class NotchPanelSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        x = XcbConnection::open(m_server.display().toStdString());
        ASSERT_TRUE(x);
        pointer = std::make_unique<testsupport::XTestPointer>(*x);
        if (composited())
            takeCompositingSelection();
        // Another application's window under the panel's whole area.
        below = makeWindow(0, 0, 1280, 300, XCB_EVENT_MASK_BUTTON_PRESS);
        ASSERT_TRUE(panelHelper.start(m_server, {"panel"}));
        const QStringList ready = panelHelper.waitFor("ready").split(' ');
        ASSERT_EQ(ready.size(), 3) << "the panel did not come up";
        panel = ready[1].toUInt();
        backdrop = ready[2].toUInt();
    }

    virtual bool composited() const = 0;

    void takeCompositingSelection()
    {
        const xcb_window_t manager = makeWindow(0, 0, 1, 1, 0, false);
        xcb_set_selection_owner(x->connection(), manager, internAtom(x->connection(), "_NET_WM_CM_S0"),
                                XCB_CURRENT_TIME);
        testsupport::XTestPointer::roundTrip(*x);
    }

    xcb_window_t makeWindow(int left, int top, int width, int height, std::uint32_t events, bool map = true)
    {
        xcb_connection_t* c = x->connection();
        const xcb_window_t window = xcb_generate_id(c);
        const std::uint32_t values[] = {1, events};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, x->rootWindow(), std::int16_t(left), std::int16_t(top),
                          std::uint16_t(width), std::uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        if (map)
            xcb_map_window(c, window);
        testsupport::XTestPointer::roundTrip(*x);
        return window;
    }

    /// Button presses the window below received since the last call.
    int pressesBelow()
    {
        testsupport::XTestPointer::roundTrip(*x);
        int presses = 0;
        while (xcb_generic_event_t* event = xcb_poll_for_event(x->connection())) {
            presses += (event->response_type & 0x7f) == XCB_BUTTON_PRESS;
            std::free(event);
        }
        return presses;
    }

    bool isMapped(xcb_window_t window)
    {
        xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
            x->connection(), xcb_get_window_attributes(x->connection(), window), nullptr);
        const bool mapped = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(reply);
        return mapped;
    }

    std::vector<QRect> shapeRectangles(xcb_window_t window, xcb_shape_kind_t kind)
    {
        xcb_connection_t* c = x->connection();
        xcb_shape_get_rectangles_reply_t* reply =
            xcb_shape_get_rectangles_reply(c, xcb_shape_get_rectangles(c, window, kind), nullptr);
        std::vector<QRect> rects;
        if (!reply)
            return rects;
        const xcb_rectangle_t* items = xcb_shape_get_rectangles_rectangles(reply);
        for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply); ++i)
            rects.emplace_back(items[i].x, items[i].y, items[i].width, items[i].height);
        std::free(reply);
        return rects;
    }

    /// The root's children, bottom to top.
    std::vector<xcb_window_t> stacking()
    {
        xcb_connection_t* c = x->connection();
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, x->rootWindow()), nullptr);
        const xcb_window_t* children = xcb_query_tree_children(tree);
        std::vector<xcb_window_t> order(children, children + xcb_query_tree_children_length(tree));
        std::free(tree);
        return order;
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> x;
    std::unique_ptr<testsupport::XTestPointer> pointer;
    Helper panelHelper;
    xcb_window_t below = 0;
    xcb_window_t panel = 0;
    xcb_window_t backdrop = 0;
};

class NotchPanelCompositedSystemTest : public NotchPanelSystemTest {
protected:
    bool composited() const override { return true; }
};

class NotchPanelShapedSystemTest : public NotchPanelSystemTest {
protected:
    bool composited() const override { return false; }
};

TEST_F(NotchPanelCompositedSystemTest, ClicksBesideTheNotchReachTheWindowBelow)
{
    EXPECT_EQ(shapeRectangles(panel, XCB_SHAPE_SK_INPUT), (std::vector<QRect>{QRect(100, 0, 200, 40)}));

    pressesBelow();
    pointer->click(kBesideNotch.x(), kBesideNotch.y());
    EXPECT_EQ(pressesBelow(), 1) << "the transparent part of the panel lets the click through";

    pointer->click(kInsideNotch.x(), kInsideNotch.y());
    EXPECT_EQ(panelHelper.waitFor("click"), "click 200 20");
    EXPECT_EQ(pressesBelow(), 0);
    EXPECT_TRUE(panelHelper.unclaimed().filter("click").isEmpty()) << "one click, once";
}

TEST_F(NotchPanelCompositedSystemTest, ShowsTheBackdropDirectlyBelowThePanel)
{
    EXPECT_TRUE(isMapped(panel));
    EXPECT_TRUE(isMapped(backdrop));
    const std::vector<xcb_window_t> order = stacking();
    const auto at = std::find(order.begin(), order.end(), panel);
    ASSERT_NE(at, order.end());
    ASSERT_NE(at, order.begin());
    EXPECT_EQ(*(at - 1), backdrop);
    EXPECT_EQ(order.back(), panel) << "above the other application";
    EXPECT_TRUE(shapeRectangles(backdrop, XCB_SHAPE_SK_INPUT).empty()) << "the glow never takes a click";
    EXPECT_EQ(shapeRectangles(panel, XCB_SHAPE_SK_BOUNDING), (std::vector<QRect>{QRect(0, 0, 400, 120)}))
        << "translucent, so not cut";
}

TEST_F(NotchPanelCompositedSystemTest, TakesAFileDraggedFromAnotherApplication)
{
    QTemporaryDir folder;
    const QString file = folder.filePath("photo one.png");
    QFile(file).open(QIODevice::WriteOnly);
    Helper source;
    ASSERT_TRUE(source.start(m_server, {"drag", file}));
    ASSERT_FALSE(source.waitFor("ready").isEmpty());

    // Armed, the drop area beside the notch takes the drop as well.
    panelHelper.send("arm");
    ASSERT_FALSE(panelHelper.waitFor("armed").isEmpty());
    QRegion input;
    for (const QRect& rect : shapeRectangles(panel, XCB_SHAPE_SK_INPUT))
        input += rect;
    EXPECT_EQ(input, QRegion(0, 0, 400, 120)) << "the notch and its drop area";

    pointer->moveTo(150, 450);
    pointer->press(1);
    for (int step = 1; step <= 10; ++step) {
        pointer->moveTo(150 + (kBesideNotch.x() - 150) * step / 10, 450 + (kBesideNotch.y() - 450) * step / 10);
        testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(30));
    }
    ASSERT_FALSE(panelHelper.waitFor("entered 1").isEmpty()) << "the drag reached the panel";
    // Release only once the panel has taken the last position: a source that
    // has no answer for it yet drops nothing, and a loaded machine is slow.
    ASSERT_FALSE(panelHelper.waitFor("moved 30 80").isEmpty());
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(150));
    pointer->release(1);
    EXPECT_EQ(panelHelper.waitFor("drop"),
              QStringLiteral("drop %1 at 30 80").arg(QUrl::fromLocalFile(file).toString()));
    EXPECT_EQ(source.waitFor("dropped"), "dropped copy");
    EXPECT_EQ(pressesBelow(), 0);
}

TEST_F(NotchPanelShapedSystemTest, WithoutACompositorHidesTheBackdropAndCutsThePanelToTheNotch)
{
    EXPECT_TRUE(isMapped(panel));
    EXPECT_FALSE(isMapped(backdrop));
    const std::vector<QRect> bounding = shapeRectangles(panel, XCB_SHAPE_SK_BOUNDING);
    QRegion region;
    for (const QRect& rect : bounding)
        region += rect;
    // The helper draws a 224 x 38 canvas: a 212 x 32 notch, centred (the
    // hair-thin tips of its top flares fall between pixels).
    EXPECT_TRUE(QRect(94, 0, 212, 32).contains(region.boundingRect()));
    EXPECT_TRUE(region.contains(QRect(100, 0, 200, 20)));
    EXPECT_FALSE(region.contains(QPoint(95, 31))) << "rounded bottom corner";

    pressesBelow();
    pointer->click(kBesideNotch.x(), kBesideNotch.y());
    EXPECT_EQ(pressesBelow(), 1);
    pointer->click(kInsideNotch.x(), kInsideNotch.y());
    EXPECT_EQ(panelHelper.waitFor("click"), "click 200 20");
}

} // namespace
