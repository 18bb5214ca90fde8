#include "Platform/Desktop/QtPasteboard.h"

#include "Platform/Core/MainThread.h"
#include "Platform/Desktop/XcbSelectionReader.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>

#include <chrono>

namespace {

// QClipboard's own view of the contents: what Qt on Wayland or the
// offscreen platform holds. An image set as an image (not as bytes) is
// offered as PNG, as a copying program would.
class MimeDataReader final : public PasteboardReader {
public:
    explicit MimeDataReader(const QMimeData* mimeData) : m_mimeData(mimeData) {}

    std::optional<std::vector<std::string>> types() override
    {
        if (!m_mimeData)
            return std::nullopt;
        std::vector<std::string> names;
        for (const QString& format : m_mimeData->formats())
            names.push_back(format.toStdString());
        if (m_mimeData->hasImage() && !m_mimeData->hasFormat(QString::fromLatin1(PasteboardContent::pngType)))
            names.emplace_back(PasteboardContent::pngType);
        return names;
    }

    Expected<std::string, PasteboardDataError> data(const std::string& type, std::size_t maxBytes) override
    {
        if (!m_mimeData)
            return unexpected(PasteboardDataError::missing);
        const QString format = QString::fromStdString(type);
        QByteArray bytes;
        if (m_mimeData->hasFormat(format)) {
            bytes = m_mimeData->data(format);
        } else if (type == PasteboardContent::pngType && m_mimeData->hasImage()) {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            qvariant_cast<QImage>(m_mimeData->imageData()).save(&buffer, "PNG");
        } else {
            return unexpected(PasteboardDataError::missing);
        }
        if (std::size_t(bytes.size()) > maxBytes)
            return unexpected(PasteboardDataError::tooLarge);
        return bytes.toStdString();
    }

private:
    const QMimeData* m_mimeData;
};

} // namespace

QtPasteboard::QtPasteboard(QClipboard* clipboard, std::string x11Display)
    : m_clipboard(clipboard), m_x11Display(std::move(x11Display)),
      m_selectionReader(std::make_shared<std::unique_ptr<XcbSelectionReader>>())
{
    if (m_clipboard)
        connect(m_clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                ++m_changeCount;
        });
    if (!m_x11Display.empty())
        m_queue = std::make_unique<SerialQueue>("app.ruvudav.notch.pasteboard");
}

std::unique_ptr<QtPasteboard> QtPasteboard::forApplication()
{
    std::string display;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        display = qEnvironmentVariable("DISPLAY").toStdString();
    return std::make_unique<QtPasteboard>(QGuiApplication::clipboard(), display);
}

QtPasteboard::~QtPasteboard() = default;

void QtPasteboard::read(QObject* context, Duration timeout, ReadJob job, ReadDone done)
{
    if (!m_queue) {
        readOnMainThread(context, std::move(job), std::move(done));
        return;
    }
    QPointer<QObject> guard(context);
    auto finish = [this, guard, done = std::move(done)](std::optional<PasteboardReadError> error) {
        postTo(this, [guard, done, error] {
            if (guard)
                done(error);
        });
    };
    m_queue->async([display = m_x11Display, holder = m_selectionReader, timeout, job = std::move(job),
                    finish = std::move(finish)] {
        auto& reader = *holder;
        if (reader && reader->isBroken())
            reader.reset();
        if (!reader)
            reader = XcbSelectionReader::open(display);
        if (!reader) {
            finish(PasteboardReadError::unavailable);
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        {
            auto session = reader->session(deadline);
            job(*session);
        }
        if (reader->lastSessionTimedOut())
            finish(PasteboardReadError::timedOut);
        else
            finish(std::nullopt);
    });
}

void QtPasteboard::readOnMainThread(QObject* context, ReadJob job, ReadDone done)
{
    if (!m_clipboard) {
        postTo(context, [done = std::move(done)] { done(PasteboardReadError::unavailable); });
        return;
    }
    MimeDataReader reader(m_clipboard->mimeData(QClipboard::Clipboard));
    job(reader);
    postTo(context, [done = std::move(done)] { done(std::nullopt); });
}

void QtPasteboard::clearContents()
{
    if (m_clipboard)
        m_clipboard->clear(QClipboard::Clipboard);
}

void QtPasteboard::writeString(const std::string& text)
{
    if (!m_clipboard)
        return;
    auto* mimeData = new QMimeData;
    mimeData->setText(QString::fromStdString(text));
    m_clipboard->setMimeData(mimeData, QClipboard::Clipboard);
}

void QtPasteboard::writeFileURLs(const std::vector<std::filesystem::path>& paths)
{
    if (!m_clipboard)
        return;
    QList<QUrl> urls;
    QByteArray copiedFiles("copy");
    for (const auto& path : paths) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path.string())));
        copiedFiles += '\n' + urls.back().toEncoded();
    }
    auto* mimeData = new QMimeData;
    mimeData->setUrls(urls);
    // GNOME's file manager pastes files only from its own type.
    mimeData->setData(QString::fromLatin1(PasteboardContent::gnomeCopiedFilesType), copiedFiles);
    m_clipboard->setMimeData(mimeData, QClipboard::Clipboard);
}

void QtPasteboard::writeImage(const QImage& image)
{
    if (!m_clipboard)
        return;
    auto* mimeData = new QMimeData;
    mimeData->setImageData(image);
    m_clipboard->setMimeData(mimeData, QClipboard::Clipboard);
}
