#include "Vude/Desk/MediaScrubber.h"

#include "VudeUI/qt/QtTokens.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {

QFont timeFont()
{
    return systemFont(MediaScrubber::timeSize, Vude::FontWeight::medium, Vude::FontDesign::monospaced);
}

void fillCapsule(QPainter& painter, const QRectF& rect, const QColor& color)
{
    if (rect.width() <= 0)
        return;
    QPainterPath capsule;
    const double radius = std::min(rect.width(), rect.height()) / 2;
    capsule.addRoundedRect(rect, radius, radius);
    painter.fillPath(capsule, color);
}

} // namespace

MediaScrubber::MediaScrubber(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

MediaScrubber::~MediaScrubber()
{
    for (ScheduledTask& reset : m_resets)
        reset.cancel();
}

void MediaScrubber::setPlayback(const NowPlayingState& state, Date now)
{
    m_state = state;
    m_now = now;
    update();
}

MediaTimeline MediaScrubber::timeline() const
{
    return MediaTimeline::of(m_state, m_now, m_scrubbing ? std::optional<double>(m_scrubValue) : std::nullopt);
}

double MediaScrubber::timeWidth(const QString& text) const
{
    return std::ceil(QFontMetricsF(timeFont()).horizontalAdvance(text));
}

QRectF MediaScrubber::barRect() const
{
    const MediaTimeline shown = timeline();
    const double leading = timeWidth(MediaTimeline::time(shown.position)) + spacing;
    const double trailing = timeWidth(MediaTimeline::time(shown.length)) + spacing;
    const double width = std::max(0.0, this->width() - leading - trailing);
    return {leading, (height() - barHeight) / 2, width, barHeight};
}

QSize MediaScrubber::sizeHint() const
{
    const double text = std::ceil(QFontMetricsF(timeFont()).height());
    return {int(2 * (timeWidth(QStringLiteral("0:00")) + spacing)), int(std::max(barHeight, text))};
}

void MediaScrubber::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const MediaTimeline shown = timeline();
    const QRectF bar = barRect();

    painter.setFont(timeFont());
    painter.setPen(toQColor(Vude::Stone::x400));
    const QString elapsed = MediaTimeline::time(shown.position);
    const QString total = MediaTimeline::time(shown.length);
    painter.drawText(QRectF(0, 0, timeWidth(elapsed), height()), Qt::AlignLeft | Qt::AlignVCenter, elapsed);
    painter.drawText(QRectF(bar.right() + spacing, 0, timeWidth(total), height()), Qt::AlignLeft | Qt::AlignVCenter,
                     total);

    const QRectF track(bar.left(), bar.center().y() - trackHeight / 2, bar.width(), trackHeight);
    fillCapsule(painter, track, toQColor(Vude::Ink::x700));
    fillCapsule(painter, QRectF(track.topLeft(), QSizeF(bar.width() * shown.fraction, trackHeight)),
                toQColor(m_scrubbing ? Vude::Accent::x400 : Vude::Stone::x200));
}

void MediaScrubber::change(double x)
{
    const QRectF bar = barRect();
    m_scrubbing = true;
    m_scrubValue = MediaTimeline::scrubValue(x - bar.left(), bar.width(), timeline().length);
    update();
}

void MediaScrubber::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !timeline().seekable || !barRect().contains(event->position())) {
        event->ignore();
        return;
    }
    m_dragging = true;
    change(event->position().x());
}

void MediaScrubber::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        change(event->position().x());
}

void MediaScrubber::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    const double target = m_scrubValue;
    std::erase_if(m_resets, [](const ScheduledTask& reset) { return !reset.isActive(); });
    m_resets.push_back(m_environment.scheduler.after(holdAfterRelease, [self = QPointer<MediaScrubber>(this)] {
        if (!self)
            return;
        self->m_scrubbing = false;
        self->update();
    }));
    // A track that lost its duration mid-drag cannot be sought in either.
    if (m_onSeek && timeline().seekable)
        m_onSeek(target);
}
