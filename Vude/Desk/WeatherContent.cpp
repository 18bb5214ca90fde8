#include "Vude/Desk/WeatherContent.h"

#include "VudeKit/LinuxTexts.h"

namespace {

WeatherContent emptyState(std::string symbol, std::string message, std::optional<std::string> detail,
                          WeatherContent::Action action = WeatherContent::Action::none, std::string title = {})
{
    WeatherContent content;
    content.kind = WeatherContent::Kind::emptyState;
    content.emptySymbol = std::move(symbol);
    content.message = std::move(message);
    content.detail = std::move(detail);
    content.action = action;
    content.actionTitle = std::move(title);
    return content;
}

} // namespace

WeatherContent WeatherContent::of(const WeatherAvailability& availability,
                                  const std::optional<WeatherSnapshot>& snapshot, const QLocale& locale)
{
    using K = WeatherAvailability::Kind;
    switch (availability.kind()) {
    case K::needsLocation:
        return emptyState("location", "Weather where you are", "Location is used at reduced accuracy.",
                          Action::allowLocation, "Allow Location");
    case K::locationDenied:
        return emptyState("location.slash", "Location is off for Vude",
                          std::string(LinuxTexts::weatherLocationDeniedDetail.shown), Action::openSettings,
                          "Open Settings");
    case K::failed:
        return emptyState("cloud.slash", "Couldn't load the forecast", availability.message());
    case K::ready:
        break;
    }
    WeatherContent content;
    if (!snapshot)
        return content;
    const TemperatureUnit unit = preferredTemperatureUnit(locale);
    content.kind = Kind::reading;
    content.symbol = snapshot->symbolName;
    content.temperature = WeatherSnapshot::formatted(snapshot->temperature, unit, locale);
    content.condition = snapshot->condition;
    if (snapshot->high && snapshot->low)
        content.highLow = "H " + WeatherSnapshot::formatted(*snapshot->high, unit, locale) + "  \u00B7  L " +
                          WeatherSnapshot::formatted(*snapshot->low, unit, locale);
    content.place = snapshot->locationName;
    return content;
}
