#pragma once
// A settings row whose control is a continuous slider over a range of
// doubles, with the current value shown above it as a whole number and a
// unit suffix on a small capsule.
//
// Like the switch, it never changes its own value: a drag (or an arrow key)
// asks for a value through `moved`, fractions included, at every step;
// the owner writes it (a SettingsStore setter clamps and saves) and shows
// what was kept with setValue (SettingsBindings does both). The value is
// shown as it is, not clamped: a stored value beyond the range reads as
// stored and puts the thumb at that end.

#include "Vude/Toolkit/ViewEnvironment.h"

#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

class ValueSlider final : public QWidget {
    Q_OBJECT
public:
    static constexpr int horizontalPadding = 12;
    static constexpr int verticalPadding = 9;
    static constexpr int lineSpacing = 6;
    static constexpr double trackHeight = 20;
    static constexpr double thumbDiameter = 16;

    /// The text shown for `value`: truncated toward zero (12.9 is 12, -0.5
    /// is 0), in plain decimal digits with a leading minus, then `suffix`
    /// with nothing between. NaN shows 0; values beyond the 64-bit range
    /// show its ends.
    static std::string valueText(double value, std::string_view suffix);

    /// `lower` ≤ `upper`.
    ValueSlider(const QString& label, double lower, double upper, const QString& suffix = {},
                QWidget* parent = nullptr);

    QString label() const { return m_label; }
    double lower() const { return m_lower; }
    double upper() const { return m_upper; }
    double value() const { return m_value; }
    /// Shows `value`; never emits `moved`.
    void setValue(double value);
    /// The text on the capsule now.
    QString shownText() const;

    /// Where the thumb's centre is for `value`, in the slider's coordinates.
    QPointF thumbCentre(double value) const;
    /// The value under the x coordinate `x` of the track.
    double valueAt(double x) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    /// The user asked for `value` (inside the range, possibly fractional).
    void moved(double value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    double lineHeight() const;
    QRectF trackArea() const;
    void ask(double value);

    QString m_label;
    double m_lower;
    double m_upper;
    QString m_suffix;
    double m_value;
    bool m_dragging = false;
};
