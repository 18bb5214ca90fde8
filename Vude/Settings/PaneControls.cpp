#include "Vude/Settings/PaneControls.h"

#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/ProgressSpinner.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>

#include <cmath>

namespace PaneControls {

PlainButton* textButton(const ViewEnvironment& environment, const QString& title, const Vude::FontToken& font,
                        const Vude::Color& color, QWidget* parent)
{
    auto* button = new PlainButton(environment, parent);
    button->setText(title);
    const QFont shownFont = toQFont(font);
    const QFontMetricsF metrics(shownFont);
    button->setPreferredSize(
        QSize(int(std::ceil(metrics.horizontalAdvance(title))) + 2, int(std::ceil(metrics.height()))));
    button->setPainter([shownFont, color](QPainter& painter, const PlainButton& self) {
        QColor ink = toQColor(color);
        if (self.isPressedInside())
            ink.setAlphaF(0.6F);
        painter.setFont(shownFont);
        painter.setPen(ink);
        painter.drawText(QRectF(self.rect()), Qt::AlignCenter, self.text());
    });
    return button;
}

PlainButton* symbolButton(const ViewEnvironment& environment, const std::string& name, double pointSize,
                          const Vude::Color& color, QSize size, const Vude::Color& disabledColor, QWidget* parent)
{
    auto* button = new PlainButton(environment, parent);
    button->setPreferredSize(size);
    button->setPainter([name, pointSize, color, disabledColor](QPainter& painter, const PlainButton& self) {
        QColor ink = toQColor(self.isEnabled() ? color : disabledColor);
        if (self.isPressedInside())
            ink.setAlphaF(0.6F);
        const double side = pointSize * SymbolCatalog::kOpticalScale;
        const QRectF box((self.width() - side) / 2, (self.height() - side) / 2, side, side);
        SymbolCatalog::draw(painter, box, name, ink, pointSize);
    });
    return button;
}

QLineEdit* textField(const QString& placeholder, bool filled, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setPlaceholderText(placeholder);
    field->setFont(toQFont(Vude::Type_::settingsRow));
    field->setFrame(false);
    const QString fill = filled ? toQColor(Vude::Ink::x850).name() : QStringLiteral("transparent");
    field->setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: none; border-radius: 7px;"
                                        " padding: %3; }")
                             .arg(fill, toQColor(Vude::Stone::x100).name(),
                                  filled ? QStringLiteral("5px 9px") : QStringLiteral("0px")));
    QPalette palette = field->palette();
    palette.setColor(QPalette::PlaceholderText, toQColor(Vude::Stone::x400));
    field->setPalette(palette);
    return field;
}

DividedRow::DividedRow(QWidget* parent) : QWidget(parent) {}

void DividedRow::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
}

QWidget* paddedRow(QWidget* content)
{
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(14, 14, 14, 14);
    column->addWidget(content);
    return box;
}

QWidget* loadingRow(const ViewEnvironment& environment, const QString& text)
{
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(14, 14, 14, 14);
    line->setSpacing(8);
    auto* spinner = new ProgressSpinner(environment, 12);
    spinner->setFixedSize(14, 14);
    line->addWidget(spinner);
    auto* label = new SettingsText(text, Vude::Type_::settingsFootnote, Vude::Stone::x400);
    label->setWrapping(false);
    line->addWidget(label);
    line->addStretch(1);
    return row;
}

QString emptyResultsText(const QString& search)
{
    if (search.isEmpty())
        return QStringLiteral("Everything is already on the Desk.");
    return QStringLiteral("Nothing matches \u201C") + search + QStringLiteral("\u201D.");
}

} // namespace PaneControls
