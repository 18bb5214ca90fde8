#pragma once
// Moving a file to the user's Trash, and making sure it got there.
//
// QFile::moveToTrash can report success for a file it put somewhere else:
// with a data folder it cannot use, it makes "files/" and "info/" in the
// working directory and moves the file there. A caller that then deletes
// what it trashed would lose the file. Only a file that lies in one of the
// user's own Trash folders counts as trashed; one that landed anywhere else
// is moved back where it was.
//
// Any thread.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>

namespace Trash {

/// Moves a file or folder to the Trash; where it lies now, none when it did
/// not move.
using Mover = std::function<std::optional<std::filesystem::path>(const std::filesystem::path& path)>;

/// QFile::moveToTrash.
std::optional<std::filesystem::path> moveWithQt(const std::filesystem::path& path);

/// Whether `landed` is an entry of the "files" folder of one of the user's
/// Trash folders: "<dataHome>/Trash", or a volume's ".Trash-<uid>" or
/// ".Trash/<uid>". Relative paths never are.
bool isInUsersTrash(const std::filesystem::path& landed, const std::filesystem::path& dataHome, uid_t uid);

/// Moves `path` through `mover` and counts it only when it landed in the
/// user's own Trash (and is there). A file that landed anywhere else goes
/// back to `path`, and the trash record written beside it is removed. True
/// when the file is in the Trash.
bool moveToUsersTrash(const std::filesystem::path& path, const Mover& mover, const std::filesystem::path& dataHome,
                      uid_t uid);
/// The same for this user and data folder (XDG_DATA_HOME).
bool moveToUsersTrash(const std::filesystem::path& path, const Mover& mover);

} // namespace Trash
