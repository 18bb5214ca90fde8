#include "Platform/Desktop/CalendarFolderAccess.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/XdgPaths.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CalendarFolderAccess::CalendarFolderAccess(std::filesystem::path folder) : m_folder(std::move(folder)) {}

CalendarFolderAccess::~CalendarFolderAccess() = default;

std::filesystem::path CalendarFolderAccess::standardFolder()
{
    return XdgPaths::applicationSupport() / "Calendars";
}

CalendarAuthorizationStatus CalendarFolderAccess::statusOf(const std::filesystem::path& folder)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        // A folder we cannot reach, or below a file, cannot become ours by asking.
        return errno == ENOENT ? CalendarAuthorizationStatus::notDetermined : CalendarAuthorizationStatus::denied;
    }
    if (!S_ISDIR(info.st_mode))
        return CalendarAuthorizationStatus::denied;
    // The effective ids decide, as they do for the reads that follow.
    if (::faccessat(AT_FDCWD, folder.c_str(), R_OK | X_OK, AT_EACCESS) == 0)
        return CalendarAuthorizationStatus::fullAccess;
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0)
        return CalendarAuthorizationStatus::writeOnly;
    return CalendarAuthorizationStatus::denied;
}

void CalendarFolderAccess::requestFullAccess(std::function<void(bool)> completion)
{
    if (!m_queue)
        m_queue = std::make_unique<SerialQueue>("app.ruvudav.notch.calendar-access");
    m_queue->async([this, completion = std::move(completion)] {
        if (authorizationStatus() == CalendarAuthorizationStatus::notDetermined)
            makeFolder(m_folder);
        completion(authorizationStatus() == CalendarAuthorizationStatus::fullAccess);
    });
}

Expected<void, std::string> CalendarFolderAccess::makeFolder(const std::filesystem::path& folder)
{
    // Calendars are private: only this user may look in.
    return AtomicFile::createPrivateFolders(folder);
}
