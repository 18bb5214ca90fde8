#include "Vude/Shell/Views/AmbientMediaView.h"

#include "Vude/Shell/Views/ArtworkView.h"
#include "Vude/Shell/Views/WaveformView.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

Rect toRect(const QRectF& rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }

QString qText(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QFont labelFont() { return systemFont(AmbientMediaLayout::labelFontSize, Vude::FontWeight::medium); }

/// A label's symbol is set at the label's font size in a square this wide.
double labelIconSide() { return std::ceil(AmbientMediaLayout::labelFontSize * SymbolCatalog::kOpticalScale); }

std::optional<Data> artworkBytes(const ActivityPayload& payload)
{
    if (const auto* artwork = payload.leading().as<ActivityGlyph::Artwork>())
        return artwork->bytes;
    return std::nullopt;
}

} // namespace

AmbientMediaView::AmbientMediaView(const ActivityPayload& payload, bool expanded, double cutoutWidth,
                                   Scheduler& scheduler, const ClockSource& clock, ArtworkCache& cache,
                                   const ReduceMotionSetting* reduceMotion, QObject* parent)
    : QObject(parent), m_payload(payload), m_expanded(expanded), m_cutoutWidth(cutoutWidth),
      m_artwork(std::make_unique<ArtworkView>(AmbientMediaLayout::artworkSide, cache)),
      m_waveform(std::make_unique<WaveformView>(true, WaveformView::Style{}, scheduler, clock, reduceMotion)),
      m_labels(std::make_unique<SpringAnimator>(scheduler, clock, std::vector<double>{expanded ? 1.0 : 0.0}))
{
    connect(m_artwork.get(), &ArtworkView::imageChanged, this, &AmbientMediaView::needsRepaint);
    connect(m_artwork.get(), &ArtworkView::decodeFailed, this, &AmbientMediaView::needsRepaint);
    connect(m_waveform.get(), &WaveformView::frameDue, this, &AmbientMediaView::waveformFrameDue);
    connect(m_labels.get(), &SpringAnimator::valueChanged, this, &AmbientMediaView::needsRepaint);
    m_artwork->setData(artworkBytes(payload));
}

AmbientMediaView::~AmbientMediaView() = default;

void AmbientMediaView::setPayload(const ActivityPayload& payload)
{
    m_payload = payload;
    // The same buffer again costs nothing; new bytes are decoded once.
    m_artwork->setData(artworkBytes(payload));
    emit needsRepaint();
}

void AmbientMediaView::setExpanded(bool expanded, const Vude::Animation& animation)
{
    if (expanded == m_expanded)
        return;
    m_expanded = expanded;
    m_labels->animateTo({expanded ? 1.0 : 0.0}, animation);
}

void AmbientMediaView::setShown(bool shown) { m_waveform->setShown(shown); }

double AmbientMediaView::labelPresence() const
{
    const double presence = m_labels->value()[0];
    return std::isfinite(presence) ? std::clamp(presence, 0.0, 1.0) : 0.0;
}

double AmbientMediaView::labelRowHeight() const
{
    return std::max(std::ceil(QFontMetricsF(labelFont()).height()), labelIconSide());
}

AmbientMediaLayout::Frames AmbientMediaView::frames(const QRectF& content) const
{
    return AmbientMediaLayout::frames(toRect(content), m_cutoutWidth, labelRowHeight(), labelPresence());
}

void AmbientMediaView::paint(QPainter& painter, const QRectF& content) const
{
    const AmbientMediaLayout::Frames f = frames(content);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintArtwork(painter, toQRectF(f.artwork));
    m_waveform->paint(painter, waveformFrame(f));
    if (f.labelRow)
        paintLabels(painter, toQRectF(*f.labelRow), labelPresence());
    painter.restore();
}

QRectF AmbientMediaView::waveformFrame(const AmbientMediaLayout::Frames& f) const
{
    return {f.waveformFrame.x, f.waveformFrame.y, m_waveform->size().width, f.waveformFrame.height};
}

QRectF AmbientMediaView::waveformRect(const QRectF& content) const
{
    return m_waveform->rowRect(waveformFrame(frames(content)));
}

void AmbientMediaView::paintArtwork(QPainter& painter, const QRectF& frame) const
{
    const QPainterPath shape = continuousRoundedRect(frame, AmbientMediaLayout::artworkCornerRadius);
    // Bytes that are no image show the placeholder here, not the last cover:
    // that belonged to another track.
    if (m_artwork->image() && !m_artwork->isUndecodable()) {
        m_artwork->paintImage(painter, shape, frame);
        return;
    }
    painter.fillPath(shape, toQColor(Vude::Ink::x800));
    SymbolCatalog::draw(painter, frame, "music.note", toQColor(Vude::Stone::x400),
                        AmbientMediaLayout::placeholderSymbolSize);
}

void AmbientMediaView::paintLabels(QPainter& painter, const QRectF& row, double opacity) const
{
    struct Label {
        const char* symbol;
        QString text;
        double width = 0;
    };
    std::vector<Label> labels;
    if (m_payload.title())
        labels.push_back({"music.note", qText(*m_payload.title())});
    if (m_payload.subtitle())
        labels.push_back({"music.mic", qText(*m_payload.subtitle())});
    if (labels.empty() || opacity <= 0)
        return;

    const QFont font = labelFont();
    const QFontMetricsF metrics(font);
    const double icon = labelIconSide();
    const double chrome = icon + AmbientMediaLayout::labelIconSpacing;
    for (Label& label : labels)
        label.width = chrome + std::ceil(metrics.horizontalAdvance(label.text));
    const auto [first, second] =
        AmbientMediaLayout::labelWidths(labels[0].width, labels.size() > 1 ? labels[1].width : 0, row.width());
    labels[0].width = first;
    if (labels.size() > 1)
        labels[1].width = second;

    double total = 0;
    for (const Label& label : labels)
        total += label.width;
    total += double(labels.size() - 1) * AmbientMediaLayout::labelSpacing;

    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.setFont(font);
    const QColor colour = toQColor(Vude::Stone::x200);
    double x = row.center().x() - total / 2;
    for (const Label& label : labels) {
        SymbolCatalog::draw(painter, QRectF(x, row.center().y() - icon / 2, icon, icon), label.symbol, colour,
                            AmbientMediaLayout::labelFontSize);
        const double textWidth = std::max(0.0, label.width - chrome);
        painter.setPen(colour);
        painter.drawText(QRectF(x + chrome, row.y(), textWidth, row.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(label.text, Qt::ElideRight, textWidth));
        x += label.width + AmbientMediaLayout::labelSpacing;
    }
    painter.restore();
}
