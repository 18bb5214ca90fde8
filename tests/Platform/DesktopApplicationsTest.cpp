#include "Platform/Desktop/DesktopApplications.h"

#include "Platform/Core/XdgPaths.h"
#include "Platform/Shell/UrlOpener.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Desktop entries in this test program's own $XDG_DATA_HOME, written before
// anything asks the desktop's list of applications (read once, then watched).
class DesktopApplicationsTest : public testing::Test {
protected:
    static fs::path applications() { return XdgPaths::dataHome() / "applications"; }
    static fs::path marker() { return XdgPaths::dataHome() / "vude-test-launched"; }

    static void SetUpTestSuite()
    {
        fs::create_directories(applications());
        fs::remove(marker());
        std::ofstream(applications() / "vude-test-settings.desktop")
            << "[Desktop Entry]\nType=Application\nName=Test Settings\nNoDisplay=true\n"
            << "Exec=/bin/sh -c \"touch '" << marker().string() << "'\"\n";
        std::ofstream(applications() / "vude-test-other.desktop")
            << "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true\n";
    }
};

TEST_F(DesktopApplicationsTest, FindsInstalledEntriesHiddenOnesIncluded)
{
    EXPECT_TRUE(DesktopApplications::isInstalled("vude-test-settings.desktop"));
    EXPECT_FALSE(DesktopApplications::isInstalled("vude-test-missing.desktop"));
    EXPECT_FALSE(DesktopApplications::isInstalled(""));

    const std::vector<std::string> candidates{"vude-test-missing.desktop", "vude-test-other.desktop",
                                              "vude-test-settings.desktop"};
    EXPECT_EQ(DesktopApplications::firstInstalled(candidates), "vude-test-other.desktop");
    EXPECT_EQ(DesktopApplications::firstInstalled(std::vector<std::string>{"vude-test-missing.desktop"}),
              std::nullopt);
}

TEST_F(DesktopApplicationsTest, AnApplicationLinkStartsTheInstalledApplication)
{
    const QUrl link = UrlOpener::applicationUrl("vude-test-settings.desktop");
    EXPECT_EQ(link.toString(), "application:vude-test-settings.desktop");

    DesktopUrlOpener opener;
    EXPECT_FALSE(opener.open(UrlOpener::applicationUrl("vude-test-missing.desktop")));
    EXPECT_FALSE(fs::exists(marker()));
    ASSERT_TRUE(opener.open(link));
    EXPECT_TRUE(testsupport::waitUntil([] { return fs::exists(marker()); }));
}

} // namespace
