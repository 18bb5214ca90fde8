#pragma once
// The weather from Open-Meteo's forecast API over HTTP: the current
// temperature, feels-like temperature, weather code and day flag, and today's
// high and low in the position's own time zone. The base URL is configurable
// (a self-hosted instance, a loopback server in tests); the app takes it from
// VUDE_WEATHER_URL when set. Main thread only.

#include "Platform/Core/Environment.h"
#include "Platform/Network/HttpClient.h"
#include "Platform/Network/WeatherService.h"

#include <QByteArray>
#include <QUrl>

#include <memory>

class OpenMeteoWeatherService final : public WeatherService {
public:
    static constexpr const char* defaultBaseURL = "https://api.open-meteo.com";
    static constexpr const char* baseURLVariable = "VUDE_WEATHER_URL";

    OpenMeteoWeatherService(QUrl baseURL, Scheduler& scheduler, Duration timeout = HttpClient::defaultTimeout);

    /// The public service, or the one VUDE_WEATHER_URL names.
    static std::unique_ptr<OpenMeteoWeatherService> forSystem(Scheduler& scheduler,
                                                              const Environment::Lookup& environment = Environment::process());

    void weather(double latitude, double longitude, WeatherCompletion completion) override;
    /// Open-Meteo's data is free under attribution; it has no mark.
    void attribution(AttributionCompletion completion) override;

    /// The request for a coordinate.
    QUrl forecastURL(double latitude, double longitude) const;
    /// An answer's body read as a report; temperatures come back in degrees
    /// Celsius whatever unit the answer uses.
    static Expected<WeatherReport, std::string> parseForecast(const QByteArray& body);
    /// The text for a failed request.
    static std::string describe(const Expected<HttpAnswer, HttpFailure>& result);

private:
    QUrl m_baseURL;
    HttpClient m_client;
};
