#pragma once
// Which build is running, the sandboxed one or the directly distributed one,
// and so which capabilities it offers. The sandboxed build lacks what its
// confinement forbids: HUD suppression, the Focus identity, shortcut listing,
// the live waveform and the idle surface.

#include "Platform/Core/Environment.h"
#include "VudeServices/Capability.h"

#include <filesystem>
#include <optional>

class BuildProfile {
public:
    static constexpr Capability directCapabilities{0x3ff};
    static constexpr Capability sandboxedCapabilities{0x117};

    /// What sandbox detection looks at; injectable so tests need not touch
    /// the real environment or file system.
    struct SandboxSignals {
        Environment::Lookup environment;
        /// The user's home folder.
        std::filesystem::path home;
        /// The root under which "/.flatpak-info" is looked for.
        std::filesystem::path fileSystemRoot = "/";

        /// The running process: its environment, its home and "/".
        static SandboxSignals process();
    };

    /// Sandboxed when APP_SANDBOX_CONTAINER_ID is set, when the home folder
    /// lies in a container ("/Library/Containers/"), or inside Flatpak
    /// (FLATPAK_ID set, or "/.flatpak-info" present).
    static bool detectSandboxed(const SandboxSignals& evidence);

    /// The profile of the given build; with none, of the detected one.
    explicit BuildProfile(std::optional<bool> isSandboxed = std::nullopt);

    /// The profile of this process, detected once on first use and kept.
    static const BuildProfile& current();

    bool isSandboxed() const { return m_isSandboxed; }
    Capability capabilities() const { return m_capabilities; }

    /// True when every capability of the argument is offered.
    bool has(Capability capability) const { return m_capabilities.contains(capability); }

    /// None when the capability is offered; otherwise why not: the sandbox in
    /// the sandboxed build, a missing permission in the direct build.
    std::optional<Capability::Unavailability> unavailability(Capability capability) const;

    bool operator==(const BuildProfile&) const = default;

private:
    bool m_isSandboxed;
    Capability m_capabilities;
};
