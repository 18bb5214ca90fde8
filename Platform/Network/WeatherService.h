#pragma once
// What the weather provider needs of a weather service: the weather at a
// coordinate and the service's attribution.
//   OpenMeteoWeatherService  Open-Meteo over HTTP
//   FakeWeatherService       a scripted double for tests
//
// Completions run on the main thread, never after the service is destroyed.
// Failures are texts a person can read, shown as they are.

#include "VudeKit/Expected.h"

#include <QUrl>

#include <functional>
#include <optional>
#include <string>
#include <vector>

/// The conditions now. Temperatures in degrees Celsius; the condition as a
/// WMO weather interpretation code.
struct CurrentWeather {
    double temperature = 0;
    double apparentTemperature = 0;
    int weatherCode = 0;
    bool isDaylight = true;

    bool operator==(const CurrentWeather&) const = default;
};

/// One day of the daily forecast, in degrees Celsius; a value the service
/// does not know is absent.
struct DailyForecast {
    std::optional<double> high;
    std::optional<double> low;

    bool operator==(const DailyForecast&) const = default;
};

struct WeatherReport {
    CurrentWeather current;
    /// Today first; may be empty.
    std::vector<DailyForecast> daily;

    bool operator==(const WeatherReport&) const = default;
};

struct WeatherAttribution {
    /// The page that says where the data comes from and under which terms.
    QUrl legalPageURL;
    /// The service's combined mark for dark backgrounds, where it has one.
    std::optional<QUrl> combinedMarkDarkURL;

    bool operator==(const WeatherAttribution&) const = default;
};

class WeatherService {
public:
    using WeatherCompletion = std::function<void(Expected<WeatherReport, std::string>)>;
    using AttributionCompletion = std::function<void(Expected<WeatherAttribution, std::string>)>;

    virtual ~WeatherService() = default;

    virtual void weather(double latitude, double longitude, WeatherCompletion completion) = 0;
    virtual void attribution(AttributionCompletion completion) = 0;
};
