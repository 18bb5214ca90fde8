#include "Platform/Shell/FileRevealer.h"

#include "PrivateBusTest.h"

#include <gtest/gtest.h>

namespace {

using testsupport::MockDBusService;

class FileRevealerSystemTest : public testsupport::PrivateBusTest {
protected:
    RecordingUrlOpener opener;
};

TEST_F(FileRevealerSystemTest, AFileManagerShowsTheFileAndNoFolderOpens)
{
    MockDBusService manager(sessionBus(), FileManagerRevealer::kService, FileManagerRevealer::kPath);
    ASSERT_TRUE(manager.start(buses(), testsupport::dbusmockTemplate("filemanager1.py"), false));
    FileManagerRevealer revealer(sessionBus(), opener);

    revealer.reveal("/tmp/some folder/Vude-diagnostics.txt");

    ASSERT_TRUE(testsupport::waitUntil([&] { return !manager.calls(FileManagerRevealer::kPath).empty(); }));
    const auto calls = manager.calls(FileManagerRevealer::kPath);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].method, "ShowItems");
    EXPECT_EQ(calls[0].arguments.value(0).toStringList(),
              QStringList{"file:///tmp/some%20folder/Vude-diagnostics.txt"});
    EXPECT_EQ(calls[0].arguments.value(1).toString(), "");
    // Let a late error (there is none) reach the fallback.
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_TRUE(opener.opened.empty());
}

TEST_F(FileRevealerSystemTest, WithoutAFileManagerTheFolderOpens)
{
    FileManagerRevealer revealer(sessionBus(), opener);
    revealer.reveal("/tmp/exports/Vude-diagnostics.txt");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !opener.opened.empty(); }));
    EXPECT_EQ(opener.opened, std::vector{QUrl::fromLocalFile("/tmp/exports")});
}

TEST_F(FileRevealerSystemTest, WithoutASessionBusTheFolderOpensAtOnce)
{
    FileManagerRevealer revealer(QDBusConnection(QStringLiteral("no-such-connection")), opener);
    revealer.reveal("/tmp/exports/Vude-diagnostics.txt");
    EXPECT_EQ(opener.opened, std::vector{QUrl::fromLocalFile("/tmp/exports")});
}

} // namespace
