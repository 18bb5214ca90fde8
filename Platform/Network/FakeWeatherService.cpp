#include "Platform/Network/FakeWeatherService.h"

void FakeWeatherService::weather(double latitude, double longitude, WeatherCompletion completion)
{
    m_requested.emplace_back(latitude, longitude);
    if (autoAnswer) {
        completion(*autoAnswer);
        return;
    }
    m_waiting.push_back({latitude, longitude, std::move(completion)});
}

void FakeWeatherService::attribution(AttributionCompletion completion)
{
    ++m_attributionRequests;
    if (autoAttribution) {
        completion(*autoAttribution);
        return;
    }
    m_waitingAttributions.push_back(std::move(completion));
}

void FakeWeatherService::answer(Expected<WeatherReport, std::string> result, std::size_t index)
{
    if (index >= m_waiting.size())
        return;
    auto completion = std::move(m_waiting[index].completion);
    m_waiting.erase(m_waiting.begin() + static_cast<std::ptrdiff_t>(index));
    completion(std::move(result));
}

void FakeWeatherService::answerAttribution(Expected<WeatherAttribution, std::string> result)
{
    if (m_waitingAttributions.empty())
        return;
    auto completion = std::move(m_waitingAttributions.front());
    m_waitingAttributions.pop_front();
    completion(std::move(result));
}
