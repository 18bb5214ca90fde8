#include "Platform/Network/HttpClient.h"

#include "LoopbackHttpServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <optional>

using namespace std::chrono_literals;
using testsupport::LoopbackHttpServer;

namespace {

using Result = Expected<HttpAnswer, HttpFailure>;

class HttpClientTest : public ::testing::Test {
protected:
    HttpRequest request(const QString& path = QStringLiteral("/data")) const
    {
        QUrl url = server.baseURL();
        url.setPath(path);
        return HttpRequest{url, {}};
    }

    /// Sends one GET and waits for its completion.
    Result fetch(HttpRequest req)
    {
        std::optional<Result> result;
        int calls = 0;
        client.get(std::move(req), [&](Result r) {
            ++calls;
            result = std::move(r);
        });
        EXPECT_TRUE(testsupport::waitUntil([&] { return result.has_value(); }));
        testsupport::processEvents();
        EXPECT_EQ(calls, 1);
        return result.value_or(unexpected(HttpFailure{HttpFailure::Kind::unreachable, "no answer"}));
    }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    LoopbackHttpServer server;
    HttpClient client{scheduler, 30s, 4096};
};

TEST_F(HttpClientTest, AnyStatusComesBackWithItsBody)
{
    server.enqueue({200, "hello"});
    server.enqueue({500, "broken"});
    server.enqueue({404, ""});

    for (const auto& [status, body] : {std::pair{200, QByteArray("hello")}, std::pair{500, QByteArray("broken")},
                                       std::pair{404, QByteArray()}}) {
        SCOPED_TRACE(status);
        const Result result = fetch(request());
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->status, status);
        EXPECT_EQ(result->body, body);
    }
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].path(), "/data");
    EXPECT_EQ(client.pendingCount(), 0u);
}

TEST_F(HttpClientTest, ARefusedConnectionIsUnreachableInTheNetworksWords)
{
    server.close();
    const Result result = fetch(request());
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, HttpFailure::Kind::unreachable);
    EXPECT_EQ(result.error().detail, "Connection refused");
}

TEST_F(HttpClientTest, ASilentServerTimesOutOnTheSchedulersClock)
{
    server.enqueue(LoopbackHttpServer::Answer::none());
    std::optional<Result> result;
    client.get(request(), [&](Result r) { result = std::move(r); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.requests().size() == 1; }));

    scheduler.advance(30s - 1us);
    testsupport::processEvents();
    EXPECT_FALSE(result.has_value()) << "no answer is not yet a timeout";

    scheduler.advance(1us);
    ASSERT_TRUE(testsupport::waitUntil([&] { return result.has_value(); }));
    ASSERT_FALSE(result->has_value());
    EXPECT_EQ(result->error().kind, HttpFailure::Kind::timedOut);
    EXPECT_EQ(client.pendingCount(), 0u);
}

TEST_F(HttpClientTest, AnAnswerOverTheSizeLimitIsRefused)
{
    server.enqueue({200, QByteArray(4097, 'x')});
    server.enqueue({200, QByteArray(4096, 'x')});

    const Result tooLarge = fetch(request());
    ASSERT_FALSE(tooLarge.has_value());
    EXPECT_EQ(tooLarge.error().kind, HttpFailure::Kind::tooLarge);

    const Result atTheLimit = fetch(request());
    ASSERT_TRUE(atTheLimit.has_value());
    EXPECT_EQ(atTheLimit->body.size(), 4096);
}

TEST_F(HttpClientTest, ADestroyedClientNeverCompletes)
{
    server.enqueue(LoopbackHttpServer::Answer::none());
    int calls = 0;
    {
        HttpClient shortLived(scheduler, 30s);
        shortLived.get(request(), [&](const Result&) { ++calls; });
        ASSERT_TRUE(testsupport::waitUntil([&] { return server.requests().size() == 1; }));
    }
    scheduler.advance(60s);
    testsupport::waitUntil([] { return false; }, 50ms);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "the timeout went with the client";
}

} // namespace
