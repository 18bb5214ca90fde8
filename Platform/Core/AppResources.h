#pragma once
// Where the app's own files are: the resources it ships beside its executable
// (sounds) and its helper programs (the shortcuts runner, the now-playing
// adapter's folder). The build tree is laid out as the installation is, so
// one rule finds them from both:
//   <root>/bin/vude              installed (<build>/Vude/vude in the build tree)
//   <root>/share/vude/<name>     resources
//   <root>/libexec/vude/<name>   helper programs
//   <root>/lib/vude/modules/<name>  modules the app opens on first use
// where <root> is the folder above the executable's own, symlinks resolved
// (a /usr/local/bin/vude linked to /opt/vude/bin/vude looks in /opt/vude).
// Nothing here checks that a file exists: callers that need one look, and
// treat a missing one as that feature being unavailable.

#include <filesystem>
#include <optional>
#include <string_view>

namespace AppResources {

inline constexpr const char* kResourcesFolder = "share/vude";
inline constexpr const char* kHelpersFolder = "libexec/vude";
inline constexpr const char* kModulesFolder = "lib/vude/modules";

/// The program running now, symlinks resolved.
std::filesystem::path runningExecutable();

/// The folder the resources of `executable` live in.
std::filesystem::path resourcesDirectory(const std::filesystem::path& executable = runningExecutable());
/// The folder the helper programs of `executable` live in.
std::filesystem::path helpersDirectory(const std::filesystem::path& executable = runningExecutable());

/// The folder the modules of `executable` live in.
std::filesystem::path modulesDirectory(const std::filesystem::path& executable = runningExecutable());

/// A resource by its relative path ("sounds/pop.oga");
/// none for an empty or absolute name or one that climbs out with "..".
std::optional<std::filesystem::path> resource(std::string_view name,
                                              const std::filesystem::path& executable = runningExecutable());
/// A helper program (or a helper's folder, "mediaremote-adapter") by its
/// name; none for the names resource() refuses.
std::optional<std::filesystem::path> helperProgram(std::string_view name,
                                                   const std::filesystem::path& executable = runningExecutable());

/// A module by its file name ("vude-imaging.so"); none for the names
/// resource() refuses.
std::optional<std::filesystem::path> module(std::string_view name,
                                            const std::filesystem::path& executable = runningExecutable());

} // namespace AppResources
