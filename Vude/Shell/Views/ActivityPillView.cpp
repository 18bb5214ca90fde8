#include "Vude/Shell/Views/ActivityPillView.h"

#include "Vude/Shell/Views/ArtworkView.h"
#include "Vude/Shell/Views/WaveformView.h"
#include "VudeUI/PercentText.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

Rect toRect(const QRectF& rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }

QString qText(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

std::vector<double> levelsOf(const ActivityPayload& payload)
{
    double bar = 0, ring = 0;
    if (const auto* b = payload.trailing().as<ActivityTrailing::Bar>())
        bar = ActivityPillLayout::barFillWidth(b->fraction);
    if (const auto* r = payload.leading().as<ActivityGlyph::ProgressRing>())
        ring = ActivityPillLayout::ringFraction(r->fraction);
    return {bar, ring};
}

/// The accessory's text: a percentage or a plain text; none otherwise.
std::optional<QString> accessoryText(const ActivityTrailing& trailing)
{
    if (const auto* percent = trailing.as<ActivityTrailing::Percent>())
        return qText(percentText(percent->fraction));
    if (const auto* text = trailing.as<ActivityTrailing::Text>())
        return qText(text->text);
    return std::nullopt;
}

void fillCapsule(QPainter& painter, const QRectF& rect, const QColor& colour)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    const double radius = std::min(rect.width(), rect.height()) / 2;
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, colour);
}

} // namespace

ActivityPillView::ActivityPillView(const ActivityPayload& payload, bool expanded, double cutoutWidth,
                                   Scheduler& scheduler, const ClockSource& clock, ArtworkCache& cache,
                                   const ReduceMotionSetting* reduceMotion, QObject* parent)
    : QObject(parent), m_payload(payload), m_expanded(expanded), m_cutoutWidth(cutoutWidth), m_scheduler(scheduler),
      m_clock(clock), m_cache(cache), m_reduceMotion(reduceMotion),
      m_levels(std::make_unique<SpringAnimator>(scheduler, clock, levelsOf(payload)))
{
    connect(m_levels.get(), &SpringAnimator::valueChanged, this, &ActivityPillView::needsRepaint);
    adoptParts();
}

ActivityPillView::~ActivityPillView() = default;

void ActivityPillView::setPayload(const ActivityPayload& payload, const Vude::Animation& animation)
{
    m_payload = payload;
    adoptParts();
    const std::vector<double> levels = levelsOf(payload);
    if (levels != m_levels->target())
        m_levels->animateTo(levels, animation);
    emit needsRepaint();
}

void ActivityPillView::setShown(bool shown)
{
    m_shown = shown;
    if (m_waveform)
        m_waveform->setShown(shown);
}

void ActivityPillView::adoptParts()
{
    if (const auto* artwork = m_payload.leading().as<ActivityGlyph::Artwork>()) {
        const double side = ActivityPillLayout::glyphSize(m_payload.leading(), m_expanded).width;
        if (!m_artwork) {
            m_artwork = std::make_unique<ArtworkView>(side, m_cache);
            connect(m_artwork.get(), &ArtworkView::imageChanged, this, &ActivityPillView::needsRepaint);
        }
        m_artwork->setSize(side);
        m_artwork->setData(artwork->bytes);
    } else {
        m_artwork.reset();
    }

    if (const auto* waveform = m_payload.trailing().as<ActivityTrailing::Waveform>()) {
        if (!m_waveform) {
            const WaveformView::Style style{ActivityPillLayout::waveformBarWidth, ActivityPillLayout::waveformSpacing,
                                            ActivityPillLayout::waveformMaxHeight,
                                            ActivityPillLayout::waveformMinHeight};
            m_waveform = std::make_unique<WaveformView>(waveform->isPlaying, style, m_scheduler, m_clock,
                                                        m_reduceMotion);
            connect(m_waveform.get(), &WaveformView::frameDue, this, &ActivityPillView::waveformFrameDue);
            m_waveform->setShown(m_shown);
        }
        m_waveform->setPlaying(waveform->isPlaying);
    } else {
        m_waveform.reset();
    }
}

Size ActivityPillView::accessorySize() const
{
    const ActivityTrailing& trailing = m_payload.trailing();
    if (trailing.as<ActivityTrailing::Bar>())
        return ActivityPillLayout::barSize;
    if (m_waveform)
        return m_waveform->size();
    if (const std::optional<QString> text = accessoryText(trailing)) {
        const QFontMetricsF metrics(toQFont(Vude::Type_::numeric));
        return {std::ceil(metrics.horizontalAdvance(*text)), std::ceil(metrics.height())};
    }
    return {};
}

ActivityPillLayout::Frames ActivityPillView::frames(const QRectF& content) const
{
    return ActivityPillLayout::frames(toRect(content), m_cutoutWidth,
                                      ActivityPillLayout::glyphSize(m_payload.leading(), m_expanded),
                                      accessorySize());
}

void ActivityPillView::paint(QPainter& painter, const QRectF& content) const
{
    const ActivityPillLayout::Frames f = frames(content);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintGlyph(painter, toQRectF(f.glyph));
    if (ActivityPillLayout::showsTextBlock(m_payload, m_expanded))
        paintTextBlock(painter, toQRectF(f.text));
    // A text longer than its wing is cut at the wing's leading edge.
    QRectF accessory = toQRectF(f.accessory);
    if (accessory.left() < f.rightWing.x)
        accessory.setLeft(f.rightWing.x);
    paintAccessory(painter, accessory);
    painter.restore();
}

std::optional<QRectF> ActivityPillView::waveformRect(const QRectF& content) const
{
    if (!m_waveform)
        return std::nullopt;
    const ActivityPillLayout::Frames f = frames(content);
    QRectF accessory = toQRectF(f.accessory);
    if (accessory.left() < f.rightWing.x)
        accessory.setLeft(f.rightWing.x);
    return m_waveform->rowRect(accessory);
}

void ActivityPillView::paintGlyph(QPainter& painter, const QRectF& frame) const
{
    const ActivityGlyph& glyph = m_payload.leading();
    if (const auto* symbol = glyph.as<ActivityGlyph::Symbol>()) {
        SymbolCatalog::draw(painter, frame, symbol->name, toQColor(Vude::Stone::x100),
                            ActivityPillLayout::symbolPointSize);
    } else if (const auto* tinted = glyph.as<ActivityGlyph::SymbolTinted>()) {
        SymbolCatalog::draw(painter, frame, tinted->name, toQColor(Vude::color(tinted->tint)),
                            ActivityPillLayout::symbolPointSize);
    } else if (m_artwork) {
        m_artwork->paint(painter, frame);
    } else if (glyph.as<ActivityGlyph::ProgressRing>()) {
        const double fraction = m_levels->value()[1];
        if (fraction <= 0)
            return; // no track: an empty ring draws nothing
        const QRectF circle(frame.center().x() - ActivityPillLayout::ringSide / 2,
                            frame.center().y() - ActivityPillLayout::ringSide / 2, ActivityPillLayout::ringSide,
                            ActivityPillLayout::ringSide);
        // From 12 o'clock, clockwise (Qt's angles run counter-clockwise).
        QPainterPath arc;
        arc.arcMoveTo(circle, 90);
        arc.arcTo(circle, 90, -360 * std::min(fraction, 1.0));
        QPen pen(toQColor(Vude::Accent::x500), ActivityPillLayout::ringLineWidth, Qt::SolidLine, Qt::RoundCap,
                 Qt::MiterJoin);
        pen.setMiterLimit(10);
        painter.strokePath(arc, pen);
    }
}

void ActivityPillView::paintTextBlock(QPainter& painter, const QRectF& frame) const
{
    const QFont titleFont = toQFont(Vude::Type_::activityTitle);
    const QFont subtitleFont = toQFont(Vude::Type_::activitySubtitle);
    const QFontMetricsF titleMetrics(titleFont);
    const QFontMetricsF subtitleMetrics(subtitleFont);
    const std::optional<std::string>& title = m_payload.title();
    const bool subtitle = ActivityPillLayout::showsSubtitle(m_payload, m_expanded);

    double height = 0;
    if (title)
        height += titleMetrics.height();
    if (subtitle)
        height += (title ? ActivityPillLayout::lineSpacing : 0) + subtitleMetrics.height();
    double y = frame.center().y() - height / 2;
    const double width = frame.width();
    if (width <= 0)
        return;
    if (title) {
        painter.setFont(titleFont);
        painter.setPen(toQColor(Vude::Stone::x100));
        painter.drawText(QRectF(frame.x(), y, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         titleMetrics.elidedText(qText(*title), Qt::ElideRight, width));
        y += titleMetrics.height() + ActivityPillLayout::lineSpacing;
    }
    if (subtitle) {
        painter.setFont(subtitleFont);
        painter.setPen(toQColor(Vude::Stone::x300));
        painter.drawText(QRectF(frame.x(), y, width, subtitleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         subtitleMetrics.elidedText(qText(*m_payload.subtitle()), Qt::ElideRight, width));
    }
}

void ActivityPillView::paintAccessory(QPainter& painter, const QRectF& frame) const
{
    const ActivityTrailing& trailing = m_payload.trailing();
    if (trailing.as<ActivityTrailing::Bar>()) {
        const Size bar = ActivityPillLayout::barSize;
        const QRectF track(frame.right() - bar.width, frame.center().y() - bar.height / 2, bar.width, bar.height);
        fillCapsule(painter, track, toQColor(Vude::Ink::x700));
        fillCapsule(painter, QRectF(track.topLeft(), QSizeF(m_levels->value()[0], bar.height)),
                    toQColor(Vude::Stone::x100));
    } else if (m_waveform) {
        m_waveform->paint(painter, frame);
    } else if (const std::optional<QString> text = accessoryText(trailing)) {
        const QFont font = toQFont(Vude::Type_::numeric);
        const QFontMetricsF metrics(font);
        painter.setFont(font);
        painter.setPen(toQColor(Vude::Stone::x200));
        painter.drawText(frame, Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(*text, Qt::ElideRight, frame.width()));
    }
}
