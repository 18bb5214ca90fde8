#pragma once
// The user's shortcuts: the executable files of one folder,
// $XDG_DATA_HOME/Vude/Shortcuts, each run by its file name. The shortcuts
// runner (tools/vude-shortcuts) lists and runs them; the app reaches them only
// through it.
//
// A shortcut's name travels as one line of the runner's listing and back as
// one argument, so a file whose name could not make that trip unchanged is no
// shortcut: hidden files, names with a slash, a line break or another control
// character, names that are not UTF-8, and names beginning or ending with a
// space or tab (the listing is trimmed). Only standard C++ here: the runner
// builds this file into itself.

#include "Platform/Core/Environment.h"
#include "VudeKit/Expected.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ShortcutsFolder {

inline constexpr const char* kFolderName = "Shortcuts";

/// Application Support/Vude/Shortcuts; not created.
std::filesystem::path directory(const Environment::Lookup& environment = Environment::process());

/// Whether `name` could be a shortcut's name at all: not empty, not "." or
/// "..", and able to make the round trip described above.
bool isAcceptableName(std::string_view name);

/// `text` as a message may show it between double quotes on a terminal:
/// control characters (C0, DEL and C1), bytes that are not UTF-8, quotes and
/// backslashes are written as C escapes (\n, \x1b, \"), so a name can
/// never drive the terminal nor end the quotes early.
std::string escaped(std::string_view text);

/// The names of the shortcuts in `folder`, in byte order. A folder that does
/// not exist holds none; one that cannot be read fails, saying why.
Expected<std::vector<std::string>, std::string> list(const std::filesystem::path& folder);

/// The file of the shortcut `name` in `folder`: none unless the name is
/// acceptable and the listing of `folder` holds it.
std::optional<std::filesystem::path> find(const std::filesystem::path& folder, std::string_view name);

} // namespace ShortcutsFolder
