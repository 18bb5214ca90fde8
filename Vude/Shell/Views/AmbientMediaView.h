#pragma once
// The now-playing item carried ambiently beside the notch: a small square of
// artwork left of the notch, a moving waveform right of it, and, while the
// pointer rests on the notch, the title and artist in a row beneath.
//
// The waveform always moves here, even for paused media: it says "something
// is playing in the background", not the playback state. The artwork is
// decoded once per change of its bytes (through the shared artwork cache, off
// the main thread), never while painting.

#include "Platform/Settings/ReduceMotionSetting.h"
#include "VudeKit/ActivityModels.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"
#include "VudeUI/Tokens.h"
#include "Vude/Shell/Views/AmbientMediaLayout.h"

#include <QObject>
#include <QRectF>

#include <memory>

class ArtworkCache;
class ArtworkView;
class QPainter;
class SpringAnimator;
class WaveformView;

class AmbientMediaView final : public QObject {
    Q_OBJECT
public:
    /// `scheduler`, `clock`, `cache` and `reduceMotion` (when given) must
    /// outlive the view.
    AmbientMediaView(const ActivityPayload& payload, bool expanded, double cutoutWidth, Scheduler& scheduler,
                     const ClockSource& clock, ArtworkCache& cache, const ReduceMotionSetting* reduceMotion,
                     QObject* parent = nullptr);
    ~AmbientMediaView() override;

    const ActivityPayload& payload() const { return m_payload; }
    void setPayload(const ActivityPayload& payload);
    bool isExpanded() const { return m_expanded; }
    /// Shows or hides the label row, fading under `animation`.
    void setExpanded(bool expanded, const Vude::Animation& animation);
    void setCutoutWidth(double width) { m_cutoutWidth = width; }
    /// Whether the view is on screen: its waveform moves only then.
    void setShown(bool shown);

    /// The label row's opacity as drawn now (0 hidden ... 1 shown).
    double labelPresence() const;
    AmbientMediaLayout::Frames frames(const QRectF& content) const;
    void paint(QPainter& painter, const QRectF& content) const;
    /// Where the waveform's row is drawn in `content`.
    QRectF waveformRect(const QRectF& content) const;

    ArtworkView& artwork() const { return *m_artwork; }
    WaveformView& waveform() const { return *m_waveform; }

signals:
    void needsRepaint();
    /// A frame of the waveform's motion: only its row changed.
    void waveformFrameDue();

private:
    QRectF waveformFrame(const AmbientMediaLayout::Frames& frames) const;
    void paintArtwork(QPainter& painter, const QRectF& frame) const;
    void paintLabels(QPainter& painter, const QRectF& row, double opacity) const;
    double labelRowHeight() const;

    ActivityPayload m_payload;
    bool m_expanded;
    double m_cutoutWidth;
    std::unique_ptr<ArtworkView> m_artwork;
    std::unique_ptr<WaveformView> m_waveform;
    std::unique_ptr<SpringAnimator> m_labels;
};
