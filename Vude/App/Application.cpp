#include "Vude/App/Application.h"

#include "Platform/Core/BootTimeClock.h"
#include "Platform/Core/DeviceIdentifier.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/QtScheduler.h"
#include "Platform/Desktop/QtPasteboard.h"
#include "Platform/Desktop/X11FrontmostApplication.h"
#include "Platform/Input/XcbConnection.h"
#include "Platform/Settings/PortalReduceMotionSetting.h"
#include "Vude/App/AppDelegate.h"
#include "Vude/App/ControllerNotchShell.h"
#include "Vude/App/CoordinatorAppSync.h"
#include "Vude/App/FirstFrameWatch.h"
#include "Vude/Desk/RavoViewFactory.h"
#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchWindowController.h"
#include "Vude/Permissions/PermissionSystem.h"
#include "Vude/App/ShellAppWindows.h"
#include "Vude/Shell/ShellPlatform.h"
#include "Vude/App/UpdateService.h"
#include "VudeServices/ClipboardService.h"
#include "VudeServices/TrayStore.h"
#include "VudeSync/SyncCoordinator.h"
#include "VudeServices/FocusFilterBridge.h"
#include "VudeUI/qt/QtTextMeasurer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QSystemTrayIcon>

#include <cstdio>
#include <filesystem>
#include <system_error>

struct Application::Parts {
    Environment::Lookup environment = Environment::process();
    std::unique_ptr<XcbConnection> x11 = XcbConnection::open();
    // Names the source of each clip; none without an X server.
    std::unique_ptr<X11FrontmostApplication> frontmost =
        x11 ? std::make_unique<X11FrontmostApplication>(*x11) : nullptr;
    SystemShellPlatform shell{x11.get()};
    ShellPlatform platform = shell.platform();
    QtScheduler scheduler;
    // Made before any window, so it sees the first one exposed.
    FirstFrameWatch firstFrame{scheduler};
    SystemClock wallClock;
    SteadyClock steadyClock;
    BootTimeClock activityClock;
    QtTextMeasurer measurer;
    std::unique_ptr<QtPasteboard> pasteboard = QtPasteboard::forApplication();
    PortalReduceMotionSetting reduceMotion;
    DeskEnvironment desk{{scheduler, steadyClock, &reduceMotion}, wallClock, NotificationCenter::defaultCenter(),
                         &platform.haptics};
    std::shared_ptr<SystemPermissions> permissions;
    std::unique_ptr<FileManagerRevealer> revealer;
    std::unique_ptr<AppDelegate> delegate;
};

namespace {

std::filesystem::path workingDirectory()
{
    std::error_code error;
    auto path = std::filesystem::current_path(error);
    return error ? std::filesystem::path("/") : path;
}

void writeStandardOutput(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace

Application::Application(QObject* parent)
    : QObject(parent)
    , m_parts(std::make_unique<Parts>())
{
    Parts& parts = *m_parts;
    parts.desk.pasteboard = parts.pasteboard.get();
    // Nothing the first panel shows needs the buses, and connecting to them
    // takes round trips to their daemons.
    parts.firstFrame.after([&parts] {
        parts.shell.watchBuses();
        parts.reduceMotion.watch(QDBusConnection::sessionBus());
    });
    // The one permission system, over the shell's activation policy and
    // link opener, so prompts and windows agree.
    parts.permissions = std::make_shared<SystemPermissions>(parts.platform.activation, parts.platform.urls,
                                                            parts.scheduler);
    PermissionSystem::installStandard(
        std::shared_ptr<PermissionSystem>(parts.permissions, &parts.permissions->system()));

    const DiagnosticsTrace& trace = ActivityBridge::processTrace();
    // The per-change geometry lines go to standard error while tracing.
    const bool traceGeometry = parts.environment("VUDE_TRACE").has_value();
    parts.delegate = std::make_unique<AppDelegate>(AppDelegate::Dependencies{
        .scheduler = parts.scheduler,
        .wallClock = parts.wallClock,
        .activityClock = parts.activityClock,
        .trace = trace,
        .defaults = UserDefaults::standard(),
        .activation = parts.platform.activation,
        .focusFilter = FocusFilterBridge::shared(),
        .notifications = NotificationCenter::defaultCenter(),
        .environment = parts.environment,
        .workingDirectory = workingDirectory(),
        .deviceID = DeviceIdentifier::current(),
        .reduceMotion = &parts.reduceMotion,
        .permissions = &parts.permissions->system(),
        .makeShell =
            [&parts, &trace, traceGeometry](SettingsStore& settings) -> std::unique_ptr<NotchShell> {
                NotchWindowControllerEnvironment environment{
                    .settings = settings,
                    .platform = parts.platform,
                    .scheduler = parts.scheduler,
                    .clock = parts.wallClock,
                    .steadyClock = parts.steadyClock,
                    .measurer = parts.measurer,
                    .pasteboard = *parts.pasteboard,
                    .frontmostApplication = parts.frontmost.get(),
                };
                environment.trace = [&trace](const std::string& line) { trace.trace(line); };
                if (traceGeometry)
                    // Each line comes with its own line break.
                    environment.geometryTrace = [](const std::string& line) { std::fputs(line.c_str(), stderr); };
                environment.reduceMotion = &parts.reduceMotion;
                auto controller = std::make_unique<NotchWindowController>(environment);
                controller->setDeskViewFactory(ravoViewFactory(parts.desk));
                return std::make_unique<ControllerNotchShell>(std::move(controller));
            },
        .makeBridgeServices =
            [&parts, &trace] {
                return ActivityBridge::systemServices(parts.scheduler, parts.wallClock, parts.x11.get(), trace);
            },
        .makeSync =
            [&parts, &trace]() -> std::unique_ptr<AppSync> {
                return std::make_unique<CoordinatorAppSync>(parts.scheduler, parts.wallClock,
                                                            [&trace](const std::string& line) { trace.trace(line); });
            },
        .makeUpdates = [](const BuildProfile& profile) { return std::make_unique<UpdateService>(profile); },
        .makeWindows =
            [&parts](AppDelegate& delegate) -> std::unique_ptr<AppWindows> {
                parts.revealer =
                    std::make_unique<FileManagerRevealer>(QDBusConnection::sessionBus(), parts.platform.urls);
                // The tray's "Show in Files" reads it when chosen.
                parts.desk.revealer = parts.revealer.get();
                auto* controller = dynamic_cast<ControllerNotchShell*>(delegate.notchController());
                auto* sync = dynamic_cast<CoordinatorAppSync*>(delegate.sync());
                return std::make_unique<ShellAppWindows>(delegate, ShellAppWindows::Desktop{
                    .scheduler = parts.scheduler,
                    .clock = parts.wallClock,
                    .activation = parts.platform.activation,
                    .permissions = parts.permissions->system(),
                    .revealer = *parts.revealer,
                    .defaults = UserDefaults::standard(),
                    .environment = parts.environment,
                    .hasTray = [] { return QSystemTrayIcon::isSystemTrayAvailable(); },
                    .writeOutput = writeStandardOutput,
                    .quit = [] { QCoreApplication::quit(); },
                    .pushState = [sync] { return sync ? sync->coordinator().push().description() : std::string("pending"); },
                    .trayCount = [controller] {
                        return controller ? std::int64_t(controller->controller().trayStore().items().size()) : 0;
                    },
                    .clipCount = [controller] {
                        const auto* clipboard = controller ? controller->controller().clipboardService().get() : nullptr;
                        return clipboard ? std::int64_t(clipboard->clips().size()) : 0;
                    },
                    .steadyClock = &parts.steadyClock,
                    .reduceMotion = &parts.reduceMotion,
                });
            },
        .writeOutput = writeStandardOutput,
        .watchEventLoop =
            [](QObject* context, std::function<void()> woke) {
                if (auto* dispatcher = QAbstractEventDispatcher::instance())
                    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, context, std::move(woke));
            },
        .afterFirstFrame = [&parts](std::function<void()> step) { parts.firstFrame.after(std::move(step)); },
    });
}

Application::~Application()
{
    m_parts->delegate.reset();
}

void Application::launch()
{
    AppDelegate* delegate = m_parts->delegate.get();
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [delegate] { delegate->applicationWillTerminate(); });
    delegate->applicationDidFinishLaunching();
}

AppDelegate& Application::delegate() const
{
    return *m_parts->delegate;
}
