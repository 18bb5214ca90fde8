#include "VudeServices/DiagnosticsReport.h"

#include "VudeKit/LinuxTexts.h"
#include "VudeKit/Numbers.h"
#include "VudeKit/UnicodeText.h"

#include <algorithm>
#include <ctime>

namespace {

// The capabilities the report names, in the order it lists them; the shuffle
// and repeat capability has no row.
constexpr std::array<std::pair<Capability, std::string_view>, 9> kCapabilityNames{{
    {Capability::universalNowPlaying, "Universal now playing"},
    {Capability::mediaSeek, "Media seek"},
    {Capability::hudSuppression, "HUD suppression"},
    {Capability::brightnessControl, "Brightness control"},
    {Capability::focusIdentity, "Focus identity"},
    {Capability::shortcutListing, "Shortcut listing"},
    {Capability::liveWaveform, "Live waveform"},
    {Capability::deviceBattery, "Device battery"},
    {Capability::idleSurface, "Idle surface"},
}};

constexpr std::string_view kRuleCharacter = "─";
constexpr std::string_view kEmDash = "—";

std::string repeated(std::string_view piece, std::size_t times)
{
    std::string result;
    result.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        result += piece;
    return result;
}

std::string zeroPadded(std::int64_t value, std::size_t width)
{
    std::string digits = formatInteger(value);
    if (digits.size() < width)
        digits.insert(0, width - digits.size(), '0');
    return digits;
}

// "2026-03-01T09:30:00Z": whole seconds, UTC.
std::string internetDateTime(Date date)
{
    const std::time_t seconds =
        static_cast<std::time_t>(std::chrono::floor<std::chrono::seconds>(date).time_since_epoch().count());
    std::tm utc {};
    ::gmtime_r(&seconds, &utc);
    return zeroPadded(utc.tm_year + 1900, 4) + "-" + zeroPadded(utc.tm_mon + 1, 2) + "-" + zeroPadded(utc.tm_mday, 2)
        + "T" + zeroPadded(utc.tm_hour, 2) + ":" + zeroPadded(utc.tm_min, 2) + ":" + zeroPadded(utc.tm_sec, 2) + "Z";
}

void appendTitle(std::string& text, std::string_view title)
{
    text += "\n";
    text += title;
    text += "\n";
    text += repeated(kRuleCharacter, graphemeCount(title));
    text += "\n";
}

} // namespace

DiagnosticsReport::DiagnosticsReport(std::vector<Section> sections, std::vector<std::string> logTail, Date generatedAt,
                                     std::optional<std::size_t> logThisRunFrom)
    : m_sections(std::move(sections))
    , m_logTail(std::move(logTail))
    , m_generatedAt(generatedAt)
    , m_logThisRunFrom(logThisRunFrom ? std::optional(std::min(*logThisRunFrom, m_logTail.size())) : std::nullopt)
{
}

std::string_view DiagnosticsReport::buildText(const BuildProfile& profile, SystemDescription::Installation installation)
{
    using Installation = SystemDescription::Installation;
    if (profile.isSandboxed())
        return LinuxTexts::reportBuildSandboxed.shown;
    switch (installation) {
    case Installation::debianPackage:
        return LinuxTexts::reportBuildDebianPackage.shown;
    case Installation::installedFromSource:
        return LinuxTexts::reportBuildInstalledFromSource.shown;
    case Installation::buildTree:
        break;
    }
    return LinuxTexts::reportBuildBuildTree.shown;
}

std::string_view DiagnosticsReport::updatesText(const BuildProfile& profile,
                                                SystemDescription::Installation installation)
{
    if (profile.isSandboxed())
        return LinuxTexts::reportUpdatesSandboxed.shown;
    if (installation == SystemDescription::Installation::debianPackage)
        return LinuxTexts::reportUpdatesDebianPackage.shown;
    return LinuxTexts::reportUpdatesFromSource.shown;
}

std::string DiagnosticsReport::modelText(const std::string& productName)
{
    return productName.empty() ? std::string(LinuxTexts::reportModelUnknown.shown) : productName;
}

DiagnosticsReport DiagnosticsReport::make(Inputs inputs)
{
    std::vector<Section> sections;
    sections.push_back({"Vude",
                        {
                            {"Version", inputs.version + " (" + inputs.build + ")"},
                            {"Build", std::string(buildText(inputs.profile, inputs.installation))},
                            {std::string(LinuxTexts::reportSystemRow.shown), inputs.osVersion},
                            {"Model", modelText(inputs.model)},
                        }});

    Section displays{"Displays", {}};
    for (auto& screen : inputs.screens)
        displays.rows.emplace_back(std::move(screen.name), screen.size + ", notch " + screen.notch);
    sections.push_back(std::move(displays));

    sections.push_back({"Permissions", std::move(inputs.permissions)});
    sections.push_back({"Services", std::move(inputs.services)});
    sections.push_back({"Sync", {{"Status", std::move(inputs.syncSummary)}}});
    sections.push_back({"Content",
                        {
                            {"Widgets enabled", formatInteger(inputs.widgetCount)},
                            {"Items on the shelf", formatInteger(inputs.trayCount)},
                            {"Clipboard entries", formatInteger(inputs.clipCount)},
                            {"To-dos", formatInteger(inputs.todoCount)},
                        }});

    Section unavailable{"Unavailable in this build", {}};
    for (const auto& [capability, name] : kCapabilityNames)
        if (!inputs.profile.has(capability))
            unavailable.rows.emplace_back(std::string(name), std::string(kEmDash));
    if (!unavailable.rows.empty())
        sections.push_back(std::move(unavailable));

    return DiagnosticsReport(std::move(sections), std::move(inputs.logTail), inputs.generatedAt,
                             inputs.logThisRunFrom);
}

std::string DiagnosticsReport::formatted() const
{
    std::string text = "Vude diagnostics\n";
    text += "Generated " + internetDateTime(m_generatedAt) + "\n";

    for (const auto& section : m_sections) {
        appendTitle(text, section.title);
        std::size_t keyWidth = 0;
        for (const auto& row : section.rows)
            keyWidth = std::max(keyWidth, graphemeCount(row.first));
        for (const auto& [key, value] : section.rows)
            text += "  " + key + std::string(keyWidth - graphemeCount(key), ' ') + "  " + value + "\n";
    }

    appendTitle(text, "Deliberately not included");
    for (const auto field : redactedFields) {
        text += "  · ";
        text += field;
        text += "\n";
    }

    if (!m_logTail.empty()) {
        appendTitle(text, "Recent log");
        for (std::size_t i = 0; i <= m_logTail.size(); ++i) {
            if (m_logThisRunFrom == i) {
                text += "  ";
                text += thisRunMark;
                text += "\n";
            }
            if (i < m_logTail.size())
                text += "  " + m_logTail[i] + "\n";
        }
    }
    return text;
}
