#include "AppRig.h"
#include "Vude/Permissions/FakePermissions.h"
#include "Vude/App/AppSettingsServices.h"
#include "Vude/App/QtMenuBuilder.h"
#include "Vude/App/SettingsWindowPlacement.h"
#include "Vude/App/ShellAppWindows.h"
#include "Vude/Onboarding/OnboardingView.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/App/UpdateService.h"
#include "Vude/Settings/SettingsPaneInputs.h"
#include "Vude/Settings/SettingsRootView.h"
#include "Platform/Core/MachineModel.h"
#include "Platform/Core/SystemDescription.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTest>

#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

struct ShellAppWindowsQtTest : ::testing::Test {
    ShellAppWindowsQtTest()
    {
        rig.environment["VUDE_SETTINGS"] = "calendar";
        rig.launch();
    }
    ~ShellAppWindowsQtTest() override
    {
        // A window the shell let go of is deleted later: before the permissions
        // it reads, not in a later test.
        windows.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    ShellAppWindows::Desktop desktopWith(NotificationCenter& center)
    {
        auto withCenter = desktop();
        withCenter.notifications = &center;
        return withCenter;
    }

    ShellAppWindows::Desktop desktop()
    {
        return ShellAppWindows::Desktop{
            .scheduler = scheduler,
            .clock = rig.bridge.clock,
            .activation = permissions.activation,
            .permissions = permissions.system(),
            .revealer = revealer,
            .defaults = rig.bridge.defaults,
            .environment = Environment::fixed(rig.environment),
            .hasTray = [this] { return trayShown; },
            .chooseSaveFile = [this] { return chosen; },
            .showError = [this](const std::string& error) { errors.push_back(error); },
            .writeOutput = [this](const std::string& text) { output += text; },
            .quit = [this] { ++quits; },
        };
    }

    ShellAppWindows& make(bool hasTray = false)
    {
        trayShown = hasTray;
        windows.reset();
        windows = std::make_unique<ShellAppWindows>(*rig.delegate, desktop());
        return *windows;
    }

    QAction* action(QMenu& menu, const char* title) { return QtMenuBuilder::findAction(menu, QString::fromUtf8(title)); }
    bool contextMenuHas(const char* title) { return action(*windows->notchContextMenu(), title) != nullptr; }

    apptest::AppRig rig;
    /// The windows' own timers, apart from the app's.
    ManualClock schedulerClock{kReferenceDate};
    ManualScheduler scheduler{schedulerClock};
    FakePermissions permissions;
    RecordingFileRevealer revealer;
    /// Whether the desktop shows a tray now.
    bool trayShown = false;
    std::optional<std::filesystem::path> chosen;
    std::vector<std::string> errors;
    std::string output;
    int quits = 0;
    std::unique_ptr<ShellAppWindows> windows;
};

TEST_F(ShellAppWindowsQtTest, TheBurstFiresSevenActivitiesSixTenthsOfASecondApart)
{
    auto& shell = make();
    const Date start = schedulerClock.now();
    const std::size_t before = scheduler.pendingCount();
    shell.fireBurst();
    ASSERT_EQ(scheduler.pendingCount(), before + 7);
    // Step by 0.1 s and note when one of the seven ran.
    std::vector<Duration> fired;
    std::size_t left = 7;
    for (int step = 0; step <= 40; ++step) {
        scheduler.runDue();
        const std::size_t pending = scheduler.pendingCount();
        while (pending < before + left && left > 0) {
            fired.push_back(schedulerClock.now() - start);
            --left;
        }
        scheduler.advance(100ms);
    }
    EXPECT_EQ(fired, (std::vector<Duration>{0ms, 600ms, 1200ms, 1800ms, 2400ms, 3000ms, 3600ms}));
    // The first fired activity reached the coordinator.
    EXPECT_TRUE(rig.delegate->coordinator()->current().has_value());
}

TEST_F(ShellAppWindowsQtTest, ContextMenuWithoutATrayCarriesTheStatusCommands)
{
    auto& shell = make(false);
    auto menu = shell.notchContextMenu();
    ASSERT_TRUE(menu);
    QStringList titles;
    for (auto* entry : menu->actions())
        titles << (entry->isSeparator() ? QStringLiteral("---") : entry->text());
    EXPECT_EQ(titles, (QStringList{"Open Desk", "Keep Awake", "Settings\u2026", "---", "Debug", "Permissions", "---",
                                   "Export Diagnostics\u2026", "Welcome to Vude\u2026", "---", "Quit Vude"}));
    EXPECT_EQ(action(*menu, "Settings\u2026")->shortcut(), QKeySequence("Ctrl+,"));
    EXPECT_EQ(action(*menu, "Quit Vude")->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(action(*menu, "Check for Updates\u2026"), nullptr);
    action(*menu, "Quit Vude")->trigger();
    EXPECT_EQ(quits, 1);

    // With a tray the status menu stays apart.
    auto& withTray = make(true);
    withTray.buildStatusItem();
    auto trayMenu = withTray.notchContextMenu();
    EXPECT_EQ(trayMenu->actions().size(), 5);
}

TEST_F(ShellAppWindowsQtTest, StatusCommandsStayReachableAsATrayComesAndGoes)
{
    auto& shell = make(false);
    shell.buildStatusItem();
    EXPECT_EQ(shell.statusItem(), nullptr);
    EXPECT_TRUE(contextMenuHas(AppMenus::exportDiagnosticsTitle));

    // A panel with a tray starts after the app: the commands stay in the
    // context menu until the status item is on the tray.
    trayShown = true;
    EXPECT_TRUE(contextMenuHas(AppMenus::exportDiagnosticsTitle));
    scheduler.advance(ShellAppWindows::trayPollInterval);
    ASSERT_NE(shell.statusItem(), nullptr);
    EXPECT_EQ(shell.statusItem()->contextMenu(), shell.statusMenu());
    EXPECT_FALSE(contextMenuHas(AppMenus::exportDiagnosticsTitle));
    EXPECT_FALSE(contextMenuHas(AppMenus::welcomeTitle));
    EXPECT_FALSE(contextMenuHas("Debug"));

    // The tray goes away again: back in the context menu.
    trayShown = false;
    EXPECT_TRUE(contextMenuHas(AppMenus::exportDiagnosticsTitle));
    EXPECT_TRUE(contextMenuHas("Permissions"));
}

TEST_F(ShellAppWindowsQtTest, DeskItemOpensAClosedDeskAndClosesAnOpenOne)
{
    auto& shell = make();
    shell.buildStatusItem();
    const NotchViewModel& model = rig.shell->model(0);
    ASSERT_FALSE(model.state().isOpen());

    action(*shell.notchContextMenu(), "Open Desk")->trigger();
    EXPECT_TRUE(model.state().isOpen());
    const auto menu = shell.notchContextMenu();
    QAction* close = action(*menu, "Close Desk");
    ASSERT_TRUE(close);
    close->trigger();
    EXPECT_FALSE(model.state().isOpen());

    QAction* toggle = action(*shell.statusMenu(), "Toggle Desk");
    toggle->trigger();
    EXPECT_TRUE(model.state().isOpen());
    toggle->trigger();
    EXPECT_FALSE(model.state().isOpen());

    // No screen under the pointer: nothing to open.
    rig.shell->active.reset();
    toggle->trigger();
    EXPECT_FALSE(model.state().isOpen());
}

TEST_F(ShellAppWindowsQtTest, KeepAwakeMarkFollowsTheServiceNotTheClick)
{
    auto& shell = make();
    const auto& idle = rig.delegate->bridge()->idle();

    // The desktop refuses to inhibit sleep: no mark.
    rig.bridge.inhibitor->setRefusing(true);
    auto menu = shell.notchContextMenu();
    QAction* keep = action(*menu, "Keep Awake");
    ASSERT_TRUE(keep);
    ASSERT_TRUE(keep->isCheckable());
    keep->trigger();
    EXPECT_FALSE(idle.isKeepingAwake());
    EXPECT_FALSE(keep->isChecked());

    rig.bridge.inhibitor->setRefusing(false);
    keep->trigger();
    EXPECT_TRUE(idle.isKeepingAwake());
    EXPECT_TRUE(keep->isChecked());

    menu = shell.notchContextMenu();
    QAction* allow = action(*menu, "Allow Sleep");
    ASSERT_TRUE(allow);
    EXPECT_TRUE(allow->isChecked());
    allow->trigger();
    EXPECT_FALSE(idle.isKeepingAwake());
    EXPECT_FALSE(allow->isChecked());
}

TEST_F(ShellAppWindowsQtTest, KeepAwakeWithoutAnInhibitorSaysWhyInsteadOfShowingAPill)
{
    auto& shell = make();
    AppDelegate& app = *rig.delegate;
    rig.bridge.inhibitor->setRefusing(true);
    const auto before = app.coordinator()->current();

    action(*shell.notchContextMenu(), "Keep Awake")->trigger();
    ASSERT_EQ(permissions.alerts.alerts.size(), 1u);
    const Alert& alert = permissions.alerts.alerts[0];
    EXPECT_EQ(alert.messageText, AppMenus::keepAwakeUnavailableTitle);
    EXPECT_EQ(alert.informativeText, AppMenus::keepAwakeUnavailableMessage);
    EXPECT_EQ(alert.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(app.coordinator()->current(), before) << "no \"Sleep allowed\" pill";
    EXPECT_FALSE(app.bridge()->idle().isKeepingAwake());
    EXPECT_EQ(permissions.activation.activationPolicy(), ActivationPolicy::accessory) << "given back after the alert";

    // Once there is an inhibitor, the same item keeps awake and says so.
    rig.bridge.inhibitor->setRefusing(false);
    action(*shell.notchContextMenu(), "Keep Awake")->trigger();
    EXPECT_EQ(permissions.alerts.alerts.size(), 1u);
    ASSERT_TRUE(app.coordinator()->current());
    EXPECT_EQ(app.coordinator()->current()->title(), "Staying awake");
}

TEST_F(ShellAppWindowsQtTest, PrivacyItemsOpenTheirOwnPanes)
{
    auto& shell = make();
    shell.buildStatusItem();
    std::vector<QUrl> expected;
    for (const auto& [title, anchor] : AppMenus::privacyList) {
        if (title.empty())
            continue;
        const QUrl url("https://example.test/" + QString::fromUtf8(anchor.data(), qsizetype(anchor.size())));
        permissions.privacyTargets[std::string(anchor)] = url;
        expected.push_back(url);
    }
    for (const auto& [title, anchor] : AppMenus::privacyList)
        if (!title.empty())
            action(*shell.statusMenu(), std::string(title).c_str())->trigger();
    EXPECT_EQ(permissions.urls.opened, expected);
    // Nothing here keeps files from Vude, so there is nothing to grant.
    EXPECT_EQ(action(*shell.statusMenu(), "Full Disk Access\u2026"), nullptr);
}

TEST_F(ShellAppWindowsQtTest, PrintGeometryWritesTheReportAsOneLine)
{
    auto& shell = make();
    shell.buildStatusItem();
    action(*shell.statusMenu(), "Print geometry")->trigger();
    EXPECT_EQ(output, "Display 1 report\n");
}

TEST_F(ShellAppWindowsQtTest, ReplaceSystemHUDsFollowsTheSettingNotTheClick)
{
    auto& shell = make();
    shell.buildStatusItem();
    ASSERT_TRUE(shell.statusMenu());
    EXPECT_EQ(shell.statusItem(), nullptr);
    QAction* replace = action(*shell.statusMenu(), AppMenus::replaceHUDsTitle);
    ASSERT_TRUE(replace);
    ASSERT_TRUE(replace->isCheckable());
    EXPECT_FALSE(replace->isChecked());
    auto& settings = *rig.delegate->settings();
    auto* keyTap = rig.bridge.keyTap;
    const int starts = keyTap->startCount();

    // No Accessibility (another program holds the keys): explained, nothing changes.
    rig.bridge.access->interceptable = false;
    permissions.privacyTargets["Privacy_Accessibility"] = QUrl("file:///help.html#accessibility");
    replace->trigger();
    EXPECT_FALSE(settings.suppressSystemHUD());
    EXPECT_FALSE(replace->isChecked());
    ASSERT_EQ(permissions.alerts.alerts.size(), 1u);
    EXPECT_EQ(permissions.alerts.alerts[0].messageText, AppMenus::accessibilityTitle);
    EXPECT_EQ(permissions.alerts.alerts[0].informativeText, AppMenus::accessibilityMessage);
    EXPECT_EQ(permissions.alerts.alerts[0].buttons, (std::vector<std::string>{"Open Help", "Not Now"}))
        << "the button says what it opens";
    EXPECT_EQ(keyTap->startCount(), starts);

    rig.bridge.access->interceptable = true;
    replace->trigger();
    EXPECT_TRUE(settings.suppressSystemHUD());
    EXPECT_TRUE(replace->isChecked());
    EXPECT_EQ(keyTap->startCount(), starts + 1);
    EXPECT_EQ(keyTap->mode(), KeyTapMode::intercept);

    // Off again, Accessibility or not, with no explanation.
    rig.bridge.access->interceptable = false;
    replace->trigger();
    EXPECT_FALSE(settings.suppressSystemHUD());
    EXPECT_FALSE(replace->isChecked());
    EXPECT_EQ(keyTap->startCount(), starts + 2);
    EXPECT_EQ(permissions.alerts.alerts.size(), 1u);

    // A settings pane turning it on: the mark follows when the menu opens.
    settings.setSuppressSystemHUD(true);
    EXPECT_EQ(keyTap->startCount(), starts + 3);
    emit shell.statusMenu()->aboutToShow();
    EXPECT_TRUE(replace->isChecked());
}

TEST_F(ShellAppWindowsQtTest, SettingsWindowIsOneInstanceOnItsPaneAndClosingKeepsTheApp)
{
    auto& shell = make();
    shell.openSettings();
    QWidget* window = shell.settingsWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "Vude Settings");
    EXPECT_EQ(window->size(), QSize(820, 560));
    EXPECT_EQ(window->minimumSize(), QSize(720, 460));
    ASSERT_TRUE(shell.settingsRootView());
    EXPECT_EQ(shell.settingsRootView()->selection(), SettingsPane::calendar);
    EXPECT_EQ(shell.settingsRootView()->headerTitle(), "Calendar");
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->geometry().center(), area.center());
    EXPECT_GE(permissions.activation.activationRequests(), 1);

    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
    shell.openSettings();
    EXPECT_EQ(shell.settingsWindow(), window);
    EXPECT_TRUE(window->isVisible());
    QDir().mkpath("screenshots");
    window->grab().toImage().save("screenshots/settings-window.png");
}

TEST_F(ShellAppWindowsQtTest, TheFirstPaneComesFromTheEnvironmentEachTimeTheWindowIsMade)
{
    struct Row {
        std::optional<std::string> value;
        SettingsPane pane;
    };
    for (const Row& row : {Row{"calendar", SettingsPane::calendar}, Row{"Calendar", SettingsPane::general},
                           Row{"", SettingsPane::general}, Row{std::nullopt, SettingsPane::general}}) {
        SCOPED_TRACE(row.value.value_or("unset"));
        if (row.value)
            rig.environment["VUDE_SETTINGS"] = *row.value;
        else
            rig.environment.erase("VUDE_SETTINGS");
        auto& shell = make();
        shell.openSettings();
        ASSERT_TRUE(shell.settingsRootView());
        EXPECT_EQ(shell.settingsRootView()->selection(), row.pane);
    }
}

TEST_F(ShellAppWindowsQtTest, APaneRequestRightAfterTheOneThatOpensTheWindowIsHeard)
{
    NotificationCenter center;
    QObject delegate;
    // As the app delegate does: the window is made on openSettings.
    center.addObserver(NotchNotificationName::vudeOpenSettings, &delegate,
                       [this](const Notification&) { windows->openSettings(); });
    rig.environment.erase("VUDE_SETTINGS");
    windows = std::make_unique<ShellAppWindows>(*rig.delegate, desktopWith(center));
    EXPECT_EQ(windows->settingsWindow(), nullptr);
    center.post(NotchNotificationName::vudeOpenSettings);
    center.post(NotchNotificationName::vudeOpenQuickApps);
    ASSERT_TRUE(windows->settingsRootView());
    EXPECT_EQ(windows->settingsRootView()->selection(), SettingsPane::quickApps);
    EXPECT_EQ(windows->settingsRootView()->headerTitle(), "Quick Apps");
}

TEST_F(ShellAppWindowsQtTest, ThePanesCallbacksReachTheRunningApp)
{
    AppSettingsServices services(*rig.delegate, permissions.system());
    EXPECT_EQ(&services.settings(), rig.delegate->settings());
    EXPECT_EQ(services.geometryReport(), "Display 1 report");
    EXPECT_EQ(services.idle(), &rig.delegate->bridge()->idle());
    EXPECT_EQ(services.shortcutsService(), &rig.shell->shortcutsService());
    EXPECT_EQ(services.calendar(), nullptr) << "the rig's calendar is no calendar service";

    ASSERT_TRUE(services.hasRepository());
    int told = 0;
    QObject::connect(&services, &SettingsServices::inputsChanged, [&] { ++told; });
    const auto shortcuts = std::get<ShortcutsPaneInputs>(settingsPaneInputs(SettingsPane::shortcuts, services));
    const std::size_t before = shortcuts.chosen.size();
    shortcuts.onAdd("Make GIF", "sparkles");
    ASSERT_EQ(services.shortcuts().size(), before + 1);
    EXPECT_EQ(services.shortcuts().back().shortcutName, "Make GIF");
    EXPECT_GE(told, 1) << "the window hears the repository republish";
    shortcuts.onRemove(services.shortcuts().back().id);
    EXPECT_EQ(services.shortcuts().size(), before);

    const auto idle = std::get<IdleLockPaneInputs>(settingsPaneInputs(SettingsPane::idleLock, services));
    idle.onToggleKeepAwake();
    EXPECT_TRUE(rig.delegate->bridge()->idle().isKeepingAwake());
    idle.onToggleKeepAwake();
    EXPECT_FALSE(rig.delegate->bridge()->idle().isKeepingAwake());
}

TEST_F(ShellAppWindowsQtTest, AllowForTheMediaKeysAsksAgainAndAChangedAnswerRestartsTheTap)
{
    AppSettingsServices services(*rig.delegate, rig.permissions.system());
    auto* keyTap = rig.bridge.keyTap;
    rig.bridge.access->interceptable = false;
    rig.delegate->settings()->setSuppressSystemHUD(true);
    ASSERT_EQ(keyTap->mode(), KeyTapMode::listen);
    const int starts = keyTap->startCount();
    int told = 0;
    QObject::connect(&services, &SettingsServices::inputsChanged, [&] { ++told; });
    const auto sound = std::get<SoundPaneInputs>(settingsPaneInputs(SettingsPane::sound, services));
    EXPECT_FALSE(sound.canSuppress);

    sound.onRequestAccessibility();
    EXPECT_EQ(told, 0) << "still held elsewhere: nothing to rebuild";
    EXPECT_EQ(keyTap->startCount(), starts);

    rig.bridge.access->interceptable = true;
    sound.onRequestAccessibility();
    EXPECT_EQ(told, 1);
    EXPECT_EQ(keyTap->startCount(), starts + 1) << "the tap restarts once";
    EXPECT_EQ(keyTap->mode(), KeyTapMode::intercept);
    EXPECT_TRUE(std::get<SoundPaneInputs>(settingsPaneInputs(SettingsPane::sound, services)).canSuppress);
}

TEST_F(ShellAppWindowsQtTest, AChangedBluetoothAuthorizationRebuildsThePanesWhileTheyAreOpen)
{
    permissions.bluetoothAuthorization = BluetoothAuthorization::notDetermined;
    auto services = std::make_unique<AppSettingsServices>(*rig.delegate, permissions.system());
    int told = 0;
    QObject::connect(services.get(), &SettingsServices::inputsChanged, [&] { ++told; });
    EXPECT_EQ(services->bluetoothAuthorization(), static_cast<long>(BluetoothAuthorization::notDetermined));

    permissions.bluetoothAuthorization = BluetoothAuthorization::allowedAlways;
    permissions.system().bluetoothAuthorizationChanged();
    EXPECT_EQ(told, 1);
    EXPECT_EQ(services->bluetoothAuthorization(), static_cast<long>(BluetoothAuthorization::allowedAlways));

    services.reset();
    permissions.system().bluetoothAuthorizationChanged(); // no one left to tell
    EXPECT_EQ(told, 1);
}

TEST_F(ShellAppWindowsQtTest, SavedSettingsFrameOffEveryScreenComesBackCentred)
{
    rig.bridge.defaults->set(SettingsWindowPlacement::frameKey, std::string("-9000 -9000 820 560"));
    auto& shell = make();
    shell.openSettings();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(shell.settingsWindow()->geometry().center(), area.center());
}

TEST_F(ShellAppWindowsQtTest, SettingsFrameComesBackWhereItWasLeft)
{
    auto& shell = make();
    shell.openSettings();
    shell.settingsWindow()->setGeometry(40, 50, 760, 500);
    shell.settingsWindow()->close();
    // The next run of the app.
    auto& next = make();
    next.openSettings();
    EXPECT_EQ(next.settingsWindow()->geometry(), QRect(40, 50, 760, 500));
}

TEST_F(ShellAppWindowsQtTest, SettingsFrameIsSavedAsTheWindowMovesAndOutlivesAReset)
{
    auto& shell = make();
    shell.openSettings();
    const auto saved = [&] { return rig.bridge.defaults->stringForKey(SettingsWindowPlacement::frameKey); };
    shell.settingsWindow()->setGeometry(60, 70, 800, 520);
    scheduler.advance(ShellAppWindows::frameSaveDelay / 2);
    shell.settingsWindow()->setGeometry(64, 72, 800, 520);
    scheduler.advance(ShellAppWindows::frameSaveDelay / 2);
    EXPECT_NE(saved(), std::optional<std::string>("64 72 800 520")) << "not at every step of a drag";
    scheduler.advance(ShellAppWindows::frameSaveDelay);
    EXPECT_EQ(saved(), std::optional<std::string>("64 72 800 520")) << "saved while the window stays open";

    rig.delegate->settings()->resetAll();
    EXPECT_EQ(saved(), std::optional<std::string>("64 72 800 520")) << "resetting the settings keeps the frame";

    // The app quits with the window open: the next run finds it there.
    shell.settingsWindow()->setGeometry(30, 40, 780, 500);
    windows.reset();
    auto& next = make();
    next.openSettings();
    EXPECT_EQ(next.settingsWindow()->geometry(), QRect(30, 40, 780, 500));
}

TEST_F(ShellAppWindowsQtTest, OnboardingClosedStaysHeldFinishedIsForgotten)
{
    auto& shell = make();
    permissions.activation.setActivationPolicy(ActivationPolicy::accessory);
    shell.showOnboarding();
    QPointer<QWidget> window = shell.onboardingWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->size(), QSize(700, 620));
    EXPECT_EQ(permissions.activation.activationPolicy(), ActivationPolicy::regular);

    // Closed with the close button: kept, flag unset, still regular.
    window->close();
    EXPECT_EQ(shell.onboardingWindow(), window.data());
    EXPECT_EQ(permissions.activation.activationPolicy(), ActivationPolicy::regular);
    EXPECT_FALSE(rig.bridge.defaults->boolForKey(AppDelegate::kCompletedOnboardingKey).value_or(false));
    shell.showOnboarding();
    EXPECT_EQ(shell.onboardingWindow(), window.data());

    // The walkthrough to its last step; its primary button finishes.
    auto* view = window->findChild<OnboardingView*>();
    ASSERT_NE(view, nullptr);
    for (int i = 0; i < 4; ++i)
        view->primaryButton()->click();
    EXPECT_EQ(view->primaryButton()->text(), QStringLiteral("Start using Vude"));
    EXPECT_FALSE(rig.bridge.defaults->boolForKey(AppDelegate::kCompletedOnboardingKey).value_or(false));
    view->primaryButton()->click();
    EXPECT_EQ(shell.onboardingWindow(), nullptr);
    EXPECT_EQ(permissions.activation.activationPolicy(), ActivationPolicy::accessory);
    EXPECT_TRUE(rig.bridge.defaults->boolForKey(AppDelegate::kCompletedOnboardingKey).value_or(false));
    shell.showOnboarding();
    EXPECT_NE(shell.onboardingWindow(), nullptr);
}

TEST_F(ShellAppWindowsQtTest, ReportNamesTheBuildsVersionAndCommit)
{
    auto& shell = make();
    const auto facts = shell.diagnosticsFacts();
    EXPECT_EQ(facts.version, VUDE_PROJECT_VERSION);
    // A short hash, or a dash where the sources were no git checkout.
    const QRegularExpression hash("^[0-9a-f]{4,40}$");
    EXPECT_TRUE(facts.build == "\u2014" || hash.match(QString::fromStdString(facts.build)).hasMatch()) << facts.build;
    const auto text = shell.buildDiagnostics().formatted();
    EXPECT_NE(text.find(facts.version + " (" + facts.build + ")"), std::string::npos) << text;
}

TEST_F(ShellAppWindowsQtTest, ExportWritesTheReportOfTheRunningApp)
{
    QTemporaryDir dir;
    chosen = std::filesystem::path(dir.path().toStdString()) / DiagnosticsExport::defaultFileName;
    auto& shell = make();
    EXPECT_EQ(shell.exportDiagnostics(), DiagnosticsExport::Outcome::saved);
    std::ifstream in(*chosen);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("Display "), std::string::npos);
    EXPECT_EQ(revealer.revealed, std::vector{*chosen});
    // Kept for a person to read: what this machine's report says.
    QDir().mkpath("screenshots");
    std::ofstream("screenshots/diagnostics-export.txt") << text;

    // The report's rows as "section/key" → value.
    std::map<std::string, std::string> rows;
    std::string section;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != ' ' && line.find("\u2500") == std::string::npos)
            section = line;
        const auto gap = line.find("  ", 2);
        if (line.starts_with("  ") && gap != std::string::npos) {
            const auto value = line.find_first_not_of(' ', gap);
            rows[section + "/" + line.substr(2, gap - 2)] = value == std::string::npos ? "" : line.substr(value);
        }
    }
    // The distribution by its own name and the running kernel.
    EXPECT_EQ(rows["Vude/System"],
              SystemDescription::operatingSystemName() + ", " + SystemDescription::kernelRelease());
    EXPECT_EQ(rows.count("Vude/macOS"), 0u);
    // The firmware's model, or "Unknown"; never the other platform's.
    const auto model = machineModel();
    EXPECT_EQ(rows["Vude/Model"], model.empty() ? "Unknown" : model);
    // The tests run from the build tree, and both rows say so.
    EXPECT_EQ(rows["Vude/Build"], "Built from source, run from its build tree");
    EXPECT_EQ(rows["Services/Updates"], "None: rebuild from source");
    // One look at Bluetooth for both rows.
    const std::map<std::string, std::string> serviceFor{
        {"granted", "started|notStarted"}, {"notDetermined", "needsPermission"}, {"denied", "denied"}};
    const auto permission = rows["Permissions/Bluetooth"];
    ASSERT_TRUE(serviceFor.contains(permission)) << permission;
    EXPECT_NE(serviceFor.at(permission).find(rows["Services/Bluetooth"]), std::string::npos)
        << permission << " vs " << rows["Services/Bluetooth"];
    EXPECT_EQ(rows.count("Permissions/Accessibility"), 0u);
    EXPECT_EQ(rows.count("Permissions/Media Key Control"), 1u);
}

} // namespace
