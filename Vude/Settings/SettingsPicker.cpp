#include "Vude/Settings/SettingsPicker.h"

#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace {

QFont titleFont()
{
    return systemFont(12, Vude::FontWeight::semibold);
}

QFont subtitleFont()
{
    return systemFont(10);
}

constexpr double subtitleOpacity = 0.75;
constexpr int lineSpacing = 1;

} // namespace

SettingsPicker::SettingsPicker(const QString& label, const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_label(label)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(margins);
    column->setSpacing(spacing);
    auto* title = new SettingsText(label, Vude::Type_::settingsRow, Vude::Stone::x100);
    column->addWidget(title);

    auto* row = new QHBoxLayout;
    row->setSpacing(spacing);
    const int height = buttonPaddingY * 2 + int(std::ceil(QFontMetricsF(titleFont()).height())) + lineSpacing +
                       int(std::ceil(QFontMetricsF(subtitleFont()).height()));
    for (TrayDropMode mode : allCases<TrayDropMode>()) {
        auto* button = new PlainButton(environment);
        button->setObjectName(qt(rawValue(mode)));
        button->setText(qt(displayName(mode)));
        button->setPreferredSize(QSize(0, height));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setPainter([this, mode](QPainter& painter, const PlainButton& self) {
            const bool selected = mode == m_selection;
            painter.setRenderHint(QPainter::Antialiasing);
            painter.fillPath(continuousRoundedRect(QRectF(self.rect()), buttonRadius),
                             toQColor(selected ? Vude::Accent::x500 : Vude::Ink::x800));
            const QColor ink = toQColor(selected ? Vude::Accent::on : Vude::Stone::x200);
            const QRectF text = QRectF(self.rect()).adjusted(buttonPaddingX, buttonPaddingY, -buttonPaddingX, 0);
            const double titleHeight = std::ceil(QFontMetricsF(titleFont()).height());
            painter.setPen(ink);
            painter.setFont(titleFont());
            painter.drawText(QRectF(text.left(), text.top(), text.width(), titleHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, qt(displayName(mode)));
            painter.setOpacity(subtitleOpacity);
            painter.setFont(subtitleFont());
            painter.drawText(QRectF(text.left(), text.top() + titleHeight + lineSpacing, text.width(),
                                    std::ceil(QFontMetricsF(subtitleFont()).height())),
                             Qt::AlignLeft | Qt::AlignVCenter, qt(subtitle(mode)));
        });
        connect(button, &QAbstractButton::clicked, this, [this, mode] { emit chosen(mode); });
        row->addWidget(button, 1);
        m_buttons[mode] = button;
    }
    column->addLayout(row);
}

void SettingsPicker::setSelection(TrayDropMode mode)
{
    if (mode == m_selection)
        return;
    m_selection = mode;
    for (const auto& [each, button] : m_buttons)
        button->update();
}
