#pragma once
// A weather service for tests. Requests wait until the test answers them, in
// any order, unless an automatic answer is set.

#include "Platform/Network/WeatherService.h"

#include <deque>

class FakeWeatherService final : public WeatherService {
public:
    struct Request {
        double latitude = 0;
        double longitude = 0;
        WeatherCompletion completion;
    };

    void weather(double latitude, double longitude, WeatherCompletion completion) override;
    void attribution(AttributionCompletion completion) override;

    /// Answers the request at `index` of the waiting ones (0 is the oldest).
    void answer(Expected<WeatherReport, std::string> result, std::size_t index = 0);
    void answerAttribution(Expected<WeatherAttribution, std::string> result);

    /// When set, every weather request is answered with it at once.
    std::optional<Expected<WeatherReport, std::string>> autoAnswer;
    /// When set, every attribution request is answered with it at once.
    std::optional<Expected<WeatherAttribution, std::string>> autoAttribution;

    const std::deque<Request>& waiting() const { return m_waiting; }
    /// Every weather request made, answered or not: (latitude, longitude).
    const std::vector<std::pair<double, double>>& requested() const { return m_requested; }
    int attributionRequests() const { return m_attributionRequests; }

private:
    std::deque<Request> m_waiting;
    std::deque<AttributionCompletion> m_waitingAttributions;
    std::vector<std::pair<double, double>> m_requested;
    int m_attributionRequests = 0;
};
