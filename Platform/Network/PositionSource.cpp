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
    using Entry = decltype(&vudeMakePositionSource);
    static const Expected<Entry, std::string> entry = []() -> Expected<Entry, std::string> {
        if (vudeMakePositionSource)
            return &vudeMakePositionSource;
        auto address = LoadableModule::symbol("vude-location.so", "vudeMakePositionSource");
        if (!address)
            return unexpected(address.error());
        return reinterpret_cast<Entry>(*address);
    }();
    if (!entry)
        return unexpected(entry.error());
    return std::unique_ptr<PositionSource>((*entry)(pluginName, parameters, std::move(handlers)));
}
