// The app's entry point. It stays up without a window (the notch panels come
// and go with screens) until it is asked to quit.

#include "Platform/Display/X11Display.h"
#include "Platform/Settings/FileUserDefaults.h"
#include "Platform/Settings/SettingsLock.h"
#include "Vude/App/Application.h"
#include "Vude/App/BuildInfo.h"
#include "Vude/App/Launch.h"
#include "Vude/App/UnixSignalWatcher.h"
#include "VudeServices/FocusFilterEndpoint.h"

#include <QApplication>
#include <QDBusConnection>

#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

int main(int argc, char** argv)
{
    // First of all, so that a quit request during a slow start still ends in
    // an orderly quit instead of the default action.
    UnixSignalWatcher::catchSignals({SIGTERM, SIGINT, SIGHUP});

    // Reports on standard output must reach a pipe line by line.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    // Qt aborts when it cannot open its display; say why in one line instead.
    const auto environment = Environment::process();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", Launch::kDefaultPlatform);
    const std::string platform = Launch::platformName(environment);
    if (const auto problem = Launch::missingDisplayLine(platform, environment, X11Display::canOpen)) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }

    // One instance at a time: a second would draw its own panels and fight
    // over the settings file.
    const SettingsLock settingsLock = SettingsLock::acquire(FileUserDefaults::standardLocation());
    if (settingsLock.isHeldElsewhere()) {
        std::fputs("vude: Vude is already running\n", stderr);
        return 0;
    }
    if (!settingsLock.error().empty())
        std::fprintf(stderr, "vude: %s\n", settingsLock.error().c_str());

    QApplication app(argc, argv);
    // Connecting to a bus waits on its daemon: both connect on the side while
    // the first panel is built, so whoever asks first waits for less.
    std::thread connectBuses([] {
        QDBusConnection::sessionBus();
        QDBusConnection::systemBus();
    });
    QApplication::setApplicationName(QStringLiteral("Vude"));
    QApplication::setApplicationVersion(QString::fromUtf8(BuildInfo::version()));
    QApplication::setOrganizationDomain(QStringLiteral("ruvudav.app"));
    QApplication::setQuitOnLastWindowClosed(false);

    UnixSignalWatcher signalWatcher({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [] { QApplication::quit(); });

    // The first thing the app says, so a user facing an empty screen knows it runs.
    std::fprintf(stderr, "%s\n", Launch::runningLine(platform, environment).c_str());

    // The standard user defaults, before anything reads a setting.
    const auto defaults = std::make_shared<FileUserDefaults>(FileUserDefaults::standardLocation());
    if (!defaults->loadError().empty())
        std::fprintf(stderr, "vude: %s\n", defaults->loadError().c_str());
    UserDefaults::installStandard(defaults);

    Application application;
    application.launch();

    // The Focus filter for the user's automation (docs/FOCUS.md); not offered
    // without a session bus or while another copy of the app holds its name.
    // Its calls wait for the event loop anyway, and the panels are up by now.
    connectBuses.join();
    FocusFilterEndpoint focusFilter;
    focusFilter.registerOn(QDBusConnection::sessionBus());
    return QApplication::exec();
}
