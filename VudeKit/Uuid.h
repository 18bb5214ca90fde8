#pragma once
// A 16-byte universally unique identifier. Written in upper case
// ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), read in either case.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
// After the others: Qt's moc cannot parse <compare> when it comes first.
#include <compare>

class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    /// The nil identifier (all zero).
    constexpr Uuid() = default;
    constexpr explicit Uuid(const Bytes& bytes) : m_bytes(bytes) {}

    /// A fresh random (version 4) identifier.
    static Uuid random();

    /// Parses the 36-character 8-4-4-4-12 form, hex digits in either case.
    static std::optional<Uuid> parse(std::string_view text);

    std::string toString() const;
    const Bytes& bytes() const { return m_bytes; }
    bool isNil() const;

    friend constexpr auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    Bytes m_bytes{};
};

template <>
struct std::hash<Uuid> {
    std::size_t operator()(const Uuid& uuid) const noexcept;
};
