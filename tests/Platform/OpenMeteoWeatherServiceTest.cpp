#include "Platform/Network/OpenMeteoWeatherService.h"

#include "LoopbackHttpServer.h"
#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

#include <optional>

using namespace std::chrono_literals;
using testsupport::LoopbackHttpServer;

namespace {

using Result = Expected<WeatherReport, std::string>;

QByteArray recorded(const char* name)
{
    QFile file(testsupport::sourceDir() + "/tests/Platform/fixtures/" + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

constexpr auto kUnreadable = "The weather service sent an answer that could not be read.";

class OpenMeteoWeatherServiceTest : public ::testing::Test {
protected:
    Result fetch(double latitude, double longitude)
    {
        std::optional<Result> result;
        service.weather(latitude, longitude, [&](Result r) { result = std::move(r); });
        EXPECT_TRUE(testsupport::waitUntil([&] { return result.has_value(); }));
        return result.value_or(unexpected(std::string("no answer")));
    }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    LoopbackHttpServer server;
    OpenMeteoWeatherService service{server.baseURL(), scheduler};
};

TEST_F(OpenMeteoWeatherServiceTest, ARecordedAnswerGivesTheCurrentWeatherAndToday)
{
    server.enqueue({200, recorded("open-meteo-forecast.json")});

    const Result result = fetch(51.5072, -0.1276);

    ASSERT_TRUE(result.has_value()) << result.error();
    EXPECT_EQ(result->current, (CurrentWeather{21.4, 19.8, 2, true}));
    EXPECT_EQ(result->daily, (std::vector<DailyForecast>{{23.1, 12.6}}));

    ASSERT_EQ(server.requests().size(), 1u);
    const auto& request = server.requests().front();
    EXPECT_EQ(request.path(), "/v1/forecast");
    const QUrlQuery query = request.query();
    EXPECT_EQ(query.queryItemValue("latitude"), "51.5072");
    EXPECT_EQ(query.queryItemValue("longitude"), "-0.1276");
    EXPECT_EQ(query.queryItemValue("current"), "temperature_2m,apparent_temperature,weather_code,is_day");
    EXPECT_EQ(query.queryItemValue("daily"), "temperature_2m_max,temperature_2m_min");
    EXPECT_EQ(query.queryItemValue("timezone"), "auto") << "today is the place's own day";
}

TEST_F(OpenMeteoWeatherServiceTest, FailuresReadAsSentencesForAPerson)
{
    struct Row {
        const char* why;
        LoopbackHttpServer::Answer answer;
        std::string message;
    } rows[] = {
        {"a server error without a reason", {500, "Internal Server Error", "text/plain"},
         "The weather service answered with an error (HTTP 500)."},
        {"a refusal with the service's reason", {400, recorded("open-meteo-error-400.json")},
         "The weather service answered with an error (HTTP 400): Latitude must be in range of -90 to 90\u00B0. "
         "Given: 91.0."},
        {"a garbage body", {200, "<html>captive portal</html>", "text/html"}, kUnreadable},
        {"an empty body", {200, ""}, kUnreadable},
        {"JSON without the current weather", {200, R"({"latitude":51.5})"}, kUnreadable},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        server.enqueue(row.answer);
        const Result result = fetch(51.5, -0.12);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error(), row.message);
    }
}

TEST_F(OpenMeteoWeatherServiceTest, NoServerAndNoAnswerAreFailuresToo)
{
    {
        SCOPED_TRACE("nothing listens");
        server.close();
        const Result result = fetch(51.5, -0.12);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error(), "The weather service could not be reached (Connection refused).");
    }
    {
        SCOPED_TRACE("a server that never answers");
        LoopbackHttpServer silent;
        silent.enqueue(LoopbackHttpServer::Answer::none());
        OpenMeteoWeatherService slow(silent.baseURL(), scheduler);
        std::optional<Result> result;
        slow.weather(51.5, -0.12, [&](Result r) { result = std::move(r); });
        ASSERT_TRUE(testsupport::waitUntil([&] { return silent.requests().size() == 1; }));
        scheduler.advance(HttpClient::defaultTimeout);
        ASSERT_TRUE(testsupport::waitUntil([&] { return result.has_value(); }));
        ASSERT_FALSE(result->has_value());
        EXPECT_EQ(result->error(), "The weather service did not answer in time.");
    }
}

TEST_F(OpenMeteoWeatherServiceTest, APositionOffTheGlobeIsNotSent)
{
    for (const auto& [latitude, longitude] :
         {std::pair{91.0, 0.0}, std::pair{0.0, -180.5}, std::pair{std::nan(""), 0.0}}) {
        const Result result = fetch(latitude, longitude);
        EXPECT_FALSE(result.has_value());
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST(OpenMeteoForecastTest, AnswersAreReadInDegreesCelsius)
{
    struct Row {
        const char* why;
        QByteArray body;
        WeatherReport report;
    } rows[] = {
        {"a recorded answer in Fahrenheit is converted", recorded("open-meteo-forecast-fahrenheit.json"),
         {{20.0, 10.0, 0, false}, {{25.0, 15.0}}}},
        {"an answer without days has no today", recorded("open-meteo-no-day.json"), {{-0.4, -4.2, 71, true}, {}}},
        {"a day the service does not know keeps its other value",
         R"({"current":{"temperature_2m":3,"apparent_temperature":1,"weather_code":3,"is_day":true},
             "daily":{"temperature_2m_max":[null,9],"temperature_2m_min":[-2,1]}})",
         {{3.0, 1.0, 3, true}, {{std::nullopt, -2.0}, {9.0, 1.0}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const auto report = OpenMeteoWeatherService::parseForecast(row.body);
        ASSERT_TRUE(report.has_value()) << report.error();
        EXPECT_EQ(*report, row.report);
    }
}

TEST(OpenMeteoForecastTest, AnAnswerMissingAPieceOfTheCurrentWeatherIsUnreadable)
{
    const char* bodies[] = {
        R"({"current":{"apparent_temperature":1,"weather_code":3,"is_day":1}})",
        R"({"current":{"temperature_2m":null,"apparent_temperature":1,"weather_code":3,"is_day":1}})",
        R"({"current":{"temperature_2m":"21","apparent_temperature":1,"weather_code":3,"is_day":1}})",
        R"({"current":{"temperature_2m":2,"apparent_temperature":1,"weather_code":3,"is_day":2}})",
        R"([1,2,3])",
    };
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        const auto report = OpenMeteoWeatherService::parseForecast(body);
        ASSERT_FALSE(report.has_value());
        EXPECT_EQ(report.error(), kUnreadable);
    }
}

TEST(OpenMeteoServiceSetupTest, TheBaseURLComesFromTheEnvironmentWhenItIsAWebAddress)
{
    ManualClock clock;
    ManualScheduler scheduler{clock};
    struct Row {
        std::map<std::string, std::string> environment;
        const char* forecast;
    } rows[] = {
        {{}, "https://api.open-meteo.com/v1/forecast"},
        {{{"VUDE_WEATHER_URL", "http://127.0.0.1:8080/meteo"}}, "http://127.0.0.1:8080/meteo/v1/forecast"},
        {{{"VUDE_WEATHER_URL", "file:///etc/passwd"}}, "https://api.open-meteo.com/v1/forecast"},
        {{{"VUDE_WEATHER_URL", ""}}, "https://api.open-meteo.com/v1/forecast"},
    };
    for (const Row& row : rows) {
        const auto service = OpenMeteoWeatherService::forSystem(scheduler, Environment::fixed(row.environment));
        QUrl url = service->forecastURL(1, 2);
        url.setQuery(QString());
        EXPECT_EQ(url.toString(QUrl::RemoveQuery).toStdString(), row.forecast);
    }
}

TEST(OpenMeteoServiceSetupTest, TheAttributionPointsToTheDataSource)
{
    ManualClock clock;
    ManualScheduler scheduler{clock};
    OpenMeteoWeatherService service(QUrl("http://127.0.0.1:1"), scheduler);
    std::optional<Expected<WeatherAttribution, std::string>> attribution;
    service.attribution([&](auto result) { attribution = std::move(result); });
    ASSERT_TRUE(attribution && attribution->has_value());
    EXPECT_EQ((*attribution)->legalPageURL, QUrl("https://open-meteo.com/"));
    EXPECT_EQ((*attribution)->combinedMarkDarkURL, std::nullopt);
}

} // namespace
