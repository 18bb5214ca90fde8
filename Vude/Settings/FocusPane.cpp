#include "Vude/Settings/FocusPane.h"

#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/NoticeCards.h"
#include "VudeKit/LinuxTexts.h"

#include <QVBoxLayout>

namespace {

QString qt(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

FocusPane::FocusPane(const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(SettingsPane::focus, parent), m_environment(environment)
{
    m_stack = new QVBoxLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(18);
}

FocusPane::~FocusPane() = default;

void FocusPane::bind(const SettingsPaneInputs& inputs)
{
    // What the pane knows of Focus is fixed when it is made.
    if (m_bindings)
        return;
    m_inputs = std::get<FocusPaneInputs>(inputs);
    if (m_inputs.settings)
        build();
}

void FocusPane::build()
{
    using S = SettingsStore;
    m_bindings = new SettingsBindings(*m_inputs.settings, this);

    m_header = new ActivityHeaderCard(QStringLiteral("Focus"), 1, 15, m_environment.view);
    m_header->bind(*m_bindings, &S::focusEnabled, &S::setFocusEnabled, &S::focusDuration, &S::setFocusDuration);
    m_stack->addWidget(m_header);

    m_options = new SettingsCard;
    m_replaceWaveform = new SettingsSwitch(m_environment.view);
    m_options->addRow(new SettingsRow(QStringLiteral("Replace the waveform while Focus is on"), m_replaceWaveform));
    m_bindings->bind(m_replaceWaveform, &S::focusReplaceWaveform, &S::setFocusReplaceWaveform);
    m_hideLabel = new SettingsSwitch(m_environment.view);
    m_options->addRow(new SettingsRow(QStringLiteral("Hide label"), m_hideLabel));
    m_bindings->bind(m_hideLabel, &S::focusHideLabel, &S::setFocusHideLabel);
    m_stack->addWidget(m_options);

    if (!m_inputs.hasRichIdentity) {
        m_identityCard = new UnavailableCard(qt(LinuxTexts::focusIdentityTitle.shown),
                                             qt(LinuxTexts::focusIdentityDetail.shown));
        m_stack->addWidget(m_identityCard);
    }
    m_stack->addStretch(1);
}
