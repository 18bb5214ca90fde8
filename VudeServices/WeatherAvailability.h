#pragma once
// Whether weather can be shown, and why not. Compared by case and, for
// failed, by its text.

#include <string>

class WeatherAvailability {
public:
    enum class Kind { failed, ready, needsLocation, locationDenied };

    /// The last fetch failed; `message` says why, for a person.
    static WeatherAvailability failed(std::string message) { return {Kind::failed, std::move(message)}; }
    /// The last fetch succeeded.
    static WeatherAvailability ready() { return {Kind::ready, {}}; }
    /// No position yet: access undecided, or no fix could be had.
    static WeatherAvailability needsLocation() { return {Kind::needsLocation, {}}; }
    /// Location access is denied or restricted.
    static WeatherAvailability locationDenied() { return {Kind::locationDenied, {}}; }

    Kind kind() const { return m_kind; }
    /// The failure's text; empty for the other cases.
    const std::string& message() const { return m_message; }

    bool operator==(const WeatherAvailability&) const = default;

private:
    WeatherAvailability(Kind kind, std::string message) : m_kind(kind), m_message(std::move(message)) {}

    Kind m_kind;
    std::string m_message;
};
