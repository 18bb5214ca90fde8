#pragma once
// Brings Vude, which normally runs without a taskbar entry, to the front for
// a permission's request or an explanation, and lets it go again afterwards.
//
// Main thread only.

#include "Vude/Permissions/PermissionSystem.h"
#include "VudeKit/Date.h"

#include <functional>
#include <optional>
#include <string>

namespace PermissionPrompt {

/// How long after the app comes forward the work runs.
inline constexpr Duration activationDelay = std::chrono::milliseconds(150);
/// How long after the work the previous activation policy comes back.
inline constexpr Duration restoreDelay = std::chrono::seconds(30);

inline constexpr const char* notNowButton = "Not Now";
/// The one button of inform(), and the first of explain() when it opens
/// nothing.
inline constexpr const char* okButton = "OK";

/// Gives the app the regular activation policy and asks to bring it forward,
/// runs `work` 0.15 s later, and 30 s after that restores the policy it had,
/// if it is now another one.
void withActivation(std::function<void()> work, PermissionSystem& system = PermissionSystem::standard());

/// Brings the app forward and shows `title` and `message` with two buttons;
/// blocks until the user answers. The first opens what `settingsPane` (a
/// privacy anchor such as "Privacy_Accessibility") stands for, when one is
/// given, and says what that is ("Open Help", "Open Bluetooth Settings");
/// "OK" when nothing would open. The second is "Not Now". The activation
/// policy is restored at once. Returns whether the first button was chosen.
bool explain(const std::string& title, const std::string& message, const std::optional<std::string>& settingsPane,
             PermissionSystem& system = PermissionSystem::standard());

/// Brings the app forward and shows `title` and `message` with the one button
/// "OK"; blocks until the user answers. The activation policy is restored at
/// once.
void inform(const std::string& title, const std::string& message,
            PermissionSystem& system = PermissionSystem::standard());

} // namespace PermissionPrompt
