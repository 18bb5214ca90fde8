// The now-playing adapter's test client: "test" exits 0 when the session bus
// answers, 1 otherwise. The app runs it through the adapter before relying
// on the adapter.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2 || std::strcmp(argv[1], "test") != 0) {
        std::fprintf(stderr, "usage: MediaRemoteAdapterTestClient test\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "MediaRemoteAdapterTestClient: no session bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    const auto ping = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                     QStringLiteral("/org/freedesktop/DBus"),
                                                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
    const auto reply = bus.call(ping, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "MediaRemoteAdapterTestClient: %s\n", qPrintable(reply.errorMessage()));
        return 1;
    }
    return 0;
}
