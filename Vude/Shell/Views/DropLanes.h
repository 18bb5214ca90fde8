#pragma once
// Paints the drop lanes (DropLanesLayout) into the notch while files are
// dragged over it, and moves each lane's light on the hover spring when the
// lane under the pointer changes. The root view owns one, hands it the view
// model's lanes, hovered lane and file count, and repaints on `changed`.
// Main thread only.

#include "Vude/Shell/Views/DropLanesLayout.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"

#include <QObject>
#include <QRectF>

#include <memory>
#include <optional>
#include <vector>

class QPainter;
class SpringAnimator;

class DropLanes final : public QObject {
    Q_OBJECT
public:
    /// `scheduler` and `clock` must outlive the painter.
    DropLanes(Scheduler& scheduler, const ClockSource& clock, QObject* parent = nullptr);
    ~DropLanes() override;

    /// New lanes show at once; a new hovered lane moves the light with
    /// `hover`.
    void set(const std::vector<DropLane>& lanes, std::optional<int> hovered, long long fileCount,
             const Vude::Animation& hover);

    DropLanesLayout layout(const QRectF& bounds) const;
    void paint(QPainter& painter, const QRectF& bounds) const;
    bool isAnimating() const;

signals:
    void changed();

private:
    std::vector<double> targets() const;

    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    std::vector<DropLane> m_lanes;
    std::optional<int> m_hovered;
    long long m_fileCount = 0;
    std::unique_ptr<SpringAnimator> m_progress;
};
