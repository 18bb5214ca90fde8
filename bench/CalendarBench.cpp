// The calendar service refreshes on the main thread: softly after every
// change in the calendars folder, hard (every file parsed again) at start
// and every 300 s. Both must stay well inside a frame's worth of work for a
// busy calendar.
#include "Platform/Desktop/CalendarFolderStore.h"
#include "VudeServices/CalendarService.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

// `calendars` vdir folders of `eventsPerCalendar` one-event files each,
// spread over two months around the clock's now, a tenth of them repeating
// every weekday.
struct CalendarFolder {
    CalendarFolder(int calendars, int eventsPerCalendar)
    {
        for (int c = 0; c < calendars; ++c) {
            const fs::path folder = root() / ("calendar" + std::to_string(c));
            fs::create_directories(folder);
            std::ofstream(folder / "displayname") << "Calendar " << c;
            for (int e = 0; e < eventsPerCalendar; ++e) {
                const int day = 1 + e % 28;
                const int hour = 8 + e % 10;
                std::string start = "202403" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "T" +
                                    (hour < 10 ? "0" : "") + std::to_string(hour) + "0000";
                std::ofstream(folder / ("event" + std::to_string(e) + ".ics"))
                    << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VEVENT\r\n"
                    << "UID:" << c << "-" << e << "@bench\r\nSUMMARY:Meeting " << e << "\r\n"
                    << "DTSTART;TZID=Europe/Berlin:" << start << "\r\nDURATION:PT45M\r\n"
                    << "LOCATION:Room " << e % 12 << "\r\nDESCRIPTION:Agenda\\nJoin https://acme.zoom.us/j/" << e
                    << "?pwd=x\r\n"
                    << (e % 10 == 0 ? "RRULE:FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR\r\n" : "")
                    << "END:VEVENT\r\nEND:VCALENDAR\r\n";
            }
        }
    }
    fs::path root() const { return fs::path(dir.path().toStdString()) / "Calendars"; }

    QTemporaryDir dir;
};

void refresh(benchmark::State& state, bool hard)
{
    const CalendarFolder folder(int(state.range(0)), int(state.range(1)));
    ManualClock clock(Date(sys_days(year{2024} / 3 / 15) + hours(12)));
    ManualScheduler scheduler(clock);
    CalendarService service(std::make_unique<CalendarFolderStore>(folder.root(), scheduler), clock, scheduler);
    service.start();
    for (auto _ : state)
        service.refresh(hard);
    state.counters["events"] = double(service.events().size());
}

} // namespace

// Parsing every file again, as at start and every 300 s.
static void BM_CalendarHardRefresh(benchmark::State& state)
{
    refresh(state, true);
}
BENCHMARK(BM_CalendarHardRefresh)->Args({3, 100})->Args({3, 1000})->Unit(benchmark::kMillisecond);

// After a change: unchanged files come from the cache.
static void BM_CalendarSoftRefresh(benchmark::State& state)
{
    refresh(state, false);
}
BENCHMARK(BM_CalendarSoftRefresh)->Args({3, 100})->Args({3, 1000})->Unit(benchmark::kMillisecond);
