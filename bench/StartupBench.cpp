// How far the app's start is from a bare Qt window's: the `vude` executable
// and a frameless Qt window that links Qt Widgets alone, each started on a
// private Xvfb with a private session bus and home, in pairs whose order
// alternates. The parent watches the server's root window and times each
// start from just before the exec to the first window mapped; a few seconds
// later, at rest, it reads the child's proportional set size
// (/proc/<pid>/smaps_rollup) and counts the shared libraries it mapped. The
// figures are ratios of the same run, so a loaded machine moves both sides
// alike.
//
//   BM_StartupAgainstBareWindow  app_ms, bare_ms, ratio (median of the
//                                pairs' ratios), app_pss_mb, bare_pss_mb,
//                                pss_ratio, app_libraries, bare_libraries
//
// VUDE_STARTUP_APP names another build of the app to time instead of the
// one built beside the bench (an earlier commit's, to compare), and
// VUDE_STARTUP_PAIRS the number of pairs (10), for a steadier median on a
// noisy machine.
#include "bench/support/AppHome.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/PrivateXServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <poll.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kDefaultPairs = 10;
// Long enough for what starts after the panel (the now-playing check, the
// weather) to have started and settled.
constexpr int kRestMs = 4000;

struct Run {
    double startMs = 0;
    double pssMb = 0;
    int libraries = 0;
};

/// The root window's map events of one X server.
class MapWatch {
public:
    explicit MapWatch(const QString& display)
        : m_connection(xcb_connect(display.toLocal8Bit().constData(), nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, screen->root, XCB_CW_EVENT_MASK, &mask);
        roundTrip();
    }
    ~MapWatch() { xcb_disconnect(m_connection); }

    bool isValid() const { return !xcb_connection_has_error(m_connection); }

    /// Drops the events seen so far.
    void drain()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    /// Waits for a window of some size to be mapped on the screen (not
    /// Qt's helper windows); false after `timeout`.
    bool waitForMap(std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                std::optional<xcb_window_t> mapped;
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY)
                    mapped = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
                std::free(event);
                if (mapped && isOnScreen(*mapped))
                    return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left <= 0ms || ::poll(&descriptor, 1, int(left.count())) <= 0)
                return false;
        }
    }

private:
    bool isOnScreen(xcb_window_t window)
    {
        auto* geometry = xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
        if (!geometry)
            return false;
        const bool onScreen = geometry->width >= 8 && geometry->height >= 8 && geometry->x + geometry->width > 0
            && geometry->y + geometry->height > 0;
        std::free(geometry);
        return onScreen;
    }

    void roundTrip() { std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr)); }

    xcb_connection_t* m_connection;
};

double pssMegabytes(qint64 pid)
{
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!rollup.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : rollup.readAll().split('\n'))
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

int sharedLibraries(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return 0;
    QSet<QByteArray> libraries;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const int slash = line.indexOf('/');
        if (slash >= 0 && line.indexOf(".so", slash) >= 0)
            libraries.insert(line.mid(slash));
    }
    return int(libraries.size());
}

/// One start of `program`, timed from just before its exec to its first
/// window mapped, then read at rest.
std::optional<Run> measure(MapWatch& watch, const QProcessEnvironment& environment, const QString& program)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    watch.drain();
    const auto started = std::chrono::steady_clock::now();
    child.start(program, {});
    std::optional<Run> run;
    if (child.waitForStarted(5000) && watch.waitForMap(20s)) {
        run = Run{std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count()};
        QThread::msleep(kRestMs);
        run->pssMb = pssMegabytes(child.processId());
        run->libraries = sharedLibraries(child.processId());
    }
    child.terminate();
    if (!child.waitForFinished(10000)) {
        child.kill();
        child.waitForFinished();
    }
    return run;
}

double median(std::vector<double> values)
{
    std::ranges::sort(values);
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_StartupAgainstBareWindow(benchmark::State& state)
{
    testsupport::PrivateXServer server;
    testsupport::PrivateSessionBus bus;
    QTemporaryDir home;
    if (!server.start(QStringLiteral("1440x900x24")) || !bus.start() || !home.isValid()) {
        state.SkipWithError("Xvfb or the session bus did not start");
        return;
    }
    MapWatch watch(server.display());
    if (!watch.isValid()) {
        state.SkipWithError("no connection to Xvfb");
        return;
    }
    // A second start of a user who finished the walkthrough, as most starts are.
    if (!benchsupport::writeFinishedHome(home)) {
        state.SkipWithError("cannot write the user defaults");
        return;
    }
    const QProcessEnvironment environment =
        benchsupport::appEnvironment(bus.childEnvironment(), server.display(), home);

    const QString app = qEnvironmentVariableIsSet("VUDE_STARTUP_APP") ? qEnvironmentVariable("VUDE_STARTUP_APP")
                                                                      : QStringLiteral(VUDE_EXECUTABLE);
    const QString bare = QStringLiteral(BARE_WINDOW_EXECUTABLE);
    const int askedPairs = qEnvironmentVariableIntValue("VUDE_STARTUP_PAIRS");
    const int pairs = askedPairs > 0 ? askedPairs : kDefaultPairs;
    std::vector<double> appMs, bareMs, ratios, appPss, barePss, appLibraries, bareLibraries;
    for (auto _ : state) {
        // Unmeasured: the first start makes the store and fills the caches.
        if (!measure(watch, environment, app) || !measure(watch, environment, bare)) {
            state.SkipWithError("a subject mapped no window");
            return;
        }
        for (int pair = 0; pair < pairs; ++pair) {
            std::optional<Run> a, b;
            if (pair % 2 == 0) {
                a = measure(watch, environment, app);
                b = measure(watch, environment, bare);
            } else {
                b = measure(watch, environment, bare);
                a = measure(watch, environment, app);
            }
            if (!a || !b) {
                state.SkipWithError("a subject mapped no window");
                return;
            }
            appMs.push_back(a->startMs);
            bareMs.push_back(b->startMs);
            ratios.push_back(a->startMs / std::max(b->startMs, 1e-9));
            appPss.push_back(a->pssMb);
            barePss.push_back(b->pssMb);
            appLibraries.push_back(a->libraries);
            bareLibraries.push_back(b->libraries);
        }
    }
    state.counters["app_ms"] = median(appMs);
    state.counters["bare_ms"] = median(bareMs);
    state.counters["ratio"] = median(ratios);
    state.counters["app_pss_mb"] = median(appPss);
    state.counters["bare_pss_mb"] = median(barePss);
    state.counters["pss_ratio"] = median(appPss) / std::max(median(barePss), 1e-9);
    state.counters["app_libraries"] = median(appLibraries);
    state.counters["bare_libraries"] = median(bareLibraries);
}
BENCHMARK(BM_StartupAgainstBareWindow)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
