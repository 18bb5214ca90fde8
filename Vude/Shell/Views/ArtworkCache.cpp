#include "Vude/Shell/Views/ArtworkCache.h"

#include "Platform/Core/MainThread.h"
#include "Platform/Core/SerialQueue.h"
#include "Platform/Images/ImageCodec.h"
#include "VudeKit/Numbers.h"

#include <atomic>
#include <string_view>

namespace {

std::atomic<std::uint64_t> g_bytesHashed{0};

std::uint64_t mixed(std::uint64_t value)
{
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

std::uint64_t combined(std::uint64_t seed, std::uint64_t value)
{
    return mixed(seed ^ (mixed(value) + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2)));
}

} // namespace

ArtworkCache& ArtworkCache::shared()
{
    // Never destroyed: views may still look images up while the app exits.
    static ArtworkCache* const cache = new ArtworkCache;
    return *cache;
}

ArtworkCache::ArtworkCache(QObject* parent)
    : QObject(parent), m_worker(std::make_unique<SerialQueue>("app.ruvudav.notch.artwork"))
{
}

ArtworkCache::~ArtworkCache()
{
    // Decodes still queued run and post to an object about to go; Qt drops
    // those posts with it.
    m_worker.reset();
}

std::uint64_t ArtworkCache::contentHash(std::span<const std::uint8_t> bytes)
{
    g_bytesHashed.fetch_add(bytes.size(), std::memory_order_relaxed);
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return std::hash<std::string_view>()(view);
}

std::uint64_t ArtworkCache::bytesHashed() { return g_bytesHashed.load(std::memory_order_relaxed); }

ArtworkCache::Key ArtworkCache::cacheKey(std::size_t byteCount, std::uint64_t contentHash, double size)
{
    // Absent and empty artwork hash alike; every byte of the rest counts, so
    // two covers of the same length never share a key.
    std::uint64_t key = byteCount == 0 ? combined(0, 0) : combined(combined(1, byteCount), contentHash);
    return combined(key, std::uint64_t(saturatingCast<std::int64_t>(size)));
}

std::int64_t ArtworkCache::cost(const QImage& image)
{
    return std::int64_t(image.width()) * std::int64_t(image.height()) * 4;
}

std::optional<QImage> ArtworkCache::image(Key key)
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(key);
    if (found == m_entries.end())
        return std::nullopt;
    m_ages.splice(m_ages.begin(), m_ages, found->second.age);
    return found->second.image;
}

bool ArtworkCache::contains(Key key) const
{
    const std::lock_guard lock(m_mutex);
    return m_entries.contains(key);
}

void ArtworkCache::store(const QImage& image, Key key)
{
    const std::int64_t imageCost = cost(image);
    if (image.isNull() || imageCost > totalCostLimit)
        return;
    const std::lock_guard lock(m_mutex);
    if (const auto found = m_entries.find(key); found != m_entries.end()) {
        m_totalCost -= found->second.cost;
        m_ages.erase(found->second.age);
        m_entries.erase(found);
    }
    m_ages.push_front(key);
    m_entries.emplace(key, Entry{image, imageCost, m_ages.begin()});
    m_totalCost += imageCost;
    evictLocked();
}

void ArtworkCache::evictLocked()
{
    while (!m_ages.empty() && (m_entries.size() > countLimit || m_totalCost > totalCostLimit)) {
        const auto oldest = m_entries.find(m_ages.back());
        m_totalCost -= oldest->second.cost;
        m_entries.erase(oldest);
        m_ages.pop_back();
    }
}

std::size_t ArtworkCache::count() const
{
    const std::lock_guard lock(m_mutex);
    return m_entries.size();
}

std::int64_t ArtworkCache::totalCost() const
{
    const std::lock_guard lock(m_mutex);
    return m_totalCost;
}

void ArtworkCache::removeAll()
{
    const std::lock_guard lock(m_mutex);
    m_entries.clear();
    m_ages.clear();
    m_totalCost = 0;
}

std::optional<QImage> ArtworkCache::downsample(std::span<const std::uint8_t> bytes, double maxPixelSize)
{
    if (bytes.empty())
        return std::nullopt;
    ImageCodec::DecodeOptions options;
    options.maxPixelSize = std::max(1, saturatingCast<int>(maxPixelSize));
    auto decoded =
        ImageCodec::decode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), options);
    if (!decoded || decoded->image.isNull())
        return std::nullopt;
    // One pixel per point: the cost counts pixels, and painting scales.
    QImage image = std::move(decoded->image);
    image.setDevicePixelRatio(1);
    return image;
}

void ArtworkCache::load(Key key, Data bytes, double maxPixelSize, QObject* context, Completion done)
{
    auto& waiters = m_waiting[key];
    waiters.push_back({context, std::move(done)});
    if (waiters.size() > 1)
        return; // already decoding
    ++m_decodes;
    m_worker->async([this, key, bytes = std::move(bytes), maxPixelSize] {
        std::optional<QImage> image = downsample(bytes.bytes(), maxPixelSize);
        postTo(this, [this, key, image = std::move(image)] { finish(key, image); });
    });
}

void ArtworkCache::finish(Key key, const std::optional<QImage>& image)
{
    if (image)
        store(*image, key);
    const auto found = m_waiting.find(key);
    if (found == m_waiting.end())
        return;
    std::vector<Waiter> waiters = std::move(found->second);
    m_waiting.erase(found);
    for (Waiter& waiter : waiters) {
        if (waiter.context)
            waiter.done(image);
    }
}
