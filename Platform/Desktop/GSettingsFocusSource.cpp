#include "Platform/Desktop/GSettingsFocusSource.h"

GSettingsFocusSource::GSettingsFocusSource(const char* schema, const char* key, QObject* parent)
    : FocusStateSource(parent)
{
    const auto library = DesktopLibrary::shared();
    if (!library)
        return;
    m_setting = (*library)->openSetting(schema, key);
    if (m_setting)
        m_on = readOn();
}

GSettingsFocusSource::~GSettingsFocusSource()
{
    stop();
}

bool GSettingsFocusSource::isInstalled(const char* schema, const char* key)
{
    const auto library = DesktopLibrary::shared();
    return library && (*library)->hasSetting(schema, key);
}

void GSettingsFocusSource::start()
{
    if (!m_setting || m_following)
        return;
    m_setting->follow([this] { onChanged(); });
    m_following = true;
    m_on = readOn();
}

void GSettingsFocusSource::stop()
{
    if (!m_following)
        return;
    m_setting->follow({});
    m_following = false;
}

bool GSettingsFocusSource::readOn() const
{
    // Banners hidden is Do Not Disturb.
    return !m_setting->value();
}

void GSettingsFocusSource::onChanged()
{
    const bool on = readOn();
    if (on == m_on)
        return;
    m_on = on;
    emit changed();
}
