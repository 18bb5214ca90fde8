#include "VudeServices/FocusFilterBridge.h"

#include "VudeServices/FocusService.h"
#include "VudeKit/UserDefaults.h"

FocusFilterBridge::FocusFilterBridge(std::shared_ptr<UserDefaults> defaults) : m_defaults(std::move(defaults)) {}

FocusFilterBridge& FocusFilterBridge::shared()
{
    static FocusFilterBridge bridge;
    return bridge;
}

std::shared_ptr<UserDefaults> FocusFilterBridge::defaults() const
{
    return m_defaults ? m_defaults : UserDefaults::standard();
}

FocusService* FocusFilterBridge::service() const
{
    return m_service.data();
}

void FocusFilterBridge::apply(std::optional<std::string> name, std::optional<std::string> symbol)
{
    const auto store = defaults();
    const auto write = [&](const char* key, const std::optional<std::string>& value) {
        if (value)
            store->set(key, *value);
        else
            store->remove(key);
    };
    write(kModeNameKey, name);
    write(kModeSymbolKey, symbol);
    if (m_service)
        m_service->applyFilterIdentity(std::move(name), std::move(symbol));
}

void FocusFilterBridge::restore(FocusService& service)
{
    m_service = &service;
    const auto store = defaults();
    // A value of another kind is not one the filter wrote: it counts as absent.
    const auto text = [&](const char* key) -> std::optional<std::string> {
        const auto value = store->object(key);
        if (!value || !value->string())
            return std::nullopt;
        return *value->string();
    };
    auto name = text(kModeNameKey);
    auto symbol = text(kModeSymbolKey);
    if (!name && !symbol)
        return;
    service.applyFilterIdentity(std::move(name), std::move(symbol));
}
