// The Desk calls the repository on the main thread: with a large to-do list,
// adding one, refreshing and toggling must each stay well inside a 60 Hz frame
// (16.7 ms).
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

constexpr int kTodoCount = 10'000;

/// A store holding `kTodoCount` to-dos and a repository over it.
class LargeStore {
public:
    LargeStore()
    {
        ModelConfiguration configuration;
        configuration.url = std::filesystem::path(m_folder.path().toStdString()) / "Vude.store";
        auto opened = ModelContainer::open(configuration);
        if (!opened)
            throw std::runtime_error(opened.error());
        m_container = std::move(*opened);
        auto context = m_container->makeContext();
        const Date start = m_clock.now();
        for (int i = 0; i < kTodoCount; ++i)
            context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "To-do number " + std::to_string(i), i % 3 == 0,
                                                         i % 7 == 0, start + std::chrono::seconds(i), std::nullopt, 0,
                                                         "bench"));
        (void)context->save();
        repository = std::make_unique<DidoDivuzerore>(m_container->makeContext(), "bench", m_clock);
    }

    ModelContainer& container() { return *m_container; }

    std::unique_ptr<DidoDivuzerore> repository;

private:
    QTemporaryDir m_folder;
    SystemClock m_clock;
    std::unique_ptr<ModelContainer> m_container;
};

void BM_AddTodoToTenThousand(benchmark::State& state)
{
    LargeStore store;
    for (auto _ : state)
        store.repository->addTodo("One more thing");
    state.counters["todos"] = static_cast<double>(store.repository->todos().size());
}
BENCHMARK(BM_AddTodoToTenThousand)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_RefreshTenThousand(benchmark::State& state)
{
    LargeStore store;
    for (auto _ : state)
        store.repository->refresh();
}
BENCHMARK(BM_RefreshTenThousand)->Unit(benchmark::kMillisecond);

void BM_ToggleAmongTenThousand(benchmark::State& state)
{
    LargeStore store;
    const Uuid id = store.repository->todos()[kTodoCount / 2].id;
    for (auto _ : state)
        store.repository->toggleTodo(id);
}
BENCHMARK(BM_ToggleAmongTenThousand)->Unit(benchmark::kMillisecond);

// Made once at launch: the first fetch builds a row object per stored to-do.
void BM_CreateRepositoryOverTenThousand(benchmark::State& state)
{
    LargeStore store;
    for (auto _ : state)
        benchmark::DoNotOptimize(DidoDivuzerore(store.container().makeContext(), "bench", SystemClock()).todos());
}
BENCHMARK(BM_CreateRepositoryOverTenThousand)->Unit(benchmark::kMillisecond);

// Another writer (the mirror, another process) changed one to-do: the whole
// table is read again.
void BM_RefreshAfterAnotherWriterTenThousand(benchmark::State& state)
{
    LargeStore store;
    auto other = store.container().makeContext();
    auto todos = other->fetchAll<SyncedTodo>();
    const auto changed = todos->front();
    for (auto _ : state) {
        state.PauseTiming();
        changed->isFavorite = !changed->isFavorite;
        (void)other->save();
        state.ResumeTiming();
        store.repository->refresh();
    }
}
BENCHMARK(BM_RefreshAfterAnotherWriterTenThousand)->Unit(benchmark::kMillisecond);

void BM_ReloadFromStoreTenThousand(benchmark::State& state)
{
    LargeStore store;
    for (auto _ : state)
        store.repository->reloadFromStore();
}
BENCHMARK(BM_ReloadFromStoreTenThousand)->Unit(benchmark::kMillisecond);

} // namespace
