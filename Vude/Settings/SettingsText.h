#pragma once
// Text in the settings window: a row's label, a footnote, a section title.
// It wraps at words onto as many lines as it needs (WrappedText), up to an
// optional greatest width, and asks its layout for the height that takes;
// one line that is never cut when wrapping is off. Plain text, no markup.

#include "VudeUI/Tokens.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <string_view>

class QAbstractScrollArea;

/// Stored and table texts (UTF-8) as Qt shows them.
inline QString qt(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

/// Gives `area` the settings window's thin, dark scroll bar.
void styleSettingsScrollBar(QAbstractScrollArea& area);

class SettingsText final : public QWidget {
    Q_OBJECT
public:
    SettingsText(const QString& text, const Vude::FontToken& font, const Vude::Color& color,
                 QWidget* parent = nullptr);

    /// A section title above a card.
    static SettingsText* sectionTitle(const QString& text, QWidget* parent = nullptr);
    /// A note under a card: footnote type, at most 430 wide.
    static SettingsText* footnote(const QString& text, QWidget* parent = nullptr);

    /// Points a pane's notes are at most.
    static constexpr double noteWidth = 430;

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    void setColor(const Vude::Color& color);
    Vude::Color color() const { return m_color; }
    /// Lines never wider than this; none: as wide as the layout gives.
    void setMaximumTextWidth(std::optional<double> width);
    /// One line, as wide as its text (a row's label).
    void setWrapping(bool wraps);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return m_wraps; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double lineWidth(double available) const;

    QString m_text;
    Vude::Color m_color;
    std::optional<double> m_maximumWidth;
    bool m_wraps = true;
};
