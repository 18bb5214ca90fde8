#pragma once
// The user defaults: a per-user key-value store whose values keep their kinds
// (bool, integer, double, string, date, array, dictionary). The app installs
// one process-wide instance at start-up (a file backend in Platform/); tests
// use InMemoryUserDefaults. Every implementation may be read from any thread
// while another thread writes.

#include "VudeKit/Date.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

/// One stored value. Kinds never merge: the integer 1, the double 1.0 and the
/// bool true are three different values; the to...() conversions say which
/// kinds a reader accepts.
class DefaultsValue {
public:
    using Array = std::vector<DefaultsValue>;
    using Dictionary = std::map<std::string, DefaultsValue, std::less<>>;
    enum class Kind { boolean, integer, real, string, date, array, dictionary };

    DefaultsValue(bool value) : m_value(value) {}
    template <std::integral I>
        requires(!std::same_as<I, bool>)
    DefaultsValue(I value) : m_value(toInt64(value)) {}
    DefaultsValue(double value) : m_value(value) {}
    DefaultsValue(const char* value) : m_value(std::string(value)) {}
    DefaultsValue(std::string_view value) : m_value(std::string(value)) {}
    DefaultsValue(std::string value) : m_value(std::move(value)) {}
    DefaultsValue(Date value) : m_value(value) {}
    DefaultsValue(Array value) : m_value(std::move(value)) {}
    DefaultsValue(Dictionary value) : m_value(std::move(value)) {}

    Kind kind() const { return static_cast<Kind>(m_value.index()); }

    /// A bool, or a number that is exactly 0 or 1.
    std::optional<bool> toBool() const;
    /// An integer, or a double with an integral value inside the int64 range.
    std::optional<std::int64_t> toInteger() const;
    /// A double, or an integer that a double holds exactly.
    std::optional<double> toDouble() const;
    /// A string, or a number as its shortest decimal text ("3", "1.5").
    std::optional<std::string> toString() const;
    std::optional<Date> toDate() const;
    /// The array or dictionary itself; nullptr for any other kind.
    const Array* array() const { return std::get_if<Array>(&m_value); }
    const Dictionary* dictionary() const { return std::get_if<Dictionary>(&m_value); }
    /// The string itself, without conversion; nullptr for any other kind.
    const std::string* string() const { return std::get_if<std::string>(&m_value); }

    friend bool operator==(const DefaultsValue&, const DefaultsValue&) = default;

private:
    template <std::integral I>
    static std::int64_t toInt64(I value)
    {
        if constexpr (std::is_unsigned_v<I> && sizeof(I) >= sizeof(std::int64_t))
            return value > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(value);
        else
            return static_cast<std::int64_t>(value);
    }

    // The order matches Kind.
    std::variant<bool, std::int64_t, double, std::string, Date, Array, Dictionary> m_value;
};

class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    /// The stored value, or nullopt when the key is absent.
    virtual std::optional<DefaultsValue> object(std::string_view key) const = 0;
    virtual void set(std::string_view key, DefaultsValue value) = 0;
    virtual void remove(std::string_view key) = 0;
    /// Removes several keys as one change (one write for a file backend).
    virtual void remove(std::span<const std::string> keys);
    /// A copy of every stored key and value.
    virtual DefaultsValue::Dictionary dictionaryRepresentation() const = 0;

    // Typed reads: nullopt when the key is absent or its value does not
    // convert (see DefaultsValue).
    std::optional<bool> boolForKey(std::string_view key) const;
    std::optional<std::int64_t> integerForKey(std::string_view key) const;
    std::optional<double> doubleForKey(std::string_view key) const;
    std::optional<std::string> stringForKey(std::string_view key) const;
    std::optional<Date> dateForKey(std::string_view key) const;
    std::optional<DefaultsValue::Array> arrayForKey(std::string_view key) const;
    std::optional<DefaultsValue::Dictionary> dictionaryForKey(std::string_view key) const;

    /// The standard user defaults: the instance installed at start-up, or a
    /// process-wide in-memory store when none was installed.
    static std::shared_ptr<UserDefaults> standard();
    static void installStandard(std::shared_ptr<UserDefaults> defaults);
};

/// Values kept in memory only; the test double, and the core of the file
/// backend. Reads take a shared lock, writes an exclusive one.
class InMemoryUserDefaults : public UserDefaults {
public:
    InMemoryUserDefaults() = default;
    explicit InMemoryUserDefaults(DefaultsValue::Dictionary values) : m_values(std::move(values)) {}

    std::optional<DefaultsValue> object(std::string_view key) const override;
    void set(std::string_view key, DefaultsValue value) override;
    void remove(std::string_view key) override;
    void remove(std::span<const std::string> keys) override;
    DefaultsValue::Dictionary dictionaryRepresentation() const override;

private:
    mutable std::shared_mutex m_mutex;
    DefaultsValue::Dictionary m_values;
};
