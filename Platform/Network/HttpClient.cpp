#include "Platform/Network/HttpClient.h"

#include "Platform/Network/HttpTransport.h"

HttpClient::HttpClient(Scheduler& scheduler, Duration timeout, qint64 maximumBytes)
    : m_scheduler(scheduler), m_timeout(timeout), m_maximumBytes(maximumBytes)
{
}

HttpClient::~HttpClient() = default;

void HttpClient::get(const HttpRequest& request, Completion completion)
{
    if (!m_transport) {
        auto transport = HttpTransport::make(m_scheduler, m_timeout, m_maximumBytes);
        if (!transport) {
            completion(unexpected(HttpFailure{HttpFailure::Kind::unreachable, transport.error()}));
            return;
        }
        m_transport = std::move(*transport);
    }
    m_transport->get(request, std::move(completion));
}

std::size_t HttpClient::pendingCount() const
{
    return m_transport ? m_transport->pendingCount() : 0;
}
