#include "Vude/Settings/DisplayPane.h"

#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/PreviewPicker.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/SuppressionCard.h"
#include "Vude/Toolkit/Dimming.h"
#include "VudeKit/LinuxTexts.h"

#include <QVBoxLayout>

const std::vector<BarStyle>& DisplayPane::barStyles()
{
    static const std::vector<BarStyle> styles{BarStyle::white, BarStyle::accent, BarStyle::glow};
    return styles;
}

QString DisplayPane::note()
{
    return QStringLiteral("On more than one display Vude reports the built-in panel's brightness, which is why the "
                          "HUD says \u201CBuilt-in Display\u201D.");
}

DisplayPane::DisplayPane(const SettingsEnvironment& environment, QWidget* parent)
    : ActivityPane(SettingsPane::display, environment, parent)
{
}

void DisplayPane::bind(const SettingsPaneInputs& inputs)
{
    const auto& display = std::get<DisplayPaneInputs>(inputs);
    const bool reshaped = buildCount() == 0 || display.canSuppress != m_inputs.canSuppress ||
                          display.brightnessAvailable != m_inputs.brightnessAvailable;
    m_inputs = display;
    if (m_inputs.settings && reshaped)
        rebuild(*m_inputs.settings);
}

void DisplayPane::build(QVBoxLayout& stack, SettingsBindings& bindings)
{
    using S = SettingsStore;
    const ViewEnvironment& view = environment().view;
    m_unavailable = nullptr;
    if (!m_inputs.brightnessAvailable) {
        m_unavailable = new UnavailableCard(qt(LinuxTexts::displayBrightnessUnreadableTitle.shown),
                                            qt(LinuxTexts::displayBrightnessUnreadableDetail.shown));
        stack.addWidget(m_unavailable);
    }

    m_header = new ActivityHeaderCard(QStringLiteral("Display"), 0.5, 10, view);
    m_header->bind(bindings, &S::displayEnabled, &S::setDisplayEnabled, &S::displayDuration,
                   &S::setDisplayDuration);
    stack.addWidget(m_header);

    m_barCard = new SettingsCard;
    addHUDPickers(*m_barCard, bindings, view, barStyles(), &S::displayBarStyle, &S::setDisplayBarStyle,
                  &S::displaySpeed, &S::setDisplaySpeed);
    addSwitchRow(*m_barCard, bindings, QStringLiteral("Show percentage"), &S::displayShowPercentage,
                 &S::setDisplayShowPercentage);
    stack.addWidget(m_barCard);

    for (QWidget* pill : {static_cast<QWidget*>(m_header), static_cast<QWidget*>(m_barCard)})
        Dimming::setDimmed(*pill, !m_inputs.brightnessAvailable);

    m_note = SettingsText::footnote(note());
    stack.addWidget(m_note);

    m_suppression = new SuppressionCard(bindings, m_inputs.canSuppress, m_inputs.onRequestAccessibility, view);
    stack.addWidget(m_suppression);
}
