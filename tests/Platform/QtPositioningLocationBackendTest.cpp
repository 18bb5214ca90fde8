#include "Platform/Network/QtPositioningLocationBackend.h"

#include "VudeKit/UserDefaults.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <optional>

using Status = LocationAuthorizationStatus;

namespace {

struct Recorder {
    int authorizationChanges = 0;
    std::vector<std::vector<LocationFix>> updates;
    std::vector<std::string> failures;

    LocationBackend::Handlers handlers()
    {
        return {[this] { ++authorizationChanges; },
                [this](std::vector<LocationFix> fixes) { updates.push_back(std::move(fixes)); },
                [this](std::string error) { failures.push_back(std::move(error)); }};
    }
};

TEST(QtPositioningLocationBackendTest, TheStoredStatusIsReadAsOneOfTheFive)
{
    struct Row {
        const char* why;
        std::optional<DefaultsValue> stored;
        Status status;
    } rows[] = {
        {"never asked", std::nullopt, Status::notDetermined},
        {"granted", DefaultsValue(3), Status::authorizedAlways},
        {"switched off by hand", DefaultsValue(2), Status::denied},
        {"restricted", DefaultsValue(1), Status::restricted},
        {"when in use", DefaultsValue(4), Status::authorizedWhenInUse},
        {"a number out of range", DefaultsValue(7), Status::notDetermined},
        {"a negative number", DefaultsValue(-1), Status::notDetermined},
        {"text", DefaultsValue("3"), Status::notDetermined},
        {"a fraction", DefaultsValue(2.5), Status::notDetermined},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        auto defaults = std::make_shared<InMemoryUserDefaults>();
        if (row.stored)
            defaults->set(QtPositioningLocationBackend::authorizationKey, *row.stored);
        QtPositioningLocationBackend backend(defaults, "geoclue2", {});
        EXPECT_EQ(backend.authorizationStatus(), row.status);
    }
}

TEST(QtPositioningLocationBackendTest, ARequestGrantsOnlyAnUndecidedStatusAndSaysSoAtOnce)
{
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    QtPositioningLocationBackend backend(defaults, "geoclue2", {});
    Recorder recorder;
    backend.setHandlers(recorder.handlers());

    backend.requestAuthorization();
    EXPECT_EQ(recorder.authorizationChanges, 1);
    EXPECT_EQ(backend.authorizationStatus(), Status::authorizedAlways);
    EXPECT_EQ(defaults->object("locationAuthorization"), DefaultsValue(3));

    backend.requestAuthorization();
    EXPECT_EQ(recorder.authorizationChanges, 1) << "already decided: nothing to ask";

    defaults->set("locationAuthorization", 2);
    backend.requestAuthorization();
    EXPECT_EQ(backend.authorizationStatus(), Status::denied) << "a denial is not overturned";
    EXPECT_FALSE(backend.hasSource()) << "no request for a fix, no source";
}

TEST(QtPositioningLocationBackendTest, WithoutASourceARequestFailsFromTheEventLoop)
{
    QtPositioningLocationBackend backend(std::make_shared<InMemoryUserDefaults>(), "no-such-plugin", {});
    Recorder recorder;
    backend.setHandlers(recorder.handlers());

    backend.requestLocation();
    EXPECT_TRUE(recorder.failures.empty()) << "never inside the caller's request";
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder.failures.empty(); }));
    EXPECT_EQ(recorder.failures, std::vector<std::string>{"No location service is available."});
    EXPECT_TRUE(recorder.updates.empty());
}

TEST(QtPositioningLocationBackendTest, AFixFromAPositionSourceArrivesWithItsOwnTime)
{
    // Qt Positioning's NMEA source replaying a recorded log stands in for
    // GeoClue: the same plugin interface, no system bus.
    const QString log = testsupport::sourceDir() + "/tests/Platform/fixtures/munich.nmea";
    QtPositioningLocationBackend backend(std::make_shared<InMemoryUserDefaults>(), "nmea",
                                         {{"nmea.source", log}});
    Recorder recorder;
    backend.setHandlers(recorder.handlers());

    backend.requestLocation();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder.updates.empty() || !recorder.failures.empty(); }));
    ASSERT_TRUE(recorder.failures.empty()) << recorder.failures.front();
    ASSERT_EQ(recorder.updates.front().size(), 1u);
    const LocationFix fix = recorder.updates.front().front();
    EXPECT_NEAR(fix.latitude, 48.1173, 1e-4);
    EXPECT_NEAR(fix.longitude, 11.5167, 1e-4);
    // 2024-03-23 12:35:19 UTC.
    EXPECT_EQ(fix.timestamp, Date(std::chrono::sys_days{std::chrono::year{2024} / 3 / 23} + std::chrono::hours(12) +
                                  std::chrono::minutes(35) + std::chrono::seconds(19)));
}

} // namespace
