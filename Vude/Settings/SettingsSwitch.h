#pragma once
// The settings window's switch: a capsule with a round knob, accent-filled
// when on. It has no label of its own (its row's label names it, also for
// accessibility tools).
//
// It never changes its own value. A click (or Space) only asks for the
// other value through `flipped`; whoever owns the value writes it and shows
// what the source holds afterwards with setOn (SettingsBindings does both),
// so a source that refuses or ignores the request keeps the switch honest.
// The knob moves on the hover spring, or at once while hidden.

#include "Vude/Toolkit/ViewEnvironment.h"

#include <QWidget>

#include <memory>

class SpringAnimator;

class SettingsSwitch final : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize switchSize{32, 18};

    /// `environment` must outlive the switch.
    explicit SettingsSwitch(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~SettingsSwitch() override;

    bool isOn() const { return m_on; }
    /// Shows `on`; never emits `flipped`.
    void setOn(bool on);
    /// Where the knob is drawn now: 0 off ... 1 on (a spring may overshoot).
    double knobPosition() const;

    QSize sizeHint() const override { return switchSize; }
    QSize minimumSizeHint() const override { return switchSize; }

signals:
    /// The user asked for `requested` (the other value).
    void flipped(bool requested);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    const ViewEnvironment& m_environment;
    std::unique_ptr<SpringAnimator> m_knob;
    bool m_on = false;
    bool m_pressed = false;
};
