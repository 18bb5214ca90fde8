#include "Platform/Desktop/ApplicationIconLoader.h"

namespace ApplicationIconLoader {

std::optional<QIcon> load(const ApplicationIcon& icon)
{
    for (const auto& name : icon.themeNames) {
        const QString themed = QString::fromStdString(name);
        if (QIcon::hasThemeIcon(themed))
            return QIcon::fromTheme(themed);
    }
    if (!icon.file.empty()) {
        QIcon fromFile(QString::fromStdString(icon.file.string()));
        // A file that is missing or no image still makes a QIcon; it draws nothing.
        if (!fromFile.pixmap(QSize(32, 32)).isNull())
            return fromFile;
    }
    return std::nullopt;
}

} // namespace ApplicationIconLoader
