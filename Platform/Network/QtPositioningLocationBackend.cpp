#include "Platform/Network/QtPositioningLocationBackend.h"

#include "VudeKit/UserDefaults.h"

#include <QTimer>

namespace {

// The installed desktop entry is "vude.desktop"; GeoClue checks the app
// against it.
constexpr auto kDesktopId = "vude";

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
    if (const auto missing = ensureSource()) {
        failLater(*missing);
        return;
    }
    m_source->requestUpdate(requestTimeoutMilliseconds);
}

std::optional<std::string> QtPositioningLocationBackend::ensureSource()
{
    if (m_source)
        return std::nullopt;
    auto made = PositionSource::make(m_pluginName, m_parameters,
                                     {.located =
                                          [this](LocationFix fix) {
                                              if (m_handlers.locationsUpdated)
                                                  m_handlers.locationsUpdated({fix});
                                          },
                                      .failed =
                                          [this](std::string error) {
                                              if (m_handlers.failed)
                                                  m_handlers.failed(std::move(error));
                                          }});
    if (!made)
        return "No location service is available: " + made.error();
    if (!*made)
        return std::string("No location service is available.");
    m_source = std::move(*made);
    return std::nullopt;
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
