// The cloud mirror's disk use and main-thread cost. Two installs share one
// cloud folder; the counters say how large the folder is after a long life
// of edits, next to the size of the data it holds.
#include "Platform/Cloud/FolderCloudDatabase.h"
#include "VudeSync/CloudMirror.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <random>
#include <stdexcept>

#include <time.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kContainer = "iCloud.app.ruvudav.notch";

struct Install {
    std::unique_ptr<ModelContainer> container;
    std::shared_ptr<FolderCloudDatabase> cloud;
    std::unique_ptr<CloudMirror> mirror;
    std::unique_ptr<DidoDivuzerore> desk;

    void sync() const
    {
        if (auto result = mirror->synchronize(); !result)
            throw std::runtime_error(result.error().description);
    }
};

class SharedCloud {
public:
    SharedCloud()
    {
        fs::create_directories(cloudFolder());
        open(a, "a", "0A000000-0000-4000-8000-000000000000");
        open(b, "b", "0B000000-0000-4000-8000-000000000000");
    }
    ~SharedCloud()
    {
        for (auto* install : {&a, &b}) {
            install->desk.reset();
            install->mirror.reset();
        }
    }

    fs::path base() const { return m_folder.path().toStdString(); }
    fs::path cloudFolder() const { return base() / "Cloud"; }

    std::uintmax_t folderBytes() const
    {
        std::uintmax_t total = 0;
        for (const auto& entry : fs::recursive_directory_iterator(cloudFolder()))
            if (entry.is_regular_file())
                total += entry.file_size();
        return total;
    }

    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365 * 20)};
    ManualScheduler scheduler{clock};
    Install a;
    Install b;

private:
    void open(Install& install, const std::string& name, const std::string& id)
    {
        ModelConfiguration configuration;
        configuration.url = base() / name / "Vude.store";
        configuration.cloudContainerID = kContainer;
        fs::create_directories(configuration.url.parent_path());
        install.container = ModelContainer::open(configuration).value();
        install.cloud = std::make_shared<FolderCloudDatabase>(cloudFolder(), kContainer, id, scheduler, clock);
        install.mirror = CloudMirror::start(*install.container, install.cloud, scheduler, clock).value();
        install.desk = std::make_unique<DidoDivuzerore>(install.container->makeContext(), "Desk " + name, clock);
    }

    QTemporaryDir m_folder;
};

/// What the live rows say, as plain text: the data the folder holds.
std::uintmax_t dataBytes(const ModelContainer& container)
{
    std::uintmax_t total = 0;
    auto context = const_cast<ModelContainer&>(container).makeContext();
    const auto todos = context->fetchAll<SyncedTodo>().value();
    for (const auto& todo : todos)
        total += todo->recordName().size() + todo->title.size() + todo->deviceID.size() + 16 + 8 * 4;
    const auto notes = context->fetchAll<SyncedNote>().value();
    for (const auto& note : notes)
        total += note->recordName().size() + note->title.size() + 16 + 8;
    const auto revisions = context->fetchAll<SyncedNoteRevision>().value();
    for (const auto& revision : revisions)
        total += revision->recordName().size() + revision->text.size() + revision->deviceID.size() + 16 + 8;
    const auto shortcuts = context->fetchAll<SyncedShortcut>().value();
    for (const auto& shortcut : shortcuts)
        total += shortcut->recordName().size() + shortcut->shortcutName.size() + shortcut->symbol.size() + 16 + 8;
    return total;
}

// 10,000 edits, four in five on desk A, each synced at once by its desk and
// seen by the other every tenth edit: renamed and ticked to-dos, note edits,
// to-dos deleted and added (so deletion marks come and go), shortcuts added
// and removed.
void BM_DiskUseAfterTenThousandEdits(benchmark::State& state)
{
    for (auto _ : state) {
        SharedCloud cloud;
        std::mt19937 random(7);
        for (int i = 0; i < 60; ++i)
            cloud.a.desk->addTodo("To-do number " + std::to_string(i));
        cloud.a.sync();
        cloud.b.sync();
        std::uintmax_t peak = 0;
        for (int edit = 0; edit < 10'000; ++edit) {
            cloud.clock.advance(std::chrono::seconds(3));
            Install& install = edit % 5 == 4 ? cloud.b : cloud.a;
            Install& other = &install == &cloud.a ? cloud.b : cloud.a;
            auto& desk = *install.desk;
            const auto todos = desk.todos();
            const auto& pick = todos[random() % todos.size()];
            switch (edit % 10) {
            case 0:
            case 1:
            case 2:
                desk.toggleTodo(pick.id);
                break;
            case 3:
            case 4:
                desk.saveNote("Shopping list, edit " + std::to_string(edit) + "\nbread\nmilk\neggs\ncoffee\n");
                break;
            case 5:
            case 6:
                desk.deleteTodo(pick.id);
                desk.addTodo("Added at edit " + std::to_string(edit));
                break;
            case 7:
                desk.addShortcut("Shortcut " + std::to_string(edit), "sparkles");
                break;
            case 8:
                if (!desk.shortcuts().empty())
                    desk.removeShortcut(desk.shortcuts().front().id);
                break;
            default:
                desk.favoriteTodo(pick.id);
                break;
            }
            install.sync();
            if (edit % 10 == 9)
                other.sync();
            peak = std::max(peak, cloud.folderBytes());
        }
        for (int round = 0; round < 3; ++round) {
            cloud.a.sync();
            cloud.b.sync();
        }
        const auto folder = cloud.folderBytes();
        const auto data = dataBytes(*cloud.a.container);
        state.counters["folder_bytes"] = static_cast<double>(folder);
        state.counters["peak_folder_bytes"] = static_cast<double>(peak);
        state.counters["data_bytes"] = static_cast<double>(data);
        state.counters["folder_per_data"] = static_cast<double>(folder) / static_cast<double>(data);
        state.counters["live_todos"] = static_cast<double>(cloud.a.desk->todos().size());
        state.counters["live_shortcuts"] = static_cast<double>(cloud.a.desk->shortcuts().size());
        state.counters["b_agrees"] = cloud.a.desk->todos() == cloud.b.desk->todos() ? 1 : 0;
    }
}
BENCHMARK(BM_DiskUseAfterTenThousandEdits)->Iterations(1)->Unit(benchmark::kSecond);

/// One pass after a single edit, with `range(0)` to-dos in the store: the
/// edit through the repository (which rebuilds its lists), A's pass that
/// sends it and B's pass that applies it.
void BM_PassAfterOneEdit(benchmark::State& state)
{
    SharedCloud cloud;
    {
        auto context = cloud.a.container->makeContext();
        for (int i = 0; i < state.range(0); ++i)
            context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "To-do number " + std::to_string(i), false,
                                                         false, cloud.clock.now(), std::nullopt, 0, "a"));
        (void)context->save();
    }
    cloud.a.desk->refresh();
    cloud.a.sync();
    cloud.b.sync();
    const auto id = cloud.a.desk->todos().front().id;
    for (auto _ : state) {
        cloud.clock.advance(std::chrono::seconds(1));
        cloud.a.desk->toggleTodo(id);
        cloud.a.sync();
        cloud.b.sync();
    }
}
BENCHMARK(BM_PassAfterOneEdit)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

double cpuSeconds(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

/// The mirror's share of one edit, with `range(0)` to-dos in the store: a
/// context saves one changed to-do (untimed), then A's pass sends it and B's
/// applies it. Wall time is timed; the counters give the CPU per edit on the
/// main thread and in the whole process (the mirrors' workers included).
void BM_MirrorPassesAfterOneEdit(benchmark::State& state)
{
    SharedCloud cloud;
    // The repositories' reloads after a remote change are theirs, not the
    // mirror's.
    cloud.a.desk.reset();
    cloud.b.desk.reset();
    auto context = cloud.a.container->makeContext();
    for (int i = 0; i < state.range(0); ++i)
        context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "To-do number " + std::to_string(i), false,
                                                     false, cloud.clock.now(), std::nullopt, 0, "a"));
    (void)context->save();
    cloud.a.sync();
    cloud.b.sync();
    const auto todo = context->fetchAll<SyncedTodo>().value().front();
    double mainCpu = 0;
    double totalCpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        cloud.clock.advance(std::chrono::seconds(1));
        todo->isDone = !todo->isDone;
        (void)context->save();
        const double mainBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double totalBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        state.ResumeTiming();
        cloud.a.sync();
        cloud.b.sync();
        mainCpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainBefore;
        totalCpu += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - totalBefore;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["main_cpu_ms"] = mainCpu * 1e3 / iterations;
    state.counters["total_cpu_ms"] = totalCpu * 1e3 / iterations;
    if (cloud.b.container->makeContext()->fetchAll<SyncedTodo>().value().size() != std::size_t(state.range(0)))
        state.SkipWithError("B does not hold every to-do");
}
BENCHMARK(BM_MirrorPassesAfterOneEdit)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

/// The slow poll's look at the folder when nothing changed.
void BM_PollWithNothingNew(benchmark::State& state)
{
    SharedCloud cloud;
    cloud.a.desk->addTodo("One");
    cloud.a.sync();
    cloud.b.sync();
    for (auto _ : state)
        benchmark::DoNotOptimize(cloud.b.cloud->hasUnseenChanges());
}
BENCHMARK(BM_PollWithNothingNew)->Unit(benchmark::kMicrosecond);

} // namespace
