#include "Platform/Audio/PulseAudioBackend.h"
#include "Platform/Audio/PulseAudioLibrary.h"
#include "VudeKit/Numbers.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <utility>

static_assert(PulseAudioBackend::normalVolume == PA_VOLUME_NORM);

namespace {

// A server that takes longer than this to answer is treated as gone for that
// read; the main thread must never hang on it.
constexpr pa_usec_t queryTimeoutMicroseconds = 500'000;

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

class LibpulseConnection final : public PulseAudioConnection {
public:
    LibpulseConnection(std::string server, RetryWanted retryWanted)
        : m_server(std::move(server)), m_retryWanted(std::move(retryWanted))
    {
        // Without its thread the connection never connects and stays
        // unavailable.
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return;
        pa_threaded_mainloop_set_name(m_loop, "audio-server");
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
            return;
        }
        m_api = pa_threaded_mainloop_get_api(m_loop);
    }

    ~LibpulseConnection() override
    {
        stop();
        if (m_loop) {
            pa_threaded_mainloop_stop(m_loop);
            pa_threaded_mainloop_free(m_loop);
        }
    }

    LibpulseConnection(const LibpulseConnection&) = delete;
    LibpulseConnection& operator=(const LibpulseConnection&) = delete;

    void setEventHandler(EventHandler handler) override
    {
        Locked lock(m_loop);
        m_handler = std::move(handler);
    }

    void start() override
    {
        Locked lock(m_loop);
        m_wanted = true;
        m_failures = 0;
        connect();
    }

    void retry() override
    {
        Locked lock(m_loop);
        connect();
    }

    void stop() override
    {
        Locked lock(m_loop);
        m_wanted = false;
        dropContext();
    }

    bool isAvailable() const override
    {
        Locked lock(m_loop);
        return m_ready;
    }

    int connectionAttempts() const override { return m_attempts; }

    std::optional<std::uint32_t> defaultOutputDevice() override
    {
        Locked lock(m_loop);
        Reply<std::optional<AudioDeviceInfo>> reply{m_loop};
        // The name resolves to the default sink on the server; a server
        // without sinks answers with an error, which means "no default".
        const bool answered = await([&](pa_context* context) {
            return pa_context_get_sink_info_by_name(context, "@DEFAULT_SINK@", &onSinkReply, &reply);
        });
        if (!answered)
            return std::nullopt;
        return reply.value ? reply.value->id : 0;
    }

    std::optional<AudioDeviceInfo> device(std::uint32_t id) override
    {
        if (id == 0)
            return std::nullopt;
        Locked lock(m_loop);
        Reply<std::optional<AudioDeviceInfo>> reply{m_loop};
        const bool answered = await([&](pa_context* context) {
            return pa_context_get_sink_info_by_index(context, id - 1, &onSinkReply, &reply);
        });
        return answered ? reply.value : std::nullopt;
    }

    std::vector<AudioDeviceInfo> outputDevices() override
    {
        Locked lock(m_loop);
        Reply<std::vector<AudioDeviceInfo>> reply{m_loop};
        const bool answered =
            await([&](pa_context* context) { return pa_context_get_sink_info_list(context, &onSinkListReply, &reply); });
        return answered ? std::move(reply.value) : std::vector<AudioDeviceInfo>();
    }

    void setVolume(std::uint32_t id, double volume, SetDone done) override
    {
        const auto answer = [&done](bool applied) {
            if (done)
                done(applied);
        };
        Locked lock(m_loop);
        if (id == 0 || !m_context || !m_ready)
            return answer(false);
        const auto level = m_levels.find(id - 1);
        if (level == m_levels.end())
            return answer(false); // unknown sink
        const auto loudest = loudestOf(level->second.volume);
        if (!loudest)
            return answer(false); // no volume control
        const pa_volume_t target = PulseAudioBackend::rawFromVolume(volume);
        // Amplified past 100 % by another mixer, the sink reads as full; full
        // asked again (a volume-up at the top) leaves it rather than lowering it.
        if (*loudest > PA_VOLUME_NORM && target >= PA_VOLUME_NORM)
            return answer(true);
        const pa_cvolume scaled = scaledToLoudest(level->second.volume, target);
        pa_operation* operation = pa_context_set_sink_volume_by_index(m_context, id - 1, &scaled, &onSetReply, this);
        if (!operation)
            return answer(false);
        m_pendingSets.push_back(std::move(done));
        unref(operation);
    }

    bool setDefaultOutput(std::uint32_t id) override
    {
        if (id == 0)
            return false;
        Locked lock(m_loop);
        // The server takes the sink's name, not its index.
        Reply<std::string> name{m_loop};
        const bool found = await([&](pa_context* context) {
            return pa_context_get_sink_info_by_index(context, id - 1, &onSinkNameReply, &name);
        });
        if (!found || name.value.empty())
            return false;
        Reply<bool> accepted{m_loop};
        const bool answered = await([&](pa_context* context) {
            return pa_context_set_default_sink(context, name.value.c_str(), &onSuccessReply, &accepted);
        });
        return answered && accepted.value;
    }

private:
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

    const std::string m_server;
    const RetryWanted m_retryWanted;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_mainloop_api* m_api = nullptr;
    std::atomic<int> m_attempts = 0;

    // Guarded by the mainloop lock.
    EventHandler m_handler;
    pa_context* m_context = nullptr;
    bool m_wanted = false;       // between start() and stop()
    bool m_ready = false;        // connected, subscribed and the levels read
    bool m_retryPending = false; // a retry is on its way
    int m_failures = 0;          // failed attempts in a row
    std::string m_defaultSinkName;
    std::map<std::uint32_t, SinkLevel> m_levels; // by sink index
    // The sets sent and not yet answered, oldest first: the server answers
    // one connection's requests in order.
    std::deque<SetDone> m_pendingSets;

    void send(AudioBackendEvent event)
    {
        if (m_handler)
            m_handler(event);
    }

    void connect()
    {
        m_retryPending = false;
        if (!m_wanted || !m_loop)
            return;
        if (m_context) {
            if (PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
                return;
            dropContext();
        }
        ++m_attempts;
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Vude");
        m_context = pa_context_new_with_proplist(m_api, "Vude", properties);
        pa_proplist_free(properties);
        if (!m_context) {
            connectionFailed();
            return;
        }
        pa_context_set_state_callback(m_context, &onState, this);
        const char* address = m_server.empty() ? nullptr : m_server.c_str();
        if (pa_context_connect(m_context, address, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            connectionFailed();
    }

    void dropContext()
    {
        if (!m_context)
            return;
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
        m_ready = false;
        m_levels.clear();
        m_defaultSinkName.clear();
        failPendingSets();
        pa_threaded_mainloop_signal(m_loop, 0); // readers waiting on it give up
    }

    // A broken connection answers none of its requests.
    void failPendingSets()
    {
        for (auto& done : std::exchange(m_pendingSets, {}))
            if (done)
                done(false);
    }

    void connectionFailed()
    {
        if (!m_wanted || m_retryPending)
            return;
        m_retryPending = true;
        ++m_failures;
        if (m_retryWanted)
            m_retryWanted(m_failures);
    }

    static void onState(pa_context* changed, void* userdata)
    {
        auto* self = static_cast<LibpulseConnection*>(userdata);
        if (changed != self->m_context)
            return;
        switch (pa_context_get_state(changed)) {
        case PA_CONTEXT_READY:
            self->m_failures = 0;
            self->subscribe();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED: {
            const bool wasReady = self->m_ready;
            self->m_ready = false;
            self->m_levels.clear();
            self->m_defaultSinkName.clear();
            self->failPendingSets();
            pa_threaded_mainloop_signal(self->m_loop, 0);
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
        pa_context_set_subscribe_callback(m_context, &onSubscription, this);
        unref(pa_context_subscribe(
            m_context, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
            nullptr, nullptr));
        unref(pa_context_get_server_info(m_context, &onServerInfo, this));
        unref(pa_context_get_sink_info_list(m_context, &onInitialSink, this));
    }

    static void unref(pa_operation* operation)
    {
        if (operation)
            pa_operation_unref(operation);
    }

    static void onSubscription(pa_context* changed, pa_subscription_event_type_t type, std::uint32_t index, void* userdata)
    {
        auto* self = static_cast<LibpulseConnection*>(userdata);
        if (changed != self->m_context)
            return;
        const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
            if (kind == PA_SUBSCRIPTION_EVENT_REMOVE)
                self->m_levels.erase(index);
            else
                unref(pa_context_get_sink_info_by_index(changed, index, &onChangedSink, self));
            if (kind != PA_SUBSCRIPTION_EVENT_CHANGE && self->m_ready)
                self->send({AudioBackendEvent::Kind::outputsChanged});
        } else if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
            unref(pa_context_get_server_info(changed, &onServerInfo, self));
        }
    }

    static void onServerInfo(pa_context* changed, const pa_server_info* info, void* userdata)
    {
        auto* self = static_cast<LibpulseConnection*>(userdata);
        if (changed != self->m_context || !info)
            return;
        std::string name = text(info->default_sink_name);
        if (name == self->m_defaultSinkName)
            return;
        self->m_defaultSinkName = std::move(name);
        if (self->m_ready)
            self->send({AudioBackendEvent::Kind::defaultOutputChanged});
    }

    static void onInitialSink(pa_context* changed, const pa_sink_info* sink, int eol, void* userdata)
    {
        auto* self = static_cast<LibpulseConnection*>(userdata);
        if (changed != self->m_context)
            return;
        if (eol == 0 && sink) {
            self->m_levels[sink->index] = {sink->volume, sink->mute != 0};
            return;
        }
        self->m_ready = true;
        self->send({AudioBackendEvent::Kind::connected});
    }

    static void onChangedSink(pa_context* changed, const pa_sink_info* sink, int eol, void* userdata)
    {
        auto* self = static_cast<LibpulseConnection*>(userdata);
        if (changed != self->m_context || eol != 0 || !sink)
            return;
        const SinkLevel level{sink->volume, sink->mute != 0};
        const auto known = self->m_levels.find(sink->index);
        const bool isNew = known == self->m_levels.end();
        const bool levelChanged = !isNew
            && (known->second.isMuted != level.isMuted
                || loudestOf(known->second.volume) != loudestOf(level.volume));
        self->m_levels[sink->index] = level;
        if (levelChanged && self->m_ready)
            self->send({AudioBackendEvent::Kind::volumeChanged, sink->index + 1});
    }

    // Runs one request and waits for its reply; the lock must be held. False
    // when there is no server, the connection broke, or the reply was late.
    template <typename Start>
    bool await(Start start)
    {
        if (!m_loop || pa_threaded_mainloop_in_thread(m_loop) || !m_context || !m_ready)
            return false;
        pa_operation* operation = start(m_context);
        if (!operation)
            return false;
        struct Deadline {
            pa_threaded_mainloop* loop;
            bool passed = false;
        } deadline{m_loop};
        pa_time_event* timer = pa_context_rttime_new(
            m_context, pa_rtclock_now() + queryTimeoutMicroseconds,
            [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
                auto* deadline = static_cast<Deadline*>(userdata);
                deadline->passed = true;
                pa_threaded_mainloop_signal(deadline->loop, 0);
            },
            &deadline);
        while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING && !deadline.passed)
            pa_threaded_mainloop_wait(m_loop);
        const auto state = pa_operation_get_state(operation);
        if (state == PA_OPERATION_RUNNING)
            pa_operation_cancel(operation); // its callback will not run, so the reply may die
        pa_operation_unref(operation);
        if (timer)
            m_api->time_free(timer);
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
        auto* self = static_cast<LibpulseConnection*>(userdata);
        if (answered != self->m_context || self->m_pendingSets.empty())
            return;
        SetDone done = std::move(self->m_pendingSets.front());
        self->m_pendingSets.pop_front();
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

class LibpulseLibrary final : public PulseAudioLibrary {
public:
    std::unique_ptr<PulseAudioConnection> connection(std::string server,
                                                     PulseAudioConnection::RetryWanted retry) const override
    {
        return std::make_unique<LibpulseConnection>(std::move(server), std::move(retry));
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) const PulseAudioLibrary* vudePulseAudioLibrary()
{
    static const LibpulseLibrary library;
    return &library;
}
