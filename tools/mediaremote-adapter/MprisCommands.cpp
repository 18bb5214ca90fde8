#include "MprisCommands.h"

#include "MprisNames.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <cstdio>
#include <optional>
#include <tuple>

namespace {

struct Target {
    QString name;
    int rank = -1;
    // ":1.42" as (1, 42): later connections have larger numbers.
    std::pair<qint64, qint64> connection;
};

std::pair<qint64, qint64> connectionOrder(const QString& uniqueName)
{
    const QStringList parts = uniqueName.mid(1).split(QLatin1Char('.'));
    return {parts.value(0).toLongLong(), parts.value(1).toLongLong()};
}

QDBusMessage call(QDBusConnection& bus, const QString& service, const char* interface, const char* method,
                  const QVariantList& arguments)
{
    auto message = QDBusMessage::createMethodCall(service, QLatin1String(Mpris::kObjectPath),
                                                  QLatin1String(interface), QLatin1String(method));
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, Mpris::kCallTimeoutMilliseconds);
}

std::optional<QVariant> property(QDBusConnection& bus, const QString& service, const char* name)
{
    const auto reply = call(bus, service, Mpris::kPropertiesInterface, "Get",
                            {QLatin1String(Mpris::kPlayerInterface), QLatin1String(name)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return Mpris::plain(reply.arguments().constFirst());
}

bool succeeded(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    std::fprintf(stderr, "MediaRemoteAdapter: %s\n", qPrintable(reply.errorMessage()));
    return false;
}

bool setProperty(QDBusConnection& bus, const QString& service, const char* name, const QVariant& value)
{
    return succeeded(call(bus, service, Mpris::kPropertiesInterface, "Set",
                          {QLatin1String(Mpris::kPlayerInterface), QLatin1String(name),
                           QVariant::fromValue(QDBusVariant(value))}));
}

std::optional<QString> chooseTarget(QDBusConnection& bus, const QString& shown)
{
    // The player the app shows, while it is still there: ranking afresh could
    // pick another one (two paused players tie on everything we can see here).
    if (Mpris::isPlayerName(shown) && bus.interface()->isServiceRegistered(shown).value())
        return shown;
    const auto names = bus.interface()->registeredServiceNames();
    if (!names.isValid())
        return std::nullopt;
    std::optional<Target> best;
    for (const auto& name : names.value()) {
        if (!Mpris::isPlayerName(name))
            continue;
        const auto owner = bus.interface()->serviceOwner(name);
        if (!owner.isValid())
            continue;
        const QString status = property(bus, name, "PlaybackStatus").value_or(QVariant()).toString();
        Target target{name, status == QLatin1String("Playing") ? 2 : status == QLatin1String("Paused") ? 1 : 0,
                      connectionOrder(owner.value())};
        if (!best || std::tie(target.rank, target.connection) > std::tie(best->rank, best->connection))
            best = target;
    }
    if (!best)
        return std::nullopt;
    return best->name;
}

bool seek(QDBusConnection& bus, const QString& player, qint64 microseconds)
{
    const QVariantMap metadata = property(bus, player, "Metadata").value_or(QVariant()).toMap();
    const QVariant id = Mpris::plain(metadata.value(QStringLiteral("mpris:trackid")));
    if (id.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return succeeded(call(bus, player, Mpris::kPlayerInterface, "SetPosition",
                              {id, QVariant::fromValue(static_cast<qlonglong>(microseconds))}));
    // Without a track id SetPosition is ignored: move by the difference.
    bool ok = false;
    const qint64 current = property(bus, player, "Position").value_or(QVariant()).toLongLong(&ok);
    if (!ok)
        return false;
    return succeeded(call(bus, player, Mpris::kPlayerInterface, "Seek",
                          {QVariant::fromValue(static_cast<qlonglong>(microseconds - current))}));
}

const char* methodFor(AdapterRequest::Transport transport)
{
    switch (transport) {
    case AdapterRequest::Transport::play:
        return "Play";
    case AdapterRequest::Transport::pause:
        return "Pause";
    case AdapterRequest::Transport::toggle:
        return "PlayPause";
    case AdapterRequest::Transport::next:
        return "Next";
    case AdapterRequest::Transport::previous:
        return "Previous";
    }
    return "PlayPause";
}

} // namespace

namespace MprisCommands {

int run(QDBusConnection& bus, const AdapterRequest::Request& request, const QString& shownPlayer)
{
    const auto player = chooseTarget(bus, shownPlayer);
    if (!player) {
        std::fprintf(stderr, "MediaRemoteAdapter: no media player on the session bus\n");
        return 1;
    }
    bool done = false;
    if (const auto* send = std::get_if<AdapterRequest::Send>(&request))
        done = succeeded(call(bus, *player, Mpris::kPlayerInterface, methodFor(send->transport), {}));
    else if (const auto* target = std::get_if<AdapterRequest::Seek>(&request))
        done = seek(bus, *player, target->microseconds);
    else if (const auto* shuffle = std::get_if<AdapterRequest::SetShuffle>(&request))
        done = setProperty(bus, *player, "Shuffle", shuffle->on);
    else if (const auto* repeat = std::get_if<AdapterRequest::SetRepeat>(&request))
        done = setProperty(bus, *player, "LoopStatus", repeat->loopStatus);
    else if (const auto* speed = std::get_if<AdapterRequest::SetSpeed>(&request))
        done = setProperty(bus, *player, "Rate", speed->rate);
    return done ? 0 : 1;
}

} // namespace MprisCommands
