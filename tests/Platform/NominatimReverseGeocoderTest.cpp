#include "Platform/Network/NominatimReverseGeocoder.h"

#include "LoopbackHttpServer.h"
#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

#include <optional>

using testsupport::LoopbackHttpServer;

namespace {

using Result = Expected<std::vector<Placemark>, std::string>;

QByteArray recorded(const char* name)
{
    QFile file(testsupport::sourceDir() + "/tests/Platform/fixtures/" + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

class NominatimReverseGeocoderTest : public ::testing::Test {
protected:
    Result geocode(double latitude, double longitude)
    {
        std::optional<Result> result;
        geocoder.reverseGeocode(latitude, longitude, [&](Result r) { result = std::move(r); });
        EXPECT_TRUE(testsupport::waitUntil([&] { return result.has_value(); }));
        return result.value_or(unexpected(std::string("no answer")));
    }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    LoopbackHttpServer server;
    NominatimReverseGeocoder geocoder{server.baseURL(), "de-DE,en", scheduler};
};

TEST_F(NominatimReverseGeocoderTest, RecordedAnswersGiveTheTownAndTheRegion)
{
    struct Row {
        const char* fixture;
        std::vector<Placemark> placemarks;
    } rows[] = {
        {"nominatim-city.json", {{"Berlin", std::nullopt}}},
        {"nominatim-rural.json", {{std::nullopt, "Graub\u00FCnden/Grigioni/Grischun"}}},
        {"nominatim-sea.json", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fixture);
        server.enqueue({200, recorded(row.fixture)});
        const Result result = geocode(52.52, 13.405);
        ASSERT_TRUE(result.has_value()) << result.error();
        EXPECT_EQ(*result, row.placemarks);
    }

    const auto& request = server.requests().front();
    EXPECT_EQ(request.path(), "/reverse");
    EXPECT_EQ(request.query().queryItemValue("format"), "jsonv2");
    EXPECT_EQ(request.query().queryItemValue("lat"), "52.5200");
    EXPECT_EQ(request.query().queryItemValue("lon"), "13.4050");
    EXPECT_EQ(request.headers.at("accept-language"), "de-DE,en");
    EXPECT_FALSE(request.headers.at("user-agent").isEmpty()) << "the service turns away anonymous clients";
}

TEST_F(NominatimReverseGeocoderTest, FailuresAreErrorsNotEmptyAnswers)
{
    server.enqueue({503, "busy", "text/plain"});
    EXPECT_FALSE(geocode(52.52, 13.405).has_value());

    server.enqueue({200, "not json", "text/plain"});
    EXPECT_FALSE(geocode(52.52, 13.405).has_value());

    server.close();
    EXPECT_FALSE(geocode(52.52, 13.405).has_value());
}

TEST(NominatimAnswerTest, TheLocalityIsTheSmallestTownTheAddressNames)
{
    struct Row {
        const char* body;
        Placemark placemark;
    } rows[] = {
        {R"({"address":{"town":"Hay-on-Wye","county":"Powys","state":"Wales"}})", {"Hay-on-Wye", "Wales"}},
        {R"({"address":{"village":"Zermatt","state":"Valais"}})", {"Zermatt", "Valais"}},
        {R"({"address":{"city":"  ","hamlet":"Nether Wallop"}})", {"Nether Wallop", std::nullopt}},
        {R"({"address":{"country":"Antarctica"}})", {std::nullopt, std::nullopt}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.body);
        const auto result = NominatimReverseGeocoder::parseAnswer(row.body);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, std::vector<Placemark>{row.placemark});
    }
}

} // namespace
