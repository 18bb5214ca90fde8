#pragma once
// The plain-text diagnostics report the user exports: the build, displays,
// permissions, services, sync state and content counts, the kinds of data it
// deliberately leaves out, and the last lines of the trace. Only counts and
// states go in, never the user's content.

#include "Platform/Core/SystemDescription.h"
#include "VudeKit/Date.h"
#include "VudeServices/BuildProfile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class DiagnosticsReport {
public:
    using Row = std::pair<std::string, std::string>;

    struct Section {
        std::string title;
        std::vector<Row> rows;
        bool operator==(const Section&) const = default;
    };

    /// One display: its name, its size ("1512×982") and its notch ("185×32",
    /// or "none (synthetic)").
    struct Screen {
        std::string name;
        std::string size;
        std::string notch;
    };

    /// What make() turns into the standard sections.
    struct Inputs {
        std::string version;
        std::string build;
        /// The operating system and kernel (SystemDescription::systemRow).
        std::string osVersion;
        std::string model;
        BuildProfile profile{false};
        SystemDescription::Installation installation = SystemDescription::Installation::buildTree;
        std::vector<Screen> screens;
        /// Rows made by the caller, printed unchanged.
        std::vector<Row> permissions;
        std::vector<Row> services;
        std::string syncSummary;
        std::int64_t widgetCount = 0;
        std::int64_t trayCount = 0;
        std::int64_t clipCount = 0;
        std::int64_t todoCount = 0;
        std::vector<std::string> logTail;
        /// Where this run's lines begin in `logTail`; none when not known.
        std::optional<std::size_t> logThisRunFrom;
        Date generatedAt{};
    };

    static constexpr std::array<std::string_view, 6> redactedFields{
        "to-do and note text",  "clipboard contents",    "file names in the shelf",
        "what's playing",       "your location",         "calendar event titles",
    };

    /// Marks, in "Recent log", where this run's lines begin: the lines above
    /// it are an earlier run's. At the end when this run wrote none.
    static constexpr std::string_view thisRunMark = "\u2500\u2500 this run of Vude starts here \u2500\u2500";

    DiagnosticsReport(std::vector<Section> sections, std::vector<std::string> logTail, Date generatedAt,
                      std::optional<std::size_t> logThisRunFrom = std::nullopt);

    /// The "Build" row: how the app was installed. A sandboxed profile wins.
    static std::string_view buildText(const BuildProfile& profile, SystemDescription::Installation installation);
    /// The "Updates" row: where updates come from, the way the app came.
    static std::string_view updatesText(const BuildProfile& profile, SystemDescription::Installation installation);
    /// The "Model" row: the firmware's product name, else "Unknown".
    static std::string modelText(const std::string& productName);

    /// The standard sections: "Vude", "Displays", "Permissions", "Services",
    /// "Sync", "Content", and "Unavailable in this build" when the profile
    /// lacks a capability that has a name.
    static DiagnosticsReport make(Inputs inputs);

    const std::vector<Section>& sections() const { return m_sections; }
    const std::vector<std::string>& logTail() const { return m_logTail; }
    std::optional<std::size_t> logThisRunFrom() const { return m_logThisRunFrom; }
    Date generatedAt() const { return m_generatedAt; }

    /// The report as plain text, every line ending in a line feed.
    std::string formatted() const;

    bool operator==(const DiagnosticsReport&) const = default;

private:
    std::vector<Section> m_sections;
    std::vector<std::string> m_logTail;
    Date m_generatedAt;
    std::optional<std::size_t> m_logThisRunFrom;
};
