#include "Vude/Shell/NotchBackdropPanel.h"

#include "VudeUI/NotchShape.h"
#include "VudeUI/qt/GaussianBlur.h"
#include "VudeUI/qt/QtPath.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace {

// Past this the window could not be on any screen; refusing it keeps a bad
// size from asking for gigabytes.
constexpr double kMaximumPixels = 16384;

} // namespace

NotchBackdropPanel::NotchBackdropPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                          Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
}

QImage NotchBackdropPanel::render(Size windowSize, Size shapeSize, double topRadius, double bottomRadius,
                                  double feather, double scale)
{
    const double width = std::round(windowSize.width * scale);
    const double height = std::round(windowSize.height * scale);
    if (!(width >= 1) || !(height >= 1) || width > kMaximumPixels || height > kMaximumPixels)
        return {};

    QImage coverage(int(width), int(height), QImage::Format_Alpha8);
    if (coverage.isNull())
        return {};
    coverage.fill(0);
    {
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        const ShapePath outline = NotchShape(topRadius, bottomRadius)
                                      .path(UIRect{feather, 0, shapeSize.width, shapeSize.height});
        QPainterPath path = toQPainterPath(outline);
        path.setFillRule(Qt::WindingFill);
        painter.fillPath(path, Qt::black);
    }
    const QImage blurred = gaussianBlurred(coverage, feather * 0.42 * scale);
    if (blurred.isNull())
        return {};

    // Black at 55 %: premultiplied, only the alpha is not zero.
    QImage image(coverage.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* in = blurred.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            out[x] = qRgba(0, 0, 0, int(std::lround(in[x] * 0.55)));
    }
    image.setDevicePixelRatio(scale);
    return image;
}

void NotchBackdropPanel::setGlow(QImage image, const NotchBackdropLayout::Rendered& rendered, Rect glowRect)
{
    m_glow = std::move(image);
    m_rendered = rendered;
    m_glowRect = glowRect;
    update();
}

void NotchBackdropPanel::moveGlow(Rect glowRect)
{
    if (glowRect == m_glowRect)
        return;
    m_glowRect = glowRect;
    update();
}

void NotchBackdropPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(event->rect(), Qt::transparent);
    if (m_glow.isNull())
        return;
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QPointF(m_glowRect.x, m_glowRect.y), m_glow);
}
