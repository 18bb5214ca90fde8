#include "VudeUI/qt/QtTokens.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

struct PinnedFamilies {
    QString standard;
    QString monospaced;
};

PinnedFamilies& pinned()
{
    static PinnedFamilies families;
    return families;
}

QString familyFor(Vude::FontDesign design)
{
    const auto& families = pinned();
    if (design == Vude::FontDesign::monospaced) {
        if (!families.monospaced.isEmpty())
            return families.monospaced;
        if (!families.standard.isEmpty())
            return families.standard;
        return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    }
    if (!families.standard.isEmpty())
        return families.standard;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QFont::Weight qtWeight(Vude::FontWeight weight)
{
    switch (weight) {
    case Vude::FontWeight::regular:
        return QFont::Normal;
    case Vude::FontWeight::medium:
        return QFont::Medium;
    case Vude::FontWeight::semibold:
        return QFont::DemiBold;
    case Vude::FontWeight::bold:
        return QFont::Bold;
    }
    return QFont::Normal;
}

double logicalDpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 0;
    return dpi > 0 ? dpi : 96.0;
}

} // namespace

QColor toQColor(const Vude::Color& color)
{
    QColor result(color.red255(), color.green255(), color.blue255());
    result.setAlphaF(static_cast<float>(std::clamp(std::isnan(color.opacity()) ? 1.0 : color.opacity(), 0.0, 1.0)));
    return result;
}

QFont systemFont(double size, Vude::FontWeight weight, Vude::FontDesign design)
{
    QFont font(familyFor(design));
    if (design == Vude::FontDesign::monospaced)
        font.setStyleHint(QFont::Monospace);
    font.setWeight(qtWeight(weight));
    if (!std::isfinite(size) || size <= 0)
        size = 1;
    // Pixel sizes are whole numbers; a fractional size goes through points at
    // the screen's logical DPI, which Qt turns back into the same pixels.
    if (size == std::floor(size) && size < 10000)
        font.setPixelSize(static_cast<int>(size));
    else
        font.setPointSizeF(size * 72.0 / logicalDpi());
    return font;
}

QFont toQFont(const Vude::FontToken& token)
{
    return systemFont(token.size, token.weight, token.design);
}

void pinFontFamilies(const QString& family, const QString& monospacedFamily)
{
    pinned() = PinnedFamilies{family, monospacedFamily};
}

void unpinFontFamilies()
{
    pinned() = PinnedFamilies{};
}
