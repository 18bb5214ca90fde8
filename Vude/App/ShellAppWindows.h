#pragma once
// The app's menus and ordinary windows, plugged into the delegate's
// AppWindows seam: the status item (a tray icon where the desktop has a
// tray) with its menu built once, the notch's context menu built on each
// right click, the settings window (one instance, kept when closed), the
// onboarding window and its lifecycle, and the menus' actions, the
// diagnostics export among them. What the menus hold is decided by
// AppMenus; this class gathers its inputs and carries out its actions.
//
// Main thread only. Owned by the delegate, whose parts it reaches through
// its accessors; delayed work is cancelled when it goes.

#include "Platform/Core/Environment.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Settings/ReduceMotionSetting.h"
#include "Platform/Shell/ActivationPolicy.h"
#include "Platform/Shell/FileRevealer.h"
#include "Vude/App/AppMenus.h"
#include "Vude/App/AppWindows.h"
#include "Vude/App/DiagnosticsExport.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"

#include <QPointer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AppDelegate;
class PermissionSystem;
class QMenu;
class SettingsRootView;
class SettingsServices;
class QSystemTrayIcon;
class QWidget;
class UserDefaults;

class ShellAppWindows final : public AppWindows {
public:
    struct Desktop {
        Scheduler& scheduler;
        const ClockSource& clock;
        ActivationPolicyRecorder& activation;
        PermissionSystem& permissions;
        FileRevealer& revealer;
        std::shared_ptr<UserDefaults> defaults;
        Environment::Lookup environment;
        /// Whether the desktop shows tray icons now.
        std::function<bool()> hasTray;
        /// The save panel; none when cancelled. Default: a file dialog.
        std::function<std::optional<std::filesystem::path>()> chooseSaveFile = {};
        /// Tells the user why the export failed. Default: a message box.
        std::function<void(const std::string&)> showError = {};
        /// Standard output (the geometry report).
        std::function<void(const std::string&)> writeOutput;
        /// Ends the app.
        std::function<void()> quit;
        /// Report figures the delegate does not hold; none reads 0 or "pending".
        std::function<std::string()> pushState = {};
        std::function<std::int64_t()> trayCount = {};
        std::function<std::int64_t()> clipCount = {};
        /// The settings window's animations; `clock` when none.
        const ClockSource* steadyClock = nullptr;
        /// Full animations when none.
        const ReduceMotionSetting* reduceMotion = nullptr;
        /// Where the settings window hears which pane to show; the default
        /// centre when none.
        NotificationCenter* notifications = nullptr;
    };

    /// How often a desktop without a tray is asked whether one appeared.
    static constexpr Duration trayPollInterval = std::chrono::seconds(5);
    /// How long the settings window's frame waits after a move or resize
    /// before it is saved (each save writes the defaults file).
    static constexpr Duration frameSaveDelay = std::chrono::milliseconds(500);

    ShellAppWindows(AppDelegate& app, Desktop desktop);
    ~ShellAppWindows() override;

    void buildStatusItem() override;
    std::unique_ptr<QMenu> notchContextMenu() override;
    void openSettings() override;
    void showOnboarding() override;
    /// The walkthrough's end: remembered, window closed and forgotten, back
    /// to the accessory policy.
    void finishOnboarding();

    /// Carries out a menu entry's action.
    void perform(const MenuEntry& entry);

    void fireDebugActivity(std::string_view kindName);
    void fireBurst();
    void toggleSuppression();
    DiagnosticsExport::Outcome exportDiagnostics();
    DiagnosticsExport::Facts diagnosticsFacts() const;
    DiagnosticsReport buildDiagnostics() const;

    AppMenus::StatusInputs statusInputs() const;
    AppMenus::ContextInputs contextInputs() const;

    QMenu* statusMenu() const { return m_statusMenu.get(); }
    QSystemTrayIcon* statusItem() const { return m_statusItem.get(); }
    QWidget* settingsWindow() const { return m_settingsWindow.data(); }
    /// The settings window's content; none before the window is made.
    SettingsRootView* settingsRootView() const;
    QWidget* onboardingWindow() const { return m_onboardingWindow.data(); }

private:
    bool checkedAfter(const MenuEntry& entry) const;
    bool trayAvailable() const;
    void showStatusItem();
    /// The status item is on a tray now, so its menu is reachable there.
    bool statusItemShown() const;

    AppDelegate& m_app;
    Desktop m_desktop;
    std::unique_ptr<QMenu> m_statusMenu;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    QPointer<QWidget> m_settingsWindow;
    std::unique_ptr<SettingsServices> m_settingsServices;
    QPointer<QWidget> m_onboardingWindow;
    std::vector<ScheduledTask> m_burst;
    /// Looks for a tray while the desktop has none.
    ScheduledTask m_trayWatch;
};
