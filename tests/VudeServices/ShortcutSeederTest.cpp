#include "VudeServices/ShortcutSeeder.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::vector<std::pair<std::string, std::string>> namesAndSymbols(const std::vector<ShortcutEntry>& entries)
{
    std::vector<std::pair<std::string, std::string>> result;
    for (const auto& entry : entries)
        result.emplace_back(entry.shortcutName, entry.symbol);
    return result;
}

TEST(ShortcutSeederTest, PriorityKeywordsComeFirstThenNamesInOrderUpToTheLimit)
{
    const auto seeded =
        ShortcutSeeder::seed({"Morning Music", "Timer 5 min", "Backup", "Alpha", "Lock Screen"}, {});
    EXPECT_EQ(namesAndSymbols(seeded), (std::vector<std::pair<std::string, std::string>>{
                                           {"Timer 5 min", "timer"},
                                           {"Lock Screen", "lock.fill"},
                                           {"Morning Music", "music.note"},
                                           {"Alpha", "sparkles"},
                                       }));
    std::set<Uuid> ids;
    for (const auto& entry : seeded) {
        EXPECT_EQ(entry.customName, std::nullopt);
        EXPECT_EQ(entry.textInput, std::nullopt);
        ids.insert(entry.id);
    }
    EXPECT_EQ(ids.size(), seeded.size()) << "each entry has its own id";
}

TEST(ShortcutSeederTest, KeywordOrderDecidesAmongPriorityNames)
{
    // "focus" is the second keyword, "battery" the 23rd; within a keyword the
    // given order holds; the rest follow by name, ignoring case.
    const auto seeded = ShortcutSeeder::seed({"zed", "Battery Check", "Focus Work", "alpha", "Deep Focus"}, {});
    std::vector<std::string> names;
    for (const auto& entry : seeded)
        names.push_back(entry.shortcutName);
    EXPECT_EQ(names, (std::vector<std::string>{"Focus Work", "Deep Focus", "Battery Check", "alpha"}));
}

TEST(ShortcutSeederTest, ExistingNamesAreLeftOutByExactCanonicalText)
{
    EXPECT_TRUE(ShortcutSeeder::seed({"A", "B"}, {"A", "B"}).empty());
    EXPECT_TRUE(ShortcutSeeder::seed({}, {}).empty());

    const auto seeded = ShortcutSeeder::seed({"Caf\xC3\xA9", "timer", "Timer", "Timer"}, {"Cafe\xCC\x81", "timer"});
    std::vector<std::string> names;
    for (const auto& entry : seeded)
        names.push_back(entry.shortcutName);
    EXPECT_EQ(names, std::vector<std::string>{"Timer"})
        << "case counts, accents in either spelling do not, and a name is picked once";
}

TEST(ShortcutSeederTest, TheFirstKeywordTheNameHoldsGivesTheSymbol)
{
    struct Case {
        const char* name;
        const char* symbol;
    };
    const Case cases[] = {
        {"Relax", "sparkles"},
        {"Clean Desktop", "sparkles"},
        {"Pomodoro Timer", "timer"},
        {"TIMER and Music", "timer"},
        {"Start Screen Recording", "record.circle"},
        {"Record Memo", "record.circle"},
        {"Low Power Mode", "battery.25"},
        {"Air Purifier", "wind"},
        {"Repair", "wind"},
        {"Airplane Mode", "airplane"},
        {"Toggle DND", "moon.fill"},
        {"Desk Lamp", "lightbulb.fill"},
        {"Go Dark", "circle.lefthalf.filled"},
        {"Open Map", "map.fill"},
        {"", "sparkles"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ShortcutSeeder::symbol(row.name), row.symbol);
    }
}

} // namespace
