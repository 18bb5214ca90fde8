#include "Vude/Permissions/PrivacyPane.h"

#include "Vude/Permissions/Permission.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path helpPage = "/usr/share/vude/help/permissions.html";
const fs::path calendars = "/home/me/.local/share/Vude/Calendars";

QUrl help(const char* section)
{
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(helpPage.string()));
    url.setFragment(section);
    return url;
}

TEST(PrivacyPane, EachAnchorLeadsToTheNearestThingThatExplainsIt)
{
    const PrivacyPane::Context everything{.helpPage = helpPage,
                                          .calendarsFolder = calendars,
                                          .calendarsFolderExists = true,
                                          .bluetoothSettings = "gnome-bluetooth-panel.desktop",
                                          .locationSettings = "gnome-location-panel.desktop"};
    const PrivacyPane::Context bare{.calendarsFolder = calendars};
    PrivacyPane::Context helpOnly = bare;
    helpOnly.helpPage = helpPage;

    // Each target with the title of the button that opens it.
    const struct {
        const char* anchor;
        const PrivacyPane::Context& context;
        std::optional<QUrl> target;
        std::string_view title;
    } rows[] = {
        {"Privacy_ListenEvent", everything, help("input-monitoring"), "Open Help"},
        {"Privacy_Accessibility", everything, help("accessibility"), "Open Help"},
        {"Privacy_Camera", everything, help("camera"), "Open Help"},
        {"Privacy_Bluetooth", everything, QUrl("application:gnome-bluetooth-panel.desktop"), "Open Bluetooth Settings"},
        {"Privacy_Calendars", everything, QUrl("file:///home/me/.local/share/Vude/Calendars"), "Open Calendars Folder"},
        {"Privacy_LocationServices", everything, QUrl("application:gnome-location-panel.desktop"), "Open Settings"},
        // Without the desktop's settings or the folder, the page explains.
        {"Privacy_Bluetooth", helpOnly, help("bluetooth"), "Open Help"},
        {"Privacy_Calendars", helpOnly, help("calendars"), "Open Help"},
        {"Privacy_LocationServices", helpOnly, help("location"), "Open Help"},
        // Without the page, only what is there to open.
        {"Privacy_ListenEvent", bare, std::nullopt, ""},
        {"Privacy_Accessibility", bare, std::nullopt, ""},
        {"Privacy_Camera", bare, std::nullopt, ""},
        {"Privacy_Bluetooth", bare, std::nullopt, ""},
        {"Privacy_Calendars", bare, std::nullopt, ""},
        {"Privacy_LocationServices", bare, std::nullopt, ""},
        // No counterpart, and names that are no anchor.
        {"Privacy_AllFiles", everything, std::nullopt, ""},
        {"Privacy_Location", everything, std::nullopt, ""},
        {"privacy_camera", everything, std::nullopt, ""},
        {"", everything, std::nullopt, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.anchor);
        EXPECT_EQ(PrivacyPane::target(row.anchor, row.context), row.target);
        EXPECT_EQ(PrivacyPane::openTitle(row.anchor, row.context), row.title);
    }
}

TEST(PrivacyPane, TheCurrentDesktopsBluetoothSettingsComeFirst)
{
    const std::vector<std::string> others{"blueman-manager.desktop", "gnome-bluetooth-panel.desktop",
                                          "kcm_bluetooth.desktop", "blueberry.desktop"};
    const struct {
        const char* desktop;
        std::vector<std::string> candidates;
    } rows[] = {
        {"GNOME", {"gnome-bluetooth-panel.desktop", "blueman-manager.desktop", "kcm_bluetooth.desktop",
                   "blueberry.desktop"}},
        {"ubuntu:GNOME", {"gnome-bluetooth-panel.desktop", "blueman-manager.desktop", "kcm_bluetooth.desktop",
                          "blueberry.desktop"}},
        {"KDE", {"kcm_bluetooth.desktop", "blueman-manager.desktop", "gnome-bluetooth-panel.desktop",
                 "blueberry.desktop"}},
        {"X-Cinnamon", {"blueberry.desktop", "blueman-manager.desktop", "gnome-bluetooth-panel.desktop",
                        "kcm_bluetooth.desktop"}},
        {"XFCE", others},
        {"", others},
        {":", others},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PrivacyPane::bluetoothSettingsCandidates(row.desktop), row.candidates) << row.desktop;
}

TEST(PrivacyPane, TheLocationSettingsAreGnomesPanelWhereItIsInstalled)
{
    const auto catalogue = [](std::vector<std::string> ids) {
        return [ids = std::move(ids)](std::string_view id) { return std::ranges::find(ids, id) != ids.end(); };
    };
    const auto withPanel = PrivacyPane::currentContext(calendars, catalogue({"gnome-location-panel.desktop"}));
    EXPECT_EQ(withPanel.locationSettings, std::optional<std::string>("gnome-location-panel.desktop"));
    EXPECT_EQ(PrivacyPane::target("Privacy_LocationServices", withPanel),
              QUrl("application:gnome-location-panel.desktop"));

    const auto without = PrivacyPane::currentContext(calendars, catalogue({"blueman-manager.desktop"}));
    EXPECT_EQ(without.locationSettings, std::nullopt);
    EXPECT_EQ(without.bluetoothSettings, std::optional<std::string>("blueman-manager.desktop"));
    PrivacyPane::Context helpOnly = without;
    helpOnly.helpPage = helpPage;
    EXPECT_EQ(PrivacyPane::target("Privacy_LocationServices", helpOnly), help("location"));
}

// The shipped page has a section for every place an anchor leads into it.
TEST(PrivacyPane, TheHelpPageHasEverySectionTheAnchorsLeadTo)
{
    const fs::path source = fs::path(testsupport::sourceDir().toStdString()) / "Vude/resources/help/permissions.html";
    std::ifstream file(source);
    ASSERT_TRUE(file) << source;
    std::stringstream text;
    text << file.rdbuf();

    const PrivacyPane::Context context{.helpPage = source, .calendarsFolder = calendars};
    std::vector<std::string> anchors{std::string(PrivacyPane::locationServices)};
    for (const Permission permission : Permission::allCases())
        anchors.push_back(std::string(permission.settingsAnchor()));
    for (const std::string& anchor : anchors) {
        SCOPED_TRACE(anchor);
        const auto target = PrivacyPane::target(anchor, context);
        ASSERT_TRUE(target);
        ASSERT_TRUE(target->hasFragment());
        EXPECT_NE(text.str().find("id=\"" + target->fragment().toStdString() + "\""), std::string::npos);
    }
}

} // namespace
