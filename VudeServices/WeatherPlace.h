#pragma once
// Where to take the weather for: a fixed coordinate with its name, or the
// location provider's position.

#include <string>

class WeatherPlace {
public:
    enum class Kind { fixed, current };

    static WeatherPlace fixed(double latitude, double longitude, std::string name)
    {
        return {Kind::fixed, latitude, longitude, std::move(name)};
    }
    static WeatherPlace current() { return {Kind::current, 0, 0, {}}; }

    Kind kind() const { return m_kind; }
    /// In degrees; zero for current.
    double latitude() const { return m_latitude; }
    double longitude() const { return m_longitude; }
    /// The name shown with the weather; empty for current.
    const std::string& name() const { return m_name; }

    bool operator==(const WeatherPlace&) const = default;

private:
    WeatherPlace(Kind kind, double latitude, double longitude, std::string name)
        : m_kind(kind), m_latitude(latitude), m_longitude(longitude), m_name(std::move(name))
    {
    }

    Kind m_kind;
    double m_latitude;
    double m_longitude;
    std::string m_name;
};
