#include "Vude/App/LaunchAtLogin.h"

#include "Platform/Core/AtomicFile.h"

#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

std::optional<fs::path> LaunchAtLogin::entryPath(const Environment::Lookup& environment)
{
    // A relative XDG_CONFIG_HOME is ignored, as every desktop program ignores it.
    if (const auto config = environment("XDG_CONFIG_HOME"); config && fs::path(*config).is_absolute())
        return fs::path(*config) / "autostart" / "vude.desktop";
    if (const auto home = environment("HOME"); home && fs::path(*home).is_absolute())
        return fs::path(*home) / ".config" / "autostart" / "vude.desktop";
    return std::nullopt;
}

std::string LaunchAtLogin::quotedExec(const std::string& program)
{
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    // The value is a string too: its own escapes are undone before the quoting.
    std::string value;
    for (const char c : quoted) {
        switch (c) {
        case '\\': value += "\\\\"; break;
        case '\n': value += "\\n"; break;
        case '\t': value += "\\t"; break;
        case '\r': value += "\\r"; break;
        default: value += c;
        }
    }
    return value;
}

std::optional<std::string> LaunchAtLogin::execProgram(const std::string& entry)
{
    std::istringstream lines(entry);
    std::string line;
    bool inEntryGroup = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.front() == '[') {
            inEntryGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntryGroup || line.rfind("Exec", 0) != 0)
            continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos || line.find_first_not_of(' ', 4) != equals)
            continue;
        std::string value = line.substr(equals + 1);
        value.erase(0, value.find_first_not_of(' '));
        // The string escapes first, then the quoting.
        std::string unescaped;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] != '\\' || i + 1 == value.size()) {
                unescaped += value[i];
                continue;
            }
            const char next = value[++i];
            unescaped += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next == 's' ? ' ' : next;
        }
        std::string program;
        if (!unescaped.empty() && unescaped.front() == '"') {
            for (std::size_t i = 1; i < unescaped.size() && unescaped[i] != '"'; ++i) {
                if (unescaped[i] == '\\' && i + 1 < unescaped.size())
                    ++i;
                else if (unescaped[i] == '%' && i + 1 < unescaped.size() && unescaped[i + 1] == '%')
                    ++i;
                program += unescaped[i];
            }
        } else {
            program = unescaped.substr(0, unescaped.find(' '));
            std::string undoubled;
            for (std::size_t i = 0; i < program.size(); ++i) {
                undoubled += program[i];
                if (program[i] == '%' && i + 1 < program.size() && program[i + 1] == '%')
                    ++i;
            }
            program = undoubled;
        }
        return program;
    }
    return std::nullopt;
}

std::string LaunchAtLogin::entryText(const fs::path& program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vude\n"
           "Comment=The notch, its activities and the Desk\n"
           "Exec=" +
           quotedExec(program.string()) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

LaunchAtLogin::LaunchAtLogin(SettingsStore& settings, std::optional<fs::path> entry, fs::path program,
                             TraceSink trace)
    : m_settings(settings), m_entry(std::move(entry)), m_program(std::move(program)), m_trace(std::move(trace))
{
    m_on = m_settings.launchAtLogin();
    if (m_on && !entryStartsProgram())
        writeEntry();
    m_observer = m_settings.addObserver([this] { settingChanged(); });
}

LaunchAtLogin::~LaunchAtLogin()
{
    m_settings.removeObserver(m_observer);
}

void LaunchAtLogin::settingChanged()
{
    const bool on = m_settings.launchAtLogin();
    if (on == m_on)
        return;
    m_on = on;
    if (on)
        writeEntry();
    else
        removeEntry();
}

bool LaunchAtLogin::entryStartsProgram() const
{
    if (!m_entry)
        return false;
    const auto text = AtomicFile::read(*m_entry, 1024 * 1024);
    if (!text)
        return false;
    const auto program = execProgram(*text);
    return program && fs::path(*program) == m_program;
}

void LaunchAtLogin::writeEntry()
{
    if (!m_entry) {
        trace("launch at login: no autostart folder (neither XDG_CONFIG_HOME nor HOME is set)");
        return;
    }
    if (const auto written = AtomicFile::write(*m_entry, entryText(m_program)); !written)
        trace("launch at login: could not write " + m_entry->string() + ": " + written.error());
}

void LaunchAtLogin::removeEntry()
{
    if (!m_entry)
        return;
    std::error_code error;
    fs::remove(*m_entry, error);
    if (error)
        trace("launch at login: could not remove " + m_entry->string() + ": " + error.message());
}

void LaunchAtLogin::trace(const std::string& line) const
{
    if (m_trace)
        m_trace(line);
}
