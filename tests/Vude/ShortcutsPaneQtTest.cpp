// The Shortcuts pane: what the list offers, adding by name, the listing
// (by a scripted runner) and how a republished Desk list is taken in.
#include "Vude/Settings/PaneControls.h"
#include "Vude/Settings/ShortcutsPane.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/Toolkit/Dimming.h"
#include "VudeServices/ShortcutSeeder.h"
#include "VudeServices/ShortcutsService.h"

#include "SettingsRig.h"
#include "TestSupport.h"
#include "WidgetPicture.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using settingstest::SettingsRig;
namespace fs = std::filesystem;

ShortcutSnapshot onDesk(std::string name, std::optional<std::string> custom = std::nullopt)
{
    return ShortcutSnapshot{Uuid::random(), std::move(name), std::move(custom), "sparkles", std::nullopt};
}

TEST(ShortcutsPaneRules, ResultsDropChosenNamesExactlyAndSearchIgnoringCaseButNotSpaces)
{
    const std::vector<std::string> available{"Backup", "backup notes", "Make GIF", "Resize Images", "Timer 25"};
    const std::vector<ShortcutSnapshot> chosen{onDesk("Backup", "My backup"), onDesk("make gif")};
    struct Row {
        const char* why;
        QString search;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows{
        {"no search: all but the exact names on the Desk", "",
         {"backup notes", "Make GIF", "Resize Images", "Timer 25"}},
        {"capitals find lower case anywhere", "BACK", {"backup notes"}},
        {"a space inside the search counts", "e i", {"Resize Images"}},
        {"a leading space is kept", " gif", {"Make GIF"}},
        {"a trailing space is kept", "gif ", {}},
        {"digits", "25", {"Timer 25"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(ShortcutsPane::results(available, chosen, row.search), row.expected);
    }
}

TEST(ShortcutsPaneRules, NamesAreTrimmedOfSpacesAndTabsOnly)
{
    const std::vector<std::pair<QString, QString>> rows{
        {"  Morning  ", "Morning"}, {"\tFocus\t ", "Focus"}, {"   ", ""}, {"Two words", "Two words"},
        {"Line\n", "Line\n"},
    };
    for (const auto& [typed, trimmed] : rows)
        EXPECT_EQ(ShortcutsPane::trimmedName(typed), trimmed) << typed.toStdString();
}

TEST(ShortcutsPaneRules, TheUnavailableTextsAndWhenListingIsPossible)
{
    EXPECT_EQ(ShortcutsPane::unavailableText(BuildProfile(true)),
              "Not available in the sandboxed version. Vude can still run your shortcuts \u2014 type a shortcut's "
              "exact name to add it.");
    EXPECT_EQ(ShortcutsPane::unavailableText(BuildProfile(false)),
              "Vude can't list your shortcuts on this build, but it can still run them. Type a shortcut's exact "
              "name to add it.");
    EXPECT_FALSE(ShortcutsPane::canListShortcuts(nullptr, BuildProfile(false)));
    const QString noneFound = ShortcutsPane::noneFoundText();
    EXPECT_TRUE(noneFound.startsWith("No shortcuts found. Put an executable in ")) << noneFound.toStdString();
    EXPECT_TRUE(noneFound.endsWith("Vude/Shortcuts, or add it by name.")) << noneFound.toStdString();
    EXPECT_EQ(PaneControls::emptyResultsText(""), "Everything is already on the Desk.");
    EXPECT_EQ(PaneControls::emptyResultsText("zz "), "Nothing matches \u201Czz \u201D.");
}

class ShortcutsPaneQtTest : public ::testing::Test {
protected:
    ShortcutsPaneQtTest()
    {
        rig.services.repository = true;
        rig.services.buildProfile = BuildProfile(false);
    }

    /// A runner that lists `names` and counts its listings.
    void makeRunner(const std::vector<std::string>& names, bool fails = false)
    {
        const fs::path tool = fs::path(folder.path().toStdString()) / "vude-shortcuts";
        std::ofstream script(tool);
        script << "#!/bin/sh\necho listed >> '" << countFile() << "'\n";
        if (fails)
            script << "exit 3\n";
        for (const std::string& name : names)
            script << "printf '%s\\n' '" << name << "'\n";
        script.close();
        fs::permissions(tool, fs::perms::owner_all);
        service = std::make_unique<ShortcutsService>(
            "Vude", ShortcutsService::Options{tool, fs::path(folder.path().toStdString()) / "support"});
    }

    std::string countFile() const { return folder.filePath(QStringLiteral("listings")).toStdString(); }
    int listings() const
    {
        QFile file(QString::fromStdString(countFile()));
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    ShortcutsPaneInputs inputs()
    {
        auto made = std::get<ShortcutsPaneInputs>(settingsPaneInputs(SettingsPane::shortcuts, rig.services));
        made.shortcuts = service.get();
        return made;
    }

    ShortcutsPane& make()
    {
        pane = std::make_unique<ShortcutsPane>(rig.environment);
        pane->bind(inputs());
        pane->resize(520, 600);
        pane->show();
        return *pane;
    }

    static bool listed(ShortcutsPane& shortcuts)
    {
        return testsupport::waitUntil([&] { return !shortcuts.isLoading(); });
    }

    static std::vector<std::string> offered(const ShortcutsPane& shortcuts)
    {
        std::vector<std::string> names;
        for (auto* row : shortcuts.listRows())
            names.push_back(row->name());
        return names;
    }

    SettingsRig rig;
    QTemporaryDir folder;
    std::unique_ptr<ShortcutsService> service;
    std::unique_ptr<ShortcutsPane> pane;
};

TEST_F(ShortcutsPaneQtTest, ShowingThePaneListsOffTheMainThreadAndAClickAddsWithItsSymbol)
{
    makeRunner({"Resize Images", "Make GIF", "backup notes"});
    ShortcutsPane& shortcuts = make();
    EXPECT_TRUE(shortcuts.isLoading());
    ASSERT_NE(shortcuts.loadingRow(), nullptr) << "Reading your shortcuts\u2026 until the listing ends";
    ASSERT_TRUE(listed(shortcuts));
    EXPECT_EQ(shortcuts.loadingRow(), nullptr);
    EXPECT_EQ(listings(), 1);
    EXPECT_EQ(offered(shortcuts), (std::vector<std::string>{"backup notes", "Make GIF", "Resize Images"}));
    ASSERT_NE(shortcuts.chosenEmptyText(), nullptr);

    QTest::mouseClick(shortcuts.listRows()[2]->button(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log, (std::vector<std::string>{
                                    "addShortcut(Resize Images, " + ShortcutSeeder::symbol("Resize Images") + ")",
                                    "reloadFromStore"}));
}

TEST_F(ShortcutsPaneQtTest, ARepublishedListKeepsTheSearchAndDoesNotListAgain)
{
    makeRunner({"Resize Images", "Make GIF", "Make PDF"});
    ShortcutsPane& shortcuts = make();
    ASSERT_TRUE(listed(shortcuts));
    EXPECT_EQ(listings(), 1);
    QTest::keyClicks(shortcuts.searchField(), "MAKE");
    EXPECT_EQ(offered(shortcuts), (std::vector<std::string>{"Make GIF", "Make PDF"}));

    QTest::mouseClick(shortcuts.listRows()[0]->button(), Qt::LeftButton);
    // The repository republishes; the window binds the pane again in place.
    rig.services.chosen = {onDesk("Make GIF")};
    shortcuts.bind(inputs());
    EXPECT_EQ(shortcuts.searchField()->text(), "MAKE");
    EXPECT_EQ(offered(shortcuts), (std::vector<std::string>{"Make PDF"})) << "the added one left the list";
    ASSERT_EQ(shortcuts.deskRows().size(), 1u);
    EXPECT_EQ(shortcuts.deskRows()[0]->shownName(), "Make GIF");
    QCoreApplication::processEvents();
    EXPECT_FALSE(shortcuts.isLoading());
    EXPECT_EQ(listings(), 1) << "no new listing";
}

TEST_F(ShortcutsPaneQtTest, AddingByNameTrimsAndNeedsMoreThanBlanks)
{
    makeRunner({}, true);
    ShortcutsPane& shortcuts = make();
    ASSERT_TRUE(listed(shortcuts));
    EXPECT_EQ(shortcuts.listText(), nullptr);
    QLineEdit* name = shortcuts.nameField();
    ASSERT_NE(name, nullptr) << "a failed listing offers adding by name";

    QTest::keyClicks(name, "   ");
    EXPECT_TRUE(Dimming::isDimmed(*shortcuts.addButton()));
    EXPECT_FALSE(shortcuts.addButton()->isEnabled());
    QTest::keyClick(name, Qt::Key_Return);
    QTest::mouseClick(shortcuts.addButton(), Qt::LeftButton);
    EXPECT_TRUE(rig.services.log.empty()) << "neither Return nor Add adds blanks";

    name->setText(QStringLiteral("  Morning Focus\t"));
    EXPECT_TRUE(shortcuts.addButton()->isEnabled());
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(rig.services.log, (std::vector<std::string>{
                                    "addShortcut(Morning Focus, " + ShortcutSeeder::symbol("Morning Focus") + ")",
                                    "reloadFromStore"}));
    EXPECT_EQ(name->text(), "");
    EXPECT_FALSE(shortcuts.addButton()->isEnabled());
}

TEST_F(ShortcutsPaneQtTest, TheListAreaSaysWhyItIsEmpty)
{
    makeRunner({"Resize Images"});
    rig.services.chosen = {onDesk("Resize Images")};
    ShortcutsPane& shortcuts = make();
    ASSERT_TRUE(listed(shortcuts));
    ASSERT_NE(shortcuts.listText(), nullptr);
    EXPECT_EQ(shortcuts.listText()->text(), "Everything is already on the Desk.");
    QTest::keyClicks(shortcuts.searchField(), "zz ");
    EXPECT_EQ(shortcuts.listText()->text(), "Nothing matches \u201Czz \u201D.");
    EXPECT_EQ(shortcuts.nameField(), nullptr) << "adding by name only where nothing was found";

    QTest::mouseClick(shortcuts.reloadButton(), Qt::LeftButton);
    EXPECT_NE(shortcuts.loadingRow(), nullptr) << "reload shows the progress row again";
    ASSERT_TRUE(listed(shortcuts));
    EXPECT_EQ(listings(), 2);
}

TEST_F(ShortcutsPaneQtTest, WithoutListingOnlyAddingByNameIsOffered)
{
    struct Row {
        const char* why;
        BuildProfile profile;
        bool runner;
        const char* picture;
    };
    const std::vector<Row> rows{
        {"the sandboxed build", BuildProfile(true), true, "ShortcutsPane-sandboxed"},
        {"no runner", BuildProfile(false), false, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        pane.reset();
        rig.services.buildProfile = row.profile;
        if (row.runner)
            makeRunner({"Resize Images"});
        else
            service = std::make_unique<ShortcutsService>(
                "Vude", ShortcutsService::Options{"/nonexistent/vude-shortcuts",
                                                  fs::path(folder.path().toStdString()) / "support"});
        ShortcutsPane& shortcuts = make();
        ASSERT_NE(shortcuts.unavailableExplanation(), nullptr);
        EXPECT_EQ(shortcuts.unavailableExplanation()->text(), ShortcutsPane::unavailableText(row.profile));
        EXPECT_EQ(shortcuts.searchField(), nullptr);
        EXPECT_NE(shortcuts.nameField(), nullptr);
        EXPECT_TRUE(shortcuts.listRows().empty());
        if (row.picture)
            EXPECT_TRUE(testsupport::saveScreenshot(shortcuts, row.picture));
        ASSERT_TRUE(listed(shortcuts));
        EXPECT_NE(shortcuts.unavailableExplanation(), nullptr) << "still, once a listing has ended";
    }
}

TEST_F(ShortcutsPaneQtTest, APictureWithShortcutsOnTheDeskAndOnOffer)
{
    makeRunner({"Resize Images", "Make GIF", "Start Timer", "Toggle Dark Mode"});
    rig.services.chosen = {ShortcutSnapshot{Uuid::random(), "Make GIF", std::nullopt, "photo", std::nullopt},
                           ShortcutSnapshot{Uuid::random(), "Clipboard to Note", std::string("Quick note"),
                                            "doc.on.clipboard", std::nullopt}};
    ShortcutsPane& shortcuts = make();
    ASSERT_TRUE(listed(shortcuts));
    ASSERT_EQ(shortcuts.deskRows().size(), 2u);
    EXPECT_EQ(shortcuts.deskRows()[1]->shownName(), "Quick note") << "the custom name when set";
    EXPECT_EQ(shortcuts.deskRows()[0]->removeButton()->helpText(), "Remove from the Desk");
    QTest::mouseClick(shortcuts.deskRows()[1]->removeButton(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log.at(0), "removeShortcut(" + rig.services.chosen[1].id.toString() + ")");
    shortcuts.resize(520, shortcuts.sizeHint().height());
    EXPECT_TRUE(testsupport::saveScreenshot(shortcuts, "ShortcutsPane"));
}

} // namespace
