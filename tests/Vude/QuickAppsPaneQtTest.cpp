// The Quick Apps pane: what the installed card offers (and at most 60 rows),
// the chooser, reordering, and when the pane's copy of the chosen list is
// read again.
#include "Vude/Settings/PaneControls.h"
#include "Vude/Settings/QuickAppsPane.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/PlainButton.h"
#include "Platform/Desktop/FakeApplicationCatalog.h"
#include "VudeServices/QuickAppsService.h"

#include "SettingsRig.h"
#include "TestSupport.h"
#include "WidgetPicture.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using settingstest::SettingsRig;
namespace fs = std::filesystem;

QuickApp app(std::string bundleID, std::string name)
{
    return QuickApp{Uuid::random(), std::move(bundleID), std::move(name), std::nullopt};
}

std::vector<std::string> names(const std::vector<QuickApp>& apps)
{
    std::vector<std::string> shown;
    for (const QuickApp& each : apps)
        shown.push_back(each.name);
    return shown;
}

TEST(QuickAppsPaneRules, ResultsDropChosenBundlesAndSearchIgnoringCaseButNotSpaces)
{
    const std::vector<QuickApp> installed{app("org.gnome.Calculator", "Calculator"), app("firefox", "Firefox"),
                                          app("org.gnome.TextEditor", "Text Editor"),
                                          app("org.gnome.Terminal", "Terminal")};
    const std::vector<QuickApp> chosen{app("firefox", "Firefox (pinned)"), app("ORG.GNOME.TERMINAL", "Terminal")};
    struct Row {
        const char* why;
        QString search;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows{
        {"no search: every app whose bundle is not chosen, exactly", "", {"Calculator", "Text Editor", "Terminal"}},
        {"capitals find lower case", "CALC", {"Calculator"}},
        {"a space inside counts", "t e", {"Text Editor"}},
        {"a trailing space is kept", "editor ", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(names(QuickAppsPane::results(installed, chosen, row.search)), row.expected);
    }
    EXPECT_EQ(PaneControls::emptyResultsText(""), "Everything is already on the Desk.");
    EXPECT_EQ(PaneControls::emptyResultsText("Xy"), "Nothing matches \u201CXy\u201D.");
}

TEST(QuickAppsPaneRules, TheChooserStartsInTheFirstApplicationsFolderThatExists)
{
    QTemporaryDir root;
    const fs::path base = root.path().toStdString();
    fs::create_directories(base / "second/applications");
    fs::create_directories(base / "third/applications");
    fs::create_directories(base / "first");
    struct Row {
        const char* why;
        std::optional<std::string> dataDirs;
        fs::path expected;
    };
    const std::vector<Row> rows{
        {"the first that has one", (base / "first").string() + ":" + (base / "second").string() + ":" +
                                       (base / "third").string(),
         base / "second/applications"},
        {"relative folders are skipped", "second:" + (base / "third").string(), base / "third/applications"},
        {"none exists", (base / "first").string(), "/usr/share/applications"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        std::map<std::string, std::string> environment;
        if (row.dataDirs)
            environment["XDG_DATA_DIRS"] = *row.dataDirs;
        EXPECT_EQ(QuickAppsPane::chooserFolder(Environment::fixed(environment)), row.expected);
    }
}

TEST(QuickAppsPaneRules, TheChooserDialogTakesSeveralDesktopEntriesFromTheFolderGiven)
{
    QTemporaryDir folder;
    QFileDialog dialog;
    QuickAppsPane::prepareChooserDialog(dialog, folder.path().toStdString());
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog.nameFilters(), QStringList({"Applications (*.desktop)"}));
    EXPECT_EQ(dialog.directory().absolutePath(), QDir(folder.path()).absolutePath());
}

class QuickAppsPaneQtTest : public ::testing::Test {
protected:
    QuickAppsPaneQtTest()
    {
        for (const auto& [id, name] : std::vector<std::pair<std::string, std::string>>{
                 {"org.gnome.Calculator", "Calculator"},
                 {"firefox", "Firefox"},
                 {"org.gnome.Nautilus", "Files"},
                 {"org.gnome.TextEditor", "Text Editor"}}) {
            const fs::path entry = "/usr/share/applications/" + id + ".desktop";
            catalog.installed.push_back({id, name, entry});
            catalog.entries[entry] = {id, name, entry};
            catalog.locations[id] = entry;
        }
    }

    QuickAppsService& makeService()
    {
        service = std::make_unique<QuickAppsService>("Vude", catalog,
                                                     QuickAppsService::Options{root.path().toStdString()});
        return *service;
    }

    QuickAppsPane& make()
    {
        if (!service)
            makeService();
        pane = std::make_unique<QuickAppsPane>(rig.environment);
        auto inputs = std::get<QuickAppsPaneInputs>(settingsPaneInputs(SettingsPane::quickApps, rig.services));
        inputs.quickApps = service.get();
        pane->bind(inputs);
        pane->setChooser([this](QWidget*, const fs::path& folder) {
            chooserFolders.push_back(folder);
            return chooserAnswer;
        });
        pane->resize(520, 640);
        pane->show();
        EXPECT_TRUE(testsupport::waitUntil([&] { return !pane->isLoading(); }));
        return *pane;
    }

    int changes() const
    {
        return int(std::count(rig.services.log.begin(), rig.services.log.end(), "refreshQuickApps"));
    }

    static std::vector<std::string> chosenNames(const QuickAppsPane& quickApps)
    {
        std::vector<std::string> shown;
        for (auto* row : quickApps.chosenRows())
            shown.push_back(row->app().name);
        return shown;
    }
    static std::vector<std::string> offeredNames(const QuickAppsPane& quickApps)
    {
        std::vector<std::string> shown;
        for (auto* row : quickApps.installedRows())
            shown.push_back(row->app().name);
        return shown;
    }

    SettingsRig rig;
    QTemporaryDir root;
    FakeApplicationCatalog catalog;
    std::optional<std::vector<fs::path>> chooserAnswer;
    std::vector<fs::path> chooserFolders;
    std::unique_ptr<QuickAppsService> service;
    std::unique_ptr<QuickAppsPane> pane;
};

TEST_F(QuickAppsPaneQtTest, MoreThanSixtyInstalledShowSixtyRowsInNameOrder)
{
    catalog.installed.clear();
    for (int i = 99; i >= 0; --i) {
        const std::string id = "app" + std::to_string(i);
        char name[16];
        std::snprintf(name, sizeof name, "App %03d", i);
        catalog.installed.push_back({id, name, "/usr/share/applications/" + id + ".desktop"});
    }
    QuickAppsPane& quickApps = make();
    EXPECT_EQ(quickApps.installed().size(), 100u);
    const std::vector<std::string> offered = offeredNames(quickApps);
    ASSERT_EQ(offered.size(), 60u);
    EXPECT_EQ(offered.front(), "App 000");
    EXPECT_EQ(offered.back(), "App 059");

    QTest::keyClicks(quickApps.searchField(), "App 09");
    EXPECT_EQ(offeredNames(quickApps).size(), 10u) << "narrowing the search reaches the rest";
}

TEST_F(QuickAppsPaneQtTest, TheChooserAddsWhatItPicksAndAConfirmedEmptyPickStillReportsAChange)
{
    QuickAppsPane& quickApps = make();
    ASSERT_EQ(chooserFolders.size(), 0u);

    struct Step {
        const char* why;
        std::optional<std::vector<fs::path>> answer;
        std::vector<std::string> chosen;
        int changes;
    };
    const fs::path files = "/usr/share/applications/org.gnome.Nautilus.desktop";
    const fs::path firefox = "/usr/share/applications/firefox.desktop";
    const std::vector<Step> steps{
        {"cancelled: nothing", std::nullopt, {}, 0},
        {"confirmed with nothing picked: still a change", std::vector<fs::path>{}, {}, 1},
        {"two picked, in order", std::vector<fs::path>{files, firefox}, {"Files", "Firefox"}, 2},
        {"one already chosen and no application: unchanged",
         std::vector<fs::path>{firefox, "/tmp/notes.txt"},
         {"Files", "Firefox"},
         3},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.why);
        chooserAnswer = step.answer;
        QTest::mouseClick(quickApps.chooseButton(), Qt::LeftButton);
        EXPECT_EQ(names(service->apps()), step.chosen);
        EXPECT_EQ(chosenNames(quickApps), step.chosen);
        EXPECT_EQ(changes(), step.changes);
    }
    ASSERT_EQ(chooserFolders.size(), steps.size());
    EXPECT_EQ(chooserFolders[0], QuickAppsPane::chooserFolder());
}

TEST_F(QuickAppsPaneQtTest, AddingMovingAndRemovingGoThroughTheServiceThenOnChange)
{
    QuickAppsPane& quickApps = make();
    ASSERT_NE(quickApps.chosenEmptyText(), nullptr);
    EXPECT_EQ(offeredNames(quickApps), (std::vector<std::string>{"Calculator", "Files", "Firefox", "Text Editor"}));

    QTest::mouseClick(quickApps.installedRows()[2]->button(), Qt::LeftButton);
    QTest::mouseClick(quickApps.installedRows()[0]->button(), Qt::LeftButton);
    EXPECT_EQ(chosenNames(quickApps), (std::vector<std::string>{"Firefox", "Calculator"})) << "appended at the end";
    EXPECT_EQ(offeredNames(quickApps), (std::vector<std::string>{"Files", "Text Editor"})) << "gone from the offer";
    EXPECT_EQ(changes(), 2);

    auto rows = quickApps.chosenRows();
    EXPECT_FALSE(rows[0]->upButton()->isEnabled());
    EXPECT_TRUE(rows[0]->downButton()->isEnabled());
    EXPECT_TRUE(rows[1]->upButton()->isEnabled());
    EXPECT_FALSE(rows[1]->downButton()->isEnabled());
    QTest::mouseClick(rows[1]->upButton(), Qt::LeftButton);
    EXPECT_EQ(names(service->apps()), (std::vector<std::string>{"Calculator", "Firefox"}));
    EXPECT_EQ(chosenNames(quickApps), (std::vector<std::string>{"Calculator", "Firefox"}));
    EXPECT_EQ(changes(), 3);

    QTest::mouseClick(quickApps.chosenRows()[1]->removeButton(), Qt::LeftButton);
    EXPECT_EQ(chosenNames(quickApps), (std::vector<std::string>{"Calculator"}));
    const auto single = quickApps.chosenRows();
    EXPECT_FALSE(single[0]->upButton()->isEnabled());
    EXPECT_FALSE(single[0]->downButton()->isEnabled());
    EXPECT_EQ(changes(), 4);
}

TEST_F(QuickAppsPaneQtTest, TheChosenCopyIsReadOnlyWhenShownAndAfterAChangeMadeHere)
{
    QuickAppsService& apps = makeService();
    QuickAppsPane& quickApps = make();
    EXPECT_EQ(catalog.scans(), 1);

    apps.add(app("org.gnome.Calculator", "Calculator"));
    quickApps.bind(QuickAppsPaneInputs{&apps, {}});
    EXPECT_TRUE(quickApps.chosen().empty()) << "a change made elsewhere waits";

    quickApps.hide();
    quickApps.show();
    EXPECT_EQ(chosenNames(quickApps), (std::vector<std::string>{"Calculator"})) << "shown again: read again";
    EXPECT_TRUE(testsupport::waitUntil([&] { return catalog.scans() == 2; })) << "and scanned again";
    EXPECT_EQ(quickApps.loadingRow(), nullptr) << "later scans show no progress row";
}

TEST_F(QuickAppsPaneQtTest, AnAppNoLongerInstalledStaysWithAWarningAndAPicture)
{
    QuickAppsService& apps = makeService();
    apps.add(app("org.gnome.Calculator", "Calculator"));
    apps.add(app("com.example.Gone", "Old Editor"));
    apps.add(app("firefox", "Firefox"));
    QuickAppsPane& quickApps = make();
    const auto rows = quickApps.chosenRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]->missingLine(), nullptr);
    ASSERT_NE(rows[1]->missingLine(), nullptr);
    EXPECT_EQ(rows[1]->missingLine()->text(), "Not installed on this computer");
    EXPECT_TRUE(rows[1]->upButton()->isEnabled()) << "it can still be moved";
    quickApps.resize(520, quickApps.sizeHint().height());
    EXPECT_TRUE(testsupport::saveScreenshot(quickApps, "QuickAppsPane"));

    QTest::keyClicks(quickApps.searchField(), "zz");
    ASSERT_NE(quickApps.installedText(), nullptr);
    EXPECT_EQ(quickApps.installedText()->text(), "Nothing matches \u201Czz\u201D.");
}

} // namespace
