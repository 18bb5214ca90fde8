// A hidden notch on a real X server: it takes no click, yet a scroll over its
// handler brings it back. The model and its panel run in the helper process
// (Qt on X); this program drives the pointer with XTEST and owns the window
// of "another application" below.
#include "Platform/Input/XcbConnection.h"

#include "NotchXHelperProcess.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestPointer.h"

#include <QPoint>

#include <gtest/gtest.h>

namespace {

// The helper's handler: 200 x 32, centred at the top of the 1280-wide screen.
const QPoint kOnHandler(640, 10);
const QPoint kBesideHandler(300, 10);

class NotchViewModelSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        x = XcbConnection::open(m_server.display().toStdString());
        ASSERT_TRUE(x);
        pointer = std::make_unique<testsupport::XTestPointer>(*x);
        below = makeWindowBelow();
        ASSERT_TRUE(helper.start(m_server, {"model"}));
        ASSERT_FALSE(helper.waitFor("ready").isEmpty()) << "the notch did not come up";
    }

    /// Another application's window across the top of the screen.
    xcb_window_t makeWindowBelow()
    {
        xcb_connection_t* c = x->connection();
        const xcb_window_t window = xcb_generate_id(c);
        const std::uint32_t values[] = {1, XCB_EVENT_MASK_BUTTON_PRESS};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, x->rootWindow(), 0, 0, 1280, 300, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(c, window);
        testsupport::XTestPointer::roundTrip(*x);
        return window;
    }

    /// Presses of buttons 1 to 3 the window below received since the last call.
    int clicksBelow()
    {
        testsupport::XTestPointer::roundTrip(*x);
        int clicks = 0;
        while (xcb_generic_event_t* event = xcb_poll_for_event(x->connection())) {
            if ((event->response_type & 0x7f) == XCB_BUTTON_PRESS) {
                const auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
                clicks += press->detail <= 3;
            }
            std::free(event);
        }
        return clicks;
    }

    /// Turns the wheel `notches` times at `at`, and leaves the pointer there
    /// until the helper has seen every turn: raw events carry no position, so
    /// the helper asks where the pointer is when it reads them.
    void scroll(QPoint at, int button, int notches)
    {
        pointer->moveTo(at.x(), at.y());
        for (int i = 0; i < notches; ++i) {
            pointer->press(button);
            pointer->release(button);
        }
        const QString seen = QStringLiteral("wheel %1 %2 %3").arg(at.x()).arg(at.y()).arg(button == 4 ? 1 : -1);
        for (int i = 0; i < notches; ++i)
            ASSERT_EQ(helper.waitFor("wheel"), seen);
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> x;
    std::unique_ptr<testsupport::XTestPointer> pointer;
    testsupport::NotchXHelperProcess helper;
    xcb_window_t below = 0;
};

TEST_F(NotchViewModelSystemTest, AHiddenNotchLetsClicksThroughAndComesBackOnAScrollOverItsHandler)
{
    clicksBelow();
    pointer->click(kOnHandler.x(), kOnHandler.y());
    ASSERT_FALSE(helper.waitFor("click").isEmpty()) << "the closed notch takes its clicks";
    EXPECT_EQ(clicksBelow(), 0);

    helper.send("hide");
    ASSERT_EQ(helper.waitFor("state"), "state hidden");
    pointer->click(kOnHandler.x(), kOnHandler.y());
    EXPECT_EQ(clicksBelow(), 1) << "the click reaches the window below";

    // A scroll beside the handler, or the other way, leaves it hidden.
    scroll(kBesideHandler, 4, 3);
    scroll(kOnHandler, 5, 3);
    EXPECT_EQ(helper.waitFor("state", 300), "");

    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(300)); // a new burst
    scroll(kOnHandler, 4, 3);
    EXPECT_EQ(helper.waitFor("state"), "state closed");
    EXPECT_TRUE(helper.unclaimed().filter("click").isEmpty()) << "the hidden notch never saw the click";
    EXPECT_EQ(clicksBelow(), 0) << "wheel notches are no clicks";

    pointer->click(kOnHandler.x(), kOnHandler.y());
    EXPECT_FALSE(helper.waitFor("click").isEmpty()) << "shown again, the notch takes clicks again";
}

/// An open Desk whose list is scrolled to its end.
class DeskWheelSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        x = XcbConnection::open(m_server.display().toStdString());
        ASSERT_TRUE(x);
        pointer = std::make_unique<testsupport::XTestPointer>(*x);
        ASSERT_TRUE(helper.start(m_server, {"desk"}));
        const QStringList ready = helper.waitFor("ready").split(' ');
        ASSERT_EQ(ready.size(), 6) << "the Desk did not come up";
        onList = QPoint(ready[1].toInt(), ready[2].toInt());
        onHeader = QPoint(ready[3].toInt(), ready[4].toInt());
        ASSERT_EQ(ready[5], "end");
        ASSERT_EQ(helper.waitFor("state"), "state open");
    }

    void turn(QPoint at, int button, int notches)
    {
        pointer->moveTo(at.x(), at.y());
        for (int i = 0; i < notches; ++i) {
            pointer->press(button);
            pointer->release(button);
        }
        pointer->sync();
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> x;
    std::unique_ptr<testsupport::XTestPointer> pointer;
    testsupport::NotchXHelperProcess helper;
    QPoint onList;
    QPoint onHeader;
};

// Qt's scroll area lets a wheel it cannot use go on to its parent, and the
// hosting view turns whatever reaches it into a swipe: a list scrolled to its
// end must keep the wheel, or scrolling on would close the Desk.
TEST_F(DeskWheelSystemTest, AWheelOverAListAtItsEndNeverSwipesTheNotch)
{
    turn(onList, 5, 6);
    EXPECT_EQ(helper.waitFor("scroll", 400).toStdString(), "") << "the list kept every step";
    helper.send("where");
    const QStringList where = helper.waitFor("list").split(' ');
    ASSERT_EQ(where.size(), 4);
    EXPECT_EQ(where[1], where[3]) << "still at its end";
    EXPECT_EQ(helper.waitFor("state", 200).toStdString(), "") << "still open";

    // Beside the list the same wheel is a swipe for the notch.
    turn(onHeader, 5, 6);
    EXPECT_FALSE(helper.waitFor("scroll").isEmpty());
}

} // namespace
