#include "VudeKit/UserDefaults.h"

#include "VudeKit/Numbers.h"

#include <cmath>
#include <mutex>
#include <utility>

std::optional<bool> DefaultsValue::toBool() const
{
    if (const auto* value = std::get_if<bool>(&m_value))
        return *value;
    const auto number = toDouble();
    if (number && (*number == 0 || *number == 1))
        return *number == 1;
    return std::nullopt;
}

std::optional<std::int64_t> DefaultsValue::toInteger() const
{
    if (const auto* value = std::get_if<std::int64_t>(&m_value))
        return *value;
    if (const auto* value = std::get_if<double>(&m_value)) {
        // 2^63 itself is out of range; every double below it converts exactly.
        constexpr double limit = 9223372036854775808.0;
        if (std::isfinite(*value) && std::trunc(*value) == *value && *value >= -limit && *value < limit)
            return static_cast<std::int64_t>(*value);
    }
    return std::nullopt;
}

std::optional<double> DefaultsValue::toDouble() const
{
    if (const auto* value = std::get_if<double>(&m_value))
        return *value;
    if (const auto* value = std::get_if<std::int64_t>(&m_value)) {
        const double converted = static_cast<double>(*value);
        // Above 2^53 not every integer has a double; only exact ones convert.
        if (converted < 9223372036854775808.0 && static_cast<std::int64_t>(converted) == *value)
            return converted;
    }
    return std::nullopt;
}

std::optional<std::string> DefaultsValue::toString() const
{
    if (const auto* value = std::get_if<std::string>(&m_value))
        return *value;
    if (const auto* value = std::get_if<std::int64_t>(&m_value))
        return formatInteger(*value);
    if (const auto* value = std::get_if<double>(&m_value))
        return formatShortest(*value);
    return std::nullopt;
}

std::optional<Date> DefaultsValue::toDate() const
{
    if (const auto* value = std::get_if<Date>(&m_value))
        return *value;
    return std::nullopt;
}

// UserDefaults

void UserDefaults::remove(std::span<const std::string> keys)
{
    for (const auto& key : keys)
        remove(key);
}

namespace {

// The stored value passed through `convert`; nothing for an absent key.
template <typename Convert>
auto converted(const UserDefaults& defaults, std::string_view key, Convert convert)
    -> decltype(std::invoke(convert, std::declval<const DefaultsValue&>()))
{
    const auto value = defaults.object(key);
    if (!value)
        return std::nullopt;
    return std::invoke(convert, *value);
}

template <typename T>
std::optional<T> copied(const T* value)
{
    return value ? std::optional<T>(*value) : std::nullopt;
}

} // namespace

std::optional<bool> UserDefaults::boolForKey(std::string_view key) const
{
    return converted(*this, key, &DefaultsValue::toBool);
}

std::optional<std::int64_t> UserDefaults::integerForKey(std::string_view key) const
{
    return converted(*this, key, &DefaultsValue::toInteger);
}

std::optional<double> UserDefaults::doubleForKey(std::string_view key) const
{
    return converted(*this, key, &DefaultsValue::toDouble);
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const
{
    return converted(*this, key, &DefaultsValue::toString);
}

std::optional<Date> UserDefaults::dateForKey(std::string_view key) const
{
    return converted(*this, key, &DefaultsValue::toDate);
}

std::optional<DefaultsValue::Array> UserDefaults::arrayForKey(std::string_view key) const
{
    return converted(*this, key, [](const DefaultsValue& value) { return copied(value.array()); });
}

std::optional<DefaultsValue::Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const
{
    return converted(*this, key, [](const DefaultsValue& value) { return copied(value.dictionary()); });
}

namespace {

struct StandardSlot {
    std::mutex mutex;
    std::shared_ptr<UserDefaults> defaults;
};

StandardSlot& standardSlot()
{
    static StandardSlot slot;
    return slot;
}

} // namespace

std::shared_ptr<UserDefaults> UserDefaults::standard()
{
    auto& slot = standardSlot();
    const std::lock_guard lock(slot.mutex);
    if (!slot.defaults)
        slot.defaults = std::make_shared<InMemoryUserDefaults>();
    return slot.defaults;
}

void UserDefaults::installStandard(std::shared_ptr<UserDefaults> defaults)
{
    auto& slot = standardSlot();
    const std::lock_guard lock(slot.mutex);
    slot.defaults = std::move(defaults);
}

// InMemoryUserDefaults

std::optional<DefaultsValue> InMemoryUserDefaults::object(std::string_view key) const
{
    const std::shared_lock lock(m_mutex);
    const auto found = m_values.find(key);
    if (found == m_values.end())
        return std::nullopt;
    return found->second;
}

void InMemoryUserDefaults::set(std::string_view key, DefaultsValue value)
{
    const std::unique_lock lock(m_mutex);
    m_values.insert_or_assign(std::string(key), std::move(value));
}

void InMemoryUserDefaults::remove(std::string_view key)
{
    const std::unique_lock lock(m_mutex);
    if (const auto found = m_values.find(key); found != m_values.end())
        m_values.erase(found);
}

void InMemoryUserDefaults::remove(std::span<const std::string> keys)
{
    const std::unique_lock lock(m_mutex);
    for (const auto& key : keys)
        m_values.erase(key);
}

DefaultsValue::Dictionary InMemoryUserDefaults::dictionaryRepresentation() const
{
    const std::shared_lock lock(m_mutex);
    return m_values;
}
