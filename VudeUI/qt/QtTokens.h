#pragma once
// The design tokens as Qt values: colours, fonts and the reduce-motion rule.
//
// Fonts are the desktop's UI font (monospaced design: its fixed font) at the
// token's size in logical pixels, so "13 points" draws 13 px tall whatever the
// screen's DPI. Tests pin one family (pinFontFamilies) so measurements do not
// depend on the machine's font configuration.

#include "Platform/Settings/ReduceMotionSetting.h"
#include "VudeUI/Tokens.h"

#include <QColor>
#include <QFont>
#include <QString>

QColor toQColor(const Vude::Color& color);

/// The system font at `size` logical pixels (fractions allowed) and `weight`.
/// Linux has no rounded system design: `rounded` draws in the standard family.
QFont systemFont(double size, Vude::FontWeight weight = Vude::FontWeight::regular,
                 Vude::FontDesign design = Vude::FontDesign::standard);
QFont toQFont(const Vude::FontToken& token);

/// Draws every font in `family` (and monospaced ones in `monospacedFamily`,
/// or `family` when empty) instead of the desktop's. Main thread only.
void pinFontFamilies(const QString& family, const QString& monospacedFamily = {});
void unpinFontFamilies();

namespace Vude::Motion {
/// `animation`, or the short ease when the desktop currently asks for reduced
/// motion.
inline Animation respectingReduceMotion(const Animation& animation, const ReduceMotionSetting& setting)
{
    return respectingReduceMotion(animation, setting.reduceMotion());
}
} // namespace Vude::Motion
