// What the Desk hands every widget, row by row of the binding table: the
// values come from the view model and its services, the closures reach
// them; without a service every list is empty and every action does
// nothing, but for the few the table names.
#include "Vude/Desk/DeskBinder.h"

#include "Platform/Desktop/FakeApplicationCatalog.h"
#include "Platform/Desktop/FakePasteboard.h"
#include "Platform/Shell/FileRevealer.h"
#include "Vude/Shell/NotchDeskAdapters.h"
#include "VudeServices/ClipboardService.h"
#include "VudeServices/QuickAppsService.h"
#include "VudeServices/ShortcutsService.h"

#include "DeskRig.h"
#include "TestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <set>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using desktest::DeskRig;

const std::string kOpenSettings = NotchNotificationName::vudeOpenSettings.toStdString();
const std::string kOpenShortcuts = NotchNotificationName::vudeOpenShortcuts.toStdString();
const std::string kOpenQuickApps = NotchNotificationName::vudeOpenQuickApps.toStdString();

/// A runner whose state and undo the test sets, and which notes undos.
class RecordingRunner final : public NotchPipelineRunner {
public:
    std::shared_ptr<const PipelineRegistry> registry() const override { return nullptr; }
    PipelineRegistry::Pipelines lanes(const std::vector<fs::path>&, const PipelineList&) const override { return {}; }
    void run(PipelineRegistry::Pipeline, std::vector<fs::path>, fs::path, FinishHandler) override {}
    PipelineRunState state() const override { return current; }
    std::vector<fs::path> undo() override
    {
        ++undos;
        return std::exchange(undoable, {});
    }

    PipelineRunState current = PipelineRunState::running("Zip", 0.5, "notes.txt");
    std::vector<fs::path> undoable;
    int undos = 0;
};

NotchTrayItem trayItem(const std::string& name, std::optional<std::string> original = std::nullopt)
{
    return {Uuid::random(), name, std::move(original), "/tray/" + name, false, "1 KB", "text/plain"};
}

Clip textClip(const std::string& text)
{
    Clip clip;
    clip.id = Uuid::random();
    clip.text = text;
    return clip;
}

/// The services a full Desk has, over fakes and temporary folders.
struct Services {
    explicit Services(DeskRig& rig) : rig(rig)
    {
        const fs::path base = rig.folder.path().toStdString();
        // The shortcuts runner notes what it was asked to run, and its input.
        runLog = base / "runs.log";
        const fs::path tool = base / "runner";
        std::ofstream(tool) << "#!/bin/sh\necho \"$1 $2 $(cat)\" >> '" << runLog.string() << "'\n";
        fs::permissions(tool, fs::perms(0755));
        ShortcutsService::Options shortcutOptions;
        shortcutOptions.tool = tool;
        shortcutOptions.applicationSupport = base / "support";
        shortcuts = std::make_shared<ShortcutsService>("Vude", shortcutOptions);

        const fs::path icon = base / "calc.png";
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        picture.save(QString::fromStdString(icon.string()));
        calculatorEntry = base / "org.gnome.Calculator.desktop";
        catalog.locations["org.gnome.Calculator"] = calculatorEntry;
        catalog.icons[calculatorEntry] = ApplicationIcon{{}, icon};
        catalog.runningIds.insert("org.gnome.Calculator");
        QuickAppsService::Options appOptions;
        appOptions.applicationSupport = base / "support";
        quickApps = std::make_shared<QuickAppsService>("Vude", catalog, appOptions);

        ClipboardService::Options clipOptions;
        clipOptions.clock = &rig.clock;
        clipOptions.applicationSupport = base / "support";
        clipboard = std::make_shared<ClipboardService>(pasteboard, "Vude", clipOptions);

        rig.model->trayStore = tray;
        rig.model->timerStore = timers;
        rig.model->calendarService = calendar;
        rig.model->shortcutsService = shortcuts;
        rig.model->quickAppsService = quickApps;
        rig.model->clipboardService = clipboard;
        rig.model->pipelineRunner = runner;
    }

    std::vector<std::string> runs() const
    {
        std::ifstream in(runLog);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    DeskRig& rig;
    fs::path runLog;
    fs::path calculatorEntry;
    FakeApplicationCatalog catalog;
    FakePasteboard pasteboard;
    std::shared_ptr<notchtest::FakeTrayStore> tray = std::make_shared<notchtest::FakeTrayStore>();
    std::shared_ptr<notchtest::FakeTimerStore> timers = std::make_shared<notchtest::FakeTimerStore>(rig.clock);
    std::shared_ptr<notchtest::FakeCalendarService> calendar = std::make_shared<notchtest::FakeCalendarService>();
    std::shared_ptr<ShortcutsService> shortcuts;
    std::shared_ptr<QuickAppsService> quickApps;
    std::shared_ptr<ClipboardService> clipboard;
    std::shared_ptr<RecordingRunner> runner = std::make_shared<RecordingRunner>();
};

/// One row of the table: what the widget gets with every service, and
/// without any.
struct Row {
    WidgetID id;
    std::function<void(DeskRig&, Services&, const DeskBinder&)> withServices;
    std::function<void(DeskRig&, const DeskBinder&)> withoutServices;
};

const NotchQuickApp kCalculator{"org.gnome.Calculator", "Calculator", Uuid::random(), std::nullopt};
const NotchQuickApp kGone{"org.example.Gone", "Gone", Uuid::random(), std::nullopt};

std::vector<Row> bindingTable()
{
    return {
        {WidgetID::media,
         [](DeskRig& rig, Services&, const DeskBinder& binder) {
             NowPlayingState playing;
             playing.title = "Harbour Lights";
             rig.model->setNowPlaying(playing);
             std::vector<MediaCommand> sent;
             rig.model->onMediaCommand = [&](const MediaCommand& command) { sent.push_back(command); };
             const MediaBinding media = binder.media();
             EXPECT_EQ(media.state, playing);
             media.onCommand(MediaCommand::toggle());
             EXPECT_EQ(sent, std::vector<MediaCommand>{MediaCommand::toggle()});
             rig.model->onMediaCommand = nullptr;
         },
         [](DeskRig&, const DeskBinder& binder) { binder.media().onCommand(MediaCommand::next()); }},

        {WidgetID::calendar,
         [](DeskRig& rig, Services& services, const DeskBinder& binder) {
             NotchCalendarEvent standup;
             standup.id = "standup";
             standup.title = "Standup";
             standup.start = rig.clock.now() + 1h;
             standup.meetingURL = QUrl("https://meet.example.org/standup");
             services.calendar->days = {{rig.clock.now(), {standup}}};
             services.calendar->currentAccess = NotchCalendarAccess::denied;
             int settingsOpened = 0;
             rig.model->openCalendarSettings = [&] { ++settingsOpened; };

             const CalendarBinding calendar = binder.calendar();
             EXPECT_EQ(calendar.access, NotchCalendarAccess::denied);
             EXPECT_EQ(calendar.days, services.calendar->days);
             calendar.onRequestAccess();
             EXPECT_EQ(settingsOpened, 1) << "decided: the settings explain it";
             EXPECT_EQ(services.calendar->starts, 0);
             services.calendar->currentAccess = NotchCalendarAccess::notDetermined;
             calendar.onRequestAccess();
             EXPECT_EQ(services.calendar->starts, 1) << "read when it runs: undecided, so it asks";
             calendar.onOpenSettings();
             EXPECT_EQ(settingsOpened, 2);
             calendar.onOpen(standup);
             EXPECT_EQ(rig.fakes.urls.opened.back(), *standup.meetingURL);
             services.calendar->answer(NotchCalendarAccess::granted); // the request holds the service
             rig.model->openCalendarSettings = nullptr;
         },
         [](DeskRig& rig, const DeskBinder& binder) {
             int settingsOpened = 0;
             rig.model->openCalendarSettings = [&] { ++settingsOpened; };
             const CalendarBinding calendar = binder.calendar();
             EXPECT_EQ(calendar.access, NotchCalendarAccess::notDetermined);
             EXPECT_TRUE(calendar.days.empty());
             calendar.onRequestAccess();
             EXPECT_EQ(settingsOpened, 0);
             calendar.onOpenSettings();
             EXPECT_EQ(settingsOpened, 1) << "opens without a service too";
             rig.model->openCalendarSettings = nullptr;
         }},

        {WidgetID::todos,
         [](DeskRig& rig, Services&, const DeskBinder& binder) {
             DidoDivuzerore& repository = *rig.repository;
             binder.todos().onAdd("  Buy milk \n");
             ASSERT_EQ(repository.todos().size(), 1u);
             EXPECT_EQ(repository.todos()[0].title, "Buy milk");
             const TodosBinding todos = binder.todos();
             EXPECT_EQ(todos.items, repository.todos());
             todos.onToggle(todos.items[0]);
             EXPECT_TRUE(repository.todos()[0].isDone);
             todos.onFavorite(todos.items[0]);
             EXPECT_TRUE(repository.todos()[0].isFavorite);
             todos.onDelete(todos.items[0]);
             EXPECT_TRUE(repository.todos().empty());
         },
         [](DeskRig&, const DeskBinder& binder) {
             const TodosBinding todos = binder.todos();
             EXPECT_TRUE(todos.items.empty());
             todos.onAdd("Buy milk");
             todos.onToggle({});
             todos.onFavorite({});
             todos.onDelete({});
         }},

        {WidgetID::timer,
         [](DeskRig& rig, Services& services, const DeskBinder& binder) {
             binder.timer().onAdd(300);
             ASSERT_EQ(rig.model->timers().size(), 1u);
             EXPECT_EQ(rig.model->timers()[0].total, 300);
             const TimerBinding timer = binder.timer();
             EXPECT_EQ(timer.timers, rig.model->timers());
             rig.clock.advance(60s);
             timer.onToggle(timer.timers[0]);
             EXPECT_EQ(services.timers->calls.back(),
                       "toggle  at " + std::to_string(std::int64_t(secondsSinceReferenceDate(rig.clock.now()))))
                 << "paused at the moment of the click";
             EXPECT_FALSE(rig.model->timers()[0].startedAt.has_value()) << "copied back at once";
             timer.onRemove(timer.timers[0]);
             EXPECT_TRUE(rig.model->timers().empty());
         },
         [](DeskRig& rig, const DeskBinder& binder) {
             const NotchTimer stale{Uuid::random(), "Tea", 300, rig.clock.now(), std::nullopt};
             const TimerBinding timer = binder.timer();
             rig.model->setTimers({stale});
             timer.onToggle(stale);
             EXPECT_TRUE(rig.model->timers().empty()) << "no store: nothing can run";
             rig.model->setTimers({stale});
             timer.onRemove(stale);
             EXPECT_TRUE(rig.model->timers().empty());
             timer.onAdd(60);
             EXPECT_TRUE(rig.model->timers().empty());
         }},

        {WidgetID::notes,
         [](DeskRig& rig, Services&, const DeskBinder& binder) {
             const NotesBinding notes = binder.notes();
             notes.setText("Call the plumber");
             EXPECT_EQ(rig.repository->noteText(), "Call the plumber");
             EXPECT_EQ(notes.text(), "Call the plumber");
             rig.repository->saveNote("Edited elsewhere");
             EXPECT_EQ(notes.text(), "Edited elsewhere") << "read when called";
             notes.onCommit();
             EXPECT_EQ(rig.repository->noteText(), "Edited elsewhere");
         },
         [](DeskRig&, const DeskBinder& binder) {
             const NotesBinding notes = binder.notes();
             EXPECT_EQ(notes.text(), "");
             notes.setText("lost nowhere");
             notes.onCommit();
             EXPECT_EQ(notes.text(), "");
         }},

        {WidgetID::shortcuts,
         [](DeskRig& rig, Services& services, const DeskBinder& binder) {
             rig.repository->addShortcut("Backup", "externaldrive");
             const ShortcutsBinding shortcuts = binder.shortcuts();
             EXPECT_EQ(shortcuts.items, rig.repository->shortcuts());
             ShortcutSnapshot withInput = shortcuts.items.at(0);
             withInput.textInput = "photos";
             shortcuts.onRun(withInput);
             EXPECT_TRUE(testsupport::waitUntil([&] { return !services.runs().empty(); }));
             EXPECT_EQ(services.runs(), std::vector<std::string>{"run Backup photos"});
             shortcuts.onConfigure();
             EXPECT_EQ(rig.posted, (std::vector<std::string>{kOpenSettings, kOpenShortcuts}));
         },
         [](DeskRig& rig, const DeskBinder& binder) {
             const ShortcutsBinding shortcuts = binder.shortcuts();
             EXPECT_TRUE(shortcuts.items.empty());
             shortcuts.onRun({Uuid::random(), "Backup", std::nullopt, "sparkles", std::nullopt});
             shortcuts.onConfigure();
             EXPECT_EQ(rig.posted, (std::vector<std::string>{kOpenSettings, kOpenShortcuts}))
                 << "posts without a service too";
         }},

        {WidgetID::mirror,
         [](DeskRig&, Services&, const DeskBinder& binder) {
             EXPECT_TRUE(std::holds_alternative<MirrorBinding>(binder.binding(WidgetID::mirror)));
         },
         [](DeskRig&, const DeskBinder& binder) {
             EXPECT_TRUE(std::holds_alternative<MirrorBinding>(binder.binding(WidgetID::mirror)));
         }},

        {WidgetID::quickApps,
         [](DeskRig& rig, Services& services, const DeskBinder& binder) {
             rig.model->setQuickApps({kCalculator, kGone});
             const QuickAppsBinding apps = binder.quickApps();
             EXPECT_EQ(apps.apps, rig.model->quickApps());
             EXPECT_EQ(apps.columns, (QuickAppsBinding::Columns{56, 10}));
             EXPECT_TRUE(apps.icon(kCalculator).has_value());
             EXPECT_FALSE(apps.icon(kGone).has_value());
             EXPECT_FALSE(apps.isMissing(kCalculator));
             EXPECT_TRUE(apps.isMissing(kGone));
             EXPECT_TRUE(apps.isRunning(kCalculator));
             EXPECT_FALSE(apps.isRunning(kGone));
             apps.onLaunch(kCalculator);
             apps.onLaunch(kGone);
             EXPECT_EQ(services.catalog.launched(), std::vector<fs::path>{services.calculatorEntry});
             apps.onConfigure();
             EXPECT_EQ(rig.posted, (std::vector<std::string>{kOpenSettings, kOpenQuickApps}));
         },
         [](DeskRig& rig, const DeskBinder& binder) {
             rig.model->setQuickApps({kCalculator});
             const QuickAppsBinding apps = binder.quickApps();
             EXPECT_EQ(apps.apps, rig.model->quickApps());
             EXPECT_FALSE(apps.icon(kCalculator).has_value());
             EXPECT_FALSE(apps.isMissing(kCalculator)) << "not missing: nobody can tell";
             EXPECT_FALSE(apps.isRunning(kCalculator));
             apps.onLaunch(kCalculator);
             apps.onConfigure();
             EXPECT_EQ(rig.posted, (std::vector<std::string>{kOpenSettings, kOpenQuickApps}));
         }},

        {WidgetID::weather,
         [](DeskRig& rig, Services&, const DeskBinder& binder) {
             auto provider = std::shared_ptr<WeatherProvider>(std::make_shared<int>(0),
                                                              reinterpret_cast<WeatherProvider*>(0x10));
             rig.model->setWeatherProvider(provider);
             EXPECT_EQ(binder.weather().provider, provider);
             rig.model->setWeatherProvider(nullptr);
         },
         [](DeskRig&, const DeskBinder& binder) { EXPECT_EQ(binder.weather().provider, nullptr); }},

        {WidgetID::clipboard,
         [](DeskRig& rig, Services& services, const DeskBinder& binder) {
             const Clip first = textClip("first");
             const Clip second = textClip("second");
             services.clipboard->setClips({first, second});
             rig.model->setClips({notchClip(first), notchClip(second)});
             const ClipboardBinding clipboard = binder.clipboard();
             EXPECT_EQ(clipboard.clips, rig.model->clips());
             clipboard.onRestore(clipboard.clips[1]);
             EXPECT_EQ(services.pasteboard.itemData(FakePasteboard::textType), std::optional<std::string>("second"));
             clipboard.onRemove(clipboard.clips[0]);
             EXPECT_EQ(services.clipboard->clips(), std::vector<Clip>{second});
             EXPECT_EQ(rig.model->clips(), std::vector<NotchClip>{notchClip(second)});
             clipboard.onClear();
             EXPECT_TRUE(services.clipboard->clips().empty());
             EXPECT_TRUE(rig.model->clips().empty());
         },
         [](DeskRig& rig, const DeskBinder& binder) {
             const NotchClip shown = notchClip(textClip("left over"));
             const ClipboardBinding clipboard = binder.clipboard();
             rig.model->setClips({shown});
             clipboard.onRestore(shown);
             EXPECT_EQ(rig.model->clips().size(), 1u);
             clipboard.onRemove(shown);
             EXPECT_TRUE(rig.model->clips().empty()) << "no service: the shown list empties";
             rig.model->setClips({shown});
             clipboard.onClear();
             EXPECT_TRUE(rig.model->clips().empty()) << "cleared without a service too";
         }},

        {WidgetID::audioDevice,
         [](DeskRig& rig, Services&, const DeskBinder& binder) {
             rig.devices.push_back({9, "Headset", AudioState::Transport::bluetooth, false});
             std::vector<std::uint32_t> chosen;
             std::function<void(bool)> answer;
             rig.model->setDefaultAudioOutput = [&](std::uint32_t id, std::function<void(bool)> done) {
                 chosen.push_back(id);
                 for (AudioOutputDevice& device : rig.devices)
                     device.isDefault = device.id == id;
                 answer = std::move(done);
             };
             rig.model->setAudioDevices({rig.devices[0]});
             const AudioDeviceBinding audio = binder.audioDevice();
             EXPECT_EQ(audio.devices, rig.model->audioDevices());
             const int reads = rig.deviceReads;
             const std::vector<AudioOutputDevice> shown = rig.model->audioDevices();
             audio.onSelect(rig.devices[1]);
             EXPECT_EQ(chosen, std::vector<std::uint32_t>{9});
             EXPECT_EQ(rig.deviceReads, reads) << "nothing read before the server answers";
             EXPECT_EQ(rig.model->audioDevices(), shown);
             ASSERT_TRUE(answer);
             std::exchange(answer, nullptr)(true);
             EXPECT_EQ(rig.deviceReads, reads + 1) << "the whole list read again";
             EXPECT_EQ(rig.model->audioDevices(), rig.devices);
             EXPECT_TRUE(rig.model->audioDevices()[1].isDefault);
             audio.onSelect(rig.devices[1]);
             EXPECT_EQ(chosen, (std::vector<std::uint32_t>{9, 9})) << "the default device is chosen again too";
             std::exchange(answer, nullptr)(false);
             EXPECT_EQ(rig.deviceReads, reads + 2) << "a refusal reads the list too";
             rig.model->setDefaultAudioOutput = nullptr;
         },
         [](DeskRig& rig, const DeskBinder& binder) {
             rig.model->audioOutputDevices = nullptr;
             const AudioOutputDevice shown{7, "Speakers", AudioState::Transport::builtIn, true};
             rig.model->setAudioDevices({shown});
             binder.audioDevice().onSelect(shown);
             EXPECT_EQ(rig.model->audioDevices(), std::vector<AudioOutputDevice>{shown});
         }},
    };
}

TEST(DeskBinderQtTest, EveryWidgetIsBoundToTheModelAndItsServices)
{
    const std::vector<Row> table = bindingTable();
    std::set<WidgetID> covered;
    for (const Row& row : table) {
        SCOPED_TRACE(std::string(rawValue(row.id)));
        covered.insert(row.id);
        {
            DeskRig rig;
            rig.useRepository();
            Services services(rig);
            const DeskBinder binder(*rig.model, rig.environment);
            EXPECT_EQ(widgetOf(binder.binding(row.id)), row.id);
            row.withServices(rig, services, binder);
        }
        {
            SCOPED_TRACE("without services");
            DeskRig rig;
            const DeskBinder binder(*rig.model, rig.environment);
            row.withoutServices(rig, binder);
        }
    }
    EXPECT_EQ(covered.size(), allCases<WidgetID>().size()) << "a row for every widget";
}

TEST(DeskBinderQtTest, TheTrayAndItsBannerAreBoundToTheStoreAndTheRunner)
{
    DeskRig rig;
    Services services(rig);
    const NotchTrayItem report = trayItem("report.pdf", "/out/report.pdf");
    const NotchTrayItem photo = trayItem("photo.png");
    const NotchTrayItem notes = trayItem("notes.txt");
    services.tray->stored = {report, photo, notes};
    rig.model->setTrayItems(services.tray->stored);

    const TrayBinding tray = DeskBinder(*rig.model, rig.environment).tray();
    EXPECT_EQ(tray.items, services.tray->stored);
    EXPECT_EQ(tray.store, rig.model->trayStore);
    EXPECT_TRUE(tray.copyByDefault);
    rig.settings.setTrayCopyByDefault(false);
    EXPECT_FALSE(DeskBinder(*rig.model, rig.environment).tray().copyByDefault) << "the setting, read afresh";

    tray.onRemove(photo);
    EXPECT_EQ(services.tray->calls, std::vector<std::string>{"remove photo.png"});
    EXPECT_EQ(rig.model->trayItems(), (std::vector<NotchTrayItem>{report, notes}));

    // Undo takes the run's outputs out of the tray.
    const PipelineBannerBinding banner = DeskBinder(*rig.model, rig.environment).pipelineBanner();
    EXPECT_EQ(banner.state, services.runner->current);
    services.runner->undoable = {"/out/report.pdf"};
    banner.onUndo();
    EXPECT_EQ(services.runner->undos, 1);
    EXPECT_EQ(rig.model->trayItems(), std::vector<NotchTrayItem>{notes});

    // A drag moved the item out: only its entry goes.
    tray.onMoved(notes);
    EXPECT_EQ(services.tray->calls.back(), "removeEntry notes.txt");
    EXPECT_TRUE(rig.model->trayItems().empty());

    tray.onClear();
    EXPECT_EQ(services.tray->calls.back(), "removeAll");
    EXPECT_TRUE(rig.model->trayItems().empty());
}

TEST(DeskBinderQtTest, WithoutATrayStoreOrRunnerTheTrayTabDoesNothing)
{
    DeskRig rig;
    const NotchTrayItem item = trayItem("report.pdf", "/out/report.pdf");
    rig.model->setTrayItems({item});
    const DeskBinder binder(*rig.model, rig.environment);
    const TrayBinding tray = binder.tray();
    EXPECT_EQ(tray.store, nullptr);
    tray.onRemove(item);
    tray.onClear();
    tray.onMoved(item);
    EXPECT_EQ(rig.model->trayItems(), std::vector<NotchTrayItem>{item});
    // Without a revealer or clipboard these do nothing; with them they act
    // on the stored copy, store or not.
    tray.onReveal(item);
    tray.onCopy(item);
    RecordingFileRevealer revealer;
    FakePasteboard pasteboard;
    rig.environment.revealer = &revealer;
    rig.environment.pasteboard = &pasteboard;
    const TrayBinding bound = DeskBinder(*rig.model, rig.environment).tray();
    bound.onReveal(item);
    bound.onCopy(item);
    EXPECT_EQ(revealer.revealed, std::vector<fs::path>{"/tray/report.pdf"});
    EXPECT_EQ(pasteboard.itemData("text/uri-list"), "file:///tray/report.pdf\r\n");
    const PipelineBannerBinding banner = binder.pipelineBanner();
    EXPECT_EQ(banner.state, PipelineRunState::idle());
    banner.onUndo();
    EXPECT_EQ(rig.model->trayItems(), std::vector<NotchTrayItem>{item});
}

// Closures outlive nothing: once the model is gone they do nothing.
TEST(DeskBinderQtTest, ClosuresReadTheModelWhenTheyRunAndNothingOnceItIsGone)
{
    auto rig = std::make_unique<DeskRig>();
    const DeskBinder binder(*rig->model, rig->environment);
    const TimerBinding timer = binder.timer();
    auto timers = std::make_shared<notchtest::FakeTimerStore>(rig->clock);
    rig->model->timerStore = timers; // after the binding was made
    timer.onAdd(120);
    EXPECT_EQ(timers->stored.size(), 1u);
    EXPECT_EQ(rig->model->timers().size(), 1u);

    const ClipboardBinding clipboard = binder.clipboard();
    rig->model.reset();
    timer.onAdd(60);
    clipboard.onClear();
    EXPECT_EQ(timers->stored.size(), 1u);
}

} // namespace
