#include "Vude/Settings/GeneralPane.h"

#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/SyncCard.h"
#include "Vude/Settings/ValueSlider.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeUI/qt/QtTokens.h"

#include <QLabel>
#include <QVBoxLayout>

const std::vector<GeneralPane::Switch>& GeneralPane::behaviourSwitches()
{
    using S = SettingsStore;
    static const std::vector<Switch> switches{
        {"Launch at login", std::nullopt, &S::launchAtLogin, &S::setLaunchAtLogin},
        {"Glow around the notch",
         "A soft shadow around the panel so it doesn't sit on the desktop as a hard black slab.",
         &S::progressiveBlur, &S::setProgressiveBlur},
        {"Contrast outline", std::nullopt, &S::contrastOutline, &S::setContrastOutline},
        {"Haptic feedback", std::nullopt, &S::hapticFeedback, &S::setHapticFeedback},
        {"Expand on hover", "Opens the Desk as soon as the pointer reaches the notch.", &S::expandOnHover,
         &S::setExpandOnHover},
        {"Prevent closing on mouse leave", "Keeps the Desk open while you type in it.",
         &S::preventCloseOnMouseLeave, &S::setPreventCloseOnMouseLeave},
        {"Demo mode", "Stops the notch hiding when idle. Useful for screen recordings.", &S::demoMode,
         &S::setDemoMode},
    };
    return switches;
}

const std::vector<GeneralPane::Switch>& GeneralPane::gestureSwitches()
{
    using S = SettingsStore;
    static const std::vector<Switch> switches{
        {"Natural movement", std::nullopt, &S::naturalMovement, &S::setNaturalMovement},
        {"Swipe to toggle open", std::nullopt, &S::swipeToToggleOpen, &S::setSwipeToToggleOpen},
        {"Swipe to cycle activity", std::nullopt, &S::swipeToCycleActivity, &S::setSwipeToCycleActivity},
        {"Swipe to dismiss activity", std::nullopt, &S::swipeToDismissActivity, &S::setSwipeToDismissActivity},
        {"Swipe to skip media", std::nullopt, &S::swipeToSkipMedia, &S::setSwipeToSkipMedia},
    };
    return switches;
}

GeneralPane::GeneralPane(const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(SettingsPane::general, parent), m_environment(environment)
{
    m_stack = new QVBoxLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(18);
}

GeneralPane::~GeneralPane() = default;

void GeneralPane::bind(const SettingsPaneInputs& inputs)
{
    const auto& general = std::get<GeneralPaneInputs>(inputs);
    const bool first = m_bindings == nullptr;
    const bool syncChanged = !first && general.sync != m_inputs.sync;
    m_inputs = general;
    if (!m_inputs.settings)
        return;
    if (first)
        build();
    else if (syncChanged && m_syncCard) {
        // The card follows one coordinator; a new one gets a new card in place.
        auto* card = new SyncCard(*m_inputs.settings, m_inputs.sync, m_environment);
        delete m_stack->replaceWidget(m_syncCard, card);
        m_syncCard->deleteLater();
        m_syncCard = card;
    }
    refreshGeometry();
}

void GeneralPane::build()
{
    SettingsStore& store = *m_inputs.settings;
    m_bindings = new SettingsBindings(store, this);

    const auto addSwitches = [&](const std::vector<Switch>& switches) {
        auto* card = new SettingsCard;
        for (const Switch& each : switches) {
            auto* control = new SettingsSwitch(m_environment.view);
            std::optional<QString> footnote;
            if (each.footnote)
                footnote = QString::fromUtf8(*each.footnote);
            auto* row = new SettingsRow(QString::fromUtf8(each.label), control, footnote);
            card->addRow(row);
            m_bindings->bind(control, each.get, each.set);
        }
        m_stack->addWidget(card);
    };

    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Behaviour")));
    addSwitches(behaviourSwitches());
    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Gestures")));
    addSwitches(gestureSwitches());

    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Tuning")));
    auto* tuning = new SettingsCard;
    auto* padding = new ValueSlider(QStringLiteral("Content padding"), 0, 24);
    auto* width = new ValueSlider(QStringLiteral("Notch width"), -20, 20, QStringLiteral(" px"));
    auto* height = new ValueSlider(QStringLiteral("Notch height"), -20, 20, QStringLiteral(" px"));
    for (ValueSlider* slider : {padding, width, height})
        tuning->addRow(slider);
    m_stack->addWidget(tuning);
    m_bindings->bind(padding, &SettingsStore::contentPadding, &SettingsStore::setContentPadding);
    m_bindings->bind(width, &SettingsStore::notchWidthAdjust, &SettingsStore::setNotchWidthAdjust);
    m_bindings->bind(height, &SettingsStore::notchHeightAdjust, &SettingsStore::setNotchHeightAdjust);
    // Read now, so building the pane is not taken for a change.
    m_widthAdjust = store.notchWidthAdjust();
    m_heightAdjust = store.notchHeightAdjust();
    m_bindings->follow([this] { noteSizeAdjustments(); });

    m_stack->addWidget(SettingsText::sectionTitle(qt(LinuxTexts::syncSectionTitle.shown)));
    m_syncCard = new SyncCard(store, m_inputs.sync, m_environment);
    m_stack->addWidget(m_syncCard);

    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Detected geometry")));
    auto* geometryCard = new SettingsCard;
    m_geometry = new QLabel;
    m_geometry->setObjectName(QStringLiteral("geometryReport"));
    m_geometry->setFont(toQFont(Vude::Type_::numeric));
    m_geometry->setStyleSheet(
        QStringLiteral("color: %1; background: transparent;").arg(toQColor(Vude::Stone::x300).name()));
    m_geometry->setTextFormat(Qt::PlainText);
    m_geometry->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_geometry->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_geometry->setContentsMargins(12, 12, 12, 12);
    m_geometry->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    geometryCard->addRow(m_geometry);
    m_stack->addWidget(geometryCard);
    m_stack->addStretch(1);
}

void GeneralPane::noteSizeAdjustments()
{
    if (!m_inputs.settings)
        return;
    const double width = m_inputs.settings->notchWidthAdjust();
    const double height = m_inputs.settings->notchHeightAdjust();
    // Each adjustment is watched on its own; a write of the same value is no change.
    const bool changed = width != m_widthAdjust || height != m_heightAdjust;
    m_widthAdjust = width;
    m_heightAdjust = height;
    if (!changed)
        return;
    if (m_inputs.rebuildPanels)
        m_inputs.rebuildPanels();
    refreshGeometry();
}

void GeneralPane::refreshGeometry()
{
    if (!m_geometry)
        return;
    const std::string report = m_inputs.geometryReport ? m_inputs.geometryReport() : std::string();
    m_geometry->setText(QString::fromStdString(report));
}

void GeneralPane::showEvent(QShowEvent* event)
{
    SettingsPaneView::showEvent(event);
    refreshGeometry();
}

SettingsSwitch* GeneralPane::switchNamed(const QString& label) const
{
    for (auto* row : findChildren<SettingsRow*>())
        if (row->label() == label)
            return qobject_cast<SettingsSwitch*>(row->control());
    return nullptr;
}

ValueSlider* GeneralPane::sliderNamed(const QString& label) const
{
    for (auto* slider : findChildren<ValueSlider*>())
        if (slider->label() == label)
            return slider;
    return nullptr;
}

QLabel* GeneralPane::geometryText() const
{
    return m_geometry;
}

SyncCard* GeneralPane::syncCard() const
{
    return m_syncCard;
}
