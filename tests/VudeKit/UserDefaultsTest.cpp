#include "VudeKit/UserDefaults.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Array = DefaultsValue::Array;
using Dictionary = DefaultsValue::Dictionary;

struct ConversionRow {
    const char* why;
    DefaultsValue value;
    std::optional<bool> asBool;
    std::optional<std::int64_t> asInteger;
    std::optional<double> asDouble;
    std::optional<std::string> asString;
};

TEST(UserDefaults, ReadersAcceptOnlyExactConversions)
{
    constexpr std::int64_t beyondDoubles = (std::int64_t{1} << 53) + 1;
    const std::vector<ConversionRow> rows{
        {"a bool is no number", true, true, {}, {}, {}},
        {"0 reads as false", 0, false, 0, 0.0, "0"},
        {"1 reads as true", 1, true, 1, 1.0, "1"},
        {"2 is no bool", 2, {}, 2, 2.0, "2"},
        {"an integral double is an integer", 1.0, true, 1, 1.0, "1"},
        {"a fraction is only a double", 0.5, {}, {}, 0.5, "0.5"},
        {"negative numbers keep their sign", -3, {}, -3, -3.0, "-3"},
        {"2^53 + 1 has no double", beyondDoubles, {}, beyondDoubles, {}, "9007199254740993"},
        {"1e19 is beyond int64", 1e19, {}, {}, 1e19, "1e+19"},
        {"infinity is no integer", std::numeric_limits<double>::infinity(), {}, {}, std::numeric_limits<double>::infinity(), "inf"},
        {"a numeric string stays a string", "1", {}, {}, {}, "1"},
        {"a date converts to nothing else", kReferenceDate + 5s, {}, {}, {}, {}},
        {"an array converts to nothing else", Array{"1"}, {}, {}, {}, {}},
        {"a dictionary converts to nothing else", Dictionary{{"a", 1}}, {}, {}, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(row.value.toBool(), row.asBool);
        EXPECT_EQ(row.value.toInteger(), row.asInteger);
        EXPECT_EQ(row.value.toDouble(), row.asDouble);
        EXPECT_EQ(row.value.toString(), row.asString);
    }
    EXPECT_EQ(DefaultsValue(kReferenceDate + 5s).toDate(), kReferenceDate + 5s);
    EXPECT_EQ(DefaultsValue(5).toDate(), std::nullopt);
}

TEST(UserDefaults, KindsNeverMerge)
{
    EXPECT_NE(DefaultsValue(1), DefaultsValue(1.0));
    EXPECT_NE(DefaultsValue(1), DefaultsValue(true));
    EXPECT_NE(DefaultsValue("1"), DefaultsValue(1));
    EXPECT_EQ(DefaultsValue(Array{"a", 2}), DefaultsValue(Array{"a", 2}));
    EXPECT_EQ(DefaultsValue(std::uint64_t{1} << 63).toInteger(), std::numeric_limits<std::int64_t>::max())
        << "unsigned values beyond int64 saturate";
}

TEST(UserDefaults, TypedReadsGiveNothingForAbsentOrMistypedKeys)
{
    InMemoryUserDefaults defaults;
    defaults.set("flag", true);
    defaults.set("count", 3);
    defaults.set("names", Array{"a", "b"});
    defaults.set("lastSyncDate", kReferenceDate + 90s);

    EXPECT_EQ(defaults.boolForKey("flag"), true);
    EXPECT_EQ(defaults.boolForKey("absent"), std::nullopt);
    EXPECT_EQ(defaults.integerForKey("count"), 3);
    EXPECT_EQ(defaults.stringForKey("count"), "3");
    EXPECT_EQ(defaults.arrayForKey("names"), (Array{"a", "b"}));
    EXPECT_EQ(defaults.arrayForKey("count"), std::nullopt);
    EXPECT_EQ(defaults.dictionaryForKey("names"), std::nullopt);
    EXPECT_EQ(defaults.dateForKey("lastSyncDate"), kReferenceDate + 90s);
    EXPECT_EQ(defaults.doubleForKey("lastSyncDate"), std::nullopt);
}

TEST(UserDefaults, RemovingKeysLeavesTheOthers)
{
    InMemoryUserDefaults defaults(Dictionary{{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}});
    defaults.remove("a");
    const std::vector<std::string> keys{"b", "absent", "c"};
    defaults.remove(keys);
    EXPECT_EQ(defaults.dictionaryRepresentation(), (Dictionary{{"d", 4}}));
}

TEST(UserDefaults, TheStandardInstanceIsWhatWasInstalled)
{
    const auto fallback = UserDefaults::standard();
    EXPECT_EQ(UserDefaults::standard(), fallback) << "one process-wide instance";

    const auto installed = std::make_shared<InMemoryUserDefaults>();
    UserDefaults::installStandard(installed);
    EXPECT_EQ(UserDefaults::standard(), installed);

    UserDefaults::installStandard(fallback);
}

} // namespace
