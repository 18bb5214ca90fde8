// Opening the Desk on a 1440-wide screen with every widget enabled (the row
// places those that fit) and a day's worth of data: from the `open` event to
// the first frame painted, as the notch's root view paints it in a window of
// the open panel's size. The budget is 8 ms, half a 60 Hz frame.
//
//   BM_OpenToFirstFrame    the event, one animation frame, the repaint: the
//                          Desk is built, laid out and drawn at its first,
//                          faint opacity (through its fade).
//   BM_OpenToSettledFrame  the same, with the open spring run to its end
//                          before the repaint: the Desk drawn in full.
//
// The springs run on a manual scheduler, so the time is ours alone; the
// Desk is closed and deleted between rounds, untimed. Also the memory an
// open Desk adds: the process's proportional set size (PSS) with the Desk
// closed and open, after a first open and close have warmed the caches.
#include "Platform/Core/NotificationCenter.h"
#include "Vude/Desk/RavoView.h"
#include "Vude/Desk/RavoViewFactory.h"
#include "Vude/Shell/NotchRootView.h"
#include "Vude/Shell/NotchViewModel.h"
#include "Vude/Shell/Views/ArtworkCache.h"
#include "VudeKit/UserDefaults.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"
#include "VudeUI/qt/QtTextMeasurer.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"

#include "support/BenchRig.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <optional>

namespace {

using namespace std::chrono_literals;

/// The process's proportional set size in KiB; -1 when unreadable.
double pssKiB()
{
    QFile file(QStringLiteral("/proc/self/smaps_rollup"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toDouble();
    return -1;
}

/// A calendar with a week of events.
class WeekCalendar final : public NotchCalendarService {
public:
    explicit WeekCalendar(Date now)
    {
        for (int day = 0; day < 7; ++day) {
            NotchCalendarDay shown{now + std::chrono::hours(24 * day), {}};
            for (int i = 0; i < 3; ++i) {
                NotchCalendarEvent event;
                event.id = std::to_string(day * 10 + i);
                event.title = "Review of the quarterly plan " + event.id;
                event.start = shown.day + std::chrono::hours(9 + 2 * i);
                event.end = event.start + 1h;
                event.location = "Room 4";
                event.calendarColor = NotchCalendarColor{0.4, 0.6, 0.8};
                shown.events.push_back(event);
            }
            m_days.push_back(shown);
        }
    }
    NotchCalendarAccess access() const override { return NotchCalendarAccess::granted; }
    std::optional<std::string> requestError() const override { return std::nullopt; }
    void start(std::function<void()> done) override
    {
        if (done)
            done();
    }
    std::vector<NotchCalendarDay> grouped() const override { return m_days; }

private:
    std::vector<NotchCalendarDay> m_days;
};

class MemoryTray final : public NotchTrayStore {
public:
    std::vector<NotchTrayItem> items() const override { return stored; }
    void remove(const NotchTrayItem&) override {}
    void removeEntry(const NotchTrayItem&) override {}
    void removeAll() override {}
    void thumbnail(const NotchTrayItem&, double, QObject*, ThumbnailDone) override {}
    void quickLook(const NotchTrayItem&) override {}
    std::vector<NotchTrayItem> stored;
};

struct Rig {
    Rig()
    {
        ScreenDescription screen;
        screen.name = "eDP-1";
        screen.frame = {0, 0, 1440, 900};
        screen.visibleFrame = screen.frame;
        fakes.screens.setScreens({screen});
        NotchGeometry geometry;
        geometry.displayID = 1;
        geometry.screenFrame = {0, 0, 1440, 900};
        geometry.notchSize = {200, 32};
        geometry.notchOrigin = {620, 868};
        model = std::make_unique<NotchViewModel>(geometry, settings, platform, scheduler, clock, measurer);
        fill();
        root = new NotchRootView(*model, scheduler, clock, cache, &window);
        root->setDeskViewFactory(ravoViewFactory(desk));
        // The panel is as large as the open canvas.
        const Size canvas = model->contentSize(NotchState::open(RiziDar::ravo));
        window.resize(int(std::ceil(canvas.width + 24)), int(std::ceil(canvas.height + 6)));
        root->resize(window.size());
        window.show();
    }

    /// Every widget enabled, and what a working day leaves in the lists.
    void fill()
    {
        const auto cases = allCases<WidgetID>();
        const std::vector<WidgetID> all(cases.begin(), cases.end());
        model->setLayout(WidgetLayoutEngine{54, 22, 18, 1100}.layout(all, {all.begin(), all.end()}, {}, 1440 - 80));

        ModelConfiguration configuration;
        configuration.url = std::filesystem::path(folder.path().toStdString()) / "Vude.store";
        auto opened = ModelContainer::open(configuration);
        container = std::move(*opened);
        repository = std::make_shared<DidoDivuzerore>(container->makeContext(), "Bench computer", clock);
        for (int i = 0; i < 12; ++i)
            repository->addTodo("Reply to the note about item " + std::to_string(i));
        for (const char* name : {"Backup", "Focus music", "Resize images", "Dark mode"})
            repository->addShortcut(name, "sparkles");
        repository->saveNote("Call the plumber before Friday.\nBuy bread, milk and coffee.");
        model->repository = repository;

        NowPlayingState playing;
        playing.title = "Harbour Lights";
        playing.artist = "The Quiet Coast";
        playing.isPlaying = true;
        playing.duration = 245;
        playing.elapsed = 81;
        model->setNowPlaying(playing);
        model->calendarService = std::make_shared<WeekCalendar>(clock.now());

        std::vector<NotchTimer> timers;
        for (const double total : {300.0, 1500.0, 3600.0})
            timers.push_back({Uuid::random(), "", total, clock.now(), std::nullopt});
        model->setTimers(timers);
        std::vector<NotchClip> clips;
        for (int i = 0; i < 40; ++i)
            clips.push_back({Uuid::random(), "A copied line of text number " + std::to_string(i), Clip::Kind::text,
                             "A copied line of text number " + std::to_string(i)});
        model->setClips(clips);
        std::vector<NotchQuickApp> apps;
        for (const char* name : {"Files", "Terminal", "Firefox", "Calculator", "Text Editor", "Settings"})
            apps.push_back({std::string("org.example.") + name, name, Uuid::random(), std::nullopt});
        model->setQuickApps(apps);
        devices = {{1, "Built-in Speakers", AudioState::Transport::builtIn, true},
                   {2, "Headset", AudioState::Transport::bluetooth, false},
                   {3, "HDMI Monitor", AudioState::Transport::hdmi, false}};
        model->audioOutputDevices = [this] { return devices; };
        model->setAudioDevices(devices);
        tray->stored = {
            {Uuid::random(), "Quarterly report.pdf", std::nullopt, "/tmp/a", false, "1.2 MB", "application/pdf"},
            {Uuid::random(), "Photos", std::nullopt, "/tmp/b", true, "24 items · 38 MB", "inode/directory"}};
        model->trayStore = tray;
        model->setTrayItems(tray->stored);
    }

    /// Back to closed, the Desk deleted.
    void close()
    {
        model->send(NotchEvent::forceClose());
        scheduler.advance(2s);
        root->repaint();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir folder;
    FakeShellPlatform fakes;
    ShellPlatform platform = fakes.platform();
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365 * 20)};
    ManualScheduler scheduler{clock};
    SettingsStore settings{std::make_shared<InMemoryUserDefaults>()};
    QtTextMeasurer measurer;
    FixedReduceMotionSetting reduceMotion{false};
    NotificationCenter notifications;
    DeskEnvironment desk{{scheduler, clock, &reduceMotion}, clock, notifications};
    ArtworkCache cache;
    std::unique_ptr<ModelContainer> container;
    std::shared_ptr<DidoDivuzerore> repository;
    std::shared_ptr<MemoryTray> tray = std::make_shared<MemoryTray>();
    std::vector<AudioOutputDevice> devices;
    std::unique_ptr<NotchViewModel> model;
    QWidget window;
    NotchRootView* root = nullptr;
};

Rig* rig = nullptr;

/// Times the open event to the first repaint, `settle` on the clock first.
void openToFrame(benchmark::State& state, Duration settle)
{
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        rig->model->send(NotchEvent::click());
        rig->scheduler.advance(settle);
        rig->root->repaint();
        const auto end = std::chrono::steady_clock::now();
        const double elapsed = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(elapsed);
        times.push_back(elapsed * 1e6);
        if (!qobject_cast<RavoView*>(rig->root->deskView())) {
            state.SkipWithError("no Desk was built");
            break;
        }
        rig->close();
    }
    benchsupport::reportPercentiles(state, times);
    state.counters["placed_widgets"] = double(rig->model->layout().placements.size());
}

} // namespace

// The memory an open Desk holds beyond a closed one, once the caches an
// open Desk fills the first time (fonts, glyphs, symbols) are warm; and what
// that first open added. Registered first, so that its first open is the
// program's.
static void BM_OpenDeskMemory(benchmark::State& state)
{
    double first = 0;
    double added = 0;
    double closed = 0;
    for (auto _ : state) {
        rig->close();
        const double cold = pssKiB();
        rig->model->send(NotchEvent::click());
        rig->scheduler.advance(2s);
        rig->root->repaint();
        first = pssKiB() - cold;
        rig->close();
        closed = pssKiB();
        rig->model->send(NotchEvent::click());
        rig->scheduler.advance(2s);
        rig->root->repaint();
        added = pssKiB() - closed;
        rig->close();
    }
    state.counters["pss_closed_kib"] = closed;
    state.counters["pss_added_kib"] = added;
    state.counters["pss_first_open_added_kib"] = first;
}
BENCHMARK(BM_OpenDeskMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

static void BM_OpenToFirstFrame(benchmark::State& state)
{
    openToFrame(state, SpringAnimator::kFrameInterval);
}
BENCHMARK(BM_OpenToFirstFrame)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

static void BM_OpenToSettledFrame(benchmark::State& state)
{
    openToFrame(state, 2s);
}
BENCHMARK(BM_OpenToSettledFrame)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono");
    benchmark::Initialize(&argc, argv);
    {
        Rig made;
        rig = &made;
        benchmark::RunSpecifiedBenchmarks();
        rig = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
