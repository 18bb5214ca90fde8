#pragma once
// The machine's model name as the firmware reports it (DMI's product name,
// "20XWCTO1WW", "XPS 13 9310"), for the notch geometry and the diagnostics.

#include <filesystem>
#include <string>

/// The product name under `sysRoot` ("/sys" on a running system): the text
/// up to its first zero byte, without surrounding white space, invalid UTF-8
/// replaced by U+FFFD. "" when the file is missing, empty or unreadable.
std::string machineModel(const std::filesystem::path& sysRoot = "/sys");
