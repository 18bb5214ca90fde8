#include "Platform/Network/OpenMeteoWeatherService.h"

#include "Platform/Network/WebService.h"
#include "VudeKit/Numbers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <cmath>

namespace {

constexpr auto kUnreadable = "The weather service sent an answer that could not be read.";
constexpr auto kAttributionPage = "https://open-meteo.com/";

QString text(double value)
{
    return QString::fromStdString(formatFixed(value, 4));
}

bool isFahrenheit(const QJsonObject& units, const char* field)
{
    return units.value(QLatin1String(field)).toString().contains(QStringLiteral("F"));
}

double toCelsius(double value, bool fahrenheit)
{
    return fahrenheit ? (value - 32.0) * 5.0 / 9.0 : value;
}

std::optional<double> number(const QJsonValue& value)
{
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return std::nullopt;
    return value.toDouble();
}

std::optional<bool> flag(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool();
    if (const auto n = number(value); n && (*n == 0 || *n == 1))
        return *n == 1;
    return std::nullopt;
}

std::optional<double> element(const QJsonValue& array, qsizetype index, bool fahrenheit)
{
    const auto value = number(array.toArray().at(index));
    if (!value)
        return std::nullopt;
    return toCelsius(*value, fahrenheit);
}

} // namespace

OpenMeteoWeatherService::OpenMeteoWeatherService(QUrl baseURL, Scheduler& scheduler, Duration timeout)
    : m_baseURL(std::move(baseURL)), m_client(scheduler, timeout)
{
}

std::unique_ptr<OpenMeteoWeatherService> OpenMeteoWeatherService::forSystem(Scheduler& scheduler,
                                                                           const Environment::Lookup& environment)
{
    const QUrl base = WebService::baseURL(environment, baseURLVariable, defaultBaseURL);
    return std::make_unique<OpenMeteoWeatherService>(base, scheduler);
}

QUrl OpenMeteoWeatherService::forecastURL(double latitude, double longitude) const
{
    QUrl url = WebService::endpoint(m_baseURL, QStringLiteral("v1/forecast"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("latitude"), text(latitude));
    query.addQueryItem(QStringLiteral("longitude"), text(longitude));
    query.addQueryItem(QStringLiteral("current"),
                       QStringLiteral("temperature_2m,apparent_temperature,weather_code,is_day"));
    query.addQueryItem(QStringLiteral("daily"), QStringLiteral("temperature_2m_max,temperature_2m_min"));
    query.addQueryItem(QStringLiteral("timezone"), QStringLiteral("auto"));
    query.addQueryItem(QStringLiteral("forecast_days"), QStringLiteral("1"));
    url.setQuery(query);
    return url;
}

void OpenMeteoWeatherService::weather(double latitude, double longitude, WeatherCompletion completion)
{
    if (!WebService::isPlaceOnEarth(latitude, longitude)) {
        completion(unexpected(std::string(WebService::kNotOnEarth)));
        return;
    }
    const HttpRequest request{forecastURL(latitude, longitude), {{"Accept", "application/json"}}};
    m_client.get(request, [completion = std::move(completion)](Expected<HttpAnswer, HttpFailure> result) {
        if (!WebService::isSuccess(result)) {
            completion(unexpected(describe(result)));
            return;
        }
        completion(parseForecast(result->body));
    });
}

void OpenMeteoWeatherService::attribution(AttributionCompletion completion)
{
    completion(WeatherAttribution{QUrl(QString::fromLatin1(kAttributionPage)), std::nullopt});
}

std::string OpenMeteoWeatherService::describe(const Expected<HttpAnswer, HttpFailure>& result)
{
    if (!result) {
        switch (result.error().kind) {
        case HttpFailure::Kind::timedOut:
            return "The weather service did not answer in time.";
        case HttpFailure::Kind::tooLarge:
            return "The weather service sent an answer that was too large.";
        case HttpFailure::Kind::unreachable:
            break;
        }
        if (result.error().detail.empty())
            return "The weather service could not be reached.";
        return "The weather service could not be reached (" + result.error().detail + ").";
    }
    std::string message = "The weather service answered with an error (HTTP " + formatInteger(result->status) + ")";
    const auto reason = QJsonDocument::fromJson(result->body).object().value(QStringLiteral("reason")).toString();
    const QString said = reason.trimmed().left(200);
    if (said.isEmpty())
        return message + ".";
    message += ": " + said.toStdString();
    return said.endsWith(QLatin1Char('.')) ? message : message + ".";
}

Expected<WeatherReport, std::string> OpenMeteoWeatherService::parseForecast(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return unexpected(std::string(kUnreadable));
    const QJsonObject root = document.object();

    const QJsonObject current = root.value(QStringLiteral("current")).toObject();
    const QJsonObject currentUnits = root.value(QStringLiteral("current_units")).toObject();
    const auto temperature = number(current.value(QStringLiteral("temperature_2m")));
    const auto apparent = number(current.value(QStringLiteral("apparent_temperature")));
    const auto code = number(current.value(QStringLiteral("weather_code")));
    const auto isDay = flag(current.value(QStringLiteral("is_day")));
    if (!temperature || !apparent || !code || !isDay)
        return unexpected(std::string(kUnreadable));

    WeatherReport report;
    report.current.temperature = toCelsius(*temperature, isFahrenheit(currentUnits, "temperature_2m"));
    report.current.apparentTemperature = toCelsius(*apparent, isFahrenheit(currentUnits, "apparent_temperature"));
    report.current.weatherCode = saturatingRound<int>(*code);
    report.current.isDaylight = *isDay;

    const QJsonObject daily = root.value(QStringLiteral("daily")).toObject();
    const QJsonObject dailyUnits = root.value(QStringLiteral("daily_units")).toObject();
    const QJsonValue highs = daily.value(QStringLiteral("temperature_2m_max"));
    const QJsonValue lows = daily.value(QStringLiteral("temperature_2m_min"));
    const qsizetype days = std::max(highs.toArray().size(), lows.toArray().size());
    for (qsizetype day = 0; day < days; ++day)
        report.daily.push_back({element(highs, day, isFahrenheit(dailyUnits, "temperature_2m_max")),
                                element(lows, day, isFahrenheit(dailyUnits, "temperature_2m_min"))});
    return report;
}
