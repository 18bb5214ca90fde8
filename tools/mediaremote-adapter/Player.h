#pragma once
// One media player on the bus as the adapter knows it: its track, its
// playback state and where its position stood when last taken.
//
// Players never signal their position while it runs; it is taken when the
// player appears, when it seeks and when playback starts, stops or changes
// speed, and extrapolated in between.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>

struct Track {
    /// The player's identifier of the track (an object path). Some players
    /// give every track the same one (mpv-mpris: "/0").
    QString trackId;
    /// Where the track is played from ("xesam:url").
    QString url;
    QString title;
    QStringList artists;
    QString album;
    QStringList genres;
    QStringList composers;
    QString artUrl;
    std::optional<qint64> lengthMicroseconds;
    std::optional<qint64> trackNumber;

    /// The player's id when it names a track (not "…/TrackList/NoTrack").
    QString itemId() const;
    /// Whether `other` is another item than this one: by id and url where
    /// either track has one, else by title, artists and album. A title that
    /// arrives later for the same item is not another item.
    bool isAnotherItem(const Track& other) const;

    bool operator==(const Track&) const = default;
};

struct Player {
    /// Its well-known name ("org.mpris.MediaPlayer2.<name>").
    QString busName;
    /// Its connection's unique name, which its signals come from.
    QString owner;
    /// "Playing", "Paused" or "Stopped".
    QString playbackStatus;
    Track track;
    /// The player's rate; it stays 1 while paused.
    double rate = 1;
    std::optional<bool> shuffle;
    /// "None", "Track" or "Playlist".
    std::optional<QString> loopStatus;
    QString desktopEntry;

    std::optional<qint64> positionMicroseconds;
    /// When the position was taken, on the monotonic clock.
    qint64 positionTakenAtMilliseconds = 0;
    /// Grows every time the position is taken anew.
    quint64 positionGeneration = 0;
    /// Grows with the player's activity (see MprisWatcher); the larger, the
    /// more recently it was active. 0 when it did nothing since we started.
    quint64 lastActive = 0;

    bool isPlaying() const { return playbackStatus == QLatin1String("Playing"); }

    /// The position at `nowMilliseconds`, in seconds: moving at the rate while
    /// playing, never below 0 nor past the track's length.
    std::optional<double> elapsedSeconds(qint64 nowMilliseconds) const;

    /// Takes the position anew.
    void setPosition(qint64 microseconds, qint64 nowMilliseconds);

    /// The order its connection joined the bus in (":1.42" is (1, 42)).
    std::pair<qint64, qint64> connectionOrder() const;

    /// What tells this player's current item from every other, on any
    /// player: a digest of the bus name, the track id and the url. Empty
    /// when the track has neither id nor url.
    QString itemIdentity() const;

    /// A reverse-domain identifier of the application: its desktop entry
    /// ("org.gnome.Lollypop"), else the bus name's last part without an
    /// instance suffix.
    QString bundleIdentifier() const;
};
