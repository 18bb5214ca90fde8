#include "Platform/Shell/UrlOpener.h"

#include <QDesktopServices>

bool DesktopUrlOpener::open(const QUrl& url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
}
