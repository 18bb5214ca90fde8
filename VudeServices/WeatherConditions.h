#pragma once
// Our words and symbols for the WMO weather interpretation codes the weather
// service reports (WMO code table 4677, the subset forecast services use).

#include <string>

struct WeatherCondition {
    /// The condition as the Desk shows it ("Partly Cloudy").
    std::string description;
    /// A symbol name the symbol catalogue draws ("cloud.sun").
    std::string symbolName;

    bool operator==(const WeatherCondition&) const = default;
};

/// The condition for `code`; clear and partly cloudy skies take a moon at
/// night. A code outside the table reads "Unknown" with a plain cloud.
WeatherCondition weatherCondition(int code, bool isDaylight);
