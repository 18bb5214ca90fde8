#include "Vude/Settings/FocusPane.h"

#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsText.h"
#include "VudeKit/LinuxTexts.h"

#include <QVBoxLayout>

FocusPane::FocusPane(const SettingsEnvironment& environment, QWidget* parent)
    : ActivityPane(SettingsPane::focus, environment, parent)
{
}

void FocusPane::bind(const SettingsPaneInputs& inputs)
{
    const auto& focus = std::get<FocusPaneInputs>(inputs);
    const bool reshaped = buildCount() == 0 || focus.hasRichIdentity != m_inputs.hasRichIdentity;
    m_inputs = focus;
    if (m_inputs.settings && reshaped)
        rebuild(*m_inputs.settings);
}

void FocusPane::build(QVBoxLayout& stack, SettingsBindings& bindings)
{
    using S = SettingsStore;
    m_header = new ActivityHeaderCard(QStringLiteral("Focus"), 1, 15, environment().view);
    m_header->bind(bindings, &S::focusEnabled, &S::setFocusEnabled, &S::focusDuration, &S::setFocusDuration);
    stack.addWidget(m_header);

    m_options = new SettingsCard;
    m_replaceWaveform = addSwitchRow(*m_options, bindings, QStringLiteral("Replace the waveform while Focus is on"),
                                     &S::focusReplaceWaveform, &S::setFocusReplaceWaveform);
    m_hideLabel = addSwitchRow(*m_options, bindings, QStringLiteral("Hide label"), &S::focusHideLabel,
                               &S::setFocusHideLabel);
    stack.addWidget(m_options);

    m_identityCard = nullptr;
    if (!m_inputs.hasRichIdentity) {
        m_identityCard = new UnavailableCard(qt(LinuxTexts::focusIdentityTitle.shown),
                                             qt(LinuxTexts::focusIdentityDetail.shown));
        stack.addWidget(m_identityCard);
    }
}
