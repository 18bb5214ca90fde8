#pragma once
// The current weather as the Desk shows it: conditions now and today's high
// and low. A value compared memberwise; temperatures in degrees Celsius.

#include "Platform/Network/WeatherService.h"
#include "VudeKit/Date.h"

#include <QLocale>

#include <optional>
#include <string>

enum class TemperatureUnit { celsius, fahrenheit };

struct WeatherSnapshot {
    double temperature = 0;
    double apparentTemperature = 0;
    std::string condition;
    std::string symbolName;
    bool isDaylight = true;
    /// Today's high and low; absent when the forecast has no day.
    std::optional<double> high;
    std::optional<double> low;
    std::optional<std::string> locationName;
    Date fetchedAt;

    bool operator==(const WeatherSnapshot&) const = default;

    /// `celsius` in `unit`, rounded to whole degrees (halves away from zero),
    /// with the unit's symbol: "21°C", "71°F". The number is written as
    /// `locale` writes integers; a value that rounds to zero never reads "-0".
    static std::string formatted(double celsius, TemperatureUnit unit, const QLocale& locale = QLocale());
};

/// Degrees Fahrenheit exactly when `locale` uses the US measurement system,
/// else degrees Celsius (the UK's imperial system included).
TemperatureUnit preferredTemperatureUnit(const QLocale& locale = QLocale());

/// The snapshot a report gives: today is the report's first day; the
/// condition's words and symbol come from its weather code.
WeatherSnapshot makeWeatherSnapshot(const WeatherReport& report, std::optional<std::string> locationName, Date fetchedAt);
