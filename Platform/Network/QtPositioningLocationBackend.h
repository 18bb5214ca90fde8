#pragma once
// The desktop's location services. Fixes come from a Qt Positioning source:
// GeoClue on the system bus in the app (it identifies the app by its desktop
// entry's id). The desktop has no access prompt of its own, so the app keeps
// the authorization in the user defaults under "locationAuthorization" (the
// status number): absent means not determined, and a request grants
// "authorized always" at once.
//
// The source is made at the first request for a fix, so nothing reaches the
// system bus before the user allowed it, and Qt Positioning is loaded only
// then (PositionSource.h). No source, no module, no daemon or a source that
// errs: the request fails, nothing crashes. Main thread only.

#include "Platform/Network/LocationBackend.h"
#include "Platform/Network/PositionSource.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class UserDefaults;

class QtPositioningLocationBackend final : public LocationBackend {
public:
    static constexpr const char* authorizationKey = "locationAuthorization";
    /// How long one fix request may take before the source gives up.
    static constexpr int requestTimeoutMilliseconds = 30'000;

    /// `pluginName` and `parameters` choose the Qt Positioning source.
    QtPositioningLocationBackend(std::shared_ptr<UserDefaults> defaults, QString pluginName,
                                 QVariantMap parameters);
    ~QtPositioningLocationBackend() override;

    /// GeoClue with the app's desktop id, over the standard user defaults.
    static std::unique_ptr<QtPositioningLocationBackend> forSystem();

    void setHandlers(Handlers handlers) override { m_handlers = std::move(handlers); }
    LocationAuthorizationStatus authorizationStatus() const override;
    void requestAuthorization() override;
    void requestLocation() override;

    /// Whether the source could be made; false before the first request.
    bool hasSource() const { return m_source != nullptr; }

private:
    /// Why there is no source, if there is none.
    std::optional<std::string> ensureSource();
    void failLater(std::string error);

    std::shared_ptr<UserDefaults> m_defaults;
    QString m_pluginName;
    QVariantMap m_parameters;
    Handlers m_handlers;
    // The receiver of the late failures, so none outlives the backend.
    QObject m_context;
    std::unique_ptr<PositionSource> m_source;
};

/// The status a stored value stands for: one of the five numbers, else not
/// determined.
LocationAuthorizationStatus locationAuthorizationFromStored(std::optional<std::int64_t> stored);
