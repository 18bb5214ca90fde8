#pragma once
// The text that marks which computer wrote a to-do or a note revision: the
// pretty host name (hostnamectl's PRETTY_HOSTNAME in /etc/machine-info), else
// the host name, else "Mac", followed by a short suffix derived from
// /etc/machine-id. Many Linux machines share a host name ("debian",
// "localhost"); the suffix keeps two of them from overwriting each other's
// note revision. It is stable for the life of the installation and does not
// reveal the machine id itself.

#include <filesystem>
#include <functional>
#include <string>

namespace DeviceIdentifier {

struct Sources {
    /// The file system root the /etc and /var files are read under.
    std::filesystem::path root = "/";
    /// The kernel's host name; empty when it has none.
    std::function<std::string()> hostName;
};

/// The identifier of this computer, e.g. "Ann's Laptop (3fa91c)".
std::string current(const Sources& sources = {});

/// The machine part of the identifier alone ("3fa91c"): stable while the
/// machine id is, whatever the host is called; empty without a machine id.
std::string machineTag(const Sources& sources = {});

/// The system's host name (gethostname), empty on failure.
std::string systemHostName();

} // namespace DeviceIdentifier
