#pragma once
// What the audio service's tests share: readable failure messages for the
// audio value types and a fixture that records the published states.

#include "TestSupport.h"
#include "VudeServices/AudioService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

inline void PrintTo(const AudioState& state, std::ostream* out)
{
    *out << "{volume " << state.volume << (state.isMuted ? ", muted" : "") << ", \"" << state.deviceName << "\", "
         << rawValue(state.transport) << (state.canSetVolume ? "" : ", fixed volume") << "}";
}

inline void PrintTo(const AudioOutputDevice& device, std::ostream* out)
{
    *out << "{" << device.id << ", \"" << device.name << "\", " << rawValue(device.transport)
         << (device.isDefault ? ", default" : "") << "}";
}

// A service over the backend a test gives it; every state it publishes lands
// in `received`, on the main thread.
//
// Each state is read when its event is handled, so a test waits for one state
// before it makes the next change, and ends with a change whose state shows
// that nothing was published in between.
class AudioServiceFixture : public ::testing::Test {
protected:
    void makeService(std::unique_ptr<AudioBackend> backend)
    {
        service = std::make_unique<AudioService>(std::move(backend));
        service->states().consume(&receiver, [this](const AudioState& state) { received.push_back(state); });
    }

    bool receivedCount(std::size_t count)
    {
        return testsupport::waitUntil([&] { return received.size() >= count; });
    }

    // Waits until the service's kept list holds `count` outputs.
    bool outputsListed(std::size_t count)
    {
        return testsupport::waitUntil([&] { return service->outputDevices().size() == count; });
    }

    // Switches the default output and waits for the answer; none when it
    // never came.
    std::optional<bool> switchOutput(std::uint32_t id)
    {
        auto answer = std::make_shared<std::atomic<int>>(-1);
        service->setDefaultOutput(id, [answer](bool accepted) { *answer = accepted ? 1 : 0; });
        if (!testsupport::waitUntil([&] { return *answer >= 0; }))
            return std::nullopt;
        return *answer == 1;
    }

    // Starts and waits for the first state.
    void startBound()
    {
        service->start();
        ASSERT_TRUE(receivedCount(1));
    }

    std::unique_ptr<AudioService> service;
    QObject receiver;
    std::vector<AudioState> received;
};
