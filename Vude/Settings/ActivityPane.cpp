#include "Vude/Settings/ActivityPane.h"

#include "Vude/Settings/PreviewPicker.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/ValueSlider.h"

#include <QVBoxLayout>

ActivityPane::ActivityPane(SettingsPane pane, const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(pane, parent), m_environment(environment)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
}

ActivityPane::~ActivityPane() = default;

void ActivityPane::rebuild(SettingsStore& settings)
{
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    auto* content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(spacing);
    // Goes with its elements.
    auto* bindings = new SettingsBindings(settings, content);
    build(*stack, *bindings);
    stack->addStretch(1);
    m_layout->addWidget(content);
    m_content = content;
    m_bindings = bindings;
    ++m_buildCount;
}

SettingsSwitch* ActivityPane::addSwitchRow(SettingsCard& card, SettingsBindings& bindings, const QString& label,
                                           bool (SettingsStore::*get)() const, void (SettingsStore::*set)(const bool&))
{
    auto* control = new SettingsSwitch(m_environment.view);
    card.addRow(new SettingsRow(label, control));
    bindings.bind(control, get, set);
    return control;
}

std::vector<QWidget*> ActivityPane::elements() const
{
    std::vector<QWidget*> shown;
    if (!m_content)
        return shown;
    auto* stack = m_content->layout();
    for (int i = 0; i < stack->count(); ++i)
        if (QWidget* widget = stack->itemAt(i)->widget())
            shown.push_back(widget);
    return shown;
}

SettingsSwitch* ActivityPane::switchNamed(const QString& label) const
{
    if (!m_content)
        return nullptr;
    for (auto* row : m_content->findChildren<SettingsRow*>())
        if (row->label() == label)
            return qobject_cast<SettingsSwitch*>(row->control());
    return nullptr;
}

ValueSlider* ActivityPane::sliderNamed(const QString& label) const
{
    if (!m_content)
        return nullptr;
    for (auto* slider : m_content->findChildren<ValueSlider*>())
        if (slider->label() == label)
            return slider;
    return nullptr;
}

PreviewPicker* ActivityPane::pickerNamed(const QString& label) const
{
    if (!m_content)
        return nullptr;
    for (auto* picker : m_content->findChildren<PreviewPicker*>())
        if (picker->label() == label)
            return picker;
    return nullptr;
}
