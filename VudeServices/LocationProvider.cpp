#include "VudeServices/LocationProvider.h"

#include "Platform/Network/NominatimReverseGeocoder.h"
#include "Platform/Network/QtPositioningLocationBackend.h"

#include <QPointer>

LocationProvider::LocationProvider(std::unique_ptr<LocationBackend> backend, std::unique_ptr<ReverseGeocoder> geocoder,
                                   ClockSource& clock, Scheduler& scheduler, QObject* parent)
    : QObject(parent),
      m_backend(std::move(backend)),
      m_geocoder(std::move(geocoder)),
      m_clock(clock),
      m_scheduler(scheduler),
      m_authorization(m_backend->authorizationStatus())
{
    m_backend->setHandlers({
        [this] { onAuthorizationChanged(); },
        [this](std::vector<LocationFix> fixes) { onLocationsUpdated(std::move(fixes)); },
        [this](const std::string&) { onFailure(); },
    });
}

LocationProvider::~LocationProvider()
{
    m_giveUp.cancel();
    m_backend->setHandlers({});
}

std::unique_ptr<LocationProvider> LocationProvider::forSystem(ClockSource& clock, Scheduler& scheduler)
{
    return std::make_unique<LocationProvider>(QtPositioningLocationBackend::forSystem(),
                                              NominatimReverseGeocoder::forSystem(scheduler), clock, scheduler);
}

void LocationProvider::requestAccess()
{
    if (m_authorization == LocationAuthorizationStatus::notDetermined)
        m_backend->requestAuthorization();
}

void LocationProvider::current(Completion completion)
{
    if (m_authorization != LocationAuthorizationStatus::authorizedAlways) {
        completion(std::nullopt);
        return;
    }
    if (m_location && isReusableFix(*m_location, m_clock.now())) {
        completion(m_location);
        return;
    }
    m_continuations.push_back(std::move(completion));
    if (!m_giveUp.isActive())
        m_giveUp = m_scheduler.after(giveUpInterval, [this] { resume(m_location); });
    m_backend->requestLocation();
}

void LocationProvider::onAuthorizationChanged()
{
    const auto status = m_backend->authorizationStatus();
    if (status == m_authorization)
        return;
    m_authorization = status;
    emit authorizationChanged();
}

void LocationProvider::onLocationsUpdated(std::vector<LocationFix> fixes)
{
    if (fixes.empty())
        return;
    const LocationFix fix = fixes.back();
    if (m_location != fix) {
        m_location = fix;
        emit locationChanged();
    }
    if (resume(fix))
        reverseGeocode(fix);
}

void LocationProvider::onFailure()
{
    resume(m_location);
}

bool LocationProvider::resume(std::optional<LocationFix> location)
{
    m_giveUp.cancel();
    // Taken whole first: a completion may ask again, and that request waits
    // for the next fix.
    auto waiting = std::exchange(m_continuations, {});
    QPointer<LocationProvider> alive(this);
    for (auto& completion : waiting) {
        completion(location);
        if (!alive)
            return false;
    }
    return true;
}

void LocationProvider::reverseGeocode(LocationFix fix)
{
    const auto generation = ++m_geocodingGeneration;
    m_geocoder->reverseGeocode(fix.latitude, fix.longitude,
                               [this, generation](Expected<std::vector<Placemark>, std::string> result) {
                                   if (generation != m_geocodingGeneration)
                                       return;
                                   setPlaceName(result ? placeNameFrom(*result) : std::nullopt);
                               });
}

void LocationProvider::setPlaceName(std::optional<std::string> name)
{
    if (name == m_placeName)
        return;
    m_placeName = std::move(name);
    emit placeNameChanged();
}

bool isReusableFix(const LocationFix& fix, Date now)
{
    const Duration age = now - fix.timestamp;
    return age >= Duration::zero() && age < LocationProvider::fixReuseInterval;
}

std::optional<std::string> placeNameFrom(const std::vector<Placemark>& placemarks)
{
    if (placemarks.empty())
        return std::nullopt;
    const Placemark& first = placemarks.front();
    return first.locality ? first.locality : first.administrativeArea;
}
