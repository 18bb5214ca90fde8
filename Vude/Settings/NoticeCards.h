#pragma once
// The two notice cards of the activity panes. UnavailableCard explains why
// a feature is off on this computer; PermissionNeededCard names an access
// Vude lacks, what goes without it, and offers "Allow", which only calls
// `onRequest`. Both span the pane's width on a dark rounded card, the
// permission card outlined in amber.

#include "Vude/Permissions/Permission.h"
#include "Vude/Toolkit/ViewEnvironment.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <string_view>

class AccentButton;
class SettingsText;

/// A rounded card of the notices: filled, outlined, padded 13.
class NoticeCard : public QWidget {
    Q_OBJECT
public:
    static constexpr int padding = 13;
    static constexpr double radius = 10;

    NoticeCard(QColor outline, QWidget* parent = nullptr);
    QColor outline() const { return m_outline; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_outline;
};

class UnavailableCard final : public NoticeCard {
    Q_OBJECT
public:
    UnavailableCard(const QString& title, const QString& detail, QWidget* parent = nullptr);

    SettingsText* titleText() const { return m_title; }
    SettingsText* detailText() const { return m_detail; }

private:
    SettingsText* m_title = nullptr;
    SettingsText* m_detail = nullptr;
};

class PermissionNeededCard final : public NoticeCard {
    Q_OBJECT
public:
    /// What the card says for a permission.
    struct Content {
        std::string_view symbol;
        QString title;
        std::string_view consequence;
    };
    static Content content(Permission permission);

    /// `environment` must outlive the card.
    PermissionNeededCard(Permission permission, std::function<void()> onRequest, const ViewEnvironment& environment,
                         QWidget* parent = nullptr);

    Permission permission() const { return m_permission; }
    /// The symbol on the card's tile.
    std::string_view symbol() const { return m_symbol; }
    SettingsText* titleText() const { return m_title; }
    SettingsText* consequenceText() const { return m_consequence; }
    AccentButton* allowButton() const { return m_allow; }

private:
    Permission m_permission;
    std::string_view m_symbol;
    SettingsText* m_title = nullptr;
    SettingsText* m_consequence = nullptr;
    AccentButton* m_allow = nullptr;
};
