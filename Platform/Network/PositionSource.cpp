#include "Platform/Network/PositionSource.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" PositionSource* vudeMakePositionSource(const QString& pluginName, const QVariantMap& parameters,
                                                  PositionSource::Handlers handlers) __attribute__((weak));

Expected<std::unique_ptr<PositionSource>, std::string> PositionSource::make(const QString& pluginName,
                                                                            const QVariantMap& parameters,
                                                                            Handlers handlers)
{
    static const auto entry =
        LoadableModule::entry(vudeMakePositionSource, "vude-location.so", "vudeMakePositionSource");
    if (!entry)
        return unexpected(entry.error());
    return std::unique_ptr<PositionSource>((*entry)(pluginName, parameters, std::move(handlers)));
}
