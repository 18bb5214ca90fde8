#include "Platform/Images/Module/ImageLibraryCode.h"

#include <QPainter>
#include <QPdfDocument>

#include <algorithm>
#include <cmath>

namespace {

// The size that fits `pixels` on its longer side; empty for an empty page.
QSize fitting(QSizeF size, int pixels)
{
    if (!(size.width() > 0) || !(size.height() > 0))
        return {};
    const double scale = pixels / std::max(size.width(), size.height());
    return QSize(std::max(1, static_cast<int>(std::lround(size.width() * scale))),
                 std::max(1, static_cast<int>(std::lround(size.height() * scale))));
}

} // namespace

namespace PdfPages {

Expected<QImage, std::string> firstPage(const QString& path, const std::string& shownName, int pixels)
{
    QPdfDocument document;
    if (document.load(path) != QPdfDocument::Error::None || document.pageCount() < 1)
        return unexpected(shownName + " is not a readable PDF");
    const QSize size = fitting(document.pagePointSize(0), pixels);
    if (size.isEmpty())
        return unexpected(shownName + " has an empty first page");
    const QImage page = document.render(0, size);
    if (page.isNull())
        return unexpected("cannot draw the first page of " + shownName);
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawImage(0, 0, page);
    painter.end();
    return picture;
}

} // namespace PdfPages
