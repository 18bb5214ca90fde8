#include "Platform/Network/HttpTransport.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" HttpTransport* vudeMakeHttpTransport(Scheduler& scheduler, Duration timeout, qint64 maximumBytes)
    __attribute__((weak));

Expected<std::unique_ptr<HttpTransport>, std::string> HttpTransport::make(Scheduler& scheduler, Duration timeout,
                                                                          qint64 maximumBytes)
{
    static const auto entry =
        LoadableModule::entry(vudeMakeHttpTransport, "vude-location.so", "vudeMakeHttpTransport");
    if (!entry)
        return unexpected(entry.error());
    return std::unique_ptr<HttpTransport>((*entry)(scheduler, timeout, maximumBytes));
}
