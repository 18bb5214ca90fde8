#pragma once
// Turning a coordinate into place names.
//   NominatimReverseGeocoder  a Nominatim reverse-geocoding service over HTTP
//   FakeReverseGeocoder       a scripted double for tests
//
// Completions run on the main thread, never after the geocoder is destroyed.

#include "VudeKit/Expected.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

/// What a place is called, from the town outwards.
struct Placemark {
    /// The city, town or village.
    std::optional<std::string> locality;
    /// The state, province or region.
    std::optional<std::string> administrativeArea;

    bool operator==(const Placemark&) const = default;
};

class ReverseGeocoder {
public:
    /// The placemarks for the coordinate, best first (possibly none), or why
    /// there are none.
    using Completion = std::function<void(Expected<std::vector<Placemark>, std::string>)>;

    virtual ~ReverseGeocoder() = default;
    virtual void reverseGeocode(double latitude, double longitude, Completion completion) = 0;
};
