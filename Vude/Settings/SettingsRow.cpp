#include "Vude/Settings/SettingsRow.h"

#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsText.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/QtTokens.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

void paintRowDivider(QWidget& row)
{
    QPainter painter(&row);
    if (const auto clip = SettingsCard::clipFor(row)) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setClipPath(*clip);
    }
    painter.fillRect(QRectF(0, row.height() - 1, row.width(), 1), toQColor(Vude::Ink::x700));
}

SettingsRow::SettingsRow(const QString& label, QWidget* control, const std::optional<QString>& footnote,
                         QWidget* parent)
    : QWidget(parent), m_control(control)
{
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    m_column->setSpacing(footnoteSpacing);
    auto* line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(controlSpacing);
    m_label = new SettingsText(label, Vude::Type_::settingsRow, Vude::Stone::x100, this);
    line->addWidget(m_label, 0, Qt::AlignVCenter);
    line->addStretch(1);
    if (m_control) {
        m_control->setParent(this);
        m_control->setAccessibleName(label);
        line->addWidget(m_control, 0, Qt::AlignVCenter);
    }
    m_column->addLayout(line);
    setFootnote(footnote);
}

QString SettingsRow::label() const
{
    return m_label->text();
}

void SettingsRow::setLabel(const QString& label)
{
    m_label->setText(label);
    if (m_control)
        m_control->setAccessibleName(label);
}

std::optional<QString> SettingsRow::footnote() const
{
    return m_footnote ? std::optional(m_footnote->text()) : std::nullopt;
}

void SettingsRow::setFootnote(const std::optional<QString>& footnote)
{
    if (!footnote) {
        if (m_footnote) {
            m_column->removeWidget(m_footnote);
            delete m_footnote;
            m_footnote = nullptr;
        }
        return;
    }
    if (m_footnote) {
        m_footnote->setText(*footnote);
        return;
    }
    m_footnote = new SettingsText(*footnote, Vude::Type_::settingsFootnote, Vude::Stone::x400, this);
    m_column->addWidget(m_footnote);
    m_footnote->show();
}

void SettingsRow::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
}
