#pragma once
// Opens a link or a file with the user's preferred application.
//   DesktopUrlOpener    QDesktopServices (xdg-open and the portal)
//   RecordingUrlOpener  remembers what it was asked to open (tests)
// A link "application:<desktop entry id>" starts that installed application:
// the desktop's settings panels have no links of their own.

#include <QUrl>

#include <string_view>

#include <vector>

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    /// False when the URL is invalid or nothing could open it.
    virtual bool open(const QUrl& url) = 0;

    static constexpr const char* applicationScheme = "application";
    /// The link that starts the installed application `desktopId`.
    static QUrl applicationUrl(std::string_view desktopId);
};

class DesktopUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl& url) override;
};

class RecordingUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl& url) override
    {
        opened.push_back(url);
        return succeeds && url.isValid();
    }

    std::vector<QUrl> opened;
    bool succeeds = true;
};
