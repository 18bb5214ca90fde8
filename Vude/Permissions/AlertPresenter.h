#pragma once
// Shows a modal alert and says which button the user chose.
//   MessageBoxAlertPresenter   a QMessageBox
//   RecordingAlertPresenter    answers as a test says, remembering each alert

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct Alert {
    enum class Style { informational, warning, critical };

    /// The bold first line.
    std::string messageText;
    /// The explanation below it.
    std::string informativeText;
    Style style = Style::informational;
    /// In order; the first is the default, the last answers Escape.
    std::vector<std::string> buttons;

    bool operator==(const Alert&) const = default;
};

class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    /// Blocks until the user answers; the index of the chosen button, none
    /// when the alert went without a choice.
    virtual std::optional<std::size_t> runModal(const Alert& alert) = 0;
};

class MessageBoxAlertPresenter final : public AlertPresenter {
public:
    std::optional<std::size_t> runModal(const Alert& alert) override;
};

class RecordingAlertPresenter final : public AlertPresenter {
public:
    std::optional<std::size_t> runModal(const Alert& alert) override
    {
        alerts.push_back(alert);
        if (whilePresented)
            whilePresented();
        return choice;
    }

    std::vector<Alert> alerts;
    /// The answer every alert gets.
    std::optional<std::size_t> choice = 0;
    /// Runs while the alert is up, before the answer.
    std::function<void()> whilePresented;
};
