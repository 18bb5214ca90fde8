#include "Platform/Shell/UrlOpener.h"

#include "Platform/Desktop/DesktopApplications.h"

#include <QDesktopServices>

QUrl UrlOpener::applicationUrl(std::string_view desktopId)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(applicationScheme));
    url.setPath(QString::fromUtf8(desktopId.data(), static_cast<qsizetype>(desktopId.size())));
    return url;
}

bool DesktopUrlOpener::open(const QUrl& url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    if (url.scheme() == QLatin1String(applicationScheme))
        return DesktopApplications::launch(url.path().toStdString());
    return QDesktopServices::openUrl(url);
}
