#pragma once
// The plain-text diagnostics report the user exports: the build, displays,
// permissions, services, sync state and content counts, the kinds of data it
// deliberately leaves out, and the last lines of the trace. Only counts and
// states go in, never the user's content.

#include "VudeKit/Date.h"
#include "VudeServices/BuildProfile.h"

#include <array>
#include <cstdint>
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
        std::string osVersion;
        std::string model;
        BuildProfile profile{false};
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
        Date generatedAt{};
    };

    static constexpr std::array<std::string_view, 6> redactedFields{
        "to-do and note text",  "clipboard contents",    "file names in the shelf",
        "what's playing",       "your location",         "calendar event titles",
    };

    DiagnosticsReport(std::vector<Section> sections, std::vector<std::string> logTail, Date generatedAt);

    /// The standard sections: "Vude", "Displays", "Permissions", "Services",
    /// "Sync", "Content", and "Unavailable in this build" when the profile
    /// lacks a capability that has a name.
    static DiagnosticsReport make(Inputs inputs);

    const std::vector<Section>& sections() const { return m_sections; }
    const std::vector<std::string>& logTail() const { return m_logTail; }
    Date generatedAt() const { return m_generatedAt; }

    /// The report as plain text, every line ending in a line feed.
    std::string formatted() const;

    bool operator==(const DiagnosticsReport&) const = default;

private:
    std::vector<Section> m_sections;
    std::vector<std::string> m_logTail;
    Date m_generatedAt;
};
