#include "NowPlayingLines.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

Player player(const QString& name, const QString& status, quint64 lastActive = 0, const QString& owner = ":1.5")
{
    Player player;
    player.busName = "org.mpris.MediaPlayer2." + name;
    player.owner = owner;
    player.playbackStatus = status;
    player.lastActive = lastActive;
    player.track.title = name;
    return player;
}

QString lineText(const std::optional<QByteArray>& line)
{
    return line ? QString::fromUtf8(*line) : QStringLiteral("(none)");
}

TEST(NowPlayingLines, ChoosesPlayingThenPausedThenMostRecentThenNewestConnection)
{
    struct Row {
        const char* why;
        std::vector<Player> players;
        QString expected;
    };
    const Row rows[] = {
        {"no players", {}, ""},
        {"playing beats paused", {player("a", "Paused", 9), player("b", "Playing", 1)}, "b"},
        {"paused beats stopped", {player("a", "Stopped", 9), player("b", "Paused", 1)}, "b"},
        {"then the most recently active", {player("a", "Paused", 3), player("b", "Paused", 2)}, "a"},
        {"then the connection that joined last",
         {player("a", "Paused", 0, ":1.12"), player("b", "Paused", 0, ":1.9")},
         "a"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const Player* chosen = NowPlayingLines::choose(row.players);
        EXPECT_EQ(chosen ? chosen->track.title : QString(), row.expected);
    }
}

TEST(NowPlayingLines, PayloadReportsAPausedPlayerAtRateZero)
{
    Player paused = player("p", "Paused");
    paused.rate = 1;
    paused.track.artists = {"A", "", "B"};
    paused.track.lengthMicroseconds = 10'000'000;
    paused.track.trackId = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
    paused.loopStatus = "Playlist";
    paused.setPosition(4'000'000, 1000);
    const auto payload = NowPlayingLines::payload(&paused, 9000, {});
    EXPECT_EQ(QJsonDocument(payload).toJson(QJsonDocument::Compact),
              R"({"artist":"A, B","bundleIdentifier":"p","duration":10,"elapsedTime":4,"playbackRate":0,)"
              R"("player":"org.mpris.MediaPlayer2.p","playing":false,"repeatMode":"all","title":"p"})");
    EXPECT_TRUE(NowPlayingLines::payload(nullptr, 0, {}).isEmpty());
}

TEST(NowPlayingLines, ElapsedMovesWhilePlayingWithinTheTrack)
{
    Player playing = player("p", "Playing");
    playing.rate = 2;
    playing.track.lengthMicroseconds = 10'000'000;
    playing.setPosition(3'000'000, 1000);
    EXPECT_EQ(playing.elapsedSeconds(2500), 6.0);
    EXPECT_EQ(playing.elapsedSeconds(60'000), 10.0) << "never past the end";
    playing.rate = -1;
    EXPECT_EQ(playing.elapsedSeconds(60'000), 0.0) << "never before the start";
}

TEST(NowPlayingLines, ComposerSendsReplacementsForNewPlayersAndOnlyChangesOtherwise)
{
    NowPlayingLines::Composer composer;
    const QJsonObject song{{"title", "Song"}, {"playing", true}, {"elapsedTime", 3.0}, {"artworkData", "AQID"}};
    EXPECT_EQ(lineText(composer.compose("a", song, 1)),
              R"({"diff":false,"payload":{"artworkData":"AQID","elapsedTime":3,"playing":true,"title":"Song"}})");
    EXPECT_EQ(lineText(composer.compose("a", song, 1)), "(none)") << "nothing new";

    QJsonObject later = song;
    later["elapsedTime"] = 5.0;
    EXPECT_EQ(lineText(composer.compose("a", later, 1)), "(none)") << "time passing is not news";
    EXPECT_EQ(lineText(composer.compose("a", later, 2)), R"({"diff":true,"payload":{"elapsedTime":5}})")
        << "a position taken anew is";

    QJsonObject paused = later;
    paused["playing"] = false;
    paused.remove("artworkData");
    EXPECT_EQ(lineText(composer.compose("a", paused, 2)),
              R"({"diff":true,"payload":{"artworkData":null,"playing":false}})");

    EXPECT_EQ(lineText(composer.compose("b", paused, 2)).left(26), R"({"diff":false,"payload":{")")
        << "another player starts over";
    EXPECT_EQ(lineText(composer.compose("", {}, 0)), R"({"diff":false,"payload":{}})");
}

TEST(NowPlayingLines, TheItemIsTheBusNameTrackIdAndUrlTogether)
{
    // mpv-mpris names every track of every mpv "/0".
    const auto mpv = [](const QString& busName, const QString& url, const QString& title = "song.mp3") {
        Player player = ::player("x", "Playing");
        player.busName = busName;
        player.track.trackId = "/0";
        player.track.url = url;
        player.track.title = title;
        return player;
    };
    const Player first = mpv("org.mpris.MediaPlayer2.mpv", "file:///music/song.mp3");
    const QString identity = first.itemIdentity();
    EXPECT_EQ(identity.size(), 32);
    EXPECT_EQ(NowPlayingLines::payload(&first, 0, {}).value("contentItemIdentifier"), identity);

    struct Row {
        const char* why;
        Player other;
        bool sameItem;
    };
    const Row rows[] = {
        {"the title that arrives later", mpv("org.mpris.MediaPlayer2.mpv", "file:///music/song.mp3", "Song"), true},
        {"a second mpv playing another file",
         mpv("org.mpris.MediaPlayer2.mpv.instance4242", "file:///music/other.mp3"), false},
        {"a second mpv playing the same file", mpv("org.mpris.MediaPlayer2.mpv.instance4242", "file:///music/song.mp3"),
         false},
        {"the next file of the same mpv", mpv("org.mpris.MediaPlayer2.mpv", "file:///music/other.mp3"), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(row.other.itemIdentity() == identity, row.sameItem);
        if (row.other.busName == first.busName) {
            EXPECT_EQ(row.other.track.isAnotherItem(first.track), !row.sameItem);
        }
    }

    // Neither id nor url: no identity, and the app keys the item by its texts.
    Player bare = ::player("bare", "Playing");
    bare.track.trackId = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
    EXPECT_TRUE(bare.itemIdentity().isEmpty());
    EXPECT_FALSE(NowPlayingLines::payload(&bare, 0, {}).contains("contentItemIdentifier"));
    Track retitled = bare.track;
    retitled.title = "Other";
    EXPECT_TRUE(retitled.isAnotherItem(bare.track));
    Player streamed = bare;
    streamed.track.url = "https://radio.example/stream";
    EXPECT_EQ(streamed.itemIdentity().size(), 32) << "a url alone names the item";
}

TEST(NowPlayingLines, BundleIdentifierFromTheDesktopEntryOrTheBusName)
{
    Player named = player("vlc.instance4242", "Playing");
    EXPECT_EQ(named.bundleIdentifier(), "vlc");
    named.desktopEntry = "org.videolan.VLC";
    EXPECT_EQ(named.bundleIdentifier(), "org.videolan.VLC");
}

} // namespace
