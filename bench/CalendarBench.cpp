// The calendar service's refresh over a calendars folder of 1,000 and 5,000
// one-event files, from the request to the published events:
//   - a full refresh (every file parsed again, as at start and every 300 s);
//   - a refresh after one file changed (only the series it held are laid
//     out again);
// beside the peer: libical's bare read and parse of the same files. On a
// loaded machine the CPU time tells more than the wall time: "cpuMs" is the
// process's CPU time per refresh (both threads), "mainThreadMs" the main
// thread's share; the rest runs on the store's thread.
#include "Platform/Desktop/CalendarFolderStore.h"
#include "VudeServices/CalendarService.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <libical/ical.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

// One vdir calendar of `files` one-event files over four weeks around the
// clock's now, a tenth of them repeating every weekday.
struct CalendarFolder {
    explicit CalendarFolder(int files)
    {
        fs::create_directories(calendar());
        std::ofstream(calendar() / "displayname") << "Work";
        for (int e = 0; e < files; ++e)
            write(e, "Meeting " + std::to_string(e));
    }

    void write(int e, const std::string& title) const
    {
        const int day = 1 + e % 28;
        const int hour = 8 + e % 10;
        const std::string start = "202403" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "T" +
                                  (hour < 10 ? "0" : "") + std::to_string(hour) + "0000";
        std::ofstream(file(e)) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VEVENT\r\n"
                               << "UID:" << e << "@bench\r\nSUMMARY:" << title << "\r\n"
                               << "DTSTART;TZID=Europe/Berlin:" << start << "\r\nDURATION:PT45M\r\n"
                               << "LOCATION:Room " << e % 12 << "\r\nDESCRIPTION:Agenda\\nJoin https://acme.zoom.us/j/"
                               << e << "?pwd=x\r\n"
                               << (e % 10 == 0 ? "RRULE:FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR\r\n" : "")
                               << "END:VEVENT\r\nEND:VCALENDAR\r\n";
    }

    fs::path root() const { return fs::path(dir.path().toStdString()) / "Calendars"; }
    fs::path calendar() const { return root() / "work"; }
    fs::path file(int e) const { return calendar() / ("event" + std::to_string(e) + ".ics"); }

    QTemporaryDir dir;
};

double cpuMilliseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Refreshing {
    explicit Refreshing(int files)
        : folder(files),
          clock(Date(sys_days(year{2024} / 3 / 15) + hours(12))),
          scheduler(clock),
          service(std::make_unique<CalendarFolderStore>(folder.root(), scheduler), clock, scheduler)
    {
        bool started = false;
        service.start([&] { started = true; });
        waitFor(started);
    }

    void refresh(bool hard)
    {
        const double thread = cpuMilliseconds(CLOCK_THREAD_CPUTIME_ID);
        const double process = cpuMilliseconds(CLOCK_PROCESS_CPUTIME_ID);
        bool done = false;
        service.refresh(hard, [&] { done = true; });
        waitFor(done);
        mainThreadMs += cpuMilliseconds(CLOCK_THREAD_CPUTIME_ID) - thread;
        cpuMs += cpuMilliseconds(CLOCK_PROCESS_CPUTIME_ID) - process;
        ++refreshes;
    }

    static void waitFor(const bool& done)
    {
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    double mainThreadMs = 0;
    double cpuMs = 0;
    int refreshes = 0;
    CalendarFolder folder;
    ManualClock clock;
    ManualScheduler scheduler;
    CalendarService service;
};

} // namespace

static void BM_CalendarFullRefresh(benchmark::State& state)
{
    Refreshing rig(int(state.range(0)));
    rig.mainThreadMs = 0;
    rig.cpuMs = 0;
    rig.refreshes = 0;
    for (auto _ : state)
        rig.refresh(true);
    state.counters["events"] = double(rig.service.events().size());
    state.counters["mainThreadMs"] = rig.mainThreadMs / std::max(rig.refreshes, 1);
    state.counters["cpuMs"] = rig.cpuMs / std::max(rig.refreshes, 1);
}
BENCHMARK(BM_CalendarFullRefresh)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_CalendarRefreshAfterOneFileChanged(benchmark::State& state)
{
    const int files = int(state.range(0));
    Refreshing rig(files);
    rig.mainThreadMs = 0;
    rig.cpuMs = 0;
    rig.refreshes = 0;
    int edits = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.folder.write(files / 2, edits++ % 2 ? "Moved meeting" : "Meeting");
        state.ResumeTiming();
        rig.refresh(false);
    }
    state.counters["events"] = double(rig.service.events().size());
    state.counters["mainThreadMs"] = rig.mainThreadMs / std::max(rig.refreshes, 1);
    state.counters["cpuMs"] = rig.cpuMs / std::max(rig.refreshes, 1);
}
BENCHMARK(BM_CalendarRefreshAfterOneFileChanged)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: read each file and parse it with libical, nothing more.
static void BM_LibicalReadAndParse(benchmark::State& state)
{
    const int files = int(state.range(0));
    const CalendarFolder folder(files);
    for (auto _ : state) {
        for (int e = 0; e < files; ++e) {
            std::ifstream in(folder.file(e), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            icalcomponent* component = icalparser_parse_string(text.str().c_str());
            benchmark::DoNotOptimize(component);
            icalcomponent_free(component);
        }
    }
}
BENCHMARK(BM_LibicalReadAndParse)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime();
