#include "VudeServices/Clip.h"

#include "VudeKit/UnicodeText.h"

#include <nlohmann/json.hpp>

namespace {

constexpr std::size_t kPreviewCharacters = 120;
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

using json = nlohmann::json;
using orderedJson = nlohmann::ordered_json;

std::optional<std::string> optionalString(const json& object, const char* key, bool& valid)
{
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return std::nullopt;
    if (!found->is_string()) {
        valid = false;
        return std::nullopt;
    }
    return found->get<std::string>();
}

std::optional<Clip> decodeClip(const json& object)
{
    if (!object.is_object())
        return std::nullopt;
    const auto id = object.find("id");
    const auto kind = object.find("kind");
    const auto text = object.find("text");
    const auto copiedAt = object.find("copiedAt");
    if (id == object.end() || kind == object.end() || text == object.end() || copiedAt == object.end())
        return std::nullopt;
    if (!id->is_string() || !kind->is_string() || !text->is_string() || !copiedAt->is_number())
        return std::nullopt;
    Clip clip;
    const auto uuid = Uuid::parse(id->get<std::string>());
    const auto parsedKind = enumFromRaw<Clip::Kind>(kind->get<std::string>());
    if (!uuid || !parsedKind)
        return std::nullopt;
    clip.id = *uuid;
    clip.kind = *parsedKind;
    clip.text = text->get<std::string>();
    clip.copiedAt = dateFromSecondsSinceReferenceDate(copiedAt->get<double>());
    bool valid = true;
    clip.storedPath = optionalString(object, "storedPath", valid);
    clip.sourceApp = optionalString(object, "sourceApp", valid);
    if (!valid)
        return std::nullopt;
    return clip;
}

} // namespace

std::string_view Clip::symbol() const
{
    return ::symbol(kind);
}

std::string Clip::preview() const
{
    return clipPreview(text);
}

std::string clipPreview(std::string_view text)
{
    // Only line feeds and tabs turn into spaces; carriage returns and other
    // white space stay as they are.
    std::string collapsed;
    collapsed.reserve(text.size());
    bool pendingSpace = false;
    for (const char c : text) {
        if (c == ' ' || c == '\n' || c == '\t') {
            pendingSpace = !collapsed.empty();
            continue;
        }
        if (pendingSpace)
            collapsed += ' ';
        pendingSpace = false;
        collapsed += c;
    }
    const std::string_view prefix = graphemePrefix(collapsed, kPreviewCharacters);
    if (prefix.size() == collapsed.size())
        return collapsed;
    return std::string(prefix) + std::string(kEllipsis);
}

std::string encodeClipHistory(const std::vector<Clip>& clips)
{
    orderedJson list = orderedJson::array();
    for (const auto& clip : clips) {
        orderedJson object;
        object["id"] = clip.id.toString();
        object["kind"] = std::string(rawValue(clip.kind));
        object["text"] = clip.text;
        if (clip.storedPath)
            object["storedPath"] = *clip.storedPath;
        object["copiedAt"] = secondsSinceReferenceDate(clip.copiedAt);
        if (clip.sourceApp)
            object["sourceApp"] = *clip.sourceApp;
        list.push_back(std::move(object));
    }
    // Texts come from other programs; a stray invalid byte must not lose the
    // whole history.
    return list.dump(-1, ' ', false, orderedJson::error_handler_t::replace);
}

std::optional<std::vector<Clip>> decodeClipHistory(std::string_view text)
{
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_array())
        return std::nullopt;
    std::vector<Clip> clips;
    clips.reserve(document.size());
    for (const auto& element : document) {
        auto clip = decodeClip(element);
        if (!clip)
            return std::nullopt;
        clips.push_back(std::move(*clip));
    }
    return clips;
}
