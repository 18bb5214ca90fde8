#pragma once
// What the diagnostics report says about the computer: the operating system
// by its own name (os-release's PRETTY_NAME) with the running kernel's
// release, and how Vude itself was installed. Roots are injectable so tests
// read a fake /etc and dpkg database instead of the machine's.

#include <filesystem>
#include <string>

namespace SystemDescription {

/// The kernel release (`uname -r`, "6.1.0-18-amd64"); empty when unknown.
std::string kernelRelease();

/// The operating system's name from `root`/etc/os-release, else
/// `root`/usr/lib/os-release: PRETTY_NAME, else NAME and VERSION, else
/// "Linux". Control characters become spaces.
std::string operatingSystemName(const std::filesystem::path& root = "/");

/// "Debian GNU/Linux 12 (bookworm), 6.1.0-18-amd64": the name and, when
/// known, the kernel release.
std::string systemRow(const std::filesystem::path& root = "/", const std::string& kernel = kernelRelease());

/// How the running program came to be where it is.
enum class Installation {
    /// Installed by the Debian package: dpkg lists the executable as its file.
    debianPackage,
    /// Built from source and installed (`make install`) under some prefix.
    installedFromSource,
    /// Run from the build tree it was built in.
    buildTree,
};

/// The name of the app's Debian package.
inline constexpr const char* kPackageName = "vude";

/// How `executable` (an absolute path, symlinks resolved) was installed,
/// with dpkg's database read under `root`: listed by the package, else in a
/// build tree (a CMakeCache.txt in a folder above it, up to `root`), else
/// installed from source.
Installation installation(const std::filesystem::path& executable, const std::filesystem::path& root = "/");

} // namespace SystemDescription
