#include "MprisWatcher.h"

#include "MprisNames.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <algorithm>
#include <cmath>


namespace {

QStringList stringList(const QVariant& value)
{
    const QVariant plain = Mpris::plain(value);
    if (plain.metaType() == QMetaType::fromType<QString>())
        return {plain.toString()};
    return plain.toStringList();
}

std::optional<qint64> integer(const QVariantMap& map, const char* key)
{
    const auto entry = map.find(QLatin1String(key));
    if (entry == map.end())
        return std::nullopt;
    bool ok = false;
    const qint64 value = Mpris::plain(*entry).toLongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

Track trackFrom(const QVariantMap& metadata)
{
    Track track;
    const QVariant id = Mpris::plain(metadata.value(QStringLiteral("mpris:trackid")));
    track.trackId = id.metaType() == QMetaType::fromType<QDBusObjectPath>() ? id.value<QDBusObjectPath>().path()
                                                                            : id.toString();
    track.url = Mpris::plain(metadata.value(QStringLiteral("xesam:url"))).toString();
    track.title = Mpris::plain(metadata.value(QStringLiteral("xesam:title"))).toString();
    track.artists = stringList(metadata.value(QStringLiteral("xesam:artist")));
    track.album = Mpris::plain(metadata.value(QStringLiteral("xesam:album"))).toString();
    track.genres = stringList(metadata.value(QStringLiteral("xesam:genre")));
    track.composers = stringList(metadata.value(QStringLiteral("xesam:composer")));
    track.artUrl = Mpris::plain(metadata.value(QStringLiteral("mpris:artUrl"))).toString();
    track.lengthMicroseconds = integer(metadata, "mpris:length");
    track.trackNumber = integer(metadata, "xesam:trackNumber");
    return track;
}

QDBusMessage propertiesCall(const QString& service, const char* method)
{
    return QDBusMessage::createMethodCall(service, QLatin1String(Mpris::kObjectPath),
                                          QLatin1String(Mpris::kPropertiesInterface), QLatin1String(method));
}

} // namespace

MprisWatcher::MprisWatcher(QDBusConnection bus, int debounceMilliseconds, Writer write)
    : m_bus(std::move(bus))
    , m_debounceMilliseconds(debounceMilliseconds)
    , m_write(std::move(write))
{
    m_debounce.setSingleShot(true);
    connect(&m_debounce, &QTimer::timeout, this, &MprisWatcher::print);
    m_clock.start();
}

bool MprisWatcher::start()
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return false;
    qRegisterMetaType<QDBusVariant>();
    // Signals first, so a player that appears while the list is read is seen.
    m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                  QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                  SLOT(onNameOwnerChanged(QString, QString, QString)));
    m_bus.connect(QString(), QLatin1String(Mpris::kObjectPath), QLatin1String(Mpris::kPropertiesInterface),
                  QStringLiteral("PropertiesChanged"), this, SLOT(onPropertiesChanged(QDBusMessage)));
    m_bus.connect(QString(), QLatin1String(Mpris::kObjectPath), QLatin1String(Mpris::kPlayerInterface),
                  QStringLiteral("Seeked"), this, SLOT(onSeeked(qlonglong, QDBusMessage)));

    const auto names = m_bus.interface()->registeredServiceNames();
    if (!names.isValid())
        return false;
    for (const auto& name : names.value()) {
        if (!Mpris::isPlayerName(name))
            continue;
        const auto owner = m_bus.interface()->serviceOwner(name);
        if (owner.isValid())
            addPlayer(name, owner.value(), false);
    }
    changed(); // the first line, even when nothing plays
    return true;
}

void MprisWatcher::onNameOwnerChanged(const QString& name, const QString&, const QString& newOwner)
{
    if (!Mpris::isPlayerName(name))
        return;
    if (newOwner.isEmpty())
        removePlayer(name);
    else
        addPlayer(name, newOwner, true);
}

void MprisWatcher::onPropertiesChanged(const QDBusMessage& message)
{
    const auto arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].toString() != QLatin1String(Mpris::kPlayerInterface))
        return;
    Player* player = playerOwnedBy(message.service());
    if (!player)
        return;
    apply(*player, Mpris::plain(arguments[1]).toMap(), true);
    if (arguments.size() > 2 && !Mpris::plain(arguments[2]).toStringList().isEmpty())
        fetchProperties(player->busName, player->owner);
    changed();
}

void MprisWatcher::onSeeked(qlonglong position, const QDBusMessage& message)
{
    if (Player* player = playerOwnedBy(message.service())) {
        player->setPosition(position, now());
        changed();
    }
}

void MprisWatcher::addPlayer(const QString& name, const QString& owner, bool isNew)
{
    removePlayer(name); // a new owner is a new player
    Player player;
    player.busName = name;
    player.owner = owner;
    // Those already there when we start are told apart by connection order.
    player.lastActive = isNew ? ++m_activity : 0;
    m_players.push_back(std::move(player));
    m_loadingSince[name] = now();
    fetchProperties(name, owner);
    changed();
}

void MprisWatcher::removePlayer(const QString& name)
{
    const auto erased = std::erase_if(m_players, [&](const Player& player) { return player.busName == name; });
    m_loadingSince.erase(name);
    if (erased)
        changed();
}

Player* MprisWatcher::player(const QString& name, const QString& owner)
{
    for (auto& player : m_players)
        if (player.busName == name && player.owner == owner)
            return &player;
    return nullptr;
}

Player* MprisWatcher::playerOwnedBy(const QString& owner)
{
    for (auto& player : m_players)
        if (player.owner == owner)
            return &player;
    return nullptr;
}

void MprisWatcher::fetchProperties(const QString& name, const QString& owner)
{
    auto getAll = propertiesCall(name, "GetAll");
    getAll << QLatin1String(Mpris::kPlayerInterface);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(getAll, Mpris::kCallTimeoutMilliseconds), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, name, owner](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *call;
        m_loadingSince.erase(name);
        if (Player* found = player(name, owner); found && !reply.isError())
            apply(*found, reply.value(), false);
        changed();
    });

    auto getEntry = propertiesCall(name, "Get");
    getEntry << QLatin1String(Mpris::kRootInterface) << QStringLiteral("DesktopEntry");
    auto* entryWatcher = new QDBusPendingCallWatcher(m_bus.asyncCall(getEntry, Mpris::kCallTimeoutMilliseconds), this);
    connect(entryWatcher, &QDBusPendingCallWatcher::finished, this, [this, name, owner](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (Player* found = player(name, owner); found && !reply.isError()) {
            found->desktopEntry = reply.value().variant().toString();
            changed();
        }
    });
}

void MprisWatcher::fetchPosition(const QString& name, const QString& owner)
{
    auto get = propertiesCall(name, "Get");
    get << QLatin1String(Mpris::kPlayerInterface) << QStringLiteral("Position");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get, Mpris::kCallTimeoutMilliseconds), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, name, owner](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        bool ok = false;
        const qint64 position = reply.isError() ? 0 : reply.value().variant().toLongLong(&ok);
        if (Player* found = player(name, owner); found && ok) {
            found->setPosition(position, now());
            changed();
        }
    });
}

// Activity: a player found playing, or one that signals another playback
// status or another track. What a paused player reports when it is first
// read is not.
void MprisWatcher::apply(Player& player, const QVariantMap& properties, bool fromSignal)
{
    const qint64 time = now();
    const auto status = properties.find(QStringLiteral("PlaybackStatus"));
    const auto metadata = properties.find(QStringLiteral("Metadata"));
    const auto rate = properties.find(QStringLiteral("Rate"));
    const bool timingChanges = status != properties.end() || metadata != properties.end() || rate != properties.end();

    // Take the position as it stands before the speed it moves at changes.
    if (timingChanges && player.positionMicroseconds)
        player.setPosition(std::llround(*player.elapsedSeconds(time) * 1e6), time);

    if (status != properties.end()) {
        const QString text = Mpris::plain(*status).toString();
        if (fromSignal ? text != player.playbackStatus : text == QLatin1String("Playing"))
            player.lastActive = ++m_activity;
        player.playbackStatus = text;
    }
    if (metadata != properties.end()) {
        Track track = trackFrom(Mpris::plain(*metadata).toMap());
        if (fromSignal && track.isAnotherItem(player.track))
            player.lastActive = ++m_activity;
        player.track = std::move(track);
    }
    if (rate != properties.end()) {
        bool ok = false;
        const double value = Mpris::plain(*rate).toDouble(&ok);
        if (ok && std::isfinite(value))
            player.rate = value;
    }
    if (const auto shuffle = properties.find(QStringLiteral("Shuffle")); shuffle != properties.end())
        player.shuffle = Mpris::plain(*shuffle).toBool();
    if (const auto loop = properties.find(QStringLiteral("LoopStatus")); loop != properties.end())
        player.loopStatus = Mpris::plain(*loop).toString();
    if (const auto position = properties.find(QStringLiteral("Position")); position != properties.end()) {
        bool ok = false;
        const qint64 value = Mpris::plain(*position).toLongLong(&ok);
        if (ok)
            player.setPosition(value, time);
    }
    // Players do not signal their position: ask for it where it may have jumped.
    if (fromSignal && timingChanges)
        fetchPosition(player.busName, player.owner);
}

void MprisWatcher::changed()
{
    if (!m_debounce.isActive())
        m_debounce.start(m_debounceMilliseconds);
}

void MprisWatcher::print()
{
    const qint64 time = now();
    for (const auto& [name, since] : m_loadingSince) {
        if (time - since < kLoadingGraceMilliseconds) {
            m_debounce.start(std::max(m_debounceMilliseconds, 20));
            return;
        }
    }
    const Player* chosen = NowPlayingLines::choose(m_players);
    static const Artwork none;
    const Artwork& artwork = chosen ? m_artwork.artwork(chosen->track.artUrl) : none;
    const auto payload = NowPlayingLines::payload(chosen, time, artwork);
    if (auto line = m_composer.compose(chosen ? chosen->busName : QString(), payload,
                                       chosen ? chosen->positionGeneration : 0))
        m_write(*line + '\n');
}
