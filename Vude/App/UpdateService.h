#pragma once
// Whether the app updates itself. Linux has no self-update framework for
// us: the package manager updates the app, so the service is never
// available, exactly as for a confined build. The menus then offer no
// "Check for Updates…"; the report's Updates row says where updates come
// from by how the app was installed (DiagnosticsReport::updatesText).
//
// Main thread only; the answer never changes while the app runs.

#include "Vude/App/AppWindows.h"
#include "VudeServices/BuildProfile.h"

class UpdateService final : public AppUpdates {
public:
    explicit UpdateService(const BuildProfile& profile);

    bool isAvailable() const override { return m_isAvailable; }
    /// Whether an updater exists and may check now (never here).
    bool canCheckForUpdates() const { return m_isAvailable && m_hasController; }
    /// Asks the updater to check; nothing without one.
    void checkForUpdates();

private:
    bool m_isAvailable = false;
    bool m_hasController = false;
};
