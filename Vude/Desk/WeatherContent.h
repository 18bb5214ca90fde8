#pragma once
// What the weather widget shows for the provider's availability and
// snapshot: the reading (symbol, temperature, condition, today's high and
// low, the place), a small progress indicator before the first reading, or
// an empty state saying why there is none and what to do about it.
// Temperatures are in degrees Fahrenheit exactly when the locale uses the US
// measurement system, whole degrees either way.

#include "VudeServices/WeatherAvailability.h"
#include "VudeServices/WeatherSnapshot.h"

#include <QLocale>

#include <optional>
#include <string>

struct WeatherContent {
    enum class Kind { reading, progress, emptyState };
    /// What the empty state's button does.
    enum class Action { none, allowLocation, openSettings };

    Kind kind = Kind::progress;

    // The reading.
    std::string symbol{};
    std::string temperature{};
    std::string condition{};
    /// "H 71°F  ·  L 55°F"; none unless both are known.
    std::optional<std::string> highLow{};
    std::optional<std::string> place{};

    // The empty state.
    std::string emptySymbol{};
    std::string message{};
    std::optional<std::string> detail{};
    Action action = Action::none;
    std::string actionTitle{};

    bool operator==(const WeatherContent&) const = default;

    static WeatherContent of(const WeatherAvailability& availability, const std::optional<WeatherSnapshot>& snapshot,
                             const QLocale& locale);
};
