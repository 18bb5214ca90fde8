#include "Platform/Network/PositionSource.h"

#include <QDateTime>
#include <QGeoPositionInfoSource>

#include <chrono>

namespace {

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

class QtPositionSource final : public PositionSource {
public:
    // Owns the source through m_context, which also receives its signals, so
    // neither outlives this object.
    QtPositionSource(QGeoPositionInfoSource* source, Handlers handlers)
        : m_source(source), m_handlers(std::move(handlers))
    {
        m_source->setParent(&m_context);
        // Reduced accuracy: no satellites, which GeoClue turns into a coarse level.
        m_source->setPreferredPositioningMethods(QGeoPositionInfoSource::NonSatellitePositioningMethods);
        QObject::connect(m_source, &QGeoPositionInfoSource::positionUpdated, &m_context,
                         [this](const QGeoPositionInfo& info) {
                             if (!info.isValid() || !info.coordinate().isValid()) {
                                 if (m_handlers.failed)
                                     m_handlers.failed("The location service gave no position.");
                                 return;
                             }
                             const auto now =
                                 std::chrono::time_point_cast<Duration>(std::chrono::system_clock::now());
                             if (m_handlers.located)
                                 m_handlers.located({info.coordinate().latitude(), info.coordinate().longitude(),
                                                     dateFrom(info.timestamp(), now)});
                         });
        QObject::connect(m_source, &QGeoPositionInfoSource::errorOccurred, &m_context,
                         [this](QGeoPositionInfoSource::Error error) {
                             if (m_handlers.failed)
                                 m_handlers.failed(describe(error));
                         });
    }

    void requestUpdate(int timeoutMilliseconds) override { m_source->requestUpdate(timeoutMilliseconds); }

private:
    QObject m_context;
    QGeoPositionInfoSource* m_source;
    Handlers m_handlers;
};

} // namespace

extern "C" __attribute__((visibility("default"))) PositionSource* vudeMakePositionSource(
    const QString& pluginName, const QVariantMap& parameters, PositionSource::Handlers handlers)
{
    QGeoPositionInfoSource* source = QGeoPositionInfoSource::createSource(pluginName, parameters, nullptr);
    if (!source)
        return nullptr;
    return new QtPositionSource(source, std::move(handlers));
}
