#pragma once
// A button that draws nothing of its own: its user paints it, and its whole
// rectangle takes the pointer (a small symbol button is as easy to hit as
// its box). Hovering moves a 0...1 value on the hover spring, through the
// desktop's reduce-motion preference, for the painter to read.
//
// A click (press and release inside) emits `clicked`, as every
// QAbstractButton does. The button never takes keyboard focus: the notch
// panel lends the keyboard only while the Desk is open, and a button must
// not keep it. Its help text is both its tooltip and its accessible
// description; its accessible name is its text.

#include "Vude/Toolkit/ViewEnvironment.h"

#include <QAbstractButton>

#include <functional>
#include <memory>

class SpringAnimator;

class PlainButton : public QAbstractButton {
    Q_OBJECT
public:
    /// Paints the button in its own coordinates, reading its state.
    using Painter = std::function<void(QPainter& painter, const PlainButton& button)>;

    /// `environment` must outlive the button.
    explicit PlainButton(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~PlainButton() override;

    void setPainter(Painter painter);

    /// The pointer is over the button now.
    bool isHovering() const { return m_hovering; }
    /// 0 at rest ... 1 hovered, on the hover spring; a spring may overshoot.
    double hoverProgress() const;
    /// Held down with the pointer still inside.
    bool isPressedInside() const { return isDown(); }

    /// The tooltip and accessible description; none when empty.
    void setHelpText(const QString& text);
    QString helpText() const { return toolTip(); }

    /// The size the button asks for; its layout may give it another.
    void setPreferredSize(QSize size);
    QSize sizeHint() const override { return m_preferredSize; }
    QSize minimumSizeHint() const override { return m_preferredSize; }

signals:
    void hoveringChanged(bool hovering);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovering(bool hovering);

    const ViewEnvironment& m_environment;
    Painter m_painter;
    std::unique_ptr<SpringAnimator> m_hover;
    QSize m_preferredSize;
    bool m_hovering = false;
};
