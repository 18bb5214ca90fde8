#pragma once
// Symbol names ("speaker.wave.2.fill") drawn as glyphs of the Material Design
// icons font. Every symbol name the app draws has a row here; a name the
// catalogue does not know (a Focus mode's own symbol, say) draws nothing, and
// the caller's layout keeps its space.
//
// The font is loaded on first use from the Debian package
// fonts-material-design-icons-iconfont; without it nothing is drawn.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>

#include <optional>
#include <string_view>
#include <vector>

class QPainter;

class SymbolCatalog {
public:
    struct Entry {
        std::string_view name;
        /// The Material icon's own name, for readers and the font check.
        std::string_view materialName;
        char32_t codepoint;
    };

    static constexpr const char* kFontPath =
        "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf";
    /// A Material icon drawn at n pixels carries its own padding; drawing it in
    /// a square this much larger gives it the optical size of a symbol set in a
    /// font of n points.
    static constexpr double kOpticalScale = 1.2;

    /// Every row, in name order.
    static const std::vector<Entry>& entries();
    static std::optional<char32_t> glyph(std::string_view name);
    static bool contains(std::string_view name) { return glyph(name).has_value(); }

    /// The icon font's family, or empty when the font cannot be loaded.
    static QString fontFamily();
    /// The icon font sized for symbols drawn at `size` points.
    static QFont font(double size);

    /// Draws `name` centred in `rect`, at `size` points, in `color`. Returns
    /// false, drawing nothing, for an unknown name or a missing font.
    static bool draw(QPainter& painter, const QRectF& rect, std::string_view name, const QColor& color, double size);
    /// The symbol alone on a transparent square image; a null image when
    /// nothing would be drawn.
    static QImage image(std::string_view name, double size, const QColor& color, qreal devicePixelRatio = 1);
};
