// Settings are read on every frame by views and written on every step of a
// slider drag: reads must be cheap, and a write costs one atomic file replace.
#include "Platform/Settings/FileUserDefaults.h"
#include "VudeKit/SettingsStore.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path scratchFile()
{
    const auto folder = fs::temp_directory_path() / ("vude-settings-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    return folder / "defaults.json";
}

// Every setting written once, as after a user went through the settings window.
void fillEverySetting(SettingsStore& store)
{
    store.setLaunchAtLogin(true);
    store.setContentPadding(20);
    store.setWidgetOrder({WidgetID::calendar, WidgetID::media, WidgetID::notes});
    store.setEnabledWidgets({WidgetID::calendar, WidgetID::media});
    store.setVisibleCalendars({"work", "home"});
    for (const auto id : allCases<WidgetID>())
        store.setCells(5, id);
    for (int i = 0; i < 90; ++i)
        store.defaults()->set("key" + std::to_string(i), i % 2 == 0);
}

} // namespace

static void BM_ReadBool(benchmark::State& state)
{
    SettingsStore store(std::make_shared<InMemoryUserDefaults>());
    store.setSoundEnabled(false);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.soundEnabled());
}
BENCHMARK(BM_ReadBool);

static void BM_ReadEnumeration(benchmark::State& state)
{
    SettingsStore store(std::make_shared<InMemoryUserDefaults>());
    store.setKeepAwakeDuration(KeepAwakeDurationSetting::twoHours);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.keepAwakeDuration());
}
BENCHMARK(BM_ReadEnumeration);

static void BM_ReadWidgetOrder(benchmark::State& state)
{
    SettingsStore store(std::make_shared<InMemoryUserDefaults>());
    store.setWidgetOrder({WidgetID::calendar, WidgetID::media, WidgetID::notes, WidgetID::todos});
    for (auto _ : state)
        benchmark::DoNotOptimize(store.widgetOrder());
}
BENCHMARK(BM_ReadWidgetOrder);

static void BM_ReadNotchGuards(benchmark::State& state)
{
    SettingsStore store(std::make_shared<InMemoryUserDefaults>());
    for (auto _ : state)
        benchmark::DoNotOptimize(store.notchGuards());
}
BENCHMARK(BM_ReadNotchGuards);

static void BM_WriteNumberInMemory(benchmark::State& state)
{
    SettingsStore store(std::make_shared<InMemoryUserDefaults>());
    double value = 0;
    for (auto _ : state)
        store.setContentPadding(value = value > 23 ? 0 : value + 1);
}
BENCHMARK(BM_WriteNumberInMemory);

// The file holds about a hundred keys, as a real one would.
static void BM_WriteNumberToFile(benchmark::State& state)
{
    const auto file = scratchFile();
    SettingsStore store(std::make_shared<FileUserDefaults>(file));
    fillEverySetting(store);
    double value = 0;
    for (auto _ : state)
        store.setContentPadding(value = value > 23 ? 0 : value + 1);
    fs::remove_all(file.parent_path());
}
BENCHMARK(BM_WriteNumberToFile)->Unit(benchmark::kMicrosecond);

static void BM_ResetAllOnFile(benchmark::State& state)
{
    const auto file = scratchFile();
    for (auto _ : state) {
        state.PauseTiming();
        SettingsStore store(std::make_shared<FileUserDefaults>(file));
        fillEverySetting(store);
        state.ResumeTiming();
        store.resetAll();
    }
    fs::remove_all(file.parent_path());
}
BENCHMARK(BM_ResetAllOnFile)->Unit(benchmark::kMicrosecond);

static void BM_LoadFile(benchmark::State& state)
{
    const auto file = scratchFile();
    {
        SettingsStore store(std::make_shared<FileUserDefaults>(file));
        fillEverySetting(store);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(FileUserDefaults(file).loadOutcome());
    fs::remove_all(file.parent_path());
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMicrosecond);
