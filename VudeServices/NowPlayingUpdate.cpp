#include "VudeServices/NowPlayingUpdate.h"

#include "VudeKit/Numbers.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <set>

namespace {

constexpr std::string_view kKnownKeys[] = {
    "title", "artist", "album", "genre", "composer", "bundleIdentifier", "mediaType", "contentItemIdentifier",
    "artworkMimeType", "duration", "trackNumber", "queueIndex", "totalQueueCount", "elapsedTime", "playbackRate",
    "playing", "isMusicApp", "shuffleMode", "repeatMode", "artworkData", NowPlayingUpdate::kPlayerKey,
};

bool isKnownKey(std::string_view key)
{
    for (const std::string_view known : kKnownKeys)
        if (key == known)
            return true;
    return false;
}

// The keys of a line without a payload, for its trace message: the smallest
// few in byte order (which is code point order for UTF-8), so a line with
// thousands of keys does not make a huge message.
class KeyList {
public:
    static constexpr std::size_t kMaxKeys = 32;
    static constexpr std::size_t kMaxTextBytes = 1024;

    void add(const std::string& key)
    {
        m_keys.insert(key);
        if (m_keys.size() > kMaxKeys) {
            m_keys.erase(std::prev(m_keys.end()));
            m_cut = true;
        }
    }

    std::string text() const
    {
        std::string list = "[";
        bool cut = m_cut;
        for (const auto& key : m_keys) {
            std::string item = quoted(key);
            if (list.size() + item.size() > kMaxTextBytes) {
                cut = true;
                break;
            }
            if (list.size() > 1)
                list += ", ";
            list += item;
        }
        if (cut)
            list += list.size() > 1 ? ", …" : "…";
        return list + "]";
    }

private:
    static std::string quoted(std::string_view key)
    {
        static constexpr char hex[] = "0123456789abcdef";
        std::string text = "\"";
        for (const char c : key) {
            switch (c) {
            case '"': text += "\\\""; break;
            case '\\': text += "\\\\"; break;
            case '\n': text += "\\n"; break;
            case '\r': text += "\\r"; break;
            case '\t': text += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    text += "\\u{";
                    if (c >= 0x10)
                        text += hex[c >> 4];
                    text += hex[c & 0xf];
                    text += '}';
                } else {
                    text += c;
                }
            }
        }
        return text + "\"";
    }

    std::set<std::string> m_keys;
    bool m_cut = false;
};

using json = nlohmann::json;
using Value = NowPlayingUpdate::Value;

// Reads a line event by event: the parser keeps one bit per nesting level and
// never recurses, and only the values the fold needs are kept.
class LineReader final : public nlohmann::json_sax<json> {
public:
    NowPlayingUpdate update;
    KeyList keys;
    bool payloadIsObject = false;

    bool null() override { return scalar(nullptr); }
    bool boolean(bool value) override { return scalar(value); }
    bool number_integer(number_integer_t value) override { return scalar(static_cast<double>(value)); }
    bool number_unsigned(number_unsigned_t value) override { return scalar(static_cast<double>(value)); }
    bool number_float(number_float_t value, const string_t&) override { return scalar(value); }
    bool string(string_t& value) override
    {
        if (m_depth == 2 && m_inPayload && isKnownKey(m_payloadKey))
            return scalar(std::move(value));
        return scalar(NowPlayingUpdate::Compound{}); // a placeholder: nothing keeps it
    }
    bool binary(binary_t&) override { return scalar(NowPlayingUpdate::Compound{}); }

    bool start_object(std::size_t) override
    {
        if (m_depth == 0) {
            m_depth = 1;
            return true;
        }
        if (m_depth == 1 && m_topKey == "payload") {
            payloadIsObject = true;
            update.payload.clear(); // a repeated key: the last one counts
            m_inPayload = true;
        } else {
            container();
        }
        ++m_depth;
        return true;
    }
    bool start_array(std::size_t) override
    {
        if (m_depth == 0)
            return false; // the top level must be an object
        container();
        ++m_depth;
        return true;
    }
    bool end_object() override { return end(); }
    bool end_array() override { return end(); }

    bool key(string_t& value) override
    {
        if (m_depth == 1) {
            keys.add(value);
            m_topKey = value;
        } else if (m_depth == 2 && m_inPayload) {
            m_payloadKey = value;
        }
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception&) override { return false; }

private:
    // A value that is not an object or array.
    bool scalar(Value value)
    {
        if (m_depth == 0)
            return false;
        if (m_depth == 1)
            topLevelValue(value);
        else if (m_depth == 2 && m_inPayload && isKnownKey(m_payloadKey))
            update.payload.insert_or_assign(m_payloadKey, std::move(value));
        return true;
    }

    // An object or array that starts where a value belongs.
    void container()
    {
        if (m_depth == 1)
            topLevelValue(NowPlayingUpdate::Compound{});
        else if (m_depth == 2 && m_inPayload && isKnownKey(m_payloadKey))
            update.payload.insert_or_assign(m_payloadKey, NowPlayingUpdate::Compound{});
    }

    void topLevelValue(const Value& value)
    {
        if (m_topKey == "diff") {
            const auto* flag = std::get_if<bool>(&value);
            update.isDiff = flag && *flag;
        } else if (m_topKey == "payload") {
            payloadIsObject = false;
            update.payload.clear();
        }
    }

    bool end()
    {
        --m_depth;
        if (m_depth == 1)
            m_inPayload = false;
        return true;
    }

    int m_depth = 0; // 1 inside the top-level object
    bool m_inPayload = false;
    std::string m_topKey;
    std::string m_payloadKey;
};

int base64Digit(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Strict Base64: the standard alphabet in whole groups of four, padded with
// '=' at the very end only; no blanks or line breaks.
std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int bits = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int digit = base64Digit(text[i]);
        if (digit < 0)
            return std::nullopt;
        group = (group << 6) | static_cast<std::uint32_t>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<std::uint8_t>(group >> bits));
            group &= (1u << bits) - 1;
        }
    }
    return bytes;
}

const Value* find(const NowPlayingUpdate& update, std::string_view key)
{
    const auto entry = update.payload.find(key);
    return entry == update.payload.end() ? nullptr : &entry->second;
}

// Booleans count as the numbers 1 and 0.
std::optional<double> number(const Value& value)
{
    if (const auto* number = std::get_if<double>(&value))
        return *number;
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? 1.0 : 0.0;
    return std::nullopt;
}

std::optional<std::string> text(const Value& value)
{
    if (const auto* string = std::get_if<std::string>(&value))
        return *string;
    return std::nullopt;
}

// The integer part, or none when it does not fit 64 bits.
std::optional<std::int64_t> integer(const Value& value)
{
    const auto real = number(value);
    if (!real || !std::isfinite(*real))
        return std::nullopt;
    const double whole = std::trunc(*real);
    if (whole < -0x1p63 || whole >= 0x1p63)
        return std::nullopt;
    return static_cast<std::int64_t>(whole);
}

bool truth(const Value& value)
{
    const auto real = number(value);
    return real && *real == 1;
}

template <typename Mode>
std::optional<Mode> mode(const Value& value)
{
    const auto* string = std::get_if<std::string>(&value);
    return string ? enumFromRaw<Mode>(*string) : std::nullopt;
}

} // namespace

Expected<NowPlayingUpdate, std::string> NowPlayingUpdate::parse(std::string_view line)
{
    const auto parseFailure = [&] {
        return unexpected("ingest: JSON parse FAILED for " + formatInteger(static_cast<std::int64_t>(line.size())) +
                          " bytes");
    };
    LineReader reader;
    try {
        if (!json::sax_parse(line, &reader))
            return parseFailure();
    } catch (const std::exception&) {
        return parseFailure();
    }
    if (!reader.payloadIsObject)
        return unexpected("ingest: no payload key; keys=" + reader.keys.text());
    return std::move(reader.update);
}

void NowPlayingUpdate::apply(NowPlayingState& state, Date now) const
{
    if (!isDiff)
        state = NowPlayingState{};

    const std::pair<const char*, std::optional<std::string> NowPlayingState::*> texts[] = {
        {"title", &NowPlayingState::title},
        {"artist", &NowPlayingState::artist},
        {"album", &NowPlayingState::album},
        {"genre", &NowPlayingState::genre},
        {"composer", &NowPlayingState::composer},
        {"bundleIdentifier", &NowPlayingState::bundleIdentifier},
        {"mediaType", &NowPlayingState::mediaType},
        {"contentItemIdentifier", &NowPlayingState::contentItemIdentifier},
        {"artworkMimeType", &NowPlayingState::artworkMimeType},
    };
    for (const auto& [key, field] : texts)
        if (const auto* value = find(*this, key))
            state.*field = text(*value);

    if (const auto* value = find(*this, "duration"))
        state.duration = number(*value);

    const std::pair<const char*, std::optional<std::int64_t> NowPlayingState::*> integers[] = {
        {"trackNumber", &NowPlayingState::trackNumber},
        {"queueIndex", &NowPlayingState::queueIndex},
        {"totalQueueCount", &NowPlayingState::totalQueueCount},
    };
    for (const auto& [key, field] : integers)
        if (const auto* value = find(*this, key))
            state.*field = integer(*value);

    if (const auto* value = find(*this, "elapsedTime")) {
        state.elapsed = number(*value);
        state.elapsedAsOf = now;
    }
    if (const auto* value = find(*this, "playbackRate"))
        state.playbackRate = number(*value).value_or(0);
    if (const auto* value = find(*this, "playing"))
        state.isPlaying = truth(*value);
    if (const auto* value = find(*this, "isMusicApp"))
        state.isMusicApp = truth(*value);
    if (const auto* value = find(*this, "shuffleMode"))
        state.shuffle = mode<ShuffleMode>(*value);
    if (const auto* value = find(*this, "repeatMode"))
        state.repeatMode = mode<RepeatMode>(*value);

    if (const auto* value = find(*this, "artworkData")) {
        if (const auto* encoded = std::get_if<std::string>(value)) {
            auto bytes = decodeBase64(*encoded);
            state.artwork = bytes ? std::optional(ArtworkBytes(std::move(*bytes))) : std::nullopt;
        } else if (std::holds_alternative<std::nullptr_t>(*value)) {
            state.artwork = std::nullopt;
        }
    }
}

void NowPlayingUpdate::applyPlayer(std::optional<std::string>& player) const
{
    if (!isDiff)
        player.reset();
    if (const auto* value = find(*this, kPlayerKey))
        player = text(*value);
}
