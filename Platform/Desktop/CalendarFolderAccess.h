#pragma once
// Whether this process may read the user's calendars, when calendars are the
// iCalendar files of one folder ($XDG_DATA_HOME/Vude/Calendars):
//   the folder can be listed and read   fullAccess
//   it can be written but not read      writeOnly
//   it is absent                        notDetermined (a request makes it)
//   anything else                       denied
// The calendar store (CalendarFolderStore) asks the same two functions,
// statusOf() and makeFolder(), so both answer alike.
//
// Every read looks again; nothing is cached. A request works on its own
// thread and answers there.

#include "Platform/Core/SerialQueue.h"
#include "Platform/Desktop/CalendarAuthorizationStatus.h"
#include "VudeKit/Expected.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class CalendarFolderAccess {
public:
    explicit CalendarFolderAccess(std::filesystem::path folder = standardFolder());
    /// Waits for a request under way.
    ~CalendarFolderAccess();

    CalendarFolderAccess(const CalendarFolderAccess&) = delete;
    CalendarFolderAccess& operator=(const CalendarFolderAccess&) = delete;

    /// $XDG_DATA_HOME/Vude/Calendars.
    static std::filesystem::path standardFolder();

    const std::filesystem::path& folder() const { return m_folder; }

    /// The decision `folder` stands for, by the table above.
    static CalendarAuthorizationStatus statusOf(const std::filesystem::path& folder);
    /// Makes `folder`, and the folders above it that are missing, for this
    /// user only (0700); fails with the reason. What is there is left alone.
    static Expected<void, std::string> makeFolder(const std::filesystem::path& folder);

    CalendarAuthorizationStatus authorizationStatus() const { return statusOf(m_folder); }
    /// Makes the folder when it is absent (for this user only), on the
    /// request thread, then calls `completion` there with whether the
    /// calendars can now be read. A folder that is there is left as it is.
    void requestFullAccess(std::function<void(bool)> completion);

private:
    const std::filesystem::path m_folder;
    // Last, so that it finishes its work before the rest goes.
    std::unique_ptr<SerialQueue> m_queue;
};
