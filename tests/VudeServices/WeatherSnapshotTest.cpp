#include "VudeServices/WeatherConditions.h"
#include "VudeServices/WeatherSnapshot.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QLocale kBritain("en_GB");
const QLocale kUnitedStates("en_US");

TEST(WeatherSnapshotTest, TemperaturesReadInWholeDegreesOfTheGivenUnit)
{
    constexpr auto C = TemperatureUnit::celsius;
    constexpr auto F = TemperatureUnit::fahrenheit;
    struct Row {
        const char* why;
        double celsius;
        TemperatureUnit unit;
        const char* text;
    } rows[] = {
        {"rounded down", 21.4, C, "21\u00B0C"},
        {"70.52 rounds to 71", 21.4, F, "71\u00B0F"},
        {"a little frost is no minus zero", -0.4, C, "0\u00B0C"},
        {"nor in Fahrenheit (-0.22)", -17.9, F, "0\u00B0F"},
        {"halves round away from zero", 0.5, C, "1\u00B0C"},
        {"below zero too", -0.5, C, "-1\u00B0C"},
        {"real frost", -12.6, C, "-13\u00B0C"},
        {"boiling", 100, F, "212\u00B0F"},
        {"nothing to show", std::nan(""), C, "--\u00B0C"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(WeatherSnapshot::formatted(row.celsius, row.unit, kBritain), row.text);
    }
}

TEST(WeatherSnapshotTest, FahrenheitExactlyWhereTheLocaleMeasuresTheUSWay)
{
    struct Row {
        const char* locale;
        TemperatureUnit unit;
        const char* text; // 21.4 °C
    } rows[] = {
        {"en_US", TemperatureUnit::fahrenheit, "71\u00B0F"},
        {"es_US", TemperatureUnit::fahrenheit, "71\u00B0F"},
        {"en_GB", TemperatureUnit::celsius, "21\u00B0C"}, // imperial, but not the US system
        {"de_DE", TemperatureUnit::celsius, "21\u00B0C"},
        {"en_CA", TemperatureUnit::celsius, "21\u00B0C"},
        {"C", TemperatureUnit::celsius, "21\u00B0C"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.locale);
        const QLocale locale(row.locale);
        EXPECT_EQ(preferredTemperatureUnit(locale), row.unit);
        EXPECT_EQ(WeatherSnapshot::formatted(21.4, preferredTemperatureUnit(locale), locale), row.text);
    }
}

TEST(WeatherSnapshotTest, TheNumberIsWrittenAsTheLocaleWritesIt)
{
    EXPECT_EQ(WeatherSnapshot::formatted(-21.4, TemperatureUnit::celsius, QLocale("sv_SE")), "\u221221\u00B0C");
    EXPECT_EQ(WeatherSnapshot::formatted(-21.4, TemperatureUnit::celsius, kUnitedStates), "-21\u00B0C")
        << "the unit is the caller's, not the locale's";
}

TEST(WeatherConditionsTest, CodesReadAsWordsAndSymbols)
{
    struct Row {
        int code;
        bool day;
        WeatherCondition condition;
    } rows[] = {
        {0, true, {"Clear", "sun.max"}},
        {0, false, {"Clear", "moon.stars"}},
        {2, true, {"Partly Cloudy", "cloud.sun"}},
        {2, false, {"Partly Cloudy", "cloud.moon"}},
        {3, false, {"Cloudy", "cloud"}},
        {45, true, {"Foggy", "cloud.fog"}},
        {55, true, {"Heavy Drizzle", "cloud.drizzle"}},
        {66, true, {"Freezing Rain", "cloud.sleet"}},
        {65, true, {"Heavy Rain", "cloud.heavyrain"}},
        {75, true, {"Heavy Snow", "cloud.snow"}},
        {82, true, {"Heavy Showers", "cloud.heavyrain"}},
        {99, true, {"Thunderstorms with Heavy Hail", "cloud.bolt.rain"}},
        {4, true, {"Unknown", "cloud"}},
        {-1, true, {"Unknown", "cloud"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(weatherCondition(row.code, row.day), row.condition);
    }
}

TEST(WeatherSnapshotTest, ASnapshotTakesTodayFromTheFirstDay)
{
    const Date now = kReferenceDate + std::chrono::hours(200000);
    const WeatherReport report{{21.4, 19.8, 61, false}, {{23.1, 12.6}, {30, 20}}};

    const WeatherSnapshot snapshot = makeWeatherSnapshot(report, "London", now);
    EXPECT_EQ(snapshot, (WeatherSnapshot{21.4, 19.8, "Light Rain", "cloud.rain", false, 23.1, 12.6, "London", now}));

    const WeatherSnapshot noDay = makeWeatherSnapshot({report.current, {}}, std::nullopt, now);
    EXPECT_EQ(noDay.high, std::nullopt);
    EXPECT_EQ(noDay.low, std::nullopt);
    EXPECT_EQ(noDay.condition, "Light Rain");
    EXPECT_EQ(noDay.temperature, 21.4);
}

} // namespace
