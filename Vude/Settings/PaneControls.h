#pragma once
// Small controls the list panes (Calendar, Shortcuts, Quick Apps) share: a
// text button, a symbol button, card rows (divided, padded, loading), and
// the dark text field of a search or a name.

#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/Tokens.h"

#include <QString>
#include <QWidget>

#include <string>

class QLineEdit;

namespace PaneControls {

/// `title` in `font` and `color`, as wide as its text; dimmer while held.
PlainButton* textButton(const ViewEnvironment& environment, const QString& title, const Vude::FontToken& font,
                        const Vude::Color& color, QWidget* parent = nullptr);

/// The symbol `name` at `pointSize` in `color` (`disabledColor` while
/// disabled), centred in a button of `size`.
PlainButton* symbolButton(const ViewEnvironment& environment, const std::string& name, double pointSize,
                          const Vude::Color& color, QSize size, const Vude::Color& disabledColor,
                          QWidget* parent = nullptr);

/// A plain text field in the row font, placeholder in `Stone.x400`; on a
/// rounded `Ink.x850` fill (radius 7) when `filled`, else bare.
QLineEdit* textField(const QString& placeholder, bool filled, QWidget* parent = nullptr);

/// A card row holding `content` 14 points in from every edge.
QWidget* paddedRow(QWidget* content);

/// A card row saying `text` beside a spinner, while a list is read.
QWidget* loadingRow(const ViewEnvironment& environment, const QString& text);

/// What a search list says when nothing is left to offer: everything is on
/// the Desk already, or nothing matches `search`.
QString emptyResultsText(const QString& search);

/// A row of a card: its children laid out by the caller, the card's 1-point
/// divider along its bottom edge.
class DividedRow : public QWidget {
    Q_OBJECT
public:
    explicit DividedRow(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace PaneControls
