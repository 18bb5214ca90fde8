#pragma once
// One line of a settings card: a label, a flexible gap and a trailing
// control (a switch, a picker, a button, a text), with an optional footnote
// below that wraps freely. Padded 12 left and right and 9 top and bottom,
// with a 1-point divider along its bottom edge (the last row of a card
// draws one too). It keeps no state: the pane binds the control.

#include <QString>
#include <QWidget>

#include <optional>

class QHBoxLayout;
class QVBoxLayout;
class SettingsText;

/// The 1-point line along the bottom of every row, clipped to its card.
void paintRowDivider(QWidget& row);

class SettingsRow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int horizontalPadding = 12;
    static constexpr int verticalPadding = 9;
    static constexpr int footnoteSpacing = 2;
    static constexpr int controlSpacing = 8;

    /// Takes `control` (may be none) as a child.
    SettingsRow(const QString& label, QWidget* control = nullptr,
                const std::optional<QString>& footnote = std::nullopt, QWidget* parent = nullptr);

    QString label() const;
    void setLabel(const QString& label);
    std::optional<QString> footnote() const;
    /// Shows, changes or removes the footnote.
    void setFootnote(const std::optional<QString>& footnote);
    QWidget* control() const { return m_control; }

    SettingsText* labelText() const { return m_label; }
    SettingsText* footnoteText() const { return m_footnote; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_column = nullptr;
    SettingsText* m_label = nullptr;
    SettingsText* m_footnote = nullptr;
    QWidget* m_control = nullptr;
};
