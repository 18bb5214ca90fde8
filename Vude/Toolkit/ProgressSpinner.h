#pragma once
// A small spinner of eight ticks that turns while it is shown, centred in
// whatever room it is given; its timer runs on the environment's scheduler
// and only while the spinner is visible.

#include "Vude/Toolkit/ViewEnvironment.h"
#include "VudeKit/Scheduler.h"

#include <QWidget>

class ProgressSpinner final : public QWidget {
    Q_OBJECT
public:
    static constexpr int ticks = 8;

    /// Drawn `side` points across; `environment` must outlive the spinner.
    explicit ProgressSpinner(const ViewEnvironment& environment, double side = 16, QWidget* parent = nullptr);
    ~ProgressSpinner() override;

    int step() const { return m_step; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    const ViewEnvironment& m_environment;
    double m_side;
    ScheduledTask m_timer;
    int m_step = 0;
};
