#include "VudeServices/WeatherProvider.h"

#include "Platform/Network/FakeLocationBackend.h"
#include "Platform/Network/FakeReverseGeocoder.h"
#include "Platform/Network/FakeWeatherService.h"
#include "Platform/Network/OpenMeteoWeatherService.h"

#include "LoopbackHttpServer.h"
#include "TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;
using Status = LocationAuthorizationStatus;
using testsupport::LoopbackHttpServer;

namespace {

const WeatherReport kReport{{21.4, 19.8, 2, true}, {{23.1, 12.6}}};
const WeatherAttribution kAttribution{QUrl("https://weather.example/legal"), QUrl("https://weather.example/mark-dark.png")};

/// A location provider over fakes, with a clock and scheduler the weather
/// provider shares.
class WeatherProviderFixture : public ::testing::Test {
protected:
    explicit WeatherProviderFixture(Status status = Status::authorizedAlways)
    {
        auto backendOwned = std::make_unique<FakeLocationBackend>(status);
        auto geocoderOwned = std::make_unique<FakeReverseGeocoder>();
        backend = backendOwned.get();
        geocoder = geocoderOwned.get();
        locations = std::make_unique<LocationProvider>(std::move(backendOwned), std::move(geocoderOwned), clock,
                                                       scheduler);
    }

    /// Answers the location request that is waiting with a fix taken now.
    void deliverFix(double latitude = 51.5, double longitude = -0.12)
    {
        backend->deliver({{latitude, longitude, clock.now()}});
    }

    ManualClock clock{kReferenceDate + 200000h};
    ManualScheduler scheduler{clock};
    FakeLocationBackend* backend = nullptr;
    FakeReverseGeocoder* geocoder = nullptr;
    std::unique_ptr<LocationProvider> locations;
};

class WeatherProviderTest : public WeatherProviderFixture {
protected:
    explicit WeatherProviderTest(Status status = Status::authorizedAlways) : WeatherProviderFixture(status)
    {
        auto serviceOwned = std::make_unique<FakeWeatherService>();
        service = serviceOwned.get();
        service->autoAttribution = kAttribution;
        provider = std::make_unique<WeatherProvider>(*locations, std::move(serviceOwned), clock, scheduler);
    }

    /// A refresh that fetches: the fix (when asked) and the weather answered.
    void completeFetch(const WeatherReport& report = kReport)
    {
        if (locations->waitingCount() > 0)
            deliverFix();
        ASSERT_EQ(service->waiting().size(), 1u);
        service->answer(report);
    }

    FakeWeatherService* service = nullptr;
    std::unique_ptr<WeatherProvider> provider;
};

TEST_F(WeatherProviderTest, NothingIsFetchedBeforeStart)
{
    EXPECT_EQ(provider->availability(), WeatherAvailability::needsLocation());
    EXPECT_EQ(provider->snapshot(), std::nullopt);
    EXPECT_EQ(provider->place(), WeatherPlace::current());
    EXPECT_EQ(provider->attributionURL(), std::nullopt);
    scheduler.advance(1h);
    EXPECT_EQ(backend->locationRequests(), 0);
    EXPECT_TRUE(service->requested().empty());
}

TEST_F(WeatherProviderTest, StartFetchesFromTheEventLoopThenEvery1200Seconds)
{
    provider->start();
    EXPECT_EQ(backend->locationRequests(), 0) << "a separate task, not inside start()";
    scheduler.runDue();
    completeFetch();

    ASSERT_TRUE(provider->snapshot());
    EXPECT_EQ(provider->snapshot()->fetchedAt, clock.now());
    EXPECT_EQ(provider->availability(), WeatherAvailability::ready());
    EXPECT_EQ(service->requested(), (std::vector<std::pair<double, double>>{{51.5, -0.12}}));

    scheduler.advance(1200s - 1us);
    EXPECT_TRUE(service->waiting().empty());
    scheduler.advance(1us);
    completeFetch();
    scheduler.advance(1200s);
    completeFetch();
    EXPECT_EQ(service->requested().size(), 3u);

    provider->start(); // again: one timer, not two
    scheduler.runDue();
    completeFetch();
    scheduler.advance(1200s);
    completeFetch();
    EXPECT_EQ(service->requested().size(), 5u);

    provider->stop();
    EXPECT_FALSE(provider->isRunning());
    scheduler.advance(1h);
    EXPECT_EQ(service->requested().size(), 5u);
}

TEST_F(WeatherProviderTest, ARefreshThatIsNotForcedWaits600SecondsAfterTheLastSuccess)
{
    // Each row starts right after a successful fetch.
    struct Step {
        Duration after; // since the last success
        bool force;
        bool fails;
        bool fetches;
    };
    struct Row {
        const char* why;
        std::vector<Step> steps;
    } rows[] = {
        {"a tick at 599 s fetches nothing", {{599s, false, false, false}}},
        {"a tick at 600 s fetches", {{600s, false, false, true}}},
        {"a forced refresh 10 s after fetches again", {{10s, true, false, true}}},
        {"a failure does not restart the wait",
         {{100s, true, true, true}, {650s, false, false, true}}},
        {"a failure does not end the wait either",
         {{100s, true, true, true}, {599s, false, false, false}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        provider->refresh(true);
        completeFetch();
        const Date success = clock.now();
        for (const Step& step : row.steps) {
            clock.set(success + step.after);
            const std::size_t before = service->requested().size();
            provider->refresh(step.force);
            if (locations->waitingCount() > 0)
                deliverFix();
            EXPECT_EQ(service->requested().size() - before, step.fetches ? 1u : 0u);
            if (!service->waiting().empty())
                service->answer(step.fails ? Expected<WeatherReport, std::string>(unexpected(std::string("down")))
                                           : Expected<WeatherReport, std::string>(kReport));
        }
        clock.advance(1h);
    }
}

TEST_F(WeatherProviderTest, AFailureKeepsTheLastSnapshotAndSaysWhy)
{
    provider->refresh(true);
    completeFetch();
    const auto good = provider->snapshot();

    clock.advance(700s);
    provider->refresh(false);
    service->answer(unexpected(std::string("The weather service did not answer in time.")));

    EXPECT_EQ(provider->snapshot(), good);
    EXPECT_EQ(provider->availability(),
              WeatherAvailability::failed("The weather service did not answer in time."));
    EXPECT_NE(provider->availability(), WeatherAvailability::failed("another text"));
}

TEST_F(WeatherProviderTest, AForecastWithoutADayHasNoHighOrLow)
{
    provider->refresh(true);
    completeFetch({{-0.4, -4.2, 71, true}, {}});
    ASSERT_TRUE(provider->snapshot());
    EXPECT_EQ(provider->snapshot()->high, std::nullopt);
    EXPECT_EQ(provider->snapshot()->low, std::nullopt);
    EXPECT_EQ(provider->snapshot()->condition, "Light Snow");
    EXPECT_EQ(provider->snapshot()->symbolName, "cloud.snow");
    EXPECT_EQ(provider->snapshot()->temperature, -0.4);
}

TEST(WeatherAvailabilityTest, TheStatusDecidesBeforeAnyFixIsAskedFor)
{
    struct Row {
        Status status;
        std::optional<WeatherAvailability> before;
        WeatherAvailability after; // a fix at hand, a forced refresh
    } rows[] = {
        {Status::notDetermined, WeatherAvailability::needsLocation(), WeatherAvailability::needsLocation()},
        {Status::restricted, WeatherAvailability::locationDenied(), WeatherAvailability::locationDenied()},
        {Status::denied, WeatherAvailability::locationDenied(), WeatherAvailability::locationDenied()},
        {Status::authorizedWhenInUse, std::nullopt, WeatherAvailability::needsLocation()},
        {Status::authorizedAlways, std::nullopt, WeatherAvailability::ready()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.status));
        EXPECT_EQ(availabilityBeforeAsking(row.status), row.before);

        ManualClock clock;
        ManualScheduler scheduler{clock};
        auto backend = std::make_unique<FakeLocationBackend>(row.status);
        FakeLocationBackend* fake = backend.get();
        LocationProvider locations(std::move(backend), std::make_unique<FakeReverseGeocoder>(), clock, scheduler);
        auto service = std::make_unique<FakeWeatherService>();
        service->autoAnswer = kReport;
        WeatherProvider provider(locations, std::move(service), clock, scheduler);

        provider.refresh(true);
        fake->deliver({{1, 2, clock.now()}});
        EXPECT_EQ(provider.availability(), row.after);
    }
}

TEST_F(WeatherProviderTest, NoFixMeansNeedsLocation)
{
    provider->refresh(true);
    backend->fail();
    EXPECT_EQ(provider->availability(), WeatherAvailability::needsLocation());
    EXPECT_TRUE(service->requested().empty());

    provider->refresh(true);
    scheduler.advance(LocationProvider::giveUpInterval);
    EXPECT_EQ(provider->availability(), WeatherAvailability::needsLocation()) << "a location service that never answers";
}

TEST_F(WeatherProviderTest, TheSnapshotCarriesThePlaceNameAsItStoodWhenTheFixCame)
{
    provider->refresh(true);
    deliverFix(46.0, 7.7);
    service->answer(kReport);
    EXPECT_EQ(provider->snapshot()->locationName, std::nullopt) << "the first fix is not named yet";
    geocoder->answer(std::vector<Placemark>{{"Zermatt", std::nullopt}});

    clock.advance(100s);
    provider->refresh(true); // the fix is reused
    service->answer(kReport);
    EXPECT_EQ(provider->snapshot()->locationName, "Zermatt");

    clock.advance(1000s);
    provider->refresh(true); // a new fix
    deliverFix(47.4, 8.5);
    service->answer(kReport);
    EXPECT_EQ(provider->snapshot()->locationName, "Zermatt") << "the name of the fix before";
    EXPECT_EQ(service->requested().back(), (std::pair{47.4, 8.5}));
}

TEST_F(WeatherProviderTest, AFixedPlaceIsFetchedAtOnceWithItsNameAndWithoutAccess)
{
    backend->answerAuthorization(Status::denied);
    QSignalSpy placeChanged(provider.get(), &WeatherProvider::placeChanged);

    provider->setPlace(WeatherPlace::current());
    scheduler.runDue();
    EXPECT_EQ(placeChanged.count(), 0);
    EXPECT_EQ(provider->availability(), WeatherAvailability::needsLocation()) << "the same place starts nothing";

    provider->setPlace(WeatherPlace::fixed(35.68, 139.69, "Tokyo"));
    EXPECT_EQ(placeChanged.count(), 1);
    scheduler.runDue();
    service->answer(kReport);
    EXPECT_EQ(service->requested(), (std::vector<std::pair<double, double>>{{35.68, 139.69}}));
    EXPECT_EQ(provider->snapshot()->locationName, "Tokyo");
    EXPECT_EQ(provider->availability(), WeatherAvailability::ready());
    EXPECT_EQ(backend->locationRequests(), 0);
}

TEST_F(WeatherProviderTest, TheAttributionIsLoadedOnceAfterTheFirstSuccess)
{
    service->autoAttribution.reset();
    provider->refresh(true);
    deliverFix();
    service->answer(unexpected(std::string("down")));
    EXPECT_EQ(service->attributionRequests(), 0);

    provider->refresh(true);
    service->answer(kReport);
    EXPECT_EQ(service->attributionRequests(), 1);
    service->answerAttribution(unexpected(std::string("no attribution")));
    EXPECT_EQ(provider->attributionURL(), std::nullopt);

    provider->refresh(true);
    service->answer(kReport);
    EXPECT_EQ(service->attributionRequests(), 2) << "a failure is tried again at the next success";
    service->answerAttribution(kAttribution);
    EXPECT_EQ(provider->attributionURL(), kAttribution.legalPageURL);
    EXPECT_EQ(provider->attributionMarkURL(), kAttribution.combinedMarkDarkURL);

    provider->refresh(true);
    service->answer(kReport);
    EXPECT_EQ(service->attributionRequests(), 2);
}

TEST_F(WeatherProviderTest, OverlappingRefreshesBothRunAndTheLastToFinishWins)
{
    provider->refresh(true);
    deliverFix();
    provider->refresh(true);
    ASSERT_EQ(service->waiting().size(), 2u);

    service->answer(WeatherReport{{5, 5, 0, true}, {}}, 1);
    service->answer(unexpected(std::string("late failure")), 0);

    EXPECT_EQ(provider->snapshot()->temperature, 5);
    EXPECT_EQ(provider->availability(), WeatherAvailability::failed("late failure"));
}

TEST_F(WeatherProviderTest, ObserversHearOnlyRealChanges)
{
    QSignalSpy availability(provider.get(), &WeatherProvider::availabilityChanged);
    QSignalSpy snapshot(provider.get(), &WeatherProvider::snapshotChanged);
    QSignalSpy attribution(provider.get(), &WeatherProvider::attributionURLChanged);

    backend->answerAuthorization(Status::notDetermined);
    provider->refresh(true);
    EXPECT_EQ(availability.count(), 0) << "needsLocation again";

    backend->answerAuthorization(Status::authorizedAlways);
    provider->refresh(true);
    completeFetch();
    EXPECT_EQ(availability.count(), 1);
    EXPECT_EQ(snapshot.count(), 1);
    EXPECT_EQ(attribution.count(), 1);

    clock.advance(1s);
    provider->refresh(true);
    service->answer(kReport);
    EXPECT_EQ(availability.count(), 1) << "ready again";
    EXPECT_EQ(snapshot.count(), 2) << "a new fetch time";
    EXPECT_EQ(attribution.count(), 1);
}

TEST_F(WeatherProviderTest, AReleasedProviderEndsItsTicksAndIgnoresLateAnswers)
{
    provider->start();
    scheduler.runDue();
    ASSERT_EQ(locations->waitingCount(), 1u);
    provider.reset();
    deliverFix(); // the location provider outlives the weather
    scheduler.advance(2h);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

class UndecidedWeatherProviderTest : public WeatherProviderTest {
protected:
    UndecidedWeatherProviderTest() : WeatherProviderTest(Status::notDetermined) {}
};

TEST_F(UndecidedWeatherProviderTest, AskingForAccessRefreshesBeforeThePromptIsAnswered)
{
    provider->requestLocationAccess();
    EXPECT_EQ(backend->authorizationRequests(), 1);
    scheduler.runDue();
    EXPECT_EQ(provider->availability(), WeatherAvailability::needsLocation());

    backend->answerAuthorization(Status::authorizedAlways);
    scheduler.runDue();
    EXPECT_EQ(backend->locationRequests(), 0) << "granting refreshes nothing by itself";

    provider->requestLocationAccess();
    EXPECT_EQ(backend->authorizationRequests(), 1) << "decided: no prompt";
    scheduler.runDue();
    completeFetch();
    EXPECT_EQ(provider->availability(), WeatherAvailability::ready());
}

TEST_F(UndecidedWeatherProviderTest, WhereAccessIsGrantedOnTheSpotTheForcedRefreshFetches)
{
    backend->grantOnRequest = true; // the desktop: no prompt to wait for
    provider->requestLocationAccess();
    scheduler.runDue();
    completeFetch();
    EXPECT_EQ(provider->availability(), WeatherAvailability::ready());
}

TEST(WeatherRefreshRuleTest, OnlyARecentSuccessHoldsARefreshBack)
{
    const Date now = kReferenceDate + 1000h;
    struct Row {
        const char* why;
        bool force;
        std::optional<Date> lastFetch;
        bool skips;
    } rows[] = {
        {"never fetched", false, std::nullopt, false},
        {"599 s ago", false, now - 599s, true},
        {"just under 600 s", false, now - 600s + 1us, true},
        {"600 s ago", false, now - 600s, false},
        {"forced", true, now - 10s, false},
        {"dated ahead of the clock", false, now + 1h, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(shouldSkipRefresh(row.force, row.lastFetch, now), row.skips);
    }
}

/// The provider over the real Open-Meteo client and a loopback server that
/// serves recorded answers.
class WeatherOverHttpTest : public WeatherProviderFixture {
protected:
    WeatherOverHttpTest()
    {
        provider = std::make_unique<WeatherProvider>(
            *locations, std::make_unique<OpenMeteoWeatherService>(server.baseURL(), scheduler), clock, scheduler);
    }

    static QByteArray recorded(const char* name)
    {
        QFile file(testsupport::sourceDir() + "/tests/Platform/fixtures/" + name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return file.readAll();
    }

    /// Runs a refresh to its end: the fix when asked, then the HTTP answer.
    void refreshAndWait(bool force)
    {
        QSignalSpy availability(provider.get(), &WeatherProvider::availabilityChanged);
        QSignalSpy snapshot(provider.get(), &WeatherProvider::snapshotChanged);
        const std::size_t before = server.requests().size();
        provider->refresh(force);
        if (locations->waitingCount() > 0)
            deliverFix(51.5072, -0.1276);
        if (server.requests().size() == before && !testsupport::waitUntil([&] { return server.requests().size() > before; }, 200ms))
            return; // nothing was fetched
        ASSERT_TRUE(testsupport::waitUntil([&] { return availability.count() + snapshot.count() > 0; }));
    }

    LoopbackHttpServer server;
    std::unique_ptr<WeatherProvider> provider;
};

TEST_F(WeatherOverHttpTest, ARecordedAnswerBecomesTheSnapshot)
{
    server.enqueue({200, recorded("open-meteo-forecast.json")});
    geocoder->autoAnswer = std::vector<Placemark>{{"London", "England"}};
    refreshAndWait(true);

    ASSERT_TRUE(provider->snapshot());
    EXPECT_EQ(*provider->snapshot(),
              (WeatherSnapshot{21.4, 19.8, "Partly Cloudy", "cloud.sun", true, 23.1, 12.6, std::nullopt, clock.now()}));
    EXPECT_EQ(provider->availability(), WeatherAvailability::ready());
    EXPECT_EQ(provider->attributionURL(), QUrl("https://open-meteo.com/"));
    EXPECT_EQ(server.requests().front().query().queryItemValue("latitude"), "51.5072");
    EXPECT_EQ(WeatherSnapshot::formatted(provider->snapshot()->temperature, TemperatureUnit::celsius, QLocale("en_GB")),
              "21\u00B0C");
}

TEST_F(WeatherOverHttpTest, ATickAt599SecondsSkipsAndAt600SecondsFetches)
{
    server.enqueue({200, recorded("open-meteo-forecast.json")});
    server.enqueue({200, recorded("open-meteo-no-day.json")});
    provider->start();
    scheduler.runDue();
    deliverFix(51.5072, -0.1276);
    ASSERT_TRUE(testsupport::waitUntil([&] { return provider->snapshot().has_value(); }));
    const Date first = clock.now();

    clock.set(first + 599s);
    refreshAndWait(false);
    EXPECT_EQ(server.requests().size(), 1u);

    clock.set(first + 600s);
    refreshAndWait(false);
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(provider->snapshot()->temperature, -0.4);
    EXPECT_EQ(provider->snapshot()->high, std::nullopt);
    EXPECT_EQ(provider->snapshot()->fetchedAt, first + 600s);
}

TEST_F(WeatherOverHttpTest, AServerErrorAndAGarbageBodyFailAndKeepTheSnapshot)
{
    server.enqueue({200, recorded("open-meteo-forecast.json")});
    refreshAndWait(true);
    const auto good = provider->snapshot();
    ASSERT_TRUE(good);

    struct Row {
        const char* why;
        LoopbackHttpServer::Answer answer;
        const char* message;
    } rows[] = {
        {"a 500 answer", {500, "Internal Server Error", "text/plain"},
         "The weather service answered with an error (HTTP 500)."},
        {"a garbage body", {200, "\x89PNG\r\n\x1a\n garbage", "image/png"},
         "The weather service sent an answer that could not be read."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        server.enqueue(row.answer);
        clock.advance(1s);
        refreshAndWait(true);
        EXPECT_EQ(provider->availability(), WeatherAvailability::failed(row.message));
        EXPECT_EQ(provider->snapshot(), good);
    }

    server.close();
    refreshAndWait(true);
    EXPECT_EQ(provider->availability(),
              WeatherAvailability::failed("The weather service could not be reached (Connection refused)."));
    EXPECT_EQ(provider->snapshot(), good);
}

} // namespace
