#include "Vude/Shell/Views/ArtworkView.h"

#include "ImageFixtures.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

Data coverOf(QColor colour, int width = 300, int height = 300)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return Data(fixtures::encoded(image, "png"));
}

QColor centreOf(const std::optional<QImage>& image)
{
    return image ? image->pixelColor(image->width() / 2, image->height() / 2) : QColor();
}

class ArtworkViewTest : public ::testing::Test {
protected:
    bool settle(ArtworkView& view)
    {
        return testsupport::waitUntil([&] { return !view.isLoading() && cache.pendingLoads() == 0; });
    }

    ArtworkCache cache;
};

// What shows while artwork comes and goes: the previous picture until the
// new one is decoded, the placeholder as soon as the bytes are removed, and
// never a picture for bytes that are no image.
TEST_F(ArtworkViewTest, KeepsThePreviousPictureUntilTheNextIsDecoded)
{
    ArtworkView view(22, cache);
    QSignalSpy changed(&view, &ArtworkView::imageChanged);
    EXPECT_FALSE(view.image()) << "starts without a picture";

    view.setData(coverOf(Qt::red));
    EXPECT_TRUE(view.isLoading());
    EXPECT_FALSE(view.image());
    ASSERT_TRUE(settle(view));
    ASSERT_TRUE(view.image());
    EXPECT_EQ(view.image()->size(), QSize(66, 66)) << "three pixels per point";
    EXPECT_EQ(centreOf(view.image()), QColor(Qt::red));

    view.setData(coverOf(Qt::blue));
    EXPECT_EQ(centreOf(view.image()), QColor(Qt::red)) << "the old cover stays while the new one decodes";
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(centreOf(view.image()), QColor(Qt::blue));

    view.setData(Data(std::string("<html>not a cover</html>")));
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(centreOf(view.image()), QColor(Qt::blue)) << "junk leaves the previous picture";
    EXPECT_TRUE(view.isUndecodable()) << "for callers that show the placeholder instead";

    view.setData(std::nullopt);
    EXPECT_FALSE(view.image()) << "removing the artwork shows the placeholder at once";
    EXPECT_FALSE(view.isUndecodable());
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(cache.count(), 2u) << "the junk added nothing";
}

TEST_F(ArtworkViewTest, ADecodeThatLandsAfterTheArtworkChangedIsDropped)
{
    ArtworkView view(22, cache);
    QSignalSpy changed(&view, &ArtworkView::imageChanged);
    view.setData(coverOf(Qt::red));
    view.setData(coverOf(Qt::green)); // before the red one is back
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(centreOf(view.image()), QColor(Qt::green));
    EXPECT_EQ(changed.count(), 1) << "the red cover never showed";
    EXPECT_EQ(cache.decodeCount(), 2u);
}

TEST_F(ArtworkViewTest, ACachedCoverShowsAtOnceAndEachSizeHasItsOwnEntry)
{
    const Data cover = coverOf(Qt::red, 600, 300);
    ArtworkView first(26, cache);
    first.setData(cover);
    ASSERT_TRUE(settle(first));

    // Another view, another buffer with the same bytes: no decode.
    ArtworkView second(26, cache);
    second.setData(Data(std::vector<std::uint8_t>(cover.bytes().begin(), cover.bytes().end())));
    EXPECT_FALSE(second.isLoading());
    ASSERT_TRUE(second.image());
    EXPECT_EQ(second.image()->size(), QSize(78, 39));
    EXPECT_EQ(cache.decodeCount(), 1u);

    // The pill grows from 22 to 34 points when it expands: a new size is
    // a new entry, decoded at its own resolution.
    second.setSize(60);
    ASSERT_TRUE(settle(second));
    EXPECT_EQ(second.image()->size(), QSize(180, 90));
    EXPECT_EQ(cache.count(), 2u);
    EXPECT_EQ(cache.decodeCount(), 2u);
}

// Every now-playing update carries the artwork again; while it is the same
// buffer, the view must not read megabytes to find out.
TEST_F(ArtworkViewTest, HashesEachBufferOnce)
{
    const Data cover = coverOf(Qt::red);
    ArtworkView view(22, cache);
    const std::uint64_t before = ArtworkCache::bytesHashed();
    for (int update = 0; update < 50; ++update)
        view.setData(Data(cover)); // a copy shares the buffer
    EXPECT_EQ(ArtworkCache::bytesHashed() - before, cover.size());

    view.setData(Data(std::vector<std::uint8_t>(cover.bytes().begin(), cover.bytes().end())));
    EXPECT_EQ(ArtworkCache::bytesHashed() - before, 2 * cover.size()) << "a new buffer is read once";
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(cache.decodeCount(), 1u) << "equal bytes, same key";
}

} // namespace
