#pragma once
// Where the app keeps its files, following the XDG base directories:
//   application support  $XDG_DATA_HOME/Vude    (~/.local/share/Vude)
//   configuration        $XDG_CONFIG_HOME/Vude  (~/.config/Vude)
//   private runtime      $XDG_RUNTIME_DIR, else $TMPDIR/vude-<uid> (mode 0700)
// Relative or empty XDG variables are ignored, as the XDG rules require.

#include "Platform/Core/Environment.h"
#include "VudeKit/Expected.h"

#include <filesystem>
#include <string>

namespace XdgPaths {

inline constexpr const char* kAppFolder = "Vude";

// Each reads the variables from `environment`, the process's by default.

std::filesystem::path home(const Environment::Lookup& environment = Environment::process());
std::filesystem::path dataHome(const Environment::Lookup& environment = Environment::process());
std::filesystem::path configHome(const Environment::Lookup& environment = Environment::process());
std::filesystem::path cacheHome(const Environment::Lookup& environment = Environment::process());

/// "Application Support": dataHome(); the app's own folder is
/// applicationSupport() / "Vude".
std::filesystem::path applicationSupportRoot(const Environment::Lookup& environment = Environment::process());
/// dataHome()/Vude, not created.
std::filesystem::path applicationSupport(const Environment::Lookup& environment = Environment::process());
/// configHome()/Vude, not created.
std::filesystem::path configDirectory(const Environment::Lookup& environment = Environment::process());

/// A folder only this user can enter: $XDG_RUNTIME_DIR when it is an absolute
/// directory owned by us, else $TMPDIR/vude-<uid> (TMPDIR defaulting to /tmp),
/// created with mode 0700. A path that exists as a symlink, belongs to someone
/// else or is open to others is refused rather than used.
Expected<std::filesystem::path, std::string> privateRuntimeDirectory(
    const Environment::Lookup& environment = Environment::process());

/// The same choice between explicit candidates (an empty runtime path means
/// none), for callers and tests that do not read the environment.
Expected<std::filesystem::path, std::string> privateRuntimeDirectory(const std::filesystem::path& runtimeDirectory,
                                                                     const std::filesystem::path& temporaryDirectory);

} // namespace XdgPaths
