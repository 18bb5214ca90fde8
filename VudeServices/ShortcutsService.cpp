#include "VudeServices/ShortcutsService.h"

#include "Platform/Core/AppResources.h"
#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/MainThread.h"
#include "Platform/Core/ToolProcess.h"
#include "Platform/Desktop/ShortcutsFolder.h"
#include "VudeKit/LocalizedCaseInsensitive.h"
#include "VudeKit/UnicodeText.h"
#include "VudeServices/ServiceStorage.h"
#include "VudeServices/ShortcutRunURL.h"

#include <QString>

#include <algorithm>
#include <thread>
#include <unistd.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The listing of a few thousand shortcuts is far below this; a runner gone
// wrong cannot fill the memory.
constexpr std::size_t kMaxListingBytes = std::size_t(16) << 20;

bool isExecutableFile(const fs::path& path)
{
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)
           && ::access(path.c_str(), X_OK) == 0;
}

// White space other than line breaks: tabs and the space separators.
bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QString trimmedOfBlanks(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

} // namespace

ShortcutsService::ShortcutsService(const std::string& containerName, Options options, QObject* parent)
    : QObject(parent)
{
    m_url = ServiceStorage::containerFile(options.applicationSupport, containerName, storeFileName);
    if (!options.tool.empty())
        m_tool = options.tool;
    else if (auto helper = AppResources::helperProgram(runnerName))
        m_tool = *helper;

    if (const auto bytes = AtomicFile::read(m_url)) {
        if (auto entries = decodeShortcutEntries(*bytes))
            m_chosen = std::move(*entries);
    }
}

ShortcutsService::~ShortcutsService() = default;

void ShortcutsService::add(const ShortcutEntry& entry)
{
    const std::string name = nfcNormalized(entry.shortcutName);
    const bool present = std::any_of(m_chosen.begin(), m_chosen.end(), [&name](const ShortcutEntry& chosen) {
        return nfcNormalized(chosen.shortcutName) == name;
    });
    if (present)
        return;
    const auto before = m_chosen;
    m_chosen.push_back(entry);
    save(before);
}

void ShortcutsService::remove(const ShortcutEntry& entry)
{
    const auto before = m_chosen;
    std::erase_if(m_chosen, [&entry](const ShortcutEntry& chosen) { return chosen.id == entry.id; });
    save(before);
}

void ShortcutsService::update(const ShortcutEntry& entry)
{
    const auto found = std::find_if(m_chosen.begin(), m_chosen.end(),
                                    [&entry](const ShortcutEntry& chosen) { return chosen.id == entry.id; });
    if (found == m_chosen.end())
        return;
    const auto before = m_chosen;
    *found = entry;
    save(before);
}

void ShortcutsService::save(const std::vector<ShortcutEntry>& before)
{
    // A failed write leaves the old file; the list in memory stands.
    (void)AtomicFile::write(m_url, encodeShortcutEntries(m_chosen));
    if (m_onChange)
        m_onChange(m_chosen);
    if (m_chosen != before)
        emit chosenChanged();
}

bool ShortcutsService::canList() const
{
    return isExecutableFile(m_tool);
}

void ShortcutsService::available(std::function<void(std::vector<std::string>)> completion)
{
    if (!canList()) {
        postTo(this, [completion = std::move(completion)] { completion({}); });
        return;
    }
    m_listing.async([this, tool = m_tool, completion = std::move(completion)]() mutable {
        auto names = listAvailable(tool);
        postTo(this, [completion = std::move(completion), names = std::move(names)]() mutable {
            completion(std::move(names));
        });
    });
}

std::vector<std::string> ShortcutsService::listAvailable(const fs::path& tool)
{
    if (!isExecutableFile(tool))
        return {};
    ToolProcess::Request request;
    request.tool = tool;
    request.arguments = {"list"};
    request.keepStandardOutput = true;
    request.keptBytes = kMaxListingBytes;
    const auto result = ToolProcess::run(request);
    if (!result || !result->succeeded())
        return {};
    return parseListing(result->standardOutput);
}

std::vector<std::string> ShortcutsService::parseListing(std::string_view output)
{
    const QString text = QString::fromUtf8(output.data(), static_cast<qsizetype>(output.size()));
    std::vector<std::string> names;
    for (const auto& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const QString name = trimmedOfBlanks(line);
        if (!name.isEmpty())
            names.push_back(name.toStdString());
    }
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return localizedCaseInsensitiveCompare(a, b) < 0;
    });
    return names;
}

std::string ShortcutsService::runURL(const ShortcutEntry& entry)
{
    return ShortcutRunURL::make(entry.shortcutName, entry.textInput);
}

void ShortcutsService::run(const ShortcutEntry& entry)
{
    openRunURL(runURL(entry));
}

void ShortcutsService::openRunURL(std::string_view url)
{
    const auto request = ShortcutRunURL::parse(url);
    if (m_tool.empty() || !request || !ShortcutsFolder::isAcceptableName(request->name))
        return;
    ToolProcess::Request run;
    run.tool = m_tool;
    run.arguments = {"run", request->name};
    run.standardInput = request->text;
    // A shortcut may take its time; each runs on a thread of its own, which
    // only waits for it, so that none holds up another or the listing.
    std::thread([run = std::move(run)] { (void)ToolProcess::run(run); }).detach();
}
