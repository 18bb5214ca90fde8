#include "Platform/Audio/PulseAudioBackend.h"

#include "Platform/Core/MainThread.h"
#include "VudeKit/Numbers.h"
#include "VudeKit/Scheduler.h"

#include <QObject>

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <utility>

static_assert(PulseAudioBackend::normalVolume == PA_VOLUME_NORM);

namespace {

using namespace std::chrono_literals;

// A server that takes longer than this to answer is treated as gone for that
// read; the main thread must never hang on it.
constexpr pa_usec_t queryTimeoutMicroseconds = 500'000;
constexpr Duration firstReconnectDelay = 500ms;
constexpr Duration longestReconnectDelay = 10s;

// The loudest channel, in server units: the sink's volume as mixers show it.
// None without volume control.
std::optional<pa_volume_t> loudestOf(const pa_cvolume& volume)
{
    if (volume.channels == 0 || !pa_cvolume_valid(&volume))
        return std::nullopt;
    return pa_cvolume_max(&volume);
}

// `current` scaled by one factor so that its loudest channel becomes
// `target`: the balance stays and no channel ends above `target`.
pa_cvolume scaledToLoudest(const pa_cvolume& current, pa_volume_t target)
{
    pa_cvolume result = current;
    const pa_volume_t loudest = pa_cvolume_max(&current);
    for (unsigned channel = 0; channel < result.channels; ++channel) {
        const double value = loudest > 0 ? double(current.values[channel]) * (double(target) / loudest) : target;
        result.values[channel] = std::min(saturatingRound<pa_volume_t>(value), target);
    }
    return result;
}

std::string text(const char* value)
{
    return value ? std::string(value) : std::string();
}

std::string property(const pa_proplist* properties, const char* key)
{
    return properties ? text(pa_proplist_gets(properties, key)) : std::string();
}

AudioDeviceInfo makeInfo(const pa_sink_info& sink)
{
    AudioDeviceInfo info;
    info.id = sink.index + 1;
    info.name = text(sink.description);
    if (info.name.empty())
        info.name = text(sink.name);
    if (const auto raw = loudestOf(sink.volume))
        info.volume = PulseAudioBackend::volumeFromRaw(*raw);
    info.isMuted = sink.mute != 0;
    auto& attachment = info.attachment;
    attachment.bus = property(sink.proplist, PA_PROP_DEVICE_BUS);
    attachment.formFactor = property(sink.proplist, PA_PROP_DEVICE_FORM_FACTOR);
    attachment.api = property(sink.proplist, PA_PROP_DEVICE_API);
    attachment.deviceClass = property(sink.proplist, PA_PROP_DEVICE_CLASS);
    attachment.profile = property(sink.proplist, PA_PROP_DEVICE_PROFILE_NAME);
    attachment.activePort = sink.active_port ? text(sink.active_port->name) : std::string();
    attachment.driver = text(sink.driver);
    attachment.isHardware = (sink.flags & PA_SINK_HARDWARE) != 0;
    return info;
}

// Holds the mainloop lock, except on the mainloop's own thread, whose
// callbacks already run under it.
class Locked {
public:
    explicit Locked(pa_threaded_mainloop* loop)
        : m_loop(loop && !pa_threaded_mainloop_in_thread(loop) ? loop : nullptr)
    {
        if (m_loop)
            pa_threaded_mainloop_lock(m_loop);
    }
    ~Locked()
    {
        if (m_loop)
            pa_threaded_mainloop_unlock(m_loop);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

} // namespace

struct PulseAudioBackend::Impl {
    Impl(Scheduler& scheduler, std::string server) : scheduler(scheduler), server(std::move(server))
    {
        // Without its thread the backend never connects and stays unavailable.
        loop = pa_threaded_mainloop_new();
        if (!loop)
            return;
        pa_threaded_mainloop_set_name(loop, "audio-server");
        if (pa_threaded_mainloop_start(loop) < 0) {
            pa_threaded_mainloop_free(loop);
            loop = nullptr;
            return;
        }
        api = pa_threaded_mainloop_get_api(loop);
    }

    // The level of one sink as last seen, to tell real volume changes from the
    // many other changes the server reports.
    struct SinkLevel {
        pa_cvolume volume;
        bool isMuted = false;
    };

    // The result of one blocking read; the callback fills it and wakes the
    // waiting thread.
    template <typename T>
    struct Reply {
        pa_threaded_mainloop* loop;
        T value{};
    };

    Scheduler& scheduler;
    const std::string server;
    pa_threaded_mainloop* loop = nullptr;
    pa_mainloop_api* api = nullptr;
    // Lives on the main thread: reconnects are scheduled there.
    QObject mainThreadContext;
    ScheduledTask reconnectTask; // main thread only
    std::atomic<int> attempts = 0;

    // Guarded by the mainloop lock.
    EventHandler handler;
    pa_context* context = nullptr;
    bool wanted = false;       // between start() and stop()
    bool ready = false;        // connected, subscribed and the levels read
    bool retryPending = false; // a reconnect is on its way
    int failures = 0;          // failed attempts in a row
    std::string defaultSinkName;
    std::map<std::uint32_t, SinkLevel> levels; // by sink index
    // The sets sent and not yet answered, oldest first: the server answers
    // one connection's requests in order.
    std::deque<SetDone> pendingSets;

    void send(AudioBackendEvent event)
    {
        if (handler)
            handler(event);
    }

    void connect()
    {
        retryPending = false;
        if (!wanted || !loop)
            return;
        if (context) {
            if (PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
                return;
            dropContext();
        }
        ++attempts;
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Vude");
        context = pa_context_new_with_proplist(api, "Vude", properties);
        pa_proplist_free(properties);
        if (!context) {
            connectionFailed();
            return;
        }
        pa_context_set_state_callback(context, &Impl::onState, this);
        const char* address = server.empty() ? nullptr : server.c_str();
        if (pa_context_connect(context, address, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            connectionFailed();
    }

    void dropContext()
    {
        if (!context)
            return;
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
        ready = false;
        levels.clear();
        defaultSinkName.clear();
        failPendingSets();
        pa_threaded_mainloop_signal(loop, 0); // readers waiting on it give up
    }

    // A broken connection answers none of its requests.
    void failPendingSets()
    {
        for (auto& done : std::exchange(pendingSets, {}))
            if (done)
                done(false);
    }

    void connectionFailed()
    {
        if (!wanted || retryPending)
            return;
        retryPending = true;
        ++failures;
        const Duration delay = reconnectDelay(failures);
        postTo(&mainThreadContext, [this, delay] {
            reconnectTask.cancel();
            reconnectTask = scheduler.after(delay, [this] {
                Locked lock(loop);
                connect();
            });
        });
    }

    static void onState(pa_context* changed, void* userdata)
    {
        auto* self = static_cast<Impl*>(userdata);
        if (changed != self->context)
            return;
        switch (pa_context_get_state(changed)) {
        case PA_CONTEXT_READY:
            self->failures = 0;
            self->subscribe();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED: {
            const bool wasReady = self->ready;
            self->ready = false;
            self->levels.clear();
            self->defaultSinkName.clear();
            self->failPendingSets();
            pa_threaded_mainloop_signal(self->loop, 0);
            if (wasReady)
                self->send({AudioBackendEvent::Kind::disconnected});
            self->connectionFailed();
            break;
        }
        default:
            break;
        }
    }

    // Replies come in the order of the requests, so the levels are complete
    // before any change read after them, and `connected` goes out last.
    void subscribe()
    {
        pa_context_set_subscribe_callback(context, &Impl::onSubscription, this);
        unref(pa_context_subscribe(
            context, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
            nullptr, nullptr));
        unref(pa_context_get_server_info(context, &Impl::onServerInfo, this));
        unref(pa_context_get_sink_info_list(context, &Impl::onInitialSink, this));
    }

    static void unref(pa_operation* operation)
    {
        if (operation)
            pa_operation_unref(operation);
    }

    static void onSubscription(pa_context* changed, pa_subscription_event_type_t type, std::uint32_t index, void* userdata)
    {
        auto* self = static_cast<Impl*>(userdata);
        if (changed != self->context)
            return;
        const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
            if (kind == PA_SUBSCRIPTION_EVENT_REMOVE)
                self->levels.erase(index);
            else
                unref(pa_context_get_sink_info_by_index(changed, index, &Impl::onChangedSink, self));
            if (kind != PA_SUBSCRIPTION_EVENT_CHANGE && self->ready)
                self->send({AudioBackendEvent::Kind::outputsChanged});
        } else if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
            unref(pa_context_get_server_info(changed, &Impl::onServerInfo, self));
        }
    }

    static void onServerInfo(pa_context* changed, const pa_server_info* info, void* userdata)
    {
        auto* self = static_cast<Impl*>(userdata);
        if (changed != self->context || !info)
            return;
        std::string name = text(info->default_sink_name);
        if (name == self->defaultSinkName)
            return;
        self->defaultSinkName = std::move(name);
        if (self->ready)
            self->send({AudioBackendEvent::Kind::defaultOutputChanged});
    }

    static void onInitialSink(pa_context* changed, const pa_sink_info* sink, int eol, void* userdata)
    {
        auto* self = static_cast<Impl*>(userdata);
        if (changed != self->context)
            return;
        if (eol == 0 && sink) {
            self->levels[sink->index] = {sink->volume, sink->mute != 0};
            return;
        }
        self->ready = true;
        self->send({AudioBackendEvent::Kind::connected});
    }

    static void onChangedSink(pa_context* changed, const pa_sink_info* sink, int eol, void* userdata)
    {
        auto* self = static_cast<Impl*>(userdata);
        if (changed != self->context || eol != 0 || !sink)
            return;
        const SinkLevel level{sink->volume, sink->mute != 0};
        const auto known = self->levels.find(sink->index);
        const bool isNew = known == self->levels.end();
        const bool levelChanged = !isNew
            && (known->second.isMuted != level.isMuted
                || loudestOf(known->second.volume) != loudestOf(level.volume));
        self->levels[sink->index] = level;
        if (levelChanged && self->ready)
            self->send({AudioBackendEvent::Kind::volumeChanged, sink->index + 1});
    }

    // Runs one request and waits for its reply; the lock must be held. False
    // when there is no server, the connection broke, or the reply was late.
    template <typename Start>
    bool await(Start start)
    {
        if (!loop || pa_threaded_mainloop_in_thread(loop) || !context || !ready)
            return false;
        pa_operation* operation = start(context);
        if (!operation)
            return false;
        struct Deadline {
            pa_threaded_mainloop* loop;
            bool passed = false;
        } deadline{loop};
        pa_time_event* timer = pa_context_rttime_new(
            context, pa_rtclock_now() + queryTimeoutMicroseconds,
            [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
                auto* deadline = static_cast<Deadline*>(userdata);
                deadline->passed = true;
                pa_threaded_mainloop_signal(deadline->loop, 0);
            },
            &deadline);
        while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING && !deadline.passed)
            pa_threaded_mainloop_wait(loop);
        const auto state = pa_operation_get_state(operation);
        if (state == PA_OPERATION_RUNNING)
            pa_operation_cancel(operation); // its callback will not run, so the reply may die
        pa_operation_unref(operation);
        if (timer)
            api->time_free(timer);
        return state == PA_OPERATION_DONE;
    }

    static void onSinkReply(pa_context*, const pa_sink_info* sink, int eol, void* userdata)
    {
        auto* reply = static_cast<Reply<std::optional<AudioDeviceInfo>>*>(userdata);
        if (eol == 0 && sink)
            reply->value = makeInfo(*sink);
        else
            pa_threaded_mainloop_signal(reply->loop, 0);
    }

    static void onSinkListReply(pa_context*, const pa_sink_info* sink, int eol, void* userdata)
    {
        auto* reply = static_cast<Reply<std::vector<AudioDeviceInfo>>*>(userdata);
        if (eol == 0 && sink)
            reply->value.push_back(makeInfo(*sink));
        else
            pa_threaded_mainloop_signal(reply->loop, 0);
    }

    static void onSinkNameReply(pa_context*, const pa_sink_info* sink, int eol, void* userdata)
    {
        auto* reply = static_cast<Reply<std::string>*>(userdata);
        if (eol == 0 && sink)
            reply->value = text(sink->name);
        else
            pa_threaded_mainloop_signal(reply->loop, 0);
    }

    static void onSetReply(pa_context* answered, int success, void* userdata)
    {
        auto* self = static_cast<Impl*>(userdata);
        if (answered != self->context || self->pendingSets.empty())
            return;
        SetDone done = std::move(self->pendingSets.front());
        self->pendingSets.pop_front();
        if (done)
            done(success != 0);
    }

    static void onSuccessReply(pa_context*, int success, void* userdata)
    {
        auto* reply = static_cast<Reply<bool>*>(userdata);
        reply->value = success != 0;
        pa_threaded_mainloop_signal(reply->loop, 0);
    }
};

PulseAudioBackend::PulseAudioBackend(Scheduler& scheduler, std::string server)
    : d(std::make_unique<Impl>(scheduler, std::move(server)))
{
}

PulseAudioBackend::~PulseAudioBackend()
{
    stop();
    d->reconnectTask.cancel();
    if (d->loop) {
        pa_threaded_mainloop_stop(d->loop);
        pa_threaded_mainloop_free(d->loop);
    }
}

void PulseAudioBackend::setEventHandler(EventHandler handler)
{
    Locked lock(d->loop);
    d->handler = std::move(handler);
}

void PulseAudioBackend::start()
{
    Locked lock(d->loop);
    d->wanted = true;
    d->failures = 0;
    d->connect();
}

void PulseAudioBackend::stop()
{
    Locked lock(d->loop);
    d->wanted = false;
    d->dropContext();
}

bool PulseAudioBackend::isAvailable() const
{
    Locked lock(d->loop);
    return d->ready;
}

std::optional<std::uint32_t> PulseAudioBackend::defaultOutputDevice()
{
    Locked lock(d->loop);
    Impl::Reply<std::optional<AudioDeviceInfo>> reply{d->loop};
    // The name resolves to the default sink on the server; a server without
    // sinks answers with an error, which means "no default".
    const bool answered = d->await([&](pa_context* context) {
        return pa_context_get_sink_info_by_name(context, "@DEFAULT_SINK@", &Impl::onSinkReply, &reply);
    });
    if (!answered)
        return std::nullopt;
    return reply.value ? reply.value->id : 0;
}

std::optional<AudioDeviceInfo> PulseAudioBackend::device(std::uint32_t id)
{
    if (id == 0)
        return std::nullopt;
    Locked lock(d->loop);
    Impl::Reply<std::optional<AudioDeviceInfo>> reply{d->loop};
    const bool answered = d->await([&](pa_context* context) {
        return pa_context_get_sink_info_by_index(context, id - 1, &Impl::onSinkReply, &reply);
    });
    return answered ? reply.value : std::nullopt;
}

std::vector<AudioDeviceInfo> PulseAudioBackend::outputDevices()
{
    Locked lock(d->loop);
    Impl::Reply<std::vector<AudioDeviceInfo>> reply{d->loop};
    const bool answered = d->await([&](pa_context* context) {
        return pa_context_get_sink_info_list(context, &Impl::onSinkListReply, &reply);
    });
    return answered ? std::move(reply.value) : std::vector<AudioDeviceInfo>();
}

void PulseAudioBackend::setVolume(std::uint32_t id, double volume, SetDone done)
{
    const auto answer = [&done](bool applied) {
        if (done)
            done(applied);
    };
    Locked lock(d->loop);
    if (id == 0 || !d->context || !d->ready)
        return answer(false);
    const auto level = d->levels.find(id - 1);
    if (level == d->levels.end())
        return answer(false); // unknown sink
    const auto loudest = loudestOf(level->second.volume);
    if (!loudest)
        return answer(false); // no volume control
    const pa_volume_t target = rawFromVolume(volume);
    // Amplified past 100 % by another mixer, the sink reads as full; full
    // asked again (a volume-up at the top) leaves it rather than lowering it.
    if (*loudest > PA_VOLUME_NORM && target >= PA_VOLUME_NORM)
        return answer(true);
    const pa_cvolume scaled = scaledToLoudest(level->second.volume, target);
    pa_operation* operation =
        pa_context_set_sink_volume_by_index(d->context, id - 1, &scaled, &Impl::onSetReply, d.get());
    if (!operation)
        return answer(false);
    d->pendingSets.push_back(std::move(done));
    Impl::unref(operation);
}

bool PulseAudioBackend::setDefaultOutput(std::uint32_t id)
{
    if (id == 0)
        return false;
    Locked lock(d->loop);
    // The server takes the sink's name, not its index.
    Impl::Reply<std::string> name{d->loop};
    const bool found = d->await([&](pa_context* context) {
        return pa_context_get_sink_info_by_index(context, id - 1, &Impl::onSinkNameReply, &name);
    });
    if (!found || name.value.empty())
        return false;
    Impl::Reply<bool> accepted{d->loop};
    const bool answered = d->await([&](pa_context* context) {
        return pa_context_set_default_sink(context, name.value.c_str(), &Impl::onSuccessReply, &accepted);
    });
    return answered && accepted.value;
}

int PulseAudioBackend::connectionAttempts() const
{
    return d->attempts;
}

double PulseAudioBackend::volumeFromRaw(std::uint32_t raw)
{
    return std::min(static_cast<double>(raw) / normalVolume, 1.0);
}

std::uint32_t PulseAudioBackend::rawFromVolume(double volume)
{
    return saturatingRound<std::uint32_t>(clampedOrLower(volume, 0, 1) * normalVolume);
}

Duration PulseAudioBackend::reconnectDelay(int failures)
{
    Duration delay = firstReconnectDelay;
    for (int step = 1; step < failures && delay < longestReconnectDelay; ++step)
        delay *= 2;
    return std::min(delay, longestReconnectDelay);
}
