#pragma once
// Now-playing artwork as a small rounded square: the decoded image filling
// the square (cropped to keep its aspect), or a dark placeholder with a note
// while there is none. Images come from the shared ArtworkCache: a hit shows
// at once, a miss is decoded off the main thread at three pixels per point.
//
// While new artwork decodes the view keeps what it showed before (the
// previous image, or the placeholder); bytes that are no image change
// nothing; removing the bytes shows the placeholder at once. A decode that
// finishes after the artwork changed again is dropped. The view hashes each
// buffer it is given once, however often the same buffer comes back with a
// new now-playing update.

#include "VudeKit/Data.h"
#include "Vude/Shell/Views/ArtworkCache.h"

#include <QImage>
#include <QObject>
#include <QPainterPath>
#include <QRectF>

#include <optional>

class QPainter;

class ArtworkView final : public QObject {
    Q_OBJECT
public:
    /// The side of the square in points; `cache` must outlive the view.
    explicit ArtworkView(double size, ArtworkCache& cache = ArtworkCache::shared(), QObject* parent = nullptr);

    const std::optional<Data>& data() const { return m_data; }
    void setData(std::optional<Data> data);
    double size() const { return m_size; }
    void setSize(double size);

    /// What is drawn: none shows the placeholder.
    const std::optional<QImage>& image() const { return m_image; }
    /// The key of the artwork shown or being decoded; none without bytes.
    std::optional<ArtworkCache::Key> cacheKey() const;
    /// A decode for the current artwork is running.
    bool isLoading() const { return m_loadingKey.has_value(); }
    /// The current bytes were decoded and are no image; `image()` still holds
    /// the previous picture, for callers that keep it.
    bool isUndecodable() const { return m_undecodable; }

    /// The corner radius: 22 % of the side.
    static double cornerRadius(double size) { return size * 0.22; }
    /// Draws the square `size` × `size` centred in `frame`.
    void paint(QPainter& painter, const QRectF& frame) const;

    /// Fills `shape` with the image scaled to fill `target` and cropped to
    /// it, keeping its aspect; nothing without an image. The scaled copy is
    /// kept for the next paint at the same size.
    void paintImage(QPainter& painter, const QPainterPath& shape, const QRectF& target) const;

signals:
    void imageChanged();
    /// The current bytes turned out to be no image.
    void decodeFailed();

private:
    void load();
    void setImage(std::optional<QImage> image);

    double m_size;
    ArtworkCache& m_cache;
    std::optional<Data> m_data;
    std::uint64_t m_contentHash = 0;
    std::optional<QImage> m_image;
    std::optional<ArtworkCache::Key> m_loadingKey;
    bool m_undecodable = false;
    mutable QImage m_scaled;
    mutable qint64 m_scaledFrom = 0;
    mutable QSize m_scaledFor;
};
