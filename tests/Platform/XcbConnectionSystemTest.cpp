#include "Platform/Input/XcbConnection.h"

#include "PrivateXServer.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class XcbConnectionSystemTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.start()); }

    testsupport::PrivateXServer m_server;
};

TEST_F(XcbConnectionSystemTest, NoServerMeansNoConnection)
{
    EXPECT_EQ(XcbConnection::open(":65000"), nullptr);
}

TEST_F(XcbConnectionSystemTest, ReportsTheExtensionsOfAPlainXServer)
{
    auto connection = XcbConnection::open(m_server.display().toStdString());
    ASSERT_NE(connection, nullptr);
    EXPECT_NE(connection->rootWindow(), 0u);
    EXPECT_TRUE(connection->xinputOpcode().has_value());
    EXPECT_FALSE(connection->isXWayland());
}

TEST_F(XcbConnectionSystemTest, DeliversEventsThroughTheEventLoopAndLetsHandlersRemoveThemselves)
{
    auto connection = XcbConnection::open(m_server.display().toStdString());
    ASSERT_NE(connection, nullptr);
    xcb_connection_t* c = connection->connection();

    int maps = 0;
    int onceCalls = 0;
    int onceToken = 0;
    connection->addEventHandler([&](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7f) == XCB_MAP_NOTIFY)
            ++maps;
    });
    onceToken = connection->addEventHandler([&](const xcb_generic_event_t&) {
        ++onceCalls;
        connection->removeEventHandler(onceToken);
    });

    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, connection->rootWindow(), 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    xcb_map_window(c, window);
    xcb_flush(c);

    EXPECT_TRUE(testsupport::waitUntil([&] { return maps == 1; }));
    EXPECT_EQ(onceCalls, 1);
}

TEST_F(XcbConnectionSystemTest, AnnouncesWhenTheServerGoesAway)
{
    auto connection = XcbConnection::open(m_server.display().toStdString());
    ASSERT_NE(connection, nullptr);
    QSignalSpy spy(connection.get(), &XcbConnection::disconnected);
    m_server.stop();
    EXPECT_TRUE(testsupport::waitUntil([&] { return spy.count() == 1; }));
    // Reading again after the loss neither crashes nor announces twice.
    connection->flush();
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
