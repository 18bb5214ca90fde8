#pragma once
// Finds the video-meeting link of a calendar event, so the Desk can offer to
// join: Zoom, Google Meet, Microsoft Teams, Webex, Jitsi Meet and Whereby,
// through one fixed, ordered list of patterns.
//
// A pattern starts with "https://" (plain http never matches), names its
// service's host, and runs on over every character that is not white space,
// "<", ">" or a quote; Zoom, Webex and Whereby allow any company subdomain
// before the host. Matching ignores case. In one text the patterns are tried
// in order and the first match of the first pattern that matches wins, with
// trailing punctuation trimmed; a match that does not parse as a URL gives
// way to the next pattern. Fields come before patterns: the event's own URL,
// then its location, then its notes.

#include <QUrl>

#include <optional>
#include <string>
#include <string_view>

class MeetingLinkDetector {
public:
    /// The event's URL itself, whole, when it is a meeting link; else the
    /// link found in the location, else in the notes; else none.
    std::optional<QUrl> detect(const std::optional<QUrl>& url, const std::optional<std::string>& notes,
                               const std::optional<std::string>& location) const;

    /// The URL's text holds a meeting link.
    bool isMeetingLink(const QUrl& url) const;

    /// The meeting link in one text (UTF-8), trimmed and parsed; none when
    /// the text holds none.
    static std::optional<QUrl> findLink(std::string_view text);
};
