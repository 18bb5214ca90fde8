#include "Platform/Desktop/GSettingsFocusSource.h"

// GIO names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <string>

namespace {

/// The installed schema when it has a boolean `key`; the caller unrefs it.
GSettingsSchema* lookUp(const char* schemaId, const char* key)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return nullptr; // no schema installed at all
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaId, TRUE);
    if (!schema)
        return nullptr;
    bool usable = false;
    if (g_settings_schema_has_key(schema, key)) {
        GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
        usable = g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey), G_VARIANT_TYPE_BOOLEAN);
        g_settings_schema_key_unref(schemaKey);
    }
    if (!usable) {
        g_settings_schema_unref(schema);
        return nullptr;
    }
    return schema;
}

} // namespace

GSettingsFocusSource::GSettingsFocusSource(const char* schemaId, const char* key, QObject* parent)
    : FocusStateSource(parent), m_key(key)
{
    GSettingsSchema* schema = lookUp(schemaId, key);
    if (!schema)
        return;
    m_settings = g_settings_new_full(schema, nullptr, nullptr);
    g_settings_schema_unref(schema);
    m_on = readOn();
}

GSettingsFocusSource::~GSettingsFocusSource()
{
    stop();
    if (m_settings)
        g_object_unref(m_settings);
}

bool GSettingsFocusSource::isInstalled(const char* schemaId, const char* key)
{
    GSettingsSchema* schema = lookUp(schemaId, key);
    if (!schema)
        return false;
    g_settings_schema_unref(schema);
    return true;
}

void GSettingsFocusSource::start()
{
    if (!m_settings || m_handler != 0)
        return;
    const std::string signal = "changed::" + m_key;
    m_handler = g_signal_connect(m_settings, signal.c_str(), G_CALLBACK(&GSettingsFocusSource::onChanged), this);
    m_on = readOn();
}

void GSettingsFocusSource::stop()
{
    if (m_handler == 0)
        return;
    g_signal_handler_disconnect(m_settings, m_handler);
    m_handler = 0;
}

bool GSettingsFocusSource::readOn() const
{
    // Banners hidden is Do Not Disturb.
    return !g_settings_get_boolean(m_settings, m_key.c_str());
}

void GSettingsFocusSource::onChanged(_GSettings*, const char*, void* self)
{
    auto* source = static_cast<GSettingsFocusSource*>(self);
    const bool on = source->readOn();
    if (on == source->m_on)
        return;
    source->m_on = on;
    emit source->changed();
}
