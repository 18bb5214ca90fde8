#pragma once
// Zip archives written and unpacked in-process (libarchive, from the module
// that ZipLibrary opens on first use), for the Zip and Unzip drop pipelines.
//
// Packing keeps each input under its own name (a folder with its whole
// content, links inside it as links), deflates what compresses and stores
// what is compressed already (JPEG, PNG, video, archives...). The archive is
// a NewFile: it appears whole or not at all.
//
// Unpacking treats the archive as hostile. Nothing is ever written outside
// the folder it is given: every step into a sub-folder refuses to follow a
// link, entries naming absolute paths or "..", or going through a link, are
// refused, and so is any link whose target leads outside the folder, alone
// or through other links of the archive (a refused link is removed again).
// The bytes written are bounded by a budget taken from the archive's size
// and the disk's free space, each folder made counting as a block of it,
// so a bomb (of data or of empty folders) is stopped long before the disk
// fills; a file cut short by the budget never appears, and paths are only
// so deep. Entries are written as new files only, never in place of
// anything: a name the archive holds twice fails the unpacking.
//
// Blocking: call off the main thread. Any thread.

#include "VudeKit/Expected.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ZipArchive {

struct Failure {
    enum class Kind {
        /// A file to pack, or the archive itself, could not be read (or is no
        /// zip archive); `name` is its last path component.
        readFailed,
        /// Something could not be written; `name` is its last path component.
        writeFailed,
        /// An entry would land outside the folder, or be written through a
        /// link; `name` is the entry's path as the archive gives it.
        unsafeEntry,
        /// A link whose target leads outside the folder; `name` is the entry,
        /// `detail` its target.
        unsafeLink,
        /// The archive expands to more than its budget allows.
        tooLarge,
        /// Unpacking would leave the disk (nearly) full.
        noSpace,
        /// An entry is encrypted; `name` is the entry.
        encrypted,
        /// An entry's name was taken by an earlier entry (a file named twice,
        /// a file and a folder of one name); `name` is the path of that name.
        duplicateEntry,
        /// An input is a socket, FIFO or device, which a zip cannot hold;
        /// `name` is its last path component, `detail` what it is ("a named
        /// pipe").
        notFileOrFolder,
        /// The archive code could not be loaded; `detail` says why.
        unavailable,
    };
    Kind kind = Kind::readFailed;
    std::string name;
    std::string detail;

    bool operator==(const Failure&) const = default;
};

/// Packs `inputs` (files or folders, in order) into the new zip archive
/// `destination`, each under its own last path component; two inputs of
/// the same name get "name-1", "name-2"... so neither hides the other.
/// A link given as an input is packed as what it points to; links inside
/// folders stay links. Sockets, FIFOs and devices are left out of folders,
/// and refused as inputs (`notFileOrFolder`). When
/// something takes `destination` while the archive is written, the archive
/// is named by `nameAgain` instead (asked again while that name is taken),
/// or fails without one. Returns where the archive is.
Expected<std::filesystem::path, Failure> create(const std::vector<std::filesystem::path>& inputs,
                                                const std::filesystem::path& destination,
                                                const std::function<std::filesystem::path()>& nameAgain = {});

struct Limits {
    /// Bytes written may reach this many times the archive's size...
    double maxRatio = 200;
    /// ...but at least this many, so small archives of text still unpack.
    std::uint64_t minBudgetBytes = 256ull << 20;
    /// Never more than this many, whatever the archive's size.
    std::uint64_t maxBytes = UINT64_MAX;
    /// Never write so much that less than this stays free on the disk.
    std::uint64_t keepFreeBytes = 256ull << 20;
    /// Entries (files, folders, links) at most.
    std::uint64_t maxEntries = 1'000'000;
    /// What each folder made costs of the budget: an empty folder takes a
    /// block of the disk.
    std::uint64_t folderBytes = 4096;
    /// Path components of an entry at most.
    std::size_t maxPathComponents = 256;
};

/// Unpacks the zip archive at `archive` into `folder`, which must exist.
/// Entries of the "__MACOSX" folder (another system's resource forks) are
/// left out, as are sockets, FIFOs and devices. On failure, what was written
/// completely before it stays.
Expected<void, Failure> extract(const std::filesystem::path& archive, const std::filesystem::path& folder,
                                const Limits& limits = {});

/// The components of an entry's path, "." and empty ones dropped; none when
/// it is absolute or holds "..".
std::optional<std::vector<std::string>> entryComponents(std::string_view path);

/// Whether data that starts with `head` (and is named `name`) is compressed
/// already, so deflating it again would only cost time.
bool isCompressedAlready(std::string_view name, std::string_view head);

} // namespace ZipArchive
