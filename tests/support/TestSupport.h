#pragma once
// Helpers shared by the test programs of every module.

#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

/// Runs the Qt event loop until `condition` holds or `timeout` passes;
/// returns whether it held. For waiting on work posted by another thread.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

/// Processes the events already queued for the current thread.
void processEvents();

/// The source tree's root (for fixtures kept in the repository).
QString sourceDir();

/// The names of everything in `folder`, hidden files included, sorted.
std::vector<std::string> folderEntries(const std::filesystem::path& folder);

} // namespace testsupport
