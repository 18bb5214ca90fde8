// The now-playing adapter: reads what the media players on the session bus
// (MPRIS) are playing and prints it as JSON lines, or carries out one media
// command. Started through mediaremote-adapter.pl; see AdapterRequest.h for
// the command lines.

#include "AdapterRequest.h"
#include "MprisCommands.h"
#include "MprisWatcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// The app puts its process id here; a parent that is already someone else
// means the app died before the parent-death signal was armed.
constexpr const char* kParentVariable = "VUDE_PARENT_PID";

// The app puts the bus name of the player it shows here for a command.
constexpr const char* kPlayerVariable = "VUDE_MEDIA_PLAYER";

bool parentIsGone()
{
    const char* expected = std::getenv(kParentVariable);
    return expected && std::strtol(expected, nullptr, 10) != ::getppid();
}

void writeLine(const QByteArray& line)
{
    if (std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout) != static_cast<size_t>(line.size()) ||
        std::fflush(stdout) != 0)
        QCoreApplication::exit(1); // nobody reads us any more
}

int runTestClient(const QString& client)
{
    const QByteArray path = QFile::encodeName(client);
    char* const arguments[] = {const_cast<char*>(path.constData()), const_cast<char*>("test"), nullptr};
    ::execv(path.constData(), arguments);
    std::fprintf(stderr, "MediaRemoteAdapter: cannot run %s: %s\n", path.constData(), std::strerror(errno));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // Never outlive the app, even when it crashes.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (parentIsGone())
        return 1;

    QCoreApplication app(argc, argv);
    const auto request = AdapterRequest::parse(QCoreApplication::arguments().mid(1));
    if (!request) {
        std::fprintf(stderr, "usage: MediaRemoteAdapter <framework> stream [--debounce=<ms>] | <client> test |\n"
                             "       send <0|1|2|4|5> | seek <seconds> | shuffle <mode> | repeat <mode> | "
                             "speed <rate>\n");
        return 2;
    }
    if (const auto* test = std::get_if<AdapterRequest::Test>(&*request))
        return runTestClient(test->client);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "MediaRemoteAdapter: no session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    if (const auto* stream = std::get_if<AdapterRequest::Stream>(&*request)) {
        MprisWatcher watcher(bus, stream->debounceMilliseconds, writeLine);
        if (!watcher.start())
            return 1;
        return app.exec();
    }
    return MprisCommands::run(bus, *request, qEnvironmentVariable(kPlayerVariable));
}
