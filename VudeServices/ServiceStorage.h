#pragma once
// Where a service keeps its file: in its container folder under the app's
// data home.

#include <filesystem>
#include <string>

namespace ServiceStorage {

/// `fileName` in the folder `containerName` under `applicationSupport` (the
/// data home when empty); the folder is created when missing.
std::filesystem::path containerFile(const std::filesystem::path& applicationSupport, const std::string& containerName,
                                    const std::string& fileName);

} // namespace ServiceStorage
