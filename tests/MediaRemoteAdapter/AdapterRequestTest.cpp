#include "AdapterRequest.h"

#include <gtest/gtest.h>

namespace {

namespace ar = AdapterRequest;
using ar::Request, ar::Stream, ar::Send, ar::Seek, ar::SetShuffle, ar::SetRepeat, ar::SetSpeed, ar::Transport;

TEST(AdapterRequest, ReadsTheCommandLines)
{
    struct Row {
        QStringList arguments;
        std::optional<Request> expected;
    };
    const auto same = [](const Request& a, const Request& b) {
        if (a.index() != b.index())
            return false;
        if (const auto* stream = std::get_if<Stream>(&a))
            return stream->debounceMilliseconds == std::get<Stream>(b).debounceMilliseconds;
        if (const auto* test = std::get_if<ar::Test>(&a))
            return test->client == std::get<ar::Test>(b).client;
        if (const auto* send = std::get_if<Send>(&a))
            return send->transport == std::get<Send>(b).transport;
        if (const auto* seek = std::get_if<Seek>(&a))
            return seek->microseconds == std::get<Seek>(b).microseconds;
        if (const auto* shuffle = std::get_if<SetShuffle>(&a))
            return shuffle->on == std::get<SetShuffle>(b).on;
        if (const auto* repeat = std::get_if<SetRepeat>(&a))
            return repeat->loopStatus == std::get<SetRepeat>(b).loopStatus;
        return std::get<SetSpeed>(a).rate == std::get<SetSpeed>(b).rate;
    };
    const Row rows[] = {
        {{"fw", "stream", "--debounce=120"}, Stream{120}},
        {{"fw", "stream"}, Stream{120}},
        {{"fw", "stream", "--debounce=0"}, Stream{0}},
        {{"fw", "stream", "--debounce=-5"}, std::nullopt},
        {{"fw", "stream", "--debounce=fast"}, std::nullopt},
        {{"fw", "stream", "--verbose"}, std::nullopt},
        {{"fw", "/r/MediaRemoteAdapterTestClient", "test"}, ar::Test{"/r/MediaRemoteAdapterTestClient"}},
        {{"fw", "send", "0"}, Send{Transport::play}},
        {{"fw", "send", "1"}, Send{Transport::pause}},
        {{"fw", "send", "2"}, Send{Transport::toggle}},
        {{"fw", "send", "4"}, Send{Transport::next}},
        {{"fw", "send", "5"}, Send{Transport::previous}},
        {{"fw", "send", "3"}, std::nullopt},
        {{"fw", "send"}, std::nullopt},
        {{"fw", "seek", "12.500"}, Seek{12'500'000}},
        {{"fw", "seek", "0.0000004"}, Seek{0}},
        {{"fw", "seek", "-3"}, Seek{0}},
        {{"fw", "seek", "12,5"}, std::nullopt},
        {{"fw", "seek", "inf"}, std::nullopt},
        {{"fw", "seek", "1e300"}, std::nullopt},
        {{"fw", "shuffle", "items"}, SetShuffle{true}},
        {{"fw", "shuffle", "collections"}, SetShuffle{true}},
        {{"fw", "shuffle", "off"}, SetShuffle{false}},
        {{"fw", "shuffle", "unknown"}, std::nullopt},
        {{"fw", "repeat", "off"}, SetRepeat{"None"}},
        {{"fw", "repeat", "one"}, SetRepeat{"Track"}},
        {{"fw", "repeat", "all"}, SetRepeat{"Playlist"}},
        {{"fw", "repeat", "Track"}, std::nullopt},
        {{"fw", "speed", "1.25"}, SetSpeed{1.25}},
        {{"fw", "speed", "0"}, std::nullopt},
        {{"fw"}, std::nullopt},
        {{"fw", "play"}, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const auto parsed = ar::parse(row.arguments);
        ASSERT_EQ(parsed.has_value(), row.expected.has_value());
        if (parsed) {
            EXPECT_TRUE(same(*parsed, *row.expected));
        }
    }
}

} // namespace
