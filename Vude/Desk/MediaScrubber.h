#pragma once
// The media widget's scrubber: the elapsed time, a painted bar and the total
// time in one row. The bar's value is seconds as a double, which a QSlider
// (integers, a page step per click) cannot hold.
//
// A press on the bar counts as a change, as every move after it does: the
// display follows the finger (`scrubbing`). The release seeks to the value
// of the last change (where the button comes up is not read), and the
// display keeps that value for 0.6 s, so it does not jump back before the
// player reports the new position. Each release schedules its own reset:
// one still pending fires at its time, also during a new drag. A track
// without a usable duration takes no presses (MediaTimeline).

#include "Vude/Desk/MediaTimeline.h"
#include "Vude/Toolkit/ViewEnvironment.h"

#include <QWidget>

#include <functional>
#include <vector>

class MediaScrubber final : public QWidget {
    Q_OBJECT
public:
    /// How long the display keeps a released value.
    static constexpr Duration holdAfterRelease = std::chrono::milliseconds(600);
    static constexpr double barHeight = 14;
    static constexpr double trackHeight = 5;
    static constexpr double spacing = 8;
    static constexpr double timeSize = 9.5;

    /// `environment` must outlive the scrubber.
    explicit MediaScrubber(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~MediaScrubber() override;

    /// What plays and the moment to show it at.
    void setPlayback(const NowPlayingState& state, Date now);
    /// Called with the position to seek to, in seconds, at each release.
    void setOnSeek(std::function<void(double seconds)> onSeek) { m_onSeek = std::move(onSeek); }

    bool isScrubbing() const { return m_scrubbing; }
    double scrubValue() const { return m_scrubValue; }
    /// What is shown now.
    MediaTimeline timeline() const;
    /// The bar, in the scrubber's coordinates.
    QRectF barRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void change(double x);
    /// The width the times take: the wider of the two texts now.
    double timeWidth(const QString& text) const;

    const ViewEnvironment& m_environment;
    NowPlayingState m_state;
    Date m_now{};
    std::function<void(double)> m_onSeek;
    bool m_scrubbing = false;
    double m_scrubValue = 0;
    bool m_dragging = false;
    std::vector<ScheduledTask> m_resets;
};
