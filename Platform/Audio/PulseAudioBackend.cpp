#include "Platform/Audio/PulseAudioBackend.h"

#include "Platform/Audio/PulseAudioLibrary.h"
#include "Platform/Core/MainThread.h"
#include "VudeKit/Scheduler.h"

#include <QObject>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace {

using namespace std::chrono_literals;

constexpr Duration firstReconnectDelay = 500ms;
constexpr Duration longestReconnectDelay = 10s;

// Without the audio module there is no server to reach: the backend stays
// unavailable, as when none answers.
class NoServer final : public PulseAudioConnection {
public:
    void setEventHandler(EventHandler) override {}
    void start() override {}
    void stop() override {}
    void retry() override {}
    bool isAvailable() const override { return false; }
    int connectionAttempts() const override { return 0; }
    std::optional<std::uint32_t> defaultOutputDevice() override { return std::nullopt; }
    std::optional<AudioDeviceInfo> device(std::uint32_t) override { return std::nullopt; }
    std::vector<AudioDeviceInfo> outputDevices() override { return {}; }
    void setVolume(std::uint32_t, double, SetDone done) override
    {
        if (done)
            done(false);
    }
    bool setDefaultOutput(std::uint32_t) override { return false; }
};

} // namespace

struct PulseAudioBackend::Impl {
    Impl(Scheduler& scheduler, std::string server) : scheduler(scheduler)
    {
        const auto library = PulseAudioLibrary::shared();
        if (!library) {
            // Every backend would say the same.
            static std::once_flag told;
            std::call_once(told, [&library] {
                std::fprintf(stderr, "vude: sound control is off: %s\n", library.error().c_str());
            });
            connection = std::make_unique<NoServer>();
            return;
        }
        connection = (*library)->connection(std::move(server), [this](int failures) { retryWanted(failures); });
    }

    ~Impl()
    {
        // The connection's thread asks for retries: it ends before what
        // serves them goes.
        connection.reset();
        reconnectTask.cancel();
    }

    // On the connection's thread.
    void retryWanted(int failures)
    {
        const Duration delay = reconnectDelay(failures);
        postTo(&mainThreadContext, [this, delay] {
            reconnectTask.cancel();
            reconnectTask = scheduler.after(delay, [this] { connection->retry(); });
        });
    }

    Scheduler& scheduler;
    // Lives on the main thread: retries are scheduled there.
    QObject mainThreadContext;
    ScheduledTask reconnectTask; // main thread only
    std::unique_ptr<PulseAudioConnection> connection;
};

PulseAudioBackend::PulseAudioBackend(Scheduler& scheduler, std::string server)
    : d(std::make_unique<Impl>(scheduler, std::move(server)))
{
}

PulseAudioBackend::~PulseAudioBackend()
{
    stop();
}

void PulseAudioBackend::setEventHandler(EventHandler handler)
{
    d->connection->setEventHandler(std::move(handler));
}

void PulseAudioBackend::start()
{
    d->connection->start();
}

void PulseAudioBackend::stop()
{
    d->connection->stop();
}

bool PulseAudioBackend::isAvailable() const
{
    return d->connection->isAvailable();
}

std::optional<std::uint32_t> PulseAudioBackend::defaultOutputDevice()
{
    return d->connection->defaultOutputDevice();
}

std::optional<AudioDeviceInfo> PulseAudioBackend::device(std::uint32_t id)
{
    return d->connection->device(id);
}

std::vector<AudioDeviceInfo> PulseAudioBackend::outputDevices()
{
    return d->connection->outputDevices();
}

void PulseAudioBackend::setVolume(std::uint32_t id, double volume, SetDone done)
{
    d->connection->setVolume(id, volume, std::move(done));
}

bool PulseAudioBackend::setDefaultOutput(std::uint32_t id)
{
    return d->connection->setDefaultOutput(id);
}

int PulseAudioBackend::connectionAttempts() const
{
    return d->connection->connectionAttempts();
}

Duration PulseAudioBackend::reconnectDelay(int failures)
{
    Duration delay = firstReconnectDelay;
    for (int step = 1; step < failures && delay < longestReconnectDelay; ++step)
        delay *= 2;
    return std::min(delay, longestReconnectDelay);
}
