#include "VudeServices/MeetingLinkDetector.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

std::optional<std::string> text(const std::optional<QUrl>& url)
{
    if (!url)
        return std::nullopt;
    return url->toString(QUrl::FullyEncoded).toStdString();
}

TEST(MeetingLinkDetector, FindsEachServiceTrimsAndKeepsFieldAndPatternOrder)
{
    struct Row {
        const char* why;
        std::optional<std::string> url;
        std::optional<std::string> notes;
        std::optional<std::string> location;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        // Each service.
        {"Zoom", {}, "Join https://zoom.us/j/123456789 now", {}, "https://zoom.us/j/123456789"},
        {"Zoom on a company subdomain", {}, "https://acme-corp.zoom.us/j/98765?pwd=Ab12", {},
         "https://acme-corp.zoom.us/j/98765?pwd=Ab12"},
        {"Zoom personal room", {}, "https://us02web.zoom.us/my/jane.doe", {}, "https://us02web.zoom.us/my/jane.doe"},
        {"Google Meet", {}, "Meet: https://meet.google.com/abc-defg-hij", {}, "https://meet.google.com/abc-defg-hij"},
        {"Microsoft Teams", {},
         "https://teams.microsoft.com/l/meetup-join/19%3ameeting_N2Q%40thread.v2/0?context=%7b%22Tid%22%7d", {},
         "https://teams.microsoft.com/l/meetup-join/19%3ameeting_N2Q%40thread.v2/0?context=%7b%22Tid%22%7d"},
        {"Microsoft Teams, second host", {}, "https://teams.live.com/meet/9312345678901", {},
         "https://teams.live.com/meet/9312345678901"},
        {"Webex", {}, "https://acme.webex.com/meet/jdoe", {}, "https://acme.webex.com/meet/jdoe"},
        {"Jitsi Meet", {}, "https://meet.jit.si/TeamSync", {}, "https://meet.jit.si/TeamSync"},
        {"Whereby", {}, "https://whereby.com/design-review", {}, "https://whereby.com/design-review"},
        {"any longer name ending in a host with a prefix run", {}, "https://notzoom.us/j/1", {},
         "https://notzoom.us/j/1"},

        // The event's own URL.
        {"a meeting URL is returned whole, parameters and all", "https://zoom.us/j/123?pwd=xyz&uname=Jane", {}, {},
         "https://zoom.us/j/123?pwd=xyz&uname=Jane"},
        {"a URL that is no meeting link gives way to the fields", "https://example.com/agenda",
         "https://zoom.us/j/42", {}, "https://zoom.us/j/42"},

        // Trimming and where a link ends.
        {"a link ending a sentence loses the full stop", {}, "Dial in via https://zoom.us/j/123.", {},
         "https://zoom.us/j/123"},
        {"a link in parentheses loses the closing one", {}, "(https://zoom.us/j/123)", {}, "https://zoom.us/j/123"},
        {"every trailing mark goes", {}, "see https://zoom.us/j/123]}).;:,", {}, "https://zoom.us/j/123"},
        {"a quote ends the link", {}, "<a href=\"https://zoom.us/j/77\">join</a>", {}, "https://zoom.us/j/77"},
        {"any white space ends the link", {}, "https://zoom.us/j/55\u00a0(no-break space)", {},
         "https://zoom.us/j/55"},
        {"a Meet link stops at a slash", {}, "https://meet.google.com/abc-defg-hij/extra", {},
         "https://meet.google.com/abc-defg-hij"},
        {"a Meet link stops at a query", {}, "https://meet.google.com/abc-defg-hij?authuser=1", {},
         "https://meet.google.com/abc-defg-hij"},
        {"a Meet link stops at a digit", {}, "https://meet.google.com/abc1def", {}, "https://meet.google.com/abc"},

        // Case and scheme.
        {"capitals in the scheme and host", {}, "HTTPS://ZOOM.US/J/123", {}, "https://zoom.us/J/123"},
        {"capitals in a Meet code", {}, "https://meet.google.com/ABC-defg-HIJ", {},
         "https://meet.google.com/ABC-defg-HIJ"},
        {"plain http never matches", "http://zoom.us/j/123", "http://meet.google.com/abc-defg-hij",
         "http://acme.webex.com/meet/x", std::nullopt},

        // Order.
        {"the location before the notes", {}, "https://zoom.us/j/1", "https://meet.google.com/loc-ati-on",
         "https://meet.google.com/loc-ati-on"},
        {"within a text the pattern order, not the position", {},
         "First https://acme.webex.com/meet/jdoe, then https://zoom.us/j/2", {}, "https://zoom.us/j/2"},
        {"only the first match of a pattern is looked at", {}, "https://zoom.us/j/1 and https://zoom.us/j/2", {},
         "https://zoom.us/j/1"},
        {"a match that does not parse gives way to the next pattern", {},
         "https://zoom.us/j/1%zz or https://meet.google.com/abc-defg-hij", {}, "https://meet.google.com/abc-defg-hij"},
        {"nothing at all", {}, {}, {}, std::nullopt},
        {"texts without links", {}, "Bring snacks", "Room 4", std::nullopt},
    };
    const MeetingLinkDetector detector;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        std::optional<QUrl> url;
        if (row.url)
            url = QUrl(QString::fromStdString(*row.url));
        // Compared as URLs: the parser may write escapes in capitals.
        std::optional<QUrl> expected;
        if (row.expected)
            expected = QUrl(QString::fromStdString(*row.expected), QUrl::StrictMode);
        EXPECT_EQ(text(detector.detect(url, row.notes, row.location)), text(expected));
    }
}

TEST(MeetingLinkDetector, TellsWhetherAUrlIsAMeetingLink)
{
    const MeetingLinkDetector detector;
    EXPECT_TRUE(detector.isMeetingLink(QUrl("https://acme.zoom.us/j/1?pwd=2")));
    EXPECT_TRUE(detector.isMeetingLink(QUrl("https://teams.live.com/meet/1")));
    EXPECT_FALSE(detector.isMeetingLink(QUrl("https://zoom.us/pricing")));
    EXPECT_FALSE(detector.isMeetingLink(QUrl("http://zoom.us/j/1")));
    EXPECT_FALSE(detector.isMeetingLink(QUrl()));
}

} // namespace
