#pragma once
// Paints a NotchDemo: a 210-point card with a dark desktop, the miniature
// notch hanging from its top edge and the beat's content inside it. The
// script plays while the view is shown and stops when it is hidden; the
// notch's size follows each beat with a spring, and each gesture cue fades
// in on its beat and out on the next (both at once under reduce motion).

#include "Vude/Shell/Views/NotchDemo.h"
#include "VudeKit/ClockSource.h"

#include <QWidget>

#include <memory>

class ReduceMotionSetting;
class SpringAnimator;

class NotchDemoView final : public QWidget {
public:
    static constexpr int cardHeight = 210;

    /// The spring's response and damping.
    static constexpr Duration springResponse = std::chrono::milliseconds(420);
    static constexpr double springDamping = 0.8;

    NotchDemoView(NotchDemo::Script script, double notchWidth, double notchHeight, Scheduler& scheduler,
                  const ClockSource& clock, const ReduceMotionSetting* reduceMotion = nullptr,
                  QWidget* parent = nullptr);
    ~NotchDemoView() override;

    /// The notch's size as drawn now (mid-spring while it moves).
    NotchDemo::Size drawnSize() const;
    /// The opacity the gesture cue of `beat` is drawn at now: rising to 1
    /// while its beat shows, falling to 0 after; 0 for any other beat.
    double cueOpacity(int beat) const;
    /// Shows `beat` at once, without the spring (still pictures).
    void showBeat(int beat);

    NotchDemo& demo() { return m_demo; }
    QSize sizeHint() const override { return {360, cardHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void beatChanged();

    NotchDemo m_demo;
    Scheduler& m_scheduler;
    const ReduceMotionSetting* m_reduceMotion;
    void drawCue(QPainter& painter, int beat, double opacity, const QRectF& notch, double midY) const;

    std::unique_ptr<SpringAnimator> m_size;
    int m_shownBeat = -1;
    // The cue of the beat showing (fading in) and of the one before (fading out).
    std::unique_ptr<SpringAnimator> m_cue;
    int m_cueBeat = 0;
    int m_fadingCueBeat = 0;
};
