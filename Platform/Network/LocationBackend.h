#pragma once
// What the location provider needs of the system's location services: the
// authorization state and its request, one-shot fixes and their failures.
//   QtPositioningLocationBackend  GeoClue through Qt Positioning, with the
//                                 authorization kept in the user defaults
//   FakeLocationBackend           a scripted double for tests
//
// Handlers run on the main thread, from its event loop or inside the call that
// caused them; a backend never calls them after it is destroyed.

#include "VudeKit/Date.h"

#include <functional>
#include <string>
#include <vector>

/// Whether the app may read the location. The numbers are the stored form.
enum class LocationAuthorizationStatus : int {
    notDetermined = 0,
    restricted = 1,
    denied = 2,
    authorizedAlways = 3,
    authorizedWhenInUse = 4,
};

/// One position: a coordinate in degrees and when it was measured.
struct LocationFix {
    double latitude = 0;
    double longitude = 0;
    Date timestamp;

    bool operator==(const LocationFix&) const = default;
};

class LocationBackend {
public:
    struct Handlers {
        /// The status changed; read it again with authorizationStatus().
        std::function<void()> authorizationChanged;
        /// New fixes, oldest first; may be empty.
        std::function<void(std::vector<LocationFix>)> locationsUpdated;
        /// A requested fix could not be had; the text says why.
        std::function<void(std::string)> failed;
    };

    virtual ~LocationBackend() = default;

    /// Replaces the handlers.
    virtual void setHandlers(Handlers handlers) = 0;

    virtual LocationAuthorizationStatus authorizationStatus() const = 0;
    /// Asks for access while the status is not determined; the answer comes
    /// through authorizationChanged (it may come before this returns).
    virtual void requestAuthorization() = 0;
    /// Asks for one fix at reduced accuracy; answered by locationsUpdated or
    /// failed. Calls made while one is pending may share its answer.
    virtual void requestLocation() = 0;
};
