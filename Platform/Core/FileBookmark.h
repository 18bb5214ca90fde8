#pragma once
// A bookmark: bytes kept beside a record that find a file or folder again.
// Linux has no sandbox to grant access through one, so a bookmark is the
// file's "file:" URL; it resolves while something stands at that path.

#include "VudeKit/Expected.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace FileBookmark {

/// The bookmark of an existing file or folder at the absolute `path`.
Expected<std::string, std::string> create(const std::filesystem::path& path);

/// The path a bookmark names, when something stands there now.
std::optional<std::filesystem::path> resolve(std::string_view bookmark);

} // namespace FileBookmark
