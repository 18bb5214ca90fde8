// The app's entry point. It stays up without a window (the notch panels come
// and go with screens) until it is asked to quit.

#include "Platform/Settings/FileUserDefaults.h"
#include "Vude/UnixSignalWatcher.h"
#include "VudeServices/FocusFilterEndpoint.h"

#include <QApplication>
#include <QDBusConnection>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    // Reports on standard output must reach a pipe line by line.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vude"));
    QApplication::setOrganizationDomain(QStringLiteral("ruvudav.app"));
    QApplication::setQuitOnLastWindowClosed(false);

    // The standard user defaults, before anything reads a setting.
    const auto defaults = std::make_shared<FileUserDefaults>(FileUserDefaults::standardLocation());
    if (!defaults->loadError().empty())
        std::fprintf(stderr, "vude: %s\n", defaults->loadError().c_str());
    UserDefaults::installStandard(defaults);

    // The Focus filter for the user's automation (docs/FOCUS.md); not offered
    // without a session bus or while another copy of the app holds its name.
    FocusFilterEndpoint focusFilter;
    focusFilter.registerOn(QDBusConnection::sessionBus());

    UnixSignalWatcher signalWatcher({SIGTERM, SIGINT});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [] { QApplication::quit(); });

    return QApplication::exec();
}
