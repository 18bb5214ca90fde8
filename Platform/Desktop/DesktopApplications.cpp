#include "Platform/Desktop/DesktopApplications.h"

// GIO names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace {

// The installed application with `desktopId`, or null; the caller unrefs it.
GAppInfo* findApplication(std::string_view desktopId)
{
    if (desktopId.empty())
        return nullptr;
    GAppInfo* found = nullptr;
    GList* all = g_app_info_get_all();
    for (GList* item = all; item; item = item->next) {
        auto* info = static_cast<GAppInfo*>(item->data);
        const char* id = g_app_info_get_id(info);
        if (!found && id && desktopId == id)
            found = G_APP_INFO(g_object_ref(info));
    }
    g_list_free_full(all, g_object_unref);
    return found;
}

} // namespace

bool DesktopApplications::isInstalled(std::string_view desktopId)
{
    GAppInfo* info = findApplication(desktopId);
    if (!info)
        return false;
    g_object_unref(info);
    return true;
}

std::optional<std::string> DesktopApplications::firstInstalled(std::span<const std::string> desktopIds)
{
    for (const auto& id : desktopIds)
        if (isInstalled(id))
            return id;
    return std::nullopt;
}

bool DesktopApplications::launch(std::string_view desktopId)
{
    GAppInfo* info = findApplication(desktopId);
    if (!info)
        return false;
    GError* error = nullptr;
    const bool launched = g_app_info_launch(info, nullptr, nullptr, &error);
    if (error)
        g_error_free(error);
    g_object_unref(info);
    return launched;
}
