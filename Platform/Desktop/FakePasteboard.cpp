#include "Platform/Desktop/FakePasteboard.h"

#include "Platform/Images/ImageCodec.h"

#include <QObject>

namespace {

class FakeReader final : public PasteboardReader {
public:
    FakeReader(const std::vector<FakePasteboard::Item>& items, bool reportsTypes, bool unresponsive,
               int& dataRequests)
        : m_items(items), m_reportsTypes(reportsTypes), m_unresponsive(unresponsive), m_dataRequests(dataRequests)
    {
    }

    std::optional<std::vector<std::string>> types() override
    {
        if (m_unresponsive || !m_reportsTypes || m_items.empty())
            return std::nullopt;
        std::vector<std::string> names;
        for (const auto& item : m_items)
            names.push_back(item.type);
        return names;
    }

    Expected<std::string, PasteboardDataError> data(const std::string& type, std::size_t maxBytes) override
    {
        ++m_dataRequests;
        if (m_unresponsive)
            return unexpected(PasteboardDataError::timedOut);
        for (const auto& item : m_items) {
            if (item.type != type)
                continue;
            if (item.data.size() > maxBytes)
                return unexpected(PasteboardDataError::tooLarge);
            return item.data;
        }
        return unexpected(PasteboardDataError::missing);
    }

private:
    std::vector<FakePasteboard::Item> m_items;
    bool m_reportsTypes;
    bool m_unresponsive;
    int& m_dataRequests;
};

} // namespace

void FakePasteboard::copy(std::vector<Item> items)
{
    m_items = std::move(items);
    ++m_changeCount;
}

std::optional<std::string> FakePasteboard::itemData(std::string_view type) const
{
    for (const auto& item : m_items)
        if (item.type == type)
            return item.data;
    return std::nullopt;
}

void FakePasteboard::read(QObject* context, Duration, ReadJob job, ReadDone done)
{
    HeldRead read{context, std::move(job), std::move(done)};
    if (m_holdsReads) {
        m_held.push_back(std::move(read));
        return;
    }
    run(std::move(read));
}

void FakePasteboard::finishReads()
{
    while (!m_held.empty()) {
        HeldRead read = std::move(m_held.front());
        m_held.pop_front();
        run(std::move(read));
    }
}

void FakePasteboard::run(HeldRead read)
{
    ++m_readCount;
    FakeReader reader(m_items, m_reportsTypes, m_unresponsive, m_dataRequests);
    read.job(reader);
    if (!read.context)
        return;
    if (m_unresponsive)
        read.done(PasteboardReadError::timedOut);
    else
        read.done(std::nullopt);
}

void FakePasteboard::clearContents()
{
    copy({});
}

void FakePasteboard::writeString(const std::string& text)
{
    copy({{std::string(textType), text}});
}

void FakePasteboard::writeFileURLs(const std::vector<std::filesystem::path>& paths)
{
    std::string list;
    for (const auto& path : paths)
        list += PasteboardContent::fileURL(path) + "\r\n";
    copy({{std::string(PasteboardContent::uriListType), list}});
}

void FakePasteboard::writeImage(const QImage& image)
{
    ImageCodec::EncodeOptions options;
    options.format = ImageFormat::png;
    auto png = ImageCodec::encode(image, options);
    copy({{std::string(PasteboardContent::pngType), png ? *png : std::string()}});
}
