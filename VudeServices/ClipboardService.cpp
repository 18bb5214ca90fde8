#include "VudeServices/ClipboardService.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/XdgPaths.h"
#include "Platform/Images/ImageCodec.h"

#include <QChar>
#include <QObject>

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The history may hold up to 200 texts of maxTextBytes each, escaped.
constexpr std::uintmax_t kMaxStoreBytes = std::uintmax_t(1) << 30;
// The history and its images may hold passwords the markers missed.
constexpr mode_t kPrivateFileMode = 0600;
constexpr std::string_view kImageText = "Image";
constexpr std::string_view kImageExtension = ".png";
constexpr std::string_view kSecretHint = "secret";

// Whether `text` is empty or only white space and line ends, in Unicode's
// sense (no-break spaces, line separators...). `text` is valid UTF-8.
bool isBlank(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t codePoint = lead;
        std::size_t length = 1;
        if (lead >= 0xF0)
            codePoint = lead & 0x07, length = 4;
        else if (lead >= 0xE0)
            codePoint = lead & 0x0F, length = 3;
        else if (lead >= 0xC0)
            codePoint = lead & 0x1F, length = 2;
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (!QChar::isSpace(codePoint))
            return false;
        i += length;
    }
    return true;
}

bool isWebLink(std::string_view text)
{
    return text.starts_with("http://") || text.starts_with("https://");
}

// "<UUID>.png": the only names the history gives its images.
bool isImageFileName(std::string_view name)
{
    return name.size() == 36 + kImageExtension.size() && name.ends_with(kImageExtension) &&
           Uuid::parse(name.substr(0, 36)).has_value();
}

std::string lastPathComponent(const fs::path& path)
{
    std::string name = path.filename().string();
    return name.empty() ? path.string() : name;
}

} // namespace

struct ClipboardService::Notice {
    std::uint64_t generation = 0;
    Date copiedAt;
    std::optional<std::string> sourceApp;
};

// What a read found. Made on the reading thread from nothing but the reader.
struct ClipboardService::Reading {
    enum class Outcome { nothing, concealed, tooLarge, entry };
    Outcome outcome = Outcome::nothing;
    Clip::Kind kind = Clip::Kind::text;
    std::string text;
    std::optional<std::string> storedPath;
    bool wroteImage = false;

    // The first rule that applies decides: markers, files, text, images.
    static Reading classify(PasteboardReader& reader, const fs::path& imagePath)
    {
        Reading reading;
        if (isConcealed(reader)) {
            reading.outcome = Outcome::concealed;
            return reading;
        }
        const auto files = PasteboardContent::fileURLs(reader);
        if (!files)
            return reading;
        if (!files->empty()) {
            // Several files copied at once: the first stands for them.
            reading.set(Clip::Kind::file, lastPathComponent(files->front()), files->front().string());
            return reading;
        }
        auto text = PasteboardContent::string(reader, maxTextBytes);
        if (text && !isBlank(*text)) {
            const auto kind = isWebLink(*text) ? Clip::Kind::url : Clip::Kind::text;
            reading.set(kind, std::move(*text), std::nullopt);
            return reading;
        }
        if (!text && text.error() == PasteboardDataError::tooLarge) {
            reading.outcome = Outcome::tooLarge;
            return reading;
        }
        if (!text && text.error() == PasteboardDataError::timedOut)
            return reading;
        const auto image = PasteboardContent::imageData(reader, maxImageBytes);
        if (!image)
            return reading;
        const auto decoded = ImageCodec::decode(*image);
        if (!decoded)
            return reading;
        ImageCodec::EncodeOptions options;
        options.format = ImageFormat::png;
        const auto png = ImageCodec::encode(decoded->image, options);
        if (!png || !AtomicFile::write(imagePath, *png, kPrivateFileMode))
            return reading;
        reading.wroteImage = true;
        reading.set(Clip::Kind::image, std::string(kImageText), imagePath.string());
        return reading;
    }

    void set(Clip::Kind newKind, std::string newText, std::optional<std::string> path)
    {
        outcome = Outcome::entry;
        kind = newKind;
        text = std::move(newText);
        storedPath = std::move(path);
    }
};

ClipboardService::ClipboardService(Pasteboard& pasteboard, const std::string& containerName, Options options)
    : m_pasteboard(pasteboard), m_clock(options.clock), m_frontmostApplication(options.frontmostApplication),
      m_trace(std::move(options.trace)), m_context(std::make_unique<QObject>())
{
    if (!m_clock) {
        m_ownClock = std::make_unique<SystemClock>();
        m_clock = m_ownClock.get();
    }
    const fs::path root =
        options.applicationSupport.empty() ? XdgPaths::applicationSupportRoot() : options.applicationSupport;
    const fs::path container = root / containerName;
    m_storeURL = (container / storeFileName).lexically_normal();
    m_mediaDirectory = (container / mediaFolderName).lexically_normal();
    m_writer = std::make_unique<ClipHistoryWriter>(m_storeURL, kPrivateFileMode, std::move(options.writeExecutor));
    std::error_code error;
    fs::create_directories(m_mediaDirectory, error);
    m_lastChangeCount = m_pasteboard.changeCount();
    // No write of ours runs yet, so what a killed one left is garbage.
    sweepLeftovers();

    const auto status = fs::symlink_status(m_storeURL, error);
    if (status.type() == fs::file_type::not_found) {
        // Nothing was kept, so no image belongs to anything.
        sweepImages();
        return;
    }
    load();
}

ClipboardService::~ClipboardService() = default;

void ClipboardService::load()
{
    // A file that cannot be read or decoded is left as it is, and so are
    // the images it may name.
    auto bytes = AtomicFile::read(m_storeURL, kMaxStoreBytes);
    if (!bytes)
        return;
    auto clips = decodeClipHistory(*bytes);
    if (!clips)
        return;
    // An image entry owns its file: one that names a file anywhere else would
    // have it deleted with the entry.
    const auto stray = std::erase_if(*clips, [&](const Clip& clip) {
        return clip.kind == Clip::Kind::image && clip.storedPath && !isOwnImage(*clip.storedPath);
    });
    if (stray > 0 && m_trace)
        m_trace("clipboard: dropped " + std::to_string(stray) + " image entr" + (stray == 1 ? "y" : "ies") +
                " stored outside " + m_mediaDirectory.string());
    m_clips = std::move(*clips);
}

void ClipboardService::sweepLeftovers()
{
    AtomicFile::removeLeftovers(m_storeURL);
    // Images are written the same way, each under a name of its own.
    std::error_code error;
    std::vector<fs::path> images;
    for (fs::directory_iterator it(m_mediaDirectory, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const std::size_t imageNameLength = 36 + kImageExtension.size();
        if (name.size() > imageNameLength + 1 && name.front() == '.' &&
            isImageFileName(std::string_view(name).substr(1, imageNameLength)))
            images.push_back(m_mediaDirectory / name.substr(1, imageNameLength));
    }
    for (const auto& image : images)
        AtomicFile::removeLeftovers(image);
}

void ClipboardService::poll()
{
    const std::int64_t count = m_pasteboard.changeCount();
    if (count == m_lastChangeCount)
        return;
    m_lastChangeCount = count;
    Notice notice{++m_generation, m_clock->now(),
                  m_frontmostApplication ? m_frontmostApplication->identifier() : std::nullopt};
    if (m_reading) {
        // The read under way is of older contents; this one follows it.
        m_waitingNotice = std::make_unique<Notice>(std::move(notice));
        return;
    }
    startRead(notice);
}

void ClipboardService::startRead(const Notice& notice)
{
    m_reading = true;
    std::string imageName = Uuid::random().toString() + std::string(kImageExtension);
    m_imagesInFlight.insert(imageName);
    auto reading = std::make_shared<Reading>();
    m_pasteboard.read(
        m_context.get(), readTimeout,
        [reading, imagePath = m_mediaDirectory / imageName](PasteboardReader& reader) {
            *reading = Reading::classify(reader, imagePath);
        },
        [this, notice, reading, imageName](std::optional<PasteboardReadError> error) {
            finishRead(notice, *reading, error, imageName);
        });
}

void ClipboardService::finishRead(const Notice& notice, const Reading& reading,
                                  std::optional<PasteboardReadError> error, const std::string& imageName)
{
    m_reading = false;
    m_imagesInFlight.erase(imageName);
    const bool current = notice.generation == m_generation;
    if (current && !error && reading.outcome == Reading::Outcome::entry) {
        record(Clip{Uuid::random(), reading.kind, reading.text, reading.storedPath, notice.copiedAt,
                    notice.sourceApp});
    } else if (reading.wroteImage && reading.storedPath) {
        std::error_code ignored;
        fs::remove(*reading.storedPath, ignored);
    }
    if (m_waitingNotice) {
        const auto next = std::move(m_waitingNotice);
        startRead(*next);
    }
}

void ClipboardService::restore(const Clip& clip)
{
    m_pasteboard.clearContents();
    switch (clip.kind) {
    case Clip::Kind::text:
    case Clip::Kind::url:
        m_pasteboard.writeString(clip.text);
        break;
    case Clip::Kind::image:
        if (clip.storedPath)
            if (const auto decoded = ImageCodec::decodeFile(*clip.storedPath))
                m_pasteboard.writeImage(decoded->image);
        break;
    case Clip::Kind::file:
        if (clip.storedPath)
            m_pasteboard.writeFileURLs({fs::path(*clip.storedPath)});
        break;
    }
    m_lastChangeCount = m_pasteboard.changeCount();
    // A read under way may already see what was just written: drop it.
    ++m_generation;
    m_waitingNotice.reset();
}

void ClipboardService::remove(const Clip& clip)
{
    deleteImage(clip);
    std::erase_if(m_clips, [&](const Clip& entry) { return entry.id == clip.id; });
    save();
    changed();
}

void ClipboardService::clear()
{
    for (const auto& clip : m_clips)
        deleteImage(clip);
    m_clips.clear();
    sweepImages();
    // What was cleared must not reach the disk after this returns.
    if (m_persists)
        m_writer->writeNow(m_clips);
    else
        m_writer->cancel();
    changed();
}

void ClipboardService::forgetOnDisk()
{
    m_writer->remove();
    sweepImages();
}

void ClipboardService::flush()
{
    m_writer->flush();
}

bool ClipboardService::isConcealed(PasteboardReader& pasteboard)
{
    const auto types = pasteboard.types();
    if (!types)
        return false;
    bool hinted = false;
    for (const auto& type : *types) {
        if (std::find(concealedTypes.begin(), concealedTypes.end(), type) != concealedTypes.end())
            return true;
        hinted = hinted || type == passwordManagerHintType;
    }
    if (!hinted)
        return false;
    const auto hint = pasteboard.data(std::string(passwordManagerHintType), 64);
    if (!hint)
        return false;
    std::string_view value = *hint;
    while (!value.empty() && (value.back() == '\0' || value.back() == '\n' || value.back() == ' '))
        value.remove_suffix(1);
    return value == kSecretHint;
}

void ClipboardService::record(Clip clip)
{
    std::erase_if(m_clips, [&](const Clip& entry) {
        const bool duplicate = entry.kind == clip.kind && entry.text == clip.text;
        if (duplicate)
            deleteImage(entry);
        return duplicate;
    });
    m_clips.insert(m_clips.begin(), std::move(clip));
    const auto keep = static_cast<std::size_t>(std::max<std::int64_t>(m_maxItems, 0));
    if (m_clips.size() > keep) {
        std::for_each(m_clips.begin() + static_cast<std::ptrdiff_t>(keep), m_clips.end(),
                      [&](const Clip& dropped) { deleteImage(dropped); });
        m_clips.resize(keep);
    }
    save();
    changed();
}

void ClipboardService::deleteImage(const Clip& clip)
{
    if (clip.kind != Clip::Kind::image || !clip.storedPath || !isOwnImage(*clip.storedPath))
        return;
    std::error_code ignored;
    fs::remove(*clip.storedPath, ignored);
}

// Judged by the text alone, so "Clipboard/../x" and relative paths are not ours.
bool ClipboardService::isOwnImage(const std::string& storedPath) const
{
    const fs::path path = fs::path(storedPath).lexically_normal();
    return path.parent_path() == m_mediaDirectory && isImageFileName(path.filename().string());
}

void ClipboardService::sweepImages()
{
    std::set<std::string> kept = m_imagesInFlight;
    for (const auto& clip : m_clips)
        if (clip.kind == Clip::Kind::image && clip.storedPath)
            kept.insert(fs::path(*clip.storedPath).filename().string());
    std::error_code error;
    std::vector<fs::path> orphans;
    for (fs::directory_iterator it(m_mediaDirectory, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (isImageFileName(name) && !kept.contains(name) && !it->is_directory(typeError))
            orphans.push_back(it->path());
    }
    for (const auto& orphan : orphans)
        fs::remove(orphan, error);
}

void ClipboardService::save()
{
    if (!m_persists)
        return;
    m_writer->save(m_clips);
}

void ClipboardService::changed()
{
    if (m_onChange)
        m_onChange(m_clips);
}
