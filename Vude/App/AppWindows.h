#pragma once
// The parts of the app the start-up builds but does not define: the status
// item and its menu, the notch's context menu, the settings and onboarding
// windows, and the update service. PlaceholderAppWindows stands in until
// they land; it shows plain placeholder windows.

#include "Platform/Core/Environment.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QMenu;

class AppWindows {
public:
    virtual ~AppWindows() = default;

    virtual void buildStatusItem() = 0;
    /// A new context menu for the notch, built at each right click; none
    /// shows no menu.
    virtual std::unique_ptr<QMenu> notchContextMenu() = 0;
    /// Opens or brings forward the settings window.
    virtual void openSettings() = 0;
    /// Opens or brings forward the onboarding walkthrough.
    virtual void showOnboarding() = 0;
};

class AppUpdates {
public:
    virtual ~AppUpdates() = default;
    /// Whether the app updates itself (else the package manager does).
    virtual bool isAvailable() const = 0;
};

/// The package manager updates the app.
class PackageManagedUpdates final : public AppUpdates {
public:
    bool isAvailable() const override { return false; }
};

/// No status item and no menus; a settings window naming its pane and an
/// onboarding window naming its step. Both are kept once built.
class PlaceholderAppWindows final : public AppWindows {
public:
    explicit PlaceholderAppWindows(Environment::Lookup environment);
    ~PlaceholderAppWindows() override;

    void buildStatusItem() override {}
    std::unique_ptr<QMenu> notchContextMenu() override;
    void openSettings() override;
    void showOnboarding() override;

    QWidget* settingsWindow() const { return m_settings.data(); }
    QWidget* onboardingWindow() const { return m_onboarding.data(); }

private:
    Environment::Lookup m_environment;
    QPointer<QWidget> m_settings;
    QPointer<QWidget> m_onboarding;
};
