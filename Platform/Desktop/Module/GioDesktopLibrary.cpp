#include "Platform/Desktop/DesktopLibrary.h"

// GIO names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <utility>

namespace fs = std::filesystem;

namespace {

struct GObjectRelease {
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectRelease>;

struct GFreeRelease {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GText = std::unique_ptr<gchar, GFreeRelease>;

const char* orEmpty(const char* text)
{
    return text ? text : "";
}

void readIcon(GIcon* icon, DesktopLibrary::Entry& entry)
{
    if (!icon)
        return;
    if (G_IS_FILE_ICON(icon)) {
        // A file GIO cannot name by a local path is no icon here.
        if (const GText path{g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon)))})
            entry.iconFile = path.get();
        return;
    }
    if (!G_IS_THEMED_ICON(icon))
        return;
    for (const char* const* name = g_themed_icon_get_names(G_THEMED_ICON(icon)); name && *name; ++name)
        entry.iconNames.emplace_back(*name);
}

// The installed application with `desktopId`, or null.
GObjectPtr<GAppInfo> findApplication(std::string_view desktopId)
{
    if (desktopId.empty())
        return nullptr;
    GObjectPtr<GAppInfo> found;
    GList* all = g_app_info_get_all();
    for (GList* item = all; item; item = item->next) {
        auto* info = static_cast<GAppInfo*>(item->data);
        const char* id = g_app_info_get_id(info);
        if (!found && id && desktopId == id)
            found.reset(G_APP_INFO(g_object_ref(info)));
    }
    g_list_free_full(all, g_object_unref);
    return found;
}

// The installed schema when it has a boolean `key`.
GSettingsSchema* lookUpSchema(const char* schemaId, const char* key)
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

class GSettingsBoolean final : public DesktopLibrary::BooleanSetting {
public:
    GSettingsBoolean(GSettings* settings, std::string key) : m_settings(settings), m_key(std::move(key)) {}
    ~GSettingsBoolean() override { follow({}); }

    bool value() const override { return g_settings_get_boolean(m_settings.get(), m_key.c_str()); }

    void follow(std::function<void()> changed) override
    {
        if (m_handler != 0) {
            g_signal_handler_disconnect(m_settings.get(), m_handler);
            m_handler = 0;
        }
        m_changed = std::move(changed);
        if (!m_changed)
            return;
        const std::string signal = "changed::" + m_key;
        m_handler = g_signal_connect(m_settings.get(), signal.c_str(), G_CALLBACK(&GSettingsBoolean::onChanged), this);
    }

private:
    static void onChanged(GSettings*, const char*, gpointer self)
    {
        // A copy: the handler may stop following, or drop this setting.
        const auto changed = static_cast<GSettingsBoolean*>(self)->m_changed;
        if (changed)
            changed();
    }

    GObjectPtr<GSettings> m_settings;
    std::string m_key;
    std::function<void()> m_changed;
    gulong m_handler = 0;
};

class GioDesktopLibrary final : public DesktopLibrary {
public:
    std::optional<Entry> readEntry(const fs::path& file) const override
    {
        const GObjectPtr<GDesktopAppInfo> info{g_desktop_app_info_new_from_filename(file.c_str())};
        if (!info)
            return std::nullopt;
        GAppInfo* app = G_APP_INFO(info.get());
        Entry entry;
        entry.name = orEmpty(g_app_info_get_name(app));
        entry.hidden = g_desktop_app_info_get_is_hidden(info.get());
        entry.shown = g_app_info_should_show(app);
        entry.executable = orEmpty(g_app_info_get_executable(app));
        readIcon(g_app_info_get_icon(app), entry);
        return entry;
    }

    bool launchEntry(const fs::path& file) const override
    {
        const GObjectPtr<GDesktopAppInfo> info{g_desktop_app_info_new_from_filename(file.c_str())};
        if (!info)
            return false;
        const GObjectPtr<GAppLaunchContext> context{g_app_launch_context_new()};
        GError* error = nullptr;
        const bool launched = g_app_info_launch(G_APP_INFO(info.get()), nullptr, context.get(), &error);
        if (error)
            g_error_free(error);
        return launched;
    }

    fs::path findProgram(const std::string& program) const override
    {
        const GText found{g_find_program_in_path(program.c_str())};
        return found ? fs::path(found.get()) : fs::path();
    }

    bool hasApplication(std::string_view desktopId) const override { return findApplication(desktopId) != nullptr; }

    bool launchApplication(std::string_view desktopId) const override
    {
        const auto info = findApplication(desktopId);
        if (!info)
            return false;
        GError* error = nullptr;
        const bool launched = g_app_info_launch(info.get(), nullptr, nullptr, &error);
        if (error)
            g_error_free(error);
        return launched;
    }

    std::unique_ptr<BooleanSetting> openSetting(const char* schemaId, const char* key) const override
    {
        GSettingsSchema* schema = lookUpSchema(schemaId, key);
        if (!schema)
            return nullptr;
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        g_settings_schema_unref(schema);
        return std::make_unique<GSettingsBoolean>(settings, key);
    }

    bool hasSetting(const char* schemaId, const char* key) const override
    {
        GSettingsSchema* schema = lookUpSchema(schemaId, key);
        if (!schema)
            return false;
        g_settings_schema_unref(schema);
        return true;
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) const DesktopLibrary* vudeDesktopLibrary()
{
    static const GioDesktopLibrary library;
    return &library;
}
