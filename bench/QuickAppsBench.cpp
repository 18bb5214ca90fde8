// What the Desk and the settings pay for applications and shortcuts: the scan
// of installed applications, the running check each quick app tile makes
// (a walk of the whole process table), and a listing of shortcuts through the
// runner.
#include "Platform/Core/AppResources.h"
#include "Platform/Desktop/GioApplicationCatalog.h"
#include "VudeServices/QuickAppsService.h"
#include "VudeServices/ShortcutsService.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// `count` application entries in the user's folder and as many in a system
// folder, half of them under the same ids.
struct EntryFolders {
    explicit EntryFolders(int count)
        : root(scratch.path().toStdString())
    {
        for (const auto& folder : {root / "home" / "applications", root / "system" / "applications"})
            fs::create_directories(folder);
        for (int i = 0; i < count; ++i) {
            for (const auto* folder : {"home", "system"}) {
                const int id = std::string_view(folder) == "home" ? i : i + count / 2;
                std::ofstream(root / folder / "applications" / ("org.example.App" + std::to_string(id) + ".desktop"))
                    << "[Desktop Entry]\nType=Application\nName=App " << id
                    << "\nName[de]=Anwendung " << id << "\nExec=/bin/sh -c true\nIcon=app" << id
                    << "\nCategories=Utility;\n";
            }
        }
    }
    Environment::Lookup environment() const
    {
        return Environment::fixed({{"XDG_DATA_HOME", (root / "home").string()},
                                   {"XDG_DATA_DIRS", (root / "system").string()}});
    }

    QTemporaryDir scratch;
    fs::path root;
};

void BM_InstalledApplications(benchmark::State& state)
{
    const EntryFolders folders(static_cast<int>(state.range(0)));
    const GioApplicationCatalog catalog({folders.environment(), "/proc"});
    std::size_t found = 0;
    for (auto _ : state) {
        const auto apps = QuickAppsService::scanInstalled(catalog);
        found = apps.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["apps"] = static_cast<double>(found);
}
BENCHMARK(BM_InstalledApplications)->Arg(50)->Arg(300)->Unit(benchmark::kMillisecond);

// A tile whose application does not run: with a lifetime of 0 every check
// reads the whole process table; with the default, the tiles of one Desk
// share a read.
void BM_IsRunningNotFound(benchmark::State& state)
{
    const EntryFolders folders(1);
    const GioApplicationCatalog catalog(
        {folders.environment(), "/proc", std::chrono::milliseconds(state.range(0))});
    const auto entry = catalog.locate("org.example.App0");
    std::size_t processes = 0;
    for (const auto& item : fs::directory_iterator("/proc"))
        processes += std::isdigit(static_cast<unsigned char>(item.path().filename().string()[0])) ? 1 : 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(catalog.isRunning("org.example.App0", entry));
    state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(BM_IsRunningNotFound)->Arg(0)->Arg(500)->Unit(benchmark::kMicrosecond);

// The runner found beside this program, listing `count` shortcuts.
void BM_ShortcutsListing(benchmark::State& state)
{
    const auto runner = AppResources::helperProgram(ShortcutsService::runnerName);
    if (!runner || !fs::exists(*runner)) {
        state.SkipWithError("the shortcuts runner is not built");
        return;
    }
    QTemporaryDir home;
    const fs::path folder = fs::path(home.path().toStdString()) / "Vude" / "Shortcuts";
    fs::create_directories(folder);
    for (int i = 0; i < state.range(0); ++i) {
        const fs::path script = folder / ("Shortcut " + std::to_string(i));
        std::ofstream(script) << "#!/bin/sh\n";
        fs::permissions(script, fs::perms(0755));
    }
    // The runner reads its folder from the environment it inherits.
    ::setenv("XDG_DATA_HOME", home.path().toUtf8().constData(), 1);
    std::size_t listed = 0;
    for (auto _ : state) {
        listed = ShortcutsService::listAvailable(*runner).size();
        benchmark::DoNotOptimize(listed);
    }
    state.counters["shortcuts"] = static_cast<double>(listed);
}
BENCHMARK(BM_ShortcutsListing)->Arg(10)->Arg(500)->Unit(benchmark::kMillisecond);

} // namespace
