#include "VudeKit/LinuxTexts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Words that name the other desktop's facilities. A user reading any of them
// here would look for something Linux does not have.
constexpr std::string_view kPlatformWords[] = {
    "macOS",         "iCloud",           "Apple",        "Finder",           "AirDrop",
    "App Store",     "Developer ID",     "System Settings", "Activity Monitor", "Shortcuts app",
    "Full Disk Access", "/Applications", "\u2325",      "CloudKit",         "Sparkle",
    "Focus Filter",
};

std::vector<std::string> platformWordsIn(const std::string& text)
{
    std::vector<std::string> found;
    for (const auto word : kPlatformWords)
        if (text.find(word) != std::string::npos)
            found.emplace_back(word);
    // "Mac" as a word, or "Macs": not "machine" or "Macro".
    static const std::regex mac(R"((^|[^A-Za-z])Macs?([^A-Za-z]|$))");
    if (std::regex_search(text, mac))
        found.emplace_back("Mac");
    return found;
}

TEST(LinuxTextsTest, NoShownTextNamesTheOtherPlatform)
{
    ASSERT_FALSE(LinuxTexts::all().empty());
    for (const auto& [name, text] : LinuxTexts::all())
        EXPECT_EQ(platformWordsIn(std::string(text.shown)), std::vector<std::string>{}) << name << ": " << text.shown;
}

TEST(LinuxTextsTest, EveryEntryIsARealChangeWithAUniqueName)
{
    std::set<std::string_view> names;
    for (const auto& [name, text] : LinuxTexts::all()) {
        EXPECT_TRUE(names.insert(name).second) << "listed twice: " << name;
        EXPECT_FALSE(text.original.empty()) << name;
        EXPECT_NE(text.original, text.shown) << name;
    }
}

// The few wordings other issues fix byte for byte.
TEST(LinuxTextsTest, PrescribedWordingsAreKept)
{
    struct Row {
        LinuxText text;
        std::string_view shown;
    };
    const Row rows[] = {
        {LinuxTexts::laneKdeConnect, "KDE Connect"},
        {LinuxTexts::trayShowInFiles, "Show in Files"},
        {LinuxTexts::trayChipHelpCopy, " \u2014 drag out to copy, Alt-drag to move"},
        {LinuxTexts::trayChipHelpMove, " \u2014 drag out to move, Alt-drag to copy"},
        {LinuxTexts::quickAppsNotInstalledTooltip, " \u2014 not installed on this computer"},
        {LinuxTexts::weatherAttributionHelp, "Weather data provided by Open-Meteo"},
        {LinuxTexts::weatherLocationDeniedDetail, "Turn it on in Settings."},
        {LinuxTexts::calendarWidgetRestricted, "Calendar access is restricted on this computer"},
        {LinuxTexts::syncSignedOut, "No sync folder"},
        {LinuxTexts::syncQuotaExceeded, "The sync folder is full"},
        {LinuxTexts::syncRestricted, "The sync folder is read-only"},
        {LinuxTexts::reportSystemRow, "System"},
        {LinuxTexts::reportModelUnknown, "Unknown"},
        {LinuxTexts::mediaKeyControlConsequence, "Vude's HUD still appears; the desktop's just appears too."},
        {LinuxTexts::trayDropCopies, "The original stays where it is. Hold Alt while dropping to move it instead."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.text.shown, row.shown) << row.text.original;
}

TEST(LinuxTextsTest, TheShortcutsFolderIsNamedFromHome)
{
    struct Row {
        std::string_view path;
        std::string_view home;
        std::string_view expected;
    } rows[] = {
        {"/home/ann/.local/share/Vude/Shortcuts", "/home/ann", "~/.local/share/Vude/Shortcuts"},
        {"/home/ann/.local/share/Vude/Shortcuts", "/home/ann/", "~/.local/share/Vude/Shortcuts"},
        {"/home/ann", "/home/ann", "~"},
        // A sibling whose name starts like the home folder is not inside it.
        {"/home/anna/Shortcuts", "/home/ann", "/home/anna/Shortcuts"},
        {"/srv/shortcuts", "/home/ann", "/srv/shortcuts"},
        // No home, or "/" as home, would turn every path into "~…".
        {"/data/Shortcuts", "", "/data/Shortcuts"},
        {"/data/Shortcuts", "/", "/data/Shortcuts"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LinuxTexts::homeRelative(row.path, row.home), row.expected) << row.path << " in " << row.home;

    EXPECT_EQ(LinuxTexts::noShortcutsFound("~/.local/share/Vude/Shortcuts"),
              "No shortcuts found. Put an executable in ~/.local/share/Vude/Shortcuts, or add it by name.");
}

// MARK: - The string literals of the app's sources

struct Literal {
    std::string file;
    int line = 0;
    std::string text;
};

void appendUtf8(std::string& out, unsigned long code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The string literals of a C++ source, adjacent ones joined as the compiler
// joins them, escapes decoded; comments, character literals and #include
// lines are skipped.
std::vector<Literal> stringLiterals(const std::string& file, const std::string& source)
{
    std::vector<Literal> literals;
    bool joinNext = false;
    int line = 1;
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return k < source.size() ? source[k] : '\0'; };
    while (i < source.size()) {
        const char c = source[i];
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '/' && at(i + 1) == '/') {
            while (i < source.size() && source[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && at(i + 1) == '*') {
            i += 2;
            while (i < source.size() && !(source[i] == '*' && at(i + 1) == '/'))
                line += source[i++] == '\n';
            i += 2;
            continue;
        }
        if (c == '#') {
            const auto end = source.find('\n', i);
            const std::string directive = source.substr(i, end - i);
            if (directive.find("include") != std::string::npos) {
                i = end;
                continue;
            }
            ++i;
            continue;
        }
        if (c == '\'') {
            // A character literal, or a digit separator inside a number.
            const bool digitSeparator = i > 0 && std::isalnum(static_cast<unsigned char>(source[i - 1]));
            ++i;
            if (!digitSeparator) {
                while (i < source.size() && source[i] != '\'')
                    i += source[i] == '\\' ? 2 : 1;
                ++i;
            }
            joinNext = false;
            continue;
        }
        if (c == 'R' && at(i + 1) == '"') {
            const auto open = source.find('(', i + 2);
            const std::string delimiter = ")" + source.substr(i + 2, open - i - 2) + "\"";
            const auto close = source.find(delimiter, open);
            std::string text = source.substr(open + 1, close - open - 1);
            const int startLine = line;
            for (const char ch : text)
                line += ch == '\n';
            if (joinNext)
                literals.back().text += text;
            else
                literals.push_back({file, startLine, text});
            joinNext = true;
            i = close + delimiter.size();
            continue;
        }
        if (c == '"') {
            std::string text;
            ++i;
            while (i < source.size() && source[i] != '"') {
                if (source[i] != '\\') {
                    text += source[i++];
                    continue;
                }
                const char escape = at(i + 1);
                i += 2;
                switch (escape) {
                case 'n': text += '\n'; break;
                case 't': text += '\t'; break;
                case 'r': text += '\r'; break;
                case '0': text += '\0'; break;
                case 'u':
                case 'U': {
                    const std::size_t digits = escape == 'u' ? 4 : 8;
                    appendUtf8(text, std::strtoul(source.substr(i, digits).c_str(), nullptr, 16));
                    i += digits;
                    break;
                }
                case 'x': {
                    std::size_t end = i;
                    while (std::isxdigit(static_cast<unsigned char>(at(end))))
                        ++end;
                    text += char(std::strtoul(source.substr(i, end - i).c_str(), nullptr, 16));
                    i = end;
                    break;
                }
                default: text += escape;
                }
            }
            ++i;
            if (joinNext)
                literals.back().text += text;
            else
                literals.push_back({file, line, text});
            joinNext = true;
            continue;
        }
        // An encoding prefix (u8"", L"") keeps a following literal joinable.
        const bool prefix = (c == 'u' || c == 'U' || c == 'L' || c == '8') && (at(i + 1) == '"' || at(i + 1) == '8');
        if (!prefix)
            joinNext = false;
        ++i;
    }
    return literals;
}

TEST(LinuxTextsTest, TheLiteralReaderSeesWhatTheCompilerSees)
{
    const std::string source = "#include \"Finder.h\"\n"
                               "// AirDrop in a comment\n"
                               "/* iCloud\n in a block */ auto a = \"Hold \\u2325 \" \"to move\";\n"
                               "char q = '\"'; int n = 1'000; auto r = R\"x(Mac \"quoted\")x\";\n"
                               "auto m = u8\"plain\";\n";
    const auto literals = stringLiterals("f.cpp", source);
    ASSERT_EQ(literals.size(), 3u);
    EXPECT_EQ(literals[0].text, "Hold \u2325 to move");
    EXPECT_EQ(literals[0].line, 4);
    EXPECT_EQ(literals[1].text, "Mac \"quoted\"");
    EXPECT_EQ(literals[1].line, 5);
    EXPECT_EQ(literals[2].text, "plain");
}

// Literals that must keep such a word: identifiers and stored values that
// never change, never shown to a user as they are.
struct Allowed {
    std::string_view file;
    std::string_view text;
    std::string_view why;
};
constexpr Allowed kAllowed[] = {
    {"Vude/App/CoordinatorAppSync.h", "iCloud.app.ruvudav.notch", "the container's identifier, stored in the cloud folder"},
    {"Platform/Core/DeviceIdentifier.cpp", "Mac", "the device name the notes store when the host has no name"},
    {"VudeServices/NotchGeometry.h", "Mac15,12", "a hardware model the firmware reports, matched, never shown"},
};

fs::path sourceRoot()
{
    const char* root = std::getenv("VUDE_TEST_SOURCE_DIR");
    return root ? fs::path(root) : fs::path();
}

TEST(LinuxTextsTest, NoStringLiteralOfTheAppNamesTheOtherPlatform)
{
    const fs::path root = sourceRoot();
    ASSERT_TRUE(fs::is_directory(root / "Vude")) << "VUDE_TEST_SOURCE_DIR=" << root;

    std::set<std::pair<std::string, std::string>> allowedSeen;
    std::size_t scanned = 0;
    for (const char* folder : {"Vude", "VudeServices", "VudeSync", "VudeKit", "Platform", "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const auto extension = entry.path().extension();
            if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h" && extension != ".in"))
                continue;
            const std::string file = fs::relative(entry.path(), root).generic_string();
            // The table keeps the product's own wording beside Vude's.
            if (file == "VudeKit/LinuxTexts.h")
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream content;
            content << in.rdbuf();
            ++scanned;
            for (const auto& literal : stringLiterals(file, content.str())) {
                const auto words = platformWordsIn(literal.text);
                if (words.empty())
                    continue;
                bool allowed = false;
                for (const auto& allow : kAllowed)
                    if (allow.file == file && allow.text == literal.text) {
                        allowed = true;
                        allowedSeen.emplace(file, literal.text);
                    }
                if (!allowed)
                    ADD_FAILURE() << file << ":" << literal.line << ": \"" << literal.text << "\" names "
                                  << words.front();
            }
        }
    }
    EXPECT_GT(scanned, 100u);
    // An entry whose literal is gone is dropped from the list, so the list
    // never excuses a new text.
    for (const auto& allow : kAllowed)
        EXPECT_TRUE(allowedSeen.contains({std::string(allow.file), std::string(allow.text)}))
            << "no longer in the sources: " << allow.file << " \"" << allow.text << "\"";
}

} // namespace
