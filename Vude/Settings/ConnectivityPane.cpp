#include "Vude/Settings/ConnectivityPane.h"

#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/Dimming.h"
#include "VudeKit/LinuxTexts.h"

#include <QVBoxLayout>

ConnectivityPane::ConnectivityPane(const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(SettingsPane::connectivity, parent), m_environment(environment)
{
    m_stack = new QVBoxLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(18);
}

ConnectivityPane::~ConnectivityPane() = default;

void ConnectivityPane::bind(const SettingsPaneInputs& inputs)
{
    // The permission state is the one read when the pane was made: the
    // window makes a new pane to show another.
    const bool first = m_bindings == nullptr;
    const auto& connectivity = std::get<ConnectivityPaneInputs>(inputs);
    if (first)
        m_inputs = connectivity;
    else
        m_inputs.onRequestBluetooth = connectivity.onRequestBluetooth;
    if (m_inputs.settings && first)
        build();
}

void ConnectivityPane::build()
{
    using S = SettingsStore;
    m_bindings = new SettingsBindings(*m_inputs.settings, this);
    const bool granted = m_inputs.bluetoothPermission == Permission::State::granted;

    if (!granted) {
        m_permissionCard = new PermissionNeededCard(Permission::bluetooth, [this] {
            if (m_inputs.onRequestBluetooth)
                m_inputs.onRequestBluetooth();
        }, m_environment.view);
        m_stack->addWidget(m_permissionCard);
    }

    m_header = new ActivityHeaderCard(QStringLiteral("Connectivity"), 1, 15, m_environment.view);
    m_header->bind(*m_bindings, &S::connectivityEnabled, &S::setConnectivityEnabled, &S::connectivityDuration,
                   &S::setConnectivityDuration);
    m_stack->addWidget(m_header);

    m_warningCard = new SettingsCard;
    m_warnLow = new SettingsSwitch(m_environment.view);
    m_warningCard->addRow(new SettingsRow(QStringLiteral("Warn on device low battery"), m_warnLow));
    m_bindings->bind(m_warnLow, &S::connectivityWarnLow, &S::setConnectivityWarnLow);
    m_threshold = new ValueSlider(QStringLiteral("Low battery threshold"), 5, 50, QStringLiteral("%"));
    m_warningCard->addRow(m_threshold);
    m_bindings->bind(m_threshold, &S::connectivityLowThreshold, &S::setConnectivityLowThreshold);
    dimWhileOff(*m_bindings, *m_threshold, &S::connectivityWarnLow);
    m_stack->addWidget(m_warningCard);

    const std::string_view note = LinuxTexts::connectivityBatteryNote.shown;
    m_note = SettingsText::footnote(QString::fromUtf8(note.data(), qsizetype(note.size())));
    m_stack->addWidget(m_note);
    m_stack->addStretch(1);

    // Without access nothing here can take effect yet.
    Dimming::setDimmed(*m_header, !granted);
    Dimming::setDimmed(*m_warningCard, !granted);
}
