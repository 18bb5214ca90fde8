// The window controller with real windows on a private Xvfb: the controller
// runs in the helper process under Qt's xcb platform with the X11 mouse
// monitor and drag watcher and the KDE Connect sharing service on a private
// session bus; this program drives the pointer with XTEST, plays the
// compositing manager, adds a monitor with xrandr and starts a fake KDE
// Connect daemon where a test needs a device.
#include "Platform/Desktop/KdeConnectSharingService.h"
#include "Platform/Input/XcbConnection.h"
#include "MockDBusService.h"
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
        // A bus of its own, where only the devices a test starts exist.
        ASSERT_TRUE(buses.start());
        ASSERT_TRUE(controller.start(m_server, {"controller"}, buses.childEnvironment()));
        ASSERT_EQ(controller.waitFor("panels"), "panels 1") << "one panel on the one screen";
    }

    static void pause(int milliseconds)
    {
        testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(milliseconds));
    }

    /// Drags `file` from a source window up to the notch, across its lanes
    /// until the controller has `lane` under the pointer, and drops it there;
    /// the source's report of the drop ("dropped copy", "dropped none"), or
    /// "" when the lane was never reached.
    QString dropOnLane(const QString& file, const QString& lane)
    {
        Helper source;
        if (!source.start(m_server, {"drag", file}) || source.waitFor("ready").isEmpty())
            return {};
        pointer->moveTo(150, 450);
        pointer->press(1);
        for (int step = 1; step <= 10; ++step) {
            pointer->moveTo(150 + (290 - 150) * step / 10, 450 + (30 - 450) * step / 10);
            pause(30);
        }
        int x = 290;
        bool reached = false;
        for (; x < 990 && !reached; x += 10) {
            pointer->moveTo(x, 30);
            reached = controller.waitFor("hovered " + lane, 100) == "hovered " + lane;
        }
        // A few moves more inside the lane, so the source has the answer for
        // the place of the drop.
        for (int step = 1; step <= 3; ++step) {
            pointer->moveTo(x - 10 + step, 30);
            pause(60);
        }
        pointer->release(1);
        const QString result = source.waitFor("dropped");
        return reached ? result : QString();
    }

    testsupport::PrivateXServer m_server;
    testsupport::PrivateBusPair buses;
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

// Refused as the source moves over the lane, not only at the drop: a source
// that believes the last answer it had would otherwise report a transfer
// that never happened, and might delete what it moved.
TEST_F(NotchWindowControllerSystemTest, ADropOnTheSharingLaneWithoutADeviceIsRefusedAndTheSourceKeepsItsFile)
{
    QTemporaryDir folder;
    const QString file = folder.filePath("notes.txt");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("hello");
    }
    EXPECT_EQ(dropOnLane(file, "airdrop").toStdString(), "dropped none");
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(controller.waitFor("tray", 500).toStdString(), "") << "nothing went to the shelf either";
    EXPECT_EQ(controller.waitFor("armed"), "armed true");
    EXPECT_EQ(controller.waitFor("armed"), "armed false");
}

TEST_F(NotchWindowControllerSystemTest, ADropOnTheSharingLaneGoesToThePairedDevice)
{
    QDBusConnection bus = QDBusConnection::connectToBus(buses.sessionAddress(), "kdeconnect-test");
    ASSERT_TRUE(bus.isConnected());
    {
        testsupport::MockDBusService daemon(bus, KdeConnectSharingService::kService,
                                            KdeConnectSharingService::kDaemonPath);
        ASSERT_TRUE(daemon.start(buses, testsupport::sourceDir() + "/tests/Platform/fixtures/kdeconnect.py", false,
                                 R"({"devices": [{"id": "phone"}]})"));
        QTemporaryDir folder;
        const QString file = folder.filePath("notes.txt");
        {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write("hello");
        }
        EXPECT_EQ(dropOnLane(file, "airdrop").toStdString(), "dropped copy");
        QStringList shared;
        for (const auto& call : daemon.calls(QString(KdeConnectSharingService::kDaemonPath) + "/devices/phone/share"))
            if (call.method == "shareUrl")
                shared << call.arguments.value(0).toString();
        EXPECT_EQ(shared, QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)});
        EXPECT_EQ(controller.waitFor("tray", 500).toStdString(), "") << "sent, not kept";
    }
    QDBusConnection::disconnectFromBus("kdeconnect-test");
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
