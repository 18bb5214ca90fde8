#include "Platform/Desktop/X11FrontmostApplication.h"

#include "Platform/Input/XcbConnection.h"
#include "PrivateXServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// A window manager's part played by the test: it names the active window
// in the root window's _NET_ACTIVE_WINDOW.
class X11FrontmostApplicationSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        m_connection = XcbConnection::open(m_server.display().toStdString());
        ASSERT_NE(m_connection, nullptr);
        const char name[] = "_NET_ACTIVE_WINDOW";
        auto* reply = xcb_intern_atom_reply(c(), xcb_intern_atom(c(), 0, sizeof name - 1, name), nullptr);
        ASSERT_NE(reply, nullptr);
        m_activeWindow = reply->atom;
        std::free(reply);
    }

    xcb_connection_t* c() const { return m_connection->connection(); }

    xcb_window_t makeWindow(std::optional<std::string> wmClass)
    {
        const xcb_window_t window = xcb_generate_id(c());
        xcb_create_window(c(), XCB_COPY_FROM_PARENT, window, m_connection->rootWindow(), 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        if (wmClass)
            xcb_change_property(c(), XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                                static_cast<uint32_t>(wmClass->size()), wmClass->data());
        return window;
    }

    void activate(xcb_window_t window)
    {
        xcb_change_property(c(), XCB_PROP_MODE_REPLACE, m_connection->rootWindow(), m_activeWindow, XCB_ATOM_WINDOW,
                            32, 1, &window);
        xcb_flush(c());
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> m_connection;
    xcb_atom_t m_activeWindow = XCB_NONE;
};

TEST_F(X11FrontmostApplicationSystemTest, NamesTheClassOfTheActiveWindow)
{
    X11FrontmostApplication frontmost(*m_connection);
    // No window manager has said anything yet.
    EXPECT_EQ(frontmost.identifier(), std::nullopt);

    const xcb_window_t editor = makeWindow(std::string("gnome-text-editor\0org.gnome.TextEditor\0", 39));
    activate(editor);
    EXPECT_EQ(frontmost.identifier(), "org.gnome.TextEditor");

    const xcb_window_t unnamed = makeWindow(std::nullopt);
    activate(unnamed);
    EXPECT_EQ(frontmost.identifier(), std::nullopt);

    activate(XCB_NONE);
    EXPECT_EQ(frontmost.identifier(), std::nullopt);

    // A window that is gone by the time we ask.
    const xcb_window_t closed = makeWindow(std::string("x\0X\0", 4));
    activate(closed);
    xcb_destroy_window(c(), closed);
    EXPECT_EQ(frontmost.identifier(), std::nullopt);
}

TEST_F(X11FrontmostApplicationSystemTest, AServerThatWentAwayNamesNothing)
{
    X11FrontmostApplication frontmost(*m_connection);
    activate(makeWindow(std::string("a\0A\0", 4)));
    EXPECT_EQ(frontmost.identifier(), "A");
    m_server.stop();
    EXPECT_EQ(frontmost.identifier(), std::nullopt);
}

TEST(X11FrontmostApplication, TakesTheClassElseTheInstanceOfWMClass)
{
    const struct {
        const char* why;
        std::string value;
        std::optional<std::string> identifier;
    } rows[] = {
        {"instance and class", std::string("navigator\0Firefox\0", 18), "Firefox"},
        {"no final terminator", std::string("kate\0org.kde.kate", 17), "org.kde.kate"},
        {"an empty class", std::string("xterm\0\0", 7), "xterm"},
        {"only an instance", "solo", "solo"},
        {"nothing at all", std::string("\0\0", 2), std::nullopt},
        {"Latin-1 becomes UTF-8", std::string("a\0Caf\xE9\0", 7), "Caf\xC3\xA9"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(X11FrontmostApplication::classFromWMClass(row.value), row.identifier) << row.why;
}

} // namespace
