#include "Vude/Settings/IdleLockPane.h"

#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/Dimming.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeKit/SettingsStore.h"
#include "VudeServices/IdleService.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

KeepAwakeChip::KeepAwakeChip(const ViewEnvironment& environment, KeepAwakeDurationSetting duration, QWidget* parent)
    : PlainButton(environment, parent), m_duration(duration)
{
    setFont(toQFont(textFont));
    setText(qt(displayName(duration)));
    const QFontMetricsF metrics(this->font());
    setPreferredSize(QSize(int(std::ceil(metrics.horizontalAdvance(text()) + 2 * horizontalPadding)),
                           int(std::ceil(metrics.height() + 2 * verticalPadding))));
    setPainter([this](QPainter& painter, const PlainButton&) { paint(painter); });
}

void KeepAwakeChip::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void KeepAwakeChip::paint(QPainter& painter) const
{
    const QRectF bounds = rect();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(continuousRoundedRect(bounds, bounds.height() / 2),
                     toQColor(m_selected ? Vude::Accent::x500 : Vude::Ink::x800));
    painter.setFont(font());
    painter.setPen(toQColor(m_selected ? Vude::Accent::on : Vude::Stone::x200));
    painter.drawText(bounds, Qt::AlignCenter, text());
}

QString IdleLockPane::statusFootnote(bool isKeepingAwake, std::optional<Date> keepAwakeUntil)
{
    if (!isKeepingAwake)
        return QStringLiteral("Your display sleeps on its normal schedule.");
    if (!keepAwakeUntil)
        return QStringLiteral("The display won't sleep until you switch this off.");
    const auto milliseconds = std::chrono::floor<std::chrono::milliseconds>(*keepAwakeUntil).time_since_epoch();
    const QString time = QDateTime::fromMSecsSinceEpoch(milliseconds.count(), Qt::LocalTime)
                             .toString(QStringLiteral("HH:mm"));
    return QStringLiteral("The display won't sleep until ") + time + QStringLiteral(".");
}

QString IdleLockPane::unavailableFootnote()
{
    return QStringLiteral("Keeping the display awake needs the desktop's screen-saver inhibitor "
                          "(org.freedesktop.ScreenSaver or the desktop portal), and neither answers here.");
}

IdleLockPane::KeepAwakeRow IdleLockPane::keepAwakeRow(bool hasService, bool isKeepingAwake,
                                                     std::optional<Date> keepAwakeUntil, bool available)
{
    const bool on = hasService && isKeepingAwake;
    const QString label = qt(on ? LinuxTexts::idleStayingAwake.shown : LinuxTexts::idleLetSleep.shown);
    if (!on && !(hasService && available))
        return {label, unavailableFootnote(), false};
    return {label, statusFootnote(on, keepAwakeUntil), true};
}

IdleLockPane::IdleLockPane(const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(SettingsPane::idleLock, parent), m_environment(environment)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(18);
}

IdleLockPane::~IdleLockPane() = default;

void IdleLockPane::bind(const SettingsPaneInputs& inputs)
{
    m_inputs = std::get<IdleLockPaneInputs>(inputs);
    m_available = m_inputs.keepAwakeAvailable;
    if (!m_inputs.settings)
        return;
    if (!m_bindings)
        build();
    if (m_idle != m_inputs.idle) {
        m_idle = m_inputs.idle;
        if (m_idle) {
            m_bindings->refreshOn(m_idle.data(), &IdleService::isKeepingAwakeChanged);
            m_bindings->refreshOn(m_idle.data(), &IdleService::keepAwakeUntilChanged);
        }
    }
    m_bindings->refresh();
}

void IdleLockPane::build()
{
    SettingsStore& store = *m_inputs.settings;
    auto* stack = static_cast<QVBoxLayout*>(layout());
    m_bindings = new SettingsBindings(store, this);

    stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Keep awake")));
    auto* keepAwakeCard = new SettingsCard;
    m_keepAwake = new SettingsSwitch(m_environment.view);
    m_keepAwakeRow = new SettingsRow(qt(LinuxTexts::idleLetSleep.shown), m_keepAwake);
    keepAwakeCard->addRow(m_keepAwakeRow);
    // The switch shows the service; the value it asks for is not used.
    m_bindings->bind(
        m_keepAwake, [this] { return m_idle && m_idle->isKeepingAwake(); }, [this](bool) { toggleKeepAwake(); });
    m_bindings->follow([this] { showKeepAwake(); });

    auto* durations = new QWidget;
    auto* durationsLayout = new QVBoxLayout(durations);
    durationsLayout->setContentsMargins(14, 11, 14, 11);
    durationsLayout->setSpacing(8);
    durationsLayout->addWidget(
        new SettingsText(QStringLiteral("For how long"), Vude::Type_::settingsRow, Vude::Stone::x100));
    auto* chipRow = new QHBoxLayout;
    chipRow->setSpacing(6);
    chipRow->addStretch(1);
    for (const auto& each : EnumTraits<KeepAwakeDurationSetting>::cases) {
        auto* chip = new KeepAwakeChip(m_environment.view, each.value);
        connect(chip, &KeepAwakeChip::clicked, this,
                [&store, duration = each.value] { store.setKeepAwakeDuration(duration); });
        chipRow->addWidget(chip);
        m_chips.push_back(chip);
    }
    chipRow->addStretch(1);
    durationsLayout->addLayout(chipRow);
    keepAwakeCard->addRow(durations);
    m_bindings->follow([this, &store] {
        for (KeepAwakeChip* chip : m_chips)
            chip->setSelected(chip->duration() == store.keepAwakeDuration());
    });
    stack->addWidget(keepAwakeCard);
    stack->addWidget(SettingsText::footnote(qt(LinuxTexts::idleInhibitorFootnote.shown)));

    stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Screen lock")));
    auto* lockCard = new SettingsCard;
    const struct {
        QString label;
        QString footnote;
        bool (SettingsStore::*get)() const;
        void (SettingsStore::*set)(const bool&);
    } lockRows[] = {
        {QStringLiteral("Greet me when I unlock"),
         QStringLiteral("A brief pill when you come back. Nothing is shown while locking \u2014 a notification drawn "
                        "onto a screen that's going dark is worth nothing and can leak what you were doing."),
         &SettingsStore::showLockActivity, &SettingsStore::setShowLockActivity},
        {QStringLiteral("Play a sound on lock and unlock"), qt(LinuxTexts::idleLockSoundFootnote.shown),
         &SettingsStore::lockSoundsEnabled, &SettingsStore::setLockSoundsEnabled},
    };
    for (const auto& row : lockRows) {
        auto* control = new SettingsSwitch(m_environment.view);
        lockCard->addRow(new SettingsRow(row.label, control, row.footnote));
        m_bindings->bind(control, row.get, row.set);
    }
    stack->addWidget(lockCard);
    stack->addWidget(SettingsText::footnote(qt(LinuxTexts::idleLockScreenFootnote.shown)));
    stack->addStretch(1);
}

void IdleLockPane::toggleKeepAwake()
{
    const bool wasKeepingAwake = m_idle && m_idle->isKeepingAwake();
    if (m_inputs.onToggleKeepAwake)
        m_inputs.onToggleKeepAwake();
    // A start that was refused: the inhibitor went away since the pane was
    // built, so say so rather than leave a switch that does nothing.
    if (!wasKeepingAwake && m_idle && !m_idle->isKeepingAwake() && m_available) {
        m_available = m_idle->isKeepAwakeAvailable();
        m_bindings->refresh();
    }
}

void IdleLockPane::showKeepAwake()
{
    const KeepAwakeRow row =
        m_idle ? keepAwakeRow(true, m_idle->isKeepingAwake(), m_idle->keepAwakeUntil(), m_available)
               : keepAwakeRow(false, false, std::nullopt, false);
    m_keepAwakeRow->setLabel(row.label);
    m_keepAwakeRow->setFootnote(row.footnote);
    Dimming::setDimmed(*m_keepAwake, !row.usable);
}

SettingsSwitch* IdleLockPane::switchNamed(const QString& label) const
{
    for (auto* row : findChildren<SettingsRow*>())
        if (row->label() == label)
            return qobject_cast<SettingsSwitch*>(row->control());
    return nullptr;
}
