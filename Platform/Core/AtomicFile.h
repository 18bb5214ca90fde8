#pragma once
// Writing a file so that readers, and the file after a crash, see either the
// old content or the new one, never a mix: the bytes go to a temporary file
// in the same folder, are flushed to disk, and replace the target by rename.

#include "VudeKit/Expected.h"

#include <filesystem>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace AtomicFile {

/// Replaces `path` with `bytes`. Missing parent folders are created (0700).
/// A symlink at `path` is replaced, never followed. On failure the previous
/// file is untouched, no temporary file is left behind, and the error says why.
Expected<void, std::string> write(const std::filesystem::path& path, std::string_view bytes,
                                  mode_t mode = 0644);

/// Moves an unreadable `file` out of the way, to the first free
/// "<file><suffix>", "<file><suffix>-2", ... so that no earlier copy kept for
/// the user is ever replaced; returns where it went.
Expected<std::filesystem::path, std::string> setAside(const std::filesystem::path& file, std::string_view suffix);

/// Makes a new name or a rename in `folder` durable (best effort).
void syncFolder(const std::filesystem::path& folder);

/// Creates `folder` and each missing folder above it with mode 0700; folders
/// that exist are left as they are.
Expected<void, std::string> createPrivateFolders(const std::filesystem::path& folder);

/// Removes the temporary files that writes of `path` killed midway left beside
/// it; returns how many. Only for when no other writer of `path` is running.
std::size_t removeLeftovers(const std::filesystem::path& path);

/// Reads a whole file. Fails, without waiting, for a missing or unreadable
/// file, anything but a regular file (a FIFO, a device), or one larger than
/// `maxBytes`.
Expected<std::string, std::string> read(const std::filesystem::path& path,
                                        std::uintmax_t maxBytes = 256ull * 1024 * 1024);

} // namespace AtomicFile
