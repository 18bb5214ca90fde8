#include "Platform/Network/NominatimReverseGeocoder.h"

#include "Platform/Network/WebService.h"
#include "VudeKit/Numbers.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QUrlQuery>

namespace {

constexpr auto kUnreadable = "The place-name service sent an answer that could not be read.";
// Nominatim's city level: towns and villages too, no streets.
constexpr auto kZoom = "10";

std::optional<std::string> firstOf(const QJsonObject& address, std::initializer_list<const char*> keys)
{
    for (const char* key : keys) {
        const QString value = address.value(QLatin1String(key)).toString().trimmed();
        if (!value.isEmpty())
            return value.toStdString();
    }
    return std::nullopt;
}

std::string describe(const Expected<HttpAnswer, HttpFailure>& result)
{
    if (!result) {
        if (result.error().kind == HttpFailure::Kind::timedOut)
            return "The place-name service did not answer in time.";
        return "The place-name service could not be reached.";
    }
    return "The place-name service answered with an error (HTTP " + formatInteger(result->status) + ").";
}

} // namespace

NominatimReverseGeocoder::NominatimReverseGeocoder(QUrl baseURL, QString languages, Scheduler& scheduler,
                                                   Duration timeout)
    : m_baseURL(std::move(baseURL)), m_languages(std::move(languages)), m_client(scheduler, timeout)
{
}

std::unique_ptr<NominatimReverseGeocoder> NominatimReverseGeocoder::forSystem(Scheduler& scheduler,
                                                                             const Environment::Lookup& environment)
{
    const QUrl base = WebService::baseURL(environment, baseURLVariable, defaultBaseURL);
    return std::make_unique<NominatimReverseGeocoder>(base, QLocale::system().uiLanguages().join(QLatin1Char(',')),
                                                      scheduler);
}

QUrl NominatimReverseGeocoder::reverseURL(double latitude, double longitude) const
{
    QUrl url = WebService::endpoint(m_baseURL, QStringLiteral("reverse"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("format"), QStringLiteral("jsonv2"));
    query.addQueryItem(QStringLiteral("lat"), QString::fromStdString(formatFixed(latitude, 4)));
    query.addQueryItem(QStringLiteral("lon"), QString::fromStdString(formatFixed(longitude, 4)));
    query.addQueryItem(QStringLiteral("zoom"), QLatin1String(kZoom));
    query.addQueryItem(QStringLiteral("addressdetails"), QStringLiteral("1"));
    url.setQuery(query);
    return url;
}

void NominatimReverseGeocoder::reverseGeocode(double latitude, double longitude, Completion completion)
{
    if (!WebService::isPlaceOnEarth(latitude, longitude)) {
        completion(unexpected(std::string(WebService::kNotOnEarth)));
        return;
    }
    HttpRequest request{reverseURL(latitude, longitude),
                        {{"Accept", "application/json"}, {"User-Agent", "Vude (desktop panel)"}}};
    if (!m_languages.isEmpty())
        request.headers.emplace_back("Accept-Language", m_languages.toUtf8());
    m_client.get(request, [completion = std::move(completion)](Expected<HttpAnswer, HttpFailure> result) {
        if (!WebService::isSuccess(result)) {
            completion(unexpected(describe(result)));
            return;
        }
        completion(parseAnswer(result->body));
    });
}

Expected<std::vector<Placemark>, std::string> NominatimReverseGeocoder::parseAnswer(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return unexpected(std::string(kUnreadable));
    const QJsonObject root = document.object();
    // "Unable to geocode": the sea, the poles.
    if (root.contains(QStringLiteral("error")))
        return std::vector<Placemark>{};
    if (!root.value(QStringLiteral("address")).isObject())
        return unexpected(std::string(kUnreadable));
    const QJsonObject address = root.value(QStringLiteral("address")).toObject();
    return std::vector<Placemark>{{firstOf(address, {"city", "town", "village", "municipality", "hamlet"}),
                                   firstOf(address, {"state", "province", "region", "county"})}};
}
