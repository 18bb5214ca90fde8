#pragma once
// A geocoder for tests: requests wait until the test answers them, in any
// order, unless an automatic answer is set.

#include "Platform/Network/ReverseGeocoder.h"

#include <deque>

class FakeReverseGeocoder final : public ReverseGeocoder {
public:
    struct Request {
        double latitude = 0;
        double longitude = 0;
        Completion completion;
    };

    void reverseGeocode(double latitude, double longitude, Completion completion) override
    {
        if (autoAnswer) {
            completion(*autoAnswer);
            return;
        }
        m_waiting.push_back({latitude, longitude, std::move(completion)});
    }

    /// Answers the request at `index` of the waiting ones (0 is the oldest).
    void answer(Expected<std::vector<Placemark>, std::string> result, std::size_t index = 0)
    {
        if (index >= m_waiting.size())
            return;
        auto completion = std::move(m_waiting[index].completion);
        m_waiting.erase(m_waiting.begin() + static_cast<std::ptrdiff_t>(index));
        completion(std::move(result));
    }

    std::optional<Expected<std::vector<Placemark>, std::string>> autoAnswer;
    const std::deque<Request>& waiting() const { return m_waiting; }

private:
    std::deque<Request> m_waiting;
};
