#pragma once
// Keeps the current weather for the Desk's weather widget: one snapshot of
// the conditions now and today's high and low, whether weather can be shown
// and why not, and the weather service's attribution links.
//
// start() fetches at once and then refreshes every 1200 s; a refresh that is
// not forced is skipped while the last successful fetch is less than 600 s
// old. The position comes from the LocationProvider (or a fixed place), the
// weather from a WeatherService. A failed fetch keeps the last snapshot and
// says why in `availability`. Refreshes are neither queued nor merged: two
// that overlap both run, and the one that finishes last leaves its values.
//
// Observers are told when snapshot, availability, attributionURL,
// attributionMarkURL or place change, and only then. Main thread only.

#include "Platform/Network/WeatherService.h"
#include "VudeKit/Scheduler.h"
#include "VudeServices/LocationProvider.h"
#include "VudeServices/WeatherAvailability.h"
#include "VudeServices/WeatherPlace.h"
#include "VudeServices/WeatherSnapshot.h"

#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

class WeatherProvider final : public QObject {
    Q_OBJECT
public:
    static constexpr Duration refreshInterval = std::chrono::seconds(1200);
    /// A refresh that is not forced fetches only this long after the last
    /// successful fetch.
    static constexpr Duration minimumFetchInterval = std::chrono::seconds(600);

    /// Fetches nothing yet. `locations`, `clock` and `scheduler` must outlive
    /// the provider.
    WeatherProvider(LocationProvider& locations, std::unique_ptr<WeatherService> service, ClockSource& clock,
                    Scheduler& scheduler, QObject* parent = nullptr);
    ~WeatherProvider() override;

    /// Open-Meteo (or the service VUDE_WEATHER_URL names).
    static std::unique_ptr<WeatherProvider> forSystem(LocationProvider& locations, ClockSource& clock,
                                                      Scheduler& scheduler);

    const std::optional<WeatherSnapshot>& snapshot() const { return m_snapshot; }
    const WeatherAvailability& availability() const { return m_availability; }
    const std::optional<QUrl>& attributionURL() const { return m_attributionURL; }
    const std::optional<QUrl>& attributionMarkURL() const { return m_attributionMarkURL; }
    const WeatherPlace& place() const { return m_place; }
    /// A different place starts a forced refresh from the event loop; the same
    /// place does nothing.
    void setPlace(WeatherPlace place);

    LocationProvider& locations() const { return m_locations; }
    LocationAuthorizationStatus authorization() const { return m_locations.authorization(); }

    /// Starts a forced refresh from the event loop and (re)starts the 1200 s
    /// timer, whose ticks refresh without force.
    void start();
    /// Stops the timer.
    void stop();
    bool isRunning() const { return m_timer.isActive(); }

    /// Fetches the weather, unless not forced and the last success is recent.
    void refresh(bool force);

    /// Asks for location access while it is undecided, then starts a forced
    /// refresh from the event loop whatever the status; the refresh reads the
    /// status as it stands then and does not wait for an answer.
    void requestLocationAccess();

signals:
    void snapshotChanged();
    void availabilityChanged();
    void attributionURLChanged();
    void attributionMarkURLChanged();
    void placeChanged();

private:
    void refreshLater();
    void fetch(double latitude, double longitude, std::optional<std::string> placeName);
    void loadAttribution();
    void setSnapshot(std::optional<WeatherSnapshot> snapshot);
    void setAvailability(WeatherAvailability availability);
    void setAttribution(const WeatherAttribution& attribution);

    LocationProvider& m_locations;
    std::unique_ptr<WeatherService> m_service;
    ClockSource& m_clock;
    Scheduler& m_scheduler;
    std::optional<WeatherSnapshot> m_snapshot;
    WeatherAvailability m_availability = WeatherAvailability::needsLocation();
    std::optional<QUrl> m_attributionURL;
    std::optional<QUrl> m_attributionMarkURL;
    WeatherPlace m_place = WeatherPlace::current();
    std::optional<Date> m_lastFetch;
    ScheduledTask m_timer;
    std::vector<ScheduledTask> m_laterRefreshes;
};

/// Whether a refresh at `now` stops before fetching: not forced, and the last
/// successful fetch lies less than 600 s before now. A last fetch dated after
/// now (the clock was set back) does not hold a refresh back.
bool shouldSkipRefresh(bool force, std::optional<Date> lastFetch, Date now);

/// What a refresh for the current position shows without asking for a fix:
/// needsLocation while access is undecided, locationDenied when it is denied
/// or restricted; none when the location provider is to be asked.
std::optional<WeatherAvailability> availabilityBeforeAsking(LocationAuthorizationStatus status);
