// The desktop's applications and its Do Not Disturb switch without the
// module that reads them: each reads as nothing installed, and the reason is
// said once.
#include "Platform/Desktop/DesktopApplications.h"
#include "Platform/Desktop/GSettingsFocusSource.h"
#include "Platform/Desktop/GioApplicationCatalog.h"

#include "DesktopEntryFolders.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;
using testsupport::DesktopEntryFolders;

namespace {

int lineCount(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(WithoutTheDesktopModule, FocusApplicationsAndTheCatalogueReadAsNoneAndSayWhyOnce)
{
    DesktopEntryFolders folders;
    const fs::path entry =
        folders.entry(folders.userFolder(), "editor.desktop", DesktopEntryFolders::application("Editor", "/bin/true"));

    testing::internal::CaptureStderr();
    GioApplicationCatalog catalog({folders.environment(), folders.root() / "proc"});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "making the catalogue opens nothing";

    testing::internal::CaptureStderr();
    EXPECT_TRUE(catalog.installedApplications().empty());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(said.starts_with("vude: the module ")) << said;
    EXPECT_NE(said.find("lib/vude/modules/vude-desktop.so is missing; reinstall Vude\n"), std::string::npos)
        << said;
    EXPECT_EQ(lineCount(said), 1) << said;

    testing::internal::CaptureStderr();
    EXPECT_EQ(catalog.describe(entry), std::nullopt);
    EXPECT_EQ(catalog.locate("editor"), std::nullopt);
    EXPECT_EQ(catalog.icon(entry), std::nullopt);
    EXPECT_FALSE(catalog.launch(entry));

    EXPECT_FALSE(GSettingsFocusSource::isInstalled());
    GSettingsFocusSource focus;
    focus.start();
    EXPECT_FALSE(focus.isAvailable());
    EXPECT_FALSE(focus.isFocusOn());
    EXPECT_FALSE(focus.isPending());
    focus.stop();

    EXPECT_FALSE(DesktopApplications::isInstalled("editor.desktop"));
    EXPECT_EQ(DesktopApplications::firstInstalled(std::vector<std::string>{"editor.desktop"}), std::nullopt);
    EXPECT_FALSE(DesktopApplications::launch("editor.desktop"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "said once, not at every use";
}

} // namespace
