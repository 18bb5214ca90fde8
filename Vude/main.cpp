// The app's entry point. It stays up without a window (the notch panels come
// and go with screens) until it is asked to quit.

#include "Vude/UnixSignalWatcher.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    // Reports on standard output must reach a pipe line by line.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vude"));
    QApplication::setOrganizationDomain(QStringLiteral("ruvudav.app"));
    QApplication::setQuitOnLastWindowClosed(false);

    UnixSignalWatcher signalWatcher({SIGTERM, SIGINT});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [] { QApplication::quit(); });

    return QApplication::exec();
}
