#pragma once
// Place names from a Nominatim reverse-geocoding service (its "jsonv2" answer)
// over HTTP, at city level and in the user's languages. The base URL is
// configurable; the app takes it from VUDE_GEOCODER_URL when set. The service
// asks clients to name themselves, so every request carries the app's
// User-Agent. Main thread only.

#include "Platform/Core/Environment.h"
#include "Platform/Network/HttpClient.h"
#include "Platform/Network/ReverseGeocoder.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>

class NominatimReverseGeocoder final : public ReverseGeocoder {
public:
    static constexpr const char* defaultBaseURL = "https://nominatim.openstreetmap.org";
    static constexpr const char* baseURLVariable = "VUDE_GEOCODER_URL";

    /// `languages`: the Accept-Language list ("en-GB,en").
    NominatimReverseGeocoder(QUrl baseURL, QString languages, Scheduler& scheduler,
                             Duration timeout = HttpClient::defaultTimeout);

    /// The public service, or the one VUDE_GEOCODER_URL names, in the
    /// languages of the system locale.
    static std::unique_ptr<NominatimReverseGeocoder> forSystem(Scheduler& scheduler,
                                                               const Environment::Lookup& environment = Environment::process());

    void reverseGeocode(double latitude, double longitude, Completion completion) override;

    QUrl reverseURL(double latitude, double longitude) const;
    /// An answer's body read as placemarks: none when the service knows no
    /// place there.
    static Expected<std::vector<Placemark>, std::string> parseAnswer(const QByteArray& body);

private:
    QUrl m_baseURL;
    QString m_languages;
    HttpClient m_client;
};
