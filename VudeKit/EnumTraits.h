#pragma once
// One table per enumeration gives each case its stored raw text, its label and
// its symbol name. Stored text is matched exactly (case-sensitive); text that
// names no case parses to std::nullopt and the caller picks the fallback.
//
// To describe an enumeration, specialise EnumTraits next to it:
//
//   template <> struct EnumTraits<TintName> {
//       static constexpr std::array cases{
//           EnumCase{TintName::brass, "brass"}, ...};
//   };

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

template <typename E>
struct EnumCase {
    E value;
    std::string_view raw;
    std::string_view displayName = {};
    std::string_view symbol = {};
};

template <typename E>
struct EnumTraits;

template <typename E>
concept DescribedEnum = requires { EnumTraits<E>::cases; };

namespace enum_detail {
template <DescribedEnum E>
constexpr const EnumCase<E>* find(E value)
{
    for (const auto& entry : EnumTraits<E>::cases)
        if (entry.value == value)
            return &entry;
    return nullptr;
}
} // namespace enum_detail

/// The stored name of a case ("allScreens").
template <DescribedEnum E>
constexpr std::string_view rawValue(E value)
{
    const auto* entry = enum_detail::find(value);
    return entry ? entry->raw : std::string_view();
}

/// The label shown to the user; empty for enumerations without labels.
template <DescribedEnum E>
constexpr std::string_view displayName(E value)
{
    const auto* entry = enum_detail::find(value);
    return entry ? entry->displayName : std::string_view();
}

/// The symbol name drawn for the case; empty when it has none.
template <DescribedEnum E>
constexpr std::string_view symbol(E value)
{
    const auto* entry = enum_detail::find(value);
    return entry ? entry->symbol : std::string_view();
}

/// Every case, in declaration order.
template <DescribedEnum E>
constexpr auto allCases()
{
    constexpr auto& cases = EnumTraits<E>::cases;
    std::array<E, cases.size()> values{};
    std::transform(cases.begin(), cases.end(), values.begin(), [](const auto& entry) { return entry.value; });
    return values;
}

/// The case whose stored name is exactly `raw`.
template <DescribedEnum E>
constexpr std::optional<E> enumFromRaw(std::string_view raw)
{
    for (const auto& entry : EnumTraits<E>::cases)
        if (entry.raw == raw)
            return entry.value;
    return std::nullopt;
}
