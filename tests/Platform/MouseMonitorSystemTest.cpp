#include "Platform/Input/MouseMonitor.h"
#include "Platform/Input/PointerState.h"
#include "Platform/Input/XcbConnection.h"

#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestPointer.h"

#include <xcb/xinput.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace {

class MouseMonitorSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        connection = XcbConnection::open(m_server.display().toStdString());
        driver = XcbConnection::open(m_server.display().toStdString());
        ASSERT_TRUE(connection && driver);
        mouse = std::make_unique<testsupport::XTestPointer>(*driver, connection.get());
    }

    /// A mapped window of `connection`'s, like one of our notch panels.
    xcb_window_t ownWindow(int x, int y, int width, int height)
    {
        xcb_connection_t* c = connection->connection();
        const xcb_window_t window = xcb_generate_id(c);
        const std::uint32_t values[] = {1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, connection->rootWindow(), std::int16_t(x), std::int16_t(y),
                          std::uint16_t(width), std::uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c, window);
        xcb_flush(c);
        return window;
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> connection;
    std::unique_ptr<XcbConnection> driver;
    std::unique_ptr<testsupport::XTestPointer> mouse;
};

constexpr unsigned kAll = mouseEventMask(MouseEventType::leftMouseDown) | mouseEventMask(MouseEventType::leftMouseUp) |
                          mouseEventMask(MouseEventType::leftMouseDragged) |
                          mouseEventMask(MouseEventType::rightMouseDown);

TEST_F(MouseMonitorSystemTest, ReportsPressesDragsAndReleasesWithThePointerLocation)
{
    X11MouseMonitor monitor(*connection);
    ASSERT_TRUE(monitor.isAvailable());
    std::vector<MouseEvent> events;
    ASSERT_TRUE(monitor.addGlobalMonitor(kAll, [&](const MouseEvent& event) { events.push_back(event); }));

    mouse->moveTo(100, 200);
    mouse->press(1);
    ASSERT_TRUE(testsupport::waitUntil([&] { return events.size() == 1; }));
    EXPECT_EQ(events[0], (MouseEvent{MouseEventType::leftMouseDown, {100, 200}}));

    mouse->moveTo(150, 40);
    ASSERT_TRUE(testsupport::waitUntil([&] { return events.size() >= 2; }));
    EXPECT_EQ(events.back(), (MouseEvent{MouseEventType::leftMouseDragged, {150, 40}}));

    mouse->release(1);
    ASSERT_TRUE(testsupport::waitUntil([&] { return events.back().type == MouseEventType::leftMouseUp; }));
    EXPECT_EQ(events.back().location, (Point{150, 40}));

    mouse->press(3);
    mouse->release(3);
    ASSERT_TRUE(testsupport::waitUntil([&] { return events.back().type == MouseEventType::rightMouseDown; }));
    // Wheel clicks and the middle button are none of the watched kinds.
    const std::size_t seen = events.size();
    for (int button : {2, 4, 5}) {
        mouse->press(button);
        mouse->release(button);
    }
    mouse->moveTo(10, 10);
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(events.size(), seen);
}

TEST_F(MouseMonitorSystemTest, SelectsRawMotionOnlyWhileTheButtonIsHeldAndOnlyWhenDragsAreWatched)
{
    X11MouseMonitor monitor(*connection);
    EXPECT_EQ(monitor.selectedEvents(), 0u) << "no monitor, no selection";

    int downs = 0;
    const auto clicks = monitor.addGlobalMonitor(mouseEventMask(MouseEventType::leftMouseDown),
                                                 [&](const MouseEvent&) { ++downs; });
    ASSERT_TRUE(clicks);
    mouse->press(1);
    ASSERT_TRUE(testsupport::waitUntil([&] { return downs == 1; }));
    EXPECT_EQ(monitor.selectedEvents() & (1u << XCB_INPUT_RAW_MOTION), 0u) << "nobody watches drags";
    mouse->release(1);

    int drags = 0;
    const auto dragsToken = monitor.addGlobalMonitor(mouseEventMask(MouseEventType::leftMouseDragged),
                                                     [&](const MouseEvent&) { ++drags; });
    mouse->moveTo(300, 300);
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(monitor.selectedEvents() & (1u << XCB_INPUT_RAW_MOTION), 0u) << "moving without a button is idle";
    EXPECT_EQ(drags, 0);

    mouse->press(1);
    ASSERT_TRUE(testsupport::waitUntil([&] { return downs == 2; }));
    EXPECT_NE(monitor.selectedEvents() & (1u << XCB_INPUT_RAW_MOTION), 0u);
    mouse->moveTo(310, 300);
    ASSERT_TRUE(testsupport::waitUntil([&] { return drags >= 1; }));
    mouse->release(1);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return (monitor.selectedEvents() & (1u << XCB_INPUT_RAW_MOTION)) == 0; }));

    monitor.removeMonitor(*clicks);
    monitor.removeMonitor(*dragsToken);
    EXPECT_EQ(monitor.selectedEvents(), 0u);
    EXPECT_EQ(monitor.monitorCount(), 0u);
}

TEST_F(MouseMonitorSystemTest, IgnoresEventsThatGoToOurOwnWindows)
{
    const xcb_window_t panel = ownWindow(400, 0, 200, 60);
    X11MouseMonitor monitor(*connection, nullptr, [&](xcb_window_t window) { return window == panel; });
    std::vector<MouseEvent> events;
    monitor.addGlobalMonitor(kAll, [&](const MouseEvent& event) { events.push_back(event); });

    // A click and a drag that start on our panel go to us, wherever they end.
    mouse->moveTo(450, 30);
    mouse->press(3);
    mouse->release(3);
    mouse->press(1);
    mouse->moveTo(800, 500);
    mouse->release(1);
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_TRUE(events.empty());

    // A drag from elsewhere that ends over the panel is still another app's.
    mouse->press(1);
    mouse->moveTo(500, 20);
    mouse->release(1);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !events.empty() && events.back().type == MouseEventType::leftMouseUp; }));
    EXPECT_EQ(events.front(), (MouseEvent{MouseEventType::leftMouseDown, {800, 500}}));
    EXPECT_EQ(events.back(), (MouseEvent{MouseEventType::leftMouseUp, {500, 20}}));
}

TEST_F(MouseMonitorSystemTest, ReportsWheelNotchesWithTheirDirectionAndThePointerLocation)
{
    X11MouseMonitor monitor(*connection);
    std::vector<MouseEvent> wheels;
    std::vector<MouseEvent> clicks;
    ASSERT_TRUE(monitor.addGlobalMonitor(mouseEventMask(MouseEventType::scrollWheel),
                                         [&](const MouseEvent& event) { wheels.push_back(event); }));
    ASSERT_TRUE(monitor.addGlobalMonitor(kAll, [&](const MouseEvent& event) { clicks.push_back(event); }));

    mouse->moveTo(640, 3);
    for (int button : {4, 5, 6, 7}) {
        mouse->press(button);
        mouse->release(button);
    }
    ASSERT_TRUE(testsupport::waitUntil([&] { return wheels.size() == 4; }));
    const std::vector<MouseEvent> expected{
        {MouseEventType::scrollWheel, {640, 3}, 0, 1},
        {MouseEventType::scrollWheel, {640, 3}, 0, -1},
        {MouseEventType::scrollWheel, {640, 3}, 1, 0},
        {MouseEventType::scrollWheel, {640, 3}, -1, 0},
    };
    EXPECT_EQ(wheels, expected) << "one event per notch, the release adds none";
    EXPECT_TRUE(clicks.empty()) << "wheel notches are no clicks";

    // Clicks reach only the monitors that asked for them.
    mouse->click(10, 10);
    ASSERT_TRUE(testsupport::waitUntil([&] { return clicks.size() == 2; }));
    EXPECT_EQ(wheels.size(), 4u);
}

TEST_F(MouseMonitorSystemTest, WheelNotchesFollowThePointerButtonMap)
{
    // A swapped wheel, as some users set for their scrolling direction.
    xcb_connection_t* c = driver->connection();
    std::vector<std::uint8_t> map;
    xcb_get_pointer_mapping_reply_t* reply = xcb_get_pointer_mapping_reply(c, xcb_get_pointer_mapping(c), nullptr);
    ASSERT_NE(reply, nullptr);
    const std::uint8_t* current = xcb_get_pointer_mapping_map(reply);
    map.assign(current, current + xcb_get_pointer_mapping_map_length(reply));
    std::free(reply);
    ASSERT_GE(map.size(), 5u);
    std::swap(map[3], map[4]);
    std::free(xcb_set_pointer_mapping_reply(c, xcb_set_pointer_mapping(c, std::uint8_t(map.size()), map.data()),
                                            nullptr));

    X11MouseMonitor monitor(*connection);
    std::vector<MouseEvent> wheels;
    monitor.addGlobalMonitor(mouseEventMask(MouseEventType::scrollWheel),
                             [&](const MouseEvent& event) { wheels.push_back(event); });
    mouse->moveTo(50, 60);
    mouse->press(4);
    mouse->release(4);
    ASSERT_TRUE(testsupport::waitUntil([&] { return wheels.size() == 1; }));
    EXPECT_EQ(wheels[0].deltaY, -1);
}

TEST_F(MouseMonitorSystemTest, WheelNotchesOverOurOwnWindowsAreOurs)
{
    const xcb_window_t panel = ownWindow(400, 0, 200, 60);
    X11MouseMonitor monitor(*connection, nullptr, [&](xcb_window_t window) { return window == panel; });
    std::vector<MouseEvent> wheels;
    monitor.addGlobalMonitor(mouseEventMask(MouseEventType::scrollWheel),
                             [&](const MouseEvent& event) { wheels.push_back(event); });

    mouse->moveTo(450, 30);
    mouse->press(5);
    mouse->release(5);
    mouse->moveTo(700, 30);
    mouse->press(5);
    mouse->release(5);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !wheels.empty(); }));
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    ASSERT_EQ(wheels.size(), 1u);
    EXPECT_EQ(wheels[0].location, (Point{700, 30}));
}

TEST_F(MouseMonitorSystemTest, PointerStateReadsLocationButtonsAndModifiers)
{
    X11PointerState pointer(*connection);
    mouse->moveTo(321, 123);
    EXPECT_EQ(pointer.location(), (Point{321, 123}));
    EXPECT_EQ(pointer.pressedMouseButtons(), 0u);

    // The keycode of Shift and of Alt in this server's modifier map.
    xcb_connection_t* c = driver->connection();
    xcb_get_modifier_mapping_reply_t* map = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
    ASSERT_NE(map, nullptr);
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(map);
    const std::uint8_t shift = keycodes[0 * map->keycodes_per_modifier];
    const std::uint8_t alt = keycodes[3 * map->keycodes_per_modifier];
    std::free(map);
    ASSERT_NE(shift, 0);
    ASSERT_NE(alt, 0);

    mouse->key(shift, true);
    mouse->key(alt, true);
    mouse->press(1);
    EXPECT_EQ(pointer.pressedMouseButtons(), MouseButtons::left);
    EXPECT_EQ(pointer.modifierFlags(), (KeyModifiers{.shift = true, .option = true}));
    mouse->release(1);
    mouse->key(alt, false);
    mouse->key(shift, false);
    EXPECT_EQ(pointer.pressedMouseButtons(), 0u);
    EXPECT_EQ(pointer.modifierFlags(), KeyModifiers{});
}

TEST_F(MouseMonitorSystemTest, AnUnavailableMonitorHandsOutNoToken)
{
    FakeMouseMonitor monitor;
    monitor.available = false;
    EXPECT_FALSE(monitor.addGlobalMonitor(kAll, [](const MouseEvent&) {}));
    // A server that goes away leaves a monitor that refuses new handlers.
    X11MouseMonitor x11(*connection);
    m_server.stop();
    connection->flush();
    EXPECT_TRUE(testsupport::waitUntil([&] { return !x11.isAvailable(); }));
    EXPECT_FALSE(x11.addGlobalMonitor(kAll, [](const MouseEvent&) {}));
}

} // namespace
