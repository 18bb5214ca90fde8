#include "Vude/Shell/Views/WaveformView.h"

#include "VudeUI/Tokens.h"
#include "VudeUI/qt/QtTokens.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

/// Every display frame at 60 Hz.
constexpr Duration kFrameInterval = std::chrono::microseconds(16667);

} // namespace

WaveformView::Heights WaveformView::animatedHeights(double seconds, double minHeight, double maxHeight)
{
    Heights heights{};
    for (int i = 0; i < barCount; ++i) {
        const Bar& bar = bars[std::size_t(i)];
        const double a = bar.speed * seconds;
        double v = (std::sin(a + bar.phase) + 0.35 * std::sin(2.7 * a + 1.7 * bar.phase) + 1.35) / 2.7;
        v = std::clamp(v, 0.0, 1.0);
        heights[std::size_t(i)] = minHeight + (maxHeight - minHeight) * v;
    }
    return heights;
}

WaveformView::Heights WaveformView::staticHeights(double minHeight, double maxHeight)
{
    Heights heights{};
    for (int i = 0; i < barCount; ++i)
        heights[std::size_t(i)] = minHeight + bars[std::size_t(i)].restingFactor * (maxHeight - minHeight) * 0.5;
    return heights;
}

WaveformView::WaveformView(bool isPlaying, Style style, Scheduler& scheduler, const ClockSource& clock,
                           const ReduceMotionSetting* reduceMotion, QObject* parent)
    : QObject(parent), m_isPlaying(isPlaying), m_style(style), m_scheduler(scheduler), m_clock(clock),
      m_reduceMotion(reduceMotion)
{
    if (reduceMotion)
        connect(reduceMotion, &ReduceMotionSetting::changed, this, [this] {
            updateTimer();
            emit frameDue(); // the still heights, or the moving ones, at once
        });
}

WaveformView::~WaveformView() { m_frames.cancel(); }

void WaveformView::setPlaying(bool playing)
{
    if (playing == m_isPlaying)
        return;
    m_isPlaying = playing;
    updateTimer();
}

bool WaveformView::isAnimating() const
{
    return m_isPlaying && !(m_reduceMotion && m_reduceMotion->reduceMotion());
}

void WaveformView::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    updateTimer();
}

void WaveformView::updateTimer()
{
    const bool wanted = m_shown && isAnimating();
    if (wanted == isTicking())
        return;
    m_frames.cancel();
    m_frames = wanted ? m_scheduler.every(kFrameInterval, [this] { emit frameDue(); }) : ScheduledTask();
}

WaveformView::Heights WaveformView::heights() const
{
    if (!isAnimating())
        return staticHeights(m_style.minHeight, m_style.maxHeight);
    return animatedHeights(secondsSinceReferenceDate(m_clock.now()), m_style.minHeight, m_style.maxHeight);
}

Size WaveformView::size() const
{
    return {barCount * m_style.barWidth + (barCount - 1) * m_style.spacing, m_style.maxHeight};
}

QRectF WaveformView::rowRect(const QRectF& frame) const
{
    const Size row = size();
    return {frame.center().x() - row.width / 2, frame.center().y() - row.height / 2, row.width, row.height};
}

void WaveformView::paint(QPainter& painter, const QRectF& frame) const
{
    const Size row = size();
    const double left = frame.center().x() - row.width / 2;
    const double middle = frame.center().y();
    const Heights bars = heights();
    QPainterPath capsules;
    for (int i = 0; i < barCount; ++i) {
        const double height = std::max(0.0, bars[std::size_t(i)]);
        const double width = std::max(0.0, m_style.barWidth);
        if (height <= 0 || width <= 0)
            continue;
        const double radius = std::min(width, height) / 2;
        capsules.addRoundedRect(QRectF(left + i * (m_style.barWidth + m_style.spacing), middle - height / 2, width,
                                       height),
                                radius, radius);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(capsules, toQColor(Vude::Stone::x200));
    painter.restore();
}
