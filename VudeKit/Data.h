#pragma once
// An immutable buffer of bytes (encoded images, file contents) with value
// equality. Copies share the buffer, so payloads carrying artwork stay cheap
// to copy between the coordinator, the state machine and the views.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

class Data {
public:
    Data() = default;
    explicit Data(std::vector<std::uint8_t> bytes)
        : m_bytes(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes))) {}
    explicit Data(std::string_view bytes)
        : Data(std::vector<std::uint8_t>(bytes.begin(), bytes.end())) {}

    std::span<const std::uint8_t> bytes() const
    {
        return m_bytes ? std::span<const std::uint8_t>(*m_bytes) : std::span<const std::uint8_t>();
    }
    std::size_t size() const { return m_bytes ? m_bytes->size() : 0; }
    bool isEmpty() const { return size() == 0; }

    /// Byte-for-byte equality.
    friend bool operator==(const Data& a, const Data& b)
    {
        if (a.m_bytes == b.m_bytes)
            return true;
        const auto x = a.bytes();
        const auto y = b.bytes();
        return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin());
    }

private:
    std::shared_ptr<const std::vector<std::uint8_t>> m_bytes;
};
