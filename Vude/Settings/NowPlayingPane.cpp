#include "Vude/Settings/NowPlayingPane.h"

#include "Vude/Settings/PreviewPicker.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/ValueSlider.h"
#include "VudeKit/LinuxTexts.h"

#include <QVBoxLayout>

namespace {

QString qt(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

struct Behaviour {
    const char* label;
    const char* footnote;
    bool (SettingsStore::*get)() const;
    void (SettingsStore::*set)(const bool&);
};

const std::vector<Behaviour>& behaviours()
{
    using S = SettingsStore;
    static const std::vector<Behaviour> rows{
        {"Peek when the track changes", nullptr, &S::nowPlayingPeekOnChange, &S::setNowPlayingPeekOnChange},
        {"Disable artwork flip", nullptr, &S::nowPlayingDisableArtworkFlip, &S::setNowPlayingDisableArtworkFlip},
        {"Hide while the playing app is in front", "Useful if you already have the player on screen.",
         &S::nowPlayingHideWhileSourceActive, &S::setNowPlayingHideWhileSourceActive},
    };
    return rows;
}

} // namespace

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
    : SettingsPaneView(SettingsPane::nowPlaying, parent), m_environment(environment)
{
    m_stack = new QVBoxLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(18);
}

NowPlayingPane::~NowPlayingPane() = default;

void NowPlayingPane::bind(const SettingsPaneInputs& inputs)
{
    // Whether every player is read is fixed when the pane is made.
    if (m_bindings)
        return;
    m_inputs = std::get<NowPlayingPaneInputs>(inputs);
    if (m_inputs.settings)
        build();
}

void NowPlayingPane::build()
{
    using S = SettingsStore;
    m_bindings = new SettingsBindings(*m_inputs.settings, this);

    m_activityCard = new SettingsCard;
    m_enabled = new SettingsSwitch(m_environment.view);
    m_activityCard->addRow(new SettingsRow(QStringLiteral("Now Playing"), m_enabled));
    m_bindings->bind(m_enabled, &S::nowPlayingEnabled, &S::setNowPlayingEnabled);
    m_idle = new ValueSlider(QStringLiteral("Idle duration"), 1, 30, QStringLiteral(" s"));
    m_activityCard->addRow(m_idle);
    m_bindings->bind(m_idle, &S::nowPlayingIdleDuration, &S::setNowPlayingIdleDuration);
    m_stack->addWidget(m_activityCard);

    m_optionsCard = new SettingsCard;
    std::vector<PreviewPicker::Option> options;
    std::vector<MediaBarStyle> values;
    for (const auto& [style, title] : barStyles()) {
        options.push_back({title, [style](QPainter& painter, const QRectF& box) {
                               MediaBarPreview::paint(painter, box, style);
                           }});
        values.push_back(style);
    }
    m_barPicker = new PreviewPicker(QStringLiteral("Progress bar"), std::move(options), m_environment.view);
    bindPreviewPicker(*m_bindings, *m_barPicker, values, &S::nowPlayingBarStyle, &S::setNowPlayingBarStyle);
    m_optionsCard->addRow(m_barPicker);
    for (const Behaviour& behaviour : behaviours()) {
        auto* control = new SettingsSwitch(m_environment.view);
        std::optional<QString> footnote;
        if (behaviour.footnote)
            footnote = QString::fromUtf8(behaviour.footnote);
        m_optionsCard->addRow(new SettingsRow(QString::fromUtf8(behaviour.label), control, footnote));
        m_bindings->bind(control, behaviour.get, behaviour.set);
    }
    m_stack->addWidget(m_optionsCard);

    if (!m_inputs.isUniversal) {
        m_fallbackCard = new UnavailableCard(qt(LinuxTexts::nowPlayingHelperTitle.shown),
                                             qt(LinuxTexts::nowPlayingHelperDetail.shown));
        m_stack->addWidget(m_fallbackCard);
    }
    m_stack->addStretch(1);
}

SettingsSwitch* NowPlayingPane::switchNamed(const QString& label) const
{
    for (auto* row : findChildren<SettingsRow*>())
        if (row->label() == label)
            return qobject_cast<SettingsSwitch*>(row->control());
    return nullptr;
}
