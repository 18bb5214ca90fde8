#include "Vude/Permissions/AlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Answers the next modal alert with `answer` once it is up, after `inspect`
// has looked at it.
void whenShown(std::function<void(QMessageBox&)> inspect, std::function<void(QMessageBox&)> answer)
{
    QTimer::singleShot(0, [inspect = std::move(inspect), answer = std::move(answer)] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        inspect(*box);
        answer(*box);
    });
}

QAbstractButton* buttonTitled(QMessageBox& box, const QString& title)
{
    for (QAbstractButton* button : box.buttons())
        if (button->text() == title)
            return button;
    return nullptr;
}

TEST(MessageBoxAlertPresenter, ShowsTheAlertAndReportsTheChosenButton)
{
    const Alert alert{
        .messageText = "Accessibility access needed",
        .informativeText = "To replace the system volume and brightness HUDs, Vude has to intercept those keys.",
        .style = Alert::Style::informational,
        .buttons = {"Open Help", "Not Now"},
    };
    const struct {
        const char* why;
        std::function<void(QMessageBox&)> answer;
        std::optional<std::size_t> chosen;
    } rows[] = {
        {"the first button", [](QMessageBox& box) { buttonTitled(box, "Open Help")->click(); }, 0},
        {"the second button", [](QMessageBox& box) { buttonTitled(box, "Not Now")->click(); }, 1},
        {"Escape", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, 1},
        {"Return takes the first", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        MessageBoxAlertPresenter presenter;
        bool inspected = false;
        whenShown(
            [&](QMessageBox& box) {
                inspected = true;
                EXPECT_EQ(box.text(), QString::fromStdString(alert.messageText));
                EXPECT_EQ(box.informativeText(), QString::fromStdString(alert.informativeText));
                EXPECT_EQ(box.icon(), QMessageBox::Information);
                EXPECT_EQ(box.buttons().size(), 2);
                EXPECT_NE(buttonTitled(box, "Open Help"), nullptr);
                EXPECT_NE(buttonTitled(box, "Not Now"), nullptr);
                EXPECT_EQ(box.defaultButton(), buttonTitled(box, "Open Help"));
                EXPECT_TRUE(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            },
            row.answer);
        EXPECT_EQ(presenter.runModal(alert), row.chosen);
        EXPECT_TRUE(inspected);
    }
}

} // namespace
