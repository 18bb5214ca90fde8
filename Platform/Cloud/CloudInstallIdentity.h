#pragma once
// The id this installation writes its cloud file under: drawn once, kept in
// a small file beside the store, and bound to the machine, so a home folder
// copied onto a second computer does not make two writers of one cloud file
// (the copy draws an id of its own there).

#include "Platform/Core/DeviceIdentifier.h"
#include "VudeKit/Expected.h"

#include <filesystem>
#include <string>

namespace CloudInstallIdentity {

/// $XDG_DATA_HOME/Vude/CloudInstall.json
std::filesystem::path defaultFile();

/// The id kept in `file`, or a new one written there when there is none, it
/// cannot be read, or it was made on another machine. Fails only when a new
/// id cannot be kept: an id that changed at every launch would leave a new
/// file in the cloud folder each time.
Expected<std::string, std::string> loadOrCreate(const std::filesystem::path& file,
                                                const DeviceIdentifier::Sources& machine = {});

} // namespace CloudInstallIdentity
