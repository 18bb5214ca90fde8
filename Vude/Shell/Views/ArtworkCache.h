#pragma once
// Decoded now-playing artwork shared by every view that shows it. Artwork
// arrives as a full-size encoded image in every now-playing update while the
// notch shows it at a few dozen points, so each distinct image is decoded
// once per size, off the main thread, at three pixels per point, and kept in
// memory: at most 12 images and 24 MiB (4 bytes a pixel), the least recently
// used going first. Nothing is written to disk.
//
// Keys hash every byte of the artwork and its size in whole points; they mean
// something only within one run. Lookups and stores are safe from any
// thread; load() is for the main thread.

#include "VudeKit/Data.h"

#include <QImage>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

class SerialQueue;

class ArtworkCache final : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t countLimit = 12;
    static constexpr std::int64_t totalCostLimit = 25165824; // 24 MiB
    /// Decoded pixels per point of the view's side.
    static constexpr double pixelsPerPoint = 3;

    using Key = std::uint64_t;

    /// The app's one cache, made on first use and kept for the whole run.
    static ArtworkCache& shared();

    explicit ArtworkCache(QObject* parent = nullptr);
    ~ArtworkCache() override;

    /// A hash of every byte; the same for equal bytes. Hashing reads the
    /// whole buffer, so views hash a buffer once and keep the result.
    static std::uint64_t contentHash(std::span<const std::uint8_t> bytes);
    /// The key of artwork of `byteCount` bytes hashing to `contentHash`, at
    /// `size` points truncated to a whole number.
    static Key cacheKey(std::size_t byteCount, std::uint64_t contentHash, double size);
    static Key cacheKey(std::span<const std::uint8_t> bytes, double size)
    {
        return cacheKey(bytes.size(), contentHash(bytes), size);
    }
    /// Bytes hashed by contentHash in this process, for tests and benchmarks.
    static std::uint64_t bytesHashed();

    /// What an image costs: width × height × 4.
    static std::int64_t cost(const QImage& image);

    /// The image stored under `key`, now the most recently used.
    std::optional<QImage> image(Key key);
    /// Stores `image` under `key`, then evicts the least recently used
    /// images while the count or the cost is over its limit. A null image,
    /// or one that alone costs more than the limit, is not stored.
    void store(const QImage& image, Key key);
    bool contains(Key key) const;
    std::size_t count() const;
    std::int64_t totalCost() const;
    void removeAll();

    /// Decodes `bytes`, upright, with the longer side at most `maxPixelSize`
    /// (truncated) pixels; nothing for bytes that are no image. Any thread.
    static std::optional<QImage> downsample(std::span<const std::uint8_t> bytes, double maxPixelSize);

    using Completion = std::function<void(const std::optional<QImage>&)>;
    /// Decodes `bytes` at `maxPixelSize` on the cache's worker, stores a
    /// decoded image under `key`, then calls `done` on the main thread with
    /// it (nothing for undecodable bytes), unless `context` is gone by then.
    /// A load of a key already being decoded waits for that decode.
    void load(Key key, Data bytes, double maxPixelSize, QObject* context, Completion done);
    /// Decodes running or waiting on the worker.
    std::size_t pendingLoads() const { return m_waiting.size(); }
    /// Decodes started since the cache was made.
    std::uint64_t decodeCount() const { return m_decodes; }

private:
    struct Entry {
        QImage image;
        std::int64_t cost;
        std::list<Key>::iterator age;
    };
    struct Waiter {
        QPointer<QObject> context;
        Completion done;
    };
    void evictLocked();
    void finish(Key key, const std::optional<QImage>& image);

    mutable std::mutex m_mutex;
    std::unordered_map<Key, Entry> m_entries;
    /// Most recently used first.
    std::list<Key> m_ages;
    std::int64_t m_totalCost = 0;

    std::map<Key, std::vector<Waiter>> m_waiting;
    std::uint64_t m_decodes = 0;
    std::unique_ptr<SerialQueue> m_worker;
};
