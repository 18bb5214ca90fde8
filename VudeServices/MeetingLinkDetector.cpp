#include "VudeServices/MeetingLinkDetector.h"

#include <QRegularExpression>
#include <QString>

#include <array>

namespace {

// A company subdomain, or any longer name ending in the host.
constexpr const char* kPrefix = "[a-zA-Z0-9.-]*";
// The rest of a link: anything up to white space, an angle bracket or a quote.
constexpr const char* kRun = "[^\\s<>\"']+";

struct Shape {
    bool hasPrefix;
    const char* host; // with its dots escaped
    const char* path;
    const char* tail;
};

// In the order they are tried.
constexpr std::array kShapes{
    Shape{true, "zoom\\.us", "/j/", kRun},                          // Zoom
    Shape{true, "zoom\\.us", "/my/", kRun},                         // Zoom personal room
    Shape{false, "meet\\.google\\.com", "/", "[a-z-]+"},            // Google Meet
    Shape{false, "teams\\.microsoft\\.com", "/l/meetup-join/", kRun}, // Microsoft Teams
    Shape{false, "teams\\.live\\.com", "/meet/", kRun},              // Microsoft Teams, second host
    Shape{true, "webex\\.com", "/", kRun},                          // Webex
    Shape{false, "meet\\.jit\\.si", "/", kRun},                     // Jitsi Meet
    Shape{true, "whereby\\.com", "/", kRun},                        // Whereby
};

const std::array<QRegularExpression, kShapes.size()>& patterns()
{
    static const auto compiled = [] {
        std::array<QRegularExpression, kShapes.size()> result;
        for (std::size_t i = 0; i < kShapes.size(); ++i) {
            const Shape& shape = kShapes[i];
            const QString pattern = QStringLiteral("https://") +
                                    QString::fromLatin1(shape.hasPrefix ? kPrefix : "") +
                                    QString::fromLatin1(shape.host) + QString::fromLatin1(shape.path) +
                                    QString::fromLatin1(shape.tail);
            // Unicode properties, so that every kind of white space ends a
            // link, not only ASCII's.
            result[i] = QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption |
                                                        QRegularExpression::UseUnicodePropertiesOption);
            result[i].optimize();
        }
        return result;
    }();
    return compiled;
}

bool isTrimmed(QChar c)
{
    static const QString trimmed = QStringLiteral(".,;:)]}>\"'");
    return trimmed.contains(c);
}

QString trimPunctuation(QString text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isTrimmed(text[first]))
        ++first;
    while (last > first && isTrimmed(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

std::optional<QUrl> findIn(const QString& text)
{
    for (const QRegularExpression& pattern : patterns()) {
        const QRegularExpressionMatch match = pattern.match(text);
        if (!match.hasMatch())
            continue;
        const QUrl url(trimPunctuation(match.captured(0)), QUrl::StrictMode);
        if (url.isValid())
            return url;
    }
    return std::nullopt;
}

} // namespace

std::optional<QUrl> MeetingLinkDetector::findLink(std::string_view text)
{
    return findIn(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

bool MeetingLinkDetector::isMeetingLink(const QUrl& url) const
{
    return findIn(url.toString(QUrl::FullyEncoded)).has_value();
}

std::optional<QUrl> MeetingLinkDetector::detect(const std::optional<QUrl>& url, const std::optional<std::string>& notes,
                                                const std::optional<std::string>& location) const
{
    if (url && isMeetingLink(*url))
        return url;
    for (const auto* field : {&location, &notes})
        if (*field)
            if (auto link = findLink(**field))
                return link;
    return std::nullopt;
}
