#pragma once
// What the notch shell needs of the desktop, in one place: the windows,
// view models and controller take a ShellPlatform and never reach for a
// backend themselves.
//   SystemShellPlatform  the real backends (X11 when there is an X server,
//                        quiet stand-ins otherwise)
//   FakeShellPlatform    every double, for tests

#include "Platform/Display/ScreenProvider.h"
#include "Platform/Input/MouseMonitor.h"
#include "Platform/Input/PointerState.h"
#include "Platform/Shell/ActivationPolicy.h"
#include "Platform/Shell/CompositingMonitor.h"
#include "Platform/Shell/DragSelectionWatcher.h"
#include "Platform/Shell/HapticPerformer.h"
#include "Platform/Shell/InputShaper.h"
#include "Platform/Shell/KeyboardFocus.h"
#include "Platform/Shell/SharingService.h"
#include "Platform/Shell/SystemWakeMonitor.h"
#include "Platform/Shell/UrlOpener.h"
#include "Platform/Shell/WindowStacker.h"

#include <memory>

class KdeConnectSharingService;
class XcbConnection;

struct ShellPlatform {
    ScreenProvider& screens;
    PointerState& pointer;
    MouseMonitor& mouseMonitor;
    DragSelectionWatcher& dragSelection;
    SystemWakeMonitor& wake;
    CompositingMonitor& compositing;
    InputShaper& inputShaper;
    WindowStacker& stacker;
    KeyboardFocus& keyboardFocus;
    ActivationPolicyRecorder& activation;
    HapticPerformer& haptics;
    UrlOpener& urls;
    SharingService& sharing;
};

class SystemShellPlatform {
public:
    /// Uses `connection` for the X11 backends when given (it must outlive
    /// this object); without one pointer queries read nothing, monitors are
    /// unavailable and every window counts as composited.
    explicit SystemShellPlatform(XcbConnection* connection);
    ~SystemShellPlatform();

    ShellPlatform platform();

    /// Starts what follows the session and system buses (the wake from sleep,
    /// the nearby device). Until then they are unavailable; the app calls it
    /// after its first frame, since connecting to a bus takes round trips.
    void watchBuses();

private:
    std::unique_ptr<ScreenProvider> m_screens;
    std::unique_ptr<PointerState> m_pointer;
    std::unique_ptr<MouseMonitor> m_mouseMonitor;
    std::unique_ptr<DragSelectionWatcher> m_dragSelection;
    std::unique_ptr<LogindWakeMonitor> m_wake;
    std::unique_ptr<CompositingMonitor> m_compositing;
    std::unique_ptr<InputShaper> m_inputShaper;
    std::unique_ptr<WindowStacker> m_stacker;
    std::unique_ptr<KeyboardFocus> m_keyboardFocus;
    ActivationPolicyRecorder m_activation;
    CountingHapticPerformer m_haptics;
    DesktopUrlOpener m_urls;
    std::unique_ptr<KdeConnectSharingService> m_sharing;
};

struct FakeShellPlatform {
    FakeScreenProvider screens;
    FakePointerState pointer;
    FakeMouseMonitor mouseMonitor;
    FakeDragSelectionWatcher dragSelection;
    FakeWakeMonitor wake;
    FakeCompositingMonitor compositing{true};
    FakeInputShaper inputShaper;
    FakeWindowStacker stacker;
    FakeKeyboardFocus keyboardFocus;
    ActivationPolicyRecorder activation;
    CountingHapticPerformer haptics;
    RecordingUrlOpener urls;
    FakeSharingService sharing;

    ShellPlatform platform()
    {
        return {screens, pointer, mouseMonitor, dragSelection, wake, compositing,
                inputShaper, stacker, keyboardFocus, activation, haptics, urls, sharing};
    }
};
