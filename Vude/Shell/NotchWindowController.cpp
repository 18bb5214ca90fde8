#include "Vude/Shell/NotchWindowController.h"

#include "Platform/Core/XdgPaths.h"
#include "Platform/Desktop/GioApplicationCatalog.h"
#include "VudeKit/Numbers.h"
#include "VudeServices/ClipboardService.h"
#include "VudeServices/LocationProvider.h"
#include "VudeServices/QuickAppsService.h"
#include "VudeServices/ScreenCoordinates.h"
#include "VudeServices/ScreenGeometryResolver.h"
#include "VudeServices/ShortcutsService.h"
#include "VudeServices/TimerStore.h"
#include "VudeServices/TrayStore.h"
#include "VudeServices/WeatherProvider.h"
#include "Vude/Shell/Views/ArtworkCache.h"
#include "Vude/Shell/NotchDeskAdapters.h"
#include "Vude/Shell/NotchHostingView.h"
#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchRootView.h"
#include "Vude/Shell/NotchViewModel.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

#include <unistd.h>

namespace {

/// A double as the report prints it: the shortest text that reads back
/// exactly, with a point whatever the locale, and ".0" on whole numbers.
std::string describe(double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

std::string describe(const Rect& rect)
{
    return "(" + describe(rect.x) + ", " + describe(rect.y) + ", " + describe(rect.width) + ", " +
           describe(rect.height) + ")";
}

std::string describe(const NotchState& state)
{
    switch (state.kind()) {
    case NotchState::Kind::peek:
        return "peek";
    case NotchState::Kind::activity:
        return "activity";
    case NotchState::Kind::activityExpanded:
        return "activityExpanded";
    case NotchState::Kind::open:
        return "open(" + std::string(rawValue(*state.tab())) + ")";
    case NotchState::Kind::hidden:
        return "hidden";
    case NotchState::Kind::closed:
        return "closed";
    case NotchState::Kind::dropTarget:
        return "dropTarget";
    }
    return "?";
}

std::string describeWhole(double value)
{
    return formatInteger(saturatingCast<std::int64_t>(value));
}

std::vector<std::filesystem::path> localPaths(const QList<QUrl>& urls)
{
    std::vector<std::filesystem::path> paths;
    paths.reserve(std::size_t(urls.size()));
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            paths.emplace_back(url.toLocalFile().toStdString());
    return paths;
}

bool userCanRead(const std::filesystem::path& path)
{
    std::error_code error;
    const int mode = std::filesystem::is_directory(path, error) ? R_OK | X_OK : R_OK;
    return ::access(path.c_str(), mode) == 0;
}

/// What the tray could take in: existing regular files and folders the user
/// can read.
bool anyTakeable(const std::vector<std::filesystem::path>& paths,
                 const std::function<bool(const std::filesystem::path&)>& canRead)
{
    return std::ranges::any_of(paths, [&](const std::filesystem::path& path) {
        std::error_code error;
        const auto status = std::filesystem::status(path, error);
        return !error && (std::filesystem::is_regular_file(status) || std::filesystem::is_directory(status)) &&
               (canRead ? canRead(path) : userCanRead(path));
    });
}

bool isInputEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::Enter:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::DragEnter:
        return true;
    default:
        return false;
    }
}

} // namespace

struct NotchWindowController::Screen {
    ScreenDescription description;
};

NotchWindowController::NotchWindowController(NotchWindowControllerEnvironment environment, QObject* parent)
    : QObject(parent), m_env(std::move(environment)), m_settings(m_env.settings)
{
    const std::filesystem::path support =
        m_env.applicationSupport.empty() ? XdgPaths::applicationSupportRoot() : m_env.applicationSupport;

    TrayStoreOptions trayOptions;
    trayOptions.applicationSupport = support;
    trayOptions.clock = &m_env.clock;
    trayOptions.urlOpener = &m_env.platform.urls;
    m_trayStore = std::make_unique<TrayStore>(containerName, trayOptions);
    m_trayAdapter = std::make_shared<TrayStoreAdapter>(*m_trayStore);
    m_timerStore = std::make_unique<TimerStore>(m_env.clock);
    m_timerAdapter = std::make_shared<TimerStoreAdapter>(*m_timerStore);

    ShortcutsServiceOptions shortcutsOptions;
    shortcutsOptions.applicationSupport = support;
    m_shortcutsService = std::make_shared<ShortcutsService>(containerName, shortcutsOptions);
    m_pipelineRunner = m_env.makePipelineRunner
                           ? std::shared_ptr<NotchPipelineRunner>(m_env.makePipelineRunner())
                           : std::make_shared<PipelineRunnerAdapter>(PipelineRegistry(), m_env.scheduler);
    if (m_pipelineRunner)
        m_pipelineRegistry = m_pipelineRunner->registry();
    QuickAppsServiceOptions quickAppsOptions;
    quickAppsOptions.applicationSupport = support;
    if (m_env.applicationCatalog) {
        m_quickAppsService =
            std::make_shared<QuickAppsService>(containerName, *m_env.applicationCatalog, quickAppsOptions);
    } else {
        m_applicationCatalog = std::make_unique<GioApplicationCatalog>();
        m_quickAppsService =
            std::make_shared<QuickAppsService>(containerName, *m_applicationCatalog, quickAppsOptions);
    }
    if (m_env.makeClipboardService) {
        ClipboardServiceOptions clipboardOptions;
        clipboardOptions.clock = &m_env.clock;
        clipboardOptions.applicationSupport = support;
        clipboardOptions.frontmostApplication = m_env.frontmostApplication;
        clipboardOptions.trace = m_env.trace;
        m_clipboardService = std::make_shared<ClipboardService>(m_env.pasteboard, containerName, clipboardOptions);
        // A copy is recorded when its read comes back, after the poll that
        // saw it has returned.
        m_clipboardService->setOnChange([weakSelf = QPointer<NotchWindowController>(this)](const std::vector<Clip>&) {
            if (weakSelf)
                weakSelf->refreshClips();
        });
    }
    // The location provider waits for its first use: it talks to the
    // desktop's location service as soon as it exists.

    // Removals from the Desk and adds from anywhere reach every screen.
    connect(m_trayStore.get(), &TrayStore::itemsChanged, this, [this] { spreadTrayItems(); });
    connect(m_timerStore.get(), &TimerStore::timersChanged, this, [this] { spreadTimers(); });

    m_lastDragChangeCount = m_env.platform.dragSelection.changeCount();

    connect(&m_env.platform.screens, &ScreenProvider::screensChanged, this, [this] { scheduleRebuild(); });
    connect(&m_env.platform.wake, &SystemWakeMonitor::didWake, this, [this] { scheduleRebuild(); });

    rebuild();
    installDismissMonitors();
}

NotchWindowController::~NotchWindowController()
{
    if (m_rebuildTask)
        m_rebuildTask->cancel();
    stopDragMonitors();
    if (m_globalClickMonitor)
        m_env.platform.mouseMonitor.removeMonitor(*m_globalClickMonitor);
    if (m_keyFilterInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    // A panel's views refer to their model: panels go first.
    for (auto& [id, panel] : m_panels)
        delete panel;
    for (auto& [id, model] : m_models)
        delete model;
}

// Screens.

std::vector<NotchWindowController::Screen> NotchWindowController::eligibleScreens() const
{
    const std::vector<ScreenDescription> all = m_env.platform.screens.screens();
    std::vector<Screen> eligible;
    const auto hasNotch = [](const ScreenDescription& screen) { return screen.safeAreaTop > 0; };
    switch (m_settings.showOn()) {
    case ScreenPolicy::notchedOnly:
        for (const auto& screen : all)
            if (hasNotch(screen))
                eligible.push_back({screen});
        break;
    case ScreenPolicy::primaryOnly:
        if (!all.empty())
            eligible.push_back({all.front()});
        break;
    case ScreenPolicy::allScreens:
        for (const auto& screen : all)
            if (m_settings.handlerEnabled() || hasNotch(screen))
                eligible.push_back({screen});
        break;
    }
    // A screen without a number cannot be told apart from the next one.
    std::erase_if(eligible, [](const Screen& screen) { return screen.description.displayNumber == 0; });
    return eligible;
}

void NotchWindowController::rebuild()
{
    if (m_rebuildTask) {
        m_rebuildTask->cancel();
        m_rebuildTask.reset();
    }
    const std::vector<Screen> eligible = eligibleScreens();
    std::set<std::uint32_t> ids;
    for (const Screen& screen : eligible)
        ids.insert(screen.description.displayNumber);

    for (auto it = m_panels.begin(); it != m_panels.end();) {
        const std::uint32_t id = it->first;
        if (ids.contains(id)) {
            ++it;
            continue;
        }
        NotchPanel* panel = it->second;
        panel->orderOut();
        it = m_panels.erase(it);
        m_hosts.erase(id);
        delete panel;
        if (auto model = m_models.find(id); model != m_models.end()) {
            delete model->second;
            m_models.erase(model);
        }
        if (m_lastInputDisplay == id)
            m_lastInputDisplay.reset();
    }

    const std::vector<ScreenDescription> all = m_env.platform.screens.screens();
    const ScreenCoordinates coordinates = ScreenCoordinates::forScreens(all);
    for (const Screen& screen : eligible) {
        const std::uint32_t id = screen.description.displayNumber;
        const NotchGeometry geometry = ScreenGeometryResolver::geometry(
            screen.description, coordinates, m_settings.notchWidthAdjust(), m_settings.notchHeightAdjust(),
            Size{m_settings.handlerWidth(), m_settings.handlerHeight()});
        NotchViewModel* model = this->model(id);
        NotchPanel* panel = this->panel(id);
        if (model && panel) {
            model->setGeometry(geometry); // notifies only when it differs
            panel->setDrawnCanvas(panel->currentCanvas());
            placePanel(*panel, geometry, panel->currentCanvas());
            followFrame(id);
            continue;
        }
        setUpScreen(id, geometry);
    }
}

void NotchWindowController::setUpScreen(std::uint32_t id, const NotchGeometry& geometry)
{
    auto* model = new NotchViewModel(geometry, m_settings, m_env.platform, m_env.scheduler, m_env.clock,
                                     m_env.measurer);
    model->reduceMotion = m_env.reduceMotion;
    model->trace = m_env.trace;

    auto* panel = new NotchPanel(m_env.platform, Size{200, 60});
    panel->setKeyboardFocusRequested(false);
    panel->setCurrentCanvas(Size{200, 60});
    panel->setDrawnCanvas(Size{200, 60});
    panel->setDrawnBottomRadius(14);
    panel->setBackdropEnabled(true);
    panel->setLevel(m_dragArmed ? NotchPanel::dragLevel : NotchPanel::restingLevel);
    model->setPanel(panel);

    auto* host = new NotchHostingView(m_env.platform, m_env.scheduler, m_env.steadyClock);
    host->resize(900, 420);
    NotchRootView* root = m_env.artworkCache
                              ? new NotchRootView(*model, m_env.scheduler, m_env.steadyClock, *m_env.artworkCache)
                              : new NotchRootView(*model, m_env.scheduler, m_env.steadyClock);
    root->setDeskViewFactory(m_deskViewFactory);
    host->setRootView(root);

    const QPointer<NotchHostingView> weakHost(host);
    const QPointer<NotchViewModel> weakModel(model);
    const QPointer<NotchWindowController> weakSelf(this);
    model->onGeometryChange = [weakHost, weakModel, trace = m_env.geometryTrace] {
        if (!weakHost || !weakModel)
            return;
        const Rect rect = weakModel->currentInteractiveRect();
        weakHost->setInteractiveRect(rect);
        if (trace)
            trace("state " + describe(weakModel->state()) + "  interactiveRect " + describe(rect) + "\n");
    };

    // The Desk's services and their data.
    model->trayStore = m_trayAdapter;
    model->setTrayItems(m_trayAdapter->items());
    model->repository = m_repository;
    model->timerStore = m_timerAdapter;
    model->pipelines = m_pipelineRegistry;
    model->pipelineRunner = m_pipelineRunner;
    model->shortcutsService = m_shortcutsService;
    model->quickAppsService = m_quickAppsService;
    model->clipboardService = m_clipboardService;
    if (m_clipboardService) {
        std::vector<NotchClip> clips;
        for (const Clip& clip : m_clipboardService->clips())
            clips.push_back(notchClip(clip));
        model->setClips(clips);
    }
    std::vector<NotchQuickApp> apps;
    for (const QuickApp& app : m_quickAppsService->apps())
        apps.push_back(notchQuickApp(app));
    model->setQuickApps(apps);
    model->audioOutputDevices = m_env.audioOutputDevices;
    model->setDefaultAudioOutput = m_env.setDefaultAudioOutput;
    if (m_env.audioOutputDevices)
        model->setAudioDevices(m_env.audioOutputDevices());
    connect(model, &NotchViewModel::audioDevicesChanged, this, [this, model] { spreadAudioDevices(*model); });
    model->setWeatherProvider(weatherProvider());
    model->setTimers(m_timerAdapter->timers());
    model->setLayout(widgetLayout(*model));

    // The hosting view's hooks.
    host->contextMenuProvider = [weakSelf]() -> std::unique_ptr<QMenu> {
        if (!weakSelf || !weakSelf->contextMenuProvider)
            return nullptr;
        return weakSelf->contextMenuProvider();
    };
    host->registerDropTypes();
    host->onDragDiagnostic = [weakSelf](const QString& text) {
        if (weakSelf)
            weakSelf->diag(text.toStdString());
    };
    host->setDropRect(Rect{0, 0, 900, restingDropHeight});
    host->onDragEntered = [weakSelf, weakModel](const QList<QUrl>& urls) {
        if (weakSelf && weakModel)
            weakSelf->dragEntered(*weakModel, urls);
    };
    host->onDragExited = [weakSelf, weakModel] {
        if (weakSelf && weakModel)
            weakSelf->dragExited(*weakModel);
    };
    host->onDragMoved = [weakSelf, weakModel](Point point) {
        if (weakSelf && weakModel)
            weakSelf->dragMoved(*weakModel, point);
    };
    host->takesDropAt = [weakSelf, weakModel](Point point) {
        return weakSelf && weakModel && weakSelf->takesDropAt(*weakModel, point);
    };
    host->onDrop = [weakSelf, weakModel](const QList<QUrl>& urls, Point point) {
        return weakSelf && weakModel && weakSelf->drop(*weakModel, urls, point);
    };
    host->onScroll = [weakSelf, weakModel](double dx, double dy, SwipePhase phase) {
        if (weakSelf && weakModel)
            weakSelf->scrolled(*weakModel, dx, dy, phase);
    };
    host->setArmed(m_dragArmed);

    panel->setContentView(host);

    const bool blur = m_settings.progressiveBlur();
    if (panel->backdropEnabled() != blur) {
        panel->setBackdropEnabled(blur);
        panel->syncBackdrop(); // shows or orders out the backdrop
    }

    // Both canvases: a drawn canvas left at the panel's first size would cut
    // and shade the window for a notch far bigger than the one shown.
    const Size canvas = model->currentCanvasSize();
    panel->setDrawnCanvas(canvas);
    placePanel(*panel, geometry, canvas);
    // Only now, on the window's real width: a band centred on the first,
    // wider frame would lie outside the window and take no pointer at all.
    host->setInteractiveRect(model->currentInteractiveRect());
    panel->orderFront();

    m_panels[id] = panel;
    m_models[id] = model;
    m_hosts[id] = host;

    if (m_configureModel)
        m_configureModel(*model);
}

void NotchWindowController::placePanel(NotchPanel& panel, const NotchGeometry& geometry, Size canvas) const
{
    panel.setCurrentCanvas(canvas);
    const Rect& screen = geometry.screenFrame;
    const double width = std::min(screen.width, canvas.width);
    const double height = std::min(screen.height, canvas.height);
    const Rect frame{geometry.notchCenterX() - width / 2, screen.maxY() - height, width, height};
    panel.setFrame(ScreenCoordinates::forScreens(m_env.platform.screens.screens()).toTopLeft(frame));
    panel.syncBackdrop();
}

void NotchWindowController::followFrame(std::uint32_t id) const
{
    NotchHostingView* host = this->host(id);
    const NotchViewModel* model = this->model(id);
    if (host && model)
        host->setInteractiveRect(model->currentInteractiveRect());
}

void NotchWindowController::scheduleRebuild()
{
    if (m_rebuildTask)
        m_rebuildTask->cancel();
    m_rebuildTask = m_env.scheduler.after(rebuildDelay, [weakSelf = QPointer<NotchWindowController>(this)] {
        if (weakSelf) {
            weakSelf->m_rebuildTask.reset();
            weakSelf->rebuild();
        }
    });
}

NotchPanel* NotchWindowController::panel(std::uint32_t displayID) const
{
    const auto found = m_panels.find(displayID);
    return found == m_panels.end() ? nullptr : found->second;
}

NotchViewModel* NotchWindowController::model(std::uint32_t displayID) const
{
    const auto found = m_models.find(displayID);
    return found == m_models.end() ? nullptr : found->second;
}

NotchHostingView* NotchWindowController::host(std::uint32_t displayID) const
{
    const auto found = m_hosts.find(displayID);
    return found == m_hosts.end() ? nullptr : found->second;
}

std::optional<std::uint32_t> NotchWindowController::displayOf(const NotchViewModel& model) const
{
    for (const auto& [id, held] : m_models)
        if (held == &model)
            return id;
    return std::nullopt;
}

NotchViewModel* NotchWindowController::activeModel() const
{
    if (m_models.empty())
        return nullptr;
    const ScreenProvider& screens = m_env.platform.screens;
    if (const auto screen = screens.screenAt(m_env.platform.pointer.location()))
        if (NotchViewModel* model = this->model(screen->displayNumber))
            return model;
    if (m_lastInputDisplay)
        if (NotchViewModel* model = this->model(*m_lastInputDisplay))
            return model;
    if (const auto primary = screens.primaryScreen())
        if (NotchViewModel* model = this->model(primary->displayNumber))
            return model;
    return m_models.begin()->second;
}

std::string NotchWindowController::geometryReport() const
{
    std::string report;
    for (const auto& [id, model] : m_models) {
        const NotchGeometry& g = model->geometry();
        if (!report.empty())
            report += '\n';
        report += "display " + formatInteger(g.displayID) + "  " + describeWhole(g.screenFrame.width) + "×" +
                  describeWhole(g.screenFrame.height) + '\n';
        report += "  notch    " + describe(g.notchSize.width) + " × " + describe(g.notchSize.height) + " " +
                  (g.hasHardwareNotch ? "(hardware)" : "(synthetic handler)") + '\n';
        report += "  origin   x=" + describe(g.notchOrigin.x) +
                  "  centreX=" + describe(g.notchOrigin.x + g.notchSize.width * 0.5) + '\n';
        report += "  menuBar  " + describe(g.menuBarHeight) + "   scale " + describe(g.backingScale) + "   " +
                  formatInteger(g.maximumFramesPerSecond) + "Hz";
    }
    return report;
}

void NotchWindowController::setModelConfigurator(std::function<void(NotchViewModel&)> configure)
{
    m_configureModel = std::move(configure);
    if (m_configureModel)
        for (auto& [id, model] : m_models)
            m_configureModel(*model);
}

void NotchWindowController::setDeskViewFactory(std::function<QWidget*(RiziDar, NotchViewModel&, QWidget*)> factory)
{
    m_deskViewFactory = std::move(factory);
    for (auto& [id, host] : m_hosts)
        if (auto* root = qobject_cast<NotchRootView*>(host->rootView()))
            root->setDeskViewFactory(m_deskViewFactory);
}

// The Desk.

ZeriRuvuzi NotchWindowController::widgetLayout(const NotchViewModel& model) const
{
    const WidgetLayoutEngine engine{54, 22, 18, 1100};
    const WidgetList order = m_settings.widgetOrder();
    const WidgetSet enabledSet = m_settings.enabledWidgets();
    const WidgetCellMap cellMap = m_settings.widgetCells();
    const std::unordered_set<WidgetID> enabled(enabledSet.begin(), enabledSet.end());
    const std::unordered_map<WidgetID, int> cells(cellMap.begin(), cellMap.end());
    return engine.layout(order, enabled, cells, model.geometry().screenFrame.width - 80);
}

void NotchWindowController::relayoutWidgets()
{
    for (auto& [id, model] : m_models)
        model->setLayout(widgetLayout(*model));
}

void NotchWindowController::refreshClips()
{
    if (!m_clipboardService)
        return;
    std::vector<NotchClip> clips;
    for (const Clip& clip : m_clipboardService->clips())
        clips.push_back(notchClip(clip));
    for (auto& [id, model] : m_models)
        model->setClips(clips);
}

void NotchWindowController::refreshQuickApps()
{
    std::vector<NotchQuickApp> apps;
    for (const QuickApp& app : m_quickAppsService->apps())
        apps.push_back(notchQuickApp(app));
    for (auto& [id, model] : m_models)
        model->setQuickApps(apps);
}

void NotchWindowController::pollClipboard(bool enabled, std::int64_t maxItems, bool persists)
{
    m_clipboardPolledCount = m_env.pasteboard.changeCount();
    if (!enabled || !m_clipboardService)
        return;
    m_clipboardService->setMaxItems(maxItems);
    m_clipboardService->setPersists(persists);
    m_clipboardService->poll();
}

void NotchWindowController::setRepository(std::shared_ptr<DidoDivuzerore> repository)
{
    m_repository = std::move(repository);
    for (auto& [id, model] : m_models)
        model->repository = m_repository;
}

LocationProvider& NotchWindowController::locationProvider()
{
    if (!m_locationProvider)
        m_locationProvider = m_env.makeLocationProvider ? m_env.makeLocationProvider()
                                                        : LocationProvider::forSystem(m_env.clock, m_env.scheduler);
    return *m_locationProvider;
}

const std::shared_ptr<WeatherProvider>& NotchWindowController::weatherProvider()
{
    if (!m_weatherProvider) {
        LocationProvider& locations = locationProvider();
        std::unique_ptr<WeatherProvider> made =
            m_env.makeWeatherProvider ? m_env.makeWeatherProvider(locations)
                                      : WeatherProvider::forSystem(locations, m_env.clock, m_env.scheduler);
        m_weatherProvider = std::shared_ptr<WeatherProvider>(std::move(made));
    }
    return m_weatherProvider;
}

void NotchWindowController::spreadTrayItems()
{
    const std::vector<NotchTrayItem> items = m_trayAdapter->items();
    for (auto& [id, model] : m_models)
        model->setTrayItems(items);
}

void NotchWindowController::spreadAudioDevices(const NotchViewModel& from)
{
    // An equal list notifies nothing, so the models passing it on end here.
    const std::vector<AudioOutputDevice> devices = from.audioDevices();
    for (auto& [id, model] : m_models)
        if (model != &from)
            model->setAudioDevices(devices);
}

void NotchWindowController::spreadTimers()
{
    const std::vector<NotchTimer> timers = m_timerAdapter->timers();
    for (auto& [id, model] : m_models)
        model->setTimers(timers);
}

// Dismissing.

void NotchWindowController::installDismissMonitors()
{
    const unsigned mask =
        mouseEventMask(MouseEventType::leftMouseDown) | mouseEventMask(MouseEventType::rightMouseDown);
    m_globalClickMonitor = m_env.platform.mouseMonitor.addGlobalMonitor(
        mask, [weakSelf = QPointer<NotchWindowController>(this)](const MouseEvent& event) {
            if (weakSelf)
                weakSelf->clickedElsewhere(event);
        });
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
        m_keyFilterInstalled = true;
    }
}

void NotchWindowController::clickedElsewhere(const MouseEvent& event)
{
    closeOpenDesks([&](std::uint32_t id) {
        const NotchPanel* panel = this->panel(id);
        return panel && panel->frame().contains(event.location);
    });
}

bool NotchWindowController::escapePressed()
{
    return closeOpenDesks([](std::uint32_t) { return false; });
}

bool NotchWindowController::closeOpenDesks(const std::function<bool(std::uint32_t display)>& keep)
{
    bool closed = false;
    // Copied first: a model's forceClose may reach back into the controller.
    const auto models = m_models;
    for (const auto& [id, model] : models) {
        if (!model->state().isOpen() || keep(id))
            continue;
        model->send(NotchEvent::forceClose());
        closed = true;
    }
    return closed;
}

bool NotchWindowController::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && escapePressed())
            return true;
        return false;
    }
    if (isInputEvent(type) && watched->isWidgetType()) {
        const QWidget* window = static_cast<QWidget*>(watched)->window();
        for (const auto& [id, panel] : m_panels)
            if (panel == window) {
                m_lastInputDisplay = id;
                // The global monitor never sees clicks on our own windows, so
                // a click on one screen's panel closes the others' Desks here.
                if (type == QEvent::MouseButtonPress)
                    closeOpenDesks([clicked = id](std::uint32_t display) { return display == clicked; });
                break;
            }
    }
    return false;
}

// Drags.

void NotchWindowController::startDragMonitors()
{
    stopDragMonitors();
    MouseMonitor& monitor = m_env.platform.mouseMonitor;
    const QPointer<NotchWindowController> weakSelf(this);
    if (const auto token = monitor.addGlobalMonitor(mouseEventMask(MouseEventType::leftMouseDragged),
                                                    [weakSelf](const MouseEvent& event) {
                                                        if (!weakSelf)
                                                            return;
                                                        const auto main =
                                                            weakSelf->m_env.platform.screens.primaryScreen();
                                                        // Qt's y grows downward: the distance from the top.
                                                        if (main && event.location.y - main->frame.y < armingBand)
                                                            weakSelf->setDragArmed(true);
                                                    }))
        m_dragMonitors.push_back(*token);
    if (const auto token = monitor.addGlobalMonitor(mouseEventMask(MouseEventType::leftMouseUp),
                                                    [weakSelf](const MouseEvent&) {
                                                        if (weakSelf)
                                                            weakSelf->setDragArmed(false);
                                                    }))
        m_dragMonitors.push_back(*token);
    diag("drag monitors installed: " + formatInteger(std::int64_t(m_dragMonitors.size())));
}

void NotchWindowController::stopDragMonitors()
{
    for (const int token : m_dragMonitors)
        m_env.platform.mouseMonitor.removeMonitor(token);
    m_dragMonitors.clear();
}

void NotchWindowController::pollDragPasteboard()
{
    // Asking the X server for the buttons is a round trip; at rest (no new
    // drag, nothing armed) the tick needs no answer, so it asks nothing.
    const auto leftHeld = [this] {
        return (m_env.platform.pointer.pressedMouseButtons() & MouseButtons::left) != 0;
    };
    const long count = m_env.platform.dragSelection.changeCount();
    if (count != m_lastDragChangeCount) {
        m_lastDragChangeCount = count;
        if (leftHeld())
            setDragArmed(true);
    } else if (m_dragArmed && !leftHeld()) {
        setDragArmed(false);
    }
}

bool NotchWindowController::pollsSettled() const
{
    return !m_dragArmed && m_env.platform.dragSelection.changeCount() == m_lastDragChangeCount &&
           m_env.pasteboard.changeCount() == m_clipboardPolledCount;
}

void NotchWindowController::setDragArmed(bool armed)
{
    if (armed == m_dragArmed)
        return;
    m_dragArmed = armed;
    diag(std::string("drag armed=") + (armed ? "true" : "false"));
    for (const auto& [id, panel] : m_panels) {
        auto* armable = dynamic_cast<DragArmable*>(panel->contentView());
        if (armable)
            armable->setArmed(armed);
        panel->setLevel(armed ? NotchPanel::dragLevel : NotchPanel::restingLevel);
        NotchViewModel* model = this->model(id);
        if (!model) {
            panel->orderFront(); // restacks at the new level
            continue;
        }
        const NotchGeometry& geometry = model->geometry();
        if (armed) {
            if (!model->state().isOpen()) {
                const double width = std::min(geometry.notchSize.width + armedZoneExtraWidth,
                                              geometry.screenFrame.width);
                placePanel(*panel, geometry, Size{width, armedZoneHeight});
                if (armable)
                    armable->setDropRectForDrag(Rect{0, 0, width, armedZoneHeight});
            }
        } else {
            const Size content = model->contentSize(model->state());
            const bool empty = content.width == 0 && content.height == 0;
            const Size canvas = empty ? Size{geometry.notchSize.width, 4}
                                      : Size{content.width + 24, content.height + 6};
            panel->setDrawnCanvas(canvas);
            placePanel(*panel, geometry, canvas);
            if (armable)
                armable->setDropRectForDrag(
                    Rect{0, 0, empty ? geometry.notchSize.width : content.width + 24, restingDropHeight});
        }
        followFrame(id);
        panel->orderFront(); // restacks at the new level
    }
}

void NotchWindowController::setSourcingDrag(bool sourcing)
{
    for (const auto& [id, panel] : m_panels)
        if (auto* armable = dynamic_cast<DragArmable*>(panel->contentView()))
            armable->setSourcingDrag(sourcing);
}

std::filesystem::path NotchWindowController::pipelineOutputDirectory() const
{
    const std::filesystem::path support =
        m_env.applicationSupport.empty() ? XdgPaths::applicationSupportRoot() : m_env.applicationSupport;
    const std::filesystem::path folder = support / pipelineFolder;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

void NotchWindowController::dragEntered(NotchViewModel& model, const QList<QUrl>& urls)
{
    m_dropAnswers = {};
    model.beginDrag(urls);
    model.send(NotchEvent::dragEntered());
}

std::optional<int> NotchWindowController::laneAt(const NotchViewModel& model, Point point) const
{
    // The lanes span the content, centred in the host.
    const double content = model.contentSize(model.state()).width;
    const QWidget* host = model.panel() ? model.panel()->contentView() : nullptr;
    const double hostWidth = host ? double(host->width()) : content;
    return model.lane(point.x - (hostWidth - content) * 0.5, content);
}

void NotchWindowController::dragMoved(NotchViewModel& model, Point point)
{
    model.setHoveredLane(laneAt(model, point));
}

bool NotchWindowController::takesDropAt(NotchViewModel& model, Point point)
{
    const std::vector<DropLane>& lanes = model.dragLanes();
    const std::optional<int> index = laneAt(model, point);
    if (index && *index >= 0 && std::size_t(*index) < lanes.size()) {
        const DropLane& lane = lanes[std::size_t(*index)];
        if (std::holds_alternative<DropLane::AirDrop>(lane.value())) {
            // Asked once a drag: the answer may wait on the device service.
            if (!m_dropAnswers.sharing)
                m_dropAnswers.sharing = m_env.platform.sharing.isAvailable();
            return *m_dropAnswers.sharing;
        }
        if (lane.pipelineID() && m_pipelineRunner)
            return true;
    }
    if (!m_dropAnswers.shelf)
        m_dropAnswers.shelf = anyTakeable(localPaths(model.dragURLs()), m_env.canRead);
    return *m_dropAnswers.shelf;
}

void NotchWindowController::dragExited(NotchViewModel& model)
{
    clearDrag(model);
    model.send(NotchEvent::dragExited());
}

void NotchWindowController::clearDrag(NotchViewModel& model)
{
    m_dropAnswers = {};
    model.setDragURLs({});
    model.setDragLanes({});
    model.setHoveredLane(std::nullopt);
}

void NotchWindowController::scrolled(NotchViewModel& model, double dx, double dy, SwipePhase phase)
{
    model.handleScroll(dx, dy, phase);
}

bool NotchWindowController::drop(NotchViewModel& model, const QList<QUrl>& urls, Point point)
{
    const QPointer<NotchViewModel> weakModel(&model);
    const auto refuse = [&] {
        // Nothing was taken: the notch must not stay a drop target.
        clearDrag(model);
        if (weakModel)
            weakModel->send(NotchEvent::dragExited());
        return false;
    };
    QList<QUrl> files;
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            files.push_back(url);
    if (files.isEmpty())
        return refuse();

    const std::optional<int> index = laneAt(model, point);
    const std::vector<DropLane> lanes = model.dragLanes();

    if (index && *index >= 0 && std::size_t(*index) < lanes.size()) {
        const DropLane& lane = lanes[std::size_t(*index)];
        if (std::holds_alternative<DropLane::AirDrop>(lane.value())) {
            // Without a device nothing is sent, and the sender must not
            // believe the files went somewhere. perform() finds the device
            // itself: asking isAvailable() first would look it up twice.
            if (!m_env.platform.sharing.perform(files))
                return refuse();
            model.send(NotchEvent::dropped());
            clearDrag(model);
            return true;
        }
        if (const PipelineID* id = lane.pipelineID(); id && m_pipelineRunner) {
            const std::vector<std::filesystem::path> paths = localPaths(files);
            for (const auto& pipeline : m_pipelineRunner->lanes(paths, m_settings.pipelineOrder())) {
                if (pipeline->id() != *id)
                    continue;
                model.send(NotchEvent::dropped());
                m_pipelineRunner->run(pipeline, paths, pipelineOutputDirectory(),
                                      [weakSelf = QPointer<NotchWindowController>(this)](
                                          const std::vector<std::filesystem::path>& produced) {
                                          if (weakSelf)
                                              weakSelf->addPipelineOutputs(produced);
                                      });
                clearDrag(model);
                return true;
            }
            // The pipeline no longer takes these files: the tray does.
        }
    }
    return dropOnShelf(model, files) || refuse();
}

bool NotchWindowController::dropOnShelf(NotchViewModel& model, const QList<QUrl>& urls)
{
    const std::vector<std::filesystem::path> paths = localPaths(urls);
    // The copy runs later; what surely cannot be taken is refused now, so the
    // sender never reports a transfer that did not happen.
    if (!anyTakeable(paths, m_env.canRead))
        return false;
    const bool move = m_settings.trayMoveOnDrop() != m_env.platform.pointer.modifierFlags().option;
    model.send(NotchEvent::dropped());
    clearDrag(model);
    m_trayStore->add(paths, move, [weakSelf = QPointer<NotchWindowController>(this)](const std::vector<TrayItem>& added) {
        if (!weakSelf || added.empty())
            return;
        weakSelf->spreadTrayItems();
        if (weakSelf->onFilesDropped)
            weakSelf->onFilesDropped(added);
    });
    return true;
}

void NotchWindowController::addPipelineOutputs(const std::vector<std::filesystem::path>& produced)
{
    if (produced.empty())
        return;
    m_trayStore->add(produced, false, [weakSelf = QPointer<NotchWindowController>(this)](const std::vector<TrayItem>& added) {
        if (!weakSelf)
            return;
        weakSelf->spreadTrayItems();
        if (!added.empty() && weakSelf->onFilesDropped)
            weakSelf->onFilesDropped(added);
    });
}

void NotchWindowController::diag(const std::string& line) const
{
    if (m_env.trace)
        m_env.trace(line);
}
