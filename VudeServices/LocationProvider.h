#pragma once
// The machine's approximate position and a short place name for it, for the
// weather. Wraps a LocationBackend (the authorization state, one-shot fixes at
// reduced accuracy) and a ReverseGeocoder. It reuses a fix younger than 900 s
// instead of asking again, and never reports errors: a request that cannot be
// served yields no location. One provider exists per process.
//
// current() answers at once without "authorized always" or with a fresh fix;
// otherwise it waits for the backend's next fix or failure, or gives up after
// 30 s. Every waiting caller is answered together, with the fix, or on a
// failure or give-up with the last stored fix (however old) or none.
//
// Observers are told when location, authorization or placeName change, and
// only then. Main thread only.

#include "Platform/Network/LocationBackend.h"
#include "Platform/Network/ReverseGeocoder.h"
#include "VudeKit/Scheduler.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LocationProvider final : public QObject {
    Q_OBJECT
public:
    /// A fix younger than this is handed out again without asking.
    static constexpr Duration fixReuseInterval = std::chrono::seconds(900);
    /// How long callers wait for a fix before they get the stored one.
    static constexpr Duration giveUpInterval = std::chrono::seconds(30);

    using Completion = std::function<void(std::optional<LocationFix>)>;

    /// Reads the backend's status; asks for nothing. `clock` and `scheduler`
    /// must outlive the provider.
    LocationProvider(std::unique_ptr<LocationBackend> backend, std::unique_ptr<ReverseGeocoder> geocoder,
                     ClockSource& clock, Scheduler& scheduler, QObject* parent = nullptr);
    ~LocationProvider() override;

    /// GeoClue for the fix (access kept in the user defaults) and Nominatim
    /// (or the service VUDE_GEOCODER_URL names) for the place name.
    static std::unique_ptr<LocationProvider> forSystem(ClockSource& clock, Scheduler& scheduler);

    /// The last fix received; none at first.
    const std::optional<LocationFix>& location() const { return m_location; }
    LocationAuthorizationStatus authorization() const { return m_authorization; }
    /// The place name of the last fix whose geocoding finished.
    const std::optional<std::string>& placeName() const { return m_placeName; }

    /// Asks for access while the status is not determined; otherwise does
    /// nothing.
    void requestAccess();

    /// The position, answered through `completion` exactly once (at once, or
    /// from the event loop). A completion that outlives its caller must check
    /// for itself that the caller still exists.
    void current(Completion completion);

    /// Callers waiting for a fix.
    std::size_t waitingCount() const { return m_continuations.size(); }

signals:
    void locationChanged();
    void authorizationChanged();
    void placeNameChanged();

private:
    void onAuthorizationChanged();
    void onLocationsUpdated(std::vector<LocationFix> fixes);
    void onFailure();
    /// False when a completion destroyed the provider.
    bool resume(std::optional<LocationFix> location);
    void reverseGeocode(LocationFix fix);
    void setPlaceName(std::optional<std::string> name);

    std::unique_ptr<LocationBackend> m_backend;
    std::unique_ptr<ReverseGeocoder> m_geocoder;
    ClockSource& m_clock;
    Scheduler& m_scheduler;
    std::optional<LocationFix> m_location;
    LocationAuthorizationStatus m_authorization;
    std::optional<std::string> m_placeName;
    std::vector<Completion> m_continuations;
    ScheduledTask m_giveUp;
    // Only the newest geocoding may set the place name: an older one that
    // answers late would name a place the machine has left.
    std::uint64_t m_geocodingGeneration = 0;
};

/// Whether `fix` may be handed out again at `now`: measured less than 900 s
/// before now. A fix dated after now (the clock was set back) is not.
bool isReusableFix(const LocationFix& fix, Date now);

/// The place name the placemarks give: the first one's locality, else its
/// administrative area; none without placemarks.
std::optional<std::string> placeNameFrom(const std::vector<Placemark>& placemarks);
