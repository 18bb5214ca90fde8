#pragma once
// What HttpClient sends its requests through: Qt Network, which only the
// weather and its place names use. It lives in the module
// "vude-location.so" (Core/LoadableModule.h), beside the location source, and
// is opened at the first request.

#include "Platform/Network/HttpClient.h"

#include <memory>
#include <string>

class HttpTransport {
public:
    virtual ~HttpTransport() = default;

    /// A transport with HttpClient's limits, or the module's loader's
    /// message. Main thread.
    static Expected<std::unique_ptr<HttpTransport>, std::string> make(Scheduler& scheduler, Duration timeout,
                                                                      qint64 maximumBytes);

    /// As HttpClient::get.
    virtual void get(const HttpRequest& request, HttpClient::Completion completion) = 0;
    virtual std::size_t pendingCount() const = 0;
};
