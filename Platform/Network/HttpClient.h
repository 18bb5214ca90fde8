#pragma once
// GET requests for the app's small web services, whose answers are JSON of a
// few kilobytes. Every request has a time limit (run by the Scheduler, so tests
// drive it) and a size limit; its completion runs on the main thread exactly
// once, unless the client is destroyed first, which cancels what is pending.
// The network code is opened at the first request (HttpTransport), so a
// client costs nothing until it is used.

#include "VudeKit/Expected.h"
#include "VudeKit/Scheduler.h"

#include <QByteArray>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class HttpTransport;

struct HttpRequest {
    QUrl url;
    /// Raw header lines, name and value.
    std::vector<std::pair<QByteArray, QByteArray>> headers;
};

/// Any answer the server gave, whatever its status.
struct HttpAnswer {
    int status = 0;
    QByteArray body;
};

/// No answer to read.
struct HttpFailure {
    enum class Kind { unreachable, timedOut, tooLarge };
    Kind kind = Kind::unreachable;
    /// The network's own words for an unreachable server ("Connection
    /// refused"), or why the network code could not be loaded.
    std::string detail;

    bool operator==(const HttpFailure&) const = default;
};

class HttpClient {
public:
    static constexpr Duration defaultTimeout = std::chrono::seconds(30);
    static constexpr qint64 defaultMaximumBytes = 1 << 20;

    using Completion = std::function<void(Expected<HttpAnswer, HttpFailure>)>;

    explicit HttpClient(Scheduler& scheduler, Duration timeout = defaultTimeout,
                        qint64 maximumBytes = defaultMaximumBytes);
    ~HttpClient();

    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    /// When the network code cannot be loaded, completes at once as
    /// unreachable, with the loader's message.
    void get(const HttpRequest& request, Completion completion);

    /// Requests sent and not yet completed.
    std::size_t pendingCount() const;

private:
    Scheduler& m_scheduler;
    Duration m_timeout;
    qint64 m_maximumBytes;
    std::unique_ptr<HttpTransport> m_transport;
};
