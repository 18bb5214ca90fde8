#include "Vude/Settings/SoundPane.h"

#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/PreviewPicker.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SuppressionCard.h"

#include <QVBoxLayout>

const std::vector<BarStyle>& SoundPane::barStyles()
{
    static const std::vector<BarStyle> styles{BarStyle::white, BarStyle::accent, BarStyle::decibel};
    return styles;
}

SoundPane::SoundPane(const SettingsEnvironment& environment, QWidget* parent)
    : ActivityPane(SettingsPane::sound, environment, parent)
{
}

void SoundPane::bind(const SettingsPaneInputs& inputs)
{
    const auto& sound = std::get<SoundPaneInputs>(inputs);
    const bool reshaped = buildCount() == 0 || sound.canSuppress != m_inputs.canSuppress;
    m_inputs = sound;
    if (m_inputs.settings && reshaped)
        rebuild(*m_inputs.settings);
}

void SoundPane::build(QVBoxLayout& stack, SettingsBindings& bindings)
{
    using S = SettingsStore;
    const ViewEnvironment& view = environment().view;
    m_header = new ActivityHeaderCard(QStringLiteral("Sound"), 0.5, 10, view);
    m_header->bind(bindings, &S::soundEnabled, &S::setSoundEnabled, &S::soundDuration, &S::setSoundDuration);
    stack.addWidget(m_header);

    auto* card = new SettingsCard;
    auto* bar = new PreviewPicker(QStringLiteral("Bar"), BarPreview::options(barStyles()), view);
    card->addRow(bar);
    bindPreviewPicker(bindings, *bar, barStyles(), &S::soundBarStyle, &S::setSoundBarStyle);
    const std::vector<HUDSpeed> speeds{HUDSpeed::smooth, HUDSpeed::fast, HUDSpeed::instant};
    auto* speed = new PreviewPicker(QStringLiteral("Speed"), SpeedPreview::options(speeds), view);
    card->addRow(speed);
    bindPreviewPicker(bindings, *speed, speeds, &S::soundSpeed, &S::setSoundSpeed);
    addSwitchRow(*card, bindings, QStringLiteral("Show percentage"), &S::soundShowPercentage,
                 &S::setSoundShowPercentage);
    // The pill's device name is soundHideLabel; soundTrailing is another setting.
    addSwitchRow(*card, bindings, QStringLiteral("Hide device name"), &S::soundHideLabel, &S::setSoundHideLabel);
    stack.addWidget(card);

    m_suppression = new SuppressionCard(bindings, m_inputs.canSuppress, m_inputs.onRequestAccessibility, view);
    stack.addWidget(m_suppression);
}
