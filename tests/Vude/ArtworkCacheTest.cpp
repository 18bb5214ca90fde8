#include "Vude/Shell/Views/ArtworkCache.h"

#include "ImageFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t(i * 31 + seed);
    return bytes;
}

QImage solid(int width, int height, QColor colour = Qt::red)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// Two pieces of artwork share a key only when every byte and the size in
// whole points agree: a key that read only some bytes would show one cover
// for another.
TEST(ArtworkCacheTest, KeysTellEveryCoverAndSizeApart)
{
    const auto large = pattern(4096, 1);
    auto middleDiffers = large;
    middleDiffers[2048] ^= 0xFF; // first and last 256 bytes agree
    const auto small = pattern(300, 2);
    auto smallOther = small;
    smallOther[150] ^= 0x01; // same length, 512 bytes or fewer

    struct Row {
        const char* name;
        std::vector<std::uint8_t> a;
        double sizeA;
        std::vector<std::uint8_t> b;
        double sizeB;
        bool same;
    } rows[] = {
        {"the same bytes in another buffer", large, 26, std::vector<std::uint8_t>(large), 26, true},
        {"the same artwork at 26 and at 60 points", large, 26, large, 60, false},
        {"sizes that truncate to the same whole point", large, 26, large, 26.9, true},
        {"large covers alike at both ends, different inside", large, 26, middleDiffers, 26, false},
        {"small covers of the same length", small, 26, smallOther, 26, false},
        {"a cover and its first bytes", large, 26, std::vector<std::uint8_t>(large.begin(), large.end() - 1), 26,
         false},
        {"no bytes and no bytes", {}, 26, {}, 26, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ArtworkCache::cacheKey(row.a, row.sizeA) == ArtworkCache::cacheKey(row.b, row.sizeB), row.same);
    }
}

TEST(ArtworkCacheTest, KeepsTheTwelveMostRecentlyUsedImages)
{
    ArtworkCache cache;
    for (ArtworkCache::Key key = 1; key <= 12; ++key)
        cache.store(solid(2, 2), key);
    EXPECT_EQ(cache.count(), 12u);

    // Looking key 1 up makes it the most recent: the 13th pushes out key 2.
    ASSERT_TRUE(cache.image(1));
    cache.store(solid(2, 2), 13);
    EXPECT_EQ(cache.count(), 12u);
    EXPECT_TRUE(cache.contains(1));
    EXPECT_FALSE(cache.contains(2));
    EXPECT_TRUE(cache.contains(13));

    // Storing under a key already held replaces the image, not adds one.
    cache.store(solid(4, 4), 13);
    EXPECT_EQ(cache.count(), 12u);
    EXPECT_EQ(cache.totalCost(), 11 * 16 + 64);
    EXPECT_EQ(cache.image(13)->size(), QSize(4, 4));
}

TEST(ArtworkCacheTest, KeepsTheTotalCostWithin24MiB)
{
    ArtworkCache cache;
    // 4 MiB each: six fill the cache exactly, the seventh evicts the oldest.
    for (ArtworkCache::Key key = 1; key <= 6; ++key)
        cache.store(solid(1024, 1024), key);
    EXPECT_EQ(cache.totalCost(), ArtworkCache::totalCostLimit);
    EXPECT_EQ(cache.count(), 6u);
    cache.store(solid(1024, 1024), 7);
    EXPECT_FALSE(cache.contains(1));
    EXPECT_EQ(cache.count(), 6u);
    EXPECT_LE(cache.totalCost(), ArtworkCache::totalCostLimit);

    // An image that alone is over the limit would empty the cache for
    // nothing; it is not stored.
    cache.store(solid(4096, 1537), 8);
    EXPECT_FALSE(cache.contains(8));
    EXPECT_EQ(cache.count(), 6u);
    cache.store(QImage(), 9);
    EXPECT_FALSE(cache.contains(9));
}

// Decoding reduces the longer side to 3 pixels per point and never enlarges;
// the pixels are upright whatever the file says about orientation.
TEST(ArtworkCacheTest, DownsamplesUprightToThreePixelsPerPoint)
{
    const QImage upright = fixtures::quadrants(600, 300);
    struct Row {
        const char* name;
        std::string bytes;
        double size;
        QSize expected;
    } rows[] = {
        {"a 600 × 300 PNG at 26 points", fixtures::encoded(upright, "png"), 26 * 3, {78, 39}},
        {"a 600 × 300 JPEG at 60 points", fixtures::encoded(upright, "jpeg", 95), 60 * 3, {180, 90}},
        {"a JPEG stored turned, EXIF orientation 6",
         fixtures::tagged(fixtures::encoded(fixtures::storedFor(upright, 6), "jpeg", 95), {.orientation = 6}),
         26 * 3, {78, 39}},
        {"a small image is not enlarged", fixtures::encoded(fixtures::quadrants(40, 20), "png"), 26 * 3, {40, 20}},
        {"a fractional limit truncates", fixtures::encoded(upright, "png"), 26.9 * 3, {80, 40}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto image = ArtworkCache::downsample(bytesOf(row.bytes), row.size);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), row.expected);
        EXPECT_TRUE(fixtures::showsQuadrantsUpright(*image));
    }
}

TEST(ArtworkCacheTest, BytesThatAreNoImageDecodeToNothing)
{
    const std::string png = fixtures::encoded(fixtures::quadrants(60, 60), "png");
    for (const std::string& junk : {std::string(), std::string("not an image at all"), png.substr(0, png.size() / 3),
                                    std::string(4096, '\xFF')}) {
        SCOPED_TRACE(junk.size());
        EXPECT_FALSE(ArtworkCache::downsample(bytesOf(junk), 78));
    }
}

TEST(ArtworkCacheTest, LoadsOffTheMainThreadOnceForEveryoneAskingAndStoresOnlyImages)
{
    ArtworkCache cache;
    const Data cover(fixtures::encoded(fixtures::quadrants(600, 300), "png"));
    const ArtworkCache::Key key = ArtworkCache::cacheKey(cover.bytes(), 26);

    // Two views asking at once share one decode; a view gone before it
    // lands is not called.
    QObject first, second;
    auto gone = std::make_unique<QObject>();
    std::vector<QSize> delivered;
    bool goneCalled = false;
    const auto deliver = [&](const std::optional<QImage>& image) {
        delivered.push_back(image ? image->size() : QSize());
    };
    cache.load(key, cover, 78, &first, deliver);
    cache.load(key, cover, 78, &second, deliver);
    cache.load(key, cover, 78, gone.get(), [&](const std::optional<QImage>&) { goneCalled = true; });
    gone.reset();
    EXPECT_EQ(cache.decodeCount(), 1u);
    EXPECT_TRUE(delivered.empty()) << "results come back through the event loop";
    ASSERT_TRUE(testsupport::waitUntil([&] { return delivered.size() == 2; }));
    EXPECT_EQ(delivered, (std::vector<QSize>{{78, 39}, {78, 39}}));
    EXPECT_FALSE(goneCalled);
    EXPECT_TRUE(cache.contains(key));
    EXPECT_EQ(cache.pendingLoads(), 0u);

    // Junk is answered with nothing and leaves the cache as it was.
    const Data junk(std::string(700, 'x'));
    const ArtworkCache::Key junkKey = ArtworkCache::cacheKey(junk.bytes(), 26);
    bool answered = false;
    cache.load(junkKey, junk, 78, &first, [&](const std::optional<QImage>& image) {
        answered = true;
        EXPECT_FALSE(image);
    });
    ASSERT_TRUE(testsupport::waitUntil([&] { return answered; }));
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_FALSE(cache.contains(junkKey));
}

} // namespace
