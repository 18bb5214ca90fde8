#pragma once
// Paints a NotchDemo: a 210-point card with a dark desktop, the miniature
// notch hanging from its top edge and the beat's content inside it. The
// script plays while the view is shown and stops when it is hidden.

#include "Vude/NotchDemo.h"

#include <QWidget>

class NotchDemoView final : public QWidget {
public:
    static constexpr int cardHeight = 210;

    NotchDemoView(NotchDemo::Script script, double notchWidth, double notchHeight, Scheduler& scheduler,
                  QWidget* parent = nullptr);

    NotchDemo& demo() { return m_demo; }
    QSize sizeHint() const override { return {360, cardHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    NotchDemo m_demo;
    Scheduler& m_scheduler;
};
