#include "Platform/Network/HttpTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <map>
#include <optional>

namespace {

class QtHttpTransport final : public HttpTransport {
public:
    QtHttpTransport(Scheduler& scheduler, Duration timeout, qint64 maximumBytes)
        : m_scheduler(scheduler), m_timeout(timeout), m_maximumBytes(maximumBytes)
    {
    }

    ~QtHttpTransport() override
    {
        for (auto& [reply, pending] : m_pending) {
            pending.timeout.cancel();
            reply->disconnect(&m_context);
            reply->abort();
            reply->deleteLater();
        }
    }

    void get(const HttpRequest& request, HttpClient::Completion completion) override
    {
        QNetworkRequest networkRequest(request.url);
        for (const auto& [name, value] : request.headers)
            networkRequest.setRawHeader(name, value);
        networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                    QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkReply* reply = m_manager.get(networkRequest);
        auto& pending = m_pending[reply];
        pending.completion = std::move(completion);
        pending.timeout = m_scheduler.after(m_timeout, [this, reply] {
            const auto found = m_pending.find(reply);
            if (found == m_pending.end())
                return;
            found->second.abortedFor = HttpFailure::Kind::timedOut;
            reply->abort();
        });
        QObject::connect(reply, &QNetworkReply::downloadProgress, &m_context,
                         [this, reply](qint64 received, qint64 total) {
                             if (received <= m_maximumBytes && total <= m_maximumBytes)
                                 return;
                             const auto found = m_pending.find(reply);
                             if (found == m_pending.end() || found->second.abortedFor)
                                 return;
                             found->second.abortedFor = HttpFailure::Kind::tooLarge;
                             reply->abort();
                         });
        QObject::connect(reply, &QNetworkReply::finished, &m_context, [this, reply] { finish(reply); });
    }

    std::size_t pendingCount() const override { return m_pending.size(); }

private:
    struct Pending {
        HttpClient::Completion completion;
        ScheduledTask timeout;
        std::optional<HttpFailure::Kind> abortedFor;
    };

    void finish(QNetworkReply* reply)
    {
        const auto found = m_pending.find(reply);
        if (found == m_pending.end())
            return;
        Pending pending = std::move(found->second);
        m_pending.erase(found);
        pending.timeout.cancel();
        reply->deleteLater();

        Expected<HttpAnswer, HttpFailure> result = unexpected(HttpFailure{});
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (pending.abortedFor) {
            result = unexpected(HttpFailure{*pending.abortedFor, {}});
        } else if (status.isValid()) {
            QByteArray body = reply->readAll();
            if (body.size() > m_maximumBytes)
                result = unexpected(HttpFailure{HttpFailure::Kind::tooLarge, {}});
            else
                result = HttpAnswer{status.toInt(), std::move(body)};
        } else {
            result = unexpected(HttpFailure{HttpFailure::Kind::unreachable, reply->errorString().toStdString()});
        }
        pending.completion(std::move(result));
    }

    Scheduler& m_scheduler;
    Duration m_timeout;
    qint64 m_maximumBytes;
    QNetworkAccessManager m_manager;
    std::map<QNetworkReply*, Pending> m_pending;
    // Receives the replies' signals; declared last so it goes first and no
    // signal reaches a half-destroyed transport.
    QObject m_context;
};

} // namespace

extern "C" __attribute__((visibility("default"))) HttpTransport* vudeMakeHttpTransport(Scheduler& scheduler,
                                                                                      Duration timeout,
                                                                                      qint64 maximumBytes)
{
    return new QtHttpTransport(scheduler, timeout, maximumBytes);
}
