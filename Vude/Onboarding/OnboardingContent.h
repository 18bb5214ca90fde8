#pragma once
// What the walkthrough shows, as plain values: each step's hero and copy,
// each permission's row, and the help box's steps for a request that did not
// take. Texts are the product's own, except where they would name the other
// desktop (LinuxTexts).

#include "Platform/Bluetooth/BluetoothBackend.h"
#include "Vude/Onboarding/OnboardingModel.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Shell/Views/NotchDemo.h"

#include <optional>
#include <string_view>
#include <vector>

namespace OnboardingContent {

inline constexpr double heroNotchWidth = 92;
inline constexpr double heroNotchHeight = 17;

struct Copy {
    std::string_view eyebrow;
    std::string_view title;
    std::string_view body;
};

/// The step's demonstration; none on the permissions step.
std::optional<NotchDemo::Script> hero(OnboardingModel::Step step);
Copy copy(OnboardingModel::Step step);
/// The note under the copy; empty on every step but media.
std::string_view note(OnboardingModel::Step step);
/// "Continue", or "Start using Vude" on the last step.
std::string_view primaryTitle(OnboardingModel::Step step);
bool showsBack(OnboardingModel::Step step);

/// The permissions the permissions step offers, in order.
std::vector<Permission> offeredPermissions();

/// What a permission row's trailing part is.
enum class RowControl { on, openSettings, allow };

struct Row {
    std::string_view title;
    std::string_view symbol;
    std::string_view detail;
    RowControl control;
    /// The button's title for `openSettings`; empty otherwise.
    std::string_view openTitle;
};
Row row(Permission permission, Permission::State state);

/// Why a Bluetooth request did not take, from a look at the stack.
enum class BluetoothObstacle { noService, blocked, noAdapter };
BluetoothObstacle bluetoothObstacle(const BluetoothStackStatus& status);

struct StuckHelp {
    /// Numbered from 1.
    std::vector<std::string_view> steps;
    /// The button's title; it opens what `Permission::openSettings` opens.
    std::string_view openTitle;
};
/// `stack` is read only for Bluetooth. Input monitoring is stuck only
/// outside an X11 session.
StuckHelp stuckHelp(Permission permission, const BluetoothStackStatus& stack);

inline constexpr std::string_view stuckTitle = "That didn't take";

} // namespace OnboardingContent
