#include "Vude/App/ShellAppWindows.h"

#include "Platform/Core/AppResources.h"
#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/MachineModel.h"
#include "Platform/Core/SystemDescription.h"
#include "Vude/App/AppDelegate.h"
#include "Vude/App/AppSettingsServices.h"
#include "Vude/App/BuildInfo.h"
#include "Vude/App/DeveloperHooks.h"
#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchViewModel.h"
#include "VudeSync/DidoDivuzerore.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Permissions/PermissionPrompt.h"
#include "Vude/Permissions/PermissionSystem.h"
#include "Vude/App/QtMenuBuilder.h"
#include "Vude/App/SettingsWindowPlacement.h"
#include "Vude/Onboarding/OnboardingModel.h"
#include "Vude/Onboarding/OnboardingView.h"
#include "Vude/App/UpdateService.h"
#include "Vude/Settings/SettingsEnvironment.h"
#include "Vude/Settings/SettingsRootView.h"
#include "VudeKit/DebugActivitySource.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/UserDefaults.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace {

void bringForward(QWidget& window, ActivationPolicyRecorder& activation)
{
    window.show();
    window.raise();
    window.activateWindow();
    activation.activateIgnoringOtherApps();
}

QIcon statusIcon()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    SymbolCatalog::draw(painter, QRectF(0, 0, 64, 64), "rectangle.topthird.inset.filled", Qt::white, 56);
    return QIcon(pixmap);
}

/// The settings window: the root view over the app, its frame kept in the
/// user defaults as it moves and resizes.
class SettingsWindow final : public QWidget {
public:
    SettingsWindow(std::shared_ptr<UserDefaults> defaults, Scheduler& scheduler, SettingsEnvironment environment,
                   SettingsServices& services, NotificationCenter& notifications, SettingsPane pane)
        : QWidget(nullptr, Qt::Window)
        , m_defaults(std::move(defaults))
        , m_scheduler(scheduler)
        , m_environment(std::move(environment))
    {
        setAttribute(Qt::WA_DeleteOnClose, false);
        setAttribute(Qt::WA_QuitOnClose, false);
        setObjectName(QStringLiteral("VudeSettings"));
        setWindowTitle(QStringLiteral("Vude Settings"));
        setMinimumSize(SettingsWindowPlacement::minimumSize);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        // Built with the window, so it hears the pane request that follows
        // the one that opened it.
        m_root = new SettingsRootView(services, m_environment, notifications, pane, this);
        layout->addWidget(m_root);
    }

    ~SettingsWindow() override { m_pendingSave.cancel(); }

    SettingsRootView* root() const { return m_root; }

    /// Remembers where the window is, for the next time it opens.
    void save()
    {
        m_pendingSave.cancel();
        if (m_defaults && isVisible())
            m_defaults->set(SettingsWindowPlacement::frameKey, DefaultsValue(SettingsWindowPlacement::encode(geometry())));
    }

protected:
    // Shortly after it settles, not at every step of a drag: each write is
    // a file. A window left open at quit keeps its frame too.
    void moveEvent(QMoveEvent* event) override
    {
        QWidget::moveEvent(event);
        saveSoon();
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        saveSoon();
    }
    void closeEvent(QCloseEvent* event) override
    {
        save();
        QWidget::closeEvent(event);
    }

private:
    void saveSoon()
    {
        if (!isVisible())
            return;
        m_pendingSave.cancel();
        m_pendingSave = m_scheduler.after(ShellAppWindows::frameSaveDelay, [this] { save(); });
    }

    std::shared_ptr<UserDefaults> m_defaults;
    Scheduler& m_scheduler;
    SettingsEnvironment m_environment;
    SettingsRootView* m_root = nullptr;
    ScheduledTask m_pendingSave;
};

} // namespace

ShellAppWindows::ShellAppWindows(AppDelegate& app, Desktop desktop)
    : m_app(app)
    , m_desktop(std::move(desktop))
{
}

ShellAppWindows::~ShellAppWindows()
{
    for (auto& task : m_burst)
        task.cancel();
    m_trayWatch.cancel();
    if (auto* window = dynamic_cast<SettingsWindow*>(m_settingsWindow.data()))
        window->save();
    delete m_settingsWindow.data();
    delete m_onboardingWindow.data();
}

// MARK: - Menus

AppMenus::StatusInputs ShellAppWindows::statusInputs() const
{
    return {.suppressSystemHUD = m_app.settings() && m_app.settings()->suppressSystemHUD(),
            .updatesAvailable = m_app.updates() && m_app.updates()->isAvailable()};
}

AppMenus::ContextInputs ShellAppWindows::contextInputs() const
{
    const NotchViewModel* model = m_app.notchController() ? m_app.notchController()->activeModel() : nullptr;
    const auto* updates = dynamic_cast<const UpdateService*>(m_app.updates());
    return {
        .deskOpen = model && model->state().isOpen(),
        .keepingAwake = m_app.bridge() && m_app.bridge()->idle().isKeepingAwake(),
        .updatesAvailable = m_app.updates() && m_app.updates()->isAvailable(),
        .canCheckForUpdates = updates && updates->canCheckForUpdates(),
        .statusItemShown = statusItemShown(),
        .suppressSystemHUD = m_app.settings() && m_app.settings()->suppressSystemHUD(),
    };
}

bool ShellAppWindows::checkedAfter(const MenuEntry& entry) const
{
    switch (entry.action) {
    case MenuAction::toggleSuppression:
        return m_app.settings() && m_app.settings()->suppressSystemHUD();
    case MenuAction::toggleKeepAwake:
        return m_app.bridge() && m_app.bridge()->idle().isKeepingAwake();
    default:
        return entry.checked;
    }
}

void ShellAppWindows::buildStatusItem()
{
    if (m_statusMenu)
        return;
    m_statusMenu = std::make_unique<QMenu>();
    QtMenuBuilder::fill(*m_statusMenu, AppMenus::statusMenu(statusInputs()),
                        {.perform = [this](const MenuEntry& entry) { perform(entry); },
                         .checkedAfter = [this](const MenuEntry& entry) { return checkedAfter(entry); }});
    // A settings pane may change the setting too: the mark follows it.
    QObject::connect(m_statusMenu.get(), &QMenu::aboutToShow, m_statusMenu.get(), [this] {
        if (auto* action = QtMenuBuilder::findAction(*m_statusMenu, AppMenus::replaceHUDsTitle))
            action->setChecked(statusInputs().suppressSystemHUD);
    });
    if (trayAvailable()) {
        showStatusItem();
        return;
    }
    // A panel may bring its tray after the app started (both are started
    // with the session); the icon goes there once it does.
    m_trayWatch = m_desktop.scheduler.every(trayPollInterval, [this] {
        if (!trayAvailable())
            return;
        m_trayWatch.cancel();
        showStatusItem();
    });
}

bool ShellAppWindows::trayAvailable() const
{
    return m_desktop.hasTray && m_desktop.hasTray();
}

void ShellAppWindows::showStatusItem()
{
    m_statusItem = std::make_unique<QSystemTrayIcon>(statusIcon());
    m_statusItem->setToolTip(QStringLiteral("Vude"));
    m_statusItem->setContextMenu(m_statusMenu.get());
    m_statusItem->show();
}

bool ShellAppWindows::statusItemShown() const
{
    // The item is made once, but the tray holding it may go away.
    return m_statusItem && trayAvailable();
}

std::unique_ptr<QMenu> ShellAppWindows::notchContextMenu()
{
    auto menu = std::make_unique<QMenu>();
    QtMenuBuilder::fill(*menu, AppMenus::notchContextMenu(contextInputs()),
                        {.perform = [this](const MenuEntry& entry) { perform(entry); },
                         .checkedAfter = [this](const MenuEntry& entry) { return checkedAfter(entry); }});
    return menu;
}

void ShellAppWindows::perform(const MenuEntry& entry)
{
    NotchViewModel* model = m_app.notchController() ? m_app.notchController()->activeModel() : nullptr;
    ActivityBridge* bridge = m_app.bridge();
    switch (entry.action) {
    case MenuAction::none:
        return;
    case MenuAction::fireDebugActivity:
        fireDebugActivity(entry.argument);
        return;
    case MenuAction::fireBurst:
        fireBurst();
        return;
    case MenuAction::printGeometry:
        if (m_app.notchController() && m_desktop.writeOutput)
            m_desktop.writeOutput(m_app.notchController()->geometryReport() + "\n");
        return;
    case MenuAction::requestBluetooth:
        if (bridge)
            PermissionPrompt::withActivation([bridge] { bridge->requestBluetoothPermission(); }, m_desktop.permissions);
        return;
    case MenuAction::requestInputMonitoring:
        PermissionPrompt::withActivation([] { EventTapService::requestInputMonitoring(); }, m_desktop.permissions);
        return;
    case MenuAction::openPrivacyPane:
        if (!entry.argument.empty())
            m_desktop.permissions.openPrivacyPane(entry.argument);
        return;
    case MenuAction::toggleSuppression:
        toggleSuppression();
        return;
    case MenuAction::exportDiagnostics:
        exportDiagnostics();
        return;
    case MenuAction::checkForUpdates:
        if (auto* updates = dynamic_cast<UpdateService*>(m_app.updates()))
            updates->checkForUpdates();
        return;
    case MenuAction::toggleRavo:
        // A click opens a closed notch but leaves an open Desk as it is.
        if (model)
            model->send(model->state().isOpen() ? NotchEvent::forceClose() : NotchEvent::click());
        return;
    case MenuAction::toggleKeepAwake:
        if (bridge && !bridge->toggleKeepAwake())
            PermissionPrompt::inform(AppMenus::keepAwakeUnavailableTitle, AppMenus::keepAwakeUnavailableMessage,
                                     m_desktop.permissions);
        return;
    case MenuAction::showOnboarding:
        showOnboarding();
        return;
    case MenuAction::openSettings:
        openSettings();
        return;
    case MenuAction::quit:
    case MenuAction::terminate:
        if (m_desktop.quit)
            m_desktop.quit();
        return;
    }
}

// MARK: - Actions

void ShellAppWindows::fireDebugActivity(std::string_view kindName)
{
    const auto kind = enumFromRaw<ActivityKind>(kindName);
    if (!kind || !m_app.coordinator())
        return;
    auto payload = DebugActivitySource::make(*kind, m_desktop.clock.now());
    if (!m_app.coordinator()->submit(payload))
        return;
    if (auto* model = m_app.notchController() ? m_app.notchController()->activeModel() : nullptr)
        model->send(NotchEvent::activityArrived(std::move(payload)));
}

void ShellAppWindows::fireBurst()
{
    std::erase_if(m_burst, [](const ScheduledTask& task) { return !task.isActive(); });
    for (const auto& step : AppMenus::burstSchedule()) {
        const std::string kind(rawValue(step.kind));
        m_burst.push_back(m_desktop.scheduler.after(step.delay, [this, kind] { fireDebugActivity(kind); }));
    }
}

void ShellAppWindows::toggleSuppression()
{
    SettingsStore* settings = m_app.settings();
    if (!settings)
        return;
    const auto decision = AppMenus::toggleSuppression(settings->suppressSystemHUD(), EventTapService::hasAccessibility());
    if (decision.explain) {
        PermissionPrompt::explain(std::string(AppMenus::accessibilityTitle),
                                  std::string(AppMenus::accessibilityMessage),
                                  std::string(AppMenus::accessibilityAnchor), m_desktop.permissions);
        return;
    }
    // The bridge follows the setting and restarts its tap once.
    settings->setSuppressSystemHUD(decision.setting);
}

// MARK: - Diagnostics

DiagnosticsExport::Facts ShellAppWindows::diagnosticsFacts() const
{
    DiagnosticsExport::Facts facts;
    facts.version = std::string(BuildInfo::version());
    facts.build = std::string(BuildInfo::build());
    facts.osVersion = SystemDescription::systemRow();
    facts.model = machineModel();
    facts.installation = SystemDescription::installation(AppResources::runningExecutable());
    if (const auto* shell = m_app.notchController())
        for (const auto* model : shell->models()) {
            const auto& geometry = model->geometry();
            DiagnosticsExport::ScreenFacts screen{geometry.displayID, geometry.screenFrame.width,
                                                  geometry.screenFrame.height, std::nullopt};
            if (geometry.hasHardwareNotch)
                screen.notch = std::pair{geometry.notchSize.width, geometry.notchSize.height};
            facts.screens.push_back(screen);
        }
    auto& permissions = m_desktop.permissions;
    facts.inputMonitoring = Permission::inputMonitoring.state(permissions);
    facts.accessibility = Permission::accessibility.state(permissions);
    facts.calendar = Permission::calendar.state(permissions);
    facts.camera = Permission::camera.state(permissions);
    // One look at the stack for both Bluetooth rows.
    if (permissions.seams().bluetoothAuthorization)
        facts.bluetooth.authorization = permissions.seams().bluetoothAuthorization();
    facts.accessibilityTrusted = EventTapService::hasAccessibility();
    if (const auto* bridge = m_app.bridge()) {
        facts.profile = bridge->profile();
        facts.universalMediaAdapter =
            bridge->media() && bridge->media()->capabilities().contains(Capability::universalNowPlaying);
        facts.brightnessAvailable = bridge->brightness().isAvailable();
        facts.bluetooth.running = bridge->bluetoothStatus() == BluetoothService::StartResult::started;
        facts.calendarAccess = std::string(rawValue(bridge->calendar().access()));
        facts.keepingAwake = bridge->idle().isKeepingAwake();
    }
    facts.push = m_desktop.pushState ? m_desktop.pushState() : "pending";
    facts.syncSummary = m_app.sync() ? m_app.sync()->statusSummary() : std::string();
    if (const auto* settings = m_app.settings())
        facts.widgetCount = static_cast<std::int64_t>(settings->enabledWidgets().size());
    facts.trayCount = m_desktop.trayCount ? m_desktop.trayCount() : 0;
    facts.clipCount = m_desktop.clipCount ? m_desktop.clipCount() : 0;
    if (const auto* shell = m_app.notchController())
        if (const auto repository = shell->repository())
            facts.todoCount = static_cast<std::int64_t>(repository->todos().size());
    auto tail = ActivityBridge::recentLog(DiagnosticsExport::logTailLimit);
    facts.logTail = std::move(tail.lines);
    facts.logThisRunFrom = tail.thisRunFrom;
    facts.generatedAt = m_desktop.clock.now();
    return facts;
}

DiagnosticsReport ShellAppWindows::buildDiagnostics() const
{
    return DiagnosticsReport::make(DiagnosticsExport::inputs(diagnosticsFacts()));
}

DiagnosticsExport::Outcome ShellAppWindows::exportDiagnostics()
{
    const auto text = buildDiagnostics().formatted();
    DiagnosticsExport::Desktop desktop{
        .activation = m_desktop.activation,
        .chooseFile = m_desktop.chooseSaveFile ? m_desktop.chooseSaveFile
                                               : []() -> std::optional<std::filesystem::path> {
            const auto folder = DiagnosticsExport::saveFolder(
                QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString(),
                QDir::homePath().toStdString());
            const QString chosen = QFileDialog::getSaveFileName(
                nullptr, QString::fromUtf8(DiagnosticsExport::panelTitle),
                QString::fromStdString((folder / DiagnosticsExport::defaultFileName).string()),
                QStringLiteral("Plain text (*.txt)"));
            if (chosen.isEmpty())
                return std::nullopt;
            return std::filesystem::path(chosen.toStdString());
        },
        .revealer = m_desktop.revealer,
        .showError = m_desktop.showError ? m_desktop.showError : [](const std::string& error) {
            QMessageBox::warning(nullptr, QString::fromUtf8(DiagnosticsExport::panelTitle),
                                 QStringLiteral("The diagnostics could not be saved.\n\n%1")
                                     .arg(QString::fromStdString(error)));
        },
    };
    return DiagnosticsExport::save(text, desktop);
}

// MARK: - Windows

void ShellAppWindows::openSettings()
{
    if (m_settingsWindow) {
        bringForward(*m_settingsWindow, m_desktop.activation);
        return;
    }
    if (!m_settingsServices)
        m_settingsServices = std::make_unique<AppSettingsServices>(m_app, m_desktop.permissions);
    SettingsEnvironment environment{
        .view = {m_desktop.scheduler, m_desktop.steadyClock ? *m_desktop.steadyClock : m_desktop.clock,
                 m_desktop.reduceMotion},
        .wallClock = m_desktop.clock,
        .permissions = m_desktop.permissions,
    };
    NotificationCenter& notifications =
        m_desktop.notifications ? *m_desktop.notifications : NotificationCenter::defaultCenter();
    // The pane from the environment each time the window is made.
    auto* window = new SettingsWindow(m_desktop.defaults, m_desktop.scheduler, std::move(environment),
                                      *m_settingsServices, notifications,
                                      DeveloperHooks::settingsPane(m_desktop.environment));
    std::optional<QRect> saved;
    if (m_desktop.defaults)
        if (const auto text = m_desktop.defaults->stringForKey(SettingsWindowPlacement::frameKey))
            saved = SettingsWindowPlacement::decode(*text);
    std::vector<QRect> screens;
    for (const auto* screen : QGuiApplication::screens())
        screens.push_back(screen->geometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect area = primary ? primary->availableGeometry() : QRect(0, 0, 1280, 800);
    window->setGeometry(SettingsWindowPlacement::frame(saved, SettingsWindowPlacement::contentSize, area, screens));
    m_settingsWindow = window;
    bringForward(*window, m_desktop.activation);
}

SettingsRootView* ShellAppWindows::settingsRootView() const
{
    auto* window = dynamic_cast<SettingsWindow*>(m_settingsWindow.data());
    return window ? window->root() : nullptr;
}

void ShellAppWindows::showOnboarding()
{
    if (m_onboardingWindow) {
        bringForward(*m_onboardingWindow, m_desktop.activation);
        return;
    }
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setObjectName(QStringLiteral("VudeOnboarding"));
    window->setWindowTitle(QString());
    QPalette black = window->palette();
    black.setColor(QPalette::Window, Qt::black);
    window->setPalette(black);
    window->setAutoFillBackground(true);
    // A fresh model with every window; it goes with the window.
    auto* model = new OnboardingModel(m_app.settings(), m_desktop.permissions, window);
    if (const auto raw = DeveloperHooks::onboardingStep(m_desktop.environment))
        if (const auto step = OnboardingModel::stepFromRawValue(*raw))
            model->setStep(*step);
    PermissionSystem& permissions = m_desktop.permissions;
    auto* view = new OnboardingView(
        *model,
        ViewEnvironment{m_desktop.scheduler, m_desktop.steadyClock ? *m_desktop.steadyClock : m_desktop.clock,
                        m_desktop.reduceMotion},
        [this] { finishOnboarding(); },
        // The kept status: a stopped Bluetooth daemon must not hold the window.
        [&permissions] {
            return permissions.seams().bluetoothStatus ? permissions.seams().bluetoothStatus()
                                                       : BluetoothStackStatus{};
        },
        window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    window->resize(700, 620);
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        window->setGeometry(SettingsWindowPlacement::centred(window->size(), primary->availableGeometry()));
    m_onboardingWindow = window;
    m_desktop.activation.setActivationPolicy(ActivationPolicy::regular);
    bringForward(*window, m_desktop.activation);
}

void ShellAppWindows::finishOnboarding()
{
    if (m_desktop.defaults)
        m_desktop.defaults->set(AppDelegate::kCompletedOnboardingKey, DefaultsValue(true));
    if (QWidget* window = m_onboardingWindow.data()) {
        m_onboardingWindow.clear();
        window->close();
        window->deleteLater();
    }
    m_desktop.activation.setActivationPolicy(ActivationPolicy::accessory);
}
