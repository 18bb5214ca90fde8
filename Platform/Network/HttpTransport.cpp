#include "Platform/Network/HttpTransport.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" HttpTransport* vudeMakeHttpTransport(Scheduler& scheduler, Duration timeout, qint64 maximumBytes)
    __attribute__((weak));

Expected<std::unique_ptr<HttpTransport>, std::string> HttpTransport::make(Scheduler& scheduler, Duration timeout,
                                                                          qint64 maximumBytes)
{
    using Entry = decltype(&vudeMakeHttpTransport);
    static const Expected<Entry, std::string> entry = []() -> Expected<Entry, std::string> {
        if (vudeMakeHttpTransport)
            return &vudeMakeHttpTransport;
        auto address = LoadableModule::symbol("vude-location.so", "vudeMakeHttpTransport");
        if (!address)
            return unexpected(address.error());
        return reinterpret_cast<Entry>(*address);
    }();
    if (!entry)
        return unexpected(entry.error());
    return std::unique_ptr<HttpTransport>((*entry)(scheduler, timeout, maximumBytes));
}
