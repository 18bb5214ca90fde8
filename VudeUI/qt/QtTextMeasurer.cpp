#include "VudeUI/qt/QtTextMeasurer.h"

#include "VudeUI/qt/QtTokens.h"

#include <QFontMetricsF>
#include <QString>

#include <cmath>

double QtTextMeasurer::width(std::string_view utf8Text, double size, Vude::FontWeight weight) const
{
    const QString text = QString::fromUtf8(utf8Text.data(), static_cast<qsizetype>(utf8Text.size()));
    return std::ceil(QFontMetricsF(systemFont(size, weight)).horizontalAdvance(text));
}
