#pragma once
// A Qt Positioning source, as QtPositioningLocationBackend uses it. Qt
// Positioning serves only the weather, so the source lives in the module
// "vude-location.so" (Core/LoadableModule.h), opened at the first request
// for a fix.

#include "Platform/Network/LocationBackend.h"
#include "VudeKit/Expected.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <string>

class PositionSource {
public:
    struct Handlers {
        /// A fix; the time falls back to now when the source gives none.
        std::function<void(LocationFix)> located;
        /// A request failed; the text says why.
        std::function<void(std::string)> failed;
    };

    virtual ~PositionSource() = default;

    /// The `pluginName` source with `parameters` asking at reduced accuracy;
    /// none when Qt has no such source, or the module's loader's message.
    /// Main thread.
    static Expected<std::unique_ptr<PositionSource>, std::string> make(const QString& pluginName,
                                                                       const QVariantMap& parameters,
                                                                       Handlers handlers);

    /// Asks for one fix, answered through the handlers.
    virtual void requestUpdate(int timeoutMilliseconds) = 0;
};
