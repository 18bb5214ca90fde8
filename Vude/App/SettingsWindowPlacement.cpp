#include "Vude/App/SettingsWindowPlacement.h"

#include "VudeKit/Numbers.h"

#include <sstream>

namespace SettingsWindowPlacement {

QRect centred(QSize size, const QRect& screen)
{
    QRect rect(QPoint(0, 0), size);
    rect.moveCenter(screen.center());
    return rect;
}

QRect frame(const std::optional<QRect>& saved, QSize size, const QRect& primary, const std::vector<QRect>& screens)
{
    if (saved)
        for (const auto& screen : screens)
            if (screen.intersects(*saved))
                return *saved;
    return centred(size, primary);
}

std::string encode(const QRect& frame)
{
    return formatInteger(frame.x()) + " " + formatInteger(frame.y()) + " " + formatInteger(frame.width()) + " " +
           formatInteger(frame.height());
}

std::optional<QRect> decode(const std::string& text)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    int x = 0, y = 0, width = 0, height = 0;
    if (!(in >> x >> y >> width >> height) || width <= 0 || height <= 0)
        return std::nullopt;
    std::string rest;
    if (in >> rest)
        return std::nullopt;
    return QRect(x, y, width, height);
}

} // namespace SettingsWindowPlacement
