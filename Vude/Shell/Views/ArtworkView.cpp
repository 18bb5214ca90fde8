#include "Vude/Shell/Views/ArtworkView.h"

#include "VudeUI/Tokens.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QPainter>

#include <cmath>

namespace {

/// The same buffer, not merely equal bytes: the view holds the old one, so
/// its address cannot have been reused.
bool sameBuffer(const Data& a, const Data& b)
{
    return a.bytes().data() == b.bytes().data() && a.size() == b.size();
}

} // namespace

ArtworkView::ArtworkView(double size, ArtworkCache& cache, QObject* parent)
    : QObject(parent), m_size(size), m_cache(cache)
{
}

void ArtworkView::setData(std::optional<Data> data)
{
    if (data && m_data && sameBuffer(*data, *m_data))
        return;
    if (data)
        m_contentHash = ArtworkCache::contentHash(data->bytes());
    m_data = std::move(data);
    load();
}

void ArtworkView::setSize(double size)
{
    if (size == m_size)
        return;
    const auto before = cacheKey();
    m_size = size;
    if (cacheKey() != before)
        load();
}

std::optional<ArtworkCache::Key> ArtworkView::cacheKey() const
{
    if (!m_data)
        return std::nullopt;
    return ArtworkCache::cacheKey(m_data->size(), m_contentHash, m_size);
}

void ArtworkView::load()
{
    const std::optional<ArtworkCache::Key> key = cacheKey();
    if (!key) {
        m_loadingKey.reset();
        m_undecodable = false;
        setImage(std::nullopt);
        return;
    }
    if (m_loadingKey == key)
        return;
    m_undecodable = false;
    if (std::optional<QImage> cached = m_cache.image(*key)) {
        m_loadingKey.reset();
        setImage(std::move(cached));
        return;
    }
    // Until the decode lands, whatever showed before stays.
    m_loadingKey = key;
    m_cache.load(*key, *m_data, m_size * ArtworkCache::pixelsPerPoint, this,
                 [this, key = *key](const std::optional<QImage>& image) {
                     if (m_loadingKey != key)
                         return; // the artwork changed meanwhile
                     m_loadingKey.reset();
                     if (image) {
                         setImage(image);
                     } else {
                         m_undecodable = true;
                         emit decodeFailed();
                     }
                 });
}

void ArtworkView::setImage(std::optional<QImage> image)
{
    if (!image && !m_image)
        return;
    m_image = std::move(image);
    emit imageChanged();
}

void ArtworkView::paintImage(QPainter& painter, const QPainterPath& shape, const QRectF& target) const
{
    if (!m_image || m_image->isNull() || target.isEmpty())
        return;
    // Scaled once to the pixels it covers (a smooth reduction: sampling the
    // 3× decode while painting would alias), then laid on as a texture so the
    // rounded edge stays antialiased.
    const double scale = std::max(painter.deviceTransform().m11(), 1.0);
    const QSize pixels(int(std::ceil(target.width() * scale)), int(std::ceil(target.height() * scale)));
    if (m_scaledFrom != m_image->cacheKey() || m_scaledFor != pixels) {
        m_scaled = m_image->scaled(pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        m_scaledFrom = m_image->cacheKey();
        m_scaledFor = pixels;
    }
    const double shown = double(m_scaled.width()) / scale; // width in points
    const double shownHeight = double(m_scaled.height()) / scale;
    QTransform place;
    place.translate(target.center().x() - shown / 2, target.center().y() - shownHeight / 2);
    place.scale(1 / scale, 1 / scale);
    QBrush brush(m_scaled);
    brush.setTransform(place);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillPath(shape, brush);
    painter.restore();
}

void ArtworkView::paint(QPainter& painter, const QRectF& frame) const
{
    const QRectF square(frame.center().x() - m_size / 2, frame.center().y() - m_size / 2, m_size, m_size);
    const QPainterPath shape = continuousRoundedRect(square, cornerRadius(m_size));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_image) {
        paintImage(painter, shape, square);
    } else {
        painter.fillPath(shape, toQColor(Vude::Ink::x800));
        SymbolCatalog::draw(painter, square, "music.note", toQColor(Vude::Stone::x400), m_size * 0.45);
    }
    painter.strokePath(shape, QPen(toQColor(Vude::contrastOutline), 0.5));
    painter.restore();
}
