#pragma once
// Copying and moving a file or a whole folder tree into the app's own
// folders (the tray's private copies). Only regular files, folders and
// symbolic links are ever made; a FIFO, socket or device is never opened, so
// nothing here can hang on one.

#include "VudeKit/Expected.h"

#include <filesystem>
#include <string>

#include <sys/types.h>

namespace FileTree {

/// What stands at a path, a final symbolic link followed.
enum class Kind { missing, regularFile, directory, fifo, socket, device, other };

Kind kind(const std::filesystem::path& path);

/// What a file of the type in `mode` (as stat gives it) is.
Kind kindOfMode(mode_t mode);

/// "a named pipe", "a socket", "a device", ...: for messages.
std::string describe(Kind kind);

struct CopyOptions {
    /// Flush every file and folder to disk before returning: for a copy
    /// that is about to become the only one.
    bool durable = false;
};

/// Copies the regular file or folder at `source` (a final symbolic link
/// followed) to `destination`, which must not exist. Inside a folder,
/// symbolic links are copied as links and FIFOs, sockets and devices are left
/// out unread. Modes and modification times are kept, except that copied
/// folders stay writable by their owner, so the copy can always be deleted.
/// Refuses anything but a regular file or folder at `source`, and a folder
/// that holds `destination`. On failure whatever was already made is left
/// for the caller to remove; `source` is never changed.
Expected<void, std::string> copy(const std::filesystem::path& source, const std::filesystem::path& destination,
                                 CopyOptions options = {});

/// Renames `source` to `destination` unless `destination` exists: 0, or
/// the errno it failed with.
int renameNoReplace(const std::filesystem::path& source, const std::filesystem::path& destination);

/// The rename a move tries first; tests pass one that fails with EXDEV.
using Rename = int (*)(const std::filesystem::path& source, const std::filesystem::path& destination);

/// Moves the regular file or folder at `source` to `destination`, which
/// must not exist: a rename within one file system (a symbolic link at
/// `source` moves as the link); across file systems a durable copy, and
/// only then the removal of what was copied. What the copy leaves out
/// (FIFOs, sockets, devices) or finds replaced afterwards is never deleted:
/// it stays where it was, with the folders that hold it. When the copy
/// fails the source is left whole and the partial copy is for the caller to
/// remove; a source that cannot be removed after a complete copy still
/// counts as moved.
Expected<void, std::string> move(const std::filesystem::path& source, const std::filesystem::path& destination,
                                 Rename rename = renameNoReplace);

} // namespace FileTree
