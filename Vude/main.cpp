// The app's entry point. It stays up without a window (the notch panels come
// and go with screens) until it is asked to quit.

#include "Platform/Settings/FileUserDefaults.h"
#include "Platform/Settings/SettingsLock.h"
#include "Vude/UnixSignalWatcher.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    // Reports on standard output must reach a pipe line by line.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

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
    QApplication::setApplicationName(QStringLiteral("Vude"));
    QApplication::setOrganizationDomain(QStringLiteral("ruvudav.app"));
    QApplication::setQuitOnLastWindowClosed(false);

    // The standard user defaults, before anything reads a setting.
    const auto defaults = std::make_shared<FileUserDefaults>(FileUserDefaults::standardLocation());
    if (!defaults->loadError().empty())
        std::fprintf(stderr, "vude: %s\n", defaults->loadError().c_str());
    UserDefaults::installStandard(defaults);

    UnixSignalWatcher signalWatcher({SIGTERM, SIGINT});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [] { QApplication::quit(); });

    return QApplication::exec();
}
