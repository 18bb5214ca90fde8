#include "VudeServices/QuickApp.h"

#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;

std::optional<QuickApp> decodeApp(const json& object)
{
    if (!object.is_object())
        return std::nullopt;
    const auto id = object.find("id");
    const auto bundleID = object.find("bundleID");
    const auto name = object.find("name");
    if (id == object.end() || bundleID == object.end() || name == object.end() || !id->is_string()
        || !bundleID->is_string() || !name->is_string())
        return std::nullopt;
    const auto uuid = Uuid::parse(id->get<std::string>());
    if (!uuid)
        return std::nullopt;
    QuickApp app{*uuid, bundleID->get<std::string>(), name->get<std::string>(), std::nullopt};
    const auto path = object.find("path");
    if (path != object.end() && !path->is_null()) {
        if (!path->is_string())
            return std::nullopt;
        app.path = path->get<std::string>();
    }
    return app;
}

} // namespace

std::string quickAppName(std::string_view displayName)
{
    static constexpr std::string_view suffix = ".app";
    std::string name;
    name.reserve(displayName.size());
    std::size_t start = 0;
    for (auto found = displayName.find(suffix); found != std::string_view::npos;
         found = displayName.find(suffix, start)) {
        name.append(displayName.substr(start, found - start));
        start = found + suffix.size();
    }
    name.append(displayName.substr(start));
    return name;
}

std::string encodeQuickApps(const std::vector<QuickApp>& apps)
{
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const auto& app : apps) {
        nlohmann::ordered_json object;
        object["id"] = app.id.toString();
        object["bundleID"] = app.bundleID;
        object["name"] = app.name;
        if (app.path)
            object["path"] = *app.path;
        array.push_back(std::move(object));
    }
    // A path that is not UTF-8 is stored with replacement characters rather
    // than losing the whole list; the app id still finds the application.
    return array.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<std::vector<QuickApp>> decodeQuickApps(std::string_view text)
{
    const auto array = json::parse(text, nullptr, false);
    if (!array.is_array())
        return std::nullopt;
    std::vector<QuickApp> apps;
    apps.reserve(array.size());
    for (const auto& element : array) {
        auto app = decodeApp(element);
        if (!app)
            return std::nullopt;
        apps.push_back(std::move(*app));
    }
    return apps;
}
