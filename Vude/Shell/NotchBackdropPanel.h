#pragma once
// The soft dark glow behind a notch panel, in a window of its own that never
// takes input or focus and sits directly below its panel. The glow is the
// notch outline filled with translucent black and blurred, rendered once per
// size and radius.

#include "VudeKit/Geometry.h"
#include "Vude/Shell/NotchBackdropLayout.h"

#include <QImage>
#include <QWidget>

class NotchBackdropPanel final : public QWidget {
    Q_OBJECT
public:
    explicit NotchBackdropPanel(QWidget* parent = nullptr);

    /// The glow for a window of `windowSize` points whose notch shape of
    /// `shapeSize` sits `feather` from the left edge, flush with the top: the
    /// outline filled with black at 55 % and blurred by 0.42 feathers. The
    /// bitmap is the window's size in pixels at `scale` (rounded half away
    /// from zero); a null image when that is under one pixel or no bitmap
    /// can be made. The image's first row is the window's top edge.
    static QImage render(Size windowSize, Size shapeSize, double topRadius, double bottomRadius, double feather,
                         double scale);

    /// What the image on show was rendered for (nothing at first, so the
    /// first synchronisation always renders).
    const NotchBackdropLayout::Rendered& rendered() const { return m_rendered; }
    /// Shows `image`, rendered for `rendered`, at `glowRect` of the window.
    void setGlow(QImage image, const NotchBackdropLayout::Rendered& rendered, Rect glowRect);
    void moveGlow(Rect glowRect);
    const QImage& glow() const { return m_glow; }
    /// How often a glow was rendered for this window.
    int renderCount() const { return m_renderCount; }
    void countRender() { ++m_renderCount; }

    /// Its window level: one below its panel's.
    int level() const { return m_level; }
    void setLevel(int level) { m_level = level; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_glow;
    Rect m_glowRect;
    NotchBackdropLayout::Rendered m_rendered;
    int m_renderCount = 0;
    int m_level = 0;
};
