#include "VudeServices/WeatherConditions.h"

#include <array>

namespace {

struct Row {
    int code;
    const char* description;
    const char* daySymbol;
    const char* nightSymbol;
};

constexpr std::array kRows{
    Row{0, "Clear", "sun.max", "moon.stars"},
    Row{1, "Mostly Clear", "sun.max", "moon.stars"},
    Row{2, "Partly Cloudy", "cloud.sun", "cloud.moon"},
    Row{3, "Cloudy", "cloud", "cloud"},
    Row{45, "Foggy", "cloud.fog", "cloud.fog"},
    Row{48, "Freezing Fog", "cloud.fog", "cloud.fog"},
    Row{51, "Light Drizzle", "cloud.drizzle", "cloud.drizzle"},
    Row{53, "Drizzle", "cloud.drizzle", "cloud.drizzle"},
    Row{55, "Heavy Drizzle", "cloud.drizzle", "cloud.drizzle"},
    Row{56, "Freezing Drizzle", "cloud.sleet", "cloud.sleet"},
    Row{57, "Heavy Freezing Drizzle", "cloud.sleet", "cloud.sleet"},
    Row{61, "Light Rain", "cloud.rain", "cloud.rain"},
    Row{63, "Rain", "cloud.rain", "cloud.rain"},
    Row{65, "Heavy Rain", "cloud.heavyrain", "cloud.heavyrain"},
    Row{66, "Freezing Rain", "cloud.sleet", "cloud.sleet"},
    Row{67, "Heavy Freezing Rain", "cloud.sleet", "cloud.sleet"},
    Row{71, "Light Snow", "cloud.snow", "cloud.snow"},
    Row{73, "Snow", "cloud.snow", "cloud.snow"},
    Row{75, "Heavy Snow", "cloud.snow", "cloud.snow"},
    Row{77, "Snow Grains", "cloud.snow", "cloud.snow"},
    Row{80, "Light Showers", "cloud.rain", "cloud.rain"},
    Row{81, "Showers", "cloud.rain", "cloud.rain"},
    Row{82, "Heavy Showers", "cloud.heavyrain", "cloud.heavyrain"},
    Row{85, "Snow Showers", "cloud.snow", "cloud.snow"},
    Row{86, "Heavy Snow Showers", "cloud.snow", "cloud.snow"},
    Row{95, "Thunderstorms", "cloud.bolt.rain", "cloud.bolt.rain"},
    Row{96, "Thunderstorms with Hail", "cloud.bolt.rain", "cloud.bolt.rain"},
    Row{99, "Thunderstorms with Heavy Hail", "cloud.bolt.rain", "cloud.bolt.rain"},
};

} // namespace

WeatherCondition weatherCondition(int code, bool isDaylight)
{
    for (const Row& row : kRows)
        if (row.code == code)
            return {row.description, isDaylight ? row.daySymbol : row.nightSymbol};
    return {"Unknown", "cloud"};
}
