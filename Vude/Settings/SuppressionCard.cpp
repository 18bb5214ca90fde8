#include "Vude/Settings/SuppressionCard.h"

#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/AccentButton.h"
#include "VudeKit/LinuxTexts.h"

#include <QPointer>
#include <QVBoxLayout>

QString SuppressionCard::heading()
{
    return QStringLiteral("System HUDs");
}

QString SuppressionCard::switchLabel()
{
    return QStringLiteral("Replace the system HUD");
}

QString SuppressionCard::footnote(bool canSuppress)
{
    return qt(canSuppress ? LinuxTexts::suppressionFootnoteHolding.shown : LinuxTexts::suppressionFootnoteHeld.shown);
}

QString SuppressionCard::allowTitle()
{
    return QStringLiteral("Allow\u2026");
}

QString SuppressionCard::passThroughLabel()
{
    return QStringLiteral("Keys with no settable volume");
}

QString SuppressionCard::passThroughFootnote()
{
    return QStringLiteral("HDMI and optical outputs have a fixed level. Vude passes those keys straight through "
                          "rather than swallowing them.");
}

QString SuppressionCard::passThroughText()
{
    return QStringLiteral("Passed through");
}

SuppressionCard::SuppressionCard(SettingsBindings& bindings, bool canSuppress, std::function<void()> onRequest,
                                 const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_canSuppress(canSuppress)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(headingSpacing);
    column->addWidget(SettingsText::sectionTitle(heading()));
    auto* card = new SettingsCard;
    column->addWidget(card);

    QWidget* control = nullptr;
    if (canSuppress) {
        m_switch = new SettingsSwitch(environment);
        control = m_switch;
    } else {
        m_allow = new AccentButton(environment, allowTitle(), AccentButton::Style::small);
        connect(m_allow, &AccentButton::clicked, this, [onRequest = std::move(onRequest)] {
            if (onRequest)
                onRequest();
        });
        control = m_allow;
    }
    m_switchRow = new SettingsRow(switchLabel(), control, footnote(canSuppress));
    card->addRow(m_switchRow);
    if (!canSuppress)
        return;

    bindings.bind(m_switch, &SettingsStore::suppressSystemHUD, &SettingsStore::setSuppressSystemHUD);
    auto* passed = new SettingsText(passThroughText(), Vude::Type_::settingsFootnote, Vude::Stone::x400);
    passed->setWrapping(false);
    m_passThrough = new SettingsRow(passThroughLabel(), passed, passThroughFootnote());
    card->addRow(m_passThrough);
    const SettingsStore& store = bindings.store();
    const QPointer<SettingsRow> row = m_passThrough;
    bindings.follow([&store, row] {
        if (row)
            row->setVisible(store.suppressSystemHUD());
    });
}

int SuppressionCard::shownRowCount() const
{
    return 1 + (m_passThrough && !m_passThrough->isHidden() ? 1 : 0);
}
