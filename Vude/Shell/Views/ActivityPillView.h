#pragma once
// One live activity drawn as two wings beside the notch: the leading glyph
// (a symbol, a tinted symbol, artwork or a progress ring) and the title, and
// when expanded the subtitle, on the left; the trailing accessory (a level
// bar, a percentage, the waveform or a text) on the right; the camera
// housing's width left empty between them.
//
// The root view paints it into the content frame and swaps its payload when
// the activity is updated in place: a level bar or ring then glides to the
// new value on the state's spring instead of jumping.

#include "Platform/Settings/ReduceMotionSetting.h"
#include "VudeKit/ActivityModels.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"
#include "VudeUI/Tokens.h"
#include "Vude/Shell/Views/ActivityPillLayout.h"

#include <QObject>
#include <QRectF>

#include <memory>

class ArtworkCache;
class ArtworkView;
class QPainter;
class SpringAnimator;
class WaveformView;

class ActivityPillView final : public QObject {
    Q_OBJECT
public:
    /// `scheduler`, `clock`, `cache` and `reduceMotion` (when given) must
    /// outlive the view.
    ActivityPillView(const ActivityPayload& payload, bool expanded, double cutoutWidth, Scheduler& scheduler,
                     const ClockSource& clock, ArtworkCache& cache, const ReduceMotionSetting* reduceMotion,
                     QObject* parent = nullptr);
    ~ActivityPillView() override;

    const ActivityPayload& payload() const { return m_payload; }
    bool isExpanded() const { return m_expanded; }
    double cutoutWidth() const { return m_cutoutWidth; }

    /// Shows `payload` from now on; the bar's fill and the ring's arc move to
    /// their new values under `animation`.
    void setPayload(const ActivityPayload& payload, const Vude::Animation& animation);
    void setCutoutWidth(double width) { m_cutoutWidth = width; }
    /// Whether the pill is on screen: its waveform moves only then.
    void setShown(bool shown);

    /// Where everything goes in `content`.
    ActivityPillLayout::Frames frames(const QRectF& content) const;
    void paint(QPainter& painter, const QRectF& content) const;
    /// Where the waveform's row is drawn in `content`; none without one.
    std::optional<QRectF> waveformRect(const QRectF& content) const;

    /// The artwork glyph's view, when the glyph is artwork.
    ArtworkView* artwork() const { return m_artwork.get(); }
    /// The waveform accessory's view, when the accessory is a waveform.
    WaveformView* waveform() const { return m_waveform.get(); }

signals:
    /// Something drawn changed (a decoded cover, a frame of motion).
    void needsRepaint();
    /// A frame of the waveform's motion: only its row changed.
    void waveformFrameDue();

private:
    void adoptParts();
    Size accessorySize() const;
    void paintGlyph(QPainter& painter, const QRectF& frame) const;
    void paintTextBlock(QPainter& painter, const QRectF& frame) const;
    void paintAccessory(QPainter& painter, const QRectF& frame) const;

    ActivityPayload m_payload;
    bool m_expanded;
    double m_cutoutWidth;
    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    ArtworkCache& m_cache;
    const ReduceMotionSetting* m_reduceMotion;
    bool m_shown = false;
    std::unique_ptr<ArtworkView> m_artwork;
    std::unique_ptr<WaveformView> m_waveform;
    /// The bar's value and the ring's fraction as drawn.
    std::unique_ptr<SpringAnimator> m_levels;
};
