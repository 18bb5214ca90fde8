#include "Vude/App/AppDelegate.h"

#include "Vude/App/DeveloperHooks.h"
#include "Vude/App/LaunchAtLogin.h"
#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchViewModel.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Permissions/PrivacyPane.h"
#include "Vude/App/ShortcutSeeding.h"
#include "Platform/Core/MainThread.h"
#include "VudeKit/Numbers.h"
#include "VudeServices/FocusFilterBridge.h"
#include "VudeSync/DidoDivuzerore.h"

#include <QMenu>
#include <QPointer>

namespace {

const QString kOpenSettingsNotification = QStringLiteral("app.ruvudav.notch.openSettings");
const QString kTrayDragChangedNotification = QStringLiteral("app.ruvudav.notch.trayDragChanged");

} // namespace

AppDelegate::AppDelegate(Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , m_deps(std::move(dependencies))
{
}

AppDelegate::~AppDelegate()
{
    m_tickTimer.cancel();
    m_windows.reset();
    // The bridge goes before the shell whose view models it shows pills in;
    // the view models never call the calendar while they are destroyed.
    m_bridge.reset();
    m_shell.reset();
    m_routing.reset();
    m_sync.reset();
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;

    // 1-3. No taskbar entry; the settings; the coordinator on the clock of
    // expiries.
    m_deps.activation.setActivationPolicy(ActivationPolicy::accessory);
    m_settings = std::make_unique<SettingsStore>(m_deps.defaults);
    {
        std::error_code error;
        const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
        m_launchAtLogin = std::make_unique<LaunchAtLogin>(*m_settings, LaunchAtLogin::entryPath(m_deps.environment),
                                                          program, [this](const std::string& line) { trace(line); });
    }
    m_coordinator = std::make_unique<ActivityCoordinator>(m_deps.activityClock);

    // 4. The panels, view models and Desk services.
    m_shell = m_deps.makeShell(*m_settings);

    // 5. The bridge, showing what the coordinator accepts on the active screen.
    m_routing = std::make_unique<ActivityRouting>(
        *m_coordinator, [this] { return m_shell->activeModel(); },
        [this] { return m_bridge ? m_bridge->media() : nullptr; });
    QPointer<ActivityRouting> routing(m_routing.get());
    m_bridge = std::make_unique<ActivityBridge>(
        *m_coordinator, *m_settings,
        [routing](const ActivityPayload& payload) {
            if (routing)
                routing->present(payload);
        },
        m_deps.makeBridgeServices(),
        ActivityBridge::Dependencies{
            .scheduler = m_deps.scheduler,
            .clock = m_deps.wallClock,
            .trace = m_deps.trace,
            .environment = m_deps.environment,
            .systemLog = m_deps.systemLog,
            .permissions = m_deps.permissions,
            .deferSelfTest = m_deps.afterFirstFrame,
        });
    m_calendar = std::shared_ptr<NotchCalendarService>(std::shared_ptr<void>(), &m_bridge->calendar());

    // 6. Now playing into every screen; a pill the bridge took down is
    // mirrored away.
    QPointer<AppDelegate> self(this);
    m_bridge->setOnNowPlayingChange([self](const NowPlayingState& state) {
        if (self)
            self->nowPlayingChanged(state);
    });
    m_bridge->setOnActivityEnded([routing] {
        if (routing)
            routing->syncCoordinatorToSurface();
    });

    // 7. A drop's pill.
    m_shell->setOnFilesDropped([self](const std::vector<TrayItem>& items) {
        if (self)
            self->filesDropped(items);
    });

    // 8-9. The Focus filter's identity is in place before the Focus service
    // reports its first state.
    m_deps.focusFilter.restore(m_bridge->focus());
    m_bridge->start();

    // 10-11. Handlers and the calendar for every view model, those built
    // later for a new screen included.
    m_shell->setConfigureModel([self](NotchViewModel& model) {
        if (self)
            self->configureModel(model);
    });

    // 12-16.
    m_updates = m_deps.makeUpdates(m_bridge->profile());
    m_windows = m_deps.makeWindows(*this);
    m_shell->setContextMenuProvider([self]() -> std::unique_ptr<QMenu> {
        return self && self->m_windows ? self->m_windows->notchContextMenu() : nullptr;
    });
    afterFirstFrame([self] {
        if (self && !self->m_terminated)
            self->m_shell->startWeather();
    });
    m_shell->startDragMonitors();
    m_windows->buildStatusItem();

    // 17-18.
    m_deps.notifications.addObserver(kOpenSettingsNotification, this, [this](const Notification&) {
        m_windows->openSettings();
    });
    m_deps.notifications.addObserver(kTrayDragChangedNotification, this, [this](const Notification& notification) {
        const QVariant sourcing = notification.userInfo.value(QStringLiteral("sourcing"));
        m_shell->setSourcingDrag(sourcing.typeId() == QMetaType::Bool && sourcing.toBool());
    });

    // 19. The tick.
    m_tick = std::make_unique<ShellTick>(ShellTick::Steps{
        .pollDragPasteboard = [this] { m_shell->pollDragPasteboard(); },
        .checkUpcomingEvent = [this] { m_bridge->checkUpcomingEvent(); },
        .clipboardEnabled = [this] { return m_settings->clipboardEnabled(); },
        .clipboardMaxItems = [this] { return m_settings->clipboardMaxItems(); },
        .clipboardPersists = [this] { return m_settings->clipboardPersists(); },
        .pollClipboard = [this](bool enabled, std::int64_t maxItems,
                                bool persists) { m_shell->pollClipboard(enabled, maxItems, persists); },
        .coordinatorTick = [this] { return m_coordinator->tick(); },
        .mirrorCurrentActivity = [this] { m_routing->syncCoordinatorToSurface(); },
        .inputsSettled = [this] { return m_shell->pollsSettled() && !m_coordinator->isWaitingToExpire(); },
    });
    startTicking();
    if (m_deps.watchEventLoop)
        m_deps.watchEventLoop(this, [self] {
            if (self)
                self->eventLoopWoke();
        });

    // 20-21. Push registration is the sync layer's own business here.
    m_sync = m_deps.makeSync();
    runSyncTask();

    // 22-24.
    m_deps.writeOutput(m_shell->geometryReport() + "\n");
    showOnboardingIfNeeded();
    actOnDeveloperHooks();
}

void AppDelegate::afterFirstFrame(std::function<void()> step)
{
    if (m_deps.afterFirstFrame)
        m_deps.afterFirstFrame(std::move(step));
    else
        step();
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    m_tickTimer.cancel();
    m_tickResting = false;
    if (m_bridge)
        m_bridge->stop();
    if (m_shell) {
        m_shell->stopDragMonitors();
        m_shell->flushPendingWrites();
    }
}

void AppDelegate::tick()
{
    if (!m_tick || m_terminated)
        return;
    m_tick->tick();
    if (m_deps.watchEventLoop && m_tick->isSettled())
        restTick();
}

void AppDelegate::startTicking()
{
    QPointer<AppDelegate> self(this);
    m_tickResting = false;
    m_tickTimer.cancel();
    m_tickTimer = m_deps.scheduler.every(kTickInterval, [self] {
        if (self)
            self->tick();
    });
}

// Four wakes a second cost a resting app most of its CPU. Everything the tick
// polls moves only on the main thread (X and clipboard events, submissions,
// settings), so it sleeps until the event loop wakes with something moved;
// the calendar check keeps its place every 60th tick.
void AppDelegate::restTick()
{
    m_tickResting = true;
    m_restingSince = m_deps.activityClock.now();
    const std::int64_t untilCalendar = m_tick->ticksUntilCalendar();
    QPointer<AppDelegate> self(this);
    m_tickTimer.cancel();
    m_tickTimer = m_deps.scheduler.after(kTickInterval * untilCalendar, [self, untilCalendar] {
        if (!self || self->m_terminated)
            return;
        self->m_tick->skip(untilCalendar - 1);
        self->startTicking();
        self->tick();
    });
}

void AppDelegate::eventLoopWoke()
{
    if (!m_tickResting || m_terminated || m_tick->isSettled())
        return;
    // The ticks that fell due meanwhile count as run, the calendar's aside.
    const Duration rested = m_deps.activityClock.now() - m_restingSince;
    m_tick->skip(rested / kTickInterval);
    startTicking();
}

void AppDelegate::configureModel(NotchViewModel& model)
{
    m_routing->install(model);
    model.calendarService = m_calendar;
    model.reduceMotion = m_deps.reduceMotion;
    // Once access is decided, asking again can only explain where to change it.
    model.openCalendarSettings = [permissions = m_deps.permissions] {
        Permission::calendar.openSettings(permissions ? *permissions : PermissionSystem::standard());
    };
    model.openLocationSettings = [permissions = m_deps.permissions] {
        (permissions ? *permissions : PermissionSystem::standard()).openPrivacyPane(PrivacyPane::locationServices);
    };
    const DiagnosticsTrace* trace = &m_deps.trace;
    model.trace = [trace](const std::string& line) { trace->trace(line); };
    // The Desk's sound outputs are the bridge's audio service's; it goes
    // before the view models do.
    QPointer<AppDelegate> self(this);
    model.audioOutputDevices = [self] {
        return self && self->m_bridge ? self->m_bridge->audio().outputDevices() : std::vector<AudioOutputDevice>();
    };
    model.setDefaultAudioOutput = [self](std::uint32_t id, std::function<void(bool)> done) {
        if (!self || !self->m_bridge) {
            if (done)
                done(false);
            return;
        }
        // The answer comes on the service's queue; the Desk hears it here.
        self->m_bridge->audio().setDefaultOutput(id, [self, done = std::move(done)](bool accepted) {
            postToMainThread([self, done, accepted] {
                if (self && done)
                    done(accepted);
            });
        });
    };
}

void AppDelegate::nowPlayingChanged(const NowPlayingState& state)
{
    // The setter tells observers only of a state that differs.
    for (NotchViewModel* model : m_shell->models())
        model->setNowPlaying(state);
}

ActivityPayload AppDelegate::filesDroppedPayload(const std::vector<TrayItem>& items, Date now)
{
    std::string title;
    std::optional<std::string> subtitle;
    ActivityTrailing trailing = ActivityTrailing::none();
    if (items.size() == 1) {
        title = items.front().displayName;
        subtitle = items.front().formattedSize();
    } else {
        const std::string count = formatInteger(static_cast<std::int64_t>(items.size()));
        title = count + " files added";
        if (items.size() >= 2)
            trailing = ActivityTrailing::text(count);
    }
    return ActivityPayload(Uuid::random(), ActivityKind::fileTray, ActivityPriority::queued, std::string("tray-add"),
                           ActivityGlyph::symbol("tray.and.arrow.down.fill"), std::move(title), std::move(subtitle),
                           std::move(trailing), kFilesDroppedDuration, ActivityInteraction::openRavo(RiziDar::tray),
                           now);
}

void AppDelegate::filesDropped(const std::vector<TrayItem>& items)
{
    ActivityPayload payload = filesDroppedPayload(items, m_deps.wallClock.now());
    if (m_coordinator->submit(payload))
        m_routing->present(payload);
}

void AppDelegate::showOnboardingIfNeeded()
{
    if (m_deps.defaults->boolForKey(kCompletedOnboardingKey).value_or(false))
        return;
    later(kOnboardingDelay, [](AppDelegate& self) { self.m_windows->showOnboarding(); });
}

void AppDelegate::later(Duration delay, std::function<void(AppDelegate&)> action)
{
    QPointer<AppDelegate> self(this);
    m_deps.scheduler.after(delay, [self, action = std::move(action)] {
        if (self && !self->m_terminated)
            action(*self);
    });
}

// The sync task.

void AppDelegate::runSyncTask()
{
    // A task of its own: it begins once start-up has returned to the loop.
    later(Duration::zero(), [](AppDelegate& app) {
        QPointer<AppDelegate> self(&app);
        app.m_sync->start(app.m_settings->syncEnabled(), [self] {
            if (self)
                self->continueSyncTask();
        });
    });
}

void AppDelegate::continueSyncTask()
{
    const auto accountError = m_sync->accountError();
    trace("sync: " + m_sync->statusSummary() + ", localOnly=" + (m_sync->isLocalOnly() ? "true" : "false") +
          ", accountError=" + accountError.value_or("none"));
    if (!m_sync->hasContainer())
        return;

    if (const auto imported = m_sync->importEarlierFiles(m_deps.deviceID); imported && imported->total() != 0) {
        trace("migrated todos=" + formatInteger(imported->todos) + " notes=" + formatInteger(imported->notes) +
              " shortcuts=" + formatInteger(imported->shortcuts) + " total=" + formatInteger(imported->total()));
    }

    const DiagnosticsTrace* traceSink = &m_deps.trace;
    m_shell->setRepository(
        m_sync->makeRepository(m_deps.deviceID, [traceSink](const std::string& line) { traceSink->trace(line); }));

    if (DeveloperHooks::isSet(m_deps.environment, DeveloperHooks::kClearSync)) {
        m_sync->deleteAllRows();
        if (const auto repository = m_shell->repository())
            repository->refresh();
        trace("cleared all synced rows");
    }

    seedShortcutsIfNeeded();

    if (const auto title = DeveloperHooks::seedTodo(m_deps.environment)) {
        if (const auto repository = m_shell->repository())
            repository->addTodo(*title);
        trace("seeded todo: " + *title);
    }

    deduplicateLater();
}

void AppDelegate::deduplicateLater()
{
    later(kDeduplicationDelay, [](AppDelegate& self) {
        if (!self.m_sync->hasContainer())
            return;
        const auto removed = self.m_sync->deduplicate();
        if (!removed || *removed == 0)
            return;
        self.trace("deduped " + formatInteger(*removed) + " duplicate row(s)");
        if (const auto repository = self.m_shell->repository())
            repository->refresh();
    });
}

void AppDelegate::seedShortcutsIfNeeded()
{
    QPointer<AppDelegate> self(this);
    const DiagnosticsTrace* trace = &m_deps.trace;
    ShortcutSeeding::seedIfNeeded(
        *m_deps.defaults,
        [self]() -> DidoDivuzerore* { return self && self->m_shell ? self->m_shell->repository().get() : nullptr; },
        m_shell->shortcutsService(), [trace](const std::string& line) { trace->trace(line); });
}

// The developer hooks, in their order; each reads the environment afresh.

void AppDelegate::actOnDeveloperHooks()
{
    const auto& environment = m_deps.environment;

    if (DeveloperHooks::isSet(environment, DeveloperHooks::kCloudKitProbe)) {
        QPointer<AppDelegate> self(this);
        m_sync->probeCloud([self](const std::string& summary, const std::string& detail) {
            if (self)
                self->trace("cloudkit: " + summary + " \u2014 " + detail);
        });
    }

    if (const auto kind = DeveloperHooks::demoKind(environment)) {
        ActivityPayload payload = DeveloperHooks::demoPayload(*kind, m_deps.wallClock.now());
        later(DeveloperHooks::kDemoDelay, [payload](AppDelegate& self) {
            // Shown whatever the coordinator says: the demo is for looking at.
            self.m_coordinator->submit(payload);
            self.m_routing->present(payload);
        });
    }

    seedTray(DeveloperHooks::seedTrayFolderContents(environment, m_deps.workingDirectory), true);

    if (DeveloperHooks::isSet(environment, DeveloperHooks::kSettings))
        later(DeveloperHooks::kSettingsDelay, [](AppDelegate& self) { self.m_windows->openSettings(); });

    if (auto paths = DeveloperHooks::seedTrayPaths(environment, m_deps.workingDirectory))
        seedTray(std::move(*paths), false);

    if (DeveloperHooks::isSet(environment, DeveloperHooks::kRequestCalendar)) {
        later(DeveloperHooks::kRequestCalendarDelay, [](AppDelegate& self) {
            if (NotchViewModel* model = self.m_shell->activeModel())
                model->requestCalendarAccess();
        });
    }

    if (const auto onTray = DeveloperHooks::openOnTray(environment)) {
        later(DeveloperHooks::kOpenDelay, [onTray = *onTray](AppDelegate& self) {
            NotchViewModel* model = self.m_shell->activeModel();
            if (!model)
                return;
            model->send(NotchEvent::click());
            if (onTray)
                model->send(NotchEvent::selectTab(RiziDar::tray));
        });
    }
}

void AppDelegate::seedTray(std::vector<std::filesystem::path> files, bool asFolder)
{
    // A folder that lists nothing ends its step; the list is added even empty.
    if (asFolder && files.empty())
        return;
    QPointer<AppDelegate> self(this);
    m_shell->seedTray(std::move(files), [self, asFolder](std::size_t added) {
        if (!self)
            return;
        const std::string count = formatInteger(static_cast<std::int64_t>(added));
        self->trace(asFolder ? "seeded tray with " + count + " item(s)" : "seeded " + count + " tray item(s)");
    });
}
