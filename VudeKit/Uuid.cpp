#include "VudeKit/Uuid.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <random>

#if defined(__linux__)
#include <sys/random.h>
#include <unistd.h>
#endif

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Offsets of the dashes in the text form.
constexpr bool isDashPosition(std::size_t i)
{
    return i == 8 || i == 13 || i == 18 || i == 23;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

namespace {

// Kernel randomness drawn in blocks: one system call serves 256 identifiers,
// where asking std::random_device for every 4 bytes cost about 4 µs each.
// A forked child must not hand out its parent's unused bytes again, so the
// block is dropped whenever the process id changes.
class RandomPool {
public:
    void fill(Uuid::Bytes& bytes)
    {
        if (m_used + bytes.size() > m_block.size() || m_owner != currentProcess())
            refill();
        std::memcpy(bytes.data(), m_block.data() + m_used, bytes.size());
        m_used += bytes.size();
    }

private:
    void refill()
    {
        std::size_t filled = 0;
#if defined(__linux__)
        while (filled < m_block.size()) {
            const auto got = getrandom(m_block.data() + filled, m_block.size() - filled, 0);
            if (got <= 0)
                break;
            filled += static_cast<std::size_t>(got);
        }
#endif
        std::random_device device; // the portable fallback
        for (; filled < m_block.size(); filled += 4) {
            const std::uint32_t word = device();
            std::memcpy(m_block.data() + filled, &word, std::min<std::size_t>(4, m_block.size() - filled));
        }
        m_used = 0;
        m_owner = currentProcess();
    }

    static long currentProcess()
    {
#if defined(__linux__)
        return static_cast<long>(getpid());
#else
        return 0;
#endif
    }

    std::array<std::uint8_t, 4096> m_block{};
    std::size_t m_used = 4096;
    long m_owner = -1;
};

} // namespace

Uuid Uuid::random()
{
    thread_local RandomPool pool;
    Bytes bytes{};
    pool.fill(bytes);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return Uuid(bytes);
}

std::optional<Uuid> Uuid::parse(std::string_view text)
{
    if (text.size() != 36)
        return std::nullopt;
    Bytes bytes{};
    std::size_t byteIndex = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (isDashPosition(i)) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[byteIndex++] = static_cast<std::uint8_t>(high << 4 | low);
        i += 2;
    }
    return Uuid(bytes);
}

std::string Uuid::toString() const
{
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < m_bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text.push_back('-');
        text.push_back(kHexDigits[m_bytes[i] >> 4]);
        text.push_back(kHexDigits[m_bytes[i] & 0x0F]);
    }
    return text;
}

bool Uuid::isNil() const
{
    return *this == Uuid();
}

std::size_t std::hash<Uuid>::operator()(const Uuid& uuid) const noexcept
{
    // FNV-1a over the bytes: identifiers are random, any mixing will do.
    std::size_t hash = 1469598103934665603ull;
    for (const auto byte : uuid.bytes()) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return hash;
}
