#pragma once
// Copying a file, or a folder with its whole content, to a new name that
// appears only once the copy is complete and never takes the place of
// anything. Links inside a folder are copied as links; a link given as the
// source is copied as what it points to. Sockets, FIFOs and devices inside a
// folder are left out. Permissions (without set-id bits) and modification
// times go along; a copied folder stays writable by its owner.
//
// Blocking: call off the main thread. Any thread.

#include "VudeKit/Expected.h"

#include <filesystem>
#include <string>

namespace FileCopy {

struct Error {
    enum class Side {
        /// Reading the source failed.
        source,
        /// Writing the copy failed.
        destination,
    };
    Side side = Side::source;
    /// The errno value that says why; ENOTSUP for a source that is neither
    /// a file nor a folder.
    int code = 0;

    bool operator==(const Error&) const = default;
};

Expected<void, Error> copy(const std::filesystem::path& source, const std::filesystem::path& destination);

} // namespace FileCopy
