#pragma once
// What the clients of the app's small web services share: where to reach
// them, which positions to ask about, which answers count.

#include "Platform/Core/Environment.h"
#include "Platform/Network/HttpClient.h"

#include <QString>
#include <QUrl>

namespace WebService {

inline constexpr auto kNotOnEarth = "The position is not a place on Earth.";

/// The http or https URL in `variable` (for tests and self-hosted servers),
/// else `fallback`.
QUrl baseURL(const Environment::Lookup& environment, const char* variable, const char* fallback);

/// `base` with `relative` appended to its path.
QUrl endpoint(const QUrl& base, const QString& relative);

/// Whether the coordinates name a place on Earth (finite, within range).
bool isPlaceOnEarth(double latitude, double longitude);

/// Whether the server answered, and with a 2xx status.
bool isSuccess(const Expected<HttpAnswer, HttpFailure>& result);

} // namespace WebService
