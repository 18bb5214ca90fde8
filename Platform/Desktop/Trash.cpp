#include "Platform/Desktop/Trash.h"

#include "Platform/Core/XdgPaths.h"

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kTrashInfoSuffix = ".trashinfo";

bool isSameFolder(const fs::path& a, const fs::path& b)
{
    if (a.lexically_normal() == b.lexically_normal())
        return true;
    // The data folder may be reached through a symlink.
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

bool isThere(const fs::path& path)
{
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

} // namespace

namespace Trash {

std::optional<fs::path> moveWithQt(const fs::path& path)
{
    QString landed;
    if (!QFile::moveToTrash(QFile::decodeName(path.c_str()), &landed))
        return std::nullopt;
    return fs::path(QFile::encodeName(landed).toStdString());
}

bool isInUsersTrash(const fs::path& landed, const fs::path& dataHome, uid_t uid)
{
    if (!landed.is_absolute())
        return false;
    const fs::path entry = landed.lexically_normal();
    const fs::path files = entry.parent_path();
    if (!entry.has_filename() || files.filename() != "files")
        return false;
    const fs::path trash = files.parent_path();
    const std::string user = std::to_string(uid);
    if (trash.filename() == ".Trash-" + user)
        return true;
    if (trash.filename() == user && trash.parent_path().filename() == ".Trash")
        return true;
    return dataHome.is_absolute() && isSameFolder(trash, dataHome / "Trash");
}

bool moveToUsersTrash(const fs::path& path, const Mover& mover, const fs::path& dataHome, uid_t uid)
{
    const auto landed = mover(path);
    if (!landed)
        return false;
    std::error_code error;
    // Where it really is: a relative answer is relative to our working folder.
    const fs::path where = landed->is_absolute() ? *landed : fs::current_path(error) / *landed;
    if (isInUsersTrash(*landed, dataHome, uid) && isThere(where))
        return true;
    if (!isThere(where) || isThere(path))
        return false;
    if (::renameat2(AT_FDCWD, where.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0)
        return false;
    // The record of a file that is no longer there would only mislead.
    if (where.parent_path().filename() == "files") {
        fs::path record = where.parent_path().parent_path() / "info" / where.filename();
        record += kTrashInfoSuffix;
        fs::remove(record, error);
    }
    return false;
}

bool moveToUsersTrash(const fs::path& path, const Mover& mover)
{
    return moveToUsersTrash(path, mover, XdgPaths::dataHome(), ::getuid());
}

} // namespace Trash
