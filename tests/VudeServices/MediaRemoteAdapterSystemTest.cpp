// The now-playing adapter as built beside the app, against fake media players
// on a private session bus: what its stream prints, what its commands reach,
// and the source reading it end to end.
#include "VudeServices/MediaRemoteSource.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <mutex>
#include <poll.h>
#include <unistd.h>

// Readable failures for the adapter's lines.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QJsonObject& object, std::ostream* out)
{
    *out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
inline void PrintTo(const QJsonValue& value, std::ostream* out)
{
    *out << QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).toStdString();
}
QT_END_NAMESPACE

#include "FakeMprisPlayer.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace fakempris;

// The adapter's output, a line at a time.
class Lines {
public:
    explicit Lines(int fd) : m_fd(fd) {}

    std::optional<QJsonObject> next(std::chrono::milliseconds timeout = 5s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (const auto end = m_buffer.indexOf('\n'); end >= 0) {
                const QByteArray line = m_buffer.left(end);
                m_buffer.remove(0, end + 1);
                return QJsonDocument::fromJson(line).object();
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd readable{m_fd, POLLIN, 0};
            ::poll(&readable, 1, static_cast<int>(left.count()));
            char block[65536];
            const auto got = ::read(m_fd, block, sizeof block);
            if (got == 0)
                return std::nullopt;
            if (got > 0)
                m_buffer.append(block, got);
        }
    }

    /// Skips lines until one whose payload satisfies `wanted`.
    std::optional<QJsonObject> until(const std::function<bool(const QJsonObject& line)>& wanted)
    {
        while (auto line = next())
            if (wanted(*line))
                return line;
        return std::nullopt;
    }

private:
    int m_fd;
    QByteArray m_buffer;
};

QJsonObject payloadOf(const QJsonObject& line)
{
    return line.value("payload").toObject();
}

class MediaRemoteAdapterSystemTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.start());
        m_previousAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        // The source's children inherit our environment.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
        ASSERT_TRUE(fs::exists(adapterFolder() / "MediaRemoteAdapter.framework" / "MediaRemoteAdapter"));

        QImage cover(4, 4, QImage::Format_RGB32);
        cover.fill(Qt::red);
        ASSERT_TRUE(cover.save(coverPath(), "PNG"));
    }
    void TearDown() override { qputenv("DBUS_SESSION_BUS_ADDRESS", m_previousAddress); }

    static fs::path adapterFolder() { return qEnvironmentVariable("VUDE_MEDIA_ADAPTER_DIR").toStdString(); }
    QString coverPath() const { return m_folder.filePath("cover.png"); }
    QByteArray coverBytes() const
    {
        QFile file(coverPath());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    std::unique_ptr<ChildProcess> adapter(std::vector<std::string> request,
                                          std::vector<std::pair<std::string, std::string>> environment = {})
    {
        ChildProcess::Options options;
        options.executable = "/usr/bin/perl";
        options.arguments = {(adapterFolder() / "mediaremote-adapter.pl").string(),
                             (adapterFolder() / "MediaRemoteAdapter.framework").string()};
        options.arguments.insert(options.arguments.end(), request.begin(), request.end());
        options.captureStandardOutput = true;
        options.environment = std::move(environment);
        auto child = ChildProcess::spawn(options);
        EXPECT_TRUE(child);
        return child ? std::move(*child) : nullptr;
    }

    int command(std::vector<std::string> request, std::vector<std::pair<std::string, std::string>> environment = {})
    {
        auto child = adapter(std::move(request), std::move(environment));
        const auto exit = child->waitForExit(10s);
        return exit && exit->signal == 0 ? exit->code : -1;
    }

    // A source over the built adapter, on a manual scheduler, tracing nowhere.
    std::unique_ptr<MediaRemoteSource> makeSource()
    {
        return MediaRemoteSource::make(adapterFolder(), {.scheduler = m_scheduler, .clock = m_clock, .trace = m_trace});
    }

    testsupport::PrivateSessionBus bus;
    QTemporaryDir m_folder;
    QByteArray m_previousAddress;
    ManualClock m_schedulerClock;
    ManualScheduler m_scheduler{m_schedulerClock};
    SystemClock m_clock;
    DiagnosticsTrace m_trace{Environment::fixed({}), [] { return false; }, m_clock,
                             []() -> Expected<fs::path, std::string> { return unexpected(std::string("none")); }};
};

TEST_F(MediaRemoteAdapterSystemTest, StreamPrintsAReplacementThenDiffsAndSurvivesPlayersComingAndGoing)
{
    FakePlayer player(bus.address(), "fakeplayer", song("Song", QUrl::fromLocalFile(coverPath()).toString()));
    auto stream = adapter({"stream", "--debounce=120"});
    Lines lines(stream->standardOutput());

    const auto first = lines.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->value("diff"), QJsonValue(false));
    const auto payload = payloadOf(*first);
    EXPECT_EQ(payload.value("title"), "Song");
    EXPECT_EQ(payload.value("artist"), "Artist A, Artist B");
    EXPECT_EQ(payload.value("album"), "Album");
    EXPECT_EQ(payload.value("duration"), 180.0);
    EXPECT_EQ(payload.value("playing"), true);
    EXPECT_EQ(payload.value("playbackRate"), 1.0);
    EXPECT_GE(payload.value("elapsedTime").toDouble(), 30.0);
    EXPECT_LT(payload.value("elapsedTime").toDouble(), 32.0);
    EXPECT_EQ(payload.value("shuffleMode"), "off");
    EXPECT_EQ(payload.value("repeatMode"), "off");
    const QString item = payload.value("contentItemIdentifier").toString();
    EXPECT_EQ(item.size(), 32) << "a digest of the bus name, track id and url";
    EXPECT_EQ(payload.value("bundleIdentifier"), "fakeplayer");
    EXPECT_EQ(payload.value("artworkMimeType"), "image/png");
    EXPECT_EQ(QByteArray::fromBase64(payload.value("artworkData").toString().toLatin1()), coverBytes());

    player.setStatus("Paused");
    const auto paused = lines.next();
    ASSERT_TRUE(paused);
    EXPECT_EQ(paused->value("diff"), QJsonValue(true));
    EXPECT_EQ(payloadOf(*paused).value("playing"), false);
    EXPECT_EQ(payloadOf(*paused).value("playbackRate"), 0.0) << "a paused player's rate stays 1 on the bus";
    EXPECT_FALSE(payloadOf(*paused).contains("title")) << "a diff carries only what changed";

    player.seeked(75'500'000);
    const auto seeked = lines.next();
    ASSERT_TRUE(seeked);
    EXPECT_EQ(payloadOf(*seeked), (QJsonObject{{"elapsedTime", 75.5}}));

    player.setMetadata(song("Other"));
    const auto other = lines.next();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->value("diff"), QJsonValue(true));
    EXPECT_EQ(payloadOf(*other).value("title"), "Other");
    EXPECT_NE(payloadOf(*other).value("contentItemIdentifier").toString(), item);
    EXPECT_EQ(payloadOf(*other).value("artworkData"), QJsonValue(QJsonValue::Null)) << "the old cover is cleared";

    player.vanish();
    const auto gone = lines.next();
    ASSERT_TRUE(gone);
    EXPECT_EQ(*gone, (QJsonObject{{"diff", false}, {"payload", QJsonObject{}}}));

    FakePlayer late(bus.address(), "late", song("Late"));
    const auto appeared = lines.next();
    ASSERT_TRUE(appeared);
    EXPECT_EQ(appeared->value("diff"), QJsonValue(false));
    EXPECT_EQ(payloadOf(*appeared).value("title"), "Late");
    EXPECT_EQ(stream->exitStatus(), std::nullopt) << "the stream keeps running";
    stream->terminate();
}

TEST_F(MediaRemoteAdapterSystemTest, StreamFollowsAPlayingPlayerOverAPausedOne)
{
    FakePlayer paused(bus.address(), "paused", song("Paused song"), "Paused");
    FakePlayer playing(bus.address(), "playing", song("Playing song"), "Playing");
    auto stream = adapter({"stream", "--debounce=50"});
    Lines lines(stream->standardOutput());
    auto line = lines.next();
    ASSERT_TRUE(line);
    EXPECT_EQ(payloadOf(*line).value("title"), "Playing song");

    // Both paused: the one active last stays.
    playing.setStatus("Paused");
    line = lines.next();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->value("diff"), QJsonValue(true));
    EXPECT_EQ(payloadOf(*line).value("playing"), false);

    paused.setStatus("Playing");
    line = lines.next();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->value("diff"), QJsonValue(false)) << "another player: a replacement";
    EXPECT_EQ(payloadOf(*line).value("title"), "Paused song");
    stream->terminate();
}

// mpv-mpris names every track of every mpv "/0", and first titles a track by
// its file name, the real title coming a moment later.
TEST_F(MediaRemoteAdapterSystemTest, PlayersThatReuseTrackIdsStillNameEachItemApart)
{
    const auto mpvTrack = [](const QString& file, const QString& title) {
        return QVariantMap{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/0"))},
                           {"xesam:url", QUrl::fromLocalFile("/music/" + file).toString()},
                           {"xesam:title", title}};
    };
    const auto titled = [](const QString& title) {
        return [title](const QJsonObject& line) { return payloadOf(line).value("title") == title; };
    };
    FakePlayer first(bus.address(), "mpv", mpvTrack("one.mp3", "one.mp3"));
    auto stream = adapter({"stream", "--debounce=50"});
    Lines lines(stream->standardOutput());
    auto line = lines.until(titled("one.mp3"));
    ASSERT_TRUE(line);
    const QJsonValue one = payloadOf(*line).value("contentItemIdentifier");
    ASSERT_TRUE(one.isString());

    // The real title for the same file: the same item, so no new identity.
    first.setMetadata(mpvTrack("one.mp3", "One"));
    line = lines.until(titled("One"));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->value("diff"), QJsonValue(true));
    EXPECT_FALSE(payloadOf(*line).contains("contentItemIdentifier"));

    // The next file under the same id: another item.
    first.setMetadata(mpvTrack("two.mp3", "Two"));
    line = lines.until(titled("Two"));
    ASSERT_TRUE(line);
    const QJsonValue two = payloadOf(*line).value("contentItemIdentifier");
    ASSERT_TRUE(two.isString());
    EXPECT_NE(two, one);

    // A second mpv plays the first file: another player, another item.
    first.setStatus("Paused");
    FakePlayer second(bus.address(), "mpv.instance4242", mpvTrack("one.mp3", "One"));
    line = lines.until([](const QJsonObject& line) {
        return line.value("diff") == QJsonValue(false) && payloadOf(line).value("playing") == true;
    });
    ASSERT_TRUE(line);
    EXPECT_EQ(payloadOf(*line).value("player"), second.busName());
    const QJsonValue third = payloadOf(*line).value("contentItemIdentifier");
    ASSERT_TRUE(third.isString());
    EXPECT_NE(third, one);
    EXPECT_NE(third, two);
    stream->terminate();
}

TEST_F(MediaRemoteAdapterSystemTest, CommandsReachThePlayerThatPlays)
{
    FakePlayer idle(bus.address(), "idle", song("Idle"), "Stopped");
    FakePlayer player(bus.address(), "fakeplayer", song("Song"));
    const std::pair<std::vector<std::string>, QString> rows[] = {
        {{"send", "0"}, "Play"},
        {{"send", "1"}, "Pause"},
        {{"send", "2"}, "PlayPause"},
        {{"send", "4"}, "Next"},
        {{"send", "5"}, "Previous"},
        {{"seek", "12.500"}, "SetPosition /org/fake/track/Song 12500000"},
        {{"shuffle", "items"}, "Shuffle true"},
        {{"shuffle", "off"}, "Shuffle false"},
        {{"repeat", "one"}, "LoopStatus Track"},
        {{"repeat", "all"}, "LoopStatus Playlist"},
        {{"speed", "1.25"}, "Rate 1.25"},
    };
    QStringList expected;
    for (const auto& [request, call] : rows) {
        SCOPED_TRACE(call.toStdString());
        EXPECT_EQ(command(request), 0);
        expected.append(call);
    }
    EXPECT_EQ(player.calls(), expected);
    EXPECT_TRUE(idle.calls().isEmpty());

    EXPECT_EQ(command({"send", "3"}), 2) << "no such command";
    EXPECT_EQ(command({"seek", "nan"}), 2);
    EXPECT_EQ(command({"shuffle", "sometimes"}), 2);
}

// Two paused players: the one active last is shown, the one that joined the
// bus last is what a command picks by itself.
TEST_F(MediaRemoteAdapterSystemTest, CommandsReachTheShownPlayerAmongPausedOnes)
{
    FakePlayer shown(bus.address(), "shown", song("Shown"), "Paused");
    FakePlayer newer(bus.address(), "newer", song("Newer"), "Paused");

    struct Row {
        const char* why;
        QString named;
        FakePlayer& expected;
    };
    const Row rows[] = {
        {"the player named", shown.busName(), shown},
        {"none named: chosen afresh", "", newer},
        {"one no longer on the bus", "org.mpris.MediaPlayer2.gone", newer},
        {"a name that is not a player's", "org.freedesktop.DBus", newer},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto before = row.expected.calls().size();
        EXPECT_EQ(command({"send", "0"}, {{"VUDE_MEDIA_PLAYER", row.named.toStdString()}}), 0);
        EXPECT_EQ(row.expected.calls().size(), before + 1);
    }
    EXPECT_EQ(shown.calls(), QStringList{"Play"});
    EXPECT_EQ(newer.calls(), (QStringList{"Play", "Play", "Play"}));

    // End to end: the source hands back the player of the state it shows.
    auto source = makeSource();
    ASSERT_TRUE(source);
    std::vector<NowPlayingState> states;
    QObject context;
    source->states().consume(&context, [&](const NowPlayingState& state) { states.push_back(state); });
    source->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !states.empty() && states.back().title; }));
    shown.setStatus("Playing");
    ASSERT_TRUE(testsupport::waitUntil([&] { return states.back().title == "Shown" && states.back().isPlaying; }));
    shown.setStatus("Paused");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !states.back().isPlaying; }));
    ASSERT_EQ(states.back().title, "Shown");

    source->send(MediaCommand::play());
    ASSERT_TRUE(testsupport::waitUntil([&] { return shown.calls().size() + newer.calls().size() == 5; }, 10s));
    EXPECT_EQ(shown.calls(), (QStringList{"Play", "Play"}));
    EXPECT_EQ(newer.calls().size(), 3);
}

TEST_F(MediaRemoteAdapterSystemTest, SourceReadsTheAdapterAndSendsItCommands)
{
    FakePlayer player(bus.address(), "fakeplayer", song("Song", QUrl::fromLocalFile(coverPath()).toString()));
    ManualClock schedulerClock;
    ManualScheduler scheduler(schedulerClock);
    SystemClock clock;
    QTemporaryDir traceFolder;
    DiagnosticsTrace trace(Environment::fixed({}), [] { return false; }, clock,
                           [&]() -> Expected<fs::path, std::string> { return fs::path(traceFolder.path().toStdString()); });
    auto source = MediaRemoteSource::make(adapterFolder(), {.scheduler = scheduler, .clock = clock, .trace = trace});
    ASSERT_TRUE(source);
    EXPECT_TRUE(source->selfTest(5s));

    std::vector<NowPlayingState> states;
    QObject context;
    source->states().consume(&context, [&](const NowPlayingState& state) { states.push_back(state); });
    source->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !states.empty() && states.back().title; }));
    const auto& state = states.back();
    EXPECT_EQ(state.title, "Song");
    EXPECT_EQ(state.artist, "Artist A, Artist B");
    EXPECT_EQ(state.duration, 180.0);
    EXPECT_TRUE(state.isPlaying);
    EXPECT_EQ(state.playbackRate, 1.0);
    ASSERT_TRUE(state.artwork);
    const auto cover = coverBytes();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(state.artwork->data()), qsizetype(state.artwork->size())).toHex().toStdString(), cover.toHex().toStdString());
    EXPECT_EQ(state.itemKey().size(), 32u) << "the adapter's item identity";

    source->send(MediaCommand::toggle());
    source->send(MediaCommand::seek(12.5));
    ASSERT_TRUE(testsupport::waitUntil([&] { return player.calls().size() == 2; }, 10s));
    EXPECT_EQ(player.calls(), (QStringList{"PlayPause", "SetPosition /org/fake/track/Song 12500000"}));

    player.vanish();
    ASSERT_TRUE(testsupport::waitUntil([&] { return states.back().isEmpty(); }));
    EXPECT_EQ(states.back(), NowPlayingState{}) << "an empty replacement";
    EXPECT_EQ(source->restartCount(), 0) << "the adapter did not crash";
}

TEST_F(MediaRemoteAdapterSystemTest, SelfTestFailsWithoutASessionBus)
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_folder.filePath("no-bus").toUtf8());
    auto source = makeSource();
    ASSERT_TRUE(source);
    EXPECT_FALSE(source->selfTest(5s));
}

// The adapter must not outlive a parent that dies without cleaning up.
TEST_F(MediaRemoteAdapterSystemTest, AdapterDiesWithItsParent)
{
    const auto script = (adapterFolder() / "mediaremote-adapter.pl").string();
    const auto framework = (adapterFolder() / "MediaRemoteAdapter.framework").string();
    ChildProcess::Options parent;
    parent.executable = "/usr/bin/perl";
    parent.arguments = {"-e", R"($| = 1; $ENV{VUDE_PARENT_PID} = $$; my $pid = fork();
        if (!$pid) { exec { '/usr/bin/perl' } 'perl', @ARGV; die }
        print "$pid\n"; sleep 600)",
                        script, framework, "stream", "--debounce=0"};
    parent.captureStandardOutput = true;
    auto crashing = ChildProcess::spawn(parent).value();
    Lines lines(crashing->standardOutput());
    // The adapter's pid, then its first line (it is up and armed).
    std::string pidText;
    char c;
    while (::read(crashing->standardOutput(), &c, 1) == 1 && c != '\n')
        pidText += c;
    if (pidText.empty()) {
        pollfd readable{crashing->standardOutput(), POLLIN, 0};
        ::poll(&readable, 1, 5000);
        while (::read(crashing->standardOutput(), &c, 1) == 1 && c != '\n')
            pidText += c;
    }
    const pid_t adapterPid = std::stoi(pidText);
    ASSERT_TRUE(lines.next());

    crashing->kill();
    crashing->waitForExit();
    const auto gone = [&] {
        std::ifstream stat("/proc/" + std::to_string(adapterPid) + "/stat");
        std::string pid, name, state;
        return !(stat >> pid >> name >> state) || state == "Z";
    };
    EXPECT_TRUE(testsupport::waitUntil(gone)) << "the adapter outlived its parent";

    // A parent that is gone before the adapter could ask to follow it.
    auto orphan = adapter({"stream"}, {{"VUDE_PARENT_PID", "1"}});
    const auto exit = orphan->waitForExit(5s);
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->code, 1);
}

} // namespace

