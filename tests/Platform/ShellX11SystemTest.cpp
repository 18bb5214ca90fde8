// The X11 backends of the shell's seams against a private Xvfb: input shapes,
// stacking, the compositing manager's selection and the drag selection.
#include "Platform/Input/XcbConnection.h"
#include "Platform/Shell/CompositingMonitor.h"
#include "Platform/Shell/DragSelectionWatcher.h"
#include "Platform/Shell/InputShaper.h"
#include "Platform/Shell/KeyboardFocus.h"
#include "Platform/Shell/SelectionOwnerWatch.h"
#include "Platform/Shell/WindowStacker.h"

#include "PrivateXServer.h"
#include "TestSupport.h"

#include <QRegion>
#include <QSignalSpy>

#include <xcb/shape.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class ShellX11SystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        connection = XcbConnection::open(m_server.display().toStdString());
        other = XcbConnection::open(m_server.display().toStdString());
        ASSERT_TRUE(connection && other);
    }

    /// An override-redirect window of another client's.
    xcb_window_t window(XcbConnection& owner, int x = 0, int y = 0, int width = 100, int height = 50)
    {
        xcb_connection_t* c = owner.connection();
        const xcb_window_t id = xcb_generate_id(c);
        const std::uint32_t values[] = {1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id, owner.rootWindow(), std::int16_t(x), std::int16_t(y),
                          std::uint16_t(width), std::uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c, id);
        sync(owner);
        return id;
    }

    static void sync(XcbConnection& on)
    {
        xcb_connection_t* c = on.connection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }

    std::vector<QRect> inputRectangles(xcb_window_t id)
    {
        xcb_connection_t* c = other->connection();
        xcb_shape_get_rectangles_reply_t* reply =
            xcb_shape_get_rectangles_reply(c, xcb_shape_get_rectangles(c, id, XCB_SHAPE_SK_INPUT), nullptr);
        std::vector<QRect> rects;
        if (!reply)
            return rects;
        const xcb_rectangle_t* items = xcb_shape_get_rectangles_rectangles(reply);
        for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply); ++i)
            rects.emplace_back(items[i].x, items[i].y, items[i].width, items[i].height);
        std::free(reply);
        return rects;
    }

    /// The root's children that are `among`, bottom to top.
    std::vector<xcb_window_t> stacking(const std::vector<xcb_window_t>& among)
    {
        xcb_connection_t* c = other->connection();
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, other->rootWindow()), nullptr);
        std::vector<xcb_window_t> order;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            if (std::find(among.begin(), among.end(), children[i]) != among.end())
                order.push_back(children[i]);
        }
        std::free(tree);
        return order;
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> connection;
    std::unique_ptr<XcbConnection> other;
};

TEST_F(ShellX11SystemTest, InputShapeTakesTheGivenRectanglesOrNone)
{
    X11InputShaper shaper(*connection);
    ASSERT_TRUE(shaper.isAvailable());
    const xcb_window_t panel = window(*other, 0, 0, 300, 200);
    EXPECT_EQ(inputRectangles(panel), (std::vector<QRect>{QRect(0, 0, 300, 200)})) << "unshaped";

    shaper.setInputRegion(panel, {QRect(50, 0, 200, 40), QRect(0, 0, 300, 0), QRect(10, 40, 280, 100)});
    sync(*connection);
    std::vector<QRect> rects = inputRectangles(panel);
    ASSERT_EQ(rects.size(), 2u) << "empty rectangles are dropped";
    QRegion region;
    for (const QRect& rect : rects)
        region += rect;
    EXPECT_EQ(region, QRegion(QRect(50, 0, 200, 40)) + QRect(10, 40, 280, 100));

    shaper.setInputRegion(panel, {});
    sync(*connection);
    EXPECT_TRUE(inputRectangles(panel).empty()) << "nothing may take input";
}

TEST_F(ShellX11SystemTest, StacksOneWindowDirectlyBelowAnother)
{
    const xcb_window_t backdrop = window(*other);
    const xcb_window_t panel = window(*other);
    const xcb_window_t dragIcon = window(*other);
    X11WindowStacker stacker(*connection);

    stacker.raise(backdrop);
    sync(*connection);
    EXPECT_EQ(stacking({backdrop, panel, dragIcon}), (std::vector<xcb_window_t>{panel, dragIcon, backdrop}));

    // Tucking the backdrop under its panel moves nothing above the icon.
    stacker.stackBelow(backdrop, panel);
    sync(*connection);
    EXPECT_EQ(stacking({backdrop, panel, dragIcon}), (std::vector<xcb_window_t>{backdrop, panel, dragIcon}));
}

TEST_F(ShellX11SystemTest, FollowsTheCompositingManagerSelection)
{
    X11CompositingMonitor monitor(*connection);
    EXPECT_FALSE(monitor.isCompositing()) << "Xvfb runs no compositing manager";
    QSignalSpy spy(&monitor, &CompositingMonitor::compositingChanged);

    // A compositing manager announces itself by owning _NET_WM_CM_S0.
    const xcb_window_t manager = window(*other);
    xcb_set_selection_owner(other->connection(), manager, internAtom(other->connection(), "_NET_WM_CM_S0"),
                            XCB_CURRENT_TIME);
    sync(*other);
    ASSERT_TRUE(testsupport::waitUntil([&] { return spy.count() == 1; }));
    EXPECT_TRUE(monitor.isCompositing());
    EXPECT_TRUE(X11CompositingMonitor(*connection).isCompositing()) << "read at start";

    // It goes away with its window (a crash closes it the same way).
    xcb_destroy_window(other->connection(), manager);
    sync(*other);
    ASSERT_TRUE(testsupport::waitUntil([&] { return spy.count() == 2; }));
    EXPECT_FALSE(monitor.isCompositing());
    EXPECT_EQ(spy.at(1).at(0).toBool(), false);
}

TEST_F(ShellX11SystemTest, CountsEachDragStartedAnywhere)
{
    X11DragSelectionWatcher watcher(*connection);
    ASSERT_TRUE(watcher.isAvailable());
    EXPECT_EQ(watcher.changeCount(), 0);

    const xcb_window_t source = window(*other);
    const xcb_atom_t xdnd = internAtom(other->connection(), "XdndSelection");
    // Every drag takes the selection again, even from the same source.
    for (int drag = 1; drag <= 2; ++drag) {
        xcb_set_selection_owner(other->connection(), source, xdnd, XCB_CURRENT_TIME);
        sync(*other);
        ASSERT_TRUE(testsupport::waitUntil([&] { return watcher.changeCount() == drag; }));
    }
    // Dropping the selection is no new drag; other selections are not drags.
    xcb_set_selection_owner(other->connection(), XCB_WINDOW_NONE, xdnd, XCB_CURRENT_TIME);
    xcb_set_selection_owner(other->connection(), source, internAtom(other->connection(), "CLIPBOARD"),
                            XCB_CURRENT_TIME);
    sync(*other);
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(watcher.changeCount(), 2);
}

TEST_F(ShellX11SystemTest, GivesTheKeyboardBackToTheWindowThatHadIt)
{
    auto focus = [&](xcb_window_t window) {
        xcb_set_input_focus(other->connection(), XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        sync(*other);
    };
    auto focused = [&] {
        xcb_get_input_focus_reply_t* reply =
            xcb_get_input_focus_reply(other->connection(), xcb_get_input_focus(other->connection()), nullptr);
        const xcb_window_t window = reply ? reply->focus : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
        std::free(reply);
        return window;
    };
    const xcb_window_t editor = window(*other, 0, 300);
    const xcb_window_t browser = window(*other, 200, 300);
    const xcb_window_t panel = window(*other, 400, 0);
    X11KeyboardFocus keyboard(*connection);

    focus(editor);
    keyboard.rememberFocusBefore(panel);
    focus(panel);
    keyboard.giveBack(panel);
    sync(*connection);
    EXPECT_EQ(focused(), editor);

    // The user clicked into another window meanwhile: that one keeps it.
    keyboard.rememberFocusBefore(panel);
    focus(panel);
    focus(browser);
    keyboard.giveBack(panel);
    sync(*connection);
    EXPECT_EQ(focused(), browser);

    // The window that had it is gone: the keyboard follows the pointer.
    keyboard.rememberFocusBefore(panel);
    focus(panel);
    xcb_destroy_window(other->connection(), browser);
    sync(*other);
    keyboard.giveBack(panel);
    sync(*connection);
    EXPECT_EQ(focused(), xcb_window_t(XCB_INPUT_FOCUS_POINTER_ROOT));
}

} // namespace
