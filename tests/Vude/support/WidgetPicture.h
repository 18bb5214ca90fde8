#pragma once
// Pictures of widgets for tests: a widget (with its children) rendered to an
// image at a chosen scale, and saved as "screenshots/<name>.png" under the
// test's working folder (build/test/tests/Vude) for a person to look at.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QWidget>

#include <cmath>

namespace testsupport {

/// `widget` as drawn, at `scale` device pixels a point, over `background`
/// (transparent by default). Pixel (x, y) of a scale-1 picture is the
/// widget's point (x, y).
inline QImage picture(QWidget& widget, double scale = 1, QColor background = Qt::transparent)
{
    QImage image(QSize(int(std::ceil(widget.width() * scale)), int(std::ceil(widget.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(background);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

/// Saves `image` as screenshots/<name>.png; whether it was written.
inline bool saveScreenshot(const QImage& image, const QString& name)
{
    QDir().mkpath(QStringLiteral("screenshots"));
    return image.save(QStringLiteral("screenshots/") + name + QStringLiteral(".png"));
}

/// Renders `widget` at twice its size over `background` and saves it.
inline bool saveScreenshot(QWidget& widget, const QString& name, QColor background = Qt::black)
{
    return saveScreenshot(picture(widget, 2, background), name);
}

} // namespace testsupport
