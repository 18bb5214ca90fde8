#include "Vude/Settings/ConnectivityPane.h"

#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/Dimming.h"
#include "VudeKit/LinuxTexts.h"

#include <QVBoxLayout>

ConnectivityPane::ConnectivityPane(const SettingsEnvironment& environment, QWidget* parent)
    : ActivityPane(SettingsPane::connectivity, environment, parent)
{
}

void ConnectivityPane::bind(const SettingsPaneInputs& inputs)
{
    const auto& connectivity = std::get<ConnectivityPaneInputs>(inputs);
    const bool reshaped = buildCount() == 0 || connectivity.bluetoothPermission != m_inputs.bluetoothPermission;
    m_inputs = connectivity;
    if (m_inputs.settings && reshaped)
        rebuild(*m_inputs.settings);
}

void ConnectivityPane::build(QVBoxLayout& stack, SettingsBindings& bindings)
{
    using S = SettingsStore;
    const bool granted = m_inputs.bluetoothPermission == Permission::State::granted;
    m_permissionCard = nullptr;
    if (!granted) {
        m_permissionCard = new PermissionNeededCard(
            Permission::bluetooth,
            [this] {
                if (m_inputs.onRequestBluetooth)
                    m_inputs.onRequestBluetooth();
            },
            environment().view);
        stack.addWidget(m_permissionCard);
    }

    m_header = new ActivityHeaderCard(QStringLiteral("Connectivity"), 1, 15, environment().view);
    m_header->bind(bindings, &S::connectivityEnabled, &S::setConnectivityEnabled, &S::connectivityDuration,
                   &S::setConnectivityDuration);
    stack.addWidget(m_header);

    m_warningCard = new SettingsCard;
    m_warnLow = addSwitchRow(*m_warningCard, bindings, QStringLiteral("Warn on device low battery"),
                             &S::connectivityWarnLow, &S::setConnectivityWarnLow);
    m_threshold = new ValueSlider(QStringLiteral("Low battery threshold"), 5, 50, QStringLiteral("%"));
    m_warningCard->addRow(m_threshold);
    bindings.bind(m_threshold, &S::connectivityLowThreshold, &S::setConnectivityLowThreshold);
    dimWhileOff(bindings, *m_threshold, &S::connectivityWarnLow);
    stack.addWidget(m_warningCard);

    // Without access nothing set here can take effect yet.
    for (QWidget* card : {static_cast<QWidget*>(m_header), static_cast<QWidget*>(m_warningCard)})
        Dimming::setDimmed(*card, !granted);

    const std::string_view note = LinuxTexts::connectivityBatteryNote.shown;
    m_note = SettingsText::footnote(QString::fromUtf8(note.data(), qsizetype(note.size())));
    stack.addWidget(m_note);
}
