#pragma once
// A file that appears under its name whole or not at all, and never takes the
// place of anything already there. For outputs written into folders the user
// sees: bytes go to an unnamed file in the target folder and get their name
// only once complete; a failure or a crash leaves nothing behind.

#include "VudeKit/Expected.h"

#include <filesystem>
#include <string>
#include <string_view>

#include <sys/types.h>

class NewFile {
public:
    enum class Strategy {
        /// An O_TMPFILE file with no name at all until it is linked; falls back
        /// to `hidden` on file systems without O_TMPFILE.
        anonymous,
        /// A hidden temporary name in the folder, removed unless committed.
        hidden,
    };

    /// Opens a file to write in `folder`, which must exist.
    static Expected<NewFile, std::string> create(const std::filesystem::path& folder,
                                                 Strategy strategy = Strategy::anonymous);

    NewFile(NewFile&& other) noexcept;
    NewFile& operator=(NewFile&& other) noexcept;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    /// Discards the content unless it was committed.
    ~NewFile();

    /// The open descriptor, for writers that need one (QFile over a handle).
    int fileDescriptor() const { return m_fd; }

    Expected<void, std::string> write(std::string_view bytes);

    /// Flushes the content to disk and gives it the name `destination`, in the
    /// folder given to create(). Fails, leaving nothing, when anything exists
    /// at `destination`, a dangling symlink included.
    Expected<void, std::string> commit(const std::filesystem::path& destination, mode_t mode = 0644);

private:
    NewFile(int fd, std::filesystem::path folder, std::filesystem::path hiddenPath);
    void discard();

    int m_fd = -1;
    std::filesystem::path m_folder;
    /// Empty for an anonymous file.
    std::filesystem::path m_hiddenPath;
};
