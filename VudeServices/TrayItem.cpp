#include "VudeServices/TrayItem.h"

#include "VudeKit/ByteCountFormatter.h"
#include "VudeKit/Numbers.h"

#include <QByteArray>
#include <QMimeDatabase>

#include <nlohmann/json.hpp>

#include <limits>

namespace {

using json = nlohmann::json;
using orderedJson = nlohmann::ordered_json;

// A key the decoder found missing or of the wrong type fails the whole
// index, as one bad element would.
class Fields {
public:
    explicit Fields(const json& object) : m_object(object) {}

    bool ok() const { return m_ok; }

    const json* required(const char* key)
    {
        const auto found = m_object.find(key);
        if (found == m_object.end()) {
            m_ok = false;
            return nullptr;
        }
        return &*found;
    }
    // Null counts as absent.
    const json* optional(const char* key)
    {
        const auto found = m_object.find(key);
        return found == m_object.end() || found->is_null() ? nullptr : &*found;
    }

    std::string string(const json* value)
    {
        if (!value || !value->is_string()) {
            m_ok = false;
            return {};
        }
        return value->get<std::string>();
    }
    std::int64_t integer(const json* value)
    {
        if (!value || !value->is_number_integer()
            || (value->is_number_unsigned()
                && value->get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))) {
            m_ok = false;
            return 0;
        }
        return value->get<std::int64_t>();
    }
    bool boolean(const json* value)
    {
        if (!value || !value->is_boolean()) {
            m_ok = false;
            return false;
        }
        return value->get<bool>();
    }
    double number(const json* value)
    {
        if (!value || !value->is_number()) {
            m_ok = false;
            return 0;
        }
        return value->get<double>();
    }
    Uuid uuid(const json* value)
    {
        const auto text = string(value);
        const auto parsed = Uuid::parse(text);
        if (!parsed)
            m_ok = false;
        return parsed.value_or(Uuid());
    }
    std::optional<std::string> optionalString(const char* key)
    {
        const json* value = optional(key);
        if (!value)
            return std::nullopt;
        return string(value);
    }

private:
    const json& m_object;
    bool m_ok = true;
};

std::optional<TrayItem> decodeItem(const json& object)
{
    if (!object.is_object())
        return std::nullopt;
    Fields fields(object);
    TrayItem item;
    item.id = fields.uuid(fields.required("id"));
    item.displayName = fields.string(fields.required("displayName"));
    item.storedPath = fields.string(fields.required("storedPath"));
    item.originalPath = fields.optionalString("originalPath");
    if (const json* bookmark = fields.optional("bookmark")) {
        const std::string text = fields.string(bookmark);
        const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        item.bookmark = decoded.decoded.toStdString();
    }
    item.utTypeIdentifier = fields.string(fields.required("utTypeIdentifier"));
    item.byteSize = fields.integer(fields.required("byteSize"));
    item.addedAt = dateFromSecondsSinceReferenceDate(fields.number(fields.required("addedAt")));
    item.thumbnailPath = fields.optionalString("thumbnailPath");
    if (const json* stackID = fields.optional("stackID"))
        item.stackID = fields.uuid(stackID);
    item.isDirectory = fields.boolean(fields.required("isDirectory"));
    item.childCount = fields.integer(fields.required("childCount"));
    if (!fields.ok())
        return std::nullopt;
    return item;
}

} // namespace

std::string TrayItem::utType() const
{
    const QMimeType type = QMimeDatabase().mimeTypeForName(QString::fromStdString(utTypeIdentifier));
    if (!type.isValid())
        return std::string(genericType);
    return type.name().toStdString();
}

std::string TrayItem::formattedSize() const
{
    return formatFileByteCount(byteSize);
}

std::string TrayItem::subtitle() const
{
    if (!isDirectory)
        return formattedSize();
    std::string text = childCount == 1 ? std::string("1 item") : formatInteger(childCount) + " items";
    if (byteSize >= 1)
        text += " \xC2\xB7 " + formattedSize();
    return text;
}

std::string encodeTrayIndex(const std::vector<TrayItem>& items)
{
    orderedJson list = orderedJson::array();
    for (const auto& item : items) {
        orderedJson object;
        object["id"] = item.id.toString();
        object["displayName"] = item.displayName;
        object["storedPath"] = item.storedPath;
        if (item.originalPath)
            object["originalPath"] = *item.originalPath;
        if (item.bookmark)
            object["bookmark"] = QByteArray::fromStdString(*item.bookmark).toBase64().toStdString();
        object["utTypeIdentifier"] = item.utTypeIdentifier;
        object["byteSize"] = item.byteSize;
        object["addedAt"] = secondsSinceReferenceDate(item.addedAt);
        if (item.thumbnailPath)
            object["thumbnailPath"] = *item.thumbnailPath;
        if (item.stackID)
            object["stackID"] = item.stackID->toString();
        object["isDirectory"] = item.isDirectory;
        object["childCount"] = item.childCount;
        list.push_back(std::move(object));
    }
    // Names come from the file system, where any bytes go; one that is not
    // UTF-8 must not cost the whole index. The tray stores its copies under
    // names that are.
    return list.dump(-1, ' ', false, orderedJson::error_handler_t::replace);
}

std::optional<std::vector<TrayItem>> decodeTrayIndex(std::string_view text)
{
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_array())
        return std::nullopt;
    std::vector<TrayItem> items;
    items.reserve(document.size());
    for (const auto& element : document) {
        auto item = decodeItem(element);
        if (!item)
            return std::nullopt;
        items.push_back(std::move(*item));
    }
    return items;
}
