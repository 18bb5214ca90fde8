#include "Platform/Network/QtPositioningLocationBackend.h"

#include "VudeKit/UserDefaults.h"

#include <QDateTime>
#include <QGeoPositionInfoSource>
#include <QTimer>

namespace {

// The installed desktop entry is "vude.desktop"; GeoClue checks the app
// against it.
constexpr auto kDesktopId = "vude";

std::string describe(QGeoPositionInfoSource::Error error)
{
    switch (error) {
    case QGeoPositionInfoSource::AccessError:
        return "The location service refused access.";
    case QGeoPositionInfoSource::ClosedError:
        return "The location service closed.";
    case QGeoPositionInfoSource::UpdateTimeoutError:
        return "The location service found no position in time.";
    case QGeoPositionInfoSource::UnknownSourceError:
    case QGeoPositionInfoSource::NoError:
        break;
    }
    return "The location service failed.";
}

Date dateFrom(const QDateTime& timestamp, Date fallback)
{
    if (!timestamp.isValid())
        return fallback;
    return Date(std::chrono::milliseconds(timestamp.toMSecsSinceEpoch()));
}

} // namespace

LocationAuthorizationStatus locationAuthorizationFromStored(std::optional<std::int64_t> stored)
{
    if (!stored || *stored < 0 || *stored > 4)
        return LocationAuthorizationStatus::notDetermined;
    return static_cast<LocationAuthorizationStatus>(*stored);
}

QtPositioningLocationBackend::QtPositioningLocationBackend(std::shared_ptr<UserDefaults> defaults,
                                                           QString pluginName, QVariantMap parameters)
    : m_defaults(std::move(defaults)), m_pluginName(std::move(pluginName)), m_parameters(std::move(parameters))
{
}

QtPositioningLocationBackend::~QtPositioningLocationBackend() = default;

std::unique_ptr<QtPositioningLocationBackend> QtPositioningLocationBackend::forSystem()
{
    return std::make_unique<QtPositioningLocationBackend>(UserDefaults::standard(), QStringLiteral("geoclue2"),
                                                          QVariantMap{{QStringLiteral("desktopId"), kDesktopId}});
}

LocationAuthorizationStatus QtPositioningLocationBackend::authorizationStatus() const
{
    return locationAuthorizationFromStored(m_defaults->integerForKey(authorizationKey));
}

void QtPositioningLocationBackend::requestAuthorization()
{
    if (authorizationStatus() != LocationAuthorizationStatus::notDetermined)
        return;
    m_defaults->set(authorizationKey, static_cast<int>(LocationAuthorizationStatus::authorizedAlways));
    if (m_handlers.authorizationChanged)
        m_handlers.authorizationChanged();
}

void QtPositioningLocationBackend::requestLocation()
{
    if (!ensureSource()) {
        failLater("No location service is available.");
        return;
    }
    m_source->requestUpdate(requestTimeoutMilliseconds);
}

bool QtPositioningLocationBackend::ensureSource()
{
    if (m_source)
        return true;
    m_source = QGeoPositionInfoSource::createSource(m_pluginName, m_parameters, &m_context);
    if (!m_source)
        return false;
    // Reduced accuracy: no satellites, which GeoClue turns into a coarse level.
    m_source->setPreferredPositioningMethods(QGeoPositionInfoSource::NonSatellitePositioningMethods);
    QObject::connect(m_source, &QGeoPositionInfoSource::positionUpdated, &m_context,
                     [this](const QGeoPositionInfo& info) {
                         if (!info.isValid() || !info.coordinate().isValid()) {
                             if (m_handlers.failed)
                                 m_handlers.failed("The location service gave no position.");
                             return;
                         }
                         const auto now = std::chrono::time_point_cast<Duration>(std::chrono::system_clock::now());
                         std::vector<LocationFix> fixes{{info.coordinate().latitude(), info.coordinate().longitude(),
                                                         dateFrom(info.timestamp(), now)}};
                         if (m_handlers.locationsUpdated)
                             m_handlers.locationsUpdated(std::move(fixes));
                     });
    QObject::connect(m_source, &QGeoPositionInfoSource::errorOccurred, &m_context,
                     [this](QGeoPositionInfoSource::Error error) {
                         if (m_handlers.failed)
                             m_handlers.failed(describe(error));
                     });
    return true;
}

void QtPositioningLocationBackend::failLater(std::string error)
{
    // Answered from the event loop, as a real source would, never inside the
    // caller's request.
    QTimer::singleShot(0, &m_context, [this, error = std::move(error)] {
        if (m_handlers.failed)
            m_handlers.failed(error);
    });
}
