#include "Platform/Desktop/TypeIcon.h"

#include <QGuiApplication>
#include <QIcon>
#include <QMimeDatabase>

namespace TypeIcon {

std::optional<QImage> image(const std::string& mimeName, int pixels)
{
    // Icons are pixmaps, which need the GUI application.
    if (pixels < 1 || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return std::nullopt;
    const QMimeType type = QMimeDatabase().mimeTypeForName(QString::fromStdString(mimeName));
    QIcon icon;
    if (type.isValid())
        icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("unknown"));
    if (icon.isNull())
        return std::nullopt;
    const QImage picture = icon.pixmap(QSize(pixels, pixels)).toImage();
    if (picture.isNull())
        return std::nullopt;
    return picture;
}

} // namespace TypeIcon
