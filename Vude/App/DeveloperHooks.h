#pragma once
// The developer's environment variables, read as the start-up acts on them:
// each function reads the environment afresh and says what its hook would
// do, leaving the doing to the application. A variable counts as set when
// the environment has the name, whatever its value (the empty text
// included); values are used unchanged, never trimmed.

#include "Platform/Core/Environment.h"
#include "Vude/Settings/SettingsPane.h"
#include "VudeKit/ActivityModels.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace DeveloperHooks {

inline constexpr const char* kCloudKitProbe = "VUDE_CLOUDKIT_PROBE";
inline constexpr const char* kDemo = "VUDE_DEMO";
inline constexpr const char* kSeedTray = "VUDE_SEED_TRAY";
inline constexpr const char* kSettings = "VUDE_SETTINGS";
inline constexpr const char* kRequestCalendar = "VUDE_REQUEST_CALENDAR";
inline constexpr const char* kOpen = "VUDE_OPEN";
inline constexpr const char* kClearSync = "VUDE_CLEAR_SYNC";
inline constexpr const char* kSeedTodo = "VUDE_SEED_TODO";
inline constexpr const char* kOnboarding = "VUDE_ONBOARDING";

/// The delays after the end of start-up.
inline constexpr Duration kDemoDelay = std::chrono::milliseconds(1000);
inline constexpr Duration kSettingsDelay = std::chrono::milliseconds(600);
inline constexpr Duration kRequestCalendarDelay = std::chrono::milliseconds(1500);
inline constexpr Duration kOpenDelay = std::chrono::milliseconds(1000);
/// How long the demo activity stays up.
inline constexpr Duration kDemoDuration = std::chrono::seconds(600);

bool isSet(const Environment::Lookup& environment, const char* name);

/// The kind VUDE_DEMO names by its case name; none when unset or no kind.
std::optional<ActivityKind> demoKind(const Environment::Lookup& environment);
/// The demo activity: the sample of `kind` made at `now`, as an interrupt
/// with a new id, no dedupe key, no interaction, up for kDemoDuration.
ActivityPayload demoPayload(ActivityKind kind, Date now);

/// VUDE_SEED_TRAY read as a folder: its direct contents, hidden entries
/// included, sorted by name so a seed is reproducible. Empty when unset,
/// not a folder, unreadable or empty. A relative folder is taken from
/// `workingDirectory`.
std::vector<std::filesystem::path> seedTrayFolderContents(const Environment::Lookup& environment,
                                                          const std::filesystem::path& workingDirectory);
/// VUDE_SEED_TRAY read as a colon-separated list of paths, empty pieces
/// dropped, relative ones made absolute against `workingDirectory` (the
/// tray remembers where a copy came from). None when unset.
std::optional<std::vector<std::filesystem::path>> seedTrayPaths(const Environment::Lookup& environment,
                                                                const std::filesystem::path& workingDirectory);

/// The pane a settings window opens on: the one VUDE_SETTINGS names, else
/// general (unset, empty or no pane's name).
SettingsPane settingsPane(const Environment::Lookup& environment);

/// VUDE_OPEN: none when unset; else whether the Desk opens on the tray tab
/// (exactly "tray").
std::optional<bool> openOnTray(const Environment::Lookup& environment);

/// VUDE_SEED_TODO's title; none when unset.
std::optional<std::string> seedTodo(const Environment::Lookup& environment);

/// The walkthrough step VUDE_ONBOARDING chooses: a step number (0 welcome to
/// 4 the Desk) written as an optional "+" or "-" and decimal digits, nothing
/// else. None when unset, malformed (" 3", "3 ", "1e1", "") or no step.
std::optional<int> onboardingStep(const Environment::Lookup& environment);
inline constexpr int kLastOnboardingStep = 4;

/// An optional sign then one or more decimal digits, nothing around them;
/// none for anything else or a number beyond 64 bits.
std::optional<std::int64_t> parseStrictInteger(std::string_view text);

} // namespace DeveloperHooks
