#include "VudeServices/WeatherProvider.h"

#include "Platform/Network/OpenMeteoWeatherService.h"

#include <QPointer>

#include <algorithm>

WeatherProvider::WeatherProvider(LocationProvider& locations, std::unique_ptr<WeatherService> service,
                                 ClockSource& clock, Scheduler& scheduler, QObject* parent)
    : QObject(parent), m_locations(locations), m_service(std::move(service)), m_clock(clock), m_scheduler(scheduler)
{
}

WeatherProvider::~WeatherProvider()
{
    m_timer.cancel();
    for (auto& task : m_laterRefreshes)
        task.cancel();
}

std::unique_ptr<WeatherProvider> WeatherProvider::forSystem(LocationProvider& locations, ClockSource& clock,
                                                            Scheduler& scheduler)
{
    return std::make_unique<WeatherProvider>(locations, OpenMeteoWeatherService::forSystem(scheduler), clock,
                                             scheduler);
}

void WeatherProvider::setPlace(WeatherPlace place)
{
    if (place == m_place)
        return;
    m_place = std::move(place);
    emit placeChanged();
    refreshLater();
}

void WeatherProvider::start()
{
    refreshLater();
    m_timer.cancel();
    QPointer<WeatherProvider> self(this);
    m_timer = m_scheduler.every(refreshInterval, [self] {
        if (self)
            self->refresh(false);
    });
}

void WeatherProvider::stop()
{
    m_timer.cancel();
    m_timer = {};
}

void WeatherProvider::requestLocationAccess()
{
    if (m_locations.authorization() == LocationAuthorizationStatus::notDetermined)
        m_locations.requestAccess();
    refreshLater();
}

void WeatherProvider::refreshLater()
{
    std::erase_if(m_laterRefreshes, [](const ScheduledTask& task) { return !task.isActive(); });
    QPointer<WeatherProvider> self(this);
    m_laterRefreshes.push_back(m_scheduler.after(Duration::zero(), [self] {
        if (self)
            self->refresh(true);
    }));
}

void WeatherProvider::refresh(bool force)
{
    if (shouldSkipRefresh(force, m_lastFetch, m_clock.now()))
        return;
    if (m_place.kind() == WeatherPlace::Kind::fixed) {
        fetch(m_place.latitude(), m_place.longitude(), m_place.name());
        return;
    }
    if (const auto stop = availabilityBeforeAsking(m_locations.authorization())) {
        setAvailability(*stop);
        return;
    }
    QPointer<WeatherProvider> self(this);
    m_locations.current([self](std::optional<LocationFix> fix) {
        if (!self)
            return;
        if (!fix) {
            self->setAvailability(WeatherAvailability::needsLocation());
            return;
        }
        // The name as it stands now: a new fix is named only after callers
        // got it.
        self->fetch(fix->latitude, fix->longitude, self->m_locations.placeName());
    });
}

void WeatherProvider::fetch(double latitude, double longitude, std::optional<std::string> placeName)
{
    QPointer<WeatherProvider> self(this);
    m_service->weather(latitude, longitude,
                       [self, placeName = std::move(placeName)](Expected<WeatherReport, std::string> result) {
                           if (!self)
                               return;
                           if (!result) {
                               self->setAvailability(WeatherAvailability::failed(result.error()));
                               return;
                           }
                           const Date now = self->m_clock.now();
                           self->setSnapshot(makeWeatherSnapshot(*result, placeName, now));
                           if (!self)
                               return;
                           self->m_lastFetch = now;
                           self->setAvailability(WeatherAvailability::ready());
                           if (self)
                               self->loadAttribution();
                       });
}

void WeatherProvider::loadAttribution()
{
    if (m_attributionURL)
        return;
    QPointer<WeatherProvider> self(this);
    m_service->attribution([self](Expected<WeatherAttribution, std::string> result) {
        if (self && result)
            self->setAttribution(*result);
    });
}

void WeatherProvider::setSnapshot(std::optional<WeatherSnapshot> snapshot)
{
    if (snapshot == m_snapshot)
        return;
    m_snapshot = std::move(snapshot);
    emit snapshotChanged();
}

void WeatherProvider::setAvailability(WeatherAvailability availability)
{
    if (availability == m_availability)
        return;
    m_availability = std::move(availability);
    emit availabilityChanged();
}

void WeatherProvider::setAttribution(const WeatherAttribution& attribution)
{
    QPointer<WeatherProvider> self(this);
    if (m_attributionURL != attribution.legalPageURL) {
        m_attributionURL = attribution.legalPageURL;
        emit attributionURLChanged();
    }
    if (self && m_attributionMarkURL != attribution.combinedMarkDarkURL) {
        m_attributionMarkURL = attribution.combinedMarkDarkURL;
        emit attributionMarkURLChanged();
    }
}

bool shouldSkipRefresh(bool force, std::optional<Date> lastFetch, Date now)
{
    if (force || !lastFetch)
        return false;
    const Duration age = now - *lastFetch;
    return age >= Duration::zero() && age < WeatherProvider::minimumFetchInterval;
}

std::optional<WeatherAvailability> availabilityBeforeAsking(LocationAuthorizationStatus status)
{
    switch (status) {
    case LocationAuthorizationStatus::notDetermined:
        return WeatherAvailability::needsLocation();
    case LocationAuthorizationStatus::restricted:
    case LocationAuthorizationStatus::denied:
        return WeatherAvailability::locationDenied();
    case LocationAuthorizationStatus::authorizedAlways:
    case LocationAuthorizationStatus::authorizedWhenInUse:
        break;
    }
    return std::nullopt;
}
