// The tray against real X programs: a file dragged out of it lands in
// another program's window intact, copied or moved, and "Copy" leaves
// exactly that one file on the clipboard for file managers to paste.
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Input/XcbConnection.h"

#include "NotchXHelperProcess.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestPointer.h"
#include "Xclip.h"

#include <QDir>
#include <QPoint>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

QPoint pointIn(const QString& ready)
{
    const QStringList parts = ready.split(' ');
    return parts.size() >= 3 ? QPoint(parts[1].toInt(), parts[2].toInt()) : QPoint();
}

class TrayDragOutSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        ASSERT_TRUE(m_folder.isValid());
        fs::create_directories(received());
        // Some bytes that a truncated or re-encoded copy would not keep.
        for (int i = 0; i < 300000; ++i)
            m_content.push_back(char((i * 131) % 256));
        std::ofstream(source(), std::ios::binary) << m_content;
    }

    fs::path base() const { return m_folder.path().toStdString(); }
    fs::path source() const { return base() / "Quarterly report.bin"; }
    fs::path received() const { return base() / "received"; }

    /// The tray helper, its chip's point.
    QPoint startTray(const char* mode)
    {
        EXPECT_TRUE(m_tray.start(m_server, {"tray", QString::fromStdString(source().string()), mode}));
        return pointIn(m_tray.waitFor("ready"));
    }

    /// Presses on `from`, drags in steps to `to` and lets go there.
    void drag(QPoint from, QPoint to)
    {
        auto x = XcbConnection::open(m_server.display().toStdString());
        ASSERT_TRUE(x);
        testsupport::XTestPointer pointer(*x);
        const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(30)); };
        pointer.moveTo(from.x(), from.y());
        pointer.sync();
        pause();
        pointer.press(1);
        pointer.sync();
        pause();
        constexpr int steps = 12;
        for (int i = 1; i <= steps; ++i) {
            pointer.moveTo(from.x() + (to.x() - from.x()) * i / steps, from.y() + (to.y() - from.y()) * i / steps);
            pointer.sync();
            pause();
        }
        for (int i = 0; i < 4; ++i) { // the receiver answers each position
            pointer.moveTo(to.x() + i, to.y());
            pointer.sync();
            pause();
        }
        pointer.release(1);
        pointer.sync();
    }

    testsupport::PrivateXServer m_server;
    QTemporaryDir m_folder;
    std::string m_content;
    testsupport::NotchXHelperProcess m_tray;
    testsupport::NotchXHelperProcess m_receiver;
};

TEST_F(TrayDragOutSystemTest, AFileDraggedOutArrivesIntactCopiedOrMoved)
{
    struct Row {
        const char* mode;
        const char* received;
        bool trayKeepsIt;
    };
    for (const Row& row : {Row{"copy", "received copy Quarterly report.bin", true},
                           Row{"move", "received move Quarterly report.bin", false}}) {
        SCOPED_TRACE(row.mode);
        fs::remove_all(received());
        fs::create_directories(received());
        const QPoint chip = startTray(row.mode);
        ASSERT_FALSE(chip.isNull()) << "the tray did not come up";
        ASSERT_TRUE(m_receiver.start(m_server, {"receive", QString::fromStdString(received().string())}));
        const QPoint target = pointIn(m_receiver.waitFor("ready"));
        ASSERT_FALSE(target.isNull());

        drag(chip, target);
        EXPECT_EQ(m_tray.waitFor("sourcing true").toStdString(), "sourcing true");
        EXPECT_EQ(m_receiver.waitFor("received").toStdString(), row.received);
        EXPECT_EQ(m_tray.waitFor("sourcing false").toStdString(), "sourcing false") << "also after a drop elsewhere";
        const fs::path arrived = received() / source().filename();
        ASSERT_TRUE(fs::exists(arrived));
        EXPECT_TRUE(contentOf(arrived) == m_content) << "byte for byte";
        EXPECT_TRUE(fs::exists(source())) << "the user's own file was never the tray's";

        if (row.trayKeepsIt) {
            EXPECT_EQ(m_tray.waitFor("moved", 300).toStdString(), "");
            m_tray.send("sweep");
            EXPECT_EQ(m_tray.waitFor("swept").toStdString(), "swept 1");
        } else {
            EXPECT_EQ(m_tray.waitFor("moved").toStdString(), "moved");
            EXPECT_EQ(m_tray.waitFor("entries").toStdString(), "entries 0");
            m_tray.send("sweep");
            EXPECT_EQ(m_tray.waitFor("swept").toStdString(), "swept 0") << "gone with the receiver";
        }
        m_tray.stop();
        m_receiver.stop();
    }
}

TEST_F(TrayDragOutSystemTest, CopyLeavesExactlyTheStoredFileInBothClipboardTypes)
{
    ASSERT_FALSE(startTray("copy").isNull());
    m_tray.send("copy");
    ASSERT_EQ(m_tray.waitFor("copied").toStdString(), "copied");
    testsupport::Xclip xclip(m_server);
    const auto list = xclip.paste("text/uri-list");
    ASSERT_TRUE(list.has_value());
    const std::vector<std::string> urls = PasteboardContent::parseURIList(*list);
    ASSERT_EQ(urls.size(), 1u) << *list;
    EXPECT_TRUE(urls[0].starts_with("file:///")) << urls[0];
    EXPECT_NE(urls[0].find("/Vude/Tray/"), std::string::npos) << urls[0];
    EXPECT_TRUE(urls[0].ends_with("/Quarterly%20report.bin")) << "the tray's stored copy";
    EXPECT_EQ(urls[0].find(QUrl::fromLocalFile(QString::fromStdString(source().string())).toEncoded().toStdString()),
              std::string::npos)
        << "not the file it came from";
    EXPECT_EQ(xclip.paste("x-special/gnome-copied-files"), "copy\n" + urls[0]);
}

} // namespace
