#pragma once
// GET requests for the app's small web services, whose answers are JSON of a
// few kilobytes. Every request has a time limit (run by the Scheduler, so tests
// drive it) and a size limit; its completion runs on the main thread exactly
// once, unless the client is destroyed first, which cancels what is pending.

#include "VudeKit/Expected.h"
#include "VudeKit/Scheduler.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QNetworkReply;

/// Any answer the server gave, whatever its status.
struct HttpAnswer {
    int status = 0;
    QByteArray body;
};

/// No answer to read.
struct HttpFailure {
    enum class Kind { unreachable, timedOut, tooLarge };
    Kind kind = Kind::unreachable;
    /// The network's own words for an unreachable server ("Connection refused").
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

    void get(QNetworkRequest request, Completion completion);

    /// Requests sent and not yet completed.
    std::size_t pendingCount() const { return m_pending.size(); }

private:
    struct Pending {
        Completion completion;
        ScheduledTask timeout;
        std::optional<HttpFailure::Kind> abortedFor;
    };
    void finish(QNetworkReply* reply);

    Scheduler& m_scheduler;
    Duration m_timeout;
    qint64 m_maximumBytes;
    QNetworkAccessManager m_manager;
    std::map<QNetworkReply*, Pending> m_pending;
    // Receives the replies' signals; declared last so it goes first and no
    // signal reaches a half-destroyed client.
    QObject m_context;
};
