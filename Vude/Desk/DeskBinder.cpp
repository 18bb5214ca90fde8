#include "Vude/Desk/DeskBinder.h"

#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Shell/FileRevealer.h"
#include "Vude/Shell/NotchDeskAdapters.h"
#include "Vude/Shell/NotchViewModel.h"
#include "VudeServices/ClipboardService.h"
#include "VudeServices/QuickApp.h"
#include "VudeServices/QuickAppsService.h"
#include "VudeServices/ShortcutEntry.h"
#include "VudeServices/ShortcutsService.h"
#include "VudeSync/DidoDivuzerore.h"

#include <algorithm>

namespace {

std::vector<NotchClip> shownClips(const ClipboardService& service)
{
    std::vector<NotchClip> clips;
    clips.reserve(service.clips().size());
    for (const Clip& clip : service.clips())
        clips.push_back(notchClip(clip));
    return clips;
}

/// The service's own entry for a clip the Desk showed.
const Clip* storedClip(const ClipboardService& service, const Uuid& id)
{
    const auto& clips = service.clips();
    const auto found = std::ranges::find(clips, id, &Clip::id);
    return found == clips.end() ? nullptr : &*found;
}

} // namespace

WidgetID widgetOf(const WidgetBinding& binding)
{
    return allCases<WidgetID>()[binding.index()];
}

DeskBinder::DeskBinder(NotchViewModel& model, const DeskEnvironment& environment)
    : m_model(model), m_weakModel(&model), m_environment(environment)
{
}

WidgetBinding DeskBinder::binding(WidgetID id) const
{
    switch (id) {
    case WidgetID::media:
        return media();
    case WidgetID::calendar:
        return calendar();
    case WidgetID::todos:
        return todos();
    case WidgetID::timer:
        return timer();
    case WidgetID::notes:
        return notes();
    case WidgetID::shortcuts:
        return shortcuts();
    case WidgetID::mirror:
        return mirror();
    case WidgetID::quickApps:
        return quickApps();
    case WidgetID::weather:
        return weather();
    case WidgetID::clipboard:
        return clipboard();
    case WidgetID::audioDevice:
        return audioDevice();
    }
    return mirror();
}

std::function<void()> DeskBinder::poster(std::vector<QString> names) const
{
    return [center = &m_environment.notifications, names = std::move(names)] {
        for (const QString& name : names)
            center->post(name);
    };
}

MediaBinding DeskBinder::media() const
{
    MediaBinding binding;
    binding.state = m_model.nowPlaying();
    binding.onCommand = [model = m_weakModel](const MediaCommand& command) {
        if (model && model->onMediaCommand)
            model->onMediaCommand(command);
    };
    // A player is looked up by its app id alone, as a pin without a path.
    binding.playerIcon = [model = m_weakModel](const std::string& appId) -> std::optional<QIcon> {
        if (!model || !model->quickAppsService)
            return std::nullopt;
        const QuickApp app{Uuid(), appId, appId, std::nullopt};
        if (model->quickAppsService->isMissing(app))
            return std::nullopt;
        return model->quickAppsService->icon(app).value_or(QIcon());
    };
    binding.onLaunchPlayer = [model = m_weakModel](const std::string& appId) {
        if (model && model->quickAppsService)
            model->quickAppsService->launch(QuickApp{Uuid(), appId, appId, std::nullopt});
    };
    return binding;
}

CalendarBinding DeskBinder::calendar() const
{
    CalendarBinding binding;
    if (const auto& service = m_model.calendarService) {
        binding.access = service->access();
        binding.days = service->grouped();
    }
    binding.onRequestAccess = [model = m_weakModel] {
        if (model)
            model->requestCalendarAccess();
    };
    binding.onOpenSettings = [model = m_weakModel] {
        if (model && model->openCalendarSettings)
            model->openCalendarSettings();
    };
    binding.onOpen = [model = m_weakModel](const NotchCalendarEvent& event) {
        if (model)
            model->openCalendarEvent(event);
    };
    return binding;
}

TodosBinding DeskBinder::todos() const
{
    TodosBinding binding;
    if (m_model.repository)
        binding.items = m_model.repository->todos();
    const auto withRepository = [model = m_weakModel](auto action) {
        return [model, action](const auto& value) {
            if (model && model->repository)
                action(*model->repository, value);
        };
    };
    binding.onAdd =
        withRepository([](DidoDivuzerore& repository, const std::string& text) { repository.addTodo(text); });
    binding.onToggle =
        withRepository([](DidoDivuzerore& repository, const TodoSnapshot& todo) { repository.toggleTodo(todo.id); });
    binding.onFavorite =
        withRepository([](DidoDivuzerore& repository, const TodoSnapshot& todo) { repository.favoriteTodo(todo.id); });
    binding.onDelete =
        withRepository([](DidoDivuzerore& repository, const TodoSnapshot& todo) { repository.deleteTodo(todo.id); });
    return binding;
}

TimerBinding DeskBinder::timer() const
{
    TimerBinding binding;
    binding.timers = m_model.timers();
    binding.onAdd = [model = m_weakModel](double seconds) {
        if (model)
            model->addTimer(seconds);
    };
    // Without a store the shown list empties: nothing can be running.
    binding.onToggle = [model = m_weakModel, clock = &m_environment.wallClock](const NotchTimer& timer) {
        if (!model)
            return;
        if (const auto& store = model->timerStore)
            store->toggle(timer, clock->now());
        model->setTimers(model->timerStore ? model->timerStore->timers() : std::vector<NotchTimer>());
    };
    binding.onRemove = [model = m_weakModel](const NotchTimer& timer) {
        if (!model)
            return;
        if (const auto& store = model->timerStore)
            store->remove(timer);
        model->setTimers(model->timerStore ? model->timerStore->timers() : std::vector<NotchTimer>());
    };
    return binding;
}

NotesBinding DeskBinder::notes() const
{
    NotesBinding binding;
    binding.editable = m_model.repository != nullptr;
    binding.text = [model = m_weakModel] {
        return model && model->repository ? model->repository->noteText() : std::string();
    };
    binding.setText = [model = m_weakModel](const std::string& text) {
        if (model && model->repository)
            model->repository->saveNote(text);
    };
    binding.onCommit = [model = m_weakModel] {
        if (model && model->repository) {
            DidoDivuzerore& repository = *model->repository;
            repository.saveNote(std::string(repository.noteText()));
        }
    };
    return binding;
}

ShortcutsBinding DeskBinder::shortcuts() const
{
    ShortcutsBinding binding;
    if (m_model.repository)
        binding.items = m_model.repository->shortcuts();
    binding.onRun = [model = m_weakModel](const ShortcutSnapshot& shortcut) {
        if (model && model->shortcutsService)
            model->shortcutsService->run(ShortcutEntry{shortcut.id, shortcut.shortcutName, shortcut.customName,
                                                       shortcut.symbol, shortcut.textInput});
    };
    binding.onConfigure =
        poster({NotchNotificationName::vudeOpenSettings, NotchNotificationName::vudeOpenShortcuts});
    return binding;
}

MirrorBinding DeskBinder::mirror() const
{
    return {};
}

QuickAppsBinding DeskBinder::quickApps() const
{
    QuickAppsBinding binding;
    binding.apps = m_model.quickApps();
    binding.icon = [model = m_weakModel](const NotchQuickApp& app) -> std::optional<QIcon> {
        if (!model || !model->quickAppsService)
            return std::nullopt;
        return model->quickAppsService->icon(quickApp(app));
    };
    binding.isMissing = [model = m_weakModel](const NotchQuickApp& app) {
        return model && model->quickAppsService && model->quickAppsService->isMissing(quickApp(app));
    };
    binding.isRunning = [model = m_weakModel](const NotchQuickApp& app) {
        return model && model->quickAppsService && model->quickAppsService->isRunning(quickApp(app));
    };
    binding.onLaunch = [model = m_weakModel](const NotchQuickApp& app) {
        if (model && model->quickAppsService)
            model->quickAppsService->launch(quickApp(app));
    };
    binding.onConfigure =
        poster({NotchNotificationName::vudeOpenSettings, NotchNotificationName::vudeOpenQuickApps});
    return binding;
}

WeatherBinding DeskBinder::weather() const
{
    WeatherBinding binding;
    binding.provider = m_model.weatherProvider();
    binding.onOpenSettings = [model = m_weakModel] {
        if (model && model->openLocationSettings)
            model->openLocationSettings();
    };
    binding.onOpenURL = [model = m_weakModel](const QUrl& url) {
        if (model)
            model->openWebPage(url);
    };
    return binding;
}

ClipboardBinding DeskBinder::clipboard() const
{
    ClipboardBinding binding;
    binding.clips = m_model.clips();
    binding.onRestore = [model = m_weakModel](const NotchClip& clip) {
        if (!model || !model->clipboardService)
            return;
        if (const Clip* stored = storedClip(*model->clipboardService, clip.id))
            model->clipboardService->restore(Clip(*stored));
    };
    binding.onRemove = [model = m_weakModel](const NotchClip& clip) {
        if (!model)
            return;
        ClipboardService* service = model->clipboardService.get();
        if (service)
            if (const Clip* stored = storedClip(*service, clip.id))
                service->remove(Clip(*stored));
        model->setClips(service ? shownClips(*service) : std::vector<NotchClip>());
    };
    binding.onClear = [model = m_weakModel] {
        if (!model)
            return;
        if (model->clipboardService)
            model->clipboardService->clear();
        model->setClips({});
    };
    return binding;
}

AudioDeviceBinding DeskBinder::audioDevice() const
{
    AudioDeviceBinding binding;
    binding.devices = m_model.audioDevices();
    // The answer itself is not shown: the list read once the server has
    // answered says which device is the default now.
    binding.onSelect = [model = m_weakModel](const AudioOutputDevice& device) {
        if (!model || !model->setDefaultAudioOutput)
            return;
        model->setDefaultAudioOutput(device.id, [model](bool) {
            if (model && model->audioOutputDevices)
                model->setAudioDevices(model->audioOutputDevices());
        });
    };
    return binding;
}

TrayBinding DeskBinder::tray() const
{
    TrayBinding binding;
    binding.items = m_model.trayItems();
    binding.store = m_model.trayStore;
    binding.copyByDefault = m_model.settings().trayCopyByDefault();
    binding.onRemove = [model = m_weakModel](const NotchTrayItem& item) {
        if (!model || !model->trayStore)
            return;
        model->trayStore->remove(item);
        model->setTrayItems(model->trayStore->items());
    };
    binding.onClear = [model = m_weakModel] {
        if (!model || !model->trayStore)
            return;
        model->trayStore->removeAll();
        model->setTrayItems({});
    };
    // The stored copy stays: the receiver may still be taking it away.
    binding.onMoved = [model = m_weakModel](const NotchTrayItem& item) {
        if (!model || !model->trayStore)
            return;
        model->trayStore->removeEntry(item);
        model->setTrayItems(model->trayStore->items());
    };
    binding.onReveal = [revealer = m_environment.revealer](const NotchTrayItem& item) {
        if (revealer)
            revealer->reveal(item.storedPath);
    };
    // Exactly one file: the stored copy, in every clipboard type at once.
    binding.onCopy = [pasteboard = m_environment.pasteboard](const NotchTrayItem& item) {
        if (pasteboard)
            pasteboard->writeFileURLs({std::filesystem::path(item.storedPath)});
    };
    return binding;
}

PipelineBannerBinding DeskBinder::pipelineBanner() const
{
    PipelineBannerBinding binding;
    if (m_model.pipelineRunner)
        binding.state = m_model.pipelineRunner->state();
    binding.onUndo = [model = m_weakModel] {
        if (!model)
            return;
        const std::vector<std::filesystem::path> outputs =
            model->pipelineRunner ? model->pipelineRunner->undo() : std::vector<std::filesystem::path>();
        model->removeTrayItems(outputs);
    };
    return binding;
}
