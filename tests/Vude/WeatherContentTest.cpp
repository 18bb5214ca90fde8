// What the weather widget shows for each availability, and how its
// temperatures read in different locales.
#include "Vude/Desk/WeatherContent.h"

#include <gtest/gtest.h>

namespace {

using Kind = WeatherContent::Kind;
using Action = WeatherContent::Action;

WeatherSnapshot snapshot(double temperature, std::optional<double> high, std::optional<double> low,
                         std::optional<std::string> place)
{
    WeatherSnapshot snapshot;
    snapshot.temperature = temperature;
    snapshot.apparentTemperature = temperature - 2;
    snapshot.condition = "Partly Cloudy";
    snapshot.symbolName = "cloud.sun.fill";
    snapshot.high = high;
    snapshot.low = low;
    snapshot.locationName = std::move(place);
    return snapshot;
}

TEST(WeatherContent, EachAvailabilityHasItsContentAndAction)
{
    const QLocale locale(QLocale::German, QLocale::Germany);
    const auto reading = snapshot(21.4, 23.1, 12.6, std::string("Berlin"));
    const struct {
        const char* why;
        WeatherAvailability availability;
        std::optional<WeatherSnapshot> snapshot;
        Kind kind;
        std::string symbol;
        std::string message;
        std::optional<std::string> detail;
        Action action;
        std::string actionTitle;
    } rows[] = {
        {"a reading", WeatherAvailability::ready(), reading, Kind::reading, "", "", {}, Action::none, ""},
        {"ready before the first fetch: the small progress", WeatherAvailability::ready(), std::nullopt,
         Kind::progress, "", "", {}, Action::none, ""},
        {"access undecided: it can be asked for", WeatherAvailability::needsLocation(), std::nullopt,
         Kind::emptyState, "location", "Weather where you are", "Location is used at reduced accuracy.",
         Action::allowLocation, "Allow Location"},
        {"a snapshot kept from before does not hide the question", WeatherAvailability::needsLocation(), reading,
         Kind::emptyState, "location", "Weather where you are", "Location is used at reduced accuracy.",
         Action::allowLocation, "Allow Location"},
        {"location off: the settings", WeatherAvailability::locationDenied(), std::nullopt, Kind::emptyState,
         "location.slash", "Location is off for Vude", "Turn it on in Settings.", Action::openSettings,
         "Open Settings"},
        {"a failure in the provider's words, nothing to do", WeatherAvailability::failed("The server is busy."),
         reading, Kind::emptyState, "cloud.slash", "Couldn't load the forecast", "The server is busy.",
         Action::none, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const WeatherContent content = WeatherContent::of(row.availability, row.snapshot, locale);
        EXPECT_EQ(content.kind, row.kind);
        EXPECT_EQ(content.emptySymbol, row.symbol);
        EXPECT_EQ(content.message, row.message);
        EXPECT_EQ(content.detail, row.detail);
        EXPECT_EQ(content.action, row.action);
        EXPECT_EQ(content.actionTitle, row.actionTitle);
    }
}

TEST(WeatherContent, TheUsMeasurementSystemReadsFahrenheitEveryOtherCelsiusWithoutDecimals)
{
    const auto reading = snapshot(21.4, 23.6, 12.5, std::string("Springfield"));
    const struct {
        QLocale locale;
        std::string temperature;
        std::string highLow;
    } rows[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "71\u00B0F", "H 74\u00B0F  \u00B7  L 55\u00B0F"},
        {QLocale(QLocale::German, QLocale::Germany), "21\u00B0C", "H 24\u00B0C  \u00B7  L 13\u00B0C"},
        // Imperial, but not the US system.
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "21\u00B0C", "H 24\u00B0C  \u00B7  L 13\u00B0C"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.locale.name().toStdString());
        const WeatherContent content = WeatherContent::of(WeatherAvailability::ready(), reading, row.locale);
        EXPECT_EQ(content.kind, Kind::reading);
        EXPECT_EQ(content.symbol, "cloud.sun.fill");
        EXPECT_EQ(content.temperature, row.temperature);
        EXPECT_EQ(content.condition, "Partly Cloudy");
        EXPECT_EQ(content.highLow, row.highLow);
        EXPECT_EQ(content.place, std::optional<std::string>("Springfield"));
    }
}

TEST(WeatherContent, TheHighLowLineNeedsBothAndThePlaceLineAName)
{
    const QLocale locale(QLocale::German, QLocale::Germany);
    const struct {
        std::optional<double> high;
        std::optional<double> low;
        bool shown;
    } rows[] = {{23.0, 12.0, true}, {23.0, std::nullopt, false}, {std::nullopt, 12.0, false},
                {std::nullopt, std::nullopt, false}};
    for (const auto& row : rows) {
        const WeatherContent content =
            WeatherContent::of(WeatherAvailability::ready(), snapshot(20, row.high, row.low, std::nullopt), locale);
        EXPECT_EQ(content.highLow.has_value(), row.shown);
        EXPECT_EQ(content.place, std::nullopt);
    }
}

} // namespace
