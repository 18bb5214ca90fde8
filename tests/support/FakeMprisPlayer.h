#pragma once
// A media player on a private session bus, speaking MPRIS: what it shows can
// be changed and announced, and every call made to it is noted. It answers
// on its own connection and thread, so calls to it are answered while the
// test's thread waits.

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include <mutex>

namespace fakempris {

inline constexpr auto kPath = "/org/mpris/MediaPlayer2";
inline constexpr auto kPlayerInterface = "org.mpris.MediaPlayer2.Player";

/// What a fake player shows and what was asked of it; shared between the
/// test's thread and the thread the player answers calls on.
struct PlayerState {
    std::mutex mutex;
    QString status = "Playing";
    QVariantMap metadata;
    double rate = 1;
    bool shuffle = false;
    QString loopStatus = "None";
    qlonglong position = 30'000'000;
    QStringList calls;

    void record(const QString& call)
    {
        std::scoped_lock lock(mutex);
        calls.append(call);
    }
};

class FakePlayer {
public:
    /// Registers "org.mpris.MediaPlayer2.<name>" on the bus at `address`.
    FakePlayer(const QString& address, const QString& name, QVariantMap metadata, QString status = "Playing");
    ~FakePlayer();
    FakePlayer(const FakePlayer&) = delete;
    FakePlayer& operator=(const FakePlayer&) = delete;

    QString busName() const { return "org.mpris.MediaPlayer2." + m_name; }

    void setStatus(const QString& status);
    void setMetadata(const QVariantMap& metadata);
    /// Moves the position and sends the Seeked signal.
    void seeked(qlonglong position);
    /// Leaves the bus.
    void vanish();

    /// The calls made to it, in order ("PlayPause", "SetPosition <track> <µs>").
    QStringList calls();

private:
    void announce(const QVariantMap& changed);

    QString m_name;
    QString m_connectionName;
    PlayerState m_state;
    QThread m_thread;
    QObject* m_root = nullptr;
    QDBusConnection m_connection{QString()};
};

/// A track's metadata: title, two artists, an album, 180 s, and cover art
/// when `artUrl` is given.
QVariantMap song(const QString& title, const QString& artUrl = {});

} // namespace fakempris
