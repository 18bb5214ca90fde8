#pragma once
// A file being written into an open folder: unnamed until complete, then
// given its name, never in place of anything. Unlike NewFile it works on a
// folder descriptor, so nothing on the way is looked up by path again (no
// link can redirect it), and it does not flush to disk: for the many files
// of an unpacked archive or a copied folder.

#include "Platform/Core/UniqueFd.h"

#include <optional>
#include <string>

#include <sys/types.h>

class PartFile {
public:
    /// A file to write in the folder `folderFd`, which must stay open until
    /// keep() or the end; none, with errno set, when it cannot be made.
    static std::optional<PartFile> create(int folderFd, mode_t mode);

    PartFile(PartFile&&) = default;
    PartFile& operator=(PartFile&&) = delete;
    /// Discards the content unless it was kept.
    ~PartFile();

    int fd() const { return m_fd.get(); }

    /// Names the file `name` in its folder: 0, or the errno value of the
    /// failure (EEXIST when the name is taken).
    int keep(const char* name);

private:
    PartFile(int folderFd, UniqueFd fd, std::string hiddenName);

    int m_folderFd;
    UniqueFd m_fd;
    /// Empty for an unnamed file, or once kept.
    std::string m_hiddenName;
};
