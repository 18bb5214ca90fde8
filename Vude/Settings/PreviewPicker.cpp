#include "Vude/Settings/PreviewPicker.h"

#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/GaussianBlur.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>
#include <map>

namespace {

QFont titleFont(bool selected)
{
    return systemFont(10, selected ? Vude::FontWeight::semibold : Vude::FontWeight::regular);
}

double tileHeight()
{
    return PreviewPicker::previewHeight + PreviewPicker::titleSpacing +
           std::ceil(QFontMetricsF(titleFont(true)).height());
}

QRectF capsuleRect(const QRectF& box)
{
    const QSizeF size = BarPreview::capsule;
    return {box.center().x() - size.width() / 2, box.center().y() - size.height() / 2, size.width(),
            size.height()};
}

QPainterPath capsulePath(const QRectF& rect)
{
    return continuousRoundedRect(rect, rect.height() / 2);
}

/// Fills the capsule with a gradient from `leading` to `trailing`.
QBrush horizontalGradient(const QRectF& rect, const QColor& leading, const QColor& trailing)
{
    QLinearGradient gradient(rect.topLeft(), rect.topRight());
    gradient.setColorAt(0, leading);
    gradient.setColorAt(1, trailing);
    return gradient;
}

/// The glow under the capsule, blurred once per pixel density and kept:
/// tiles repaint on every hover and selection, and a blur per paint (or a
/// drop-shadow effect per tile) would cost far more than the drawing.
const QImage& glowImage(qreal devicePixelRatio)
{
    static std::map<qreal, QImage> cache;
    const auto found = cache.find(devicePixelRatio);
    if (found != cache.end())
        return found->second;
    const double sigma = BarPreview::glowRadius / 2;
    const double margin = std::ceil(3 * sigma);
    const QSizeF size = BarPreview::capsule + QSizeF(2 * margin, 2 * margin);
    QImage silhouette(QSize(int(std::ceil(size.width() * devicePixelRatio)),
                            int(std::ceil(size.height() * devicePixelRatio))),
                      QImage::Format_ARGB32_Premultiplied);
    silhouette.fill(Qt::transparent);
    {
        QPainter painter(&silhouette);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(devicePixelRatio, devicePixelRatio);
        painter.fillPath(capsulePath(QRectF(QPointF(margin, margin), BarPreview::capsule)), Qt::black);
    }
    const QImage blurred =
        gaussianBlurred(silhouette.convertToFormat(QImage::Format_Alpha8), sigma * devicePixelRatio);
    QImage glow(blurred.size(), QImage::Format_ARGB32_Premultiplied);
    glow.fill(Qt::transparent);
    {
        QPainter painter(&glow);
        painter.drawImage(0, 0, blurred);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor colour = toQColor(Vude::Accent::x500);
        colour.setAlphaF(colour.alphaF() * BarPreview::glowOpacity);
        painter.fillRect(glow.rect(), colour);
    }
    glow.setDevicePixelRatio(devicePixelRatio);
    return cache.emplace(devicePixelRatio, std::move(glow)).first->second;
}

template <typename Value>
std::vector<PreviewPicker::Option> optionsOf(const std::vector<Value>& values,
                                             void (*paint)(QPainter&, const QRectF&, Value))
{
    std::vector<PreviewPicker::Option> options;
    for (Value value : values)
        options.push_back({qt(displayName(value)),
                           [paint, value](QPainter& painter, const QRectF& box) { paint(painter, box, value); }});
    return options;
}

} // namespace

// MARK: - The picker

PreviewPicker::PreviewPicker(const QString& label, std::vector<Option> options, const ViewEnvironment& environment,
                             QWidget* parent)
    : QWidget(parent), m_label(label), m_options(std::move(options))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(int(horizontalPadding), int(verticalPadding), int(horizontalPadding),
                               int(verticalPadding));
    column->setSpacing(int(labelSpacing));
    auto* text = new SettingsText(label, Vude::Type_::settingsRow, Vude::Stone::x100);
    text->setWrapping(false);
    column->addWidget(text);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(int(tileSpacing));
    for (int index = 0; index < int(m_options.size()); ++index) {
        auto* tile = new PlainButton(environment);
        tile->setText(m_options[std::size_t(index)].title);
        tile->setPreferredSize(QSize(0, int(tileHeight())));
        tile->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        tile->setPainter([this, index](QPainter& painter, const PlainButton& button) {
            paintTile(painter, button, index);
        });
        connect(tile, &PlainButton::clicked, this, [this, index] { emit tileClicked(index); });
        // Equal stretch: the tiles share the row's width.
        row->addWidget(tile, 1);
        m_tiles.push_back(tile);
    }
    column->addLayout(row);
}

void PreviewPicker::setSelectedIndex(std::optional<int> index)
{
    if (index == m_selected)
        return;
    m_selected = index;
    for (PlainButton* tile : m_tiles)
        tile->update();
}

void PreviewPicker::paintTile(QPainter& painter, const PlainButton& tile, int index) const
{
    const bool selected = isSelected(index);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, tile.width(), previewHeight);
    painter.fillPath(continuousRoundedRect(box, boxRadius), Qt::black);
    painter.save();
    painter.setClipRect(box);
    if (const Preview& preview = m_options.at(std::size_t(index)).preview)
        preview(painter, box);
    painter.restore();
    // Inside the box, so the tile's edges never cut the border in half.
    const double lineWidth = selected ? selectedBorderWidth : borderWidth;
    const QRectF stroke = box.adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
    painter.setPen(QPen(toQColor(selected ? Vude::Accent::x500 : Vude::Ink::x700), lineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(continuousRoundedRect(stroke, boxRadius - lineWidth / 2));

    painter.setFont(titleFont(selected));
    painter.setPen(toQColor(selected ? Vude::Stone::x100 : Vude::Stone::x400));
    const QRectF titleArea(0, previewHeight + titleSpacing, tile.width(), tile.height() - previewHeight - titleSpacing);
    painter.drawText(titleArea, Qt::AlignHCenter | Qt::AlignTop, m_options.at(std::size_t(index)).title);
}

void PreviewPicker::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
}

void addHUDPickers(SettingsCard& card, SettingsBindings& bindings, const ViewEnvironment& environment,
                   const std::vector<BarStyle>& styles, BarStyle (SettingsStore::*bar)() const,
                   void (SettingsStore::*setBar)(const BarStyle&), HUDSpeed (SettingsStore::*speed)() const,
                   void (SettingsStore::*setSpeed)(const HUDSpeed&))
{
    auto* bars = new PreviewPicker(QStringLiteral("Bar"), BarPreview::options(styles), environment);
    card.addRow(bars);
    bindPreviewPicker(bindings, *bars, styles, bar, setBar);
    const std::vector<HUDSpeed> speeds{HUDSpeed::smooth, HUDSpeed::fast, HUDSpeed::instant};
    auto* speedPicker = new PreviewPicker(QStringLiteral("Speed"), SpeedPreview::options(speeds), environment);
    card.addRow(speedPicker);
    bindPreviewPicker(bindings, *speedPicker, speeds, speed, setSpeed);
}

// MARK: - Previews

void BarPreview::paint(QPainter& painter, const QRectF& box, BarStyle style)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF rect = capsuleRect(box);
    if (style == BarStyle::glow) {
        const QImage& glow = glowImage(painter.device() ? painter.device()->devicePixelRatioF() : 1);
        const QSizeF glowSize = glow.deviceIndependentSize();
        painter.drawImage(QPointF(rect.center().x() - glowSize.width() / 2, rect.center().y() - glowSize.height() / 2),
                          glow);
    }
    const QColor accent = toQColor(Vude::Accent::x500);
    const QBrush fill =
        style == BarStyle::decibel ? horizontalGradient(rect, toQColor(Vude::Accent::x700), accent) : QBrush(accent);
    painter.fillPath(capsulePath(rect), fill);
    painter.restore();
}

std::vector<PreviewPicker::Option> BarPreview::options(const std::vector<BarStyle>& styles)
{
    return optionsOf(styles, &BarPreview::paint);
}

void MediaBarPreview::paint(QPainter& painter, const QRectF& box, MediaBarStyle style)
{
    const QColor artwork(138, 127, 112);
    const QRectF rect = capsuleRect(box);
    QBrush fill(toQColor(Vude::Accent::x500));
    if (style == MediaBarStyle::colored)
        fill = QBrush(artwork);
    else if (style == MediaBarStyle::gradient)
        fill = horizontalGradient(rect, artwork, QColor(216, 207, 192));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(capsulePath(rect), fill);
    painter.restore();
}

std::vector<PreviewPicker::Option> MediaBarPreview::options(const std::vector<MediaBarStyle>& styles)
{
    return optionsOf(styles, &MediaBarPreview::paint);
}

const char* SpeedPreview::symbol(HUDSpeed speed)
{
    switch (speed) {
    case HUDSpeed::smooth:
        return "tortoise.fill";
    case HUDSpeed::fast:
        return "hare.fill";
    case HUDSpeed::instant:
        break;
    }
    return "bolt.fill";
}

void SpeedPreview::paint(QPainter& painter, const QRectF& box, HUDSpeed speed)
{
    SymbolCatalog::draw(painter, box, symbol(speed), toQColor(Vude::Stone::x200), symbolSize);
}

std::vector<PreviewPicker::Option> SpeedPreview::options(const std::vector<HUDSpeed>& speeds)
{
    return optionsOf(speeds, &SpeedPreview::paint);
}
