#include "VudeServices/LocationProvider.h"

#include "Platform/Network/FakeLocationBackend.h"
#include "Platform/Network/FakeReverseGeocoder.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using Status = LocationAuthorizationStatus;

namespace {

using Answer = std::optional<LocationFix>;

class LocationProviderTest : public ::testing::Test {
protected:
    explicit LocationProviderTest(Status status = Status::authorizedAlways)
    {
        auto backendOwned = std::make_unique<FakeLocationBackend>(status);
        auto geocoderOwned = std::make_unique<FakeReverseGeocoder>();
        backend = backendOwned.get();
        geocoder = geocoderOwned.get();
        provider = std::make_unique<LocationProvider>(std::move(backendOwned), std::move(geocoderOwned), clock,
                                                      scheduler);
    }

    LocationFix fixAgo(Duration age, double latitude = 51.5) const { return {latitude, -0.12, clock.now() - age}; }

    /// Asks for the position; the answers land in the returned list.
    std::shared_ptr<std::vector<Answer>> ask()
    {
        auto answers = std::make_shared<std::vector<Answer>>();
        provider->current([answers](Answer answer) { answers->push_back(answer); });
        return answers;
    }

    ManualClock clock{kReferenceDate + 100000h};
    ManualScheduler scheduler{clock};
    FakeLocationBackend* backend = nullptr;
    FakeReverseGeocoder* geocoder = nullptr;
    std::unique_ptr<LocationProvider> provider;
};

TEST(LocationProviderStatusTest, OnlyAuthorizedAlwaysAsksForAFix)
{
    struct Row {
        Status status;
        bool asks;
    } rows[] = {
        {Status::notDetermined, false}, {Status::restricted, false},      {Status::denied, false},
        {Status::authorizedWhenInUse, false}, {Status::authorizedAlways, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.status));
        ManualClock clock;
        ManualScheduler scheduler{clock};
        auto backend = std::make_unique<FakeLocationBackend>(row.status);
        FakeLocationBackend* fake = backend.get();
        LocationProvider provider(std::move(backend), std::make_unique<FakeReverseGeocoder>(), clock, scheduler);
        EXPECT_EQ(provider.authorization(), row.status);

        std::vector<Answer> answers;
        provider.current([&](Answer answer) { answers.push_back(answer); });

        EXPECT_EQ(fake->locationRequests(), row.asks ? 1 : 0);
        EXPECT_EQ(answers, row.asks ? std::vector<Answer>{} : std::vector<Answer>{std::nullopt})
            << "refused at once, or waiting for the fix";
    }
}

TEST_F(LocationProviderTest, AFixIsReusedForLessThan900Seconds)
{
    struct Row {
        const char* why;
        Duration age;
        bool reused;
    } rows[] = {
        {"just now", 0s, true},
        {"899 s old", 899s, true},
        {"899.999999 s old", 900s - 1us, true},
        {"900 s old", 900s, false},
        {"hours old", 5h, false},
        {"dated ahead of the clock", -1s, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const LocationFix old = fixAgo(row.age);
        backend->deliver({old});
        const int requestsBefore = backend->locationRequests();

        const auto answers = ask();

        EXPECT_EQ(backend->locationRequests() - requestsBefore, row.reused ? 0 : 1);
        if (row.reused) {
            EXPECT_EQ(*answers, std::vector<Answer>{old});
        } else {
            EXPECT_TRUE(answers->empty());
            backend->deliver({fixAgo(0s, 48.1)}); // answer, so nobody waits into the next row
        }
    }
}

TEST_F(LocationProviderTest, WaitingCallersShareTheNextFixAndEachAsks)
{
    const auto first = ask();
    const auto second = ask();
    EXPECT_EQ(backend->locationRequests(), 2);
    EXPECT_EQ(provider->waitingCount(), 2u);

    backend->deliver({});
    EXPECT_EQ(provider->waitingCount(), 2u) << "an empty update answers nobody";

    const LocationFix older = fixAgo(20s, 1), newest = fixAgo(1s, 2);
    backend->deliver({older, newest});
    EXPECT_EQ(*first, std::vector<Answer>{newest});
    EXPECT_EQ(*second, std::vector<Answer>{newest});
    EXPECT_EQ(provider->location(), newest);
    EXPECT_EQ(provider->waitingCount(), 0u);
}

TEST_F(LocationProviderTest, AFailureHandsOutTheStoredFixWhateverItsAge)
{
    const auto none = ask();
    backend->fail();
    EXPECT_EQ(*none, std::vector<Answer>{std::nullopt}) << "no fix ever";

    const LocationFix old = fixAgo(0s);
    backend->deliver({old});
    clock.advance(6h);
    const auto stale = ask();
    backend->fail();
    EXPECT_EQ(*stale, std::vector<Answer>{old});
}

TEST_F(LocationProviderTest, WaitingEndsAfter30SecondsWithTheStoredFix)
{
    const LocationFix old = fixAgo(2h);
    backend->deliver({old});
    const auto first = ask();
    scheduler.advance(10s);
    const auto second = ask();

    scheduler.advance(20s - 1us);
    EXPECT_TRUE(first->empty());
    scheduler.advance(1us);
    EXPECT_EQ(*first, std::vector<Answer>{old});
    EXPECT_EQ(*second, std::vector<Answer>{old}) << "nobody waits longer than the first";

    backend->deliver({fixAgo(0s, 3)});
    EXPECT_EQ(first->size(), 1u) << "a late fix answers nobody twice";
    EXPECT_EQ(provider->location()->latitude, 3) << "but is kept";

    const auto afterwards = ask();
    EXPECT_EQ(afterwards->size(), 1u) << "the late fix is fresh";
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(LocationProviderTest, AGiveUpWithoutAnyFixAnswersNone)
{
    const auto answers = ask();
    scheduler.advance(LocationProvider::giveUpInterval);
    EXPECT_EQ(*answers, std::vector<Answer>{std::nullopt});
}

TEST_F(LocationProviderTest, AnAnswerThatAsksAgainWaitsForTheNextFix)
{
    std::vector<Answer> again;
    provider->current([&](Answer) { provider->current([&](Answer answer) { again.push_back(answer); }); });
    backend->deliver({fixAgo(1000s)}); // already too old to reuse
    EXPECT_TRUE(again.empty());
    EXPECT_EQ(provider->waitingCount(), 1u);
    backend->deliver({fixAgo(0s)});
    EXPECT_EQ(again.size(), 1u);
}

TEST_F(LocationProviderTest, TheFirstPlacemarkNamesThePlace)
{
    struct Row {
        const char* why;
        Expected<std::vector<Placemark>, std::string> answer;
        std::optional<std::string> name;
    } rows[] = {
        {"a town", std::vector<Placemark>{{"Zermatt", "Valais"}, {"Sion", "Valais"}}, "Zermatt"},
        {"no town: the region", std::vector<Placemark>{{std::nullopt, "Valais"}}, "Valais"},
        {"neither", std::vector<Placemark>{{std::nullopt, std::nullopt}}, std::nullopt},
        {"no placemarks", std::vector<Placemark>{}, std::nullopt},
        {"a failed geocoding clears a known name", unexpected(std::string("offline")), std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        backend->deliver({{46.02, 7.75, clock.now()}});
        ASSERT_EQ(geocoder->waiting().size(), 1u);
        EXPECT_EQ(geocoder->waiting().front().latitude, 46.02);
        geocoder->answer(std::vector<Placemark>{{"Somewhere", std::nullopt}});
        backend->deliver({{46.02, 7.75, clock.now() + 1s}});
        geocoder->answer(row.answer);
        EXPECT_EQ(provider->placeName(), row.name);
        clock.advance(10s);
    }
}

TEST_F(LocationProviderTest, ACallerResumedByAFixReadsThePreviousName)
{
    backend->deliver({fixAgo(2000s, 46.0)});
    geocoder->answer(std::vector<Placemark>{{"Zermatt", std::nullopt}});

    std::optional<std::string> nameSeen;
    provider->current([&](Answer) { nameSeen = provider->placeName(); });
    backend->deliver({fixAgo(0s, 47.4)});

    EXPECT_EQ(nameSeen, "Zermatt");
    geocoder->answer(std::vector<Placemark>{{"Zurich", std::nullopt}});
    EXPECT_EQ(provider->placeName(), "Zurich");
}

TEST_F(LocationProviderTest, AnOlderGeocodingAnsweringLastDoesNotRenameTheNewFix)
{
    backend->deliver({fixAgo(0s, 46.0)});
    backend->deliver({fixAgo(0s, 47.4)});
    ASSERT_EQ(geocoder->waiting().size(), 2u);

    geocoder->answer(std::vector<Placemark>{{"Zurich", std::nullopt}}, 1);
    geocoder->answer(std::vector<Placemark>{{"Zermatt", std::nullopt}}, 0);

    EXPECT_EQ(provider->placeName(), "Zurich");
}

TEST_F(LocationProviderTest, ObserversHearOnlyRealChanges)
{
    QSignalSpy location(provider.get(), &LocationProvider::locationChanged);
    QSignalSpy name(provider.get(), &LocationProvider::placeNameChanged);
    geocoder->autoAnswer = std::vector<Placemark>{{"Zermatt", std::nullopt}};

    const LocationFix fix = fixAgo(0s);
    backend->deliver({fix});
    backend->deliver({fix});
    EXPECT_EQ(location.count(), 1);
    EXPECT_EQ(name.count(), 1);

    backend->deliver({fixAgo(0s, 12)});
    EXPECT_EQ(location.count(), 2);
    EXPECT_EQ(name.count(), 1) << "the same name again";
}

class UndecidedLocationProviderTest : public LocationProviderTest {
protected:
    UndecidedLocationProviderTest() : LocationProviderTest(Status::notDetermined) {}
};

TEST_F(UndecidedLocationProviderTest, AccessIsAskedForOnlyWhileUndecidedAndTheAnswerIsKept)
{
    QSignalSpy changed(provider.get(), &LocationProvider::authorizationChanged);

    provider->requestAccess();
    EXPECT_EQ(backend->authorizationRequests(), 1);
    EXPECT_EQ(backend->locationRequests(), 0) << "asking for access fetches nothing";
    EXPECT_EQ(changed.count(), 0) << "the prompt is still open";

    backend->answerAuthorization(Status::denied);
    EXPECT_EQ(provider->authorization(), Status::denied);
    EXPECT_EQ(changed.count(), 1);

    provider->requestAccess();
    EXPECT_EQ(backend->authorizationRequests(), 1);

    backend->answerAuthorization(Status::denied);
    EXPECT_EQ(changed.count(), 1) << "the same status is no change";
    EXPECT_EQ(backend->locationRequests(), 0);
}

TEST_F(LocationProviderTest, ADestroyedProviderLeavesNoTimerBehind)
{
    const auto answers = ask();
    provider.reset();
    scheduler.advance(1min);
    EXPECT_TRUE(answers->empty());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(LocationRulesTest, PlaceNamesComeFromTheFirstPlacemarkOnly)
{
    EXPECT_EQ(placeNameFrom({}), std::nullopt);
    EXPECT_EQ(placeNameFrom({{std::nullopt, std::nullopt}, {"Sion", "Valais"}}), std::nullopt);
    EXPECT_EQ(placeNameFrom({{"Sion", "Valais"}}), "Sion");
}

} // namespace
