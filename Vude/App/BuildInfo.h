#pragma once
// What this build of the app is, fixed when the build was configured: the
// release the project declares and the commit it was built from. The
// diagnostics report names both, and the application carries the version.

#include <string_view>

namespace BuildInfo {

/// The release, "major.minor.patch".
std::string_view version();
/// The short hash of the commit built; "—" when the sources were not a git
/// checkout.
std::string_view build();

} // namespace BuildInfo
