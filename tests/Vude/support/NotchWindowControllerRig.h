#pragma once
// A window controller over fakes: screens, pointer, mouse monitor, drag
// selection and sharing from FakeShellPlatform, a manual clock and
// scheduler, settings in memory, a fake pipeline runner, and the services'
// folders in a temporary directory.

#include "Platform/Desktop/FakeApplicationCatalog.h"
#include "Platform/Desktop/FakePasteboard.h"
#include "Platform/Desktop/FrontmostApplication.h"
#include "Platform/Network/FakeLocationBackend.h"
#include "Platform/Network/FakeReverseGeocoder.h"
#include "Platform/Network/FakeWeatherService.h"
#include "VudeKit/UserDefaults.h"
#include "VudeServices/LocationProvider.h"
#include "VudeServices/TrayStore.h"
#include "VudeServices/WeatherProvider.h"
#include "Vude/Shell/NotchHostingView.h"
#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchViewModel.h"
#include "Vude/Shell/NotchWindowController.h"

#include <QTemporaryDir>

#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace controllertest {

using namespace std::chrono_literals;

class FakeMeasurer final : public TextMeasurer {
public:
    double width(std::string_view text, double size, Vude::FontWeight) const override
    {
        return double(text.size()) * size * 0.5;
    }
};

/// A screen in Qt's coordinates; a notched one has a 185-point housing
/// between its two top areas and a 33-point menu bar.
inline ScreenDescription screen(const std::string& name, Rect frame, bool notched = false, bool primary = false)
{
    ScreenDescription description;
    description.name = name;
    description.displayNumber = displayNumberFor(name);
    description.frame = frame;
    description.visibleFrame = frame;
    description.isPrimary = primary;
    if (notched) {
        description.safeAreaTop = 32;
        const double side = (frame.width - 185) / 2;
        description.auxiliaryTopLeftArea = Rect{frame.x, frame.y, side, 32};
        description.auxiliaryTopRightArea = Rect{frame.x + side + 185, frame.y, side, 32};
        description.visibleFrame = Rect{frame.x, frame.y + 33, frame.width, frame.height - 33};
    }
    return description;
}

/// Takes every file, or only some, and runs when the test says so.
class FakePipeline final : public DropPipeline {
public:
    FakePipeline(PipelineID id, std::string extension) : m_id(id), m_extension(std::move(extension)) {}
    PipelineID id() const override { return m_id; }
    std::string title() const override { return "Fake"; }
    std::string symbol() const override { return "bolt"; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override
    {
        return !urls.empty() && std::ranges::all_of(urls, [&](const auto& url) { return url.extension() == m_extension; });
    }
    PipelineRunResult run(const std::vector<std::filesystem::path>&, const std::filesystem::path&,
                          const ProgressReporter&) const override
    {
        return std::vector<std::filesystem::path>{};
    }

private:
    PipelineID m_id;
    std::string m_extension;
};

class FakePipelineRunner final : public NotchPipelineRunner {
public:
    struct Run {
        PipelineID id;
        std::vector<std::filesystem::path> urls;
        std::filesystem::path folder;
        FinishHandler onFinish;
    };

    FakePipelineRunner()
        : m_registry(std::make_shared<PipelineRegistry>(PipelineRegistry::Pipelines{
              std::make_shared<FakePipeline>(PipelineID::compressImage, ".png"),
              std::make_shared<FakePipeline>(PipelineID::zip, ".txt")}))
    {
    }
    std::shared_ptr<const PipelineRegistry> registry() const override { return m_registry; }
    PipelineRegistry::Pipelines lanes(const std::vector<std::filesystem::path>& urls,
                                      const PipelineList& enabled) const override
    {
        PipelineRegistry::Pipelines accepting = m_registry->lanes(urls, enabled);
        std::erase_if(accepting, [&](const auto& pipeline) { return refused.contains(pipeline->id()); });
        return accepting;
    }
    void run(PipelineRegistry::Pipeline pipeline, std::vector<std::filesystem::path> urls,
             std::filesystem::path folder, FinishHandler onFinish) override
    {
        runs.push_back({pipeline->id(), std::move(urls), std::move(folder), std::move(onFinish)});
    }

    /// Pipelines that no longer take anything (as if disabled meanwhile).
    std::set<PipelineID> refused;
    std::vector<Run> runs;

private:
    std::shared_ptr<PipelineRegistry> m_registry;
};

struct Rig {
    explicit Rig(std::vector<ScreenDescription> initial = {screen("eDP-1", {0, 0, 1512, 982}, true, true)},
                 bool build = true)
    {
        fakes.screens.setScreens(std::move(initial));
        if (build)
            make();
    }

    void make()
    {
        NotchWindowControllerEnvironment environment{settings, fakes.platform(), scheduler, clock,
                                                     clock,    measurer,         pasteboard};
        environment.frontmostApplication = &frontmost;
        environment.applicationSupport = folder.path().toStdString();
        environment.applicationCatalog = &catalog;
        environment.trace = [this](const std::string& line) { trace.push_back(line); };
        environment.canRead = [this](const std::filesystem::path& path) { return !unreadable.contains(path); };
        environment.audioOutputDevices = [this] { return devices; };
        environment.setDefaultAudioOutput = [this](std::uint32_t chosen, std::function<void(bool)> done) {
            for (AudioOutputDevice& device : devices)
                device.isDefault = device.id == chosen;
            done(true);
        };
        environment.makeLocationProvider = [this] {
            return std::make_unique<LocationProvider>(std::make_unique<FakeLocationBackend>(),
                                                      std::make_unique<FakeReverseGeocoder>(), clock, scheduler);
        };
        environment.makeWeatherProvider = [this](LocationProvider& locations) {
            return std::make_unique<WeatherProvider>(locations, std::make_unique<FakeWeatherService>(), clock,
                                                     scheduler);
        };
        if (!realRunner) {
            environment.makePipelineRunner = [this]() -> std::unique_ptr<NotchPipelineRunner> {
                auto made = std::make_unique<FakePipelineRunner>();
                runner = made.get();
                return made;
            };
        }
        controller = std::make_unique<NotchWindowController>(std::move(environment));
        controller->onFilesDropped = [this](const std::vector<TrayItem>& added) { dropped.push_back(added); };
    }

    NotchViewModel& onlyModel() const { return *controller->models().begin()->second; }
    NotchPanel& onlyPanel() const { return *controller->panels().begin()->second; }
    NotchHostingView& onlyHost() const { return *controller->hosts().begin()->second; }

    /// A file of `size` bytes in the rig's scratch folder.
    QUrl file(const std::string& name, std::size_t size = 10) const
    {
        const std::filesystem::path path = std::filesystem::path(folder.path().toStdString()) / "src" / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << std::string(size, 'x');
        return QUrl::fromLocalFile(QString::fromStdString(path.string()));
    }

    QTemporaryDir folder;
    FakeShellPlatform fakes;
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365 * 20)};
    ManualScheduler scheduler{clock};
    SettingsStore settings{std::make_shared<InMemoryUserDefaults>()};
    FakeMeasurer measurer;
    FakePasteboard pasteboard;
    FakeFrontmostApplication frontmost;
    /// Paths the user may not read, in place of access(2): tests run as
    /// root, which reads anything.
    std::set<std::filesystem::path> unreadable;
    FakeApplicationCatalog catalog;
    /// The sound server's outputs; choosing one makes it the default.
    std::vector<AudioOutputDevice> devices{{1, "Speakers", AudioState::Transport::builtIn, true},
                                           {2, "Headset", AudioState::Transport::usb, false}};
    FakePipelineRunner* runner = nullptr;
    /// The real runner over the default pipelines instead of the fake.
    bool realRunner = false;
    std::vector<std::string> trace;
    std::vector<std::vector<TrayItem>> dropped;
    std::unique_ptr<NotchWindowController> controller;
};

} // namespace controllertest
