#pragma once
// Whether this process may read the desktop's keys (input monitoring) and take
// them from the desktop (what interception needs). The key tap asks before it
// starts; the permission panes ask to show the state. Every call asks the
// system again; nothing is cached.
//
// The app installs one probe at start-up (X11Keyboard on its X connection);
// without one, the answers are those of a session without a display.
// Main thread only.

#include "Platform/Input/KeyTapBackend.h"

#include <memory>
#include <span>

enum class InputMonitoringAccess {
    granted,
    denied,
    /// Nothing here can say, or the answer depends on something outside our
    /// reach (a Wayland session, no display at all).
    unknown,
};

class InputAccessProbe {
public:
    virtual ~InputAccessProbe() = default;

    /// Whether the keys of the whole desktop can be read.
    virtual InputMonitoringAccess inputMonitoring() = 0;
    /// Whether the keys carrying `symbols` can be taken from the desktop now,
    /// checked by trying where nothing else can tell.
    virtual bool canIntercept(std::span<const KeySymbol> symbols) = 0;
    /// Whether another program holds a key carrying one of `symbols`: it gets
    /// every press of that key, and acts on it, whatever we do. Checked by
    /// trying; false where nothing can tell.
    virtual bool isHeldByAnotherProgram(std::span<const KeySymbol> symbols) = 0;

    /// The installed probe, or one that answers `unknown` and false.
    static std::shared_ptr<InputAccessProbe> standard();
    static void installStandard(std::shared_ptr<InputAccessProbe> probe);
};
