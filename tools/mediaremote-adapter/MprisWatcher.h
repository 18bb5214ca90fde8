#pragma once
// Follows the media players on the session bus for the streaming adapter:
// players appearing and vanishing, their properties and seeks. After each
// burst of changes, once the debounce interval has passed, it prints what
// the chosen player shows as one line (NowPlayingLines).

#include "Artwork.h"
#include "NowPlayingLines.h"
#include "Player.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <vector>

class MprisWatcher : public QObject {
    Q_OBJECT
public:
    using Writer = std::function<void(const QByteArray& line)>;

    MprisWatcher(QDBusConnection bus, int debounceMilliseconds, Writer write);

    /// Starts following the players; false when the bus is not reachable.
    bool start();

private slots:
    void onNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void onPropertiesChanged(const QDBusMessage& message);
    void onSeeked(qlonglong position, const QDBusMessage& message);

private:
    // While a new player's properties are on their way, printing waits up to
    // this long, so the first line it appears in is complete.
    static constexpr qint64 kLoadingGraceMilliseconds = 1000;

    // `isNew`: it joined while we watch, rather than being there at start.
    void addPlayer(const QString& name, const QString& owner, bool isNew);
    void removePlayer(const QString& name);
    void fetchProperties(const QString& name, const QString& owner);
    void fetchPosition(const QString& name, const QString& owner);
    void apply(Player& player, const QVariantMap& properties, bool fromSignal);
    Player* player(const QString& name, const QString& owner);
    Player* playerOwnedBy(const QString& owner);
    void changed();
    void print();
    qint64 now() const { return m_clock.elapsed(); }

    QDBusConnection m_bus;
    int m_debounceMilliseconds;
    Writer m_write;
    std::vector<Player> m_players;
    std::map<QString, qint64> m_loadingSince;
    quint64 m_activity = 0;
    QTimer m_debounce;
    QElapsedTimer m_clock;
    NowPlayingLines::Composer m_composer;
    ArtworkCache m_artwork;
};
