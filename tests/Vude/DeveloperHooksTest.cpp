#include "Vude/App/DeveloperHooks.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace fs = std::filesystem;
using namespace DeveloperHooks;

namespace {

Environment::Lookup with(const char* name, std::optional<std::string> value)
{
    std::map<std::string, std::string> variables;
    if (value)
        variables[name] = *value;
    return Environment::fixed(variables);
}

TEST(DeveloperHooks, OnboardingStepTakesOnlyASignAndDigits)
{
    const struct {
        std::optional<std::string> value;
        std::optional<int> step;
    } rows[] = {
        {std::nullopt, std::nullopt}, {"", std::nullopt},   {"0", 0},           {"3", 3},
        {"+2", 2},                    {"-0", 0},            {"4", 4},           {"004", 4},
        {"5", std::nullopt},          {"-1", std::nullopt}, {" 3", std::nullopt}, {"3 ", std::nullopt},
        {"1e1", std::nullopt},        {"a", std::nullopt},  {"+", std::nullopt},  {"+-3", std::nullopt},
        {"3.0", std::nullopt},        {"0x3", std::nullopt}, {"99999999999999999999", std::nullopt},
        {"\u0663", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value.value_or("(unset)"));
        EXPECT_EQ(onboardingStep(with(kOnboarding, row.value)), row.step);
    }
}

TEST(DeveloperHooks, StrictIntegersReachBothEndsOf64Bits)
{
    EXPECT_EQ(parseStrictInteger("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(parseStrictInteger("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(parseStrictInteger("9223372036854775808"), std::nullopt);
    EXPECT_EQ(parseStrictInteger("-9223372036854775809"), std::nullopt);
}

TEST(DeveloperHooks, SettingsPaneByCaseNameElseGeneral)
{
    const struct {
        std::optional<std::string> value;
        SettingsPane pane;
    } rows[] = {
        {std::nullopt, SettingsPane::general}, {"", SettingsPane::general},
        {"calendar", SettingsPane::calendar},  {"quickApps", SettingsPane::quickApps},
        {"Calendar", SettingsPane::general},   {"calendar ", SettingsPane::general},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value.value_or("(unset)"));
        EXPECT_EQ(settingsPane(with(kSettings, row.value)), row.pane);
    }
}

TEST(DeveloperHooks, OpenIsSetByAnyValueAndChoosesTheTrayOnlyForTray)
{
    EXPECT_EQ(openOnTray(with(kOpen, std::nullopt)), std::nullopt);
    EXPECT_EQ(openOnTray(with(kOpen, "")), false);
    EXPECT_EQ(openOnTray(with(kOpen, "ravo")), false);
    EXPECT_EQ(openOnTray(with(kOpen, "Tray")), false);
    EXPECT_EQ(openOnTray(with(kOpen, "tray")), true);
}

TEST(DeveloperHooks, DemoNamesAKindAndStaysUpTenMinutesAsAnInterrupt)
{
    EXPECT_EQ(demoKind(with(kDemo, std::nullopt)), std::nullopt);
    EXPECT_EQ(demoKind(with(kDemo, "")), std::nullopt);
    EXPECT_EQ(demoKind(with(kDemo, "bogus")), std::nullopt);
    ASSERT_EQ(demoKind(with(kDemo, "display")), ActivityKind::display);

    const Date now = kReferenceDate + std::chrono::hours(5);
    const ActivityPayload first = demoPayload(ActivityKind::display, now);
    const ActivityPayload second = demoPayload(ActivityKind::display, now);
    EXPECT_EQ(first.kind(), ActivityKind::display);
    EXPECT_EQ(first.priority(), ActivityPriority::interrupt);
    EXPECT_EQ(first.duration(), std::chrono::seconds(600));
    EXPECT_EQ(first.interaction(), std::nullopt);
    EXPECT_EQ(first.createdAt(), now);
    EXPECT_EQ(first.dedupeKey(), "display") << "no key of its own: the kind's";
    EXPECT_TRUE(first.title().has_value());
    EXPECT_NE(first.id(), second.id());
}

TEST(DeveloperHooks, SeedTrayListSplitsAtColonsAndAnchorsRelativePaths)
{
    const fs::path cwd = "/home/dev/work";
    const struct {
        std::optional<std::string> value;
        std::optional<std::vector<fs::path>> paths;
    } rows[] = {
        {std::nullopt, std::nullopt},
        {"", std::vector<fs::path>{}},
        {":::", std::vector<fs::path>{}},
        {"/a/b.png", std::vector<fs::path>{"/a/b.png"}},
        {"/a/b.png::notes.txt:", std::vector<fs::path>{"/a/b.png", "/home/dev/work/notes.txt"}},
        {"../x.pdf", std::vector<fs::path>{"/home/dev/work/../x.pdf"}},
        {" spaced name.txt", std::vector<fs::path>{"/home/dev/work/ spaced name.txt"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value.value_or("(unset)"));
        EXPECT_EQ(seedTrayPaths(with(kSeedTray, row.value), cwd), row.paths);
    }
}

TEST(DeveloperHooks, SeedTrayFolderListsItsEntriesHiddenOnesIncluded)
{
    QTemporaryDir scratch;
    const fs::path root = scratch.path().toStdString();
    fs::create_directories(root / "seed" / "inner");
    std::ofstream(root / "seed" / "b.txt") << "b";
    std::ofstream(root / "seed" / ".hidden") << "h";
    std::ofstream(root / "file.txt") << "f";

    EXPECT_EQ(seedTrayFolderContents(with(kSeedTray, (root / "seed").string()), "/elsewhere"),
              (std::vector<fs::path>{root / "seed" / ".hidden", root / "seed" / "b.txt", root / "seed" / "inner"}));
    EXPECT_EQ(seedTrayFolderContents(with(kSeedTray, "seed"), root).size(), 3u) << "relative to the working folder";

    const struct {
        std::optional<std::string> value;
        const char* why;
    } empty[] = {
        {std::nullopt, "unset"},
        {"", "empty"},
        {(root / "file.txt").string(), "a file"},
        {(root / "seed" / "inner").string(), "an empty folder"},
        {(root / "file.txt").string() + ":" + (root / "seed").string(), "a list of paths"},
        {(root / "missing").string(), "missing"},
    };
    for (const auto& row : empty) {
        SCOPED_TRACE(row.why);
        EXPECT_TRUE(seedTrayFolderContents(with(kSeedTray, row.value), root).empty());
    }
}

} // namespace
