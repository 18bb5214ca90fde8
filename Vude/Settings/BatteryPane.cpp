#include "Vude/Settings/BatteryPane.h"

#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"

#include <QVBoxLayout>

QString BatteryPane::note()
{
    return QStringLiteral("Battery only appears on real transitions \u2014 plugged in, unplugged, fully charged, or "
                          "crossing the threshold. Percentage changes on their own never raise a pill.");
}

BatteryPane::BatteryPane(const SettingsEnvironment& environment, QWidget* parent)
    : ActivityPane(SettingsPane::battery, environment, parent)
{
}

void BatteryPane::bind(const SettingsPaneInputs& inputs)
{
    m_inputs = std::get<BatteryPaneInputs>(inputs);
    if (m_inputs.settings && buildCount() == 0)
        rebuild(*m_inputs.settings);
}

void BatteryPane::build(QVBoxLayout& stack, SettingsBindings& bindings)
{
    using S = SettingsStore;
    m_header = new ActivityHeaderCard(QStringLiteral("Battery"), 1, 15, environment().view);
    m_header->bind(bindings, &S::batteryEnabled, &S::setBatteryEnabled, &S::batteryDuration,
                   &S::setBatteryDuration);
    stack.addWidget(m_header);

    auto* card = new SettingsCard;
    addSwitchRow(*card, bindings, QStringLiteral("Low Power Mode changes"), &S::batteryNotifyLowPowerMode,
                 &S::setBatteryNotifyLowPowerMode);
    addSwitchRow(*card, bindings, QStringLiteral("Warn on low battery"), &S::batteryWarnLow, &S::setBatteryWarnLow);
    auto* threshold = new ValueSlider(QStringLiteral("Low battery threshold"), 5, 50, QStringLiteral("%"));
    card->addRow(threshold);
    bindings.bind(threshold, &S::batteryLowThreshold, &S::setBatteryLowThreshold);
    dimWhileOff(bindings, *threshold, &S::batteryWarnLow);
    addSwitchRow(*card, bindings, QStringLiteral("Hide percentage"), &S::batteryHidePercentage,
                 &S::setBatteryHidePercentage);
    stack.addWidget(card);

    m_note = SettingsText::footnote(note());
    stack.addWidget(m_note);
}
