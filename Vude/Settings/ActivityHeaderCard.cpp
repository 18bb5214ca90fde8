#include "Vude/Settings/ActivityHeaderCard.h"

#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/Dimming.h"

#include <QPointer>
#include <QVBoxLayout>

ActivityHeaderCard::ActivityHeaderCard(const QString& title, double lowest, double highest,
                                       const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* card = new SettingsCard;
    m_switch = new SettingsSwitch(environment);
    card->addRow(new SettingsRow(title, m_switch));
    m_slider = new ValueSlider(QStringLiteral("Duration"), lowest, highest, QStringLiteral(" s"));
    card->addRow(m_slider);
    layout->addWidget(card);
}

void ActivityHeaderCard::bind(SettingsBindings& bindings, bool (SettingsStore::*enabled)() const,
                              void (SettingsStore::*setEnabled)(const bool&), double (SettingsStore::*duration)() const,
                              void (SettingsStore::*setDuration)(double))
{
    bindings.bind(m_switch, enabled, setEnabled);
    bindings.bind(m_slider, duration, setDuration);
    dimWhileOff(bindings, *m_slider, enabled);
}

void dimWhileOff(SettingsBindings& bindings, QWidget& widget, bool (SettingsStore::*flag)() const)
{
    const SettingsStore& store = bindings.store();
    const QPointer<QWidget> guarded(&widget);
    bindings.follow([&store, guarded, flag] {
        if (guarded)
            Dimming::setDimmed(*guarded, !(store.*flag)());
    });
}
