#include "Vude/Settings/NowPlayingPane.h"

#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/PreviewPicker.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "VudeKit/LinuxTexts.h"

#include <QVBoxLayout>

const std::vector<std::pair<MediaBarStyle, QString>>& NowPlayingPane::barStyles()
{
    // The tile says "Artwork", shorter than the style's display name.
    static const std::vector<std::pair<MediaBarStyle, QString>> styles{
        {MediaBarStyle::monochrome, QStringLiteral("Monochrome")},
        {MediaBarStyle::colored, QStringLiteral("Artwork")},
        {MediaBarStyle::gradient, QStringLiteral("Gradient")},
    };
    return styles;
}

NowPlayingPane::NowPlayingPane(const SettingsEnvironment& environment, QWidget* parent)
    : ActivityPane(SettingsPane::nowPlaying, environment, parent)
{
}

void NowPlayingPane::bind(const SettingsPaneInputs& inputs)
{
    const auto& nowPlaying = std::get<NowPlayingPaneInputs>(inputs);
    const bool reshaped = buildCount() == 0 || nowPlaying.isUniversal != m_inputs.isUniversal;
    m_inputs = nowPlaying;
    if (m_inputs.settings && reshaped)
        rebuild(*m_inputs.settings);
}

void NowPlayingPane::build(QVBoxLayout& stack, SettingsBindings& bindings)
{
    using S = SettingsStore;
    const ViewEnvironment& view = environment().view;

    // Unlike a header card's duration, the idle slider is never dimmed.
    m_activityCard = new SettingsCard;
    m_enabled = addSwitchRow(*m_activityCard, bindings, QStringLiteral("Now Playing"), &S::nowPlayingEnabled,
                             &S::setNowPlayingEnabled);
    m_idle = new ValueSlider(QStringLiteral("Idle duration"), 1, 30, QStringLiteral(" s"));
    m_activityCard->addRow(m_idle);
    bindings.bind(m_idle, &S::nowPlayingIdleDuration, &S::setNowPlayingIdleDuration);
    stack.addWidget(m_activityCard);

    m_optionsCard = new SettingsCard;
    std::vector<PreviewPicker::Option> options;
    std::vector<MediaBarStyle> values;
    for (const auto& [style, title] : barStyles()) {
        options.push_back({title, [style](QPainter& painter, const QRectF& box) {
                               MediaBarPreview::paint(painter, box, style);
                           }});
        values.push_back(style);
    }
    m_barPicker = new PreviewPicker(QStringLiteral("Progress bar"), std::move(options), view);
    bindPreviewPicker(bindings, *m_barPicker, values, &S::nowPlayingBarStyle, &S::setNowPlayingBarStyle);
    m_optionsCard->addRow(m_barPicker);
    addSwitchRow(*m_optionsCard, bindings, QStringLiteral("Peek when the track changes"),
                 &S::nowPlayingPeekOnChange, &S::setNowPlayingPeekOnChange);
    addSwitchRow(*m_optionsCard, bindings, QStringLiteral("Disable artwork flip"), &S::nowPlayingDisableArtworkFlip,
                 &S::setNowPlayingDisableArtworkFlip);
    auto* hide = new SettingsSwitch(view);
    m_optionsCard->addRow(new SettingsRow(QStringLiteral("Hide while the playing app is in front"), hide,
                                          QStringLiteral("Useful if you already have the player on screen.")));
    bindings.bind(hide, &S::nowPlayingHideWhileSourceActive, &S::setNowPlayingHideWhileSourceActive);
    stack.addWidget(m_optionsCard);

    m_fallbackCard = nullptr;
    if (!m_inputs.isUniversal) {
        m_fallbackCard = new UnavailableCard(qt(LinuxTexts::nowPlayingHelperTitle.shown),
                                             qt(LinuxTexts::nowPlayingHelperDetail.shown));
        stack.addWidget(m_fallbackCard);
    }
}
