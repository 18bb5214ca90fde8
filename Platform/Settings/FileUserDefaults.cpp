#include "Platform/Settings/FileUserDefaults.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/XdgPaths.h"
#include "VudeKit/Numbers.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

constexpr const char* kFileName = "defaults.json";
constexpr const char* kSetAsideSuffix = ".corrupt";
// Deeper nesting than any real value; a hostile file must not exhaust the stack.
constexpr int kMaxDepth = 256;

constexpr std::string_view kDateTag = "$date";
constexpr std::string_view kDoubleTag = "$double";
constexpr std::string_view kBytesTag = "$bytes";
constexpr std::string_view kDictionaryTag = "$dictionary";

// Strict UTF-8 as JSON requires it: no overlong forms, no surrogates, nothing
// beyond U+10FFFF.
bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        char32_t codePoint = 0;
        char32_t minimum = 0;
        if ((byte & 0xE0) == 0xC0) {
            length = 2, codePoint = byte & 0x1F, minimum = 0x80;
        } else if ((byte & 0xF0) == 0xE0) {
            length = 3, codePoint = byte & 0x0F, minimum = 0x800;
        } else if ((byte & 0xF8) == 0xF0) {
            length = 4, codePoint = byte & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(length) > text.size())
            return false;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(length);
    }
    return true;
}

json byteArray(std::string_view bytes)
{
    json array = json::array();
    for (const char c : bytes)
        array.push_back(static_cast<unsigned char>(c));
    return array;
}

std::optional<std::string> bytesFromArray(const json& array)
{
    std::string bytes;
    for (const auto& element : array) {
        if (!element.is_number_unsigned() || element.get<std::uint64_t>() > 0xFF)
            return std::nullopt;
        bytes.push_back(static_cast<char>(element.get<std::uint64_t>()));
    }
    return bytes;
}

json tagged(std::string_view tag, json payload)
{
    json object = json::object();
    object[std::string(tag)] = std::move(payload);
    return object;
}

json encodeValue(const DefaultsValue& value);

json encodeDictionary(const DefaultsValue::Dictionary& dictionary)
{
    json object = json::object();
    for (const auto& [key, value] : dictionary)
        object[key] = encodeValue(value);
    // One member whose name begins with "$" would read back as a tag.
    if (dictionary.size() == 1 && dictionary.begin()->first.starts_with('$'))
        return tagged(kDictionaryTag, std::move(object));
    return object;
}

json encodeValue(const DefaultsValue& value)
{
    switch (value.kind()) {
    case DefaultsValue::Kind::boolean:
        return *value.toBool();
    case DefaultsValue::Kind::integer:
        return *value.toInteger();
    case DefaultsValue::Kind::real: {
        const double number = *value.toDouble();
        if (std::isnan(number))
            return tagged(kDoubleTag, "nan");
        if (std::isinf(number))
            return tagged(kDoubleTag, number > 0 ? "inf" : "-inf");
        return number;
    }
    case DefaultsValue::Kind::string: {
        const auto& text = *value.string();
        if (isValidUtf8(text))
            return text;
        return tagged(kBytesTag, byteArray(text));
    }
    case DefaultsValue::Kind::date:
        return tagged(kDateTag, secondsSinceReferenceDate(*value.toDate()));
    case DefaultsValue::Kind::array: {
        json array = json::array();
        for (const auto& element : *value.array())
            array.push_back(encodeValue(element));
        return array;
    }
    case DefaultsValue::Kind::dictionary:
        return encodeDictionary(*value.dictionary());
    }
    return nullptr;
}

std::optional<DefaultsValue> decodeValue(const json& node, int depth);

std::optional<DefaultsValue::Dictionary> decodeDictionary(const json& object, int depth)
{
    DefaultsValue::Dictionary dictionary;
    for (const auto& [key, member] : object.items()) {
        auto value = decodeValue(member, depth + 1);
        if (!value)
            return std::nullopt;
        dictionary.emplace(key, std::move(*value));
    }
    return dictionary;
}

// A one-member object with a known "$" tag and a well-formed payload; anything
// else is an ordinary dictionary, so an odd hand edit still loses nothing.
std::optional<DefaultsValue> decodeTagged(const json& object, int depth)
{
    if (object.size() != 1)
        return std::nullopt;
    const auto member = object.begin();
    const std::string& tag = member.key();
    const json& payload = member.value();
    if (tag == kDateTag && payload.is_number())
        return DefaultsValue(dateFromSecondsSinceReferenceDate(payload.get<double>()));
    if (tag == kDoubleTag && payload.is_string()) {
        const auto& text = payload.get_ref<const std::string&>();
        if (text == "nan")
            return DefaultsValue(std::nan(""));
        if (text == "inf" || text == "-inf")
            return DefaultsValue(text == "inf" ? HUGE_VAL : -HUGE_VAL);
    }
    if (tag == kBytesTag && payload.is_array())
        if (auto bytes = bytesFromArray(payload))
            return DefaultsValue(std::move(*bytes));
    if (tag == kDictionaryTag && payload.is_object())
        if (auto dictionary = decodeDictionary(payload, depth))
            return DefaultsValue(std::move(*dictionary));
    return std::nullopt;
}

std::optional<DefaultsValue> decodeValue(const json& node, int depth)
{
    if (depth > kMaxDepth)
        return std::nullopt;
    switch (node.type()) {
    case json::value_t::boolean:
        return DefaultsValue(node.get<bool>());
    case json::value_t::number_integer:
        return DefaultsValue(node.get<std::int64_t>());
    case json::value_t::number_unsigned: {
        const auto number = node.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(INT64_MAX))
            return DefaultsValue(static_cast<std::int64_t>(number));
        return DefaultsValue(static_cast<double>(number));
    }
    case json::value_t::number_float:
        return DefaultsValue(node.get<double>());
    case json::value_t::string:
        return DefaultsValue(node.get<std::string>());
    case json::value_t::array: {
        DefaultsValue::Array array;
        array.reserve(node.size());
        for (const auto& element : node) {
            auto value = decodeValue(element, depth + 1);
            if (!value)
                return std::nullopt;
            array.push_back(std::move(*value));
        }
        return DefaultsValue(std::move(array));
    }
    case json::value_t::object: {
        if (auto value = decodeTagged(node, depth))
            return value;
        auto dictionary = decodeDictionary(node, depth);
        if (!dictionary)
            return std::nullopt;
        return DefaultsValue(std::move(*dictionary));
    }
    default:
        // null, and the binary kind the parser never produces: no such value.
        return std::nullopt;
    }
}

} // namespace

fs::path FileUserDefaults::standardLocation()
{
    return XdgPaths::configDirectory() / kFileName;
}

std::string FileUserDefaults::encode(const DefaultsValue::Dictionary& values)
{
    // Invalid UTF-8 can only be left in keys (string values are tagged); it is
    // replaced rather than allowed to fail the write.
    return encodeDictionary(values).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

Expected<DefaultsValue::Dictionary, std::string> FileUserDefaults::decode(std::string_view text)
{
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded())
        return unexpected(std::string("not valid JSON"));
    if (!document.is_object())
        return unexpected(std::string("not a JSON object"));
    auto value = decodeValue(document, 0);
    if (!value || !value->dictionary())
        return unexpected(std::string("holds a value that has no stored form (null, or nested too deep)"));
    return *value->dictionary();
}

FileUserDefaults::Loaded FileUserDefaults::load(const fs::path& file)
{
    // The only writer of the file is this store, under the app's settings
    // lock: temporary files beside it are what killed writes left.
    AtomicFile::removeLeftovers(file);

    Loaded loaded;
    std::error_code error;
    const auto status = fs::symlink_status(file, error);
    if (error || status.type() == fs::file_type::not_found)
        return loaded;

    const auto content = AtomicFile::read(file);
    if (!content) {
        loaded.outcome = LoadOutcome::unreadable;
        loaded.error = content.error() + "; running on defaults, and the file is left as it is";
        return loaded;
    }
    auto values = decode(*content);
    if (values) {
        loaded.values = std::move(*values);
        loaded.outcome = LoadOutcome::loaded;
        return loaded;
    }

    loaded.error = file.string() + ": " + values.error();
    const auto moved = AtomicFile::setAside(file, kSetAsideSuffix);
    if (moved) {
        loaded.outcome = LoadOutcome::setAside;
        loaded.setAsidePath = *moved;
        loaded.error += "; moved to " + moved->string();
    } else {
        loaded.outcome = LoadOutcome::unusable;
        loaded.error += "; " + moved.error();
    }
    return loaded;
}

FileUserDefaults::FileUserDefaults(fs::path file) : FileUserDefaults(file, load(file)) {}

FileUserDefaults::FileUserDefaults(fs::path file, Loaded loaded)
    : InMemoryUserDefaults(std::move(loaded.values)),
      m_file(std::move(file)),
      m_loadOutcome(loaded.outcome),
      m_setAsidePath(std::move(loaded.setAsidePath)),
      m_loadError(std::move(loaded.error))
{
}

void FileUserDefaults::set(std::string_view key, DefaultsValue value)
{
    const std::lock_guard lock(m_writeMutex);
    InMemoryUserDefaults::set(key, std::move(value));
    save();
}

void FileUserDefaults::remove(std::string_view key)
{
    const std::lock_guard lock(m_writeMutex);
    InMemoryUserDefaults::remove(key);
    save();
}

void FileUserDefaults::remove(std::span<const std::string> keys)
{
    const std::lock_guard lock(m_writeMutex);
    InMemoryUserDefaults::remove(keys);
    save();
}

std::string FileUserDefaults::lastWriteError() const
{
    const std::lock_guard lock(m_errorMutex);
    return m_lastWriteError;
}

void FileUserDefaults::save()
{
    // A file we could not read, or could neither parse nor move aside, must
    // stay as it is.
    if (m_loadOutcome == LoadOutcome::unreadable || m_loadOutcome == LoadOutcome::unusable) {
        const std::lock_guard lock(m_errorMutex);
        m_lastWriteError = "not written: " + m_loadError;
        return;
    }
    const auto written = AtomicFile::write(m_file, encode(dictionaryRepresentation()), 0600);
    const std::lock_guard lock(m_errorMutex);
    // A failed write keeps the change in memory; the next write carries it.
    m_lastWriteError = written ? std::string() : written.error();
}
