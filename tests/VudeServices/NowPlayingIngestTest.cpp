#include "VudeServices/NowPlayingIngest.h"
#include "VudeServices/NowPlayingUpdate.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

// Readable failures: the fields that are set, by name.
void PrintTo(const NowPlayingState& state, std::ostream* out)
{
    const auto text = [&](const char* name, const std::optional<std::string>& value) {
        if (value)
            *out << name << "=\"" << *value << "\" ";
    };
    const auto number = [&](const char* name, const auto& value) {
        if (value)
            *out << name << "=" << *value << " ";
    };
    *out << "{ ";
    text("title", state.title), text("artist", state.artist), text("album", state.album);
    text("genre", state.genre), text("composer", state.composer), text("bundle", state.bundleIdentifier);
    text("mediaType", state.mediaType), text("item", state.contentItemIdentifier);
    text("mime", state.artworkMimeType);
    number("duration", state.duration), number("elapsed", state.elapsed);
    if (state.elapsedAsOf)
        *out << "asOf=" << secondsSinceReferenceDate(*state.elapsedAsOf) << " ";
    number("track", state.trackNumber), number("queueIndex", state.queueIndex);
    number("queueCount", state.totalQueueCount);
    if (state.shuffle)
        *out << "shuffle=" << rawValue(*state.shuffle) << " ";
    if (state.repeatMode)
        *out << "repeat=" << rawValue(*state.repeatMode) << " ";
    if (state.artwork)
        *out << "artwork=" << state.artwork->size() << "B ";
    *out << "rate=" << state.playbackRate << (state.isPlaying ? " playing" : "") << (state.isMusicApp ? " music" : "")
         << " }";
}

namespace {

using namespace std::chrono_literals;

constexpr Date t0 = kReferenceDate + 5000s;

NowPlayingState made(const std::function<void(NowPlayingState&)>& fill)
{
    NowPlayingState state;
    fill(state);
    return state;
}

std::string line(std::string_view json)
{
    return std::string(json) + "\n";
}

TEST(NowPlayingIngest, FoldsLinesByTheProtocol)
{
    struct Row {
        const char* why;
        // Read i arrives at t0 + i seconds.
        std::vector<std::string> reads;
        std::vector<std::size_t> statesPerRead;
        std::vector<NowPlayingState> states;
        std::vector<std::string> traces;
    };
    const auto titled = [](const char* title) { return made([&](auto& s) { s.title = title; }); };
    const Row rows[] = {
        {"a read ending mid-line yields nothing until the newline arrives",
         {R"({"payload":{"ti)", line(R"(tle":"A"}})")},
         {0, 1},
         {titled("A")},
         {}},
        {"two lines in one read yield two states in order",
         {line(R"({"payload":{"title":"A"}})") + line(R"({"payload":{"title":"B"}})")},
         {2},
         {titled("A"), titled("B")},
         {}},
        {"blank lines are skipped without a trace",
         {"\n\n" + line(R"({"payload":{"title":"A"}})") + "\n"},
         {1},
         {titled("A")},
         {}},
        {"every accepted line yields, even when nothing changed",
         {line(R"({"payload":{"title":"A"}})"), line(R"({"diff":true,"payload":{}})")},
         {1, 1},
         {titled("A"), titled("A")},
         {}},
        {"a top-level array is a parse failure, not a missing payload",
         {line("[1,2]")},
         {0},
         {},
         {"ingest: JSON parse FAILED for 5 bytes"}},
        {"a top-level string and plain text fail to parse",
         {line(R"("x")") + line("hello")},
         {0},
         {},
         {"ingest: JSON parse FAILED for 3 bytes", "ingest: JSON parse FAILED for 5 bytes"}},
        {"trailing text after the object fails the whole line",
         {line(R"({"payload":{"title":"A"}} x)")},
         {0},
         {},
         {"ingest: JSON parse FAILED for 27 bytes"}},
        {"invalid UTF-8 inside a string fails the line",
         {line("{\"payload\":{\"title\":\"\xff\"}}")},
         {0},
         {},
         {"ingest: JSON parse FAILED for 25 bytes"}},
        {"an object whose only key is diff has no payload",
         {line(R"({"diff":true})")},
         {0},
         {},
         {R"(ingest: no payload key; keys=["diff"])"}},
        {"a payload that is not an object; keys listed sorted",
         {line(R"({"payload":[],"b":1,"a\"q":2})")},
         {0},
         {},
         {R"(ingest: no payload key; keys=["a\"q", "b", "payload"])"}},
        {"a diff merges; a replacement starts from the empty state",
         {line(R"({"payload":{"title":"A","artist":"X","album":"Y"}})"),
          line(R"({"diff":true,"payload":{"title":"B"}})"),
          line(R"({"payload":{"title":"C"}})")},
         {1, 1, 1},
         {made([](auto& s) { s.title = "A", s.artist = "X", s.album = "Y"; }),
          made([](auto& s) { s.title = "B", s.artist = "X", s.album = "Y"; }), titled("C")},
         {}},
        {"diff that is not a Boolean replaces",
         {line(R"({"payload":{"title":"A","artist":"X"}})"), line(R"({"diff":1,"payload":{"title":"C"}})"),
          line(R"({"diff":"true","payload":{"album":"D"}})")},
         {1, 1, 1},
         {made([](auto& s) { s.title = "A", s.artist = "X"; }), titled("C"), made([](auto& s) { s.album = "D"; })},
         {}},
        {"a diff with only the elapsed time keeps the rest and restamps it",
         {line(R"({"payload":{"title":"A","artworkData":"AQID","elapsedTime":5,"playbackRate":1}})"),
          line(R"({"diff":true,"payload":{"elapsedTime":9.5}})")},
         {1, 1},
         {made([](auto& s) {
              s.title = "A", s.artwork = ArtworkBytes({1, 2, 3}), s.elapsed = 5, s.elapsedAsOf = t0, s.playbackRate = 1;
          }),
          made([](auto& s) {
              s.title = "A", s.artwork = ArtworkBytes({1, 2, 3}), s.elapsed = 9.5, s.elapsedAsOf = t0 + 1s,
              s.playbackRate = 1;
          })},
         {}},
        {"an elapsed time that is not a number clears it but still stamps the time",
         {line(R"({"payload":{"elapsedTime":null}})")},
         {1},
         {made([](auto& s) { s.elapsedAsOf = t0; })},
         {}},
        {"texts: null and other types clear",
         {line(R"({"payload":{"title":"A","artist":"B","album":"C","genre":"G"}})"),
          line(R"({"diff":true,"payload":{"title":null,"artist":7,"album":{"x":1}}})")},
         {1, 1},
         {made([](auto& s) { s.title = "A", s.artist = "B", s.album = "C", s.genre = "G"; }),
          made([](auto& s) { s.genre = "G"; })},
         {}},
        {"artwork: valid Base64, padded, then a number leaves it, then invalid clears it",
         {line(R"({"payload":{"artworkData":"AQ=="}})"), line(R"({"diff":true,"payload":{"artworkData":42}})"),
          line(R"({"diff":true,"payload":{"artworkData":"AQI"}})")},
         {1, 1, 1},
         {made([](auto& s) { s.artwork = ArtworkBytes({1}); }), made([](auto& s) { s.artwork = ArtworkBytes({1}); }),
          NowPlayingState{}},
         {}},
        {"artwork: stray characters, blanks or padding inside are not Base64; null clears; empty is empty",
         {line(R"({"payload":{"artworkData":"A?=="}})"), line(R"({"payload":{"artworkData":"AQ ID   "}})"),
          line(R"({"payload":{"artworkData":"AQ==AQID"}})"), line(R"({"payload":{"artworkData":""}})"),
          line(R"({"diff":true,"payload":{"artworkData":null}})")},
         {1, 1, 1, 1, 1},
         {NowPlayingState{}, NowPlayingState{}, NowPlayingState{}, made([](auto& s) { s.artwork = ArtworkBytes(std::vector<std::uint8_t>{}); }),
          NowPlayingState{}},
         {}},
        {"modes: exact raw texts only",
         {line(R"({"payload":{"shuffleMode":"items","repeatMode":"one"}})"),
          line(R"({"payload":{"shuffleMode":"Items","repeatMode":3}})"),
          line(R"({"payload":{"shuffleMode":"unknown","repeatMode":"all"}})")},
         {1, 1, 1},
         {made([](auto& s) { s.shuffle = ShuffleMode::items, s.repeatMode = RepeatMode::one; }), NowPlayingState{},
          made([](auto& s) { s.shuffle = ShuffleMode::unknown, s.repeatMode = RepeatMode::all; })},
         {}},
        {"flags: true or the number 1; anything else is false",
         {line(R"({"payload":{"playing":true,"isMusicApp":1}})"),
          line(R"({"payload":{"playing":"true","isMusicApp":2}})"), line(R"({"payload":{"playing":1.0}})")},
         {1, 1, 1},
         {made([](auto& s) { s.isPlaying = true, s.isMusicApp = true; }), NowPlayingState{},
          made([](auto& s) { s.isPlaying = true; })},
         {}},
        {"numbers: Booleans count as 1 and 0, a missing rate is 0, integers keep their whole part",
         {line(R"({"payload":{"duration":true,"playbackRate":"1","trackNumber":3.9,"queueIndex":-2.5,)"
               R"("totalQueueCount":false}})")},
         {1},
         {made([](auto& s) {
             s.duration = 1, s.playbackRate = 0, s.trackNumber = 3, s.queueIndex = -2, s.totalQueueCount = 0;
         })},
         {}},
        {"integers beyond 64 bits or of another type are absent",
         {line(R"({"payload":{"trackNumber":1e19,"queueIndex":-1e300,"totalQueueCount":"3"}})")},
         {1},
         {NowPlayingState{}},
         {}},
        {"every text field",
         {line(R"({"payload":{"genre":"g","composer":"c","bundleIdentifier":"b","mediaType":"m",)"
               R"("contentItemIdentifier":"i","artworkMimeType":"image/png"}})")},
         {1},
         {made([](auto& s) {
             s.genre = "g", s.composer = "c", s.bundleIdentifier = "b", s.mediaType = "m",
             s.contentItemIdentifier = "i", s.artworkMimeType = "image/png";
         })},
         {}},
        {"a bad line leaves the state as it was",
         {line(R"({"payload":{"title":"A"}})"), line("{oops"), line(R"({"diff":true,"payload":{"artist":"B"}})")},
         {1, 0, 1},
         {titled("A"), made([](auto& s) { s.title = "A", s.artist = "B"; })},
         {"ingest: JSON parse FAILED for 5 bytes"}},
        {"a repeated key: the last one counts",
         {line(R"({"payload":{"title":"A"},"payload":{"artist":"B"}})")},
         {1},
         {made([](auto& s) { s.artist = "B"; })},
         {}},
        {"unknown keys and nested values are ignored",
         {line(R"({"payload":{"title":"A","extra":{"deep":[1,{"title":"no"}]}},"other":[{"payload":1}]})")},
         {1},
         {titled("A")},
         {}},
        {"a carriage return before the newline is whitespace",
         {"{\"payload\":{\"title\":\"A\"}}\r\n"},
         {1},
         {titled("A")},
         {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        NowPlayingIngest ingest;
        std::vector<NowPlayingState> states;
        std::vector<std::string> traces;
        for (std::size_t i = 0; i < row.reads.size(); ++i) {
            auto result = ingest.ingest(row.reads[i], t0 + std::chrono::seconds(i));
            if (i < row.statesPerRead.size()) {
                EXPECT_EQ(result.states.size(), row.statesPerRead[i]) << "read " << i;
            }
            states.insert(states.end(), result.states.begin(), result.states.end());
            traces.insert(traces.end(), result.traces.begin(), result.traces.end());
        }
        EXPECT_EQ(states, row.states);
        EXPECT_EQ(traces, row.traces);
        if (!states.empty()) {
            EXPECT_EQ(ingest.state(), states.back());
        }
    }
}

// Commands go back to the player a state came from, so the player has to
// follow the state line by line: a replacement names it anew, a diff keeps it.
TEST(NowPlayingIngest, RemembersThePlayerTheStateComesFrom)
{
    struct Row {
        const char* why;
        std::vector<std::string> lines;
        std::optional<std::string> player;
    };
    const Row rows[] = {
        {"a replacement names it", {R"({"payload":{"title":"A","player":"org.mpris.MediaPlayer2.a"}})"},
         "org.mpris.MediaPlayer2.a"},
        {"a diff without it keeps it",
         {R"({"payload":{"title":"A","player":"org.mpris.MediaPlayer2.a"}})", R"({"diff":true,"payload":{"title":"B"}})"},
         "org.mpris.MediaPlayer2.a"},
        {"a replacement without it forgets it",
         {R"({"payload":{"player":"org.mpris.MediaPlayer2.a"}})", R"({"payload":{"title":"B"}})"}, std::nullopt},
        {"the empty replacement of no player forgets it",
         {R"({"payload":{"player":"org.mpris.MediaPlayer2.a"}})", R"({"diff":false,"payload":{}})"}, std::nullopt},
        {"a diff may name another",
         {R"({"payload":{"player":"org.mpris.MediaPlayer2.a"}})",
          R"({"diff":true,"payload":{"player":"org.mpris.MediaPlayer2.b"}})"},
         "org.mpris.MediaPlayer2.b"},
        {"null or another type clears it",
         {R"({"payload":{"player":"org.mpris.MediaPlayer2.a"}})", R"({"diff":true,"payload":{"player":7}})"},
         std::nullopt},
        {"a bad line leaves it",
         {R"({"payload":{"player":"org.mpris.MediaPlayer2.a"}})", "{oops", R"({"diff":1})"},
         "org.mpris.MediaPlayer2.a"},
        {"outside the payload it does not count", {R"({"player":"org.mpris.MediaPlayer2.a","payload":{}})"},
         std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        NowPlayingIngest ingest;
        for (const auto& text : row.lines)
            ingest.ingest(line(text), t0);
        EXPECT_EQ(ingest.player(), row.player);
    }

    NowPlayingIngest named;
    const auto result = named.ingest(line(R"({"payload":{"title":"A","player":"org.mpris.MediaPlayer2.a"}})"), t0);
    ASSERT_EQ(result.states.size(), 1u);
    EXPECT_EQ(result.states[0], made([](auto& s) { s.title = "A"; })) << "the player is not part of the state";
}

TEST(NowPlayingIngest, DropsALineThatGrowsPastTheLimitOnceAndReadsOn)
{
    NowPlayingIngest ingest(32);
    auto result = ingest.ingest(std::string(20, 'x'), t0);
    EXPECT_TRUE(result.traces.empty());
    EXPECT_EQ(ingest.bufferedBytes(), 20u);

    result = ingest.ingest(std::string(20, 'x'), t0);
    EXPECT_EQ(result.traces, std::vector<std::string>{"ingest: line over 32 bytes dropped"});
    EXPECT_EQ(ingest.bufferedBytes(), 0u) << "the dropped line's bytes are let go at once";

    result = ingest.ingest(std::string(100, 'x'), t0);
    EXPECT_TRUE(result.traces.empty()) << "one trace per dropped line";
    EXPECT_EQ(ingest.bufferedBytes(), 0u);

    result = ingest.ingest("tail of the long line\n" + line(R"({"payload":{"title":"A"}})"), t0);
    EXPECT_TRUE(result.traces.empty());
    ASSERT_EQ(result.states.size(), 1u);
    EXPECT_EQ(result.states[0].title, "A");

    const std::string exactlyAtLimit = R"({"payload":{"title":"01234567"}})";
    ASSERT_EQ(exactlyAtLimit.size(), 32u);
    result = ingest.ingest(line(exactlyAtLimit) + line(R"({"payload":{"title":"012345678"}})"), t0);
    ASSERT_EQ(result.states.size(), 1u) << "a line of exactly the limit is kept";
    EXPECT_EQ(result.states[0].title, "01234567");
    EXPECT_EQ(result.traces, std::vector<std::string>{"ingest: line over 32 bytes dropped"})
        << "a complete line over the limit in one read is dropped too";
}

TEST(NowPlayingIngest, ManyKeysMakeABoundedTraceMessage)
{
    std::string json = "{";
    for (int i = 0; i < 5000; ++i)
        json += (i ? "," : "") + std::string("\"key") + std::to_string(100000 + i) + "\":" + std::to_string(i);
    json += "}";
    const auto parsed = NowPlayingUpdate::parse(json);
    ASSERT_FALSE(parsed);
    EXPECT_LT(parsed.error().size(), 1200u);
    EXPECT_EQ(parsed.error().rfind(R"(ingest: no payload key; keys=["key100000", "key100001", )", 0), 0u);
    EXPECT_TRUE(parsed.error().ends_with(", …]"));
}

// Random bytes, endless lines and deeply nested JSON go through the reader
// (under the sanitizers in the test build): nothing crashes, the buffer stays
// within its limit and a good line afterwards still counts.
TEST(NowPlayingIngest, SurvivesMalformedInputWithBoundedMemory)
{
    NowPlayingIngest ingest;
    const auto limit = NowPlayingLineBuffer::kMaxLineBytes;
    std::mt19937 random(20240521);

    for (int read = 0; read < 400; ++read) {
        std::string bytes(std::uniform_int_distribution<std::size_t>(1, 16384)(random), '\0');
        for (auto& byte : bytes) {
            byte = static_cast<char>(random());
            // Make some lines look like JSON, so the parser gets past the first byte.
            if (std::uniform_int_distribution<int>(0, 200)(random) == 0)
                byte = '\n';
        }
        if (read % 7 == 0)
            bytes = R"({"payload":{"title":)" + bytes;
        ingest.ingest(bytes, t0);
        ASSERT_LE(ingest.bufferedBytes(), limit);
    }

    // 40 MiB without a newline, in 1 MiB reads.
    const std::string chunk(1024 * 1024, 'y');
    std::size_t drops = 0;
    ingest.ingest("\n", t0);
    for (int i = 0; i < 40; ++i) {
        drops += ingest.ingest(chunk, t0).traces.size();
        ASSERT_LE(ingest.bufferedBytes(), limit);
    }
    EXPECT_EQ(drops, 1u);
    ingest.ingest("\n", t0);

    // Nesting far deeper than any recursive parser's stack would take.
    const std::size_t depth = 1'000'000;
    const std::string deepArray = std::string(depth, '[') + std::string(depth, ']');
    auto result = ingest.ingest(line(deepArray), t0);
    EXPECT_EQ(result.traces, std::vector<std::string>{"ingest: JSON parse FAILED for 2000000 bytes"});
    const std::string deepPayload =
        R"({"payload":{"title":"deep","genre":)" + std::string(depth, '[') + std::string(depth, ']') + "}}";
    result = ingest.ingest(line(deepPayload), t0);
    ASSERT_EQ(result.states.size(), 1u);
    EXPECT_EQ(result.states[0].title, "deep");
    EXPECT_EQ(result.states[0].genre, std::nullopt);
    result = ingest.ingest(line(std::string(depth, '{')), t0);
    EXPECT_EQ(result.traces.size(), 1u);

    result = ingest.ingest(line(R"({"payload":{"title":"after"}})"), t0);
    ASSERT_EQ(result.states.size(), 1u);
    EXPECT_EQ(result.states[0].title, "after");
}

} // namespace
