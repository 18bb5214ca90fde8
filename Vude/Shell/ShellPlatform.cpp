#include "Vude/Shell/ShellPlatform.h"

#include "Platform/Desktop/KdeConnectSharingService.h"
#include "Platform/Input/XcbConnection.h"

#include <QGuiApplication>
#include <QWindow>

namespace {

// Whether an X window is one of this process's own top-level windows.
bool isOwnWindow(xcb_window_t window)
{
    for (const QWindow* own : QGuiApplication::topLevelWindows()) {
        if (own->handle() && own->winId() == window)
            return true;
    }
    return false;
}

} // namespace

SystemShellPlatform::SystemShellPlatform(XcbConnection* connection)
    : m_screens(std::make_unique<QtScreenProvider>()),
      m_wake(std::make_unique<LogindWakeMonitor>()),
      m_sharing(std::make_unique<KdeConnectSharingService>())
{
    if (connection) {
        m_pointer = std::make_unique<X11PointerState>(*connection, m_screens.get());
        m_mouseMonitor = std::make_unique<X11MouseMonitor>(*connection, m_screens.get(), isOwnWindow);
        m_dragSelection = std::make_unique<X11DragSelectionWatcher>(*connection);
        m_compositing = std::make_unique<X11CompositingMonitor>(*connection);
        m_inputShaper = std::make_unique<X11InputShaper>(*connection);
        m_stacker = std::make_unique<X11WindowStacker>(*connection);
        m_keyboardFocus = std::make_unique<X11KeyboardFocus>(*connection);
        return;
    }
    // No X server: a Wayland session always composites and stacks and
    // shapes by itself; what cannot be watched reports itself unavailable.
    m_pointer = std::make_unique<FakePointerState>();
    auto mouseMonitor = std::make_unique<FakeMouseMonitor>();
    mouseMonitor->available = false;
    m_mouseMonitor = std::move(mouseMonitor);
    auto dragSelection = std::make_unique<FakeDragSelectionWatcher>();
    dragSelection->available = false;
    m_dragSelection = std::move(dragSelection);
    m_compositing = std::make_unique<FakeCompositingMonitor>(true);
    m_inputShaper = std::make_unique<FakeInputShaper>();
    m_stacker = std::make_unique<FakeWindowStacker>();
    m_keyboardFocus = std::make_unique<FakeKeyboardFocus>();
}

SystemShellPlatform::~SystemShellPlatform() = default;

void SystemShellPlatform::watchBuses()
{
    m_wake->watch(QDBusConnection::systemBus());
    m_sharing->watch(QDBusConnection::sessionBus());
}

ShellPlatform SystemShellPlatform::platform()
{
    return {*m_screens, *m_pointer, *m_mouseMonitor, *m_dragSelection, *m_wake, *m_compositing,
            *m_inputShaper, *m_stacker, *m_keyboardFocus, m_activation, m_haptics, m_urls, *m_sharing};
}
