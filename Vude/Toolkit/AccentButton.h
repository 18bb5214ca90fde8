#pragma once
// The accent capsule buttons: the label in black on a filled accent capsule
// that darkens while pressed. AccentButtonStyle is the walkthrough's primary
// button and also shrinks a little while pressed, on its own spring;
// SmallAccentButtonStyle ("Allow" in permission rows and cards) only
// darkens. The styles are plain metrics; AccentButton draws either.

#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/Tokens.h"

#include <QString>

#include <memory>

struct AccentButtonStyle {
    static constexpr Vude::FontToken font{12.5, Vude::FontWeight::semibold};
    static constexpr double horizontalPadding = 18;
    static constexpr double verticalPadding = 8;
    static constexpr double pressedScale = 0.97;
    static constexpr Vude::Animation pressAnimation = Vude::Animation::spring(std::chrono::milliseconds(200), 0.7);
};

struct SmallAccentButtonStyle {
    static constexpr Vude::FontToken font{11, Vude::FontWeight::semibold};
    static constexpr double horizontalPadding = 12;
    static constexpr double verticalPadding = 5;
};

class AccentButton final : public PlainButton {
    Q_OBJECT
public:
    enum class Style { regular, small };

    /// `environment` must outlive the button.
    AccentButton(const ViewEnvironment& environment, const QString& title, Style style = Style::regular,
                 QWidget* parent = nullptr);
    ~AccentButton() override;

    Style style() const { return m_style; }
    void setTitle(const QString& title);

    /// The scale the button is drawn at about its centre now (1 at rest).
    double scale() const;
    /// The capsule's fill now.
    Vude::Color fill() const;

private:
    void paint(QPainter& painter) const;
    void pressChanged();

    const ViewEnvironment& m_environment;
    Style m_style;
    std::unique_ptr<class SpringAnimator> m_scale;
};
