#include "Vude/Permissions/AlertPresenter.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon icon(Alert::Style style)
{
    switch (style) {
    case Alert::Style::informational:
        break;
    case Alert::Style::warning:
        return QMessageBox::Warning;
    case Alert::Style::critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::Information;
}

} // namespace

std::optional<std::size_t> MessageBoxAlertPresenter::runModal(const Alert& alert)
{
    QMessageBox box;
    box.setIcon(icon(alert.style));
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    // The alert belongs to no window of ours and must not hide behind others.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);

    std::vector<QAbstractButton*> buttons;
    for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
        // The style places buttons by role, so the roles carry the order's meaning.
        QMessageBox::ButtonRole role = QMessageBox::ActionRole;
        if (i == 0)
            role = QMessageBox::AcceptRole;
        else if (i + 1 == alert.buttons.size())
            role = QMessageBox::RejectRole;
        buttons.push_back(box.addButton(QString::fromStdString(alert.buttons[i]), role));
    }
    if (!buttons.empty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
        box.setEscapeButton(buttons.back());
    }
    box.exec();

    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i])
            return i;
    return std::nullopt;
}
