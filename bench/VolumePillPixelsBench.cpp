// How soon the sound pill's first pixels reach the screen after a volume
// change: the real `vude` on a private Xvfb (no compositing manager: the
// pill's pixels go straight to the screen), session bus and PulseAudio. Once
// the app rests, the volume is changed again and again, each change after the
// previous pill has ended; from the moment the change is sent, the top centre
// of the screen is read back (xcb_get_image) until any pixel differs from the
// resting frame. The figure is that moment less the change's acknowledgement.
//
//   ClientVolumeChange  another client already connected to the server sets
//                       the volume; acknowledged when the server's reply
//                       arrives (no process start counted)
//   PactlVolumeChange   pactl sets it; acknowledged when pactl has exited
//
// Counters: median_ms, p90_ms, median_frames, p90_frames (of 16.7 ms) for
// the first changed pixels; surface_median_ms, surface_p90_ms for the first
// frame that draws the pill's surface under the notch (the first changed
// pixels may be the window's move and growth alone, showing its old pixels);
// misses (changes that showed neither within 2 s). A table follows the run.
// VUDE_PILL_SAMPLES sets the changes per variant (default 8, so `make bench`
// stays under a minute; each pill needs about 2 s to come and go).
#include "Platform/Audio/PulseAudioBackend.h"
#include "Platform/Core/QtScheduler.h"
#include "bench/support/AppHome.h"
#include "bench/support/BenchRig.h"
#include "tests/support/PrivatePulseServer.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/PrivateXServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <thread>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr double kFrameMs = 1000.0 / 60.0;
// The top centre of the 1440 × 900 screen, around the widest pill.
constexpr int kScreenWidth = 1440;
constexpr int kAreaWidth = 640;
constexpr int kAreaHeight = 48;
// Under the 8-point notch, at the centre: the root at rest, the pill's
// surface once a whole pill frame is drawn. A frame that only moves the
// window shows the notch's old pixels in the top rows, never here.
constexpr std::size_t kSurfaceProbe = (20 * kAreaWidth + kAreaWidth / 2) * 4;
// A change that shows nothing by then is a miss, not a sample.
constexpr auto kShowTimeout = 2s;
// Between reads, so that the reader leaves the two cores to Xvfb and the app.
constexpr auto kPollPause = 200us;

/// Reads the top centre of an X server's screen.
class ScreenArea {
public:
    explicit ScreenArea(const QString& display)
        : m_connection(xcb_connect(display.toLocal8Bit().constData(), nullptr))
    {
        if (!xcb_connection_has_error(m_connection))
            m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~ScreenArea() { xcb_disconnect(m_connection); }
    ScreenArea(const ScreenArea&) = delete;
    ScreenArea& operator=(const ScreenArea&) = delete;

    bool isValid() const { return !xcb_connection_has_error(m_connection); }

    /// The area's pixels as the server has them now; empty on an error.
    std::vector<std::uint8_t> read()
    {
        std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
            xcb_get_image_reply(m_connection,
                                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root,
                                              (kScreenWidth - kAreaWidth) / 2, 0, kAreaWidth, kAreaHeight, ~0u),
                                nullptr),
            &std::free);
        // 32 bits a pixel, the only layout the comparisons read.
        if (!reply || xcb_get_image_data_length(reply.get()) != kAreaWidth * kAreaHeight * 4)
            return {};
        const std::uint8_t* data = xcb_get_image_data(reply.get());
        return {data, data + xcb_get_image_data_length(reply.get())};
    }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_root = XCB_NONE;
};

/// How a volume change is made: sends it, and answers whether it was
/// acknowledged and when (none yet while it is in flight).
class Change {
public:
    virtual ~Change() = default;
    virtual bool send(int percent) = 0;

    std::optional<Clock::time_point> acknowledged() const
    {
        const auto ticks = m_ticks.load();
        if (ticks <= 0)
            return std::nullopt;
        return Clock::time_point(Clock::duration(ticks));
    }

protected:
    void expect() { m_ticks.store(0); }
    // Called on the thread that sees the answer, as it arrives.
    void answer(bool applied) { m_ticks.store(applied ? Clock::now().time_since_epoch().count() : -1); }

private:
    std::atomic<Clock::rep> m_ticks{0};
};

/// A client connected before the run: the reply arrives on libpulse's thread.
class ClientChange final : public Change {
public:
    ClientChange(PulseAudioBackend& mixer, std::uint32_t sink) : m_mixer(mixer), m_sink(sink) {}

    bool send(int percent) override
    {
        expect();
        m_mixer.setVolume(m_sink, percent / 100.0, [this](bool applied) { answer(applied); });
        return true;
    }

private:
    PulseAudioBackend& m_mixer;
    std::uint32_t m_sink;
};

/// pactl started for each change; acknowledged when it has exited well,
/// as a thread waiting on it sees.
class PactlChange final : public Change {
public:
    explicit PactlChange(std::string server) : m_server(std::move(server)) {}
    ~PactlChange() override
    {
        if (m_waiter.joinable())
            m_waiter.join();
    }

    bool send(int percent) override
    {
        if (m_waiter.joinable())
            m_waiter.join();
        const std::string level = std::to_string(percent) + "%";
        std::vector<char*> arguments{const_cast<char*>("pactl"), const_cast<char*>("-s"), m_server.data(),
                                     const_cast<char*>("set-sink-volume"), const_cast<char*>("@DEFAULT_SINK@"),
                                     const_cast<char*>(level.c_str()), nullptr};
        expect();
        pid_t pid = 0;
        if (::posix_spawnp(&pid, "pactl", nullptr, nullptr, arguments.data(), environ) != 0)
            return false;
        m_waiter = std::thread([this, pid] {
            int status = 0;
            const bool reaped = ::waitpid(pid, &status, 0) == pid;
            answer(reaped && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        });
        return true;
    }

private:
    std::string m_server;
    std::thread m_waiter;
};

/// Milliseconds from a change's acknowledgement to what the screen showed.
struct Sample {
    double firstPixels = 0;
    double surface = 0;
};

struct Figures {
    std::vector<double> firstPixels; // any pixel of the area changed
    std::vector<double> surface;     // the pill's black surface drawn under the notch
    int misses = 0;
};

double percentile(const std::vector<double>& sorted, double share)
{
    return sorted.empty() ? 0 : sorted[static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1))];
}

/// The app on its private servers, at rest.
struct Rig {
    Rig()
    {
        if (!xserver.start(QStringLiteral("1440x900x24"), {"-wr"}) || !bus.start() || !home.isValid()) {
            failure = "Xvfb or the session bus did not start";
            return;
        }
        if (!sound.start()) {
            failure = "pulseaudio did not start: " + sound.errorText().toStdString();
            return;
        }
        screen.emplace(xserver.display());
        if (!screen->isValid() || !benchsupport::writeFinishedHome(home)) {
            failure = "no connection to Xvfb, or no home for the app";
            return;
        }
        app.setProcessEnvironment(appEnvironment());
        app.setStandardOutputFile(QProcess::nullDevice());
        app.setStandardErrorFile(QProcess::nullDevice());
        app.start(QStringLiteral(VUDE_EXECUTABLE), {});
        if (!app.waitForStarted(5000)) {
            failure = "the app did not start";
            return;
        }
        // The app takes the first volume it reads for the one it starts
        // from: a change counts only once it is a client.
        const bool client = benchsupport::waitFor([&] { return isSoundClient(); }, 30s);
        mixer.emplace(scheduler, sound.address().toStdString());
        mixer->start();
        const bool mixing = benchsupport::waitFor([&] { return mixer->isAvailable(); }, 5s);
        if (!client || !mixing || !(sink = mixer->defaultOutputDevice())) {
            failure = "the app or the mixer never reached the sound server";
            return;
        }
        // Anything starting after the first frame settles meanwhile.
        if (!restingFrame(20s)) {
            failure = "the top of the screen never came to rest";
            return;
        }
        ready = true;
    }

    ~Rig()
    {
        mixer.reset();
        testsupport::stopProcess(app);
    }

    /// Whether the app is a client of the private sound server.
    bool isSoundClient()
    {
        const std::optional<QString> clients = sound.pactl({"list", "clients"});
        return clients && clients->contains(QStringLiteral("application.process.id = \"%1\"").arg(app.processId()));
    }

    /// Waits until the area has stayed the same for a second and keeps it as
    /// the resting frame.
    bool restingFrame(std::chrono::milliseconds timeout)
    {
        const auto deadline = Clock::now() + timeout;
        std::vector<std::uint8_t> last = screen->read();
        auto since = Clock::now();
        while (Clock::now() < deadline) {
            QThread::msleep(50);
            std::vector<std::uint8_t> now = screen->read();
            if (now != last) {
                last = std::move(now);
                since = Clock::now();
            } else if (Clock::now() - since >= 1s && !last.empty()) {
                rest = std::move(last);
                return true;
            }
        }
        return false;
    }

    /// Waits until the area shows the resting frame again, for long enough
    /// that the pill has gone rather than passing by.
    bool backAtRest(std::chrono::milliseconds timeout)
    {
        const auto deadline = Clock::now() + timeout;
        std::optional<Clock::time_point> since;
        while (Clock::now() < deadline) {
            QThread::msleep(20);
            QCoreApplication::processEvents();
            if (screen->read() != rest)
                since.reset();
            else if (!since)
                since = Clock::now();
            else if (Clock::now() - *since >= 300ms)
                return true;
        }
        return false;
    }

    /// One change to `percent`, timed from its acknowledgement; none when
    /// nothing changed in time or it failed.
    std::optional<Sample> measure(Change& change, int percent)
    {
        if (!change.send(percent))
            return std::nullopt;
        const auto deadline = Clock::now() + kShowTimeout;
        std::optional<Clock::time_point> changed, surface;
        while (!surface && Clock::now() < deadline) {
            const std::vector<std::uint8_t> now = screen->read();
            if (now.empty())
                return std::nullopt;
            const auto at = Clock::now();
            if (!changed && now != rest)
                changed = at;
            if (std::memcmp(&now[kSurfaceProbe], &rest[kSurfaceProbe], 4) != 0)
                surface = at;
            else
                std::this_thread::sleep_for(kPollPause);
        }
        // pactl may still be running once the pill shows.
        std::optional<Clock::time_point> acknowledged = change.acknowledged();
        while (!acknowledged && Clock::now() < deadline + kShowTimeout) {
            std::this_thread::sleep_for(kPollPause);
            acknowledged = change.acknowledged();
        }
        const bool rested = backAtRest(10s);
        if (!changed || !surface || !acknowledged || !rested)
            return std::nullopt;
        const auto since = [&](Clock::time_point moment) {
            return std::chrono::duration<double, std::milli>(moment - *acknowledged).count();
        };
        return Sample{since(*changed), since(*surface)};
    }

    Figures run(Change& change, int samples)
    {
        Figures figures;
        for (int i = 0; i < samples; ++i) {
            // Never the level it has: that would show nothing.
            const int percent = 30 + (step++ % 5) * 7;
            if (const std::optional<Sample> sample = measure(change, percent)) {
                figures.firstPixels.push_back(sample->firstPixels);
                figures.surface.push_back(sample->surface);
            } else {
                ++figures.misses;
            }
        }
        std::ranges::sort(figures.firstPixels);
        std::ranges::sort(figures.surface);
        return figures;
    }

    QProcessEnvironment appEnvironment() const
    {
        QProcessEnvironment environment =
            benchsupport::appEnvironment(bus.childEnvironment(), xserver.display(), home);
        environment.insert("PULSE_SERVER", sound.address());
        return environment;
    }

    testsupport::PrivateXServer xserver;
    testsupport::PrivateSessionBus bus;
    testsupport::PrivatePulseServer sound{{{"speakers", "device.description=Speakers"}}};
    QTemporaryDir home;
    std::optional<ScreenArea> screen;
    QProcess app;
    QtScheduler scheduler;
    std::optional<PulseAudioBackend> mixer;
    std::optional<std::uint32_t> sink;
    std::vector<std::uint8_t> rest;
    int step = 0;
    bool ready = false;
    std::string failure;
};

Rig* theRig = nullptr;

int samplesPerVariant()
{
    bool valid = false;
    const int samples = qEnvironmentVariableIntValue("VUDE_PILL_SAMPLES", &valid);
    return valid && samples > 0 ? samples : 8;
}

struct Row {
    const char* name;
    Figures figures;
};
std::vector<Row> rows;

void report(benchmark::State& state, const char* name, Figures figures)
{
    const double median = percentile(figures.firstPixels, 0.5);
    const double p90 = percentile(figures.firstPixels, 0.9);
    state.counters["median_ms"] = median;
    state.counters["p90_ms"] = p90;
    state.counters["median_frames"] = median / kFrameMs;
    state.counters["p90_frames"] = p90 / kFrameMs;
    state.counters["surface_median_ms"] = percentile(figures.surface, 0.5);
    state.counters["surface_p90_ms"] = percentile(figures.surface, 0.9);
    state.counters["misses"] = figures.misses;
    rows.push_back({name, std::move(figures)});
}

void ClientVolumeChange(benchmark::State& state)
{
    if (!theRig->ready) {
        state.SkipWithError(theRig->failure.c_str());
        return;
    }
    Figures figures;
    for (auto _ : state) {
        ClientChange change(*theRig->mixer, *theRig->sink);
        figures = theRig->run(change, samplesPerVariant());
    }
    report(state, "client (libpulse)", std::move(figures));
}
BENCHMARK(ClientVolumeChange)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void PactlVolumeChange(benchmark::State& state)
{
    if (!theRig->ready) {
        state.SkipWithError(theRig->failure.c_str());
        return;
    }
    Figures figures;
    for (auto _ : state) {
        PactlChange change(theRig->sound.address().toStdString());
        figures = theRig->run(change, samplesPerVariant());
    }
    report(state, "pactl", std::move(figures));
}
BENCHMARK(PactlVolumeChange)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void printTable()
{
    if (rows.empty())
        return;
    std::printf("\nFirst changed pixels of the sound pill after the change was acknowledged (frame = %.1f ms)\n",
                kFrameMs);
    std::printf("%-18s %-13s %7s %7s %10s %10s %9s %9s\n", "variant", "shown", "samples", "misses", "median_ms",
                "p90_ms", "median_fr", "p90_fr");
    for (const Row& row : rows) {
        for (const auto& [shown, ms] : {std::pair{"first pixels", &row.figures.firstPixels},
                                        std::pair{"pill surface", &row.figures.surface}}) {
            const double median = percentile(*ms, 0.5);
            const double p90 = percentile(*ms, 0.9);
            std::printf("%-18s %-13s %7zu %7d %10.2f %10.2f %9.2f %9.2f\n", row.name, shown, ms->size(),
                        row.figures.misses, median, p90, median / kFrameMs, p90 / kFrameMs);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    for (const char* program : {"Xvfb", "pulseaudio", "pactl"}) {
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            std::printf("VolumePillPixelsBench skipped: %s is not installed\n", program);
            return 0;
        }
    }
    benchmark::Initialize(&argc, argv);
    {
        Rig rig;
        theRig = &rig;
        benchmark::RunSpecifiedBenchmarks();
        theRig = nullptr;
    }
    benchmark::Shutdown();
    printTable();
    return 0;
}
