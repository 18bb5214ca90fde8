#include "VudeServices/WeatherSnapshot.h"

#include "VudeKit/Numbers.h"
#include "VudeServices/WeatherConditions.h"

#include <cmath>

std::string WeatherSnapshot::formatted(double celsius, TemperatureUnit unit, const QLocale& locale)
{
    const bool fahrenheit = unit == TemperatureUnit::fahrenheit;
    const std::string symbol = fahrenheit ? "\u00B0F" : "\u00B0C";
    if (!std::isfinite(celsius))
        return "--" + symbol;
    const double value = fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
    // An integer has no sign of zero, so -0.4 reads "0".
    const auto whole = saturatingRound<qlonglong>(value);
    return locale.toString(whole).toStdString() + symbol;
}

TemperatureUnit preferredTemperatureUnit(const QLocale& locale)
{
    return locale.measurementSystem() == QLocale::ImperialUSSystem ? TemperatureUnit::fahrenheit
                                                                   : TemperatureUnit::celsius;
}

WeatherSnapshot makeWeatherSnapshot(const WeatherReport& report, std::optional<std::string> locationName, Date fetchedAt)
{
    const WeatherCondition condition = weatherCondition(report.current.weatherCode, report.current.isDaylight);
    WeatherSnapshot snapshot;
    snapshot.temperature = report.current.temperature;
    snapshot.apparentTemperature = report.current.apparentTemperature;
    snapshot.condition = condition.description;
    snapshot.symbolName = condition.symbolName;
    snapshot.isDaylight = report.current.isDaylight;
    if (!report.daily.empty()) {
        snapshot.high = report.daily.front().high;
        snapshot.low = report.daily.front().low;
    }
    snapshot.locationName = std::move(locationName);
    snapshot.fetchedAt = fetchedAt;
    return snapshot;
}
