#pragma once
// Small pictures of a file's content, for the tray's chips.
//   FileThumbnailGenerator  images through ImageCodec (reduced decoding, its
//                           decode budget), the first page of a PDF through
//                           QtPdf; nothing for other files or for folders
//   FakeThumbnailGenerator  answers what a test tells it and counts calls
// Both are called from worker threads, several at once.

#include "VudeKit/Expected.h"

#include <QImage>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

class ThumbnailGenerator {
public:
    virtual ~ThumbnailGenerator() = default;

    /// A picture of the content of `file` whose longer side is at most
    /// `pixels`, or why there is none. Thread-safe.
    virtual Expected<QImage, std::string> thumbnail(const std::filesystem::path& file, int pixels) const = 0;
};

class FileThumbnailGenerator final : public ThumbnailGenerator {
public:
    /// The largest PDF opened.
    static constexpr std::uintmax_t maxDocumentBytes = std::uintmax_t(512) << 20;

    /// The kind of file is told by its first bytes, never by its name; only
    /// a regular file is ever opened, and then without waiting on it.
    Expected<QImage, std::string> thumbnail(const std::filesystem::path& file, int pixels) const override;
};

class FakeThumbnailGenerator final : public ThumbnailGenerator {
public:
    /// Every later call answers `image`; a null image makes calls fail.
    void setResult(QImage image)
    {
        const std::lock_guard lock(m_mutex);
        m_image = std::move(image);
    }
    int callCount() const { return m_calls; }

    Expected<QImage, std::string> thumbnail(const std::filesystem::path&, int) const override
    {
        ++m_calls;
        const std::lock_guard lock(m_mutex);
        if (m_image.isNull())
            return unexpected(std::string("no thumbnail"));
        return m_image;
    }

private:
    mutable std::mutex m_mutex;
    mutable std::atomic<int> m_calls{0};
    QImage m_image;
};
