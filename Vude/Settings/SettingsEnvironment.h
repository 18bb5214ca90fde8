#pragma once
// What the settings window's views use besides their inputs: the controls'
// environment (animation frames, reduced motion), the wall clock for times
// shown ("Synced 2 min ago"), and the permission system the panes' "Allow"
// buttons and prompts go through. Everything it names outlives the views.

#include "Vude/Permissions/PermissionSystem.h"
#include "Vude/Toolkit/ViewEnvironment.h"
#include "VudeKit/ClockSource.h"

struct SettingsEnvironment {
    ViewEnvironment view;
    /// Dates shown or stored.
    const ClockSource& wallClock;
    PermissionSystem& permissions;
};
