#pragma once
// A track's cover as the adapter prints it: Base64 of the encoded image and
// its MIME type, read from the track's art URL. Only local files and data
// URLs are read (never the network); anything that is not an image, is larger
// than kMaxBytes or cannot be read gives no artwork.

#include <QByteArray>
#include <QString>

struct Artwork {
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

    /// Standard Base64 with padding; empty for no artwork.
    QByteArray base64;
    QString mimeType;

    bool isEmpty() const { return base64.isEmpty(); }
    bool operator==(const Artwork&) const = default;

    static Artwork fromUrl(const QString& url);
};

/// Reads each URL once: the same URL again gives the artwork read before.
class ArtworkCache {
public:
    const Artwork& artwork(const QString& url);

private:
    QString m_url;
    Artwork m_artwork;
    bool m_loaded = false;
};
