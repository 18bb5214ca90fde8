#include "Platform/Network/WebService.h"

#include <cmath>

namespace WebService {

QUrl baseURL(const Environment::Lookup& environment, const char* variable, const char* fallback)
{
    if (const auto configured = environment(variable); configured && !configured->empty()) {
        const QUrl url(QString::fromStdString(*configured), QUrl::StrictMode);
        if (url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")))
            return url;
    }
    return QUrl(QString::fromLatin1(fallback));
}

QUrl endpoint(const QUrl& base, const QString& relative)
{
    QUrl url = base;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + relative);
    return url;
}

bool isPlaceOnEarth(double latitude, double longitude)
{
    return std::isfinite(latitude) && std::isfinite(longitude) && std::abs(latitude) <= 90 &&
           std::abs(longitude) <= 180;
}

bool isSuccess(const Expected<HttpAnswer, HttpFailure>& result)
{
    return result && result->status >= 200 && result->status <= 299;
}

} // namespace WebService
