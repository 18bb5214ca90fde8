// The window controller with real windows on a private Xvfb: the controller
// runs in the helper process under Qt's xcb platform with the X11 mouse
// monitor and drag watcher; this program drives the pointer with XTEST,
// plays the compositing manager and adds a monitor with xrandr.
#include "Platform/Input/XcbConnection.h"
#include "NotchXHelperProcess.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestPointer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Helper = testsupport::NotchXHelperProcess;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    auto* reply = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::uint16_t(strlen(name)), name),
                                        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

class NotchWindowControllerSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start("1280x800x24"));
        x = XcbConnection::open(m_server.display().toStdString());
        ASSERT_TRUE(x);
        pointer = std::make_unique<testsupport::XTestPointer>(*x);
        // A compositing manager, so the armed panels take drops beyond the
        // notch's outline.
        const xcb_window_t manager = xcb_generate_id(x->connection());
        xcb_create_window(x->connection(), XCB_COPY_FROM_PARENT, manager, x->rootWindow(), 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(x->connection(), manager, internAtom(x->connection(), "_NET_WM_CM_S0"),
                                XCB_CURRENT_TIME);
        testsupport::XTestPointer::roundTrip(*x);
        ASSERT_TRUE(controller.start(m_server, {"controller"}));
        ASSERT_EQ(controller.waitFor("panels"), "panels 1") << "one panel on the one screen";
    }

    static void pause(int milliseconds)
    {
        testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(milliseconds));
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> x;
    std::unique_ptr<testsupport::XTestPointer> pointer;
    Helper controller;
};

TEST_F(NotchWindowControllerSystemTest, AFileDraggedToTheTopArmsThePanelAndLandsOnTheShelf)
{
    QTemporaryDir folder;
    const QString file = folder.filePath("notes.txt");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("hello");
    }
    Helper source;
    ASSERT_TRUE(source.start(m_server, {"drag", file}));
    ASSERT_FALSE(source.waitFor("ready").isEmpty());

    // Up from the source towards the top: armed on the way.
    pointer->moveTo(150, 450);
    pointer->press(1);
    for (int step = 1; step <= 10; ++step) {
        pointer->moveTo(150 + (330 - 150) * step / 10, 450 + (30 - 450) * step / 10);
        pause(30);
    }
    EXPECT_EQ(controller.waitFor("armed", 1000), "armed true") << "within one tick";
    // The drop target's lanes span the middle of the screen; the shelf is the
    // first, on the left.
    for (int step = 0; step < 6; ++step) {
        pointer->moveTo(330 + step, 30);
        pause(60);
    }
    pause(200);
    pointer->release(1);
    EXPECT_EQ(controller.waitFor("tray"), "tray notes.txt");
    EXPECT_EQ(controller.waitFor("state"), "state open") << "the tray opens on the drop";
    EXPECT_EQ(source.waitFor("dropped"), "dropped copy");
    EXPECT_EQ(controller.waitFor("armed"), "armed false");
    EXPECT_TRUE(QFile::exists(file)) << "copied, not moved";
}

TEST_F(NotchWindowControllerSystemTest, AMonitorAddedWithXrandrGetsAPanel)
{
    QProcess xrandr;
    xrandr.setProcessEnvironment(m_server.childEnvironment());
    xrandr.start("/usr/bin/xrandr", {"--setmonitor", "VUDE-2", "640/170x800/210+640+0", "none"});
    ASSERT_TRUE(xrandr.waitForFinished(10000));
    ASSERT_EQ(xrandr.exitCode(), 0) << xrandr.readAllStandardError().toStdString();
    EXPECT_EQ(controller.waitFor("panels"), "panels 2");
}

} // namespace
